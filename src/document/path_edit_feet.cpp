#include <new>
#include <utility>

#include "document/path_edit.h"

Result PathEdit::findFeet(const std::vector<std::string>& ankles) {
    std::vector<Foot> feet;
    const Result found = searchFeet(ankles, feet);
    if (found) {
        takeFeet(std::move(feet));
    }
    return found;
}

Result PathEdit::searchFeet(const std::vector<std::string>& ankles, std::vector<Foot>& feet) const {
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
        feet = findContacts(motion_, legs);
        return Result::success();
    } catch (const std::bad_alloc&) {
        return Result::failure("Not enough memory to find the feet.");
    }
}

void PathEdit::takeFeet(std::vector<Foot> feet) {
    feet_ = std::move(feet);
    feetFound_ = true;
    replantFeet();
}

Result PathEdit::setFeetPlanted(bool planted) {
    if (!planted) {
        feetPlanted_ = false;
        plantingStale_ = false;
        if (!planting_.empty()) {
            letGo_ = std::move(planting_);
        }
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
    if (!feetPlanted_) {
        planting_ = FootPlanting();
        return;
    }
    if (plantingDeferred_) {
        plantingStale_ = true;
        return;
    }
    // The last solve spares solving again what the change did not reach.
    FootPlanting previous = std::move(planting_.empty() ? letGo_ : planting_);
    planting_ = FootPlanting();
    letGo_ = FootPlanting();
    plantingStale_ = false;
    try {
        planting_ = plantFeet(unplanted(), feet_, std::move(previous));
    } catch (const std::bad_alloc&) {
        planting_ = FootPlanting();
    }
}

void PathEdit::setPlantingDeferred(bool deferred) {
    plantingDeferred_ = deferred;
    if (!deferred && plantingStale_) {
        replantFeet();
    }
}

FootPlanting PathEdit::solvePlanting() const {
    return feetPlanted_ ? plantingOf(feet_) : FootPlanting();
}

FootPlanting PathEdit::plantingOf(const std::vector<Foot>& feet, Progress* progress) const {
    try {
        // A copy: the legs in use are drawn meanwhile.
        return plantFeet(unplanted(), feet, planting_.empty() ? letGo_ : planting_, progress);
    } catch (const std::bad_alloc&) {
        return FootPlanting();
    }
}

void PathEdit::adoptPlanting(FootPlanting planting) {
    if (!feetPlanted_) {
        return;
    }
    planting_ = std::move(planting);
    letGo_ = FootPlanting();
    plantingStale_ = false;
}
