#include <gtest/gtest.h>


#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bvh_test_support.h"
#include "motion/bvh_reader.h"
#include "motion/progress.h"

namespace {

TEST(BvhReader, BuildsSkeletonAndTableInColumnOrder) {
    ReadResult r = readBvhText(smallBvh());
    ASSERT_TRUE(r.root) << r.output;
    ASSERT_TRUE(r.frames) << r.output;
    EXPECT_EQ(r.output, "");

    const Joint& hips = *r.root;
    EXPECT_EQ(hips.name(), "Hips");
    EXPECT_EQ(hips.parent(), nullptr);
    EXPECT_EQ(hips.offset(), (std::array<float, 3>{1.5f, 2.5f, -3.25f}));
    ASSERT_EQ(hips.channelCount(), 6);
    EXPECT_EQ(hips.channel(3), Zrotation);
    EXPECT_EQ(hips.channel(4), Xrotation);
    EXPECT_EQ(hips.channel(5), Yrotation);
    EXPECT_EQ(hips.nextSibling(), nullptr);

    const Joint* spine = hips.firstChild();
    ASSERT_TRUE(spine);
    EXPECT_EQ(spine->name(), "Spine");
    EXPECT_EQ(spine->parent(), &hips);
    EXPECT_EQ(spine->channelCount(), 3);
    const Joint* site = spine->firstChild();
    ASSERT_TRUE(site);
    EXPECT_EQ(site->name(), "End Site");
    EXPECT_EQ(site->parent(), spine);
    EXPECT_EQ(site->channelCount(), 0);
    EXPECT_EQ(site->offset(), (std::array<float, 3>{0.0f, 5.0f, 0.5f}));
    EXPECT_EQ(site->firstChild(), nullptr);

    const FrameTable& t = *r.frames;
    EXPECT_EQ(t.channelCount(), 9);
    EXPECT_EQ(t.frameCount(), 2);
    EXPECT_EQ(t.frameTime(), 0.033333f);
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(t.value(0, j), j + 1.0f);
        EXPECT_EQ(t.value(1, j), -(j + 1.0f));
    }
}

TEST(BvhReader, ToleratesLayoutCaseAndTrailingText) {
    std::string text =
        "  hierarchy\n"
        "Root\t \tMy Hips\n"
        "\t {   trailing words\n"
        "   offset\t1  2\t 3 99\n"
        "Channels 2 xPOSITION YRotation Zrotation bogus\n"
        "JoInT Left Arm\n"
        "{\n"
        "OFFSET 0 0 0\n"
        "CHANNELS 0\n"
        "END SITE\n"
        "{ x\n"
        "OFFSET 1 1 1\n"
        "} y\n"
        "}\n"
        "}\n"
        "\n"
        "  \t \n"
        "Motion\n"
        "FRAMES:\t 1\n"
        "Frame \t  TIME:   0.5\n"
        "\t 7  8 9 10\n";
    ReadResult r = readBvhText(text);
    ASSERT_TRUE(r.frames) << r.output;
    EXPECT_EQ(r.root->name(), "My");
    EXPECT_EQ(r.root->offset(), (std::array<float, 3>{1.0f, 2.0f, 3.0f}));
    ASSERT_EQ(r.root->channelCount(), 2);
    EXPECT_EQ(r.root->channel(0), Xposition);
    EXPECT_EQ(r.root->channel(1), Yrotation);
    const Joint* arm = r.root->firstChild();
    EXPECT_EQ(arm->name(), "Left");
    EXPECT_EQ(arm->channelCount(), 0);
    EXPECT_EQ(r.frames->channelCount(), 2);
    EXPECT_EQ(r.frames->frameTime(), 0.5f);
    EXPECT_EQ(r.frames->value(0, 0), 7.0f);
    EXPECT_EQ(r.frames->value(0, 1), 8.0f);
}

