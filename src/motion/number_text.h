#pragma once

#include <cstdint>
#include <cstring>
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
extern const std::uint64_t kIntegerPowersOfTen[9];

inline std::uint64_t load8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Non-zero bytes mark the bytes of the (little-endian) word that are not ASCII digits. Adding 6
// can carry only out of a byte that is not a digit, so every byte before the first such byte is
// judged exactly, and so is that byte itself.
inline std::uint64_t nonDigitBytes(std::uint64_t word) {
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u;
    constexpr std::uint64_t zeros = 0x3030303030303030u;
    return ((word & high) ^ zeros) | (((word + 0x0606060606060606u) & high) ^ zeros);
}

// The value of the first n (1 to 7) digit characters of the word.
inline std::uint64_t digitsValue(std::uint64_t word, int n) {
    word <<= 8 * (8 - n);  // the digits move to the top; the zero bytes below read as leading 0s
    word = ((word & 0x0F0F0F0F0F0F0F0Fu) * 2561u) >> 8;
    word = ((word & 0x00FF00FF00FF00FFu) * 6553601u) >> 16;
    return ((word & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}

inline int firstSetByte(std::uint64_t mask) {
    return __builtin_ctzll(mask) >> 3;
}
}  // namespace number_text_detail

// Converts the token that starts at p (p < end, *p neither blank nor tab) and returns one past
// the token's end (the next blank or tab, or end). The stored float equals (float)atof(token).
// Plain decimals ("-12.3456") take an exact fast path: at most 2^53 as an integer and at most 22
// decimals, the quotient of two exact doubles is the correctly rounded double that strtod gives.
// Within a line, a decimal of up to seven digits on each side of the point is read eight bytes
// at a time; near the line's end, digit by digit; anything else goes to strtod.
inline const char* convertFloatToken(const char* p, const char* end, float& out) {
    using namespace number_text_detail;
    const char* s = p;
    bool negative = false;
    if (*s == '-' || *s == '+') {
        negative = *s == '-';
        ++s;
    }
    if (end - s >= 17) {
        const std::uint64_t word = load8(s);
        const std::uint64_t mask = nonDigitBytes(word);
        if (mask != 0) {
            const int integerDigits = firstSetByte(mask);
            std::uint64_t mantissa = integerDigits > 0 ? digitsValue(word, integerDigits) : 0;
            const char* t = s + integerDigits;
            int decimals = 0;
            bool plain = true;
            if (*t == '.') {
                ++t;
                const std::uint64_t fraction = load8(t);
                const std::uint64_t fractionMask = nonDigitBytes(fraction);
                if (fractionMask != 0) {
                    decimals = firstSetByte(fractionMask);
                    if (decimals > 0) {
                        mantissa = mantissa * kIntegerPowersOfTen[decimals] +
                                   digitsValue(fraction, decimals);
                    }
                    t += decimals;
                } else {
                    plain = false;
                }
            }
            if (plain && integerDigits + decimals > 0 && (*t == ' ' || *t == '\t')) {
                double v = static_cast<double>(mantissa) / kPowersOfTen[decimals];
                out = static_cast<float>(negative ? -v : v);
                return t;
            }
        }
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
        double v = static_cast<double>(mantissa) / kPowersOfTen[decimals];
        out = static_cast<float>(negative ? -v : v);
        return s;
    }
    while (s < end && *s != ' ' && *s != '\t') {
        ++s;
    }
    out = atofFloat(std::string_view(p, static_cast<std::size_t>(s - p)));
    return s;
}
