#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "motion/frame_lines.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/line_source.h"

// Reads a BVH motion file into a skeleton and a frame table. Strictly line-oriented: every keyword
// stands at a fixed place of its line and whatever follows the tokens a line is read for is
// ignored. A failure makes the read return null and leaves its one-line message
// "The Parser could not parse this: <reason>" in failure(); the reader prints nothing. Lines end
// at LF, CR LF or a lone CR; a UTF-8 byte-order mark is skipped; NUL bytes and UTF-16 text are
// refused. Frame lines of a large input are parsed on several threads, with the same result.
class BvhReader {
  public:
    // Deepest accepted nesting of ROOT and JOINT bodies.
    static constexpr int kMaxDepth = 1000;
    // Largest accepted frame count (see readFrameCount): eleven hours at 120 frames a second.
    // A frame costs a load about 35 bytes beside its values (bounds, the path's samples and
    // baseline, the measuring cache), so even a skeleton without channels, whose frames cost the
    // file one byte each, cannot make a load take more than about 200 MB.
    static constexpr int kMaxFrames = 5000000;
    static constexpr int kMaxThreads = 8;

    BvhReader();
    ~BvhReader();
    BvhReader(const BvhReader&) = delete;
    BvhReader& operator=(const BvhReader&) = delete;

    // How the frame lines are read; takes effect at the next open. Tests force one thread, or
    // many threads on tiny chunks, to compare the two ways.
    void setFrameReading(const FrameReading& how) { how_ = how; }
    // The frame lines report how far they got to `progress`, as [0, to] of the whole, and stop
    // with the message Progress::kCancelled once it is cancelled, as does a wait for the input.
    void setProgress(Progress* progress, double to) {
        how_.progress = progress;
        how_.progressTo = to;
        source_.setProgress(progress);
    }
    // As many threads as the machine runs at once (at most kMaxThreads), chunks of 1 MiB.
    static FrameReading defaultFrameReading();

    // Opens the file for reading; 1 on success, 0 when it cannot be opened (nothing is printed
    // here: readHierarchy then reports "Could not open the file."). Channel total 0.
    int open(const std::string& path);
    // Reads the given text instead of a file (tests and fuzzing); behaves as an opened file.
    void openText(std::string text);
    // Releases the file; safe to call more than once. The destructor closes as well.
    void close();
    bool isOpen() const { return source_.isOpen(); }

    // The root joint of the HIERARCHY section (owned by the caller), or null on failure.
    std::unique_ptr<Joint> readHierarchy();
    // The MOTION section as a table with channelTotal() columns, or null on failure. Starts from
    // the token that readHierarchy left current.
    std::unique_ptr<FrameTable> readMotion();

    // The message of the first failure since the last open, or empty.
    const std::string& failure() const { return failure_; }

    // Sum of the channel counts of every joint read so far: the frame table's column count.
    int channelTotal() const { return channelTotal_; }

  private:
    std::unique_ptr<Joint> readHierarchySection();
    std::unique_ptr<FrameTable> readMotionSection();
    bool readLine();                          // next line of the input into line_; false at the end
    bool readFirstLine();                     // readLine, and the checks of the text's encoding
    bool takeLine(bool firstOfFile);          // the next line, checked; both reads end here
    bool firstToken();                        // first token of line_ into token_; false when none
    bool nextToken();                         // the token after the current one on the same line
    bool tokenIs(const char* keyword) const;  // ASCII case-insensitive match of token_
    bool fail(const char* message);           // records the message; always false
    bool failSource();                        // the input's fault, or the cancel it stopped at

    bool readBodyStart(Joint& joint);  // "{", OFFSET and CHANNELS lines of a joint body
    bool readOffset(Joint& joint);     // the three values after OFFSET
    bool readChannels(Joint& joint);   // the count and names after CHANNELS
    std::unique_ptr<Joint> readEndSite();
    bool readFrameCount(int& frameCount);
    bool readFrameTime(float& frameTime, std::string& text);
    bool frameCountFits(long long frameCount) const;
    bool readFrames(int frameCount, std::vector<float>& values);

    FrameReading how_ = defaultFrameReading();
    LineSource source_;
    std::string_view line_;   // current line, without its line feed (and carriage return)
    std::size_t cursor_ = 0;  // where the search for the next token starts in line_
    std::string_view token_;  // current token
    bool hasToken_ = false;   // whether token_ is set (a null token otherwise)
    int channelTotal_ = 0;
    std::string failure_;
};
