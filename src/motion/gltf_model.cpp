#include "motion/gltf_model.h"

#include <tiny_gltf.h>

#include <cstdint>
#include <cstring>

namespace {

// A rotation and a translation, in doubles: the rotation as a 3x3 matrix, row by row.
struct Rigid {
    std::array<double, 9> r{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::array<double, 3> t{};
};

Rigid rigidOf(const std::array<double, 3>& t, const Quat& q) {
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    Rigid m;
    m.r = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
           2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
           2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
    m.t = t;
    return m;
}

// a followed, in a's frame, by b: the world transform of a child b of a.
Rigid compose(const Rigid& a, const Rigid& b) {
    Rigid m;
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            m.r[3 * i + k] =
                a.r[3 * i] * b.r[k] + a.r[3 * i + 1] * b.r[3 + k] + a.r[3 * i + 2] * b.r[6 + k];
        }
        m.t[i] = a.r[3 * i] * b.t[0] + a.r[3 * i + 1] * b.t[1] + a.r[3 * i + 2] * b.t[2] + a.t[i];
    }
    return m;
}

// The inverse of a rigid transform as glTF's column-major 4x4: R^T and -R^T t, the last row
// exactly 0 0 0 1.
std::array<float, 16> inverseMatrix(const Rigid& m) {
    std::array<float, 16> out{};
    for (std::size_t col = 0; col < 3; ++col) {
        for (std::size_t row = 0; row < 3; ++row) {
            out[4 * col + row] = static_cast<float>(m.r[3 * col + row]);
        }
        out[12 + col] = static_cast<float>(
            -(m.r[col] * m.t[0] + m.r[3 + col] * m.t[1] + m.r[6 + col] * m.t[2]));
    }
    out[15] = 1.0f;
    return out;
}

// The rest pose's inverse world transforms, parents first (the nodes' order).
std::vector<float> inverseBindMatrices(const MotionTracks& tracks) {
    std::vector<Rigid> world(tracks.nodes.size());
    std::vector<float> out;
    out.reserve(16 * tracks.nodes.size());
    for (std::size_t j = 0; j < tracks.nodes.size(); ++j) {
        const NodeTrack& node = tracks.nodes[j];
        const Rigid local = rigidOf(node.restTranslation, node.restRotation);
        world[j] =
            node.parent < 0 ? local : compose(world[static_cast<std::size_t>(node.parent)], local);
        const std::array<float, 16> inverse = inverseMatrix(world[j]);
        out.insert(out.end(), inverse.begin(), inverse.end());
    }
    return out;
}

// The model's one buffer, taken over from the tracks' values, and views of its floats, each read
// by one accessor of its own.
class BufferLayout {
  public:
    BufferLayout(tinygltf::Model& model, std::vector<unsigned char> values) : model_(model) {
        model_.buffers.resize(1);
        model_.buffers[0].data = std::move(values);
    }

    // Index of the accessor of `count` elements of type `type` at byte `offset` of the buffer.
    int view(std::size_t offset, std::size_t bytes, int type, std::size_t count) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = offset;
        view.byteLength = bytes;
        model_.bufferViews.push_back(view);
        tinygltf::Accessor accessor;
        accessor.bufferView = static_cast<int>(model_.bufferViews.size()) - 1;
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.type = type;
        accessor.count = count;
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    // The same for `values` appended to the buffer, `components` to an element.
    int append(const std::vector<float>& values, int type, std::size_t components) {
        std::vector<unsigned char>& data = model_.buffers[0].data;
        const std::size_t offset = data.size();
        const std::size_t bytes = values.size() * sizeof(float);
        data.resize(offset + bytes);
        std::memcpy(data.data() + offset, values.data(), bytes);
        return view(offset, bytes, type, values.size() / components);
    }

  private:
    tinygltf::Model& model_;
};

std::vector<tinygltf::Node> nodesOf(const MotionTracks& tracks) {
    std::vector<tinygltf::Node> nodes(tracks.nodes.size());
    for (std::size_t j = 0; j < tracks.nodes.size(); ++j) {
        const NodeTrack& track = tracks.nodes[j];
        tinygltf::Node& node = nodes[j];
        node.name = track.name;
        node.translation.assign(track.restTranslation.begin(), track.restTranslation.end());
        const Quat& q = track.restRotation;
        if (q.w != 1.0) {
            node.rotation = {q.x, q.y, q.z, q.w};
        }
        if (track.parent >= 0) {
            nodes[static_cast<std::size_t>(track.parent)].children.push_back(static_cast<int>(j));
        }
    }
    return nodes;
}

// One LINEAR sampler at the frame times and one channel driving the node's path by it.
void addChannel(tinygltf::Animation& animation, int times, int values, std::size_t node,
                const char* path) {
    tinygltf::AnimationSampler sampler;
    sampler.input = times;
    sampler.output = values;
    sampler.interpolation = "LINEAR";
    animation.samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
    channel.target_node = static_cast<int>(node);
    channel.target_path = path;
    animation.channels.push_back(channel);
}

}  // namespace

bool buildModel(MotionTracks& tracks, tinygltf::Model& model) {
    const std::size_t frames = tracks.times.size();
    if (frames == 0 || tracks.values.size() + MotionTracks::tailBytes(frames, tracks.nodes.size()) >
                           kMaxBufferBytes) {
        return false;
    }
    model = tinygltf::Model();
    model.asset.version = "2.0";
    model.asset.generator = "bvhpath";
    model.nodes = nodesOf(tracks);
    tinygltf::Scene scene;
    for (std::size_t j = 0; j < tracks.nodes.size(); ++j) {
        if (tracks.nodes[j].parent < 0) {
            scene.nodes.push_back(static_cast<int>(j));
        }
    }
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    BufferLayout layout(model, std::move(tracks.values));
    tinygltf::Skin skin;
    skin.inverseBindMatrices = layout.append(inverseBindMatrices(tracks), TINYGLTF_TYPE_MAT4, 16);
    skin.skeleton = scene.nodes.size() == 1 ? scene.nodes.front() : -1;
    for (std::size_t j = 0; j < tracks.nodes.size(); ++j) {
        skin.joints.push_back(static_cast<int>(j));
    }
    model.skins.push_back(skin);

    const int times = layout.append(tracks.times, TINYGLTF_TYPE_SCALAR, 1);
    // An animation's input states its range.
    model.accessors[static_cast<std::size_t>(times)].minValues = {tracks.times.front()};
    model.accessors[static_cast<std::size_t>(times)].maxValues = {tracks.times.back()};
    tinygltf::Animation animation;
    animation.name = "motion";
    for (std::size_t j = 0; j < tracks.nodes.size(); ++j) {
        const NodeTrack& node = tracks.nodes[j];
        if (node.translations != NodeTrack::kNone) {
            const int values = layout.view(node.translations, 3 * sizeof(float) * frames,
                                           TINYGLTF_TYPE_VEC3, frames);
            addChannel(animation, times, values, j, "translation");
        }
        if (node.rotations != NodeTrack::kNone) {
            const int values =
                layout.view(node.rotations, 4 * sizeof(float) * frames, TINYGLTF_TYPE_VEC4, frames);
            addChannel(animation, times, values, j, "rotation");
        }
    }
    model.animations.push_back(animation);
    return true;
}
