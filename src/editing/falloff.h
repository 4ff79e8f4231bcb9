#pragma once

// How the points around a dragged one follow it: not at all, with a weight falling linearly
// from 1 at the dragged point to 0 at the falloff radius, or along a smooth bell that leaves the
// dragged point and meets the radius with zero slope, so the edit blends into the untouched path.
enum class FalloffShape { Off, Linear, Smooth };

// The share of a drag's displacement that a point at ground distance `distance` from a dragged
// point follows, for a falloff of this shape and radius: 0 at and beyond the radius (and for
// Off); Linear 1 - d / R; Smooth 0.5 (1 + cos(pi d / R)). Narrowed to float, as the radius is.
float falloffWeight(FalloffShape shape, double distance, float radius);
