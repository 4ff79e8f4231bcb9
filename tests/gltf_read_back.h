#pragma once

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

// An exported glTF file read back through tinygltf's own loader, and its nodes posed from what
// the file holds, for the export's tests.
namespace gltf_back {

using Vec3 = std::array<double, 3>;
using Quat4 = std::array<double, 4>;  // x y z w, glTF's order

// Loads a .glb, or a .gltf when the name says so; fails the test on a warning or an error.
inline bool load(const std::string& path, tinygltf::Model& model) {
    tinygltf::TinyGLTF loader;
    std::string error;
    std::string warning;
    const bool text = path.size() > 5 && path.compare(path.size() - 5, 5, ".gltf") == 0;
    const bool loaded = text ? loader.LoadASCIIFromFile(&model, &error, &warning, path)
                             : loader.LoadBinaryFromFile(&model, &error, &warning, path);
    EXPECT_TRUE(loaded && error.empty() && warning.empty()) << path << ": " << error << warning;
    return loaded;
}

// The floats an accessor reads (tightly packed, as the export writes them).
inline std::vector<float> floats(const tinygltf::Model& model, int index) {
    const tinygltf::Accessor& accessor = model.accessors.at(static_cast<std::size_t>(index));
    const tinygltf::BufferView& view =
        model.bufferViews.at(static_cast<std::size_t>(accessor.bufferView));
    const std::vector<unsigned char>& data = model.buffers.at(0).data;
    std::vector<float> out(view.byteLength / sizeof(float));
    std::memcpy(out.data(), data.data() + view.byteOffset + accessor.byteOffset, view.byteLength);
    return out;
}

inline Vec3 rotated(const Quat4& q, const Vec3& v) {
    const Vec3 u{q[0], q[1], q[2]};
    const auto cross = [](const Vec3& a, const Vec3& b) {
        return Vec3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                    a[0] * b[1] - a[1] * b[0]};
    };
    const Vec3 c = cross(u, v);
    const Vec3 cc = cross(u, c);
    return {v[0] + 2 * (q[3] * c[0] + cc[0]), v[1] + 2 * (q[3] * c[1] + cc[1]),
            v[2] + 2 * (q[3] * c[2] + cc[2])};
}

inline Quat4 product(const Quat4& a, const Quat4& b) {
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

// Every node's world position at key `frame` of the first animation (the rest values where no
// channel drives a node), parents before children as the export orders them.
inline std::vector<Vec3> worldAt(const tinygltf::Model& model, std::size_t frame) {
    const std::size_t count = model.nodes.size();
    std::vector<Vec3> t(count, Vec3{0, 0, 0});
    std::vector<Quat4> r(count, Quat4{0, 0, 0, 1});
    std::vector<int> parent(count, -1);
    for (std::size_t j = 0; j < count; ++j) {
        const tinygltf::Node& node = model.nodes[j];
        std::copy(node.translation.begin(), node.translation.end(), t[j].begin());
        std::copy(node.rotation.begin(), node.rotation.end(), r[j].begin());
        for (int child : node.children) {
            parent[static_cast<std::size_t>(child)] = static_cast<int>(j);
        }
    }
    for (const tinygltf::AnimationChannel& channel : model.animations.at(0).channels) {
        const tinygltf::AnimationSampler& sampler =
            model.animations[0].samplers.at(static_cast<std::size_t>(channel.sampler));
        const std::vector<float> values = floats(model, sampler.output);
        const std::size_t j = static_cast<std::size_t>(channel.target_node);
        const bool moves = channel.target_path == "translation";
        const std::size_t width = moves ? 3 : 4;
        for (std::size_t k = 0; k < width; ++k) {
            (moves ? t[j][k] : r[j][k]) = values.at(width * frame + k);
        }
    }
    std::vector<Vec3> world(count);
    for (std::size_t j = 0; j < count; ++j) {
        if (parent[j] >= 0) {
            const std::size_t p = static_cast<std::size_t>(parent[j]);
            const Vec3 moved = rotated(r[p], t[j]);
            world[j] = {world[p][0] + moved[0], world[p][1] + moved[1], world[p][2] + moved[2]};
            r[j] = product(r[p], r[j]);
        } else {
            world[j] = t[j];
        }
    }
    return world;
}

}  // namespace gltf_back
