#pragma once

#include <optional>
#include <string>
#include <vector>

// Selection > Choose Feet's question: the skeleton's joints in two lists, one per foot, to pick
// the ankles from, each list starting at the ankle in use (`current`: left, right; may be
// short). OK (once both are picked) gives the two names, Automatic none (the feet are then found
// automatically), Cancel, Escape and the window's close nothing. Runs the toolkit's loop until
// answered.
std::optional<std::vector<std::string>> askAnkles(const std::vector<std::string>& joints,
                                                  const std::vector<std::string>& current);
