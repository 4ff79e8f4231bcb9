#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "motion/frame_table.h"
#include "motion/joint.h"

namespace {

TEST(Joint, StartsEmptyAndKeepsChildrenInAppendOrder) {
    Joint root("Hips");
    EXPECT_EQ(root.name(), "Hips");
    EXPECT_EQ(root.channelCount(), 0);
    EXPECT_EQ(root.offset(), (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(root.firstChild(), nullptr);

    const char* names[] = {"A", "B", "C"};
    for (const char* name : names) {
        auto child = std::make_unique<Joint>(name);
        child->setParent(&root);
        root.appendChild(std::move(child));
    }
    const Joint* c = root.firstChild();
    for (const char* name : names) {
        ASSERT_TRUE(c);
        EXPECT_EQ(c->name(), name);
        EXPECT_EQ(c->parent(), &root);
        c = c->nextSibling();
    }
    EXPECT_EQ(c, nullptr);
}

// Both a chain and a fan of a million joints must be built in linear time and released without
// recursing once per joint (which would overflow the stack).
TEST(Joint, MillionDeepOrWideSkeletonsAreReleased) {
    const int count = 1000000;
    auto deep = std::make_unique<Joint>("root");
    Joint* tip = deep.get();
    for (int i = 0; i < count; ++i) {
        auto child = std::make_unique<Joint>("d");
        child->setParent(tip);
        Joint* next = child.get();
        tip->appendChild(std::move(child));
        tip = next;
    }
    deep.reset();

    auto wide = std::make_unique<Joint>("root");
    for (int i = 0; i < count; ++i) {
        wide->appendChild(std::make_unique<Joint>("w"));
    }
    int seen = 0;
    for (const Joint* c = wide->firstChild(); c; c = c->nextSibling())
        ++seen;
    EXPECT_EQ(seen, count);
    wide.reset();
}

TEST(FrameTable, IndexesRowByRowAndCopiesDeeply) {
    FrameTable table(3);
    EXPECT_EQ(table.frameCount(), 0);
    EXPECT_EQ(table.frameTime(), 0.0f);
    table.set(2, 0.25f, {0, 1, 2, 10, 11, 12});
    EXPECT_EQ(table.value(1, 0), 10.0f);
    EXPECT_EQ(table.row(1)[2], 12.0f);

    FrameTable copy(table);
    copy.setValue(1, 2, -5.0f);
    EXPECT_EQ(copy.value(1, 2), -5.0f);
    EXPECT_EQ(table.value(1, 2), 12.0f);
    EXPECT_EQ(copy.frameCount(), 2);
    EXPECT_EQ(copy.frameTime(), 0.25f);
    EXPECT_EQ(copy.channelCount(), 3);
}

}  // namespace
