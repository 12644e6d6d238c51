// Dual numbers for exact first derivatives: a value and its derivative with respect to
// one chosen input. Evaluating a circuit's realised coefficients with one component
// seeded as Dual(x, x) gives x * d/dx of every result, so (dP/P)/(dx/x) = P.d / P.v
// exactly, without finite differences.
#pragma once

#include <cmath>

namespace velmora {

struct Dual {
    long double v = 0; // value
    long double d = 0; // derivative

    constexpr Dual() = default;
    constexpr Dual(long double value, long double derivative = 0) : v(value), d(derivative) {} // NOLINT

    friend constexpr Dual operator+(Dual a, Dual b) { return {a.v + b.v, a.d + b.d}; }
    friend constexpr Dual operator-(Dual a, Dual b) { return {a.v - b.v, a.d - b.d}; }
    friend constexpr Dual operator-(Dual a) { return {-a.v, -a.d}; }
    friend constexpr Dual operator*(Dual a, Dual b) { return {a.v * b.v, a.d * b.v + a.v * b.d}; }
    friend constexpr Dual operator/(Dual a, Dual b) { return {a.v / b.v, (a.d * b.v - a.v * b.d) / (b.v * b.v)}; }
    Dual& operator+=(Dual b) { return *this = *this + b; }
    Dual& operator-=(Dual b) { return *this = *this - b; }
    Dual& operator*=(Dual b) { return *this = *this * b; }
    Dual& operator/=(Dual b) { return *this = *this / b; }
    friend constexpr bool operator<(Dual a, Dual b) { return a.v < b.v; }
    friend constexpr bool operator>(Dual a, Dual b) { return a.v > b.v; }
    friend constexpr bool operator<=(Dual a, Dual b) { return a.v <= b.v; }
    friend constexpr bool operator>=(Dual a, Dual b) { return a.v >= b.v; }
};

inline Dual sqrt(Dual a) {
    const long double r = std::sqrt(a.v);
    return {r, r > 0 ? a.d / (2 * r) : 0};
}
inline Dual abs(Dual a) { return a.v < 0 ? -a : a; }

inline long double valueOf(long double x) { return x; }
inline long double valueOf(Dual x) { return x.v; }

} // namespace velmora
