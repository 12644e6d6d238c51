// Bessel (Thompson) prototype: maximally flat group delay. There is no closed-form
// order formula in the attenuations, so the order is searched: each candidate's stored
// poles are rescaled to put the attenuation Apb at 1 rad/s (the Butterworth
// normalisation), and the first order whose attenuation at the selectivity reaches
// Asb is taken.
#include <cmath>

#include "approx/order_estimation.h"
#include "approx/prototypes.h"

namespace velmora {

namespace {
constexpr long double kEdgeToleranceDb = 0.0001L;
constexpr int kMaxBracketSteps = 200; // doubling the bracket this often exceeds any root scale
constexpr int kMaxBisectionSteps = 200;

// F(w) = 20 log10|H(jw)| + Apb: positive while the attenuation is below Apb.
long double EdgeFunction(const BesselRootTable& roots, int n, long double apbDb, long double w) {
    return apbDb - BesselAttenuationDb(roots, n, 1.0L, w);
}
} // namespace

long double BesselAttenuationDb(const BesselRootTable& roots, int n, long double wA, long double w) {
    // |H(jw)| with unit gain at w = 0: a real pole sigma contributes sigma/|jw + sigma|,
    // a pair -re +- j im contributes (re^2 + im^2)/(|jw - p| |jw - p*|).
    long double magnitude = 1.0L;
    int slot = 1;
    if (n % 2 == 1) {
        const long double sigma = roots[n][slot++].re / wA;
        magnitude *= sigma / std::sqrt(w * w + sigma * sigma);
    }
    for (int i = 1; i <= n / 2; ++i, ++slot) {
        const long double re = roots[n][slot].re / wA;
        const long double im = roots[n][slot].im / wA;
        magnitude *= (re * re + im * im) /
                     (std::sqrt((w - im) * (w - im) + re * re) * std::sqrt((w + im) * (w + im) + re * re));
    }
    return -20.0L * std::log10(magnitude);
}

long double BesselEdgeScale(const BesselRootTable& roots, int n, long double apbDb) {
    auto F = [&](long double w) { return EdgeFunction(roots, n, apbDb, w); };
    long double lo = 0.0L, hi = 1.0L;
    if (F(hi) == 0.0L) return hi;
    for (int i = 0; i < kMaxBracketSteps && F(hi) > 0.0L; ++i) {
        lo = hi;
        hi *= 2.0L;
    }
    if (F(hi) == 0.0L) return hi;
    // The search stops only on the passband's side of the edge (attenuation at most Apb,
    // by less than the tolerance), so that the passband never exceeds Apb.
    long double mid = lo;
    for (int i = 0; i < kMaxBisectionSteps; ++i) {
        mid = lo + (hi - lo) * 0.5L;
        const long double f = F(mid);
        if (f >= 0.0L && f <= kEdgeToleranceDb) return mid;
        if (f > 0.0L) lo = mid;
        if (f < 0.0L) hi = mid;
    }
    return lo;
}

void ComputeBessel(Approximation& a, const Specification& spec, const BesselRootTable& roots) {
    ApproxResult& r = a.Result;
    long double N = 0.0L;
    long double wA = 1.0L;
    if (spec.ForceOrder) {
        N = ForcedPrototypeOrder(spec).N;
        if (N >= 1.0L && N <= kBesselMaxOrder) wA = BesselEdgeScale(roots, static_cast<int>(N), spec.Apb);
    } else {
        N = kBesselMaxOrder + 1; // no order up to 20 reaches Asb
        for (int n = 1; n <= kBesselMaxOrder; ++n) {
            const long double scale = BesselEdgeScale(roots, n, spec.Apb);
            if (BesselAttenuationDb(roots, n, scale, spec.Selectivity) >= spec.Asb) {
                N = n;
                wA = scale;
                break;
            }
        }
    }
    if (!RecordOrder(r, spec, N, false)) return;
    const int n = r.Order;

    long double K = 1.0L;
    for (int i = 1; i <= n / 2; ++i) {
        const BesselRoot& root = roots[n][n % 2 == 1 ? i + 1 : i];
        a.PoleList[i].ReNorm = root.re / wA;
        a.PoleList[i].ImNorm = root.im / wA;
        const long double re = a.PoleList[i].ReNorm;
        const long double im = a.PoleList[i].ImNorm;
        PoleTableEntry& e = a.PoleTable[i];
        e.CNorm = re * re + im * im;
        e.BNorm = 2.0L * re;
        e.Wp = std::sqrt(e.CNorm.value());
        e.Qp = e.Wp / e.BNorm;
        K *= e.CNorm;
    }
    if (n % 2 == 1) {
        r.RealPoleNorm = roots[n][1].re / wA;
        K *= r.RealPoleNorm;
    }
    r.GainConstantNorm = K;
}

} // namespace velmora
