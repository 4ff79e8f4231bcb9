#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bvh_test_support.h"

namespace {

// Every hostile input either reads or fails with exactly one reader line, and never crashes.
void expectSafe(const std::string& text, const std::string& what) {
    ReadResult r = readBvhText(text);
    if (r.root && r.frames) {
        EXPECT_EQ(r.output, "") << what;
        EXPECT_EQ(static_cast<std::size_t>(r.frames->frameCount()) *
                      static_cast<std::size_t>(r.frames->channelCount()),
                  r.frames->values().size())
            << what;
    } else {
        EXPECT_TRUE(isOneParserLine(r.output)) << what << ": " << r.output;
    }
}

TEST(BvhHostile, EmptyAndGarbageInputs) {
    EXPECT_EQ(readBvhText("").output, parserMessage("hierarchy"));
    EXPECT_EQ(readBvhText("\n\n\n").output, parserMessage("hierarchy"));
    std::mt19937 random(99);
    for (int i = 0; i < 300; ++i) {
        std::string bytes(random() % 4000, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        expectSafe(bytes, "random bytes " + std::to_string(i));
        // Garbage after a valid start reaches the deeper steps.
        expectSafe(smallBvh().substr(0, random() % smallBvh().size()) + bytes,
                   "valid prefix then random bytes " + std::to_string(i));
    }
}

TEST(BvhHostile, TruncatedAtEveryLineAndEveryByte) {
    const std::string text = smallBvh();
    // The last frame line is "-1 ... -8 -9": from its ninth token's sign on, it has nine values.
    const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
    const std::size_t complete = lastLine + std::string("-1 -2 -3 -4 -5 -6 -7 -8 -").size();
    for (std::size_t end = 0; end < text.size(); ++end) {
        ReadResult r = readBvhText(text.substr(0, end));
        if (end >= complete) {
            EXPECT_TRUE(r.frames) << "cut at byte " << end << ": " << r.output;
        } else {
            EXPECT_EQ(r.frames, nullptr) << "cut at byte " << end;
            EXPECT_TRUE(isOneParserLine(r.output)) << "cut at byte " << end << ": " << r.output;
        }
    }
}

TEST(BvhHostile, ForgedCountsAllocateNothingLarge) {
    const std::string ok = smallBvh();
    const char* const frameCounts[] = {"2147483647",
                                       "2147483648",
                                       "-1",
                                       "-2147483648",
                                       "4294967298",

                                       "999999999999999999999999999"};
    for (const char* count : frameCounts) {
        ReadResult r = readBvhText(replaced(ok, "Frames: 2", std::string("Frames: ") + count));
        EXPECT_FALSE(r.frames) << count;
        EXPECT_TRUE(isOneParserLine(r.output)) << count << ": " << r.output;
    }
    // Zero columns: no frame line needs a value, but the count still has to fit the file.
    std::string columnless =
        "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\nMOTION\n"
        "Frames: 2000000000\nFrame Time: 0.1\n";
    EXPECT_EQ(readBvhText(columnless).output, parserMessage("Frames:"));
    const char* const channelCounts[] = {"2147483647", "-2147483648", "99999999999999999999"};
    for (const char* count : channelCounts) {
        ReadResult r = readBvhText(replaced(ok, "CHANNELS 6", std::string("CHANNELS ") + count));
        EXPECT_FALSE(r.root) << count;
        EXPECT_TRUE(isOneParserLine(r.output)) << count << ": " << r.output;
    }
}

TEST(BvhHostile, DeepNestingFailsWithoutRecursing) {
    std::string text = "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 0\n";
    for (int i = 0; i < 200000; ++i) {
        text += "JOINT J\n{\nOFFSET 0 0 0\nCHANNELS 0\n";
    }
    EXPECT_EQ(readBvhText(text).output, parserMessage("hierarchy too deep"));
}

TEST(BvhHostile, TwoHundredThousandSiblingsRead) {
    const int siblings = 200000;
    std::string text = "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 0\n";
    for (int i = 0; i < siblings; ++i) {
        text += "JOINT J\n{\nOFFSET 0 0 0\nCHANNELS 1 Xrotation\n}\n";
    }
    text += "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n";
    for (int i = 0; i < siblings; ++i)
        text += "0.5 ";
    ReadResult r = readBvhText(text + "\n");
    ASSERT_TRUE(r.frames) << r.output;
    EXPECT_EQ(r.frames->channelCount(), siblings);
    EXPECT_EQ(preOrder(r.root.get()).size(), siblings + 1u);
    EXPECT_EQ(r.frames->value(0, siblings - 1), 0.5f);
    // And cut short, the partly built fan is released with the one message.
    expectSafe(text.substr(0, text.size() / 2), "fan cut in the hierarchy");
}

TEST(BvhHostile, LongLinesAndNonFiniteValues) {
    const std::string ok = smallBvh();
    std::string longName(5000000, 'N');
    ReadResult named = readBvhText(replaced(ok, "JOINT Spine", "JOINT " + longName));
    ASSERT_TRUE(named.frames) << named.output;
    EXPECT_EQ(named.root->firstChild()->name(), longName);
    expectSafe(replaced(ok, "\tJOINT Spine", std::string(3000000, ' ') + "x"), "long blank line");
    expectSafe(replaced(ok, "1 2 3", std::string(3000000, '7') + " 2 3"), "long number");
    const char* const values[] = {"nan", "inf", "-INF", "1e999", "1e39", "0x1p200"};
    for (const char* v : values) {
        EXPECT_EQ(readBvhText(replaced(ok, "7 8 9", std::string("7 8 ") + v)).output,
                  parserMessage("non-finite value"))
            << v;
    }
}

}  // namespace
