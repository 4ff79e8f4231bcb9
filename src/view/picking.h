#pragma once

#include <array>

// The entries of the GL selection buffer a pick pass gets.
constexpr int kSelectBufferSize = 100;

// The control point a pick pass hit, from its selection records (each: name count n, min and
// max depth, n names). The scene draws the figure and the path line under [0], each control
// point's cube under [0, i] and the rest under [0, 0], so a click on cube i across the path
// line and in front of the ground gives [0], [0, i], [0, 0]: with at least three records, the
// second name of the second record. Fewer records, an overflowed buffer (negative count) or a
// malformed second record give -1, and the selection stays as it was.
int pickedControlPoint(const unsigned int* buffer, int hits, int bufferSize);

// The falloff width after a q (narrower by 10, not below 0) or w (wider by 10) key; any other
// key leaves it.
float nextFalloffWidth(float width, int key);
