#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bvh_test_support.h"
#include "motion/bvh_writer.h"

namespace {

// Writes through a real file and returns its bytes; result and console text come back too.
struct Written {
    int result = 0;
    int closed = 0;
    std::string bytes;
    std::string output;
};

Written writeBvh(const Joint* root, const FrameTable& frames) {
    Written w;
    std::string path = scratchPath("writer_test.bvh");
    BvhWriter writer;
    writer.open(path);
    w.result = writer.write(root, frames);
    w.closed = writer.close();
    w.output = writer.failure().empty() ? std::string() : writer.failure() + "\n";
    w.bytes = readWhole(path);
    std::remove(path.c_str());
    return w;
}

Joint* addChild(Joint& parent, const std::string& name, std::vector<ChannelType> channels) {
    auto child = std::make_unique<Joint>(name);
    child->setChannels(std::move(channels));
    child->setParent(&parent);
    Joint* added = child.get();
    parent.appendChild(std::move(child));
    return added;
}

TEST(BvhWriter, WritesTheDocumentedShape) {
    ReadResult r = readBvhText(smallBvh());
    ASSERT_TRUE(r.frames);
    r.frames->set(2, 1.0f / 30.0f,
                  {1, 2, 3, 4, 5, 6, 7, 8, 9.5f, -1, -2, -3, -4, -5, -6, -7, -8, 0.03125f});
    Written w = writeBvh(r.root.get(), *r.frames);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.closed, 1);
    EXPECT_EQ(w.output, "");
    // Every joint, the root too, keeps its channels' names and order.
    EXPECT_EQ(w.bytes,
              "HIERARCHY\n"
              "ROOT Hips\n"
              "{\n"
              "\tOFFSET 1.5000 2.5000 -3.2500\n"
              "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
              "\tJOINT Spine\n"
              "\t{\n"
              "\t\tOFFSET 0.0000 10.0000 0.0000\n"
              "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
              "\t\tEnd Site\n"
              "\t\t{\n"
              "\t\t\tOFFSET 0.0000 5.0000 0.5000\n"
              "\t\t}\n"
              "\t}\n"
              "}\n"
              "MOTION\n"
              "Frames: 2\n"
              "Frame Time: 0.033333335\n"
              "1.0000 2.0000 3.0000 4.0000 5.0000 6.0000 7.0000 8.0000 9.5000\n"
              "-1.0000 -2.0000 -3.0000 -4.0000 -5.0000 -6.0000 -7.0000 -8.0000 0.0312\n");
}

TEST(BvhWriter, ZeroFramesAndZeroColumnsReadBack) {
    Joint root("R");
    addChild(root, "Leaf", {});
    FrameTable none(0);
    Written empty = writeBvh(&root, none);
    EXPECT_EQ(empty.result, 1);
    EXPECT_NE(empty.bytes.find("CHANNELS 0\n\tEnd Site\n"), std::string::npos) << empty.bytes;
    EXPECT_EQ(empty.bytes.substr(empty.bytes.find("MOTION")),
              "MOTION\nFrames: 0\nFrame Time: 0.000000\n");

    FrameTable columnless(0);
    columnless.set(3, 0.5f, {});
    Written lines = writeBvh(&root, columnless);
    ReadResult back = readBvhText(lines.bytes);
    ASSERT_TRUE(back.frames) << back.output << lines.bytes;
    EXPECT_EQ(back.frames->frameCount(), 3);
    EXPECT_EQ(back.frames->channelCount(), 0);
}

