// The fast column fill of the ideal gain, phase lag and group delay against the point
// by point extended-precision evaluation: every stored 6-byte value must be the same,
// over filters of every type and order up to 20, hand-built tables with real poles,
// origin zeros and Q below 0.5, and axes from wide (six decades) to a narrow zoom on a
// notch and a linear axis from 0. The fast gain is evaluated to some 2^-90 of itself,
// more closely than the extended one: where the two differ, the fast value must be the
// 6-byte rounding of the gain evaluated in quadruple precision, and the extended one off
// by its own rounding error.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <random>
#include <string>

#include "analysis/frequency_response.h"
#include "analysis/ideal_columns.h"
#include "analysis/ideal_filter.h"
#include "support/hand_built_filters.h"
#include "support/specifications.h"

namespace velmora {
namespace {

TDesign& Fast() {
    static TDesign d; // large: keep them off the stack
    return d;
}
TDesign& Reference() {
    static TDesign d;
    return d;
}

struct Totals {
    long long values = 0, refused = 0, closer = 0;
};

// |T|^2 in quadruple precision (113 bits) from the constants the extended magnitude
// takes: every factor's cancellation near a pole or a notch is then 2^-49 below the
// extended one's.
using Quad = __float128;
Quad QuadSquaredMagnitude(const MagnitudeFactors& m, long double w) {
    const Quad w2 = static_cast<Quad>(w) * static_cast<Quad>(w);
    Quad num = 1, den = 1;
    for (std::size_t k = 0; k < m.C.size(); ++k) {
        const Quad re = static_cast<Quad>(m.C[k]) - w2, im = static_cast<Quad>(m.B[k]) * static_cast<Quad>(w);
        den *= re * re + im * im;
    }
    for (const long double c : m.Wz2) {
        const Quad z = static_cast<Quad>(c) - w2;
        num *= z * z;
    }
    for (const long double s2 : m.Sigma2)
        den *= w2 + static_cast<Quad>(s2);
    if (m.OriginZero) num *= w2;
    const Quad k = static_cast<Quad>(m.K);
    return k * k * num / den;
}

// ln x for a quadruple x > 0: the extended logarithm of its leading 64 bits (within a
// unit of 2^-63 of the result) and the first-order correction for the rest.
long double QuadLog(Quad x) {
    const long double head = static_cast<long double>(x);
    return std::log(head) + static_cast<long double>((x - static_cast<Quad>(head)) / static_cast<Quad>(head));
}

// The 6-byte rounding of v when every number within rel of it rounds alike, else NaN.
long double RoundedOrNaN(long double v, long double rel) {
    const long double a = Real48(v * (1 - rel)).value(), b = Real48(v * (1 + rel)).value();
    return a == b ? a : NAN;
}

// Where the fast and the extended gain differ: the fast one must be the reference's
// rounding, and the extended one within its error (a few units of 2^-64 times the
// factors' conditions) of the reference.
void CheckCloser(long double fast, long double extended, long double reference, long double extendedRel,
                 const std::string& at) {
    const long double want = RoundedOrNaN(reference, 0x1p-58L);
    if (std::isnan(want)) return; // the reference itself on a boundary: nothing to decide
    EXPECT_EQ(fast, want) << at << std::setprecision(21) << ": fast " << fast << ", reference " << reference;
    EXPECT_LE(std::fabs(extended - reference),
              extendedRel * std::fabs(reference) + std::fabs(want) * 0x1p-39L)
        << at;
}

// Fills the columns of every approximation with a response both ways over `axis` and
// compares every stored value; returns the counts of the fast fill.
Totals CompareOver(const TDesign& design, const FrequencyAxis& axis, const std::string& what) {
    Totals totals;
    TDesign& fast = Fast();
    TDesign& ref = Reference();
    fast = design;
    BuildFrequencyColumn(fast, axis);
    ref = fast;
    for (int a : ResponseApproximations(fast)) {
        const IdealColumnCount c = IdealFrequencyColumns(fast, a);
        IdealFrequencyColumnsExtended(ref, a);
        totals.values += c.Values;
        totals.refused += c.Refused;
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample& f = fast.Approx[a].Ideal[i];
            const IdealSample& r = ref.Approx[a].Ideal[i];
            const std::string at =
                what + ", approximation " + std::to_string(a) + ", point " + std::to_string(i);
            if (f.GainVV.value() != r.GainVV.value() || f.GainDb.value() != r.GainDb.value()) {
                ++totals.closer;
                const long double w = fast.FreqColumn[i].W;
                const MagnitudeFactors m = MagnitudeFactorsOf(IdealFilterOf(fast, a), fast.Spec.OverallGain);
                const Quad t2 = QuadSquaredMagnitude(m, w);
                // sqrt(t2) from the extended root and one Newton step in quadruple precision.
                const Quad root = std::sqrt(static_cast<long double>(t2));
                const long double vv = static_cast<long double>(root + (t2 - root * root) / (2 * root));
                if (f.GainVV.value() != r.GainVV.value())
                    CheckCloser(f.GainVV.value(), r.GainVV.value(), vv, 0x1p-50L, at + " (V/V)");
                if (f.GainDb.value() != r.GainDb.value()) {
                    const long double db = 10.0L / std::log(10.0L) * QuadLog(t2);
                    // The extended dB value: its magnitude's error over ln 10, in dB.
                    CheckCloser(f.GainDb.value(), r.GainDb.value(), db, 0x1p-50L / std::fabs(db),
                                at + " (dB)");
                    EXPECT_LT(std::fabs(db), 0.01L) << at;
                }
            }
            EXPECT_EQ(f.Phase.value(), r.Phase.value()) << at;
            EXPECT_EQ(f.Delay.value(), r.Delay.value()) << at;
        }
    }
    return totals;
}

// The approximations of `e` calculated, in a design kept off the stack (its previous
// contents replaced).
const TDesign& Calculated(const test::Spec& e) {
    static TDesign design;
    TDesign& d = Reference();
    test::FillSpecification(d, e);
    EXPECT_TRUE(test::CalculateApproximations(d)) << e.name;
    design = d;
    return design;
}

const test::Spec kSpecs[] = {
    {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0},
    {"lowpass order 20", Lowpass, 0.5L, 40, 1000, 0, 0, 20},
    {"sharp lowpass", Lowpass, 0.1L, 80, 1000, 1100, 0, 0},
    {"highpass order 19", Highpass, 1.0L, 40, 1000, 0, 0, 19},
    {"highpass estimated", Highpass, 0.5L, 50, 20000, 8000, 0, 0},
    {"bandpass order 20", Bandpass, 0.5L, 40, 1000, 0, 5000, 20},
    {"narrow bandpass", Bandpass, 1.0L, 40, 50, 400, 10000, 0},
    {"bandstop order 20", Bandstop, 0.5L, 60, 1000, 0, 2000, 20},
    {"bandstop estimated", Bandstop, 0.5L, 40, 1000, 200, 2000, 0},
    {"lowpass at 10 MHz", Lowpass, 0.5L, 60, 1.0e7L, 1.5e7L, 0, 0},
    {"lowpass at 0.1 Hz", Lowpass, 1.0L, 40, 0.1L, 0.3L, 0, 0},
};

TEST(IdealColumns, FastFillStoresExactlyTheExtendedValues) {
    Totals all;
    for (const test::Spec& e : kSpecs) {
        const TDesign& design = Calculated(e);
        const long double w0 = e.type == Lowpass || e.type == Highpass ? design.Spec.wpb : design.Spec.w0;
        const FrequencyAxis axes[] = {
            DefaultFrequencyAxis(design),
            {w0 * 1e-3L, w0 * 1e3L, true, false}, // six decades in rad/s
            {w0 * 0.9L / 6.283185307179586L, w0 * 1.2L / 6.283185307179586L, true, true}, // a zoom, Hz
            {0, w0 * 4, false, false},                                                    // linear from 0
        };
        for (const FrequencyAxis& axis : axes) {
            const Totals t = CompareOver(design, axis, e.name);
            all = {all.values + t.values, all.refused + t.refused, all.closer + t.closer};
        }
    }
    // The two differ only where the extended evaluation's error reaches a rounding
    // boundary: gains in dB near 0 dB (checked with each), a few in a hundred points.
    EXPECT_GT(all.closer, 0);
    EXPECT_LT(all.closer * 25, all.values) << all.closer << " of " << all.values;
    // The fast fill keeps most values; some (gains near 0 dB, phases near 0, the point
    // at 0 rad/s) are always evaluated again.
    EXPECT_GT(all.refused, 0);
    EXPECT_LT(all.refused * 5, all.values) << all.refused << " of " << all.values;
}

TEST(IdealColumns, SmallLagsAreKeptAndExact) {
    // Far below the passband every lag is a small angle, bounded relative to itself
    // (an absolute bound of some 1e-14 rad would refuse every lag below a degree): the
    // fast fill must keep nearly all of them, each the extended value.
    long long phases = 0, refused = 0;
    for (const test::Spec& e : kSpecs) {
        if (e.type != Lowpass) continue;
        const TDesign& design = Calculated(e);
        const FrequencyAxis axis{design.Spec.wpb * 1e-6L, design.Spec.wpb * 1e-3L, true, false};
        TDesign& fast = Fast();
        fast = design;
        BuildFrequencyColumn(fast, axis);
        for (int a : ResponseApproximations(fast)) {
            const IdealColumnCount c = IdealFrequencyColumns(fast, a);
            phases += kResponsePoints;
            refused += c.RefusedPhase;
            for (int i = 0; i <= kResponseIntervals; ++i) {
                const long double want = IdealPhaseLag(IdealFilterOf(fast, a), fast.FreqColumn[i].W);
                ASSERT_LT(std::fabs(want), 5.8L) << e.name << " point " << i; // below 0.1 rad
                ASSERT_EQ(fast.Approx[a].Ideal[i].Phase.value(), Real48(want).value())
                    << e.name << " point " << i;
            }
        }
    }
    // An absolute bound refuses every one of them; the relative one some in ten (the
    // lags of these columns lie unusually often next to a rounding boundary).
    EXPECT_GT(phases, 5000);
    EXPECT_LT(refused * 5, phases) << refused << " of " << phases;
}

TEST(IdealColumns, FrequencyColumnStoresTheExtendedAbscissas) {
    // The column is built in double precision where its 6-byte values are certain; every
    // stored F and W must be the extended abscissa (AxisFrequency) and its conversion.
    // Random axes from a thousandth of a hertz to a hundred megahertz, spans from a
    // tenth of a percent to seven decades: some 700 000 abscissas, a few hundred of them
    // next to a rounding boundary of F or W, where a bound that misses the exponential's
    // error or the extended evaluation's own would store a neighbour.
    static TDesign d;
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<long double> lowExp(-3.0L, 8.0L), spanExp(-3.4L, 7.0L);
    for (int k = 0; k < 1000; ++k) {
        const long double lo = std::pow(10.0L, lowExp(rng));
        const FrequencyAxis axis{lo, lo * (1.0L + std::pow(10.0L, spanExp(rng))), true, k % 2 == 0};
        BuildFrequencyColumn(d, axis);
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const long double x = AxisFrequency(axis, i);
            const long double f = axis.Hz ? x : x / test::kTwoPi, w = axis.Hz ? test::kTwoPi * x : x;
            ASSERT_EQ(d.FreqColumn[i].F.value(), Real48(f).value()) << "axis " << k << " point " << i;
            ASSERT_EQ(d.FreqColumn[i].W.value(), Real48(w).value()) << "axis " << k << " point " << i;
        }
    }
}

