#pragma once

#include <memory>
#include <vector>

#include "editing/control_curve.h"

// The root's ground track of one motion (one x-z sample per frame) and the control curve
// fitted to it: one control point per block of frames (50 unless set otherwise) plus the two end
// samples.
class RootPath {
  public:
    static constexpr int kDefaultBlockLength = 50;
    // The shortest block: its cubic needs four samples.
    static constexpr int kShortestBlock = 4;

    RootPath();
    ~RootPath();
    RootPath(RootPath&&) noexcept = default;
    RootPath& operator=(RootPath&&) noexcept = default;

    // Stores x and z as the next sample; y is ignored. Always 1.
    int appendSample(float x, float y, float z);
    int sampleCount() const { return static_cast<int>(sampleX_.size()); }
    float sampleX(int i) const { return sampleX_[static_cast<std::size_t>(i)]; }
    float sampleZ(int i) const { return sampleZ_[static_cast<std::size_t>(i)]; }

    // Builds a new Catmull-Rom curve from the samples (piecewise cubic least-squares fit),
    // replacing any earlier one. Never ends the process, whatever the samples hold. With no
    // samples the curve is empty (no points) and the fitted arrays are empty; one or more
    // samples always give at least three points.
    void fitCurve();
    ControlCurve* curve() { return curve_.get(); }
    const ControlCurve* curve() const { return curve_.get(); }
    // Control points as fitted (W + 2 of each); the curve keeps its own, editable copy.
    const std::vector<double>& fittedX() const { return fittedX_; }
    const std::vector<double>& fittedZ() const { return fittedZ_; }

    // The drawing height; also passed to the curve when there is one.
    void setHeight(float height);
    float height() const { return height_; }
    // Frames per control point; a length below kShortestBlock counts as that. The next fit and
    // every frameParameter use it.
    void setBlockLength(int frames);
    int blockLength() const { return blockLength_; }

    // Curve parameter t in [0, 1) of frame a (0 <= a < frameCount); depends only on the frame
    // count and the block length, never on the edited points.
    double frameParameter(int frame, int frameCount) const;

  private:
    std::unique_ptr<ControlCurve> curve_;
    std::vector<float> sampleX_;
    std::vector<float> sampleZ_;
    std::vector<double> fittedX_;
    std::vector<double> fittedZ_;
    float height_ = 2.0f;
    int blockLength_ = kDefaultBlockLength;
};
