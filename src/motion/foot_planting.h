#pragma once

#include <cstdint>
#include <vector>

#include "motion/foot_contacts.h"

class Motion;

// The legs turned so that each foot stays where it stood while it touches the ground on the
// edited path: channel values that replace the file's in the edited poses and in the save, and
// how far the root is lowered where a foot is out of the leg's reach. Derived from the feet and
// the edited path; empty when nothing is planted.
struct FootPlanting {
    std::vector<int> columns;        // frame columns replaced: the legs' rotations, ascending
    std::vector<float> values;       // per frame, one value per column (degrees)
    std::vector<float> rootDrop;     // per frame, how far the root goes down (display units, >= 0)
    std::vector<std::uint8_t> held;  // per frame, bit k set while foot k stands in a contact
    // What the legs were solved for, so that the next solve redoes only what a change reaches:
    std::vector<Foot> feet;    // the feet planted
    std::vector<float> edits;  // per frame, the edit at the root: turn (radians), shift x and z
    std::vector<float> needs;  // per frame and foot, how far the root must go down for the foot

    bool empty() const { return rootDrop.empty(); }
    // Writes frame f's replaced values into a copy of its row.
    void apply(int frame, float* row) const;
    // Whether foot k is held at the frame.
    bool footHeld(int frame, int foot) const;
};

// Solves every frame near a contact: while a foot stands, its ankle stays at one ground point
// (where the edit puts it at the contact's middle, moved as little as lets the leg reach it
// throughout), with the captured foot's slide taken out and its roll and its turn to the ground
// kept; the hold is blended in and out outside the contact, over longer where the foot must
// travel further to its point. The leg is solved as two bones. Where the leg cannot reach, the
// root goes down by the least that reaches (at most a small part of the figure's height, spread
// smoothly over time), then the foot rises a little, keeping its ground point, and only then
// slides towards the hip. `motion` must be posed without planting. `previous`, a planting of
// the same feet on this motion before its path last changed, lets the solve redo only the
// contacts whose frames the change moved (and those whose root lowering it moved); the result
// is the same as without it.
FootPlanting plantFeet(const Motion& motion, const std::vector<Foot>& feet,
                       FootPlanting previous = FootPlanting());
