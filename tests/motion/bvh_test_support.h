#pragma once

#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "motion/bvh_reader.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "../test_files.h"

// What one read of a BVH text gave: the skeleton, the table and its failure as the console line.
struct ReadResult {
    std::unique_ptr<Joint> root;
    std::unique_ptr<FrameTable> frames;
    std::string output;
};

// Frame lines read one by one on the calling thread.
inline FrameReading oneThread(std::size_t chunkBytes = LineSource::kDefaultChunk) {
    FrameReading how;
    how.threads = 1;
    how.chunkBytes = chunkBytes;
    return how;
}

// Frame lines split among threads however small the input, in rounds of `threads` chunks.
inline FrameReading threaded(std::size_t chunkBytes, int threads = 3) {
    FrameReading how;
    how.threads = threads;
    how.chunkBytes = chunkBytes;
    how.parallelBytes = 0;
    return how;
}

// Reads the text as the loader reads a file: hierarchy, then motion if the hierarchy read.
inline ReadResult readBvhText(std::string text,
                              const FrameReading& how = BvhReader::defaultFrameReading()) {
    ReadResult result;
    BvhReader reader;
    reader.setFrameReading(how);
    reader.openText(std::move(text));
    result.root = reader.readHierarchy();
    if (result.root) {
        result.frames = reader.readMotion();
    }
    result.output = reader.failure().empty() ? std::string() : reader.failure() + "\n";
    return result;
}

inline ReadResult readBvhFile(const std::string& path,
                              const FrameReading& how = BvhReader::defaultFrameReading()) {
    ReadResult result;
    BvhReader reader;
    reader.setFrameReading(how);
    reader.open(path);
    result.root = reader.readHierarchy();
    if (result.root) {
        result.frames = reader.readMotion();
    }
    reader.close();
    result.output = reader.failure().empty() ? std::string() : reader.failure() + "\n";
    return result;
}

inline std::string parserMessage(const std::string& reason) {
    return "The Parser could not parse this: " + reason + "\n";
}

// Joints in depth-first pre-order (the frame-column order), walked without recursion.
inline std::vector<const Joint*> preOrder(const Joint* root) {
    std::vector<const Joint*> order;
    std::vector<const Joint*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        const Joint* joint = pending.back();
        pending.pop_back();
        order.push_back(joint);
        std::vector<const Joint*> children;
        for (const Joint* c = joint->firstChild(); c; c = c->nextSibling())
            children.push_back(c);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return order;
}

// A small valid file: a root with six channels, one joint with three, ending in an End Site;
// two frames of nine values.
inline std::string smallBvh() {
    return "HIERARCHY\n"
           "ROOT Hips\n"
           "{\n"
           "\tOFFSET 1.5 2.5 -3.25\n"
           "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
           "\tJOINT Spine\n"
           "\t{\n"
           "\t\tOFFSET 0 10 0\n"
           "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
           "\t\tEnd Site\n"
           "\t\t{\n"
           "\t\t\tOFFSET 0 5 0.5\n"
           "\t\t}\n"
           "\t}\n"
           "}\n"
           "MOTION\n"
           "Frames: 2\n"
           "Frame Time: 0.033333\n"
           "1 2 3 4 5 6 7 8 9\n"
           "-1 -2 -3 -4 -5 -6 -7 -8 -9\n";
}

