#include "motion/frame_lines.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "motion/number_text.h"

namespace {

// Parts a round is split into for each thread: small enough that threads finish a round
// together, large enough that taking one costs nothing beside parsing it.
constexpr int kPartsPerThread = 8;

bool isDelimiter(char c) {
    return c == ' ' || c == '\t';
}

// A token of 64 characters or more is copied for strtod, which may fail to allocate.
FrameFault parseCaught(std::string_view line, std::size_t columns, float* out) noexcept {
    try {
        return parseFrameLine(line, columns, out);
    } catch (const std::bad_alloc&) {
        return FrameFault::NoMemory;
    }
}

float* rowOf(float* table, long long frame, std::size_t columns) {
    return table + static_cast<std::size_t>(frame) * columns;
}

bool growTo(std::vector<float>& values, long long frames, std::size_t columns) noexcept {
    try {
        values.resize(static_cast<std::size_t>(frames) * columns);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Frames between two reports of progress on the one-by-one path.
constexpr int kReportEvery = 4096;

FrameFault readOneByOne(LineSource& source, int frameCount, std::size_t columns,
                        std::vector<float>& values, bool sized, const FrameReading& how) {
    for (int f = 0; f < frameCount; ++f) {
        if (f % kReportEvery == 0 &&
            !reportStage(how.progress, 0.0, how.progressTo, f, frameCount)) {
            return FrameFault::Cancelled;
        }
        std::string_view line;
        bool read;
        try {
            read = source.next(line);
        } catch (const std::bad_alloc&) {
            return FrameFault::NoMemory;
        }
        if (!read) {
            return source.fault() ? FrameFault::Source : FrameFault::NotEnoughData;
        }
        if (!sized && !growTo(values, f + 1LL, columns)) {
            return FrameFault::NoMemory;
        }
        FrameFault fault = parseCaught(line, columns, rowOf(values.data(), f, columns));
        if (fault != FrameFault::None) {
            return fault;
        }
    }
    return FrameFault::None;
}

// Consecutive whole lines of one block, parsed by one thread.
struct Part {
    const char* begin = nullptr;
    const char* end = nullptr;
    long long firstFrame = 0;
    int lines = 0;
    FrameFault fault = FrameFault::None;
};

// One block of lines split into parts; a round with no lines ends the reading.
struct Round {
    std::vector<Part> parts;
    long long firstFrame = 0;
    int lines = 0;
    std::size_t bytes = 0;
    FrameFault fault = FrameFault::None;  // why no lines could be taken
};

// Takes the next block of whole lines (about `bytes` long), at most `wanted` of them, and splits
// it at line starts into `count` parts of about equal length. Lines past the wanted ones go back
// to the input.
void takeRound(LineSource& source, std::size_t bytes, int count, long long firstFrame,
               long long wanted, Round& round) {
    round.parts.clear();
    round.firstFrame = firstFrame;
    round.lines = 0;
    round.bytes = 0;
    round.fault = FrameFault::None;
    if (wanted <= 0) {
        return;
    }
    std::string_view block;
    try {
        if (!source.nextLines(bytes, block)) {
            round.fault = source.fault() ? FrameFault::Source : FrameFault::None;
            return;
        }
    } catch (const std::bad_alloc&) {
        round.fault = FrameFault::NoMemory;
        return;
    }
    const char* p = block.data();
    const char* end = p + block.size();
    LineEnds ends;
    long long frame = firstFrame;
    for (int i = 0; i < count && p < end && round.lines < wanted; ++i) {
        const char* target = block.data() + block.size() / count * (i + 1);
        if (i + 1 == count) {
            target = end;
        }
        Part part;
        part.begin = p;
        part.firstFrame = frame;
        while (p < target && round.lines < wanted) {
            const char* stop = ends.find(p, end);
            p = stop == end ? end : stop + lineEndLength(stop, end);
            ++part.lines;
            ++round.lines;
        }
        part.end = p;
        frame += part.lines;
        round.parts.push_back(part);
    }
    round.bytes = static_cast<std::size_t>(p - block.data());
    if (p < end) {
        source.unread(static_cast<std::size_t>(end - p));
    }
}

void parsePart(Part& part, std::size_t columns, float* table) {
    LineEnds ends;
    const char* p = part.begin;
    for (int k = 0; k < part.lines; ++k) {
        const char* stop = ends.find(p, part.end);
        FrameFault fault = parseCaught(std::string_view(p, static_cast<std::size_t>(stop - p)),
                                       columns, rowOf(table, part.firstFrame + k, columns));
        if (fault != FrameFault::None) {
            part.fault = fault;
            return;
        }
        p = stop == part.end ? stop : stop + lineEndLength(stop, part.end);
    }
}

// What the threads of one round share: each takes the next part nobody took yet, so a thread
// that is slowed down (by the system, or by reading the next block) simply takes fewer. The table
// is reached through its address alone, so the vector may grow within its capacity meanwhile.
struct RoundJob {
    Round* round;
    std::size_t columns;
    float* table;
    std::atomic<std::size_t> taken{0};

    void run() {
        for (std::size_t i = taken++; i < round->parts.size(); i = taken++) {
            parsePart(round->parts[i], columns, table);
        }
    }
};

// While the workers parse one block, this thread reads and splits the next, then parses beside
// them, so reading the file overlaps parsing it; with a known size the table's capacity is reserved
// at once and the next block's rows are laid (zeroed, their pages touched) meanwhile too. From a
// pipe the table may move as it grows, so it grows only while the workers rest. Faults are looked
// at in file order once a round is complete.
FrameFault readInBlocks(LineSource& source, int frameCount, std::size_t columns,
                        std::vector<float>& values, const FrameReading& how, bool sized) {
    const int count = how.threads;
    const std::size_t window = static_cast<std::size_t>(count) * how.chunkBytes;
    const int parts = count * kPartsPerThread;
    Round current;
    Round next;
    std::unique_ptr<FrameWorkers> workers;
    try {
        current.parts.reserve(static_cast<std::size_t>(parts));
        next.parts.reserve(static_cast<std::size_t>(parts));
        if (sized) {
            values.reserve(static_cast<std::size_t>(frameCount) * columns);
        }
    } catch (const std::bad_alloc&) {
        return FrameFault::NoMemory;
    }
    takeRound(source, window, parts, 0, frameCount, current);
    // An input the first block holds whole, and small, is not worth starting threads for.
    if (current.lines > 0 && (current.lines < frameCount || current.bytes >= how.parallelBytes)) {
        try {
            workers = std::make_unique<FrameWorkers>(count);
        } catch (const std::bad_alloc&) {
            workers.reset();
        }
    }
    long long done = 0;
    if (!growTo(values, current.lines, columns)) {
        return FrameFault::NoMemory;
    }
    while (current.lines > 0) {
        done = current.firstFrame + current.lines;
        const bool threaded = workers && workers->size() > 0;
        RoundJob job{&current, columns, values.data()};
        if (threaded) {
            workers->start([&job] { job.run(); });
        } else {
            job.run();
        }
        takeRound(source, window, parts, done, frameCount - done, next);
        bool grown = true;
        if (sized) {
            grown = growTo(values, done + next.lines, columns);
        }
        if (threaded) {
            job.run();
            workers->wait();
        }
        if (!sized) {
            grown = growTo(values, done + next.lines, columns);
        }
        for (const Part& part : current.parts) {
            if (part.fault != FrameFault::None) {
                return part.fault;
            }
        }
        if (!grown) {
            return FrameFault::NoMemory;
        }
        if (!reportStage(how.progress, 0.0, how.progressTo, static_cast<double>(done),
                         frameCount)) {
            return FrameFault::Cancelled;
        }
        std::swap(current, next);
    }
    if (current.fault != FrameFault::None) {
        return current.fault;
    }
    return done == frameCount ? FrameFault::None : FrameFault::NotEnoughData;
}

}  // namespace

FrameFault parseFrameLine(std::string_view line, std::size_t columns, float* out) {
    if (!line.empty() && std::memchr(line.data(), '\0', line.size())) {
        return FrameFault::NulByte;
    }
    const char* p = line.data();
    const char* end = p + line.size();
    for (std::size_t j = 0; j < columns; ++j) {
        while (p < end && isDelimiter(*p)) {
            ++p;
        }
        if (p == end) {
            return FrameFault::NotEnoughData;
        }
        p = convertFloatToken(p, end, out[j]);
    }
    // Checked once per line: the fast path never yields a non-finite value.
    for (std::size_t j = 0; j < columns; ++j) {
        if (!std::isfinite(out[j])) {
            return FrameFault::NonFinite;
        }
    }
    return FrameFault::None;
}

FrameFault readFrameLines(LineSource& source, int frameCount, std::size_t columns,
                          std::vector<float>& values, const FrameReading& how) {
    values.clear();
    if (frameCount <= 0) {
        return FrameFault::None;
    }
    // A known size was checked to hold every frame, so the table is made at once; from a pipe
    // it grows with the lines that really arrive.
    const long long left = source.remaining();
    const bool sized = left >= 0;
    if (how.threads <= 1 || (sized && left < static_cast<long long>(how.parallelBytes))) {
        if (sized && !growTo(values, frameCount, columns)) {
            return FrameFault::NoMemory;
        }
        return readOneByOne(source, frameCount, columns, values, sized, how);
    }
    return readInBlocks(source, frameCount, columns, values, how, sized);
}

FrameWorkers::FrameWorkers(int count) {
    threads_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        // The system may refuse a thread (std::system_error) or the memory for it.
        try {
            threads_.emplace_back(&FrameWorkers::work, this);
        } catch (...) {
            break;
        }
    }
}

FrameWorkers::~FrameWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void FrameWorkers::start(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = std::move(task);
        busy_ = size();
        ++round_;
    }
    wake_.notify_all();
}

void FrameWorkers::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
}

void FrameWorkers::work() {
    unsigned long long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
            if (stopping_) {
                return;
            }
            seen = round_;
        }
        // task_ is not replaced before every worker has reported back.
        task_();
        std::lock_guard<std::mutex> lock(mutex_);
        if (--busy_ == 0) {
            done_.notify_one();
        }
    }
}
