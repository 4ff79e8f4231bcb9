#pragma once

#include <cstdint>
#include <vector>

// What planted feet change in the edited poses and the save: channel values of the legs that
// replace the file's, and how far the root goes down where a foot is out of its leg's reach.
// Empty while the feet are free.
struct PlantedLegs {
    std::vector<int> columns;        // frame columns replaced: the legs' rotations, ascending
    std::vector<float> values;       // per frame, one value per column (degrees)
    std::vector<float> rootDrop;     // per frame, how far the root goes down (display units, >= 0)
    std::vector<std::uint8_t> held;  // per frame, bit k set while foot k stands in a contact

    bool empty() const { return rootDrop.empty(); }
    // Writes frame f's replaced values into a copy of its row.
    void apply(int frame, float* row) const;
    // Whether foot k is held at the frame.
    bool footHeld(int frame, int foot) const;
    // How far the root goes down at the frame; 0 outside the frames.
    float dropAt(int frame) const;
};
