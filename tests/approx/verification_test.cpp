// Independent verification of the approximations over a table of varied
// specifications. Each result is evaluated as H(jw) straight from its poles, zeros and
// numerator constant, and checked against the definition of its approximation:
//  - the attenuation stays within [0, Apb] across the passband and reaches 0 dB
//    somewhere in it (the numerator constant is right);
//  - it reaches Asb at the stopband edge(s) and beyond when the order was estimated;
//  - every pole lies in the left half-plane, every zero on the jw axis, and there are
//    as many poles as the order;
//  - Chebyshev and Elliptic passbands are equiripple with N extrema between 0 and Apb;
//  - the Bessel group delay is maximally flat at w = 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "approx/elliptic.h"
#include "approx_test_support.h"

namespace velmora::test {
namespace {

// Tolerances in dB. Real48 storage of the sections perturbs the response by far less
// than 1e-6 dB. The Bessel edge search stops within 0.0001 dB of Apb, so its passband
// edge may lie that much beyond Apb.
// The Elliptic theta series stop at terms of 1e-6, which moves the poles and zeros by
// about that much: 0.01 dB. Its real-axis parameter also takes the limit of a large
// stopband discrimination, Lambda = arcsinh(1/eps)/N, whose error grows like 1/D_N,
// where D_N = 1/(16 q^N) is the discrimination order N reaches (about 2/D_N dB; it
// matters only for forced low orders, e.g. 0.011 dB at N = 2 and a ratio of 2).
long double EllipticTolerance(const Specification& s, int N) {
    const long double q = NomeOf(1.0L, s.Selectivity).q;
    return 0.01L + 2.5L * 16.0L * std::pow(q, static_cast<long double>(N));
}
long double PassbandTolerance(const Specification& s, int index, int N) {
    if (index == Elliptic) return EllipticTolerance(s, N);
    if (index == Bessel) return 1e-4L + 1e-6L;
    return 1e-6L;
}
long double StopbandTolerance(const Specification& s, int index, int N) {
    return index == Elliptic ? EllipticTolerance(s, N) : 1e-6L;
}

std::vector<SpecEntry> VerificationTable() {
    std::vector<SpecEntry> t = {
        {"LP default", Lowpass, 0.5L, 30.0L, 1e3L, 2e3L},
        {"LP 1 Hz narrow", Lowpass, 1.0L, 40.0L, 1.0L, 1.2L},
        {"LP 50 MHz", Lowpass, 0.1L, 50.0L, 50e6L, 100e6L},
        {"LP very narrow", Lowpass, 0.5L, 60.0L, 10e3L, 10.3e3L},
        {"LP wide", Lowpass, 3.0L, 10.0L, 1e3L, 100e3L},
        {"LP deep", Lowpass, 0.01L, 100.0L, 1e3L, 5e3L},
        {"LP mid", Lowpass, 2.0L, 45.0L, 300.0L, 750.0L},
        {"LP 10 MHz", Lowpass, 0.25L, 70.0L, 10e6L, 25e6L},
        // An elliptic degree just below a whole number: once 9.65 dB of a 9.79 dB stopband.
        {"LP elliptic degree just below 3", Lowpass, 0.433363L, 9.78787L, 1000.0L, 1675.04L},
        {"HP default", Highpass, 0.5L, 30.0L, 2e3L, 1e3L},
        {"HP 100 MHz", Highpass, 1.0L, 50.0L, 100e6L, 40e6L},
        {"HP narrow", Highpass, 0.1L, 40.0L, 1e3L, 900.0L},
        {"HP 2 Hz", Highpass, 0.5L, 20.0L, 2.0L, 1.0L},
        {"HP wide", Highpass, 1.0L, 15.0L, 10e3L, 100.0L},
        {"BP default", Bandpass, 0.5L, 30.0L, 1e3L, 2e3L, 2e3L},
        {"BP voice 300-3400 Hz", Bandpass, 1.0L, 20.0L, 3100.0L, 8000.0L, std::sqrt(300.0L * 3400.0L)},
        {"BP narrow", Bandpass, 1.0L, 40.0L, 100.0L, 300.0L, 10e3L},
        {"BP 10 MHz", Bandpass, 0.5L, 40.0L, 1e6L, 3e6L, 10e6L},
        {"BP 1 Hz", Bandpass, 0.5L, 25.0L, 0.2L, 0.5L, 1.0L},
        {"BP sharp", Bandpass, 0.1L, 60.0L, 1e3L, 1.3e3L, 20e3L},
        {"BS default", Bandstop, 0.5L, 30.0L, 2e3L, 1e3L, 2e3L},
        {"BS narrow", Bandstop, 1.0L, 40.0L, 300.0L, 100.0L, 5e3L},
        {"BS 50 MHz", Bandstop, 0.5L, 30.0L, 20e6L, 8e6L, 50e6L},
        {"BS wide", Bandstop, 0.2L, 50.0L, 5e3L, 1.5e3L, 3e3L},
        {"BS deep", Bandstop, 0.05L, 70.0L, 2e3L, 800.0L, 10e3L},
    };
    // Forced orders 1..20 from 1 Hz up to 50 MHz (the stopband then lies at 100 MHz).
    for (int N = 1; N <= 20; ++N) {
        const long double f = std::min(std::pow(10.0L, 0.4L * N), 50e6L);
        t.push_back(
            {"LP forced " + std::to_string(N), Lowpass, 0.1L + 0.3L * (N % 5), 40.0L, f, 0.0L, 0.0L, N});
    }
    for (int N : {1, 3, 7, 12, 19})
        t.push_back({"HP forced " + std::to_string(N), Highpass, 0.5L, 40.0L, 1e3L * N, 0.0L, 0.0L, N});
    for (int N : {2, 4, 10, 16, 20}) {
        const long double f0 = 100.0L * std::pow(10.0L, N / 4.0L);
        t.push_back({"BP forced " + std::to_string(N), Bandpass, 1.0L, 40.0L, f0 / 5.0L, 0.0L, f0, N});
    }
    for (int N : {2, 6, 12, 20})
        t.push_back({"BS forced " + std::to_string(N), Bandstop, 0.5L, 40.0L, 2e3L, 0.0L, 1e3L * N, N});
    return t;
}

// Filter frequencies (rad/s) at which the lowpass prototype sees the normalised
// frequency x (passband 0..1, stopband from the selectivity on): one for lowpass and
// highpass, the two geometrically symmetric ones for bandpass and bandstop.
std::vector<long double> FilterFrequencies(const Specification& s, long double x) {
    switch (s.FilterType) {
    case Lowpass:
        return {x * s.wpb};
    case Highpass:
        return {s.wpb / x};
    case Bandpass: {
        const long double upper = (x * s.Bpb + std::sqrt(x * x * s.Bpb * s.Bpb + 4.0L * s.w0 * s.w0)) / 2.0L;
        return {upper, s.w0 * s.w0 / upper};
    }
    default: { // bandstop: x = Bpb w / (w0^2 - w^2) below the centre
        const long double lower =
            2.0L * x * s.w0 * s.w0 / (s.Bpb + std::sqrt(s.Bpb * s.Bpb + 4.0L * x * x * s.w0 * s.w0));
        return {lower, lower > 0.0L ? s.w0 * s.w0 / lower : 1e30L};
    }
    }
}

// Attenuation as a function of the prototype frequency, on the first branch.
long double AttenuationAtX(const Response& h, const Specification& s, long double x) {
    return h.attenuationDb(FilterFrequencies(s, x)[0]);
}

struct Extremum {
    long double x, value;
};

// Interior extrema of the passband attenuation on [0, 1], located on a grid and refined
// by ternary search; x = 0 is always an extremum, since |H|^2 is even in the frequency.
std::vector<Extremum> PassbandExtrema(const Response& h, const Specification& s) {
    const int M = 20000;
    const long double x0 = s.FilterType == Highpass ? 1e-6L : 0.0L;
    auto A = [&](long double x) { return AttenuationAtX(h, s, std::max(x, x0)); };
    std::vector<Extremum> ext{{0.0L, A(0.0L)}};
    long double prev = A(0.0L), cur = A(1.0L / M);
    for (int i = 2; i <= M; ++i) {
        const long double next = A(static_cast<long double>(i) / M);
        const bool isMax = cur > prev && cur >= next, isMin = cur < prev && cur <= next;
        if (isMax || isMin) {
            long double lo = static_cast<long double>(i - 2) / M, hi = static_cast<long double>(i) / M;
            for (int k = 0; k < 80; ++k) {
                const long double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
                const bool keepLeft = isMax ? A(m1) > A(m2) : A(m1) < A(m2);
                (keepLeft ? hi : lo) = keepLeft ? m2 : m1;
            }
            const long double x = (lo + hi) / 2;
            ext.push_back({x, A(x)});
        }
        prev = cur;
        cur = next;
    }
    return ext;
}

// Relative deviation of the group delay from its value at w = 0.
long double DelayDeviation(const Response& h, long double w) {
    return std::fabs(h.groupDelay(w) / h.groupDelay(0.0L) - 1.0L);
}

// The frequency at which the relative delay deviation reaches `level`, by bisection.
long double FrequencyOfDelayDeviation(const Response& h, long double start, long double level) {
    long double lo = 0.0L, hi = start;
    while (DelayDeviation(h, hi) < level)
        hi *= 2.0L;
    for (int k = 0; k < 200; ++k) {
        const long double mid = (lo + hi) / 2;
        (DelayDeviation(h, mid) < level ? lo : hi) = mid;
    }
    return hi;
}

struct Tally {
    int verified = 0, equiripple = 0, flatDelay = 0, stopbandChecks = 0;
    std::array<int, kApproxCount> perApprox{};
    std::array<bool, kMaxOrder + 1> orders{};
};

void VerifyResult(const TDesign& d, int index, const SpecEntry& e, Tally& tally) {
    const Specification& s = d.Spec;
    const ApproxResult& r = d.Approx[index].Result;
    const int protoN = (s.FilterType == Bandpass || s.FilterType == Bandstop) ? r.Order / 2 : r.Order;
    SCOPED_TRACE(e.name + " / " + kApproxNames[index] + " / order " + std::to_string(r.Order));
    const Response h = ResponseOf(d, index);

    ASSERT_EQ(static_cast<int>(h.poles.size()), r.Order);
    ASSERT_LE(static_cast<int>(h.zeros.size()), r.Order);
    ASSERT_TRUE(std::isfinite(h.gain) && h.gain > 0.0L);
    for (const Complex& p : h.poles)
        EXPECT_LT(p.real(), 0.0L);
    for (const Complex& z : h.zeros)
        EXPECT_EQ(z.real(), 0.0L);

    // Passband: within [0, Apb], touching 0 dB.
    const long double tolP = PassbandTolerance(s, index, protoN);
    long double least = 1e30L, most = -1e30L;
    for (int i = 0; i <= 2000; ++i) {
        const long double x = std::max(static_cast<long double>(i) / 2000.0L, 1e-6L);
        for (long double w : FilterFrequencies(s, x)) {
            const long double A = h.attenuationDb(w);
            least = std::min(least, A);
            most = std::max(most, A);
        }
    }
    // The passband minima of Chebyshev and Elliptic lie between grid points; their
    // refined values are checked with the ripple below.
    if (index == Chebyshev || index == Elliptic)
        for (const Extremum& x : PassbandExtrema(h, s))
            least = std::min(least, x.value);
    EXPECT_LE(most, s.Apb + tolP);
    EXPECT_NEAR(least, 0.0L, tolP);

    // Stopband: from the edge outwards, on both branches.
    const long double tolS = StopbandTolerance(s, index, protoN);
    const bool forcedInverse = e.forcedOrder > 0 && index == InverseChebyshev;
    if (e.forcedOrder == 0 || forcedInverse) {
        long double least = 1e30L;
        for (int i = 0; i <= 400; ++i) {
            const long double x = s.Selectivity * std::pow(1000.0L, i / 400.0L);
            for (long double w : FilterFrequencies(s, x))
                least = std::min(least, h.attenuationDb(w));
        }
        // A forced Inverse Chebyshev reports the attenuation it reaches at the edge.
        EXPECT_GE(least, s.Asb - tolS);
        if (forcedInverse) {
            EXPECT_NEAR(AttenuationAtX(h, s, s.Selectivity), s.Asb, tolS);
        }
        ++tally.stopbandChecks;
    }

    if (index == Chebyshev || index == Elliptic) {
        const std::vector<Extremum> ext = PassbandExtrema(h, s);
        EXPECT_EQ(static_cast<int>(ext.size()), protoN);
        // Equiripple: the maxima reach Apb, the minima 0 dB, alternately.
        for (std::size_t i = 0; i < ext.size(); ++i) {
            const bool atTop = std::fabs(ext[i].value - s.Apb) < std::fabs(ext[i].value);
            EXPECT_NEAR(ext[i].value, atTop ? s.Apb.value() : 0.0L, tolP) << "extremum at x = " << ext[i].x;
            if (i > 0) {
                const bool prevTop = std::fabs(ext[i - 1].value - s.Apb) < std::fabs(ext[i - 1].value);
                EXPECT_NE(atTop, prevTop);
            }
        }
        ++tally.equiripple;
    }

    if (index == Bessel && s.FilterType == Lowpass) {
        // tau(w) = tau(0) (1 - c w^(2N) + ...): halving the frequency where the delay has
        // moved by 1e-4 divides the deviation by about 2^(2N); the higher terms of the
        // series may take up to a factor 4 of that. Real48 rounding of the poles leaves
        // a floor of about 1e-12 in the relative delay; 1e-10 covers it.
        const long double w1 = FrequencyOfDelayDeviation(h, s.wpb, 1e-4L);
        EXPECT_LE(DelayDeviation(h, w1 / 2), 1e-4L * std::pow(2.0L, -(2.0L * protoN - 2.0L)) + 1e-10L);
        ++tally.flatDelay;
    }
    ++tally.verified;
    ++tally.perApprox[index];
    if (protoN >= 1 && protoN <= kMaxOrder) tally.orders[protoN] = true;
}

TEST(Verification, EveryUsableApproximationMeetsItsDefinition) {
    const std::vector<SpecEntry> table = VerificationTable();
    ASSERT_GE(table.size(), 30u);
    Tally tally;
    for (const SpecEntry& e : table) {
        TDesign d;
        FillSpecification(d, e);
        ASSERT_TRUE(CalculateAll(d)) << e.name;
        for (int index = 0; index < kApproxCount; ++index) {
            const Approximation& a = d.Approx[index];
            if (!isUsable(a)) continue;
            VerifyResult(d, index, e, tally);
        }
    }
    // The table exercises what it claims to.
    for (int index = 0; index < kApproxCount; ++index)
        EXPECT_GE(tally.perApprox[index], 25) << kApproxNames[index];
    for (int N = 1; N <= kMaxOrder; ++N)
        EXPECT_TRUE(tally.orders[N]) << "no verified result of order " << N;
    EXPECT_GE(tally.equiripple, 50);
    EXPECT_GE(tally.flatDelay, 20);
    EXPECT_GE(tally.stopbandChecks, 80);
}

TEST(Verification, BroadSweepProducesOnlyRealisablePolesAndFiniteNumbers) {
    // A NaN stored into the design record would become 0 and show up here as a pole on
    // the jw axis, a zero gain or a missing pole.
    int checked = 0;
    for (FilterType type : {Lowpass, Highpass, Bandpass, Bandstop}) {
        for (long double apb : {0.01L, 0.5L, 3.0L, 10.0L}) {
            for (long double asb : {apb + 1.0L, 20.0L, 60.0L, 120.0L}) {
                for (long double s : {1.001L, 1.05L, 1.5L, 3.0L, 30.0L, 1000.0L}) {
                    const bool band = type == Bandpass || type == Bandstop;
                    const bool narrowing = type == Highpass || type == Bandstop; // stop < pass
                    const long double pass = 1e3L, stop = narrowing ? pass / s : pass * s;
                    const TDesign d = Designed(
                        {"sweep", type, apb, std::max(asb, apb + 1.0L), pass, stop, band ? 5e3L : 0.0L});
                    for (int index = 0; index < kApproxCount; ++index) {
                        const Approximation& a = d.Approx[index];
                        if (a.Result.OrderTooHigh) continue;
                        const std::vector<Complex> poles = ApproxPoles(d, index);
                        ASSERT_EQ(static_cast<int>(poles.size()), a.Result.Order);
                        for (const Complex& p : poles)
                            ASSERT_LT(p.real(), 0.0L);
                        const long double gain = ApproxNumeratorGain(d, index);
                        ASSERT_TRUE(std::isfinite(gain) && gain > 0.0L);
                        ASSERT_TRUE(std::isfinite(a.Result.MaxQp.value()));
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 500);
}

} // namespace
} // namespace velmora::test
