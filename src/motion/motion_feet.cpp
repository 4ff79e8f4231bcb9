#include <new>

#include "motion/motion.h"

Result Motion::findFeet(const std::vector<std::string>& ankles) {
    if (!poseable()) {
        return Result::failure("No motion to find feet in.");
    }
    try {
        std::vector<LegChain> legs;
        if (ankles.empty()) {
            legs = findLegs(*this);
            if (legs.empty()) {
                return Result::failure(
                    "No feet found: no end of the skeleton hangs from a leg that can be turned.");
            }
        } else {
            const Result named = legsNamed(*this, ankles, legs);
            if (!named) {
                return named;
            }
        }
        // Contacts describe the motion as captured, so they are found with the legs free.
        FootPlanting planted = std::move(planting_);
        planting_ = FootPlanting();
        std::vector<Foot> found = findContacts(*this, legs);
        feet_ = std::move(found);
        feetFound_ = true;
        planting_ = std::move(planted);
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
    // The legs are solved from the edited poses without any planting of their own.
    planting_ = FootPlanting();
    if (!feetPlanted_) {
        return;
    }
    try {
        planting_ = plantFeet(*this, feet_);
    } catch (const std::bad_alloc&) {
        planting_ = FootPlanting();
    }
}
