#include "motion/line_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

const char kLongLine[] = "line longer than 64 MiB";
// A read that fails (a folder opened as a file, a disk error) is no end of the input.
const char kReadError[] = "could not read the file";

// A line may need its own bytes and a CR LF in the buffer before it is known to have ended.
constexpr std::size_t kLargestBuffer = LineSource::kMaxLine + 2;

}  // namespace

const char* LineEnds::find(const char* p, const char* end) {
    if (feed_ == nullptr || feed_ < p || searched_ != end) {
        const void* feed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        feed_ = feed ? static_cast<const char*>(feed) : end;
        searched_ = end;
    }
    const void* ret = std::memchr(p, '\r', static_cast<std::size_t>(feed_ - p));
    return ret ? static_cast<const char*>(ret) : feed_;
}

LineSource::~LineSource() {
    close();
}

int LineSource::open(const std::string& path, std::size_t chunkBytes) {
    close();
    // Without O_NONBLOCK, opening a FIFO waits for its writer, where no cancel reaches.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return 0;
    }
    struct stat info;
    if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<long long>(info.st_size);
    } else {
        waits_ = true;
    }
    chunk_ = std::clamp<std::size_t>(chunkBytes, 1, kLargestBuffer);
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
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    waits_ = false;
    cancelled_ = false;
    open_ = false;
    eof_ = false;
    fault_ = nullptr;
    buffer_ = std::string();
    spare_ = std::string();
    blockOut_ = false;
    begin_ = end_ = scanned_ = 0;
    ends_.reset();
    size_ = -1;
    consumed_ = 0;
}

bool LineSource::failLongLine() {
    fault_ = kLongLine;
    return false;
}

void LineSource::takeUpTo(std::size_t stop) {
    consumed_ += static_cast<long long>(stop - begin_);
    begin_ = scanned_ = stop;
}

bool LineSource::next(std::string_view& line) {
    if (!open_ || fault_) {
        return false;
    }
    for (;;) {
        const char* base = buffer_.data();
        const char* stop = ends_.find(base + scanned_, base + end_);
        const std::size_t at = static_cast<std::size_t>(stop - base);
        if (at - begin_ > kMaxLine) {
            return failLongLine();
        }
        // A carriage return as the last byte read may be the first half of CR LF.
        const bool ended = at < end_ && (eof_ || *stop == '\n' || at + 1 < end_);
        if (ended) {
            line = std::string_view(base + begin_, at - begin_);
            takeUpTo(at + lineEndLength(stop, base + end_));
            return true;
        }
        if (at == end_ && eof_) {
            // The last line of a file need not end with a line end.
            if (begin_ == end_) {
                return false;
            }
            line = std::string_view(base + begin_, end_ - begin_);
            takeUpTo(end_);
            return true;
        }
        scanned_ = at;
        refill(0);
    }
}

bool LineSource::nextLines(std::size_t bytes, std::string_view& lines) {
    if (!open_ || fault_) {
        return false;
    }
    const std::size_t window = std::clamp<std::size_t>(bytes, 1, kMaxLine);
    for (;;) {
        if (end_ - begin_ < window && !eof_) {
            refill(window);
            continue;
        }
        const char* base = buffer_.data();
        const char* first = base + begin_;
        const char* last = base + end_;
        // The last line end inside the window, whose line is known to be complete.
        const char* stop = nullptr;
        for (const char* p = first + std::min(window, end_ - begin_); p > first;) {
            --p;
            if ((*p == '\n' || *p == '\r') && (eof_ || *p == '\n' || p + 1 < last)) {
                stop = p;
                break;
            }
        }
        if (!stop) {
            // No line ends inside the window: the block is the one line that reaches past it.
            LineEnds ends;
            const char* p = ends.find(first + std::min(window, end_ - begin_), last);
            if (p < last && (eof_ || *p == '\n' || p + 1 < last)) {
                stop = p;
            }
        }
        if (stop) {
            // Only a line that reaches past the window can be longer than the window.
            if (static_cast<std::size_t>(stop - first) > kMaxLine) {
                return failLongLine();
            }
            std::size_t after = static_cast<std::size_t>(stop - base) + lineEndLength(stop, last);
            lines = std::string_view(first, after - begin_);
            takeUpTo(after);
            blockOut_ = true;
            return true;
        }
        // One unfinished line fills what is buffered; a carriage return at its end may end it.
        std::size_t run = end_ - begin_;
        if (run > 0 && last[-1] == '\r') {
            --run;
        }
        if (run > kMaxLine) {
            return failLongLine();
        }
        if (eof_) {
            if (begin_ == end_) {
                return false;
            }
            lines = std::string_view(first, end_ - begin_);
            takeUpTo(end_);
            blockOut_ = true;
            return true;
        }
        refill(window);
    }
}

