#include "view/picking.h"

int pickedControlPoint(const unsigned int* buffer, int hits, int bufferSize) {
    if (hits < 3)
        return -1;
    // Record 0 starts at 0; record 1 after record 0's three header entries and its names.
    const long second = 3L + static_cast<long>(buffer[0]);
    if (second + 4 >= bufferSize)
        return -1;
    if (buffer[second] < 2)
        return -1;  // no name beyond [0]: no control point
    return static_cast<int>(buffer[second + 4]);
}

float nextFalloffWidth(float width, int key) {
    if (key == 'q')
        return width - 10.0f < 0.0f ? 0.0f : width - 10.0f;
    if (key == 'w')
        return width + 10.0f;
    return width;
}
