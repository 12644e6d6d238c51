#include "analysis/time_response.h"

#include <algorithm>
#include <array>
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

// |a - b| <= (kSeparation / 2) max(|a|, |b|), compared in squares (the poles' magnitudes
// are far from the ends of the extended range, and a pair of poles exactly at the limit
// is as well left apart as opened up).
bool Coincides(const Complex& a, const Complex& b) {
    const auto squared = [](const Complex& z) { return z.real() * z.real() + z.imag() * z.imag(); };
    const long double limit = kSeparation * 0.5L;
    return squared(a - b) <= limit * limit * std::max(squared(a), squared(b));
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

    // r_0 = H(0) = K prod(-z) / prod(-p). The numerator and the denominator are each
    // multiplied out first and divided once: a complex division costs several
    // multiplications (it scales against overflow), and the products of twenty factors
    // of the size of the pole frequencies stay far inside the extended range.
    Complex num0(K, 0), den0(1, 0);
    for (const auto& z : pz.Zeros)
        num0 *= -z;
    for (const auto& p : poles)
        den0 *= -p;
    const Complex r0 = num0 / den0;
    set.Magnitude0 = std::abs(r0);
    set.Angle0 = set.Magnitude0 > 0 ? std::arg(r0) : 0.0L;

    size_t index = 0;
    for (const auto& t : terms) {
        Complex num(K, 0), den = t.p;
        for (const auto& z : pz.Zeros)
            num *= t.p - z;
        for (size_t i = 0; i < poles.size(); ++i)
            if (i != index) den *= t.p - poles[i];
        const Complex r = num / den;
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

namespace {

// sin x and cos x for the angles of the time columns, omega t + theta, which reach
// hundreds or thousands of radians. The library reduces such an angle to the first
// octant with its exact method for any size of argument, which costs several times the
// sine itself; here the angle is reduced by the nearest multiple k of pi/2 with pi/2
// split into three parts (33, 33 and 64 bits), so that k p1 and k p2 are exact for
// |k| < 2^30, x - k p1 is exact (the two are within a factor 2), and the reduced angle
// is off by a unit or two of its last place, as the library's own result is. The sine
// and cosine of the reduced angle are then the library's (its short-argument path).
// Angles of 2^30 quarter turns and beyond take the library's reduction.
void SinCos(long double x, long double& sine, long double& cosine) {
    constexpr long double kTwoOverPi = 0xa2f9836e4e441529p-64L;
    constexpr long double kP1 = 0x1921fb544p-32L;
    constexpr long double kP2 = 0x10b4611a6p-66L;
    constexpr long double kP3 = 0x98cc51701b839a25p-132L;
    constexpr long double kQuarterPi = 0.785398163397448309615660845819875721L;
    if (!(std::fabs(x) > kQuarterPi)) {
        sine = std::sin(x);
        cosine = std::cos(x);
        return;
    }
    const long double quarterTurns = x * kTwoOverPi;
    if (!(std::fabs(quarterTurns) < 0x1p30L)) {
        sine = std::sin(x);
        cosine = std::cos(x);
        return;
    }
    // The nearest whole number (ties either way: the reduced angle stays within pi/4
    // plus rounding, where the short-argument path is exact).
    const long long turns = std::llrint(quarterTurns);
    const long double k = static_cast<long double>(turns);
    const long double r = ((x - k * kP1) - k * kP2) - k * kP3;
    const long double s = std::sin(r), c = std::cos(r);
    switch (turns & 3) {
    case 0:
        sine = s;
        cosine = c;
        break;
    case 1:
        sine = c;
        cosine = -s;
        break;
    case 2:
        sine = -s;
        cosine = -c;
        break;
    default:
        sine = -c;
        cosine = s;
        break;
    }
}

// A direct evaluation of every term at every point costs an exponential and a cosine
// per term and point. Over the evenly spaced points of the axis the term
// c(t) = r e^(p t) advances by the constant factor e^(p dt) from one point to the next,
// so it is carried by one complex multiplication instead, and evaluated directly again
// every kReseedInterval points, so the rounding of the products never accumulates over
// more than that many steps: each step adds at most about 3 units in the last place of
// the extended format, so a carried term is within about 1e-17 of itself, and a column
// value within 1e-17 of the largest term, far below the 6-byte precision of the stored
// column even where the terms of a 20th-order filter cancel by three orders of
// magnitude. The direct evaluation (an exponential, a sine and a cosine of a large
// angle) costs as much as some tens of steps.
constexpr int kReseedInterval = 32;

struct TimeColumns {
    std::array<long double, kResponseCapacity> Step{}, Impulse{};
};

// One term over points first..last, checking the cut-off at every point and seeding
// again after a point left out: for axes whose times do not increase and for poles in
// the right half-plane, whose terms grow.
void FillTermPointByPoint(const PoleResidue& k, const std::array<long double, kResponseCapacity>& times,
                          long double ar, long double ai, long double terms, int first, int last,
                          TimeColumns& out) {
    long double cr = 0, ci = 0;      // c(t)
    int sinceSeed = kReseedInterval; // no value carried yet
    for (int i = first; i <= last; ++i) {
        const long double t = times[i];
        if (k.Sigma * t >= kCutOff) {
            sinceSeed = kReseedInterval;
            continue;
        }
        if (sinceSeed >= kReseedInterval) {
            const long double decay = k.Magnitude * std::exp(-k.Sigma * t);
            long double sine = 0, cosine = 0;
            SinCos(k.Omega * t + k.Angle, sine, cosine);
            cr = decay * cosine;
            ci = decay * sine;
            sinceSeed = 0;
        } else {
            const long double nr = cr * ar - ci * ai;
            ci = cr * ai + ci * ar;
            cr = nr;
        }
        ++sinceSeed;
        out.Step[i] += terms * cr;
        out.Impulse[i] += terms * (-k.Sigma * cr - k.Omega * ci);
    }
}

// Step and impulse responses at points first..last of the axis (both clamped), without
// the overall gain: y = r_0 + sum Re(c_k) and h = sum Re(p_k c_k), twice for a pair.
void FillTimeColumns(const ResidueSet& r, const TimeAxis& axis, int first, int last, TimeColumns& out) {
    if (!r.Valid) return;
    const long double y0 = r.Magnitude0 * std::cos(r.Angle0);
    // The times of AxisTime, with its power of ten taken once.
    const long double scale = std::pow(10.0L, static_cast<long double>(axis.Exp));
    std::array<long double, kResponseCapacity> times{};
    for (int i = first; i <= last; ++i) {
        out.Step[i] = y0;
        const long double units =
            axis.Start + (axis.FullScale - axis.Start) * i / static_cast<long double>(kResponseIntervals);
        times[i] = units * scale;
    }
    const long double dt = (axis.FullScale - axis.Start) / kResponseIntervals * scale;
    bool increasing = true;
    for (int i = first; i < last; ++i)
        increasing = increasing && times[i + 1] >= times[i];
    for (const auto& k : r.Terms) {
        // e^(p dt), p = -sigma + j omega
        long double stepSin = 0, stepCos = 0;
        SinCos(k.Omega * dt, stepSin, stepCos);
        const long double stepDecay = std::exp(-k.Sigma * dt);
        const long double ar = stepDecay * stepCos;
        const long double ai = stepDecay * stepSin;
        const long double terms = k.Pair ? 2.0L : 1.0L;
        if (!increasing || !(k.Sigma >= 0)) {
            FillTermPointByPoint(k, times, ar, ai, terms, first, last, out);
            continue;
        }
        // On an increasing axis sigma t grows with t, so the points before the cut-off
        // are a prefix of the column; it is found with the same product and comparison
        // the point-by-point test makes.
        int lo = first, hi = last + 1;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (k.Sigma * times[mid] >= kCutOff)
                hi = mid;
            else
                lo = mid + 1;
        }
        const int end = lo;
        // A pair contributes twice the real part of its upper pole's term; the value
        // carried is that twice, which scales every product and sum by an exact power
        // of two, so the sums are those of the point-by-point fill.
        const long double minusSigma = -k.Sigma, omega = k.Omega;
        for (int seed = first; seed < end; seed += kReseedInterval) {
            const long double t = times[seed];
            const long double decay = terms * (k.Magnitude * std::exp(-k.Sigma * t));
            long double sine = 0, cosine = 0;
            SinCos(k.Omega * t + k.Angle, sine, cosine);
            long double cr = decay * cosine, ci = decay * sine;
            out.Step[seed] += cr;
            out.Impulse[seed] += minusSigma * cr - omega * ci;
            const int stop = std::min(seed + kReseedInterval, end);
            for (int i = seed + 1; i < stop; ++i) {
                const long double nr = cr * ar - ci * ai;
                ci = cr * ai + ci * ar;
                cr = nr;
                out.Step[i] += cr;
                out.Impulse[i] += minusSigma * cr - omega * ci;
            }
        }
    }
}

} // namespace

void StepResponse(TDesign& d, int approx, const TimeAxis& axis, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    first = std::max(first, 0);
    last = std::min(last, kResponseIntervals);
    TimeColumns columns;
    const ResidueSet r = Residues(IdealFilterOf(d, approx));
    FillTimeColumns(r, axis, first, last, columns);
    const long double G = r.Valid ? static_cast<long double>(d.Spec.OverallGain) : 0.0L;
    for (int i = first; i <= last; ++i)
        d.Approx[approx].Ideal[i].Step = G * columns.Step[i];
}

void ImpulseResponse(TDesign& d, int approx, const TimeAxis& axis, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    first = std::max(first, 0);
    last = std::min(last, kResponseIntervals);
    TimeColumns columns;
    const ResidueSet r = Residues(IdealFilterOf(d, approx));
    FillTimeColumns(r, axis, first, last, columns);
    const long double G = r.Valid ? static_cast<long double>(d.Spec.OverallGain) : 0.0L;
    for (int i = first; i <= last; ++i)
        d.Approx[approx].Ideal[i].Impulse = G * columns.Impulse[i];
}

void StepAndImpulseResponses(TDesign& d, int approx, const TimeAxis& axis) {
    if (approx < 0 || approx >= kApproxCount) return;
    TimeColumns columns;
    const ResidueSet r = Residues(IdealFilterOf(d, approx));
    FillTimeColumns(r, axis, 0, kResponseIntervals, columns);
    const long double G = r.Valid ? static_cast<long double>(d.Spec.OverallGain) : 0.0L;
    for (int i = 0; i <= kResponseIntervals; ++i) {
        d.Approx[approx].Ideal[i].Step = G * columns.Step[i];
        d.Approx[approx].Ideal[i].Impulse = G * columns.Impulse[i];
    }
}

} // namespace velmora
