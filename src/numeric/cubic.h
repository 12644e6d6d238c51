// The real roots of the cubic polynomials of third-order (twin-T) stages.
#pragma once

#include <array>
#include <vector>

namespace velmora {

// A cubic a[3] s^3 + a[2] s^2 + a[1] s + a[0] (a[3] != 0) split into one real root and the
// quadratic q2 s^2 + q1 s + q0 left when s - root is divided out. The root is found by
// bisection over a bracket that holds every root (Cauchy's bound), down to adjacent
// values of the extended format.
struct CubicSplit {
    long double root = 0, q2 = 0, q1 = 0, q0 = 0;
};
CubicSplit SplitCubic(const std::array<long double, 4>& a);

// Every real root of the cubic: the bisected one, then those of the quadratic left, if
// it has real roots.
std::vector<long double> CubicRealRoots(const std::array<long double, 4>& a);

} // namespace velmora
