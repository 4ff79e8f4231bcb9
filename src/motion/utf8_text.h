#pragma once

#include <string>

// The text with every byte that starts no valid UTF-8 sequence (overlong forms, surrogates and
// code points past U+10FFFF included) replaced by '?': a BVH file's names may be in any
// encoding, and formats such as glTF's JSON take UTF-8 only.
std::string validUtf8(const std::string& text);