TEST(BvhReader, ZeroChannelJointTakesNoColumnAndLaterJointsKeepTheirs) {
    std::string text = replaced(smallBvh(), "CHANNELS 3 Zrotation Xrotation Yrotation",
                                "CHANNELS 0\n\t\tJOINT Inner\n\t\t{\n\t\t\tOFFSET 0 0 0\n"
                                "\t\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n\t\t}");
    ReadResult r = readBvhText(text);
    ASSERT_TRUE(r.frames) << r.output;
    std::vector<const Joint*> joints = preOrder(r.root.get());
    ASSERT_EQ(joints.size(), 4u);
    EXPECT_EQ(joints[1]->channelCount(), 0);
    EXPECT_EQ(joints[2]->name(), "Inner");
    EXPECT_EQ(joints[2]->nextSibling()->name(), "End Site");
    EXPECT_EQ(r.frames->channelCount(), 9);
    EXPECT_EQ(r.frames->value(1, 8), -9.0f);
}

TEST(BvhReader, ZeroFramesGiveAnEmptyTableWithoutReadingFrameLines) {
    std::string text = replaced(smallBvh(), "Frames: 2", "Frames: 0");
    ReadResult r = readBvhText(text);
    ASSERT_TRUE(r.frames) << r.output;
    EXPECT_EQ(r.frames->frameCount(), 0);
    EXPECT_TRUE(r.frames->values().empty());
}

struct FailureCase {
    const char* what;
    std::string text;
    const char* message;
};

// Each step of the format with the one line it prints when its line is wrong.
TEST(BvhReader, EveryFailingStepPrintsItsOwnMessageOnce) {
    const std::string ok = smallBvh();
    const FailureCase cases[] = {
        {"no hierarchy", replaced(ok, "HIERARCHY", "HIERARCHIES"), "hierarchy"},
        {"blank first line", "\n" + ok, "hierarchy"},
        {"no root", replaced(ok, "ROOT Hips", "JOINT Hips"), "root"},
        {"root without name", replaced(ok, "ROOT Hips", "ROOT"), "root"},
        {"brace joined", replaced(ok, "{\n\tOFFSET 1.5", "{x\n\tOFFSET 1.5"), "{ -- at beginning"},
        {"no offset", replaced(ok, "\tOFFSET 1.5", "\tOFFSETS 1.5"), "offset -- at beginning"},
        {"two offset values", replaced(ok, "OFFSET 1.5 2.5 -3.25", "OFFSET 1.5 2.5"),
         "missing offset value"},
        {"no channels", replaced(ok, "CHANNELS 6", "CHANNEL 6"), "channels"},
        {"no channel count", replaced(ok, "CHANNELS 3 Zrotation Xrotation Yrotation", "CHANNELS"),
         "missing channel number"},
        {"negative channel count", replaced(ok, "CHANNELS 3", "CHANNELS -3"),
         "missing channel number"},
        {"unknown channel",
         replaced(ok, "Zrotation Xrotation Yrotation\n\t\t", "Zrotation Xrot Y\n\t\t"),
         "unknown or nonexistant channel"},
        {"too few channel names", replaced(ok, "CHANNELS 3", "CHANNELS 4"),
         "unknown or nonexistant channel"},
        {"blank line between blocks", replaced(ok, "\tJOINT Spine", "\n\tJOINT Spine"),
         "} -- at end"},
        {"joint without name", replaced(ok, "JOINT Spine", "JOINT"), "} -- at end"},
        {"end without site", replaced(ok, "End Site", "End Sight"), "site"},
        {"end site brace", replaced(ok, "\t\t{\n\t\t\tOFFSET 0 5", "\t\t[\n\t\t\tOFFSET 0 5"),
         "{ -- in middle"},
        {"end site offset", replaced(ok, "OFFSET 0 5 0.5", "POSITION 0 5 0.5"),
         "offset -- in middle"},
        {"end site offset values", replaced(ok, "OFFSET 0 5 0.5", "OFFSET 0 5"),
         "missing offset value"},
        {"channels in end site", replaced(ok, "OFFSET 0 5 0.5", "OFFSET 0 5 0.5\nCHANNELS 0"),
         "} -- in middle"},
        {"second root", replaced(ok, "MOTION", "ROOT Other\n{\n}\nMOTION"), "Motion"},
        {"no motion", replaced(ok, "MOTION", "MOVES"), "Motion"},
        {"ends after hierarchy", ok.substr(0, ok.find("MOTION")) + "\n\n", "Motion"},
        {"frames joined", replaced(ok, "Frames: 2", "Frames:2"), "Frames:"},
        {"frames without count", replaced(ok, "Frames: 2", "Frames:"), "Frames:"},
        {"negative frames", replaced(ok, "Frames: 2", "Frames: -2"), "Frames:"},
        {"frame time joined", replaced(ok, "Frame Time:", "FrameTime:"), "Frame"},
        {"time word", replaced(ok, "Frame Time:", "Frame Rate:"), "Time"},
        {"no frame time", replaced(ok, "Frame Time: 0.033333", "Frame Time:"), "Time"},
        {"short frame line", replaced(ok, "1 2 3 4 5 6 7 8 9", "1 2 3 4 5 6 7 8"),
         "Not enough data in file"},
        {"frame over two lines",
         replaced(ok, "1 2 3 4 5 6 7 8 9\n-1 -2 -3 -4 -5 -6 -7 -8 -9\n",
                  "1 2 3 4 5\n6 7 8 9" + std::string(20, ' ') + "\n"),
         "Not enough data in file"},
        {"one frame line missing",
         replaced(ok, "-1 -2 -3 -4 -5 -6 -7 -8 -9\n", std::string(20, ' ')),
         "Not enough data in file"},
    };
    for (const FailureCase& c : cases) {
        ReadResult r = readBvhText(c.text);
        EXPECT_FALSE(r.root && r.frames) << c.what;
        EXPECT_EQ(r.output, parserMessage(c.message)) << c.what;
    }
}

