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

    bool empty() const { return rootDrop.empty(); }
    // Writes frame f's replaced values into a copy of its row.
    void apply(int frame, float* row) const;
    // Whether foot k is held at the frame.
    bool footHeld(int frame, int foot) const;
};

// Solves every frame near a contact: while a foot stands, its ankle follows the capture's own
// foot moved by the one edit of the contact's middle frame (so the foot is as still as it was
// captured, and where the edit put it at that moment), blended in and out over a few frames
// outside the contact; the leg is solved as two bones, the ankle keeps the captured foot's
// orientation to the ground, and where the leg cannot reach the root goes down by the least
// that reaches it (at most a small part of the figure's height, spread smoothly over time).
// `motion` must be posed without planting.
FootPlanting plantFeet(const Motion& motion, const std::vector<Foot>& feet);
