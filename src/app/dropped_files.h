#pragma once

#include <string>

// The first file named by the text a drag and drop delivers: one name per line, each either a
// plain path or a file:// URI (host part "localhost" or empty; %XX escapes decoded). Empty when
// the text names no local file.
std::string firstDroppedPath(const std::string& dropText);