// A childless joint that has channels keeps its CHANNELS line, so every column stays where it
// was; written as an End Site, the columns after it would shift on reading back.
TEST(BvhWriter, ChildlessJointsWithChannelsStayJoints) {
    Joint root("R");
    root.setChannels({Xposition});
    addChild(root, "Hand", {Xrotation, Yrotation});
    addChild(root, "Tip", {});
    addChild(root, "Foot", {Zrotation});
    FrameTable frames(4);
    frames.set(1, 0.1f, {1, 2, 3, 4});
    Written w = writeBvh(&root, frames);
    EXPECT_NE(w.bytes.find("\tJOINT Hand\n\t{\n\t\tOFFSET 0.0000 0.0000 0.0000\n\t\tCHANNELS 2 "
                           "Xrotation Yrotation\n\t}\n\tEnd Site\n"),
              std::string::npos)
        << w.bytes;
    ReadResult back = readBvhText(w.bytes);
    ASSERT_TRUE(back.frames) << back.output;
    std::vector<const Joint*> joints = preOrder(back.root.get());
    ASSERT_EQ(joints.size(), 4u);
    EXPECT_EQ(joints[1]->name(), "Hand");
    EXPECT_EQ(joints[2]->name(), "End Site");
    EXPECT_EQ(joints[3]->name(), "Foot");
    EXPECT_EQ(joints[3]->channel(0), Zrotation);
    EXPECT_EQ(back.frames->values(), frames.values());
}

// The root's channels are named as they are, even with more than three rotations; a save that
// re-expressed the root in other channels names those instead.
TEST(BvhWriter, RootChannelsAreNamedAsTheyAreOrAsGiven) {
    Joint root("R");
    root.setChannels({Xrotation, Xposition, Yrotation, Zrotation, Yrotation, Xrotation});
    FrameTable frames(6);
    frames.set(1, 0.1f, {1, 2, 3, 4, 5, 6});
    Written w = writeBvh(&root, frames);
    EXPECT_NE(w.bytes.find("CHANNELS 6 Xrotation Xposition Yrotation Zrotation Yrotation "
                           "Xrotation\n"),
              std::string::npos)
        << w.bytes;
    ReadResult back = readBvhText(w.bytes);
    ASSERT_TRUE(back.frames) << back.output;
    EXPECT_EQ(back.root->channels(), root.channels());
    EXPECT_EQ(back.frames->values(), frames.values());

    const std::vector<ChannelType> expanded{Xposition, Yposition, Zposition,
                                            Zrotation, Yrotation, Xrotation};
    std::string path = scratchPath("writer_expanded.bvh");
    BvhWriter writer;
    writer.open(path);
    EXPECT_EQ(writer.write(&root, frames, &expanded), 1);
    EXPECT_EQ(writer.close(), 1);
    EXPECT_NE(readWhole(path).find("CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation "
                               "Xrotation\n"),
              std::string::npos);
    std::remove(path.c_str());
}

// The frame time reads back as the same float, in the fewest decimals (six at least) that do
// it: ".0083333" must not become 0.008333, which plays 120 frames a second at 120.005.
TEST(BvhWriter, FrameTimeReadsBackAsTheSameFloat) {
    const struct {
        const char* read;
        const char* written;
    } texts[] = {{".0083333", "0.0083333"},  {"0.033333", "0.033333"},
                 {"0.0333333", "0.0333333"}, {"0.016666666666666666", "0.016666668"},
                 {"0.041667", "0.041667"},   {"0.5", "0.500000"},
                 {"0", "0.000000"},          {"1e-7", "0.0000001"}};
    Joint root("R");
    for (const auto& t : texts) {
        ReadResult source = readBvhText(
            "HIERARCHY\nROOT R\n{\n\tOFFSET 0 0 0\n\tCHANNELS 0\n}\n"
            "MOTION\nFrames: 0\nFrame Time: " +
            std::string(t.read) + "\n");
        ASSERT_TRUE(source.frames) << source.output;
        // The file's own text is written back; without it, the fewest decimals.
        Written kept = writeBvh(&root, *source.frames);
        EXPECT_NE(kept.bytes.find(std::string("Frame Time: ") + t.read + "\n"), std::string::npos)
            << t.read << " gave " << kept.bytes.substr(kept.bytes.find("Frame Time"));
        source.frames->setFrameTimeText("");
        Written w = writeBvh(&root, *source.frames);
        EXPECT_NE(w.bytes.find(std::string("Frame Time: ") + t.written + "\n"), std::string::npos)
            << t.read << " gave " << w.bytes.substr(w.bytes.find("Frame Time"));
    }
    // Only a whole number text that reads as the frame time is written back.
    for (const char* text : {"0.0166666abc", "0.02"}) {
        FrameTable frames(0);
        frames.set(0, 1.0f / 60.0f, {});
        frames.setFrameTimeText(text);
        EXPECT_NE(writeBvh(&root, frames).bytes.find("Time: 0.016666668\n"), std::string::npos);
    }
    // Odd floats too: a third, a denormal, a large value.
    for (float seconds : {1.0f / 3.0f, 1.0f / 120.0f, 3e-39f, 12345.678f}) {
        FrameTable frames(0);
        frames.set(0, seconds, {});
        Written w = writeBvh(&root, frames);
        ReadResult back = readBvhText(w.bytes);
        ASSERT_TRUE(back.frames) << back.output;
        EXPECT_EQ(seconds, back.frames->frameTime()) << w.bytes;
    }
}

