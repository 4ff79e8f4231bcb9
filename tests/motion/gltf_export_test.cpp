#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>

#include "motion/gltf_export.h"
#include "motion_fixtures.h"

namespace {

// A root 100 units up with a neck of `neck` units and a head of `end` above it, 150 units tall
// by default (centimetres, so 0.01 metres a unit): the root moves, the neck turns about z through
// 179 degrees to -179, the short way round.
std::string twoJoints(bool zUp, const std::string& neck = "100", const std::string& end = "50") {
    const auto up = [&](const std::string& v) { return zUp ? "0 0 " + v : "0 " + v + " 0"; };
    return "HIERARCHY\nROOT Hips\n{\n  OFFSET " + up("100") +
           "\n  CHANNELS 3 Xposition Yposition Zposition\n  JOINT Neck\n  {\n    OFFSET " +
           up(neck) + "\n    CHANNELS 1 Zrotation\n    End Site\n    {\n      OFFSET " + up(end) +
           "\n    }\n  }\n}\nMOTION\nFrames: 3\nFrame Time: 0.5\n10 0 0 0\n20 5 0 179\n"
           "30 0 0 -179\n";
}

// Read with the up axis set: so small a figure, moving sideways, is not told apart by detection.
bool load(const std::string& bvh, Motion& motion, bool zUp = false) {
    LoadOptions reading;
    reading.upAxis = zUp ? UpAxis::Z : UpAxis::Y;
    return static_cast<bool>(loadMotion(writeScratch("two_joints.bvh", bvh), motion, reading));
}

// Exports and reads the file back through tinygltf's own loader (JSON for a .gltf name).
tinygltf::Model exported(const std::string& bvh, const std::string& name, bool zUp = false) {
    Motion motion;
    EXPECT_TRUE(load(bvh, motion, zUp));
    const std::string path = scratchPath(name);
    const Result written = exportGltf(EditedMotion(motion), path);
    EXPECT_TRUE(written && written.message.empty()) << written.message;
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error;
    std::string warning;
    const bool text = name.find(".gltf") != std::string::npos;
    EXPECT_TRUE(text ? loader.LoadASCIIFromFile(&model, &error, &warning, path)
                     : loader.LoadBinaryFromFile(&model, &error, &warning, path));
    EXPECT_EQ(error + warning, "");
    return model;
}

// The floats an accessor reads (tightly packed, as the export writes them).
std::vector<float> floats(const tinygltf::Model& model, int index) {
    const tinygltf::Accessor& accessor = model.accessors.at(static_cast<std::size_t>(index));
    const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
    std::vector<float> out(view.byteLength / sizeof(float));
    std::memcpy(out.data(), model.buffers.at(0).data.data() + view.byteOffset, view.byteLength);
    return out;
}

void expectNear(const std::vector<float>& expected, const std::vector<float>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(expected[i], actual[i], 1e-6) << "value " << i;
    }
}

}  // namespace

TEST(GltfExport, TwoJointsFieldByFieldInBothFormats) {
    const float s = std::sin(89.5 * M_PI / 180.0);
    const float c = std::cos(89.5 * M_PI / 180.0);
    for (const char* name : {"two_joints.glb", "two_joints.gltf"}) {
        SCOPED_TRACE(name);
        const tinygltf::Model model = exported(twoJoints(false), name);
        ASSERT_EQ(3u, model.nodes.size());
        EXPECT_EQ("Hips", model.nodes[0].name);
        EXPECT_EQ("Neck_End", model.nodes[2].name);
        EXPECT_EQ(std::vector<int>{1}, model.nodes[0].children);
        EXPECT_EQ(std::vector<int>{2}, model.nodes[1].children);
        EXPECT_EQ((std::vector<double>{0, 1, 0}), model.nodes[1].translation);
        EXPECT_EQ((std::vector<double>{0, 0.5, 0}), model.nodes[2].translation);
        ASSERT_EQ(1u, model.scenes.size());
        EXPECT_EQ(std::vector<int>{0}, model.scenes[0].nodes);
        ASSERT_EQ(1u, model.skins.size());
        EXPECT_EQ((std::vector<int>{0, 1, 2}), model.skins[0].joints);
        const std::vector<float> bind = floats(model, model.skins[0].inverseBindMatrices);
        ASSERT_EQ(48u, bind.size());  // the head's end 2.5 m up at rest
        EXPECT_EQ((std::vector<float>{0, -2.5f, 0, 1}),
                  std::vector<float>(bind.begin() + 44, bind.end()));

        ASSERT_EQ(1u, model.animations.size());
        const tinygltf::Animation& animation = model.animations[0];
        ASSERT_EQ(2u, animation.channels.size());
        EXPECT_EQ(0, animation.channels[0].target_node);
        EXPECT_EQ("translation", animation.channels[0].target_path);
        EXPECT_EQ(1, animation.channels[1].target_node);
        EXPECT_EQ("rotation", animation.channels[1].target_path);
        const tinygltf::AnimationSampler& moves = animation.samplers[0];
        const tinygltf::AnimationSampler& turns = animation.samplers[1];
        EXPECT_EQ("LINEAR", turns.interpolation);
        EXPECT_EQ(moves.input, turns.input);
        expectNear({0, 0.5f, 1}, floats(model, moves.input));
        EXPECT_EQ(std::vector<double>{1}, model.accessors[moves.input].maxValues);
        expectNear({0.1f, 1, 0, 0.2f, 1.05f, 0, 0.3f, 1, 0}, floats(model, moves.output));
        // -179 degrees is written as the quaternion nearer 179's: w negative.
        expectNear({0, 0, 0, 1, 0, 0, s, c, 0, 0, s, -c}, floats(model, turns.output));
    }
}