TEST(BvhReader, ReportsUnopenedInput) {
    BvhReader reader;
    EXPECT_EQ(reader.readHierarchy(), nullptr);
    EXPECT_EQ(reader.failure() + "\n", parserMessage("Could not open the file."));
    BvhReader motionFirst;
    EXPECT_EQ(motionFirst.readMotion(), nullptr);
    EXPECT_EQ(motionFirst.failure() + "\n", parserMessage("No open file\n"));
    EXPECT_EQ(reader.open("/nonexistent/folder/walk.bvh"), 0);
    EXPECT_EQ(reader.failure(), "");
    EXPECT_EQ(reader.readHierarchy(), nullptr);
    EXPECT_EQ(reader.failure() + "\n", parserMessage("Could not open the file."));
}

// A line is read whole however long: a frame line of 1,300 characters or of megabytes must
// neither be split into two frames nor truncated.
TEST(BvhReader, ReadsLongLinesWhole) {
    const int columns = 90000;
    std::string header =
        "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 3 Xposition Yposition "
        "Zposition\n";
    std::string text = header;
    for (int i = 0; i < columns / 3 - 1; ++i) {
        text += "JOINT J" + std::to_string(i) +
                "\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation\n}\n";
    }
    text += "}\nMOTION\nFrames: 3\nFrame Time: 0.01\n";
    for (int f = 0; f < 3; ++f) {
        for (int j = 0; j < columns; ++j) {
            text += std::to_string(f * 100000 + j) + ".1250000 ";
        }
        text += "\n";
    }
    // Through a real file as well, so the line crosses the input's chunks.
    std::string path = scratchPath("long_lines.bvh");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ReadResult results[] = {readBvhText(text), readBvhFile(path)};
    for (const ReadResult& r : results) {
        ASSERT_TRUE(r.frames) << r.output;
        ASSERT_EQ(r.frames->channelCount(), columns);
        EXPECT_EQ(r.frames->frameCount(), 3);
        for (int fr = 0; fr < 3; ++fr) {
            EXPECT_EQ(r.frames->value(fr, 0), fr * 100000 + 0.125f);
            EXPECT_EQ(r.frames->value(fr, columns - 1), fr * 100000.0f + (columns - 1) + 0.125f);
        }
    }
    std::remove(path.c_str());
}

