#include "motion/node_sampler.h"

#include <cstring>

#include "motion/frame_lanes.h"
#include "motion/transform_ops.h"

namespace {

// A quaternion of one frame (T = float) or of four side by side (T = Lanes).
template <typename T>
struct QuatOf {
    T w, x, y, z;
};

float laneOf(float v, int) {
    return v;
}
float laneOf(const Lanes& v, int i) {
    return v[i];
}

void halfAngles(const float* const rows[], int column, float& half) {
    half = 0.5f * rows[0][column];
}
void halfAngles(const float* const rows[], int column, Lanes& half) {
    half = Lanes{rows[0][column], rows[1][column], rows[2][column], rows[3][column]} * 0.5f;
}

void sinCos(float degrees, float& s, float& c) {
    rotationSinCos(degrees, s, c);
}
__attribute__((always_inline)) inline void sinCos(const Lanes& degrees, Lanes& s, Lanes& c) {
    rotationSinCosLanes(degrees, s, c);
}

// q followed, in q's frame, by a turn about one axis given the sine and cosine of half its angle:
// the Hamilton product q * (c, s along the axis), written out.
template <typename T>
__attribute__((always_inline)) inline void turnAbout(QuatOf<T>& q, int axis, const T& s,
                                                     const T& c) {
    const QuatOf<T> a = q;
    switch (axis) {
        case 0:
            q = {a.w * c - a.x * s, a.x * c + a.w * s, a.y * c + a.z * s, a.z * c - a.y * s};
            break;
        case 1:
            q = {a.w * c - a.y * s, a.x * c - a.z * s, a.y * c + a.w * s, a.z * c + a.x * s};
            break;
        default:
            q = {a.w * c - a.z * s, a.x * c + a.y * s, a.y * c - a.x * s, a.z * c + a.w * s};
            break;
    }
}

void sampleOneByOne(const std::vector<NodeSampler>& samplers, const FrameTable& frames, int first,
                    int last, unsigned char* values) {
    for (int f = first; f < last; ++f) {
        const float* row = frames.row(f);
        for (const NodeSampler& sampler : samplers) {
            sampler.move(static_cast<std::size_t>(f), row, values);
            sampler.turn<float>(static_cast<std::size_t>(f), &row, values);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void sampleByFours(const std::vector<NodeSampler>& samplers,
                                                   const FrameTable& frames, int first, int last,
                                                   unsigned char* values) {
    int f = first;
    for (; f + kFrameLanes <= last; f += kFrameLanes) {
        const float* rows[kFrameLanes] = {frames.row(f), frames.row(f + 1), frames.row(f + 2),
                                          frames.row(f + 3)};
        for (const NodeSampler& sampler : samplers) {
            for (int i = 0; i < kFrameLanes; ++i) {
                sampler.move(static_cast<std::size_t>(f + i), rows[i], values);
            }
            sampler.turn<Lanes>(static_cast<std::size_t>(f), rows, values);
        }
    }
    sampleOneByOne(samplers, frames, f, last, values);
}
#endif

}  // namespace

NodeSampler::NodeSampler(const std::vector<Motion::ChannelStep>& steps,
                         const std::array<float, 3>& base, double scale)
    : base_(base), scale_(scale) {
    for (const Motion::ChannelStep& step : steps) {
        (step.type <= Zposition ? moves_ : turns_).push_back(step);
    }
}

std::size_t NodeSampler::place(NodeTrack& node, std::size_t frames, std::size_t bytes) {
    if (!moves_.empty()) {
        node.translations = translations_ = bytes;
        bytes += 3 * sizeof(float) * frames;
    }
    if (!turns_.empty()) {
        node.rotations = rotations_ = bytes;
        bytes += 4 * sizeof(float) * frames;
    }
    return bytes;
}

void NodeSampler::move(std::size_t f, const float* row, unsigned char* values) const {
    if (moves_.empty()) {
        return;
    }
    double t[3] = {base_[0], base_[1], base_[2]};
    for (const Motion::ChannelStep& step : moves_) {
        t[step.type] += row[step.column];
    }
    const float out[3] = {static_cast<float>(t[0] * scale_), static_cast<float>(t[1] * scale_),
                          static_cast<float>(t[2] * scale_)};
    std::memcpy(values + translations_ + sizeof out * f, out, sizeof out);
}

// Products of unit turns from the pose's own float sines and cosines stay unit to within a few
// float roundings, well inside what glTF asks of a rotation.
template <typename T>
__attribute__((always_inline)) inline void NodeSampler::turn(std::size_t f,
                                                             const float* const rows[],
                                                             unsigned char* values) const {
    if (turns_.empty()) {
        return;
    }
    QuatOf<T> q{T{} + 1.0f, T{}, T{}, T{}};
    for (const Motion::ChannelStep& step : turns_) {
        T half;
        halfAngles(rows, step.column, half);
        T s;
        T c;
        sinCos(half, s, c);
        turnAbout(q, step.type - Xrotation, s, c);
    }
    for (int i = 0; i < static_cast<int>(sizeof(T) / sizeof(float)); ++i) {
        const float out[4] = {laneOf(q.x, i), laneOf(q.y, i), laneOf(q.z, i), laneOf(q.w, i)};
        std::memcpy(values + rotations_ + sizeof out * (f + i), out, sizeof out);
    }
}

void NodeSampler::makeContinuous(std::size_t frames, unsigned char* values) const {
    if (turns_.empty()) {
        return;
    }
    float last[4];
    std::memcpy(last, values + rotations_, sizeof last);
    for (std::size_t f = 1; f < frames; ++f) {
        unsigned char* at = values + rotations_ + sizeof last * f;
        float q[4];
        std::memcpy(q, at, sizeof q);
        if (q[0] * last[0] + q[1] * last[1] + q[2] * last[2] + q[3] * last[3] < 0.0f) {
            for (float& v : q) {
                v = -v;
            }
            std::memcpy(at, q, sizeof q);
        }
        std::memcpy(last, q, sizeof last);
    }
}

void sampleFrames(const std::vector<NodeSampler>& samplers, const FrameTable& frames, int first,
                  int last, unsigned char* values) {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2")) {
        sampleByFours(samplers, frames, first, last, values);
        return;
    }
#endif
    sampleOneByOne(samplers, frames, first, last, values);
}
