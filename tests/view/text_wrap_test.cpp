#include <gtest/gtest.h>

#include "view/text_wrap.h"

namespace {

// Ten units a byte, so "ü" (two bytes) is twenty wide; a space is five.
double tenPerByte(const std::string& text) {
    return 10.0 * text.size();
}

TEST(TextWrap, LinesBreakAtSpacesAndLongWordsBetweenCharacters) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(wrapText("ab cd  ef", 55.0, 5.0, tenPerByte), (Lines{"ab cd", "ef"}));
    EXPECT_EQ(wrapText("abcdefgh: x", 30.0, 5.0, tenPerByte), (Lines{"abc", "def", "gh:", "x"}));
    EXPECT_EQ(wrapText("a\xC3\xBC\xC3\xBC", 40.0, 5.0, tenPerByte),
              (Lines{"a\xC3\xBC", "\xC3\xBC"}));
    EXPECT_EQ(wrapText("\xC3\xBC", 5.0, 5.0, tenPerByte), (Lines{"\xC3\xBC"}));
    EXPECT_TRUE(wrapText(" ", 50.0, 5.0, tenPerByte).empty());
}

}  // namespace
