#include <new>

#include "document/path_edit.h"

Result PathEdit::findFeet(const std::vector<std::string>& ankles) {
    if (!motion_.poseable()) {
        return Result::failure("No motion to find feet in.");
    }
    try {
        std::vector<LegChain> legs;
        const Result chosen = legsOf(motion_, ankles, legs);
        if (!chosen) {
            return chosen;
        }
        // Contacts describe the motion as captured: the search poses raw passes.
        feet_ = findContacts(motion_, legs);
        feetFound_ = true;
        replantFeet();
        return Result::success();
    } catch (const std::bad_alloc&) {
        return Result::failure("Not enough memory to find the feet.");
    }
}

Result PathEdit::setFeetPlanted(bool planted) {
    if (!planted) {
        feetPlanted_ = false;
        planting_ = FootPlanting();
        return Result::success();
    }
    if (!feetFound_) {
        const Result found = findFeet();
        if (!found) {
            return found;
        }
    }
    feetPlanted_ = true;
    replantFeet();
    return Result::success();
}

void PathEdit::replantFeet() {
    // The last solve spares solving again what the change did not reach.
    FootPlanting previous = std::move(planting_);
    planting_ = FootPlanting();
    if (!feetPlanted_) {
        return;
    }
    try {
        planting_ = plantFeet(unplanted(), feet_, std::move(previous));
    } catch (const std::bad_alloc&) {
        planting_ = FootPlanting();
    }
}
