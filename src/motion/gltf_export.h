#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "motion/edited_motion.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/result.h"
#include "motion/unit_scale.h"

class Progress;

// A glTF 2.0 export of a motion as the program draws it: one node per joint (End Sites as leaf
// nodes named "<parent>_End") in a skin with inverse bind matrices, and one animation sampled
// LINEAR at the file's frame times. The frames are those a BVH save writes (the path edit and the
// planted legs baked in); a Z-up file is turned to glTF's +Y up as `convert --up-axis y` turns
// it, and every length is scaled to metres (unit_scale.h).

struct ExportOptions {
    std::optional<double> unitScale;  // metres a file unit; unset: the rule of unit_scale.h
};

// An export made ready to write: the baked frames in Y-up axes and what the conversion needs of
// the motion. Writing reads these and the motion's skeleton, which the document keeps unchanged
// while a job runs, so it may run on another thread while the motion is drawn.
struct PreparedExport {
    const Motion* motion = nullptr;  // must outlive the write
    std::unique_ptr<FrameTable> frames;
    std::vector<ChannelType> rootChannels;  // the layout of the root's baked columns
    std::array<float, 3> rootOffset{};      // the root's OFFSET turned Y up, file units
    UnitScale scale;

    // Writes a .gltf file (JSON, the buffer embedded in it) when the path ends in ".gltf" (in any
    // case), a .glb file otherwise, and replaces the file with it whole as a BVH save does; a
    // cancel or a failure leaves the file as it was. A success's message holds its notes: the
    // unit scale's (unitScaleNote) and the file replacement's.
    Result write(const std::string& path, Progress* progress = nullptr) const;
};

// Bakes the edit into a copy of the frames and settles the unit scale. Fails where the motion
// cannot be posed or its frames have no times glTF can key them at.
Result prepareExport(const EditedMotion& edited, PreparedExport& prepared,
                     const ExportOptions& options = ExportOptions());
// prepareExport, then write.
Result exportGltf(const EditedMotion& edited, const std::string& path,
                  const ExportOptions& options = ExportOptions(), Progress* progress = nullptr);
