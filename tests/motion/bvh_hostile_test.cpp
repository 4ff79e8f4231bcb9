#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../child_process.h"
#include "bvh_test_support.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion_fixtures.h"

#if defined(__SANITIZE_ADDRESS__)
#define BVHPATH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BVHPATH_ASAN 1
#endif
#endif

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
        "Frames: 2000000\nFrame Time: 0.1\n";
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

// Lines end at LF, at CR LF and at a lone CR (old Mac files), in any mix.
TEST(BvhHostile, LinesEndAtLineFeedsCarriageReturnsOrBoth) {
    const std::string lf = smallBvh();
    const char* const ends[][3] = {
        {"\r\n", "\r\n", "\r\n"}, {"\r", "\r", "\r"}, {"\n", "\r", "\r\n"}};
    ReadResult expected = readBvhText(lf);
    for (const auto& cycle : ends) {
        std::string text;
        int line = 0;
        for (char c : lf) {
            if (c == '\n')
                text += cycle[line++ % 3];
            else
                text += c;
        }
        std::string label = "line ends " + std::string(cycle[0]) + cycle[1] + cycle[2];
        expectSameRead(expected, readBvhText(text, oneThread()), label);
        expectSameRead(expected, readBvhText(text, threaded(16)), label + ", threads");
        // And the last frame line without its line end.
        text.resize(text.find_last_not_of("\r\n") + 1);
        expectSameRead(expected, readBvhText(text), label + ", unterminated");
    }
    // LF CR is two line ends: a blank frame line then.
    ReadResult twoEnds = readBvhText(replaced(lf, "7 8 9\n", "7 8 9\n\r"));
    EXPECT_EQ(twoEnds.output, parserMessage("Not enough data in file"));
    // A lone CR inside a hierarchy line splits it.
    ReadResult split = readBvhText(replaced(lf, "OFFSET 0 10 0", "OFFSET 0\r10 0"));
    EXPECT_EQ(split.output, parserMessage("missing offset value"));
}

TEST(BvhHostile, ByteOrderMarkAtTheStartIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    ReadResult marked = readBvhText(bom + smallBvh());
    ASSERT_TRUE(marked.frames) << marked.output;
    expectSameRead(readBvhText(smallBvh()), marked, "byte-order mark");
    // Only at the start of the file, and only once.
    EXPECT_EQ(readBvhText(bom + bom + smallBvh()).output, parserMessage("hierarchy"));
    EXPECT_EQ(readBvhText(replaced(smallBvh(), "ROOT", bom + "ROOT")).output,
              parserMessage("root"));
}

// UTF-16 (with or without its mark) and NUL bytes anywhere in a line that is read are refused
// with the reader's line; what follows the last frame line is never read.
TEST(BvhHostile, NulBytesAndUtf16AreRefused) {
    const std::string ok = smallBvh();
    auto utf16 = [](const std::string& text, bool bigEndian) {
        std::string wide;
        for (char c : text) {
            wide += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
        }
        return wide;
    };
    const std::string cases[] = {"\xFF\xFE" + utf16(ok, false), "\xFE\xFF" + utf16(ok, true),
                                 utf16(ok, false), utf16(ok, true)};
    for (const std::string& text : cases) {
        EXPECT_EQ(readBvhText(text).output, parserMessage("UTF-16 text"));
    }
    const std::string nul(1, '\0');
    const std::string nulCases[] = {
        replaced(ok, "HIERARCHY", "HIER" + nul + "ARCHY"),
        replaced(ok, "Hips", "Hi" + nul + "ps"),
        replaced(ok, "MOTION", "MOTION" + nul),
        replaced(ok, "}\nMOTION", "}\n" + nul + "\nMOTION"),
        replaced(ok, "Frame Time: 0.033333", "Frame Time: 0.03" + nul),
        replaced(ok, "4 5 6", "4 5" + nul + "6"),
        replaced(ok, "-8 -9", "-8 -9 " + nul),
    };
    for (const std::string& text : nulCases) {
        for (const FrameReading& how : {oneThread(), threaded(8)}) {
            EXPECT_EQ(readBvhText(text, how).output, parserMessage("NUL byte"))
                << text.substr(0, text.find('\0') + 1);
        }
    }
    EXPECT_TRUE(readBvhText(ok + nul + "\n").frames);
}

