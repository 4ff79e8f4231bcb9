#include "motion/bvh_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "motion/number_text.h"

namespace {

// The message of a frame count over BvhReader::kMaxFrames.
const std::string kTooManyFrames = "more than " + std::to_string(BvhReader::kMaxFrames) + " frames";

bool isDelimiter(char c) {
    return c == ' ' || c == '\t';
}

bool isFinite(float v) {
    return std::isfinite(v);
}

// Channel keywords in ChannelType order.
const char* const kChannelNames[] = {"xposition", "yposition", "zposition",
                                     "xrotation", "yrotation", "zrotation"};

const char kNonFinite[] = "non-finite value";
const char kNulByte[] = "NUL byte";
const char kNoMemory[] = "not enough memory";

bool startsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

}  // namespace

BvhReader::BvhReader() = default;
BvhReader::~BvhReader() = default;

FrameReading BvhReader::defaultFrameReading() {
    // Asking the system costs a file read, so it is asked once.
    static const int threads =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
    FrameReading how;
    how.threads = threads;
    return how;
}

int BvhReader::open(const std::string& path) {
    line_ = {};
    hasToken_ = false;
    channelTotal_ = 0;
    failure_.clear();
    try {
        return source_.open(path, how_.chunkBytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void BvhReader::openText(std::string text) {
    line_ = {};
    hasToken_ = false;
    channelTotal_ = 0;
    failure_.clear();
    source_.openText(std::move(text));
}

void BvhReader::close() {
    source_.close();
    line_ = {};
    hasToken_ = false;
}

bool BvhReader::readLine() {
    return takeLine(false);
}

bool BvhReader::readFirstLine() {
    return takeLine(true);
}

// Files saved by common Windows editors begin with a UTF-8 byte-order mark. UTF-16 text is told
// by its mark, or by a NUL byte beside the first letter.
bool BvhReader::takeLine(bool firstOfFile) {
    cursor_ = 0;
    hasToken_ = false;
    if (!source_.next(line_)) {
        line_ = {};
        if (source_.fault()) {
            failSource();
        }
        return false;
    }
    if (firstOfFile) {
        const bool utf16 = startsWith(line_, "\xFF\xFE") || startsWith(line_, "\xFE\xFF") ||
                           (line_.size() >= 2 && (line_[0] == '\0') != (line_[1] == '\0'));
        if (utf16) {
            line_ = {};
            return fail("UTF-16 text");
        }
        if (startsWith(line_, "\xEF\xBB\xBF")) {
            line_.remove_prefix(3);
        }
    }
    if (!line_.empty() && std::memchr(line_.data(), '\0', line_.size())) {
        line_ = {};
        return fail(kNulByte);
    }
    return true;
}

bool BvhReader::firstToken() {
    cursor_ = 0;
    return nextToken();
}

bool BvhReader::nextToken() {
    std::size_t i = cursor_;
    while (i < line_.size() && isDelimiter(line_[i])) {
        ++i;
    }
    if (i == line_.size()) {
        cursor_ = i;
        hasToken_ = false;
        return false;
    }
    std::size_t start = i;
    while (i < line_.size() && !isDelimiter(line_[i])) {
        ++i;
    }
    token_ = line_.substr(start, i - start);
    cursor_ = i;
    hasToken_ = true;
    return true;
}

bool BvhReader::tokenIs(const char* keyword) const {
    if (!hasToken_) {
        return false;
    }
    std::size_t i = 0;
    for (; keyword[i] != '\0'; ++i) {
        if (i == token_.size()) {
            return false;
        }
        char c = token_[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != keyword[i]) {
            return false;
        }
    }
    return i == token_.size();
}

bool BvhReader::fail(const char* message) {
    // A read stops at its first fault; that one is the reason.
    if (failure_.empty()) {
        failure_ = std::string("The Parser could not parse this: ") + message;
    }
    return false;
}

bool BvhReader::failSource() {
    if (source_.cancelled() && failure_.empty()) {
        failure_ = Progress::kCancelled;
        return false;
    }
    return fail(source_.fault());
}

std::unique_ptr<Joint> BvhReader::readHierarchy() {
    try {
        return readHierarchySection();
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return nullptr;
    }
}

std::unique_ptr<Joint> BvhReader::readHierarchySection() {
    if (!isOpen()) {
        fail("Could not open the file.");
        return nullptr;
    }
    readFirstLine();
    if (!firstToken() || !tokenIs("hierarchy")) {
        fail("hierarchy");
        return nullptr;
    }
    readLine();
    if (!firstToken() || !tokenIs("root") || !nextToken()) {
        fail("root");
        return nullptr;
    }
    // The joint bodies still open, outermost first; a finished body is handed to the one below
    // it. Kept on a heap stack rather than the call stack, so depth costs no recursion.
    std::vector<std::unique_ptr<Joint>> open;
    open.push_back(std::make_unique<Joint>(std::string(token_)));
    if (!readBodyStart(*open.back())) {
        return nullptr;
    }
    for (;;) {
        readLine();
        firstToken();
        if (tokenIs("joint")) {
            if (!nextToken()) {
                fail("} -- at end");
                return nullptr;
            }
            if (static_cast<int>(open.size()) >= kMaxDepth) {
                fail("hierarchy too deep");
                return nullptr;
            }
            open.push_back(std::make_unique<Joint>(std::string(token_)));
            if (!readBodyStart(*open.back())) {
                return nullptr;
            }
        } else if (tokenIs("end")) {
            std::unique_ptr<Joint> site = readEndSite();
            if (!site) {
                return nullptr;
            }
            site->setParent(open.back().get());
            open.back()->appendChild(std::move(site));
        } else if (tokenIs("}")) {
            std::unique_ptr<Joint> done = std::move(open.back());
            open.pop_back();
            if (open.empty()) {
                readLine();
                firstToken();
                // The line after the hierarchy may already hold a fault of the input.
                return failure_.empty() ? std::move(done) : nullptr;
            }
            done->setParent(open.back().get());
            open.back()->appendChild(std::move(done));
        } else {
            fail("} -- at end");
            return nullptr;
        }
    }
}

bool BvhReader::readBodyStart(Joint& joint) {
    readLine();
    if (!firstToken() || !tokenIs("{")) {
        return fail("{ -- at beginning");
    }
    readLine();
    if (!firstToken() || !tokenIs("offset")) {
        return fail("offset -- at beginning");
    }
    if (!readOffset(joint)) {
        return false;
    }
    readLine();
    if (!firstToken() || !tokenIs("channels")) {
        return fail("channels");
    }
    return readChannels(joint);
}

bool BvhReader::readOffset(Joint& joint) {
    float xyz[3];
    for (float& v : xyz) {
        if (!nextToken()) {
            return fail("missing offset value");
        }
        v = atofFloat(token_);
        if (!isFinite(v)) {
            return fail(kNonFinite);
        }
    }
    joint.setOffset(xyz[0], xyz[1], xyz[2]);
    return true;
}

bool BvhReader::readChannels(Joint& joint) {
    if (!nextToken()) {
        return fail("missing channel number");
    }
    long long count = atoiPrefix(token_);
    if (count < 0) {
        return fail("missing channel number");
    }
    // The names must stand on this line, so the line bounds what is allocated, not the count.
    std::vector<ChannelType> channels;
    for (long long i = 0; i < count; ++i) {
        int type = -1;
        if (nextToken()) {
            for (int t = 0; t < 6; ++t) {
                if (tokenIs(kChannelNames[t])) {
                    type = t;
                    break;
                }
            }
        }
        if (type < 0) {
            return fail("unknown or nonexistant channel");
        }
        channels.push_back(static_cast<ChannelType>(type));
    }
    // A total beyond a 32-bit count would need a file of many gigabytes; it is refused as a
    // malformed CHANNELS line rather than wrapped around.
    if (count > INT_MAX - channelTotal_) {
        return fail("channels");
    }
    channelTotal_ += static_cast<int>(count);
    joint.setChannels(std::move(channels));
    return true;
}

std::unique_ptr<Joint> BvhReader::readEndSite() {
    if (!nextToken() || !tokenIs("site")) {
        fail("site");
        return nullptr;
    }
    readLine();
    if (!firstToken() || !tokenIs("{")) {
        fail("{ -- in middle");
        return nullptr;
    }
    readLine();
    if (!firstToken() || !tokenIs("offset")) {
        fail("offset -- in middle");
        return nullptr;
    }
    auto site = std::make_unique<Joint>("End Site");
    if (!readOffset(*site)) {
        return nullptr;
    }
    readLine();
    if (!firstToken() || !tokenIs("}")) {
        fail("} -- in middle");
        return nullptr;
    }
    return site;
}

std::unique_ptr<FrameTable> BvhReader::readMotion() {
    try {
        return readMotionSection();
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return nullptr;
    }
}

std::unique_ptr<FrameTable> BvhReader::readMotionSection() {
    if (!isOpen()) {
        fail("No open file\n");
        return nullptr;
    }
    auto table = std::make_unique<FrameTable>(channelTotal_);
    while (!hasToken_) {
        if (!readLine()) {
            fail("Motion");
            return nullptr;
        }
        firstToken();
    }
    if (!tokenIs("motion")) {
        fail("Motion");
        return nullptr;
    }
    int frameCount = 0;
    float frameTime = 0.0f;
    std::string frameTimeText;
    if (!readFrameCount(frameCount) || !readFrameTime(frameTime, frameTimeText)) {
        return nullptr;
    }
    if (!frameCountFits(frameCount)) {
        fail("Frames:");
        return nullptr;
    }
    std::vector<float> values;
    if (!readFrames(frameCount, values)) {
        return nullptr;
    }
    table->set(frameCount, frameTime, std::move(values));
    table->setFrameTimeText(std::move(frameTimeText));
    return table;
}

bool BvhReader::readFrameCount(int& frameCount) {
    readLine();
    if (!firstToken() || !tokenIs("frames:") || !nextToken()) {
        return fail("Frames:");
    }
    long long count = atoiPrefix(token_);
    if (count < 0) {
        return fail("Frames:");
    }
    // The cap bounds what a load derives per frame (see kMaxFrames).
    if (count > kMaxFrames) {
        return fail(kTooManyFrames.c_str());
    }
    frameCount = static_cast<int>(count);
    return true;
}

// text gets the number as written (see FrameTable::frameTimeText).
bool BvhReader::readFrameTime(float& frameTime, std::string& text) {
    readLine();
    if (!firstToken() || !tokenIs("frame")) {
        return fail("Frame");
    }
    if (!nextToken() || !tokenIs("time:") || !nextToken()) {
        return fail("Time");
    }
    frameTime = atofFloat(token_);
    if (!isFinite(frameTime)) {
        return fail(kNonFinite);
    }
    if (token_.size() <= FrameTable::kMaxFrameTimeText) {
        text = token_;
    }
    return true;
}

// Every frame has a line of its own, and it holds channelTotal tokens of at least one character,
// each followed by a blank or the line end, so the rest of the file bounds the number of frames
// it can hold. Without a known size (a pipe) the table grows as lines arrive instead, and a frame
// whose line never comes fails, also for a skeleton without channels.
bool BvhReader::frameCountFits(long long frameCount) const {
    if (frameCount == 0) {
        return true;
    }
    long long left = source_.remaining();
    if (left < 0) {
        return true;
    }
    long long perLine = channelTotal_ > 0 ? 2LL * channelTotal_ : 1;
    return frameCount <= (left + 1) / perLine;
}

bool BvhReader::readFrames(int frameCount, std::vector<float>& values) {
    const FrameFault fault =
        readFrameLines(source_, frameCount, static_cast<std::size_t>(channelTotal_), values, how_);
    if (fault == FrameFault::None) {
        return true;
    }
    values = std::vector<float>();
    switch (fault) {
        case FrameFault::NonFinite:
            return fail(kNonFinite);
        case FrameFault::NulByte:
            return fail(kNulByte);
        case FrameFault::NoMemory:
            return fail(kNoMemory);
        case FrameFault::Source:
            return failSource();
        case FrameFault::Cancelled:
            failure_ = Progress::kCancelled;
            return false;
        default:
            return fail("Not enough data in file");
    }
}
