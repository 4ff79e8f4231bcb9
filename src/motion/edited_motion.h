#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "editing/root_placement.h"
#include "motion/motion.h"
#include "motion/planted_legs.h"
#include "motion/pose.h"

// A motion as an edit shows it: where each frame's root goes on the edited path, the legs'
// values that planted feet replace, and the timing of a retimed edit. Work over a whole motion
// that poses edited frames (the bake, the planting, the skate measure, the strobes) reads the
// edit through it. With none of them, the edited passes pose the frames as the file places them.
struct EditedMotion {
    // The motion as the file places it, until a placement or legs are given.
    explicit EditedMotion(const Motion& m,
                          std::function<std::optional<RootPlacement>(int frame)> place = {},
                          const PlantedLegs* plantedLegs = nullptr)
        : motion(m), placeRoot(std::move(place)), legs(plantedLegs) {}

    const Motion& motion;
    // Where frame f's root goes; none (or no function): as the file places it.
    std::function<std::optional<RootPlacement>(int frame)> placeRoot;
    const PlantedLegs* legs = nullptr;  // null: the file's own leg values
    // The timing: for each frame of the edited motion, the moment of the capture it shows, in
    // captured frames (ascending, from 0 to the last captured frame). Null: the captured frames
    // as they are. Placements and legs are the captured frames'.
    const std::vector<double>* times = nullptr;

    // The frames of the edited motion: one per entry of the timing, or the captured frames.
    int frameCount() const { return times ? static_cast<int>(times->size()) : motion.frameCount(); }
    // The moment of the capture that frame k shows, in captured frames (k itself untimed).
    double capturedTime(int frame) const;
    // The captured frame nearest to that moment: whose contacts and held feet frame k shows.
    int capturedFrame(int frame) const;

    // The placement of captured frame f, in `storage`; null where the file places the root.
    const RootPlacement* placement(int frame, RootPlacement& storage) const {
        const std::optional<RootPlacement> placed =
            placeRoot ? placeRoot(frame) : std::optional<RootPlacement>();
        if (!placed) {
            return nullptr;
        }
        storage = *placed;
        return &storage;
    }
    // poseFrame and poseSome with this edit, of frame k of the edited motion: with a timing,
    // the edited passes pose its moment between two captured frames (poseBetween); the raw
    // passes pose captured frame k as the file has it, never asking for the edit.
    bool pose(int frame, PosePass pass, Pose& pose) const;
    bool poseSome(int frame, PosePass pass, const std::vector<int>& joints, Pose& pose) const;
};
