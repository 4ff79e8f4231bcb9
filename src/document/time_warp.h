#pragma once

#include <vector>

// The pure arithmetic of Keep Speed and Path Speed, on the root's ground travel per captured
// frame step: `captured[i]` and `edited[i]` are how far the root goes from captured frame i to
// i + 1 in the capture and on the edited path.

// Shortest and longest a captured step may last once retimed, in captured frames.
constexpr double kShortestStep = 0.25;
constexpr double kLongestStep = 4.0;

// How much longer each step's stretch of the path got: the edited over the captured travel, both
// summed over the captured steps around it that `window` frames of the retimed motion show, so
// that the figure's sway within a stride does not make its pace flutter. Where the capture
// hardly travels (about `still` or less over `window` steps: a pause, a turn on the spot) the
// stretch fades to 1, as there is no pace to keep. A stretch within a ten-thousandth of 1 is the
// placement's rounding and counts as 1. Unbounded.
std::vector<double> localStretch(const std::vector<double>& captured,
                                 const std::vector<double>& edited, int window, double still);

// The stretch a retiming applies: bounded to kShortestStep..kLongestStep.
std::vector<double> boundedStretch(const std::vector<double>& stretch);

// The timing of a motion whose step i lasts stretch[i] frames: for each of its frames, the
// moment of the capture it shows, in captured frames. The frames are the duration rounded to
// whole frames (plus the first); they are spread evenly over it, so the first shows captured
// frame 0 and the last the last one. A stretch of exactly 1 everywhere gives 0, 1, 2, ... exactly.
std::vector<double> warpedTimes(const std::vector<double>& stretch);

// Per captured frame (one more than the steps), how fast the edited motion travels the path
// against the capture there: the local stretch over the stretch its timing gives the step (none:
// every step lasts a frame). Frame i takes step i's figure, the last frame the last step's.
std::vector<float> speedRatios(const std::vector<double>& stretch,
                               const std::vector<double>* timed);

// The moment of the capture that frame k of a timing shows (k itself without one, null).
double capturedTimeAt(const std::vector<double>* times, int frame);
// The frame of a timing (null: the captured frames, `capturedCount` of them) that shows the
// moment nearest to `captured`.
int frameNearest(const std::vector<double>* times, int capturedCount, double captured);