TEST(BvhHostile, LargeFileCutAtTheReadersChunksFailsCleanly) {
    const std::string text = generatedBvh(60000, 11);
    ASSERT_GT(text.size(), 3 * LineSource::kDefaultChunk);
    const std::string path = scratchPath("large.bvh");
    writeWhole(path, text);
    ReadResult whole = readBvhFile(path);
    ASSERT_TRUE(whole.frames) << whole.output;
    EXPECT_EQ(whole.frames->frameCount(), 60000);
    expectSameRead(whole, readBvhFile(path, oneThread()), "whole file");
    for (std::size_t boundary : {LineSource::kDefaultChunk, 2 * LineSource::kDefaultChunk,
                                 3 * LineSource::kDefaultChunk}) {
        for (std::size_t end = boundary - 1; end <= boundary + 1; ++end) {
            writeWhole(path, text.substr(0, end));
            ReadResult r = readBvhFile(path);
            EXPECT_EQ(r.output, parserMessage("Not enough data in file")) << end;
            expectSameRead(r, readBvhFile(path, oneThread()), "cut at " + std::to_string(end));
        }
    }
    std::remove(path.c_str());
}

TEST(BvhHostile, PipesAndDevicesAreBoundedByWhatArrives) {
    const std::string columnless =
        "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0.0 0.0 0.0\n\tCHANNELS 0\n\tEnd Site\n\t{\n"
        "\t\tOFFSET 0.0 10.0 0.0\n\t}\n}\nMOTION\n";
    {
        // A folder opens as a file on this system but cannot be read: that is said, not taken
        // for an empty file.
        EXPECT_EQ(readBvhFile(testing::TempDir()).output, parserMessage("could not read the file"));
        PipeFeed feed(columnless + "Frames: 2147483647\nFrame Time: 0.033333\n");
        EXPECT_EQ(readBvhFile(feed.path()).output, parserMessage("more than 5000000 frames"));
    }
    {
        // Each frame needs its line, also when it holds no value.
        PipeFeed feed(columnless + "Frames: 4999999\nFrame Time: 0.1\n\n\n\n");
        EXPECT_EQ(readBvhFile(feed.path()).output, parserMessage("Not enough data in file"));
    }
    {
        PipeFeed feed(columnless + "Frames: 3\nFrame Time: 0.1\n\n\r\n\r");
        ReadResult r = readBvhFile(feed.path());
        ASSERT_TRUE(r.frames) << r.output;
        EXPECT_EQ(r.frames->frameCount(), 3);
    }
    // A device that never ends a line stops at the cap with its own message.
    ReadResult zeros = readBvhFile("/dev/zero");
    EXPECT_EQ(zeros.output, parserMessage("line longer than 64 MiB"));
}

TEST(BvhHostile, LinesLongerThan64MiBAreRefused) {
    const std::string tail(LineSource::kMaxLine, ' ');
    const std::string text = replaced(smallBvh(), "7 8 9\n", "7 8 9" + tail + "\n");
    EXPECT_EQ(readBvhText(text, oneThread()).output, parserMessage("line longer than 64 MiB"));
    EXPECT_EQ(readBvhText(text, threaded(1 << 20, 2)).output,
              parserMessage("line longer than 64 MiB"));
    // One byte less is a line like any other.
    const std::string fits = replaced(smallBvh(), "7 8 9\n", "7 8 9" + tail.substr(17) + "\n");
    const std::string path = scratchPath("long_line.bvh");
    writeWhole(path, fits);
    EXPECT_TRUE(readBvhFile(path, oneThread()).frames);
    EXPECT_TRUE(readBvhFile(path).frames);
    writeWhole(path, text);
    EXPECT_EQ(readBvhFile(path, oneThread()).output, parserMessage("line longer than 64 MiB"));
    EXPECT_EQ(readBvhFile(path).output, parserMessage("line longer than 64 MiB"));
    std::remove(path.c_str());
}

// What a load run in a child process gave: whether the child ended on its own (no abort, no
// signal), the message, and how far its resident memory rose above where it began (-1 when the
// system cannot restart the peak count).
struct ChildRun {
    bool exited = false;
    std::string message;
    double peakMB = -1.0;
};

