// Feeds arbitrary bytes to the reader as a file's text, once line by line on one thread and once
// split among three threads in chunks of a few bytes: both must give the same table or the same
// message. When a motion reads, writes it back and reads the result again, which must succeed
// with the same shape.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "motion/bvh_reader.h"
#include "motion/bvh_writer.h"

namespace {

struct Read {
    std::unique_ptr<Joint> root;
    std::unique_ptr<FrameTable> frames;
    std::string failure;
};

Read readText(const std::string& text, const FrameReading& how) {
    Read read;
    BvhReader reader;
    reader.setFrameReading(how);
    reader.openText(text);
    read.root = reader.readHierarchy();
    if (read.root) {
        read.frames = reader.readMotion();
    }
    read.failure = reader.failure();
    return read;
}

bool sameTable(const FrameTable* a, const FrameTable* b) {
    if (!a || !b) {
        return a == b;
    }
    const float times[2] = {a->frameTime(), b->frameTime()};
    return a->frameCount() == b->frameCount() && a->channelCount() == b->channelCount() &&
           std::memcmp(&times[0], &times[1], sizeof(float)) == 0 &&
           a->values().size() == b->values().size() &&
           (a->values().empty() || std::memcmp(a->values().data(), b->values().data(),
                                               a->values().size() * sizeof(float)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FrameReading oneThread;
    FrameReading threaded;
    threaded.threads = 3;
    threaded.chunkBytes = size > 0 ? 1 + data[0] % 61 : 1;
    threaded.parallelBytes = 0;
    Read single = readText(text, oneThread);
    Read split = readText(text, threaded);
    if (single.failure != split.failure || !sameTable(single.frames.get(), split.frames.get())) {
        std::abort();
    }
    if (!single.frames) {
        return 0;
    }
    const FrameTable& frames = *single.frames;
    if (frames.values().size() != static_cast<std::size_t>(frames.frameCount()) *
                                      static_cast<std::size_t>(frames.channelCount())) {
        std::abort();
    }
    // Keep the round trip cheap: it is the reader that is under test.
    if (frames.values().size() > 100000) {
        return 0;
    }
    static const std::string path =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/fuzz_bvh_" +
        std::to_string(getpid()) + ".bvh";
    BvhWriter writer;
    if (!writer.open(path) || !writer.write(single.root.get(), frames) || !writer.close()) {
        std::abort();
    }
    BvhReader again;
    if (!again.open(path)) {
        std::abort();
    }
    std::unique_ptr<Joint> root2 = again.readHierarchy();
    std::unique_ptr<FrameTable> frames2 = root2 ? again.readMotion() : nullptr;
    if (!frames2 || frames2->frameCount() != frames.frameCount() ||
        frames2->channelCount() != frames.channelCount()) {
        std::abort();
    }
    return 0;
}