TEST(BvhReader, NonFiniteNumbersFailWherever) {
    const std::string ok = smallBvh();
    const char* const tokens[] = {"nan", "-inf", "INFINITY", "1e999", "3.5e38", "-nan(0x1)"};
    for (const char* token : tokens) {
        const std::string cases[] = {
            replaced(ok, "OFFSET 1.5 2.5", std::string("OFFSET 1.5 ") + token),
            replaced(ok, "OFFSET 0 5 0.5", std::string("OFFSET 0 5 ") + token),
            replaced(ok, "Frame Time: 0.033333", std::string("Frame Time: ") + token),
            replaced(ok, "-7 -8 -9", std::string("-7 ") + token + " -9"),
        };
        for (const std::string& text : cases) {
            ReadResult r = readBvhText(text);
            EXPECT_FALSE(r.root && r.frames) << token;
            EXPECT_EQ(r.output, parserMessage("non-finite value")) << token;
        }
    }
    // The largest floats and tiny denormals are finite and read.
    ReadResult big = readBvhText(replaced(ok, "-7 -8 -9", "-3.4e38 1e-45 -9"));
    ASSERT_TRUE(big.frames) << big.output;
    EXPECT_EQ(big.frames->value(1, 6), -3.4e38f);
}

// Counts come from the file and are checked before anything is sized from them.
TEST(BvhReader, ForgedCountsFailBeforeAllocating) {
    const std::string ok = smallBvh();
    const FailureCase cases[] = {
        {"more frames than lines can hold", replaced(ok, "Frames: 2", "Frames: 4000000"),
         "Frames:"},
        {"over the cap", replaced(ok, "Frames: 2", "Frames: 5000001"), "more than 5000000 frames"},
        {"beyond 32 bits", replaced(ok, "Frames: 2", "Frames: 99999999999999999999"),
         "more than 5000000 frames"},
        {"one frame too many",
         replaced(replaced(ok, "Frames: 2", "Frames: 3"), "-9\n",
                  "-9" + std::string(20, ' ') + "\n"),
         "Not enough data in file"},
        {"huge channel count", replaced(ok, "CHANNELS 3", "CHANNELS 2147483647"),
         "unknown or nonexistant channel"},
    };
    for (const FailureCase& c : cases) {
        ReadResult r = readBvhText(c.text);
        EXPECT_FALSE(r.root && r.frames) << c.what;
        EXPECT_EQ(r.output, parserMessage(c.message)) << c.what;
    }
    // The cap itself is a count a file may hold.
    std::string columnless = "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\nMOTION\n";
    ReadResult capped = readBvhText(columnless + "Frames: 5000000\nFrame Time: 0.1\n" +
                                    std::string(BvhReader::kMaxFrames, '\n'));
    ASSERT_TRUE(capped.frames) << capped.output;
    EXPECT_EQ(capped.frames->frameCount(), BvhReader::kMaxFrames);
}

std::string chain(int depth) {
    std::string text = "HIERARCHY\nROOT J0\n{\nOFFSET 0 0 0\nCHANNELS 1 Xrotation\n";
    for (int i = 1; i < depth; ++i) {
        text += "JOINT J" + std::to_string(i) + "\n{\nOFFSET 0 1 0\nCHANNELS 1 Xrotation\n";
    }
    text += "End Site\n{\nOFFSET 0 1 0\n}\n";
    for (int i = 0; i < depth; ++i)
        text += "}\n";
    text += "MOTION\nFrames: 1\nFrame Time: 0.1\n";
    for (int i = 0; i < depth; ++i)
        text += "1 ";
    return text + "\n";
}

