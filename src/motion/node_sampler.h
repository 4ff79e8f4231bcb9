#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "motion/gltf_tracks.h"
#include "motion/motion.h"

// One joint's glTF values at every frame of the baked table, written into the tracks' values where
// its NodeTrack says: the translation, its base offset plus its position channels (the reading
// decided the base), scaled to metres; the rotation, its rotation channels' turns in file order as
// a quaternion x y z w. Frames are independent, so they may be sampled in any order and on two
// threads; makeContinuous then settles the quaternions' signs in frame order.
class NodeSampler {
  public:
    NodeSampler(const std::vector<Motion::ChannelStep>& steps, const std::array<float, 3>& base,
                double scale);

    // Gives the node room for its values from byte `bytes` on; returns the end of that room.
    std::size_t place(NodeTrack& node, std::size_t frames, std::size_t bytes);
    // The translation of frame f, whose row of values is `row`.
    void move(std::size_t f, const float* row, unsigned char* values) const;
    // The rotation of frames f, f + 1, ... (one with T = float, four side by side with T = Lanes),
    // whose rows of values are `rows`.
    template <typename T>
    void turn(std::size_t f, const float* const rows[], unsigned char* values) const;
    // q and -q are the same rotation; of the two, each frame takes the one nearer the frame
    // before, so that interpolating between them never takes the long way round.
    void makeContinuous(std::size_t frames, unsigned char* values) const;

  private:
    std::vector<Motion::ChannelStep> moves_;  // file order
    std::vector<Motion::ChannelStep> turns_;  // file order
    std::array<float, 3> base_;
    double scale_;
    std::size_t translations_ = NodeTrack::kNone;
    std::size_t rotations_ = NodeTrack::kNone;
};

// Samples frames [first, last) for every sampler: four frames at a time where the machine has
// AVX2 (the sines and cosines, most of the work, as the load's sweep takes them), else one by one.
void sampleFrames(const std::vector<NodeSampler>& samplers, const FrameTable& frames, int first,
                  int last, unsigned char* values);
