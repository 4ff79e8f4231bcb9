#pragma once

// sqrt(a^2 + b^2) computed from the ratio of the smaller to the larger magnitude, so that
// neither squaring overflows nor underflows on its own.
double hypotenuse(double a, double b);
