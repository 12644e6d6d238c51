#include "analysis/time_response.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr long double kCutOff = 50.0L; // e^-50 ~ 2e-22: a term below that is dropped
constexpr long double kSeparation = 1.0e-6L;

// Brings T > 0 into (1, 10] by powers of ten and picks the axis 2, 5 or 10 above it.
TimeAxis AxisFor(long double t) {
    TimeAxis axis;
    if (!(t > 0) || !std::isfinite(t)) return axis;
    int e = 0;
    while (t <= 1.0L) {
        t *= 10.0L;
        --e;
    }
    while (t > 10.0L) {
        t /= 10.0L;
        ++e;
    }
    axis.Exp = static_cast<int16_t>(e);
    if (t <= 2.0L) {
        axis.FullScale = 2;
        axis.Tick = 0.2L;
    } else if (t <= 5.0L) {
        axis.FullScale = 5;
        axis.Tick = 0.5L;
    } else {
        axis.FullScale = 10;
        axis.Tick = 1;
    }
    return axis;
}

} // namespace

TimeAxis DefaultTimeAxis(const TDesign& d) {
    long double largest = 0;
    for (int i : ResponseApproximations(d)) {
        const Approximation& a = d.Approx[i];
        const int p = std::min<int>(a.Result.PolePairs, kTableEntries);
        long double t = 0;
        if (p > 0) {
            const long double sigma = a.PoleList[p].Re;
            if (sigma > 0) t = (199.0L - 19.0L * p) / ((p < 3 ? 12.0L : 18.0L) * sigma);
        } else if (a.Result.RealPole > 0) {
            t = 40.0L / a.Result.RealPole;
        }
        if (t > largest) largest = t;
    }
    return AxisFor(largest / 3.0L);
}

long double AxisTime(const TimeAxis& axis, int i, int n) {
    const long double units = axis.Start + (axis.FullScale - axis.Start) * i / static_cast<long double>(n);
    return units * std::pow(10.0L, static_cast<long double>(axis.Exp));
}

namespace {

struct TermPole {
    Complex p;
    bool pair;
};

bool Coincides(const Complex& a, const Complex& b) {
    return std::abs(a - b) <= kSeparation * 0.5L * std::max(std::abs(a), std::abs(b));
}

// The poles that get a term, made distinct: a pair whose two members coincide (Q of
// exactly 0.5) is opened up to -sigma +/- j 1e-6 sigma, and a pole that coincides with
// an earlier one is moved outwards by a relative 1e-6 (repeatedly if need be).
std::vector<TermPole> DistinctTermPoles(const IdealFilter& f) {
    std::vector<TermPole> terms;
    for (const auto& s : f.Sections) {
        if (s.RealPoles) {
            terms.push_back({Complex(-s.Sigma1, 0), false});
            terms.push_back({Complex(-s.Sigma2, 0), false});
        } else {
            const long double omega = std::max(s.Omega, kSeparation * s.Sigma);
            terms.push_back({Complex(-s.Sigma, omega), true});
        }
    }
    for (const auto& r : f.RealPoles)
        terms.push_back({Complex(-r.Sigma, 0), false});

    for (size_t k = 1; k < terms.size(); ++k) {
        for (int guard = 0; guard < 64; ++guard) {
            bool clash = false;
            for (size_t i = 0; i < k && !clash; ++i) {
                clash = Coincides(terms[k].p, terms[i].p) ||
                        (terms[i].pair && Coincides(terms[k].p, std::conj(terms[i].p)));
            }
            if (!clash) break;
            terms[k].p *= 1.0L + 2.0L * kSeparation;
        }
    }
    return terms;
}

} // namespace

ResidueSet Residues(const IdealFilter& f) {
    ResidueSet set;
    const std::vector<TermPole> terms = DistinctTermPoles(f);
    std::vector<Complex> poles;
    for (const auto& t : terms) {
        poles.push_back(t.p);
        if (t.pair) poles.push_back(std::conj(t.p));
    }
    for (const auto& p : poles)
        if (p == Complex(0, 0)) return set;
    const PoleZeroSet pz = PolesAndZeros(f);
    const long double K = pz.K;

    // r_0 = H(0) = K prod(-z) / prod(-p).
    Complex r0(K, 0);
    for (const auto& z : pz.Zeros)
        r0 *= -z;
    for (const auto& p : poles)
        r0 /= -p;
    set.Magnitude0 = std::abs(r0);
    set.Angle0 = set.Magnitude0 > 0 ? std::arg(r0) : 0.0L;

    size_t index = 0;
    for (const auto& t : terms) {
        Complex r = Complex(K, 0) / t.p;
        for (const auto& z : pz.Zeros)
            r *= t.p - z;
        for (size_t i = 0; i < poles.size(); ++i)
            if (i != index) r /= t.p - poles[i];
        index += t.pair ? 2 : 1;
        PoleResidue term;
        term.Sigma = -t.p.real();
        term.Omega = t.p.imag();
        term.Pair = t.pair;
        term.Magnitude = std::abs(r);
        term.Angle = term.Magnitude > 0 ? std::arg(r) : 0.0L;
        set.Terms.push_back(term);
    }
    for (const auto& t : set.Terms)
        if (!std::isfinite(t.Magnitude) || !std::isfinite(t.Angle)) return ResidueSet{};
    set.Valid = std::isfinite(set.Magnitude0);
    return set;
}

long double StepValue(const ResidueSet& r, long double G, long double t) {
    if (!r.Valid) return 0;
    long double y = r.Magnitude0 * std::cos(r.Angle0);
    for (const auto& k : r.Terms) {
        if (k.Sigma * t >= kCutOff) continue;
        const long double decay = k.Magnitude * std::exp(-k.Sigma * t);
        y += k.Pair ? 2.0L * decay * std::cos(k.Omega * t + k.Angle) : decay * std::cos(k.Angle);
    }
    return G * y;
}

// Each term's residue multiplied by its pole: magnitude |r| |p|, angle theta + arg p.
long double ImpulseValue(const ResidueSet& r, long double G, long double t) {
    if (!r.Valid) return 0;
    long double h = 0;
    for (const auto& k : r.Terms) {
        if (k.Sigma * t >= kCutOff) continue;
        const long double pMag = std::hypot(k.Sigma, k.Omega);
        const long double pArg = std::atan2(k.Omega, -k.Sigma);
        const long double decay = k.Magnitude * pMag * std::exp(-k.Sigma * t);
        h +=
            k.Pair ? 2.0L * decay * std::cos(k.Omega * t + k.Angle + pArg) : decay * std::cos(k.Angle + pArg);
    }
    return G * h;
}

void StepResponse(TDesign& d, int approx, const TimeAxis& axis, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    const ResidueSet r = Residues(IdealFilterOf(d, approx));
    const long double G = d.Spec.OverallGain;
    for (int i = std::max(first, 0); i <= std::min(last, kResponseIntervals); ++i)
        d.Approx[approx].Ideal[i].Step = StepValue(r, G, AxisTime(axis, i));
}

void ImpulseResponse(TDesign& d, int approx, const TimeAxis& axis, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    const ResidueSet r = Residues(IdealFilterOf(d, approx));
    const long double G = d.Spec.OverallGain;
    for (int i = std::max(first, 0); i <= std::min(last, kResponseIntervals); ++i)
        d.Approx[approx].Ideal[i].Impulse = ImpulseValue(r, G, AxisTime(axis, i));
}

} // namespace velmora
