#pragma once

#include <optional>
#include <string>
#include <vector>

// A modal question for typed numbers: one field per label, starting at `initial` (one value
// per label). OK or Enter gives the numbers once every field holds a finite one (a field that
// does not is marked and the question stays); Cancel, Escape and the window's close give
// nothing. Runs the toolkit's loop until answered.
std::optional<std::vector<double>> askNumbers(const std::string& title,
                                              const std::vector<std::string>& labels,
                                              const std::vector<double>& initial);

// The field text of a number: the shortest that reads back as it.
std::string numberText(double value);
// The number a field holds, or none for text that is no finite number.
std::optional<double> numberIn(const std::string& text);
