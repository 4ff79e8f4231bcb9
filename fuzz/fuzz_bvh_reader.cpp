// Feeds arbitrary bytes to the reader as a file's text; when a motion reads, writes it back and
// reads the result again, which must succeed with the same shape.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "motion/bvh_reader.h"
#include "motion/bvh_writer.h"
#include "silence_stdout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int silenced = silenceStdout();
    (void)silenced;
    BvhReader reader;
    reader.openText(std::string(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<Joint> root = reader.readHierarchy();
    if (!root)
        return 0;
    std::unique_ptr<FrameTable> frames = reader.readMotion();
    if (!frames)
        return 0;
    if (frames->values().size() != static_cast<std::size_t>(frames->frameCount()) *
                                       static_cast<std::size_t>(frames->channelCount())) {
        std::abort();
    }
    // Keep the round trip cheap: it is the reader that is under test.
    if (frames->values().size() > 100000)
        return 0;
    static const std::string path =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/fuzz_bvh_" +
        std::to_string(getpid()) + ".bvh";
    BvhWriter writer;
    if (!writer.open(path) || !writer.write(root.get(), *frames) || !writer.close()) {
        std::abort();
    }
    BvhReader again;
    if (!again.open(path))
        std::abort();
    std::unique_ptr<Joint> root2 = again.readHierarchy();
    std::unique_ptr<FrameTable> frames2 = root2 ? again.readMotion() : nullptr;
    if (!frames2 || frames2->frameCount() != frames->frameCount() ||
        frames2->channelCount() != frames->channelCount()) {
        std::abort();
    }
    return 0;
}
