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

// rotationSinCos of every lane, equal to it bit for bit: its reduction and series in double,
// four angles at once, with its rounding to the nearest quarter turn made by floating-point
// arithmetic and its choices by bit operations (there is no instruction to convert or compare
// 64-bit integers four at a time before AVX-512, and a compiler emulating those lane by lane
// would lose what the lanes gain). A lane outside the series' range (|angle| >= 1e9, NaN) takes
// the scalar routine. It pays only where four doubles fit in one register: the load's sweep calls
// it from a function compiled for AVX2, and rotationSinCos one angle at a time elsewhere.
inline void rotationSinCosLanes(const Lanes& degrees, Lanes& s, Lanes& c);

namespace lanes_detail {

// The same bits seen as another vector type of the same size (through an out-parameter: a
// function returning a vector of doubles by value would change the ABI where AVX is not enabled).
template <typename To, typename From>
__attribute__((always_inline)) inline void sameBits(const From& from, To& to) {
    static_assert(sizeof(To) == sizeof(From), "a reinterpretation keeps the size");
    std::memcpy(&to, &from, sizeof to);
}

// The series of rotationSinCos at the reduced angle x (radians, |x| <= pi / 4) of quarter turn q
// (its low bits, unsigned; two's complement for a negative quarter), rounded to float.
template <typename Wide, typename WideBits, typename Narrow>
__attribute__((always_inline)) inline void quarterSeries(const Wide& x, const WideBits& q,
                                                         Narrow& s, Narrow& c) {
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
    s = __builtin_convertvector(sines, Narrow);
    c = __builtin_convertvector(cosines, Narrow);
}

// The lanes whose angle the series does not cover, by the scalar routine.
template <typename Narrow, typename NarrowBits>
__attribute__((always_inline)) inline void takeScalarOutside(const Narrow& degrees,
                                                             const NarrowBits& inRange, Narrow& s,
                                                             Narrow& c) {
    constexpr int kCount = sizeof(Narrow) / sizeof(float);
    int all = -1;
    for (int i = 0; i < kCount; ++i) {
        all &= inRange[i];
    }
    if (all != 0) {
        return;
    }
    for (int i = 0; i < kCount; ++i) {
        if (inRange[i] == 0) {
            float laneSine;
            float laneCosine;
            rotationSinCos(degrees[i], laneSine, laneCosine);
            s[i] = laneSine;
            c[i] = laneCosine;
        }
    }
}

}  // namespace lanes_detail

__attribute__((always_inline)) inline void rotationSinCosLanes(const Lanes& degrees, Lanes& s,
                                                               Lanes& c) {
    using lanes_detail::sameBits;
    using Wide = double __attribute__((vector_size(32)));
    using WideMask = long long __attribute__((vector_size(32)));
    using WideBits = unsigned long long __attribute__((vector_size(32)));
    using LaneBits = int __attribute__((vector_size(16)));
    // |angle| < 1e9 in float is the scalar's test in double (1e9 is a float), and NaN fails it.
    const LaneBits inRange = (degrees < 1e9f) & (degrees > -1e9f);
    const Wide d = __builtin_convertvector(inRange ? degrees : Lanes{}, Wide);
    const Wide zero = {0.0, 0.0, 0.0, 0.0};
    const Wide turns = d * (1.0 / 90.0);
    const Wide y = turns + (turns >= 0.0 ? zero + 0.5 : zero - 0.5);
    // The truncation of y (|y| < 2^31, as a double): rounded to the nearest integer by adding and
    // removing 1.5 * 2^52, then stepped back towards zero where that rounding went away from it.
    const Wide shift = zero + 6755399441055744.0;
    const Wide nearest = (y + shift) - shift;
    const WideMask away = y >= 0.0 ? nearest > y : nearest < y;
    const Wide quarter = away ? nearest - (y >= 0.0 ? zero + 1.0 : zero - 1.0) : nearest;
    // The quarter's low bits, as the mantissa of quarter + 1.5 * 2^52 holds them.
    const Wide shiftedQuarter = quarter + shift;
    WideBits q;
    sameBits(shiftedQuarter, q);
    lanes_detail::quarterSeries((d - quarter * 90.0) * (M_PI / 180.0), q, s, c);
    lanes_detail::takeScalarOutside(degrees, inRange, s, c);
}
