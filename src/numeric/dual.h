// Dual numbers for exact first derivatives.
//
// Dual carries a value and its derivative with respect to one chosen input. Evaluating a
// circuit's realised coefficients with one component seeded as Dual(x, x) gives x * d/dx
// of every result, so (dP/P)/(dx/x) = P.d / P.v exactly, without finite differences.
//
// GradientDual<N> carries a value and N such derivatives at once, one lane per seeded
// component, so a single evaluation gives the sensitivities to every component. Each lane
// goes through exactly the expressions a Dual's derivative goes through (the same
// products, quotients and square-root rule, in the same order, with the value-only parts
// such as b.v * b.v formed once and used unchanged), and a constant carries zero in every
// lane just as a constant Dual carries a zero derivative. Lane k of every result is
// therefore bit for bit the derivative a Dual evaluation seeded on component k gives.
#pragma once

#include <array>
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
    friend constexpr Dual operator/(Dual a, Dual b) {
        return {a.v / b.v, (a.d * b.v - a.v * b.d) / (b.v * b.v)};
    }
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
inline Dual abs(Dual a) {
    return a.v < 0 ? -a : a;
}

// A value with N derivative lanes. Arguments are taken by reference (the type is large),
// and a result never aliases an argument while it is formed, so `x = x * y` is safe.
template <int N> struct GradientDual {
    static constexpr int kLanes = N;
    long double v;                // value
    std::array<long double, N> d; // d[k]: derivative with respect to the k-th seed

    constexpr GradientDual() : v(0), d{} {}
    constexpr GradientDual(long double value) : v(value), d{} {} // NOLINT: constants mix in as Dual's do

  private:
    // The result of an operation: every lane is written by the operation itself, so the
    // lanes are not cleared first.
    struct Formed {};
    explicit GradientDual(long double value, Formed)
        : v(value) {} // NOLINT(cppcoreguidelines-pro-type-member-init)

  public:
    friend GradientDual operator+(const GradientDual& a, const GradientDual& b) {
        GradientDual r(a.v + b.v, Formed{});
        for (int k = 0; k < N; ++k)
            r.d[k] = a.d[k] + b.d[k];
        return r;
    }
    friend GradientDual operator-(const GradientDual& a, const GradientDual& b) {
        GradientDual r(a.v - b.v, Formed{});
        for (int k = 0; k < N; ++k)
            r.d[k] = a.d[k] - b.d[k];
        return r;
    }
    friend GradientDual operator-(const GradientDual& a) {
        GradientDual r(-a.v, Formed{});
        for (int k = 0; k < N; ++k)
            r.d[k] = -a.d[k];
        return r;
    }
    friend GradientDual operator*(const GradientDual& a, const GradientDual& b) {
        GradientDual r(a.v * b.v, Formed{});
        for (int k = 0; k < N; ++k)
            r.d[k] = a.d[k] * b.v + a.v * b.d[k];
        return r;
    }
    friend GradientDual operator/(const GradientDual& a, const GradientDual& b) {
        GradientDual r(a.v / b.v, Formed{});
        const long double b2 = b.v * b.v;
        for (int k = 0; k < N; ++k)
            r.d[k] = (a.d[k] * b.v - a.v * b.d[k]) / b2;
        return r;
    }
    GradientDual& operator+=(const GradientDual& b) { return *this = *this + b; }
    GradientDual& operator-=(const GradientDual& b) { return *this = *this - b; }
    GradientDual& operator*=(const GradientDual& b) { return *this = *this * b; }
    GradientDual& operator/=(const GradientDual& b) { return *this = *this / b; }
    friend bool operator<(const GradientDual& a, const GradientDual& b) { return a.v < b.v; }
    friend bool operator>(const GradientDual& a, const GradientDual& b) { return a.v > b.v; }
    friend bool operator<=(const GradientDual& a, const GradientDual& b) { return a.v <= b.v; }
    friend bool operator>=(const GradientDual& a, const GradientDual& b) { return a.v >= b.v; }

    // Dual's square-root rule, lane by lane.
    friend GradientDual sqrt(const GradientDual& a) {
        const long double r = std::sqrt(a.v);
        GradientDual out(r, Formed{});
        const long double twice = 2 * r;
        for (int k = 0; k < N; ++k)
            out.d[k] = r > 0 ? a.d[k] / twice : 0;
        return out;
    }
    friend GradientDual abs(const GradientDual& a) { return a.v < 0 ? -a : a; }
};

// The lane widths the sensitivity evaluations come in: the narrowest that holds every
// component of a circuit is used, so that a circuit does not carry many unused lanes
// (each lane costs as much as the derivative of a Dual). The widest holds every
// component slot (R1..R10, C1..C4).
inline constexpr std::array<int, 5> kGradientWidths = {4, 6, 8, 10, 14};
inline constexpr int kWidestGradient = kGradientWidths.back();

inline long double valueOf(long double x) {
    return x;
}
inline long double valueOf(Dual x) {
    return x.v;
}
template <int N> long double valueOf(const GradientDual<N>& x) {
    return x.v;
}

} // namespace velmora
