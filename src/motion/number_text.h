#pragma once

#include <cstdint>
#include <string_view>

// Text-to-number conversions with the semantics of the C library's atof and atoi: the longest
// numeric prefix counts, a token that does not begin with a number reads 0, nothing is an error.

// (float)atof(token), bit for bit. The text is the token alone (no terminator needed).
float atofFloat(std::string_view token);

// atoi's value of the token, except that values beyond +-2^62 saturate there instead of being
// undefined; callers compare the result against their own limits.
long long atoiPrefix(std::string_view token);

namespace number_text_detail {
extern const double kPowersOfTen[23];
}

// Converts the token that starts at p (p < end, *p neither blank nor tab) and returns one past
// the token's end (the next blank or tab, or end). The stored float equals (float)atof(token).
// Plain decimals ("-12.3456") take an exact fast path: at most 2^53 as an integer and at most 22
// decimals, the quotient of two exact doubles is the correctly rounded double that strtod gives.
inline const char* convertFloatToken(const char* p, const char* end, float& out) {
    const char* s = p;
    bool negative = false;
    if (*s == '-' || *s == '+') {
        negative = *s == '-';
        ++s;
    }
    std::uint64_t mantissa = 0;
    const char* digits = s;
    while (s < end && static_cast<unsigned>(*s - '0') < 10u) {
        mantissa = mantissa * 10u + static_cast<unsigned>(*s - '0');
        ++s;
    }
    int integerDigits = static_cast<int>(s - digits);
    int decimals = 0;
    if (s < end && *s == '.') {
        ++s;
        const char* fraction = s;
        while (s < end && static_cast<unsigned>(*s - '0') < 10u) {
            mantissa = mantissa * 10u + static_cast<unsigned>(*s - '0');
            ++s;
        }
        decimals = static_cast<int>(s - fraction);
    }
    int allDigits = integerDigits + decimals;
    if (allDigits > 0 && allDigits <= 19 && decimals <= 22 &&
        mantissa <= (std::uint64_t{1} << 53) && (s == end || *s == ' ' || *s == '\t')) {
        double v = static_cast<double>(mantissa) / number_text_detail::kPowersOfTen[decimals];
        out = static_cast<float>(negative ? -v : v);
        return s;
    }
    while (s < end && *s != ' ' && *s != '\t') {
        ++s;
    }
    out = atofFloat(std::string_view(p, static_cast<std::size_t>(s - p)));
    return s;
}
