#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../motion/motion_fixtures.h"
#include "document/path_edit.h"

// Helpers shared by the tests of the path edit: a motion read with its edit, moves of control
// points as a drag makes them, and the check that a save writes what is drawn.
namespace fixtures {

// A motion read from a file with its path edit, as a document holds them.
struct EditedFile {
    Motion motion;
    std::unique_ptr<PathEdit> edit;

    PathEdit& operator*() { return *edit; }
    PathEdit* operator->() { return edit.get(); }
};

inline int loadEdited(EditedFile& file, const std::string& path) {
    if (!loadQuietly(file.motion, path)) {
        return 0;
    }
    file.edit = std::make_unique<PathEdit>(file.motion);
    return 1;
}

inline Positions posedAt(const PathEdit& edit, int frame, PosePass pass) {
    return posedAt(edit.edited(), frame, pass);
}

// Moves control point k by (dx, dz) as a drag would, its neighbours following within the
// falloff radius (world units), and refreshes the edit.
inline void movePoint(PathEdit& edit, int k, double dx, double dz, float falloff = 0.0f) {
    CurvePoint p;
    ASSERT_EQ(1, edit.curve().getPoint(k, p));
    edit.setFalloffRadius(falloff);
    edit.select(k);
    edit.moveSelected(p.x + dx, p.z + dz);
    edit.select(-1);
    edit.refresh();
}

// Drags the middle control point by (0.1, -0.15) of the motion's size.
inline void dragMiddlePoint(PathEdit& edit, float falloffInMarkers) {
    const float size = motionSize(edit.motion());
    movePoint(edit, edit.curve().pointCount() / 2, 0.1 * size, -0.15 * size,
              falloffInMarkers * edit.motion().markerRadius());
}

inline int saveEdited(const PathEdit& edit, const std::string& path) {
    return saveMotion(edit.edited(), path) ? 1 : 0;
}

// What is drawn is what a save writes: the edited pose of every frame (of the edited motion,
// retimed or not) equals the raw pose of the saved file read back (within `share` of the
// motion's size). Unlifted, since a root lowered for planted feet lowers the motion's lowest
// point and with it the lift of the file read back. Returns whether the edit moved some joint by
// more than a hundredth of that size.
inline bool expectSavedIsDrawn(const PathEdit& edit, const std::string& saved,
                               float share = 1e-3f) {
    EXPECT_EQ(1, saveEdited(edit, saved)) << saved;
    Motion reloaded;
    EXPECT_EQ(1, loadQuietly(reloaded, saved)) << saved;
    EXPECT_EQ(edit.frameCount(), reloaded.frameCount()) << saved;
    EXPECT_EQ(edit.motion().frameTime(), reloaded.frameTime()) << saved;
    const float size = motionSize(edit.motion());
    bool moved = false;
    for (int f = 0; f < edit.frameCount() && f < reloaded.frameCount(); ++f) {
        const Positions drawn = posedAt(edit, f, PosePass::MeasureEdited);
        const Positions raw =
            posedAt(edit.motion(), edit.edited().capturedFrame(f), PosePass::MeasureRaw);
        const Positions back = posedAt(reloaded, f, PosePass::MeasureRaw);
        EXPECT_EQ(drawn.size(), back.size());
        for (std::size_t j = 0; j < drawn.size() && j < back.size(); ++j) {
            if (distance(drawn[j], back[j]) > share * size) {
                ADD_FAILURE() << saved << " frame " << f << " joint " << j << " is "
                              << distance(drawn[j], back[j]) << " from where it is drawn";
                return moved;
            }
            moved = moved || distance(drawn[j], raw[j]) > 0.01f * size;
        }
    }
    return moved;
}

}  // namespace fixtures