TEST(BvhReader, NestingIsLimitedToAThousandLevels) {
    ReadResult deepest = readBvhText(chain(BvhReader::kMaxDepth));
    ASSERT_TRUE(deepest.frames) << deepest.output;
    std::vector<const Joint*> joints = preOrder(deepest.root.get());
    ASSERT_EQ(joints.size(), 1001u);
    EXPECT_EQ(joints[999]->name(), "J999");
    EXPECT_EQ(joints[1000]->parent(), joints[999]);
    EXPECT_EQ(deepest.frames->channelCount(), 1000);

    ReadResult tooDeep = readBvhText(chain(BvhReader::kMaxDepth + 1));
    EXPECT_EQ(tooDeep.root, nullptr);
    EXPECT_EQ(tooDeep.output, parserMessage("hierarchy too deep"));
}

// Numbers read as atof reads them: the longest numeric prefix, and 0 for anything else.
TEST(BvhReader, NumbersFollowAtofPrefixRules) {
    std::string text =
        replaced(smallBvh(), "-1 -2 -3 -4 -5 -6 -7 -8 -9", "+1.5 .5 0x10 abc 1e2 -0 1.5abc 2e 7;8");
    ReadResult r = readBvhText(text);
    ASSERT_TRUE(r.frames) << r.output;
    const float expected[] = {1.5f, 0.5f, 16.0f, 0.0f, 100.0f, -0.0f, 1.5f, 2.0f, 7.0f};
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(r.frames->value(1, j), expected[j]) << j;
        EXPECT_EQ(std::signbit(r.frames->value(1, j)), std::signbit(expected[j])) << j;
    }
    ReadResult counts = readBvhText(replaced(smallBvh(), "Frames: 2", "Frames: 2frames"));
    ASSERT_TRUE(counts.frames) << counts.output;
    EXPECT_EQ(counts.frames->frameCount(), 2);
    ReadResult textCount = readBvhText(replaced(smallBvh(), "Frames: 2", "Frames: none"));
    ASSERT_TRUE(textCount.frames) << textCount.output;
    EXPECT_EQ(textCount.frames->frameCount(), 0);
}

TEST(BvhParallelReading, CorpusReadsTheSameOnOneThreadAndOnMany) {
    SKIP_WITHOUT_CORPUS();
    for (const std::string& path : corpusFiles()) {
        ReadResult single = readBvhFile(path, oneThread());
        ASSERT_TRUE(single.frames) << path << ": " << single.output;
        expectSameRead(single, readBvhFile(path, threaded(LineSource::kDefaultChunk, 2)), path);
        expectSameRead(single, readBvhFile(path, threaded(4096)), path + " in 4 KiB chunks");
        expectSameRead(single, readBvhText(readWhole(path), threaded(100000, 8)), path + " in memory");
    }
}

// The input cut anywhere in its frames, and from a file at every chunk boundary: the threads
// give the single thread's table or its message.
TEST(BvhParallelReading, InputCutAnywhereGivesTheSameTableOrMessage) {
    const std::string text = generatedBvh(50);
    const std::size_t motion = text.find("MOTION");
    const std::size_t lastLine = text.find_last_of("\r\n", text.size() - 3) + 1;
    // Every byte of the last lines, every seventh before them (each read starts threads).
    for (std::size_t end = motion; end <= text.size(); end += end + 400 < text.size() ? 7 : 1) {
        std::string cut = text.substr(0, end);
        ReadResult single = readBvhText(cut, oneThread());
        if (end < lastLine) {
            EXPECT_EQ(single.frames, nullptr) << end;
        }
        expectSameRead(single, readBvhText(cut, threaded(97, 2)), "cut at " + std::to_string(end));
    }
    const std::string path = scratchPath("cut.bvh");
    const std::size_t chunk = 64;
    for (std::size_t boundary = chunk; boundary < text.size() + chunk; boundary += chunk) {
        for (std::size_t end = boundary - 1; end <= boundary + 1 && end <= text.size(); ++end) {
            writeWhole(path, text.substr(0, end));
            ReadResult single = readBvhFile(path, oneThread(chunk));
            expectSameRead(single, readBvhText(text.substr(0, end), oneThread()),
                           "file cut at " + std::to_string(end));
            expectSameRead(single, readBvhFile(path, threaded(chunk)),
                           "file cut at " + std::to_string(end) + ", threads");
        }
    }
    // Every chunk size up to 48 bytes: each CR LF of the file falls across a chunk's end for
    // some of them, its CR read first and its LF only with the next chunk.
    writeWhole(path, text);
    ReadResult whole = readBvhText(text, oneThread());
    ASSERT_TRUE(whole.frames) << whole.output;
    for (std::size_t small = 1; small <= 48; ++small) {
        expectSameRead(whole, readBvhFile(path, oneThread(small)),
                       "chunk " + std::to_string(small));
        expectSameRead(whole, readBvhFile(path, threaded(small)),
                       "chunk " + std::to_string(small) + ", threads");
    }
    std::remove(path.c_str());
}