void LineSource::unread(std::size_t bytes) {
    begin_ -= bytes;
    scanned_ = begin_;
    consumed_ -= static_cast<long long>(bytes);
    ends_.reset();
}

// The unread bytes move to the front of a buffer and more are read behind them: into the spare
// buffer while a block handed out from the current one may still be parsed, else in place. A
// refill reads up to a chunk or the window, or up to twice the unread bytes when they fill that
// already (one long line), so a buffer holds a window at most unless a line needs more.
bool LineSource::refill(std::size_t window) {
    if (fd_ < 0) {
        eof_ = true;
        return false;
    }
    const std::size_t tail = end_ - begin_;
    std::size_t fill = std::max(chunk_, window);
    if (tail >= fill) {
        fill = std::min(2 * tail, kLargestBuffer);
    } else if (size_ >= 0) {
        // No larger than what the file still holds (a page more shows its end), so a small
        // file takes a small buffer.
        const long long left = std::max(size_ - consumed_ - static_cast<long long>(tail), 0LL);
        fill = std::min(fill, tail + static_cast<std::size_t>(left) + 4096);
    }
    // A buffer that must grow is made anew at the exact size: std::string would double it.
    std::string& target = blockOut_ ? spare_ : buffer_;
    if (target.size() < fill) {
        std::string grown(fill, '\0');
        if (!blockOut_) {
            std::memcpy(&grown[0], buffer_.data() + begin_, tail);
        }
        target.swap(grown);
    } else if (!blockOut_ && tail > 0 && begin_ > 0) {
        std::memmove(&buffer_[0], buffer_.data() + begin_, tail);
    }
    if (blockOut_) {
        std::memcpy(&spare_[0], buffer_.data() + begin_, tail);
        buffer_.swap(spare_);
        blockOut_ = false;
    }
    scanned_ -= begin_;
    begin_ = 0;
    end_ = tail;
    ends_.reset();
    const std::size_t asked = fill - end_;
    const std::size_t got = readInto(&buffer_[end_], asked);
    end_ += got;
    eof_ = got < asked || got == 0;
    return got > 0;
}

// Less than asked only at the end of the input, at a fault or at a cancel.
std::size_t LineSource::readInto(char* at, std::size_t bytes) {
    std::size_t got = 0;
    while (got < bytes) {
        if (waits_ && !awaitInput()) {
            fault_ = Progress::kCancelled;
            break;
        }
        const ssize_t n = ::read(fd_, at + got, bytes - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            fault_ = kReadError;
            break;
        }
    }
    return got;
}

// A FIFO no writer has opened yet shows neither input nor its end, so the wait looks for a
// cancel now and then.
bool LineSource::awaitInput() {
    constexpr int kCancelCheckMs = 100;
    pollfd input{fd_, POLLIN, 0};
    for (;;) {
        if (progress_ != nullptr && progress_->cancelled()) {
            cancelled_ = true;
            return false;
        }
        const int ready = ::poll(&input, 1, progress_ != nullptr ? kCancelCheckMs : -1);
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            return true;  // input, its end, or a fault the read will tell
        }
    }
}

long long LineSource::remaining() const {
    return size_ < 0 ? -1 : size_ - consumed_;
}
