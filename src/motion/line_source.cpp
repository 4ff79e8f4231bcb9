#include "motion/line_source.h"

#include <sys/stat.h>

#include <cstring>
#include <utility>

namespace {
// Large enough that reading costs a few system calls per megabyte, small enough to be negligible
// beside a frame table.
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kUnknownSizeLineLimit = std::size_t{1} << 30;
}  // namespace

LineSource::~LineSource() {
    close();
}

int LineSource::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "r");
    if (!file_) {
        return 0;
    }
    struct stat info;
    if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<long long>(info.st_size);
    }
    buffer_.resize(kChunk);
    open_ = true;
    return 1;
}

void LineSource::openText(std::string text) {
    close();
    buffer_ = std::move(text);
    end_ = buffer_.size();
    size_ = static_cast<long long>(buffer_.size());
    eof_ = true;
    open_ = true;
}

void LineSource::close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    open_ = false;
    eof_ = false;
    buffer_ = std::string();
    begin_ = end_ = scanned_ = 0;
    size_ = -1;
    consumed_ = 0;
}

bool LineSource::next(std::string_view& line) {
    if (!open_) {
        return false;
    }
    for (;;) {
        const char* base = buffer_.data();
        const void* feed = std::memchr(base + scanned_, '\n', end_ - scanned_);
        if (feed) {
            std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(feed) - base);
            line = std::string_view(base + begin_, stop - begin_);
            consumed_ += static_cast<long long>(stop + 1 - begin_);
            begin_ = scanned_ = stop + 1;
            break;
        }
        scanned_ = end_;
        if (eof_ || !refill()) {
            // The last line of a file need not end in a line feed.
            if (begin_ == end_) {
                return false;
            }
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            consumed_ += static_cast<long long>(end_ - begin_);
            begin_ = scanned_ = end_;
            break;
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return true;
}

bool LineSource::refill() {
    if (!file_) {
        eof_ = true;
        return false;
    }
    // Keep the unread tail at the front; a line longer than the buffer doubles it.
    if (begin_ > 0) {
        std::memmove(&buffer_[0], buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        scanned_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        // A regular file bounds its own lines; a device or pipe that never sends a line feed
        // would not, so there a gigabyte-long line ends the input instead of exhausting memory.
        if (size_ < 0 && buffer_.size() >= kUnknownSizeLineLimit) {
            eof_ = true;
            return false;
        }
        buffer_.resize(buffer_.size() * 2);
    }
    std::size_t got = std::fread(&buffer_[end_], 1, buffer_.size() - end_, file_);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

long long LineSource::remaining() const {
    return size_ < 0 ? -1 : size_ - consumed_;
}