// Replaces the first occurrence of from in text by to.
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Two reads agree bit for bit: the same message, skeleton, frame time and values.
inline void expectSameRead(const ReadResult& a, const ReadResult& b, const std::string& what) {
    ASSERT_EQ(a.output, b.output) << what;
    ASSERT_EQ(a.root == nullptr, b.root == nullptr) << what;
    ASSERT_EQ(a.frames == nullptr, b.frames == nullptr) << what;
    std::vector<const Joint*> x = preOrder(a.root.get());
    std::vector<const Joint*> y = preOrder(b.root.get());
    ASSERT_EQ(x.size(), y.size()) << what;
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(x[i]->name(), y[i]->name()) << what;
        ASSERT_EQ(x[i]->offset(), y[i]->offset()) << what;
        ASSERT_EQ(x[i]->channelCount(), y[i]->channelCount()) << what;
    }
    if (!a.frames)
        return;
    ASSERT_EQ(a.frames->channelCount(), b.frames->channelCount()) << what;
    ASSERT_EQ(a.frames->frameCount(), b.frames->frameCount()) << what;
    const float times[2] = {a.frames->frameTime(), b.frames->frameTime()};
    ASSERT_EQ(std::memcmp(&times[0], &times[1], sizeof(float)), 0) << what;
    const std::vector<float>& u = a.frames->values();
    const std::vector<float>& v = b.frames->values();
    ASSERT_EQ(u.size(), v.size()) << what;
    ASSERT_TRUE(u.empty() || std::memcmp(u.data(), v.data(), u.size() * sizeof(float)) == 0)
        << what;
}

// Feeds the text to a pipe from a thread of its own; path() names the reading end.
class PipeFeed {
  public:
    explicit PipeFeed(std::string text) : text_(std::move(text)) {
        if (pipe(fds_) != 0)
            ADD_FAILURE() << "pipe";
        writer_ = std::thread([this] {
            // A reader that stops early closes the pipe: the write then fails with EPIPE
            // instead of raising SIGPIPE, which would end the tests.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            std::size_t sent = 0;
            while (sent < text_.size()) {
                ssize_t n = write(fds_[1], text_.data() + sent, text_.size() - sent);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            close(fds_[1]);
        });
    }
    ~PipeFeed() {
        // A reader that stopped early leaves bytes in the pipe; closing it ends the writer.
        close(fds_[0]);
        writer_.join();
    }
    std::string path() const { return "/dev/fd/" + std::to_string(fds_[0]); }

  private:
    std::string text_;
    int fds_[2] = {-1, -1};
    std::thread writer_;
};

// Whether the output is exactly one line that begins with the reader's failure prefix.
inline bool isOneParserLine(const std::string& output) {
    return output.rfind("The Parser could not parse this: ", 0) == 0 &&
           output.find('\n') == output.size() - 1;
}

// A deterministic motion of seven columns whose frame lines mix every line end (LF, CR LF, a lone
// CR), blanks and tabs, short and long numbers, exponents and ignored trailing tokens.
inline std::string generatedBvh(int frames, unsigned seed = 7) {
    std::string text =
        "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
        "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
        "\tJOINT Chest\n\t{\n\t\tOFFSET 0 12.5 0\n\t\tCHANNELS 1 Xrotation\n"
        "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 4 0\n\t\t}\n\t}\n}\nMOTION\nFrames: " +
        std::to_string(frames) + "\nFrame Time: 0.0083333\n";
    const char* const ends[] = {"\n", "\r\n", "\r"};
    const char* const blanks[] = {" ", "\t", "  ", " \t "};
    std::uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int f = 0; f < frames; ++f) {
        for (int j = 0; j < 7; ++j) {
            if (j > 0)
                text += blanks[next() % 4];
            char number[64];
            switch (next() % 5) {
                case 0:
                    std::snprintf(number, sizeof number, "%d",
                                  static_cast<int>(next() % 2000) - 1000);
                    break;
                case 1:
                    std::snprintf(number, sizeof number, "%.6f",
                                  (next() % 3600000) / 10000.0 - 180.0);
                    break;
                case 2:
                    std::snprintf(number, sizeof number, "%.17g", (next() % 1000003) / 7.0);
                    break;
                case 3:
                    std::snprintf(number, sizeof number, "%ge%d", (next() % 100) / 8.0,
                                  static_cast<int>(next() % 7) - 3);
                    break;
                default:
                    std::snprintf(number, sizeof number, "-%u.%04u", next() % 100, next() % 10000);
            }
            text += number;
        }
        if (next() % 4 == 0)
            text += " 99 trailing";
        text += ends[next() % 3];
    }
    return text;
}
