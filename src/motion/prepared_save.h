#pragma once

#include <memory>
#include <string>
#include <vector>

#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/result.h"

class Progress;

// A save made ready to write: the motion's frames with the path edit baked into the root, and
// the channels the root's line names. Writing reads only these and the skeleton, which the
// document keeps unchanged while a save is written (it takes no edit and no new reading
// meanwhile), so it may run on another thread while the motion is drawn.
struct PreparedSave {
    const Joint* root = nullptr;  // the motion's skeleton; the motion must outlive the write
    // A copy of the skeleton with the root's OFFSET turned into the output's axes, where the save
    // options turn them; root then points to it.
    std::unique_ptr<Joint> turnedSkeleton;
    std::unique_ptr<FrameTable> frames;
    std::vector<ChannelType> rootChannels;

    // Writes the text and replaces the file with it whole; a cancel or a failure leaves the file
    // as it was.
    Result write(const std::string& path, Progress* progress = nullptr) const;
};
