#pragma once

#include <cstdint>
#include <vector>

#include "feet/foot_contacts.h"
#include "motion/edited_motion.h"
#include "motion/planted_legs.h"
#include "motion/progress.h"

// The legs turned so that each foot stays where it stood while it touches the ground on the
// edited path (the planted legs the edited poses and the save apply), with what they were solved
// for, so that the next solve redoes only what a change reaches. Derived from the feet and the
// edited path; empty when nothing is planted.
struct FootPlanting : PlantedLegs {
    std::vector<Foot> feet;    // the feet planted
    std::vector<float> edits;  // per frame, the edit at the root: turn (radians), shift x and z
    std::vector<float> needs;  // per frame and foot, how far the root must go down for the foot
    float footFloor = 0.0f;    // the lowest the captured feet reach (display y, unlifted)
};

// Solves every frame near a contact: while a foot stands, its ankle stays at one ground point
// (where the edit puts it at the contact's middle, moved as little as lets the leg reach it
// throughout), with the captured foot's slide taken out and its roll and its turn to the ground
// kept; the hold is blended in and out outside the contact, over longer where the foot must
// travel further to its point. A held foot turns about the vertical as the edit turns the figure
// at its contact's middle, and its knee turns with it, keeping the side it had to the foot. The
// leg is solved as two bones. Where the leg cannot reach, the root goes down by the least that
// reaches (at most a small part of the figure's height, spread smoothly over time, measured
// against the capture), then the foot rises a little, keeping its ground point, and only then
// slides towards the hip. Where the root is lowered, no foot, held or free, goes below the lowest
// height the capture's feet reach: a free leg bends to lift its foot straight up. `unplanted` is
// the edited motion without planted legs. `previous`, a planting of the same feet on this motion
// before its path last changed, lets the solve redo only the contacts whose frames the change moved
// (and those whose root lowering it moved); the result is the same as without it. `progress`, if
// given, hears how far the solve got, and a cancel stops it with an empty planting.
FootPlanting plantFeet(const EditedMotion& unplanted, const std::vector<Foot>& feet,
                       FootPlanting previous = FootPlanting(), Progress* progress = nullptr);
