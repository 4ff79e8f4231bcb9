#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What one column of a frame drives. Rotations are in degrees.
enum ChannelType : std::int32_t {
    Xposition = 0,
    Yposition = 1,
    Zposition = 2,
    Xrotation = 3,
    Yrotation = 4,
    Zrotation = 5,
};

// One node of the skeleton: a ROOT, a JOINT or an End Site ("End Site" is its name).
// A joint owns its first child and its next sibling, so destroying the root releases the whole
// skeleton; destruction iterates, so a skeleton of any width or depth is released safely.
class Joint {
  public:
    explicit Joint(std::string name);
    ~Joint();
    Joint(const Joint&) = delete;
    Joint& operator=(const Joint&) = delete;

    const std::string& name() const { return name_; }
    Joint* parent() const { return parent_; }
    Joint* firstChild() const { return firstChild_.get(); }
    Joint* nextSibling() const { return nextSibling_.get(); }

    // Hangs the child behind the last existing child (file order), in constant time.
    void appendChild(std::unique_ptr<Joint> child);
    void setParent(Joint* parent) { parent_ = parent; }

    // OFFSET from the parent, in file units.
    void setOffset(float x, float y, float z) { offset_ = {x, y, z}; }
    std::array<float, 3> offset() const { return offset_; }

    void setChannels(std::vector<ChannelType> channels) { channels_ = std::move(channels); }
    const std::vector<ChannelType>& channels() const { return channels_; }
    int channelCount() const { return static_cast<int>(channels_.size()); }
    // No range check: callers keep 0 <= i < channelCount().
    ChannelType channel(int i) const { return channels_[static_cast<std::size_t>(i)]; }

  private:
    std::string name_;
    Joint* parent_ = nullptr;
    std::unique_ptr<Joint> firstChild_;
    std::unique_ptr<Joint> nextSibling_;
    Joint* lastChild_ = nullptr;  // end of the child chain, so appending is O(1)
    std::vector<ChannelType> channels_;
    std::array<float, 3> offset_{0.0f, 0.0f, 0.0f};
};

// A copy of the skeleton below and including root (names, OFFSETs, channels; root's siblings
// are not copied), built without recursion.
std::unique_ptr<Joint> copySkeleton(const Joint& root);
