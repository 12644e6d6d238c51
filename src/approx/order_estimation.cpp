#include "approx/order_estimation.h"

#include <cmath>
#include <limits>

namespace velmora {

long double PassbandExcess(long double apbDb) {
    return std::pow(10.0L, 0.1L * apbDb) - 1.0L;
}
long double StopbandExcess(long double asbDb) {
    return std::pow(10.0L, 0.1L * asbDb) - 1.0L;
}

// |H|^2 = 1 / (1 + eps^2 w^(2N)): the passband edge fixes eps^2 = a at w = 1, and the
// stopband edge needs a s^(2N) >= b.
long double ButterworthOrderEstimate(long double a, long double b, long double s) {
    return std::log(b / a) / (2.0L * std::log(s));
}

// |H|^2 = 1 / (1 + eps^2 T_N(w)^2) with T_N(s) = cosh(N arccosh s) beyond the
// passband; the same ratio holds for the inverse form mirrored at the stopband edge.
long double ChebyshevOrderEstimate(long double a, long double b, long double s) {
    return std::acosh(std::sqrt(b / a)) / std::acosh(s);
}

// The elliptic degree equation in its nome form: 16 D = q^-N to within q^4 terms.
long double EllipticOrderEstimate(long double D, long double q) {
    return std::log10(16.0L * D) / std::log10(1.0L / q);
}

bool IsBandFilter(const Specification& spec) {
    return spec.FilterType == Bandpass || spec.FilterType == Bandstop;
}

OrderChoice ForcedPrototypeOrder(const Specification& spec) {
    int n = spec.ForcedOrder;
    if (IsBandFilter(spec)) n /= 2;
    return {static_cast<long double>(n), true, false};
}

OrderChoice RoundOrderUp(long double x) {
    if (!std::isfinite(x)) return {std::numeric_limits<int16_t>::max(), false, true};
    const long double stored = Real48(x);
    long double n = std::trunc(stored);
    const bool fractional = stored - n > 0.0L;
    if (fractional) n += 1.0L;
    return {n, false, fractional};
}

bool RecordOrder(ApproxResult& r, const Specification& spec, long double N, bool finiteZeros) {
    const long double limit = IsBandFilter(spec) ? kMaxOrder / 2 : kMaxOrder;
    // An order below 1 only arises from a specification the form rejects; a first-order
    // filter is the least that can be built.
    if (N < 1.0L) N = 1.0L;
    if (N > limit) {
        r.Order =
            static_cast<int16_t>(std::fmin(N, static_cast<long double>(std::numeric_limits<int16_t>::max())));
        r.OrderTooHigh = 1;
        return false;
    }
    const int n = static_cast<int>(N);
    r.Order = static_cast<int16_t>(n);
    r.PolePairs = static_cast<int16_t>(n / 2);
    r.HasRealPole = n % 2;
    if (finiteZeros) r.ProtoZeroPairs = static_cast<int16_t>(n / 2);
    return true;
}

} // namespace velmora