template <typename Work>
ChildRun loadInChild(Work work) {
    const ChildOutcome outcome = runInChild([&] {
        // Writing 5 restarts the peak (VmHWM) at the resident size of now.
        { std::ofstream("/proc/self/clear_refs") << "5"; }
        const double before = statusKB("VmRSS:");
        const bool measured = statusKB("VmHWM:") - before < 1024.0;
        std::string message;
        try {
            message = work();
        } catch (...) {
            _exit(2);
        }
        const double peak = measured ? (statusKB("VmHWM:") - before) / 1024.0 : -1.0;
        return std::to_string(peak) + "\n" + message;
    });
    const std::string& report = outcome.text;
    ChildRun run;
    run.exited = outcome.exited && outcome.status == 0;
    std::size_t feed = report.find('\n');
    if (feed != std::string::npos) {
        run.peakMB = std::atof(report.substr(0, feed).c_str());
        run.message = report.substr(feed + 1);
    }
    return run;
}

std::string loadMessage(const std::string& path) {
    Motion motion;
    Result result = loadMotion(path, motion);
    return result ? "loaded " + std::to_string(motion.frameCount()) : result.message;
}

// The load with its input fed through a pipe, opened by name as /dev/stdin would be.
std::string loadFromPipe(const std::string& text) {
    PipeFeed feed(text);
    return loadMessage(feed.path());
}

// A skeleton without channels costs the load memory for every frame but no byte of the file
// for it: the frame cap and the lines each frame needs are what bound it.
TEST(BvhHostile, ZeroChannelSkeletonsCannotMakeALoadLarge) {
    const std::string columnless =
        "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0.0 0.0 0.0\n\tCHANNELS 0\n\tEnd Site\n\t{\n"
        "\t\tOFFSET 0.0 10.0 0.0\n\t}\n}\nMOTION\n";
    const std::string huge = columnless + "Frames: 2147483647\nFrame Time: 0.033333\n";
    ASSERT_LT(huge.size(), 180u);
    ChildRun piped = loadInChild([&] { return loadFromPipe(huge); });
    ASSERT_TRUE(piped.exited) << "the load ended the process";
    EXPECT_EQ(piped.message + "\n", parserMessage("more than 5000000 frames"));

    const std::string path = scratchPath("empty_lines.bvh");
    const int lines = 20000000;
    writeWhole(path, columnless + "Frames: " + std::to_string(lines) + "\nFrame Time: 0.033333\n" +
                         std::string(lines, '\n'));
    ChildRun file = loadInChild([&] { return loadMessage(path); });
    ASSERT_TRUE(file.exited) << "the load ended the process";
    EXPECT_EQ(file.message + "\n", parserMessage("more than 5000000 frames"));

    // The same 20 MB announcing the cap itself: the load goes through, every frame measured
    // and fitted, in memory bounded by the cap.
    writeWhole(path, columnless + "Frames: " + std::to_string(BvhReader::kMaxFrames) +
                         "\nFrame Time: 0.033333\n" + std::string(lines, '\n'));
    ChildRun capped = loadInChild([&] { return loadMessage(path); });
    std::remove(path.c_str());
    ASSERT_TRUE(capped.exited) << "the load ended the process";
    EXPECT_EQ(capped.message, "loaded " + std::to_string(BvhReader::kMaxFrames));

    // A million frames from a pipe load, in memory that grew with the lines.
    ChildRun million = loadInChild([&] {
        return loadFromPipe(columnless + "Frames: 1000000\nFrame Time: 0.01\n" +
                            std::string(1000000, '\n'));
    });
    ASSERT_TRUE(million.exited) << "the load ended the process";
    EXPECT_EQ(million.message, "loaded 1000000");
#ifndef BVHPATH_ASAN
    if (file.peakMB < 0)
        GTEST_SKIP() << "this system cannot restart the count of peak memory";
    EXPECT_LT(piped.peakMB, 300.0);
    EXPECT_LT(file.peakMB, 300.0);
    EXPECT_LT(capped.peakMB, 300.0);
    EXPECT_LT(million.peakMB, 100.0);
#endif
}

