#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The channel values of every frame: frameCount rows of channelCount 32-bit floats, row by
// row; column j of frame f lies at j + f * channelCount. Copying makes an independent table.
class FrameTable {
  public:
    // The longest Frame Time text kept: a longer one is no plain number worth writing back.
    static constexpr std::size_t kMaxFrameTimeText = 64;

    explicit FrameTable(int channelCount) : channelCount_(channelCount) {}

    // Stores all three; the table takes the values (frameCount * channelCount of them).
    void set(int frameCount, float frameTime, std::vector<float> values);

    // No range check: callers keep 0 <= frame < frameCount() and 0 <= column < channelCount().
    float value(int frame, int column) const { return values_[index(frame, column)]; }
    void setValue(int frame, int column, float v) { values_[index(frame, column)] = v; }
    const float* row(int frame) const { return values_.data() + index(frame, 0); }

    int frameCount() const { return frameCount_; }
    float frameTime() const { return frameTime_; }  // seconds per frame
    int channelCount() const { return channelCount_; }
    const std::vector<float>& values() const { return values_; }

    // The Frame Time line's number as the file wrote it (empty for a table not read from a
    // file), so that a save writes it back while the frame time is the value it reads as.
    const std::string& frameTimeText() const { return frameTimeText_; }
    void setFrameTimeText(std::string text) { frameTimeText_ = std::move(text); }

  private:
    std::size_t index(int frame, int column) const {
        return static_cast<std::size_t>(column) +
               static_cast<std::size_t>(frame) * static_cast<std::size_t>(channelCount_);
    }

    float frameTime_ = 0.0f;
    std::string frameTimeText_;
    int frameCount_ = 0;
    std::vector<float> values_;
    int channelCount_;
};
