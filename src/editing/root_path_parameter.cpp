#include "editing/root_path.h"

namespace {

// A motion of one block (at most 50 frames) has three control points: the first sample, the
// fitted middle sample m = (F - 1) / 2 and the last sample. Frames 0 ... m run linearly from
// t = 0 to t = 1/2, and frames m ... F - 1 run on towards an anchor at frame F, so the last frame
// stays below 1; with F = 1 or 2 (m = 0) frame 0 is at 0 and frame 1 at 3/4.
double singleBlockParameter(int frame, int frameCount) {
    const int middle = (frameCount - 1) / 2;
    if (frame <= middle) {
        return middle > 0 ? (static_cast<double>(frame) / middle) / 2.0 : 0.0;
    }
    return 0.5 + (static_cast<double>(frame - middle) / (frameCount - middle)) / 2.0;
}

}  // namespace

// Blocks of N frames, W of them, the last of n_last frames, and h = N / 2 (integer division).
// Control point 0 is anchored at frame 0 and control point k (1 <= k < W) at h + (k - 1) N, half
// a block into block k - 1. The piece from control point W - 1 to W spans the rest of that
// block, N - h, plus n_last / 2 (integer division), and the last piece ends n_last / 2 (real
// division) later, at frame F or F - 0.5, so every frame maps below 1. Frames between two
// anchors are interpolated linearly, each piece taking 1 / (W + 1) of the parameter. With N = 50
// this is the mapping of blocks of 50 as it always was, bit for bit: the first piece maps a / h,
// which is the same double as 2 a / N for an even N, and N - h is h.
double RootPath::frameParameter(int frame, int frameCount) const {
    if (frameCount <= 0) {
        return 0.0;
    }
    // Out-of-range frames are held at the ends, so no caller can get a t outside [0, 1).
    if (frame < 0) {
        frame = 0;
    } else if (frame >= frameCount) {
        frame = frameCount - 1;
    }
    const int length = blockLength();
    const int half = length / 2;
    const int blocks = frameCount / length + (frameCount % length != 0 ? 1 : 0);
    if (blocks == 1) {
        return singleBlockParameter(frame, frameCount);
    }
    const int segments = blocks + 1;
    const double n = segments;
    const int lastBlock = frameCount % length != 0 ? frameCount % length : length;
    if (frame < half) {
        return (static_cast<double>(frame) / half) / n;
    }
    const int shifted = frame - half;
    const int k = shifted / length;
    const int r = shifted % length;
    if (k + 2 <= segments - 2) {
        return (k + 1) / n + (static_cast<double>(r) / length) / n;
    }
    const int anchor = half + (blocks - 2) * length;  // control point W - 1
    const int d = frame - anchor;
    const int span = (length - half) + lastBlock / 2;
    if (d <= span) {
        return (blocks - 1) / n + (static_cast<double>(d) / span) / n;
    }
    return blocks / n + (2.0 * (d - span) / lastBlock) / n;
}
