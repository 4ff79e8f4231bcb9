#pragma once

#include "motion/gltf_tracks.h"

namespace tinygltf {
class Model;
}

// Lays the tracks out as a glTF model: the nodes (translation and rotation at rest) under one
// scene, a skin of every node with the inverse of each one's rest transform in the world, and
// one animation whose LINEAR samplers key each animated translation and rotation at the frame
// times. The whole buffer is one, which a .glb holds as its binary chunk; it takes the tracks'
// values over. False, taking nothing, when it would exceed what glTF's 32-bit lengths can say.
bool buildModel(MotionTracks& tracks, tinygltf::Model& model);
