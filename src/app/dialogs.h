#pragma once

#include <string>
#include <vector>

// A modal question with a row of buttons, left to right in the given order. Enter presses
// `defaultButton`, Escape and the window manager's close give `cancelButton`. Returns the index
// of the button pressed. Runs the toolkit's loop until answered.
int askChoice(const std::string& title, const std::string& message,
              const std::vector<std::string>& buttons, int defaultButton, int cancelButton);
