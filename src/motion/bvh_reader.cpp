#include "motion/bvh_reader.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "motion/number_text.h"

namespace {

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

}  // namespace

BvhReader::BvhReader() = default;
BvhReader::~BvhReader() = default;

int BvhReader::open(const std::string& path) {
    line_ = {};
    hasToken_ = false;
    channelTotal_ = 0;
    failure_.clear();
    return source_.open(path);
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
    cursor_ = 0;
    hasToken_ = false;
    if (!source_.next(line_)) {
        line_ = {};
        return false;
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

std::unique_ptr<Joint> BvhReader::readHierarchy() {
    if (!isOpen()) {
        fail("Could not open the file.");
        return nullptr;
    }
    readLine();
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
                return done;
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
    if (!readFrameCount(frameCount) || !readFrameTime(frameTime)) {
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
    return table;
}

bool BvhReader::readFrameCount(int& frameCount) {
    readLine();
    if (!firstToken() || !tokenIs("frames:") || !nextToken()) {
        return fail("Frames:");
    }
    long long count = atoiPrefix(token_);
    if (count < 0 || count > INT_MAX) {
        return fail("Frames:");
    }
    frameCount = static_cast<int>(count);
    return true;
}

bool BvhReader::readFrameTime(float& frameTime) {
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
    return true;
}

// A frame line holds channelTotal tokens of at least one character, each followed by a blank or
// the line feed, so the rest of the file bounds the number of frames it can hold. Without a
// known size (a pipe) the table grows as lines arrive instead.
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
    const std::size_t columns = static_cast<std::size_t>(channelTotal_);
    const std::size_t total = columns * static_cast<std::size_t>(frameCount);
    const bool sized = source_.remaining() >= 0;
    try {
        values.resize(sized ? total : 0);
    } catch (const std::bad_alloc&) {
        return fail("Frames:");
    }
    for (int f = 0; f < frameCount; ++f) {
        readLine();
        if (columns == 0) {
            continue;
        }
        std::size_t base = static_cast<std::size_t>(f) * columns;
        if (!sized) {
            try {
                values.resize(base + columns);
            } catch (const std::bad_alloc&) {
                return fail("Frames:");
            }
        }
        float* out = values.data() + base;
        const char* p = line_.data();
        const char* end = p + line_.size();
        for (std::size_t j = 0; j < columns; ++j) {
            while (p < end && isDelimiter(*p)) {
                ++p;
            }
            if (p == end) {
                values = std::vector<float>();
                return fail("Not enough data in file");
            }
            p = convertFloatToken(p, end, out[j]);
        }
        // Checked once per line: the fast path never yields a non-finite value.
        for (std::size_t j = 0; j < columns; ++j) {
            if (!isFinite(out[j])) {
                values = std::vector<float>();
                return fail(kNonFinite);
            }
        }
    }
    return true;
}
