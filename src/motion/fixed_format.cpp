#include "motion/fixed_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

// A float is m * 2^e with a 24-bit m, so v * 10^4 is m * 10^4 * 2^e, and for |v| < 2^32 the
// rounding to an integer is exact in 64-bit arithmetic. Larger and non-finite values take
// std::to_chars, which is exact too but several times slower.
char* formatFixed4(float v, char* out) {
    if (!(std::fabs(v) < 4294967296.0f)) {
        return std::to_chars(out, out + 64, static_cast<double>(v), std::chars_format::fixed, 4)
            .ptr;
    }
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = (bits >> 31) != 0;
    const int biased = static_cast<int>((bits >> 23) & 0xFFu);
    std::uint64_t mantissa = bits & 0x7FFFFFu;
    int exponent;  // v = mantissa * 2^exponent
    if (biased == 0) {
        exponent = -149;
    } else {
        mantissa |= 0x800000u;
        exponent = biased - 150;
    }
    std::uint64_t scaled = 0;  // round-half-even of |v| * 10^4
    if (exponent >= 0) {
        scaled = (mantissa << exponent) * 10000u;
    } else {
        const std::uint64_t n = mantissa * 10000u;  // below 2^38
        const int shift = -exponent;
        if (shift < 40) {
            const std::uint64_t q = n >> shift;
            const std::uint64_t rest = n & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            scaled = q + ((rest > half || (rest == half && (q & 1u))) ? 1u : 0u);
        }
    }
    if (negative) {
        *out++ = '-';
    }
    std::uint64_t whole = scaled / 10000u;
    unsigned fraction = static_cast<unsigned>(scaled % 10000u);
    out = std::to_chars(out, out + 24, whole).ptr;
    out[0] = '.';
    out[1] = static_cast<char>('0' + fraction / 1000u);
    out[2] = static_cast<char>('0' + fraction / 100u % 10u);
    out[3] = static_cast<char>('0' + fraction / 10u % 10u);
    out[4] = static_cast<char>('0' + fraction % 10u);
    return out + 5;
}
