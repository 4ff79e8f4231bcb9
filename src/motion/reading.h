#pragma once

#include <optional>

// The file's vertical axis. A Z-up figure is drawn upright by one fixed turn at the root of
// every pose; its file keeps its own axes when saved.
enum class UpAxis { Y, Z };

// What position channels on joints other than the root mean (the root's always add to its
// OFFSET).
enum class PositionChannels {
    OffsetPlusValue,      // a displacement added to the joint's OFFSET
    ValueReplacesOffset,  // the joint's local translation itself, in place of the OFFSET
};

// How a file is read: a field that is set overrides what detection finds in the file.
struct LoadOptions {
    std::optional<UpAxis> upAxis;
    std::optional<PositionChannels> positionChannels;
};

// How a motion is written: a field that is set is the convention of the output; one left unset
// keeps the convention the file was read in, so an unedited save gives the file's values back.
struct SaveOptions {
    std::optional<UpAxis> upAxis;
    std::optional<PositionChannels> positionChannels;
};