// The root turned a quarter about x, file z to +Y, at rest and in every frame; the joints
// below keep the file's values.
TEST(GltfExport, ZUpFileStandsUpright) {
    const tinygltf::Model model = exported(twoJoints(true), "two_joints_z.glb", true);
    const float half = std::sqrt(0.5f);
    ASSERT_EQ(4u, model.nodes[0].rotation.size());
    EXPECT_NEAR(-half, model.nodes[0].rotation[0], 1e-7);
    EXPECT_NEAR(half, model.nodes[0].rotation[3], 1e-7);
    EXPECT_EQ((std::vector<double>{0, 0, 1}), model.nodes[1].translation);
    const tinygltf::Animation& animation = model.animations.at(0);
    ASSERT_EQ(3u, animation.channels.size());
    const std::vector<float> root = floats(model, animation.samplers[0].output);
    expectNear({0.1f, 1, 0}, std::vector<float>(root.begin(), root.begin() + 3));
    const std::vector<float> turn = floats(model, animation.samplers[1].output);
    expectNear({-half, 0, 0, half}, std::vector<float>(turn.begin(), turn.begin() + 4));
}

// glTF's JSON takes UTF-8 only: a Latin-1 name comes out with '?' for the letter it cannot say.
TEST(GltfExport, NamesInAnotherEncodingBecomeValidUtf8) {
    std::string bvh = twoJoints(false);
    bvh.replace(bvh.find("Neck"), 4, "M\xFC\xE9\xED\xF3\xFA");
    const tinygltf::Model model = exported(bvh, "latin1.glb");
    ASSERT_EQ(3u, model.nodes.size());
    EXPECT_EQ("M?????", model.nodes[1].name);
    EXPECT_EQ("M?????_End", model.nodes[2].name);
}

TEST(GltfExport, UnitScaleFromTheHeightOrGiven) {
    const struct {
        const char* neck;
        const char* end;
        double scale;
        UnitScale::Basis basis;
    } cases[] = {{"200", "50", 0.01, UnitScale::Basis::Centimetres},
                 {"1", "0.5", 1.0, UnitScale::Basis::Metres},
                 {"200", "50.1", 1.0, UnitScale::Basis::Unknown}};
    for (const auto& c : cases) {
        Motion motion;
        ASSERT_TRUE(load(twoJoints(false, c.neck, c.end), motion));
        const UnitScale scale = unitScaleOf(motion);
        EXPECT_EQ(c.scale, scale.metresPerUnit) << c.neck << " " << c.end;
        EXPECT_EQ(c.basis, scale.basis) << c.neck << " " << c.end;
        EXPECT_EQ(c.basis == UnitScale::Basis::Unknown, !unitScaleNote(scale).empty());
    }
    Motion motion;
    ASSERT_TRUE(load(twoJoints(false), motion));
    EXPECT_EQ("0.5 (given)", unitScaleText(unitScaleOf(motion, 0.5)));
}