TEST(IdealColumns, StoredGainDbRoundsAsTheExtendedLogarithm) {
    // Gains from far below the floor to 1e6, the ones near unity (dB near 0, where the
    // stored value has the fewest digits to spare) densest: the stored dB value must be
    // the extended one's, and the floor must stay -400 dB.
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<long double> exponent(-22.0L, 6.0L), nearOne(-1e-3L, 1e-3L);
    for (int k = 0; k < 200000; ++k) {
        const long double t =
            k % 2 ? std::pow(10.0L, exponent(rng)) : 1.0L + nearOne(rng) * std::pow(10.0L, -(k % 13));
        ASSERT_EQ(Real48(StoredGainDb(t)).value(), Real48(GainToDb(t)).value()) << double(t);
    }
    EXPECT_EQ(std::tuple(StoredGainDb(1e-21L), StoredGainDb(0.0L)), std::tuple(kGainFloorDb, kGainFloorDb));
}

TEST(IdealColumns, HandBuiltTablesWithEveryKindOfFactor) {
    for (const test::HandFilter& h : test::HandBuiltFilters()) {
        static TDesign design;
        NewDesign(design, h.type);
        test::Install(design, h);
        const long double w = h.wpb > 0 ? h.wpb : h.w0 > 0 ? h.w0 : test::kTwoPi * 1000;
        CompareOver(design, FrequencyAxis{w * 1e-2L, w * 1e2L, true, false}, h.name);
        CompareOver(design, FrequencyAxis{0, w * 3, false, false}, h.name + " (linear)");
    }
}