// A hundred thousand joints load in memory that grows with the file, hanging without channels from
// a walking root over many frames or each turning in a few.
TEST(BvhHostile, AHundredThousandJointsLoadInMemoryThatGrowsWithTheFile) {
    for (bool turning : {false, true}) {
        const std::string text = fixtures::wideFigure(100000, turning ? 3 : 20000, turning);
        const std::string path = writeScratch("wide.bvh", text);
        ChildRun run = loadInChild([&] { return loadMessage(path); });
        EXPECT_TRUE(run.exited && run.message == "loaded " + std::to_string(turning ? 3 : 20000))
            << run.message;
#ifndef BVHPATH_ASAN
        EXPECT_LT(run.peakMB, 20.0 * static_cast<double>(text.size()) / (1 << 20)) << turning;
#endif
    }
}

#ifndef BVHPATH_ASAN
// Reads the text with the address space limited to 32 MB beyond what the process holds: less
// than the text's table or a copy of its longest name, more than the reader needs for itself.
// Prints the reader's line on standard error and exits with 0 when it is "not enough memory".
void readWithLittleMemory(std::string text, const FrameReading& how) {
    rlimit limit;
    limit.rlim_cur = limit.rlim_max =
        static_cast<rlim_t>(statusKB("VmSize:") * 1024.0) + (rlim_t{32} << 20);
    setrlimit(RLIMIT_AS, &limit);
    const std::string output = readBvhText(std::move(text), how).output;
    std::fputs(output.c_str(), stderr);
    std::exit(output == parserMessage("not enough memory") ? 0 : 1);
}
#endif

// An allocation that fails is the reader's line, on one thread and on many (whose threads may
// not even start). Each case runs in a fresh process, whose heap holds no memory freed earlier.
TEST(BvhHostile, AllocationFailuresAreTheReadersMessage) {
#ifdef BVHPATH_ASAN
    GTEST_SKIP() << "AddressSanitizer needs an unlimited address space";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string table =
        "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 5 Xposition Yposition Zposition "
        "Xrotation Yrotation\n}\nMOTION\nFrames: 3000000\nFrame Time: 0.01\n";
    for (int f = 0; f < 3000000; ++f)
        table += "0 0 0 0 0\n";
    const std::string named = replaced(smallBvh(), "Spine", std::string(40 << 20, 'S'));
    for (const FrameReading& how : {oneThread(), BvhReader::defaultFrameReading()}) {
        EXPECT_EXIT(readWithLittleMemory(table, how), testing::ExitedWithCode(0),
                    "not enough memory");
        EXPECT_EXIT(readWithLittleMemory(named, how), testing::ExitedWithCode(0),
                    "not enough memory");
    }
#endif
}

#ifndef BVHPATH_ASAN
// Loads the file with the address space limited to 24 MB beyond what the process holds: the
// frames read, the arrays a load derives from them do not fit. Prints the load's line on
// standard error and exits with 0 when it says the memory ran out.
void loadWithLittleMemory(const std::string& path) {
    rlimit limit;
    limit.rlim_cur = limit.rlim_max =
        static_cast<rlim_t>(statusKB("VmSize:") * 1024.0) + (rlim_t{24} << 20);
    setrlimit(RLIMIT_AS, &limit);
    Motion motion;
    const Result result = loadMotion(path, motion);
    std::fputs(result.message.c_str(), stderr);
    std::exit(!result && result.message.find("not enough memory") != std::string::npos ? 0 : 1);
}
#endif

// Past the reader, the measuring, the fit and the baseline allocate per frame too: memory that
// runs out there is the load's message as well, never the end of the program.
TEST(BvhHostile, AllocationFailuresAfterReadingAreTheLoadsMessage) {
#ifdef BVHPATH_ASAN
    GTEST_SKIP() << "AddressSanitizer needs an unlimited address space";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = scratchPath("columnless_long.bvh");
    writeWhole(path,
               "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n\tCHANNELS 0\n\tEnd Site\n\t{\n"
               "\t\tOFFSET 0 10 0\n\t}\n}\nMOTION\nFrames: 4000000\nFrame Time: 0.01\n" +
                   std::string(4000000, '\n'));
    EXPECT_EXIT(loadWithLittleMemory(path), testing::ExitedWithCode(0), "not enough memory");
    std::remove(path.c_str());
#endif
}

}  // namespace
