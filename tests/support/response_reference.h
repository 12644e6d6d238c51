// Reference frequency responses computed directly from a transfer function H(s) given
// as a callable: gain from |H(jw)|, phase from arg H(jw), and group delay by numeric
// differentiation of the phase. Nothing here shares code with the program.
#pragma once

#include <cmath>
#include <complex>
#include <functional>

namespace velmora::test {

using TransferFunction = std::function<std::complex<long double>(std::complex<long double>)>;

inline constexpr long double kDegrees = 57.2957795130823208767981548141051703L;

inline long double ReferenceGainDb(const TransferFunction& H, long double w) {
    return 20 * std::log10(std::abs(H({0, w})));
}

inline long double ReferencePhaseDeg(const TransferFunction& H, long double w) {
    return std::arg(H({0, w})) * kDegrees;
}

// -d arg H(jw) / dw by the fourth-order central difference; each phase difference is
// taken as the argument of a quotient of two values of H, which needs no unwrapping as
// long as the phase moves by less than pi over 2h.
inline long double ReferenceDelay(const TransferFunction& H, long double w, long double h) {
    auto dphi = [&](long double a, long double b) { return std::arg(H({0, a}) / H({0, b})); };
    return -(8 * dphi(w + h, w - h) - dphi(w + 2 * h, w - 2 * h)) / (12 * h);
}

// Difference of two angles in degrees, brought into (-180, 180].
inline long double AngleDifference(long double a, long double b) {
    long double d = std::fmod(a - b, 360.0L);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

} // namespace velmora::test
