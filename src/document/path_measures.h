#pragma once

#include "document/path_edit.h"

// How an edit moves the figure along its path, measured frame by frame (the benchmarks and the
// tests read the same measures).

// The largest change of the heading the edit adds between neighbouring frames, in degrees per
// second.
double headingRateMax(const PathEdit& edit);

// The largest change, in degrees, that the edit makes to the angle between where the figure
// faces and where it travels, over the frames where it walks in the capture (its root faster
// than half its height a second) and on the edited path. A figure that walked forwards and
// still walks forwards keeps it small; one that walks backwards makes it near 180.
double facingChangeMax(const PathEdit& edit);
