#include "motion/gltf_tracks.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "motion/motion.h"
#include "motion/node_sampler.h"
#include "motion/progress.h"
#include "motion/utf8_text.h"
#include "numeric/run_in_halves.h"

namespace {

constexpr int kFramesPerReport = 1024;
// Frames enough to be worth a second thread.
constexpr int kSplitFrames = 2048;

bool isEndSite(const Joint& joint) {
    return joint.name() == "End Site" && joint.channelCount() == 0;
}

// Joint j's channels in the baked table, in file order. The root's columns come first and may
// have been laid out anew (rootChannels); every other joint's columns moved by as much.
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

Result motionTracks(const PreparedExport& prepared, MotionTracks& tracks, Progress* progress,
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
    std::size_t bytes = 0;
    for (std::size_t j = 0; j < count; ++j) {
        tracks.nodes.push_back(restOf(prepared, j, scale));
        const std::vector<Motion::ChannelStep> steps = stepsOf(prepared, j);
        if (!steps.empty()) {
            const std::array<float, 3> base = j == 0 ? prepared.rootOffset : motion.baseOffset(j);
            samplers.emplace_back(steps, base, scale);
            bytes = samplers.back().place(tracks.nodes.back(), frameCount, bytes);
        }
    }
    const std::size_t buffer = bytes + MotionTracks::tailBytes(frameCount, count);
    if (buffer > kMaxBufferBytes) {
        return Result::failure(
            "Error in glTF file output: the motion is too long for one glTF file");
    }
    tracks.values.reserve(buffer);
    tracks.values.resize(bytes);
    unsigned char* values = tracks.values.data();
    // The first half reports; both stop at a cancel.
    std::atomic<bool> stopped{false};
    runInHalves(frames.frameCount(), kSplitFrames, [&](int first, int last, int half) {
        for (int f = first; f < last && !stopped.load(std::memory_order_relaxed);
             f += kFramesPerReport) {
            if (half == 0 ? !reportStage(progress, from, to, 2.0 * (f - first), frameCount)
                          : progress != nullptr && progress->cancelled()) {
                stopped = true;
                break;
            }
            sampleFrames(samplers, frames, f, std::min(last, f + kFramesPerReport), values);
        }
    });
    if (stopped) {
        return Result::failure(Progress::kCancelled);
    }
    for (const NodeSampler& sampler : samplers) {
        sampler.makeContinuous(frameCount, values);
    }
    return reportStage(progress, from, to, 1.0, 1.0) ? Result::success()
                                                     : Result::failure(Progress::kCancelled);
}
