#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "motion/frame_table.h"
#include "motion/joint.h"

// Writes a skeleton and a frame table as a BVH file that BvhReader reads back. A failure leaves
// its one-line message "Error in BVH file output: <reason>" in failure(); nothing is printed.
class Progress;

class BvhWriter {
  public:
    BvhWriter() = default;
    ~BvhWriter();
    BvhWriter(const BvhWriter&) = delete;
    BvhWriter& operator=(const BvhWriter&) = delete;

    // Creates or empties the file; 1 on success, 0 (reported "could not open file") otherwise.
    int open(const std::string& path);
    // Writes into a stream the caller opened and keeps: close() flushes it but leaves it open.
    // 1, or 0 (reported "could not open file") when there is no stream.
    int attach(std::FILE* file);
    // Writes the whole file and flushes it; 1 on success, 0 on failure (after open failed, no
    // root, or the stream refused the bytes: "could not write file"). rootChannels, when given,
    // are the channels the root's CHANNELS line names in place of its own (a re-expressed root).
    int write(const Joint* root, const FrameTable& frames,
              const std::vector<ChannelType>* rootChannels = nullptr);
    // Closes the file if it is open; 1 on success, 0 (reported "could not write file") when the
    // last bytes could not be stored. Quiet when write already reported a failure.
    int close();

    // The frame lines report to `progress` and stop, failing with Progress::kCancelled, once it
    // is cancelled; null (the default) reports nothing.
    void setProgress(Progress* progress) { progress_ = progress; }

    // The message of the first failure since the last open, or empty.
    const std::string& failure() const { return failure_; }

  private:
    void writeJoints(const Joint& root);  // every block below the root, without recursion
    void jointStart(const Joint& joint);  // JOINT or End Site line, brace, OFFSET, CHANNELS
    void openBrace();
    void closeBrace();
    void offsetLine(const Joint& joint);
    void channelsLine(const std::vector<ChannelType>& channels);
    void frameLines(const FrameTable& frames);
    void tabs();
    void text(std::string_view s);
    void number(float v);
    void room(std::size_t bytes);      // makes room for that many bytes in out_, flushing first
    bool flush();                      // hands out_ to the stream; false once the stream failed
    bool streamFailed();               // reports the first stream error; always false
    void report(const char* message);  // records the first failure's message

    std::FILE* file_ = nullptr;
    bool ownsFile_ = true;  // opened by open(), so closed by close()
    int indentDepth_ = 0;
    std::vector<char> out_;  // formatted bytes not yet handed to the stream
    std::size_t used_ = 0;   // bytes of out_ in use
    bool failed_ = false;    // a stream error has been reported
    std::string failure_;
    Progress* progress_ = nullptr;
};