TEST(IdealColumns, NotchZoomKeepsTheDepthAndTheHalfTurn) {
    // A zoom onto the first notch of an elliptic lowpass: the points on either side of
    // the zero straddle it, where the zero factor's relative error grows without bound;
    // the values there come from the extended evaluation and the phase still drops by
    // 180 degrees across the notch.
    const TDesign& design = Calculated({"notch", Lowpass, 0.5L, 60, 1000, 1300, 0, 0});
    const IdealFilter f = IdealFilterOf(design, Elliptic);
    ASSERT_FALSE(f.ZeroPairs.empty());
    const long double wz = f.ZeroPairs.front().Wz;
    CompareOver(design, FrequencyAxis{wz * (1 - 1e-6L), wz * (1 + 1e-6L), false, false}, "zoom on the notch");
    TDesign& fast = Fast();
    const long double before = fast.Approx[Elliptic].Ideal[0].Phase;
    const long double after = fast.Approx[Elliptic].Ideal[kResponseIntervals].Phase;
    EXPECT_NEAR(before - after, 180.0L, 1e-3L);
    EXPECT_LT(fast.Approx[Elliptic].Ideal[kResponseIntervals / 2].GainDb, -100.0L);
}

TEST(IdealColumns, ZoomsOntoTheSharpestPoleAndIntoTheStopband) {
    // The gain of a narrow zoom around the highest-Q pole pair of a sharp elliptic lowpass
    // and of a 20th-order bandpass (C - w^2 cancels to a few digits), and a zoom deep into
    // a stopband (gains near the floor, phases of many turns): every value must be the
    // extended one or, for the gain, the quadruple-precision one.
    for (const test::Spec& e : {test::Spec{"sharp lowpass", Lowpass, 0.1L, 80, 1000, 1100, 0, 0},
                                test::Spec{"bandpass order 20", Bandpass, 0.5L, 40, 1000, 0, 5000, 20}}) {
        const TDesign& design = Calculated(e);
        for (int a : ResponseApproximations(design)) {
            const IdealFilter f = IdealFilterOf(design, a);
            long double sharpest = 0, bestQ = 0;
            for (const PoleSection& s : f.Sections) {
                if (s.RealPoles || !(s.B > 0)) continue;
                const long double q = std::sqrt(s.C) / s.B;
                if (q > bestQ) {
                    bestQ = q;
                    sharpest = std::sqrt(s.C);
                }
            }
            ASSERT_GT(bestQ, 1.0L) << e.name;
            const Totals t = CompareOver(
                design, FrequencyAxis{sharpest * (1 - 1e-7L), sharpest * (1 + 1e-7L), false, false},
                std::string(e.name) + " zoom on the sharpest pole");
            // The cancellation is carried exactly: the zoom is no reason to refuse.
            EXPECT_LT(t.refused * 20, t.values) << e.name << ", approximation " << a;
        }
        const long double edge =
            e.type == Lowpass ? static_cast<long double>(design.Spec.wsb) : design.Spec.w0 * 8;
        CompareOver(design, FrequencyAxis{edge * 10, edge * 1e4L, true, false},
                    std::string(e.name) + " deep stopband");
    }
}

} // namespace
} // namespace velmora
