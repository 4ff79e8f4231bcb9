#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bvh_test_support.h"
#include "motion/bvh_writer.h"

namespace {

struct Traits {
    int frames;
    int channels;
    int joints;  // ROOT and JOINT nodes
    int endSites;
};

// What the corpus notes say of each file.
const std::map<std::string, Traits> kTraits = {
    {"cmu_01_01_walk.bvh", {2752, 96, 31, 7}},
    {"cmu_12_01_walk.bvh", {524, 96, 31, 7}},
    {"pfnn_cmu_crlf.bvh", {60, 96, 31, 7}},
    {"mixamo_colon_fingers.bvh", {69, 168, 55, 15}},
    {"mocapbank_crlf_zxy.bvh", {455, 60, 19, 5}},
    {"av_walk_xyz_offset.bvh", {1064, 72, 23, 7}},
    {"makehuman_zombie_walk.bvh", {31, 228, 75, 16}},
    {"pybvh_yxz_crlf.bvh", {61, 72, 23, 5}},
    {"pybvh_xzy_mixed_orders.bvh", {75, 75, 24, 5}},
    {"synth_sinusoidal_noendsite.bvh", {120, 15, 4, 0}},
};

std::uint32_t bitsOf(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The MOTION section read the plain way (whole text, line by line, strtok and atof), as an
// independent check of the reader's chunked input and fast number conversion.
void expectValuesAsAtof(const std::string& text, const FrameTable& table, const std::string& name) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    char* cursor = copy.data();
    int frame = -1;
    float frameTime = 0.0f;
    while (cursor && *cursor && frame < table.frameCount()) {
        char* line = cursor;
        char* feed = std::strchr(cursor, '\n');
        cursor = feed ? feed + 1 : nullptr;
        if (feed)
            *feed = '\0';
        if (feed && feed > line && feed[-1] == '\r')
            feed[-1] = '\0';
        if (frame < 0) {
            if (std::strncmp(line, "Frame Time:", 11) == 0) {
                frameTime = static_cast<float>(std::atof(line + 11));
                frame = 0;
            }
            continue;
        }
        int column = 0;
        for (char* token = std::strtok(line, " \t"); token && column < table.channelCount();
             token = std::strtok(nullptr, " \t")) {
            float expected = static_cast<float>(std::atof(token));
            if (bitsOf(table.value(frame, column)) != bitsOf(expected)) {
                ADD_FAILURE() << name << " frame " << frame << " column " << column << ": "
                              << token;
                return;
            }
            ++column;
        }
        ASSERT_EQ(column, table.channelCount()) << name << " frame " << frame;
        ++frame;
    }
    EXPECT_EQ(frame, table.frameCount()) << name;
    EXPECT_EQ(frameTime, table.frameTime()) << name;
}

bool near4(float a, float b) {
    return std::fabs(a - b) <= 0.00005f + std::fabs(a) * 2e-7f;
}

// Read -> write -> read keeps the skeleton, every joint's channel line, the frame time and the
// values to the four decimals written.
void expectRoundTrip(const ReadResult& first, const std::string& name) {
    std::string path = scratchPath("corpus_" + name);
    BvhWriter writer;
    writer.open(path);
    int written = writer.write(first.root.get(), *first.frames);
    int closed = writer.close();
    const std::string& output = writer.failure();
    ASSERT_EQ(written, 1) << name << output;
    ASSERT_EQ(closed, 1) << name << output;
    ReadResult second = readBvhFile(path);
    std::remove(path.c_str());
    ASSERT_TRUE(second.frames) << name << ": " << second.output;

    std::vector<const Joint*> a = preOrder(first.root.get());
    std::vector<const Joint*> b = preOrder(second.root.get());
    ASSERT_EQ(a.size(), b.size()) << name;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->name(), b[i]->name()) << name;
        for (int k = 0; k < 3; ++k) {
            EXPECT_TRUE(near4(a[i]->offset()[k], b[i]->offset()[k])) << name << a[i]->name();
        }
        ASSERT_EQ(a[i]->channelCount(), b[i]->channelCount()) << name << " " << a[i]->name();
        EXPECT_EQ(a[i]->channels(), b[i]->channels()) << name << " " << a[i]->name();
    }
    const FrameTable& x = *first.frames;
    const FrameTable& y = *second.frames;
    ASSERT_EQ(x.channelCount(), y.channelCount()) << name;
    ASSERT_EQ(x.frameCount(), y.frameCount()) << name;
    EXPECT_EQ(x.frameTime(), y.frameTime()) << name;
    int mismatches = 0;
    for (int f = 0; f < x.frameCount(); ++f) {
        for (int j = 0; j < x.channelCount(); ++j) {
            if (!near4(x.value(f, j), y.value(f, j)) && mismatches++ < 5) {
                ADD_FAILURE() << name << " frame " << f << " column " << j << ": " << x.value(f, j)
                              << " became " << y.value(f, j);
            }
        }
    }
}

TEST(BvhCorpus, EveryFileReadsAndSurvivesWriteAndRead) {
    SKIP_WITHOUT_CORPUS();
    for (const std::string& path : corpusFiles()) {
        const std::string name = path.substr(path.rfind('/') + 1);
        ReadResult r = readBvhFile(path);
        ASSERT_TRUE(r.root && r.frames) << name << ": " << r.output;
        EXPECT_EQ(r.output, "") << name;
        auto known = kTraits.find(name);
        if (known != kTraits.end()) {
            const Traits& t = known->second;
            EXPECT_EQ(r.frames->frameCount(), t.frames) << name;
            EXPECT_EQ(r.frames->channelCount(), t.channels) << name;
            int joints = 0;
            int endSites = 0;
            for (const Joint* j : preOrder(r.root.get())) {
                (j->name() == "End Site" && j->channelCount() == 0 ? endSites : joints)++;
            }
            EXPECT_EQ(joints, t.joints) << name;
            EXPECT_EQ(endSites, t.endSites) << name;
        }
        expectValuesAsAtof(readWhole(path), *r.frames, name);
        expectRoundTrip(r, name);
    }
}

}  // namespace
