#pragma once

#include <functional>
#include <string>
#include <vector>

// The text broken at its spaces into lines no wider than `width`, where a line's width is its
// words' widths (`measure`) plus `space` between neighbours; a word wider than a line is broken
// between characters (never inside a UTF-8 sequence). Every line holds at least one character.
std::vector<std::string> wrapText(const std::string& text, double width, double space,
                                  const std::function<double(const std::string&)>& measure);
