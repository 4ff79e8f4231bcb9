#include "motion/bvh_writer.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "motion/fixed_format.h"
#include "motion/number_text.h"
#include "motion/progress.h"

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// "%.4f" of the largest float has 39 integer digits; with sign, point and decimals this fits.
constexpr std::size_t kNumberRoom = 64;
// A float's 39 integer digits or the up to sixty decimals a denormal needs, with sign and point.
constexpr std::size_t kFrameTimeRoom = 128;

const char* const kChannelNames[] = {"Xposition", "Yposition", "Zposition",
                                     "Xrotation", "Yrotation", "Zrotation"};

// The frame time as the fewest decimals, six at least, that the reader turns back into the
// same float: six decimals alone would make ".0083333" (120 frames a second) 0.008333, which
// plays at 120.005 and drifts by a tenth of a second an hour. Checked with the reader's own
// conversion, so its rounding through double is accounted for. Returns the end of the text.
char* formatFrameTime(float seconds, char* first, char* last) {
    char* end = first;
    for (int decimals = 6; decimals <= 60; ++decimals) {
        end = std::to_chars(first, last, static_cast<double>(seconds), std::chars_format::fixed,
                            decimals)
                  .ptr;
        const float back =
            atofFloat(std::string_view(first, static_cast<std::size_t>(end - first)));
        if (std::memcmp(&back, &seconds, sizeof back) == 0) {
            break;
        }
    }
    return end;
}

// The file's own Frame Time text is written back while it is a whole number text that still
// reads as the table's frame time: "0.016666666666666666" must not become "0.016666668", the
// same float but another double for readers in double precision.
bool keepsItsText(const FrameTable& frames) {
    const std::string& text = frames.frameTimeText();
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    const float seconds = frames.frameTime();
    const float back = atofFloat(text);
    return end == text.c_str() + text.size() && std::memcmp(&back, &seconds, sizeof back) == 0;
}

}  // namespace

BvhWriter::~BvhWriter() {
    close();
}

int BvhWriter::open(const std::string& path) {
    close();
    const int attached = attach(std::fopen(path.c_str(), "w"));
    ownsFile_ = true;
    return attached;
}

int BvhWriter::attach(std::FILE* file) {
    close();
    indentDepth_ = 0;
    failed_ = false;
    failure_.clear();
    file_ = file;
    ownsFile_ = false;
    if (!file_) {
        report("could not open file");
        return 0;
    }
    out_.resize(kBufferSize);
    used_ = 0;
    return 1;
}

int BvhWriter::close() {
    if (!file_) {
        return 1;
    }
    bool flushed = flush();
    bool closed = (ownsFile_ ? std::fclose(file_) : std::fflush(file_)) == 0;
    file_ = nullptr;
    out_ = std::vector<char>();
    used_ = 0;
    if (!flushed) {
        return 0;
    }
    if (!closed) {
        return streamFailed();
    }
    return 1;
}

int BvhWriter::write(const Joint* root, const FrameTable& frames,
                     const std::vector<ChannelType>* rootChannels) {
    if (!file_ || failed_) {
        return 0;
    }
    text("HIERARCHY\n");
    if (!root) {
        report("no root node passed in");
        flush();
        return 0;
    }
    text("ROOT ");
    text(root->name());
    text("\n");
    openBrace();
    offsetLine(*root);
    channelsLine(rootChannels ? *rootChannels : root->channels());
    writeJoints(*root);
    --indentDepth_;
    text("}\n");
    frameLines(frames);
    if (!flush() || std::fflush(file_) != 0 || std::ferror(file_)) {
        return streamFailed();
    }
    return 1;
}

// Pre-order over the tree with an explicit stack of the blocks still open, so a skeleton
// thousands of joints deep is written without recursion.
void BvhWriter::writeJoints(const Joint& root) {
    std::vector<const Joint*> open;
    const Joint* joint = root.firstChild();
    while (joint) {
        jointStart(*joint);
        if (joint->firstChild()) {
            open.push_back(joint);
            joint = joint->firstChild();
            continue;
        }
        closeBrace();
        while (!joint->nextSibling() && !open.empty()) {
            joint = open.back();
            open.pop_back();
            closeBrace();
        }
        joint = joint->nextSibling();
    }
}

