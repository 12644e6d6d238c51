// The twin T off its balance is third order: its real zero and pole enter the gain
// spread through their own terms, which agree with central differences of the roots.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "circuit_stage_support.h"
#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "circuits/gain_spread.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::kTwoPi;

// The components a sensitivity is taken for, by slot (1..10 R, 11..14 C), in slot order.
std::vector<int> UsedSlots(const TStageCircuit& c) {
    std::vector<int> slots;
    for (int n = 1; n <= c.ResistorCount && n <= kResistorSlots; ++n)
        if (R(c, n) > 0.0L) slots.push_back(n);
    for (int n = 1; n <= c.CapacitorCount && n <= kCapacitorSlots; ++n)
        if (C(c, n) > 0.0L) slots.push_back(kResistorSlots + n);
    return slots;
}

template <typename T> T& Slot(ComponentValues<T>& v, int slot) {
    return slot <= kResistorSlots ? v.R[static_cast<std::size_t>(slot)]
                                  : v.C[static_cast<std::size_t>(slot - kResistorSlots)];
}

// The negative real roots of a cubic a3 s^3 + ... + a0 by a logarithmic sign scan from
// 1e-2 to 1e9 rad/s and bisection.
std::vector<long double> NegativeRealRoots(const std::array<long double, 4>& a) {
    const auto f = [&](long double s) { return ((a[3] * s + a[2]) * s + a[1]) * s + a[0]; };
    std::vector<long double> roots;
    long double prev = -1.0e-2L;
    for (long double t = -2.0L; t <= 9.0L; t += 1.0e-3L) {
        const long double s = -std::pow(10.0L, t);
        if ((f(s) > 0) != (f(prev) > 0)) {
            long double lo = s, hi = prev;
            for (int i = 0; i < 200; ++i) {
                const long double mid = 0.5L * (lo + hi);
                ((f(mid) > 0) == (f(lo) > 0) ? lo : hi) = mid;
            }
            roots.push_back(0.5L * (lo + hi));
        }
        prev = s;
    }
    return roots;
}

// Newton steps from a nearby root.
long double Polish(const std::array<long double, 4>& a, long double s) {
    for (int i = 0; i < 60; ++i) {
        const long double f = ((a[3] * s + a[2]) * s + a[1]) * s + a[0];
        const long double df = (3 * a[3] * s + 2 * a[2]) * s + a[1];
        if (df == 0) break;
        s -= f / df;
    }
    return s;
}

TEST(GradientSensitivities, TwinTRealRootTermsAgreeWithCentralDifferences) {
    TDesign d = CalculatedStage("SN01", kTwoPi * 3300.0L, 1.3L, 1.0L, kTwoPi * 3300.0L);
    ASSERT_FALSE(d.Circuits[1].NotRealisable);
    for (const long double off : {1.01L, 0.97L}) {
        SCOPED_TRACE(double(off));
        TDesign t = d;
        TStageCircuit& c = t.Circuits[1];
        R(c, 1) = R(c, 1) * off;
        UpdateSensitivities(t, 1);
        const CircuitRoutines* r = StageCircuitRoutines(t, 1);
        const ComponentValues<long double> v = StageComponentValues(c);
        const RealisedStage<long double> h = r->realise(v);
        ASSERT_NE(h.den[3], 0.0L);
        // The real pole most nearly cancelled by a numerator root, and that root.
        const auto residual = [&](long double s) {
            return std::fabs(((h.num[3] * s + h.num[2]) * s + h.num[1]) * s + h.num[0]) /
                   (std::fabs(h.num[3] * s * s * s) + std::fabs(h.num[2] * s * s) + std::fabs(h.num[1] * s) +
                    std::fabs(h.num[0]));
        };
        const auto poles = NegativeRealRoots(h.den), zeros = NegativeRealRoots(h.num);
        ASSERT_FALSE(poles.empty());
        ASSERT_FALSE(zeros.empty());
        long double pole = poles.front(), zero = zeros.front();
        for (const long double p : poles)
            if (residual(p) < residual(pole)) pole = p;
        for (const long double z : zeros)
            if (std::fabs(z - pole) < std::fabs(zero - pole)) zero = z;

        const long double w = StageAnalysisFrequency(t.Stages[1]);
        const ToleranceSettings settings = SettingsOf(t);
        const auto analysed = AnalyseStage(t, 1, c, w, settings);
        ASSERT_TRUE(analysed);
        const long double hstep = 1.0e-6L;
        long double term = 0.0L;
        for (const int slot : UsedSlots(c)) {
            const auto root = [&](long double factor, bool numerator, long double start) {
                ComponentValues<long double> x = v;
                Slot(x, slot) *= factor;
                const RealisedStage<long double> hx = r->realise(x);
                return -Polish(numerator ? hx.num : hx.den, start); // a = -root
            };
            const long double sz =
                (root(1 + hstep, true, zero) - root(1 - hstep, true, zero)) / (2 * hstep * -zero);
            const long double sp =
                (root(1 + hstep, false, pole) - root(1 - hstep, false, pole)) / (2 * hstep * -pole);
            const long double g = RealRootSensitivity(-zero, w) * sz - RealRootSensitivity(-pole, w) * sp;
            const long double tx =
                (slot <= kResistorSlots ? settings.ResistorTolerance : settings.CapacitorTolerance) / 100.0L;
            term += g * g * tx * tx;
        }
        ASSERT_GT(term, 0.0L);
        // Central differences of roots found to full precision: 1e-6 relative.
        EXPECT_NEAR(double(analysed->PassiveTerms[TermRealRoots] / term), 1.0, 1e-6);
    }
}

} // namespace
} // namespace velmora
