#pragma once

#include <vector>

#include "document/path_edit.h"

// The edited motion's ground speed against the capture's, over windows of its frames.
struct SpeedRange {
    double lowest = 1.0;
    double highest = 1.0;
    int windows = 0;  // the windows measured
};

// For each window of `seconds` of the edited motion's frames (at the motion's frame time), the
// root's ground travel on the edited path over that window's time, against the capture's speed
// at the moments the window shows, each taken for as long as the window shows it; windows where
// the capture moves slower than `walking` figure heights per second are left out, and with
// `keptOnly` those that show a captured frame the edit's Path Speed marks as faster or slower
// than the capture (with Keep Speed on: where the path's stretch is beyond what the retiming may
// do). The lowest and highest ratio; 1 and 1 without a window.
SpeedRange windowSpeedRange(const PathEdit& edit, bool keptOnly = false, double seconds = 1.0,
                            double walking = 0.1);

// The same over travels already measured: `captured[f]` and `shown[k]` the root's ground travel
// from the first frame to captured frame f and to shown frame k, `moments[k]` the moment of the
// capture frame k shows (in captured frames), `span` frames a window, `fast` the captured speed
// per frame below which a window is left out; with `speed`, only windows whose captured frames
// all travel as captured there.
SpeedRange speedRangeOver(const std::vector<double>& captured, const std::vector<double>& shown,
                          const std::vector<double>& moments, int span, double fast,
                          const std::vector<float>* speed);
