#include "motion/gltf_tracks.h"

#include <algorithm>
#include <cmath>

#include "motion/motion.h"
#include "motion/progress.h"
#include "motion/transform_ops.h"
#include "motion/utf8_text.h"

namespace {

constexpr int kFramesPerReport = 1024;

bool isEndSite(const Joint& joint) {
    return joint.name() == "End Site" && joint.channelCount() == 0;
}

// Joint j's channels in the baked table as the pose applies them: the translations, then the
// rotations, each in file order. The root's columns come first and may have been laid out anew
// (rootChannels); every other joint's columns moved by as much.
std::vector<Motion::ChannelStep> stepsOf(const PreparedExport& prepared, std::size_t j) {
    const Motion& motion = *prepared.motion;
    std::vector<Motion::ChannelStep> steps;
    if (j == 0) {
        for (std::size_t i = 0; i < prepared.rootChannels.size(); ++i) {
            steps.push_back({static_cast<int>(i), prepared.rootChannels[i]});
        }
    } else {
        const int shift = prepared.frames->channelCount() - motion.frames()->channelCount();
        const Joint& joint = *motion.joints()[j];
        for (int i = 0; i < joint.channelCount(); ++i) {
            steps.push_back({motion.firstColumn()[j] + shift + i, joint.channel(i)});
        }
    }
    std::stable_partition(steps.begin(), steps.end(),
                          [](const Motion::ChannelStep& s) { return s.type <= Zposition; });
    return steps;
}

NodeTrack restOf(const PreparedExport& prepared, std::size_t j, double scale) {
    const Motion& motion = *prepared.motion;
    const Joint& joint = *motion.joints()[j];
    NodeTrack node;
    node.parent = motion.parentIndex()[j];
    node.name = isEndSite(joint) && joint.parent() != nullptr
                    ? validUtf8(joint.parent()->name()) + "_End"
                    : validUtf8(joint.name());
    const std::array<float, 3> offset = j == 0 ? prepared.rootOffset : joint.offset();
    for (std::size_t a = 0; a < 3; ++a) {
        node.restTranslation[a] = offset[a] * scale;
    }
    if (j == 0 && motion.upAxis() == UpAxis::Z) {
        node.restRotation = axisRotation(-90.0, 0);
    }
    return node;
}

// Rotation by `degrees` about one axis, from the pose's own sine and cosine of the half angle.
Quat halfAngleRotation(float degrees, int axis) {
    float s = 0.0f;
    float c = 1.0f;
    rotationSinCos(0.5f * degrees, s, c);
    Quat q{c, 0.0, 0.0, 0.0};
    (axis == 0 ? q.x : axis == 1 ? q.y : q.z) = s;
    return q;
}

// One joint's values at every frame.
class NodeSampler {
  public:
    NodeSampler(std::vector<Motion::ChannelStep> steps, const std::array<float, 3>& base,
                double scale, NodeTrack& node, std::size_t frames)
        : steps_(std::move(steps)), base_(base), scale_(scale), node_(node) {
        for (const Motion::ChannelStep& step : steps_) {
            (step.type <= Zposition ? moves_ : turns_) = true;
        }
        node_.translations.resize(moves_ ? 3 * frames : 0);
        node_.rotations.resize(turns_ ? 4 * frames : 0);
    }

    void sample(std::size_t f, const float* row) {
        std::array<double, 3> t{base_[0], base_[1], base_[2]};
        Quat q;
        for (const Motion::ChannelStep& step : steps_) {
            if (step.type <= Zposition) {
                t[static_cast<std::size_t>(step.type)] += row[step.column];
            } else {
                q = product(q, halfAngleRotation(row[step.column], step.type - Xrotation));
            }
        }
        if (moves_) {
            for (std::size_t a = 0; a < 3; ++a) {
                node_.translations[3 * f + a] = static_cast<float>(t[a] * scale_);
            }
        }
        if (turns_) {
            writeRotation(f, q);
        }
    }

  private:
    // q and -q are the same rotation; of the two, the one nearer the frame before, so that
    // interpolating between them never takes the long way round.
    void writeRotation(std::size_t f, const Quat& q) {
        const double length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
        const double xyzw[4] = {q.x, q.y, q.z, q.w};
        double dot = 0.0;
        for (std::size_t k = 0; f > 0 && k < 4; ++k) {
            dot += xyzw[k] * node_.rotations[4 * (f - 1) + k];
        }
        const double sign = dot < 0.0 ? -1.0 : 1.0;
        for (std::size_t k = 0; k < 4; ++k) {
            node_.rotations[4 * f + k] = static_cast<float>(sign * xyzw[k] / length);
        }
    }

    std::vector<Motion::ChannelStep> steps_;
    std::array<float, 3> base_;
    double scale_;
    NodeTrack& node_;
    bool moves_ = false;
    bool turns_ = false;
};

}  // namespace

std::vector<float> frameTimes(int count, double frameTime) {
    std::vector<float> times;
    if (!(frameTime > 0.0) || !std::isfinite(frameTime) || count < 0) {
        return times;
    }
    times.resize(static_cast<std::size_t>(count));
    for (std::size_t f = 0; f < times.size(); ++f) {
        times[f] = static_cast<float>(static_cast<double>(f) * frameTime);
        if (f > 0 && !(times[f] > times[f - 1])) {
            return {};
        }
    }
    return times;
}

bool motionTracks(const PreparedExport& prepared, MotionTracks& tracks, Progress* progress,
                  double from, double to) {
    const Motion& motion = *prepared.motion;
    const FrameTable& frames = *prepared.frames;
    const double scale = prepared.scale.metresPerUnit;
    const std::size_t count = motion.joints().size();
    const std::size_t frameCount = static_cast<std::size_t>(frames.frameCount());
    tracks.times = frameTimes(frames.frameCount(), frames.frameTime());
    tracks.nodes.clear();
    tracks.nodes.reserve(count);
    std::vector<NodeSampler> samplers;
    for (std::size_t j = 0; j < count; ++j) {
        tracks.nodes.push_back(restOf(prepared, j, scale));
    }
    for (std::size_t j = 0; j < count; ++j) {
        std::vector<Motion::ChannelStep> steps = stepsOf(prepared, j);
        if (!steps.empty()) {
            const std::array<float, 3> base = j == 0 ? prepared.rootOffset : motion.baseOffset(j);
            samplers.emplace_back(std::move(steps), base, scale, tracks.nodes[j], frameCount);
        }
    }
    for (std::size_t f = 0; f < frameCount; ++f) {
        if (f % kFramesPerReport == 0 &&
            !reportStage(progress, from, to, static_cast<double>(f), frameCount)) {
            return false;
        }
        const float* row = frames.row(static_cast<int>(f));
        for (NodeSampler& sampler : samplers) {
            sampler.sample(f, row);
        }
    }
    return reportStage(progress, from, to, 1.0, 1.0);
}