// A childless joint with channels stays a JOINT with its CHANNELS line: written as an End Site
// its columns would vanish from the hierarchy while their values stay in the frame lines.
void BvhWriter::jointStart(const Joint& joint) {
    bool endSite = !joint.firstChild() && joint.channelCount() == 0;
    tabs();
    if (endSite) {
        text("End Site\n");
    } else {
        text("JOINT ");
        text(joint.name());
        text("\n");
    }
    openBrace();
    offsetLine(joint);
    if (!endSite) {
        channelsLine(joint.channels());
    }
}

void BvhWriter::openBrace() {
    tabs();
    text("{\n");
    ++indentDepth_;
}

void BvhWriter::closeBrace() {
    --indentDepth_;
    tabs();
    text("}\n");
}

void BvhWriter::offsetLine(const Joint& joint) {
    std::array<float, 3> offset = joint.offset();
    tabs();
    text("OFFSET");
    for (float v : offset) {
        text(" ");
        number(v);
    }
    text("\n");
}

// Every channel, the root's too, is named by its own type: saving hands the writer the root's
// channels in the order it baked them.
void BvhWriter::channelsLine(const std::vector<ChannelType>& channels) {
    tabs();
    text("CHANNELS ");
    room(kNumberRoom);
    used_ = static_cast<std::size_t>(
        std::to_chars(out_.data() + used_, out_.data() + out_.size(), channels.size()).ptr -
        out_.data());
    for (ChannelType type : channels) {
        text(" ");
        text(kChannelNames[type]);
    }
    text("\n");
}

// A table with frames but no columns gets one empty line per frame, which reads back as the
// same table.
void BvhWriter::frameLines(const FrameTable& frames) {
    text("MOTION\nFrames: ");
    room(kNumberRoom);
    used_ = static_cast<std::size_t>(
        std::to_chars(out_.data() + used_, out_.data() + out_.size(), frames.frameCount()).ptr -
        out_.data());
    text("\nFrame Time: ");
    if (keepsItsText(frames)) {
        text(frames.frameTimeText());
    } else {
        room(kFrameTimeRoom);
        used_ = static_cast<std::size_t>(
            formatFrameTime(frames.frameTime(), out_.data() + used_, out_.data() + out_.size()) -
            out_.data());
    }
    text("\n");
    const int columns = frames.channelCount();
    for (int f = 0; f < frames.frameCount(); ++f) {
        // Every few thousand frames the watcher learns how far the text got and may stop it.
        if (progress_ != nullptr && f % 4096 == 0 &&
            !reportStage(progress_, 0.0, 1.0, f, frames.frameCount())) {
            failure_ = Progress::kCancelled;
            failed_ = true;
            return;
        }
        const float* row = frames.row(f);
        for (int j = 0; j < columns; ++j) {
            number(row[j]);
            out_[used_++] = j + 1 < columns ? ' ' : '\n';
        }
        if (columns == 0) {
            text("\n");
        }
    }
}

void BvhWriter::tabs() {
    for (int i = 0; i < indentDepth_; ++i) {
        text("\t");
    }
}

void BvhWriter::text(std::string_view s) {
    if (s.size() > out_.size() - used_) {
        flush();
        if (s.size() > out_.size()) {
            if (!failed_ && std::fwrite(s.data(), 1, s.size(), file_) != s.size()) {
                streamFailed();
            }
            return;
        }
    }
    std::memcpy(out_.data() + used_, s.data(), s.size());
    used_ += s.size();
}

// Exact, as printf's "%.4f" is for the float promoted to double, so the bytes match the
// formatted output at a fraction of its cost.
void BvhWriter::number(float v) {
    room(kNumberRoom + 1);
    char* first = out_.data() + used_;
    used_ += static_cast<std::size_t>(formatFixed4(v, first) - first);
}

void BvhWriter::room(std::size_t bytes) {
    if (out_.size() - used_ < bytes) {
        flush();
    }
}

bool BvhWriter::flush() {
    if (failed_) {
        used_ = 0;
        return false;
    }
    if (used_ > 0 && std::fwrite(out_.data(), 1, used_, file_) != used_) {
        used_ = 0;
        return streamFailed();
    }
    used_ = 0;
    return true;
}

void BvhWriter::report(const char* message) {
    if (failure_.empty()) {
        failure_ = std::string("Error in BVH file output: ") + message;
    }
}

bool BvhWriter::streamFailed() {
    if (!failed_) {
        report("could not write file");
        failed_ = true;
    }
    return false;
}
