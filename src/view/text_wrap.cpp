#include "view/text_wrap.h"

namespace {

bool continuesCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Splits a word too wide for a line into pieces that fit, the last one left in `word`.
void breakWord(std::string& word, double width,
               const std::function<double(const std::string&)>& measure,
               std::vector<std::string>& lines) {
    while (measure(word) > width) {
        std::size_t cut = 1;
        for (std::size_t next = 1; next < word.size(); ++next) {
            if (continuesCharacter(word[next]))
                continue;
            if (measure(word.substr(0, next)) > width)
                break;
            cut = next;
        }
        while (cut < word.size() && continuesCharacter(word[cut]))
            ++cut;
        if (cut >= word.size())
            return;
        lines.push_back(word.substr(0, cut));
        word.erase(0, cut);
    }
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, double width, double space,
                                  const std::function<double(const std::string&)>& measure) {
    std::vector<std::string> lines;
    std::string line;
    double lineWidth = 0.0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        const double wordWidth = measure(word);
        if (!line.empty() && lineWidth + space + wordWidth <= width) {
            line += ' ' + word;
            lineWidth += space + wordWidth;
            continue;
        }
        if (!line.empty())
            lines.push_back(line);
        breakWord(word, width, measure, lines);
        line = word;
        lineWidth = measure(word);
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}
