#include "motion/number_text.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace number_text_detail {
const double kPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const std::uint64_t kIntegerPowersOfTen[9] = {1,      10,      100,      1000,     10000,
                                              100000, 1000000, 10000000, 100000000};
}  // namespace number_text_detail

float atofFloat(std::string_view token) {
    // strtod needs a terminated string; short tokens stay on the stack.
    char local[64];
    if (token.size() < sizeof local) {
        token.copy(local, token.size());
        local[token.size()] = '\0';
        return static_cast<float>(std::strtod(local, nullptr));
    }
    std::string copy(token);
    return static_cast<float>(std::strtod(copy.c_str(), nullptr));
}

long long atoiPrefix(std::string_view token) {
    constexpr long long kLimit = 1LL << 62;
    std::size_t i = 0;
    while (i < token.size() && std::isspace(static_cast<unsigned char>(token[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < token.size() && (token[i] == '-' || token[i] == '+')) {
        negative = token[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) {
        value = value > kLimit / 10 ? kLimit : value * 10 + (token[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
        ++i;
    }
    return negative ? -value : value;
}
