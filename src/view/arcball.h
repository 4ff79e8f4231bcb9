#pragma once

#include <array>

// A rotation as four floats x, y, z, w; a new one is the identity.
struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};

// a * b (a applied after b).
Quaternion multiply(const Quaternion& a, const Quaternion& b);

// Pixel (px, py), y down, normalised against a vw x vh viewport to [-1, 1] with y up.
std::array<float, 2> normalisePixel(double px, double py, int vw, int vh);

// Mouse rotation with quaternions: the committed rotation and the drag in progress.
class Arcball {
  public:
    // Commits the drag in progress and starts a new one at the normalised point (nx, ny).
    void begin(float nx, float ny);
    // The drag rotation from the start point to (nx, ny) on the unit sphere.
    void dragTo(float nx, float ny);
    // Column-major 4x4 rotation matrix of drag * committed, ready for glMultMatrixf.
    std::array<float, 16> matrix() const;

    const Quaternion& committed() const { return committed_; }
    const Quaternion& drag() const { return drag_; }

  private:
    Quaternion committed_;
    Quaternion drag_;
    std::array<float, 2> start_{0.0f, 0.0f};
};
