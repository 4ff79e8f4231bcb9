#include "editing/falloff.h"

#include <cmath>

float falloffWeight(FalloffShape shape, double distance, float radius) {
    if (shape == FalloffShape::Off || !(distance < radius)) {
        return 0.0f;
    }
    const double share = distance / radius;
    if (shape == FalloffShape::Smooth) {
        return static_cast<float>(0.5 * (1.0 + std::cos(M_PI * share)));
    }
    return static_cast<float>(1.0 - share);
}
