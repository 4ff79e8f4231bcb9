#pragma once

#include <functional>

#include "document/path_edit.h"

// The edit the foot measures are taken on: the middle control point moved sideways (at right
// angles to the line through its neighbours) by `share` of the motion's length, the length of the
// root's track or, where the root travels less than the figure's height, the larger ground
// extent of the motion; its neighbours follow within the falloff radius (world units), as a drag
// moves them. The edit is refreshed. False, changing nothing, where the path has fewer than
// three control points.
bool bendMiddleSideways(PathEdit& edit, float falloffRadius, double share = 0.2);

// Drags a point from (fromX, fromZ) to (toX, toZ) as a mouse's drag comes, in small steps: each
// at most a hundredth of the falloff radius, so the neighbours follow as they do in the window's
// drag, and at most 1000; one step without a falloff, where only the dragged point moves.
// `moveTo` makes each move; false as soon as one fails.
bool dragInSteps(double fromX, double fromZ, double toX, double toZ, double falloffRadius,
                 const std::function<bool(double x, double z)>& moveTo);

// The length of the root's ground track, frame to frame (display units).
double trackLength(const RootPath& path);

// A U-turn made of the last three control points, turned half round a pivot beside the fourth
// from last (on its left, half a point spacing away): the path comes back beside itself.
// False, changing nothing, with fewer than five points.
bool makeUTurn(PathEdit& edit);
// A loop made of three points after the middle one, moved onto a circle of one point spacing
// beside the path (on its left), from where the path goes on as before. False, changing
// nothing, with fewer than seven points.
bool makeLoop(PathEdit& edit);
