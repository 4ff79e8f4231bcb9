#include <new>

#include "motion/motion.h"

Result Motion::findFeet(const std::vector<std::string>& ankles) {
    if (!poseable()) {
        return Result::failure("No motion to find feet in.");
    }
    try {
        std::vector<LegChain> legs;
        const Result chosen = legsOf(*this, ankles, legs);
        if (!chosen) {
            return chosen;
        }
        // Contacts describe the motion as captured: the search poses raw passes, which the
        // planting does not touch.
        feet_ = findContacts(*this, legs);
        feetFound_ = true;
        replantFeet();
        return Result::success();
    } catch (const std::bad_alloc&) {
        return Result::failure("Not enough memory to find the feet.");
    }
}

Result Motion::setFeetPlanted(bool planted) {
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

void Motion::replantFeet() {
    // The legs are solved from the edited poses without any planting of their own; the last
    // solve spares solving again what the change did not reach.
    FootPlanting previous = std::move(planting_);
    planting_ = FootPlanting();
    if (!feetPlanted_) {
        return;
    }
    try {
        planting_ = plantFeet(*this, feet_, std::move(previous));
    } catch (const std::bad_alloc&) {
        planting_ = FootPlanting();
    }
}