TEST(BvhParallelReading, PipeReadsLikeAFile) {
    const std::string text = generatedBvh(30000, 5);
    ReadResult expected = readBvhText(text, oneThread());
    ASSERT_TRUE(expected.frames) << expected.output;
    {
        PipeFeed feed(text);
        expectSameRead(expected, readBvhFile(feed.path()), "pipe");
    }
    {
        PipeFeed feed(text);
        expectSameRead(expected, readBvhFile(feed.path(), threaded(1000, 4)), "pipe, small chunks");
    }
}

// Faults in several places: whichever thread meets one, the first in file order is reported.
TEST(BvhParallelReading, TheFirstFaultInFileOrderWins) {
    const std::string text = generatedBvh(400, 3);
    std::vector<std::size_t> lineStarts;
    const std::size_t motion = text.find("Frame Time:");
    for (std::size_t i = motion; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n'))
            lineStarts.push_back(i + 1);
    }
    ASSERT_EQ(lineStarts.size(), 401u);
    const std::string inserts[] = {"nan ", std::string("1\0 ", 3), "\n"};
    const char* const messages[] = {"non-finite value", "NUL byte", "Not enough data in file"};
    for (int first = 0; first < 3; ++first) {
        for (int second = 0; second < 3; ++second) {
            for (std::size_t at : {std::size_t{5}, std::size_t{200}, std::size_t{398}}) {
                std::string faulty = text;
                faulty.insert(lineStarts[at + 1], inserts[second]);
                faulty.insert(lineStarts[at], inserts[first]);
                ReadResult single = readBvhText(faulty, oneThread());
                EXPECT_EQ(single.output, parserMessage(messages[first]));
                for (std::size_t chunk : {std::size_t{50}, std::size_t{700}, std::size_t{5000}}) {
                    expectSameRead(single, readBvhText(faulty, threaded(chunk, 4)),
                                   "faults at line " + std::to_string(at));
                }
            }
        }
    }
}

}  // namespace

namespace {

// The frame lines tell how far they got and stop once cancelled, one by one and in blocks.
TEST(BvhReaderProgress, FramesReportTheirShareAndStopWhenCancelled) {
    std::string text = smallBvh();
    text = replaced(text, "Frames: 2", "Frames: 20000");
    for (int f = 2; f < 20000; ++f)
        text += "1 2 3 4 5 6 7 8 9\n";
    for (int threads : {1, 3}) {
        FrameReading how;
        how.threads = threads;
        how.chunkBytes = 4096;
        how.parallelBytes = 0;
        Progress progress;
        BvhReader reader;
        reader.setFrameReading(how);
        reader.setProgress(&progress, 0.5);
        reader.openText(text);
        ASSERT_NE(reader.readHierarchy(), nullptr);
        ASSERT_NE(reader.readMotion(), nullptr) << threads;
        EXPECT_GT(progress.fraction(), 0.4) << threads;
        EXPECT_LE(progress.fraction(), 0.5) << threads;

        Progress cancelled;
        cancelled.cancel();
        BvhReader stopped;
        stopped.setFrameReading(how);
        stopped.setProgress(&cancelled, 0.5);
        stopped.openText(text);
        ASSERT_NE(stopped.readHierarchy(), nullptr);
        EXPECT_EQ(stopped.readMotion(), nullptr) << threads;
        EXPECT_EQ(stopped.failure(), Progress::kCancelled) << threads;
    }
}

}  // namespace
