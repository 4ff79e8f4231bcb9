#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Hands out the lines of a file or of a text in memory, whole, however long they are. A file is
// read in large chunks, so only the chunk holding the current line stays in memory.
class LineSource {
  public:
    LineSource() = default;
    ~LineSource();
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // 1 when the file could be opened for reading, 0 otherwise.
    int open(const std::string& path);
    void openText(std::string text);
    void close();
    bool isOpen() const { return open_; }

    // The next line without its line feed and without a carriage return before it; false at the
    // end of the input (or on a read error). The view stays valid until the next call.
    bool next(std::string_view& line);

    // Bytes not yet handed out, or -1 when the input's size is unknown (a pipe).
    long long remaining() const;

  private:
    bool refill();  // keeps the unread tail and reads more behind it; false when nothing came

    std::FILE* file_ = nullptr;
    bool open_ = false;
    bool eof_ = false;
    std::string buffer_;       // for a text: the whole text; for a file: the current chunk(s)
    std::size_t begin_ = 0;    // first unread byte in buffer_
    std::size_t end_ = 0;      // one past the last valid byte in buffer_
    std::size_t scanned_ = 0;  // bytes before this hold no line feed of the current line
    long long size_ = -1;      // total input size when known
    long long consumed_ = 0;   // bytes handed out so far, line feeds included
};
