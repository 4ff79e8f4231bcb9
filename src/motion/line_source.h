#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "motion/progress.h"

// Finds line ends in a stretch of text that does not change while it is searched. A line ends at
// a line feed, at a carriage return, or at the pair CR LF (one end). The next line feed is
// remembered, so text whose lines end in lone carriage returns is still scanned once.
class LineEnds {
  public:
    // The first carriage return or line feed in [p, end), or end.
    const char* find(const char* p, const char* end);
    // Forgets what was found; needed whenever the text moves or grows.
    void reset() { feed_ = nullptr; }

  private:
    const char* feed_ = nullptr;      // the first line feed at or after the last search's start
    const char* searched_ = nullptr;  // the end of that search (feed_ equals it when none)
};

// The length of the line end at p (p < end, *p a CR or LF): 2 for CR LF, else 1.
inline std::size_t lineEndLength(const char* p, const char* end) {
    return *p == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1;
}

// Hands out the lines of a file or of a text in memory, whole, however long they are (up to
// kMaxLine), one at a time or in blocks of whole lines. A file is read in chunks, so only the
// chunks holding the current lines stay in memory.
class LineSource {
  public:
    // Longer than any real frame line (a skeleton of a million channels needs about 10 MiB),
    // short enough that a device that never sends a line end cannot take more memory than this.
    static constexpr std::size_t kMaxLine = std::size_t{64} << 20;
    static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

    LineSource() = default;
    ~LineSource();
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // 1 when the file could be opened for reading, 0 otherwise; never waits, not even for the
    // writer of a FIFO. Reads chunkBytes at a time.
    int open(const std::string& path, std::size_t chunkBytes = kDefaultChunk);
    // An input that is no regular file (a pipe, a device) is waited for, and the wait ends with
    // a cancel of `progress` (null: it waits as long as it takes); the input then stops as at a
    // fault, and cancelled() says why. Stays set across opens.
    void setProgress(const Progress* progress) { progress_ = progress; }
    bool cancelled() const { return cancelled_; }
    void openText(std::string text);
    void close();
    bool isOpen() const { return open_; }

    // The next line without its line end; false at the end of the input or at a fault. The view
    // stays valid until the next call.
    bool next(std::string_view& line);

    // Whole lines, line ends included: those that end within the next `bytes` bytes, or else the
    // one line that reaches past them; false at the end of the input or at a fault. The view
    // stays valid until the second call after this one (two buffers take turns), so one block
    // can be parsed while the next is read. Not to be mixed with next() while a block is in use.
    bool nextLines(std::size_t bytes, std::string_view& lines);
    // Gives back the last `bytes` bytes of the latest block; they are handed out again.
    void unread(std::size_t bytes);

    // Why the input stopped before its end ("line longer than 64 MiB"), or null.
    const char* fault() const { return fault_; }

    // Bytes not yet handed out, or -1 when the input's size is unknown (a pipe).
    long long remaining() const;

  private:
    bool refill(std::size_t window);  // more input behind the unread bytes; false when none came
    std::size_t readInto(char* at, std::size_t bytes);  // up to the end of the input or a fault
    bool awaitInput();                                  // false when cancelled first
    bool failLongLine();
    void takeUpTo(std::size_t stop);  // hands out [begin_, stop)

    int fd_ = -1;
    bool waits_ = false;  // a pipe or a device: read once input is there, watching for a cancel
    const Progress* progress_ = nullptr;
    bool cancelled_ = false;
    bool open_ = false;
    bool eof_ = false;
    const char* fault_ = nullptr;
    std::size_t chunk_ = kDefaultChunk;
    std::string buffer_;       // for a text: the whole text; for a file: the current chunk(s)
    std::string spare_;        // the other buffer, holding the block handed out before
    bool blockOut_ = false;    // a block handed out from buffer_ may still be in use
    std::size_t begin_ = 0;    // first unread byte in buffer_
    std::size_t end_ = 0;      // one past the last valid byte in buffer_
    std::size_t scanned_ = 0;  // bytes before this hold no line end of the current line
    LineEnds ends_;            // over buffer_[scanned_, end_)
    long long size_ = -1;      // total input size when known
    long long consumed_ = 0;   // bytes handed out so far, line ends included
};
