#include "app/dropped_files.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

std::string firstDroppedPath(const std::string& dropText) {
    std::size_t start = 0;
    while (start < dropText.size()) {
        std::size_t end = dropText.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = dropText.size();
        const std::string line = dropText.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;  // blank lines and the comments a URI list may carry
        const std::string scheme = "file://";
        if (line.compare(0, scheme.size(), scheme) != 0)
            return line[0] == '/' ? line : std::string();
        std::string rest = line.substr(scheme.size());
        if (rest.compare(0, 9, "localhost") == 0)
            rest = rest.substr(9);
        if (rest.empty() || rest[0] != '/')
            return std::string();  // a file on another host
        return percentDecoded(rest);
    }
    return std::string();
}
