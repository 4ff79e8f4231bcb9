#pragma once

#include <cmath>
#include <cstring>

#include "motion/transform_ops.h"

// Four frames side by side: one float of each in a vector that the compiler maps onto the
// machine's SIMD registers (GCC and Clang vector extensions). Every operation works lane by lane
// with a float's IEEE arithmetic, so each lane holds exactly what the scalar expression gives
// for its frame.
constexpr int kFrameLanes = 4;
using Lanes = float __attribute__((vector_size(16)));

namespace lanes_detail {

// Four doubles, and a comparison's mask or the bits of four doubles.
using Wide = double __attribute__((vector_size(32)));
using WideBits = long long __attribute__((vector_size(32)));

// The same bits seen as another vector type of the same size (through an out-parameter: a
// function returning four doubles by value would change the ABI where AVX is not enabled).
template <typename To, typename From>
__attribute__((always_inline)) inline void sameBits(const From& from, To& to) {
    static_assert(sizeof(To) == sizeof(From), "a reinterpretation keeps the size");
    std::memcpy(&to, &from, sizeof to);
}

}  // namespace lanes_detail

// rotationSinCos of every lane, equal to it bit for bit: the same reduction and series in
// double, four angles at once, with rotationSinCos's rounding and quarter-turn choices made by
// arithmetic and bit operations (no instruction set converts or compares 64-bit integers four at
// a time before AVX-512, and a compiler emulating those lane by lane would lose what the lanes
// gain). A lane outside the series' range (|angle| >= 1e9, NaN) takes the scalar routine. Pays
// only where four doubles fit in a register (AVX): the load's sweep calls it from a function
// compiled for AVX2, and rotationSinCos one angle at a time elsewhere.
__attribute__((always_inline)) inline void rotationSinCosLanes(const Lanes& degrees, Lanes& s,
                                                               Lanes& c) {
    using lanes_detail::sameBits;
    using lanes_detail::Wide;
    using lanes_detail::WideBits;
    const Wide d = __builtin_convertvector(degrees, Wide);
    const Wide zero = {0.0, 0.0, 0.0, 0.0};
    const WideBits inRange = (d < 1e9) & (d > -1e9);
    const Wide safe = inRange ? d : zero;
    const Wide turns = safe * (1.0 / 90.0);
    const Wide y = turns + (turns >= 0.0 ? zero + 0.5 : zero - 0.5);
    // The truncation of y (|y| < 2^31, as a double): rounded to the nearest integer by adding and
    // removing 1.5 * 2^52, then stepped back towards zero where that rounding went away from it.
    const Wide shift = zero + 6755399441055744.0;
    const Wide nearest = (y + shift) - shift;
    const WideBits away = y >= 0.0 ? nearest > y : nearest < y;
    const Wide quarter = away ? nearest - (y >= 0.0 ? zero + 1.0 : zero - 1.0) : nearest;
    // The quarter's low bits, as the mantissa of quarter + 1.5 * 2^52 holds them (in two's
    // complement for a negative quarter).
    const Wide shiftedQuarter = quarter + shift;
    WideBits q;
    sameBits(shiftedQuarter, q);
    const Wide x = (safe - quarter * 90.0) * (M_PI / 180.0);
    const Wide x2 = x * x;
    const Wide sinX =
        x + x * x2 * (-1.6666654611e-1 + x2 * (8.3321608736e-3 + x2 * -1.9515295891e-4));
    const Wide cosX =
        1.0 - 0.5 * x2 +
        x2 * x2 * (4.166664568298827e-2 + x2 * (-1.388731625493765e-3 + x2 * 2.443315711809948e-5));
    // Quarter turn q: (s, c) is (sin, cos), (cos, -sin), (-sin, -cos) or (-cos, sin). Flipping
    // the sign bit is the product with -1 that rotationSinCos takes, for any value but NaN, which
    // the series never gives.
    const WideBits odd = -(q & 1);
    const WideBits sineSign = (q & 2) << 62;
    const WideBits cosineSign = ((q + 1) & 2) << 62;
    WideBits sinBits;
    WideBits cosBits;
    sameBits(sinX, sinBits);
    sameBits(cosX, cosBits);
    Wide sines;
    Wide cosines;
    sameBits(WideBits(((odd & cosBits) | (~odd & sinBits)) ^ sineSign), sines);
    sameBits(WideBits(((odd & sinBits) | (~odd & cosBits)) ^ cosineSign), cosines);
    s = __builtin_convertvector(sines, Lanes);
    c = __builtin_convertvector(cosines, Lanes);
    if ((inRange[0] & inRange[1] & inRange[2] & inRange[3]) == 0) {
        for (int lane = 0; lane < kFrameLanes; ++lane) {
            if (inRange[lane] == 0) {
                float laneSine;
                float laneCosine;
                rotationSinCos(degrees[lane], laneSine, laneCosine);
                s[lane] = laneSine;
                c[lane] = laneCosine;
            }
        }
    }
}
