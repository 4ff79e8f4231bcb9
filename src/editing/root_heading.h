#pragma once

#include <cstdint>
#include <vector>

#include "editing/control_curve.h"

// The turn an edit adds to the figure's facing, frame by frame. A direction of the path is taken
// from a chord, not from the curve's tangent: the chord of frame f joins the path's points at two
// frames around it, the nearest that give the fitted path a chord of a twentieth of the figure's
// size (at most half a second either side, and one-sided at the motion's ends). So a slowing
// figure and the motion's ends still have a direction, and a kink or a small loop of the edited
// path turns the figure over the chord's time rather than from one frame to the next.
struct HeadingChords {
    std::vector<int> first;  // per frame, the frames the chord joins (first <= frame <= last)
    std::vector<int> last;
    int reach = 0;               // the farthest a chord reaches from its frame
    std::vector<float> fittedX;  // per frame, the fitted path's chord
    std::vector<float> fittedZ;
    // Per frame, how far the fitted chord gives the figure a direction to turn from: 1 where it
    // reaches its length, 0 where it stays below half of it (the figure stands or steps in
    // place), changing by at most a step of the smoothing from frame to frame.
    std::vector<float> weight;
};

// The chords of the fitted path's points of every frame (display x and z), against the figure's
// size in display units, for a motion of the given frame rate.
HeadingChords headingChords(const std::vector<CurvePoint>& fitted, double figureSize,
                            double framesPerSecond);

// Per frame, the signed turn about +y from the fitted chord to the edited one (from +x towards +z
// is negative), in (-pi, pi]; NaN where there is no direction to turn from (or the edited chord
// has none); and whether the edit left the chord as it was.
struct ChordTurns {
    std::vector<double> turn;
    std::vector<std::uint8_t> unchanged;
};

// Works out the turns of frames [first, last] for the edited path's points of every frame
// (sizing `turns` for them all; frames not yet worked out count as unchanged).
void measureTurns(const HeadingChords& chords, const std::vector<CurvePoint>& edited, int first,
                  int last, ChordTurns& turns);

// The heading the edit adds at every frame, in radians, from the turns of its chords. Where the
// weight is partial the turn is blended towards none; from frame to frame it is continuous (a
// whole turn shows as 2 pi, not as a jump back: the values are not wrapped) and changes by at
// most 360 degrees a second. Frames whose chords the edit did not change, and that the limit did
// not reach, get exactly 0.
std::vector<double> addedHeadings(const HeadingChords& chords, const ChordTurns& turns,
                                  double framesPerSecond);
// The same into `heading`, with `work` for the room it needs (both kept by a caller that works
// them out often).
void addedHeadings(const HeadingChords& chords, const ChordTurns& turns, double framesPerSecond,
                   std::vector<double>& heading, std::vector<double>& work);
// The same for the edited path's points of every frame, all turns worked out afresh.
std::vector<double> addedHeadings(const HeadingChords& chords,
                                  const std::vector<CurvePoint>& edited, double framesPerSecond);

// The heading of every frame of an edited path that was also turned as a whole by `wholeTurn`
// radians (the sum of the whole-path turns, same sign as the added heading): the whole turn plus
// what addedHeadings finds on the edited points turned back by it. Chords are differences of
// points, so turning back about any pivot gives the same chords, and none is needed. The whole
// turn is not blended away where the figure stands still, so turning the whole path turns the
// whole motion rigidly. A whole turn of 0 gives addedHeadings exactly.
std::vector<double> turnedHeadings(const HeadingChords& chords,
                                   const std::vector<CurvePoint>& edited, double framesPerSecond,
                                   double wholeTurn);
