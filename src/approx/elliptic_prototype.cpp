// Elliptic (Cauer) lowpass prototype, equiripple in both bands, normalised so that the
// passband edge sqrt(k) and the stopband edge 1/sqrt(k) have the geometric mean 1 rad/s.
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "approx/elliptic.h"
#include "approx/order_estimation.h"
#include "approx/prototypes.h"

namespace velmora {

namespace {
constexpr long double pi = std::numbers::pi_v<long double>;
constexpr long double kSeriesTolerance = 1e-6L;
constexpr int kMaxSeriesTerms = 200; // q < 1 makes q^(m^2) vanish long before this

// q^exponent through the logarithm; exp(-inf) = 0 covers q = 0.
long double NomePower(long double q, long double exponent) {
    return std::exp(std::log(q) * exponent);
}

// sum over m >= first of (-1)^m q^(power(m)) f(m), stopped after the first term whose
// magnitude is no longer above the tolerance. A term whose factor f vanishes (sin of a
// multiple of pi, cos of an odd multiple of pi/2, zero only to rounding in floating
// point) says nothing about convergence and never stops the series: stopping there
// drops the next q^(m^2) term, which moves a zero by up to 0.003 dB worth at a
// transition ratio of 1.2.
template <typename Power, typename Factor>
long double AlternatingSeries(long double q, int first, Power power, Factor f) {
    constexpr long double kVanishing = 1e-15L;
    long double sum = 0.0L;
    for (int m = first; m < first + kMaxSeriesTerms; ++m) {
        const long double sign = (m % 2 == 0) ? 1.0L : -1.0L;
        const long double factor = f(m);
        const long double term = sign * NomePower(q, power(m)) * factor;
        sum += term;
        if (std::fabs(factor) > kVanishing && std::fabs(term) <= kSeriesTolerance) break;
    }
    return sum;
}

// Real-axis parameter sigma0: the real pole of an odd-order prototype, and the
// quantity every pair's position depends on.
long double RealAxisParameter(long double q, long double apbDb, int N) {
    const long double g = std::pow(10.0L, 0.05L * apbDb);
    const long double lambda = std::log((g + 1.0L) / (g - 1.0L)) / (2.0L * N);
    return ThetaQuotient(q, lambda, true);
}
} // namespace

EllipticNome NomeOf(long double normPassEdge, long double s) {
    EllipticNome n;
    n.k = Real48(normPassEdge / s);
    n.kPrime = std::sqrt(1.0L - n.k * n.k);
    const long double rootKPrime = std::sqrt(n.kPrime);
    n.q0 = (1.0L - rootKPrime) / (2.0L * (1.0L + rootKPrime));
    const long double x = std::exp(4.0L * std::log(n.q0)); // q0^4
    n.q = n.q0 * (1.0L + x * (2.0L + x * (15.0L + 150.0L * x)));
    return n;
}

long double ThetaQuotient(long double q, long double u, bool hyperbolic) {
    const auto f = [&](long double v) { return hyperbolic ? std::sinh(v) : std::sin(v); };
    const auto g = [&](long double v) { return hyperbolic ? std::cosh(v) : std::cos(v); };
    const long double numerator = AlternatingSeries(
        q, 0, [](int m) { return static_cast<long double>(m) * (m + 1); },
        [&](int m) { return f((2 * m + 1) * u); });
    const long double denominator = AlternatingSeries(
        q, 1, [](int m) { return static_cast<long double>(m) * m; }, [&](int m) { return g(2 * m * u); });
    return 2.0L * NomePower(q, 0.25L) * numerator / (1.0L + 2.0L * denominator);
}

namespace {
void ComputeEllipticOfOrder(Approximation& a, const Specification& spec, const EllipticNome& nome, int N);
} // namespace

void ComputeElliptic(Approximation& a, const Specification& spec) {
    ApproxResult& r = a.Result;
    const EllipticNome nome = NomeOf(spec.NormPassEdge, spec.Selectivity);
    const OrderChoice order = ChooseOrder(spec, [&] {
        const long double D = Real48(StopbandExcess(spec.Asb) / PassbandExcess(spec.Apb));
        return EllipticOrderEstimate(D, nome.q);
    });
    if (!RecordOrder(r, spec, order.N, true)) return;
    ComputeEllipticOfOrder(a, spec, nome, r.Order);
    // The series above are truncated and the real-axis parameter is the limit of a large
    // discrimination, so the computed function is not exactly the elliptic one the degree
    // equation assumes: near an integer degree it can fall short of the stopband
    // attenuation. An estimated order whose function misses the stopband is raised until
    // it meets it (a forced order stays as the user chose it).
    if (order.forced) return;
    while (EllipticStopbandMinimumDb(a, nome.k) < spec.Asb) {
        // The next order starts from a clear record, as a first estimate above the limit
        // would: nothing of the order that missed is left in it.
        const long double next = r.Order + 1.0L;
        const uint8_t allPole = a.AllPole;
        ClearApproxResult(a);
        a.AllPole = allPole;
        if (!RecordOrder(r, spec, next, true)) return;
        ComputeEllipticOfOrder(a, spec, nome, r.Order);
    }
}

long double EllipticAttenuationDb(const Approximation& a, long double x) {
    const ApproxResult& r = a.Result;
    std::complex<long double> h = static_cast<long double>(r.GainConstantNorm);
    const std::complex<long double> s(0.0L, x);
    for (int i = 1; i <= r.PolePairs && i <= kTableEntries; ++i) {
        const PoleTableEntry& e = a.PoleTable[i];
        h *= (a.ZeroTable[i].Wz2Norm.value() - x * x) / (s * s + e.BNorm.value() * s + e.CNorm.value());
    }
    if (r.HasRealPole) h /= s + r.RealPoleNorm.value();
    const long double m = std::abs(h);
    return m > 0.0L ? -20.0L * std::log10(m) : std::numeric_limits<long double>::infinity();
}

long double EllipticStopbandMinimumDb(const Approximation& a, long double k) {
    // The stopband x >= 1/sqrt(k) is scanned in u = 1/x over (0, sqrt(k)]: the zeros and
    // the ripple of the stopband spread there as evenly as the passband's do in x. Every
    // local minimum of the grid is refined by golden-section search; the edge (u =
    // sqrt(k)) and the far end (u -> 0, the constant level of an even order) are always
    // candidates.
    constexpr int M = 400;
    const long double uEdge = std::sqrt(k);
    const auto A = [&](long double u) { return EllipticAttenuationDb(a, 1.0L / u); };
    constexpr long double kFarEnd = 1e-9L; // u of the far end, x = 1e9 / sqrt(k)
    std::array<long double, M + 1> v{};
    v[0] = A(uEdge * kFarEnd);
    for (int i = 1; i <= M; ++i)
        v[i] = A(uEdge * i / M);
    long double least = std::fmin(v[M], v[0]);
    for (int i = 1; i < M; ++i) {
        if (!(v[i] <= v[i - 1] && v[i] <= v[i + 1])) continue;
        long double lo = uEdge * (i - 1) / M, hi = uEdge * (i + 1) / M;
        if (lo <= 0.0L) lo = uEdge * kFarEnd;
        constexpr long double g = 0.6180339887498948482L;
        long double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
        long double f1 = A(x1), f2 = A(x2);
        for (int it = 0; it < 60; ++it) {
            if (f1 < f2) {
                hi = x2;
                x2 = x1;
                f2 = f1;
                x1 = hi - g * (hi - lo);
                f1 = A(x1);
            } else {
                lo = x1;
                x1 = x2;
                f1 = f2;
                x2 = lo + g * (hi - lo);
                f2 = A(x2);
            }
        }
        least = std::fmin(least, std::fmin(v[i], std::fmin(f1, f2)));
    }
    return least;
}

namespace {
void ComputeEllipticOfOrder(Approximation& a, const Specification& spec, const EllipticNome& nome, int N) {
    ApproxResult& r = a.Result;
    const long double k = nome.k;
    const long double q = nome.q;

    const long double sigma0 = std::fabs(RealAxisParameter(q, spec.Apb, N));
    r.RealPoleNorm = sigma0;
    long double K = (N % 2 == 1) ? sigma0 : std::pow(10.0L, -0.05L * spec.Apb);
    const long double W = (1.0L + k * sigma0 * sigma0) * (1.0L + sigma0 * sigma0 / k);

    for (int i = 1; i <= N / 2; ++i) {
        const long double mu = (N % 2 == 1) ? i : i - 0.5L;
        const long double Omega = ThetaQuotient(q, pi * mu / N, false); // 1 / zero frequency
        const long double V = (1.0L - k * Omega * Omega) * (1.0L - Omega * Omega / k);
        const long double denom = 1.0L + sigma0 * sigma0 * Omega * Omega;
        // V > 0 because every zero frequency 1/Omega lies beyond the stopband edge 1/sqrt(k);
        // the clamp only keeps rounding from producing a NaN at k -> 1.
        const long double B = 2.0L * sigma0 * std::sqrt(std::fmax(V, 0.0L)) / denom;
        const long double C = (sigma0 * sigma0 * V + Omega * Omega * W) / (denom * denom);

        PoleTableEntry& e = a.PoleTable[i];
        e.BNorm = B;
        e.CNorm = C;
        e.Wp = std::sqrt(e.CNorm.value());
        e.Qp = e.Wp / e.BNorm;
        a.ZeroTable[i].Wz2Norm = 1.0L / (Omega * Omega);
        K *= e.CNorm / a.ZeroTable[i].Wz2Norm;

        const long double re = e.Wp / (2.0L * e.Qp);
        a.PoleList[i].ReNorm = re;
        a.PoleList[i].ImNorm = std::sqrt(std::fmax(e.Wp * e.Wp - re * re, 0.0L));
        a.ZeroList[i].WzNorm = std::sqrt(a.ZeroTable[i].Wz2Norm.value());
    }
    r.GainConstantNorm = K;
}
} // namespace

} // namespace velmora