TEST(BvhWriter, ReportsMissingRootAndStreamFailures) {
    FrameTable frames(0);
    Written noRoot = writeBvh(nullptr, frames);
    EXPECT_EQ(noRoot.result, 0);
    EXPECT_EQ(noRoot.bytes, "HIERARCHY\n");
    EXPECT_EQ(noRoot.output, "Error in BVH file output: no root node passed in\n");

    Joint root("R");
    {
        BvhWriter writer;
        EXPECT_EQ(writer.open("/nonexistent/folder/out.bvh"), 0);
        EXPECT_EQ(writer.write(&root, frames), 0);
        EXPECT_EQ(writer.close(), 1);
        EXPECT_EQ(writer.failure(), "Error in BVH file output: could not open file");
    }

    // A full device accepts the open and refuses the bytes: the save must not look successful.
    std::FILE* probe = std::fopen("/dev/full", "w");
    if (!probe)
        GTEST_SKIP() << "/dev/full is not available";
    std::fclose(probe);
    FrameTable many(1);
    many.set(200000, 0.1f, std::vector<float>(200000, 1.0f));
    for (const FrameTable* table : {&frames, &many}) {
        BvhWriter writer;
        ASSERT_EQ(writer.open("/dev/full"), 1);
        EXPECT_EQ(writer.write(&root, *table), 0);
        EXPECT_EQ(writer.close(), 0);
        EXPECT_EQ(writer.failure(), "Error in BVH file output: could not write file");
    }
}

// Writing walks the tree with its own stack: a chain deeper than the reader accepts (its tabs
// grow with the square of the depth, so not much deeper) and a fan of 200,000 joints are both
// written in full.
TEST(BvhWriter, WritesDeepAndWideSkeletons) {
    const int depth = 3000;
    Joint deep("root");
    Joint* tip = &deep;
    for (int i = 0; i < depth; ++i)
        tip = addChild(*tip, "j", {});
    FrameTable frames(0);
    Written chain = writeBvh(&deep, frames);
    EXPECT_EQ(chain.result, 1);
    std::size_t endSite = chain.bytes.find("End Site\n");
    ASSERT_NE(endSite, std::string::npos);
    EXPECT_EQ(chain.bytes.rfind('\n', endSite) + depth + 1, endSite);
    EXPECT_NE(chain.bytes.find("\n}\nMOTION\n"), std::string::npos);

    Joint wide("root");
    for (int i = 0; i < 200000; ++i)
        addChild(wide, "w", {});
    Written fan = writeBvh(&wide, frames);
    EXPECT_EQ(fan.result, 1);
    ReadResult back = readBvhText(fan.bytes);
    ASSERT_TRUE(back.frames) << back.output;
    EXPECT_EQ(preOrder(back.root.get()).size(), 200001u);
}

}  // namespace
