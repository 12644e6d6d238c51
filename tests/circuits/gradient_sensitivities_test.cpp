// Sensitivities from one evaluation with a derivative lane per component: every lane is,
// bit for bit, what a Dual evaluation seeded on that component alone gives, for every
// catalogue circuit (plain and compensated, the twin-T off its balance included) and
// every gradient width that holds its components; the lanes agree with central
// differences of the realised parameters; the stored sensitivities are the lanes of the
// right components; and the twin-T's real-root terms of the gain spread agree with
// central differences of its real roots.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "circuit_stage_support.h"
#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "circuits/gain_spread.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::ForEachCalculatedStage;
using test::kTwoPi;

// Equal to the last bit, signed zeros told apart.
bool Identical(long double a, long double b) {
    return (a == b && std::signbit(a) == std::signbit(b)) || (std::isnan(a) && std::isnan(b));
}

const CircuitRoutines* StageCircuitRoutinesOf(const TStageCircuit& c) {
    const CatalogueEntry* e = EntryByNumber(c.CircuitNumber);
    return e ? FindCircuit(e->key) : nullptr;
}

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

template <typename T> ComponentValues<T> Promoted(const ComponentValues<long double>& v) {
    ComponentValues<T> out;
    for (std::size_t k = 0; k < v.R.size(); ++k)
        out.R[k] = v.R[k];
    for (std::size_t k = 0; k < v.C.size(); ++k)
        out.C[k] = v.C[k];
    return out;
}

// One Dual evaluation per component: the reference every lane must match.
struct PerComponent {
    std::vector<RealisedStage<Dual>> h;
    std::vector<std::optional<StageParameters<Dual>>> p;
};
PerComponent PerComponentPasses(const CircuitRoutines& r, const ComponentValues<long double>& v,
                                const std::vector<int>& slots, int type) {
    PerComponent out;
    for (const int slot : slots) {
        ComponentValues<Dual> dv = Promoted<Dual>(v);
        Dual& x = Slot(dv, slot);
        x.d = x.v;
        out.h.push_back(r.realiseDual(dv));
        out.p.push_back(RealisedParameters(out.h.back(), type));
    }
    return out;
}

template <int N>
void ExpectLanesMatch(const CircuitRoutines& r, const ComponentValues<long double>& v,
                      const std::vector<int>& slots, int type, const PerComponent& ref,
                      const std::string& label) {
    if (static_cast<int>(slots.size()) > N) return;
    SCOPED_TRACE(label + " width " + std::to_string(N));
    ComponentValues<GradientDual<N>> gv = Promoted<GradientDual<N>>(v);
    for (std::size_t j = 0; j < slots.size(); ++j) {
        GradientDual<N>& x = Slot(gv, slots[j]);
        x.d[j] = x.v;
    }
    const RealisedStage<GradientDual<N>> h = RealiseGradient<N>(r, gv);
    const auto p = RealisedParameters(h, type);
    for (std::size_t j = 0; j < slots.size(); ++j) {
        SCOPED_TRACE("slot " + std::to_string(slots[j]));
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_TRUE(Identical(h.num[k].v, ref.h[j].num[k].v)) << "num value " << k;
            EXPECT_TRUE(Identical(h.den[k].v, ref.h[j].den[k].v)) << "den value " << k;
            EXPECT_TRUE(Identical(h.num[k].d[j], ref.h[j].num[k].d)) << "num derivative " << k;
            EXPECT_TRUE(Identical(h.den[k].d[j], ref.h[j].den[k].d)) << "den derivative " << k;
        }
        ASSERT_EQ(p.has_value(), ref.p[j].has_value());
        if (!p) continue;
        const GradientDual<N>* lanes[] = {&p->wp, &p->qp, &p->gain, &p->wz};
        const Dual* duals[] = {&ref.p[j]->wp, &ref.p[j]->qp, &ref.p[j]->gain, &ref.p[j]->wz};
        for (int q = 0; q < 4; ++q) {
            EXPECT_TRUE(Identical(lanes[q]->v, duals[q]->v)) << "parameter " << q;
            EXPECT_TRUE(Identical(lanes[q]->d[j], duals[q]->d)) << "parameter " << q;
        }
    }
    // Lanes past the seeded components stay zero.
    for (std::size_t j = slots.size(); j < static_cast<std::size_t>(N); ++j)
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_EQ(h.den[k].d[j], 0.0L);
}

void ExpectAllWidthsMatch(const TStageCircuit& c, int type, const std::string& label) {
    const CircuitRoutines* r = StageCircuitRoutinesOf(c);
    ASSERT_TRUE(r) << label;
    const ComponentValues<long double> v = StageComponentValues(c);
    const std::vector<int> slots = UsedSlots(c);
    const PerComponent ref = PerComponentPasses(*r, v, slots, type);
    ExpectLanesMatch<4>(*r, v, slots, type, ref, label);
    ExpectLanesMatch<6>(*r, v, slots, type, ref, label);
    ExpectLanesMatch<8>(*r, v, slots, type, ref, label);
    ExpectLanesMatch<10>(*r, v, slots, type, ref, label);
    ExpectLanesMatch<14>(*r, v, slots, type, ref, label);
}

TEST(GradientSensitivities, EveryLaneIsTheSingleComponentDualBitForBit) {
    static_assert(kGradientWidths.back() == kComponentSlots);
    int stages = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        ++stages;
        ExpectAllWidthsMatch(d.Circuits[1], d.Stages[1].StageType, label);
    });
    EXPECT_GT(stages, 300);

    // The compensated variants, with the most components of all.
    for (const CatalogueEntry& e : CatalogueEntries()) {
        if (isFirstOrder(e.type) || !ActiveCompensationOffered(e.key)) continue;
        TDesign d = CalculatedStage(e.key, kTwoPi * 3300.0L, 1.3L, 2.0L, kTwoPi * 3300.0L * 1.33L);
        d.Circuits[1].CompensationInUse = 1;
        if (!LoadAndCalculate(d, 1)) continue;
        ExpectAllWidthsMatch(d.Circuits[1], d.Stages[1].StageType, std::string(e.key) + " compensated");
    }

    // The twin-T off its balance is third order: the real pole and zero are divided out,
    // and their derivatives taken from the cubic, lane by lane.
    TDesign d = CalculatedStage("SN01", kTwoPi * 3300.0L, 1.3L, 1.0L, kTwoPi * 3300.0L);
    ASSERT_FALSE(d.Circuits[1].NotRealisable);
    R(d.Circuits[1], 1) = R(d.Circuits[1], 1) * 1.01L;
    const RealisedStage<long double> h =
        StageCircuitRoutinesOf(d.Circuits[1])->realise(StageComponentValues(d.Circuits[1]));
    ASSERT_NE(h.den[3], 0.0L) << "off balance";
    ExpectAllWidthsMatch(d.Circuits[1], d.Stages[1].StageType, "SN01 off balance");
}

// x dP/dx / P from central differences of the realised parameters.
TEST(GradientSensitivities, LanesAgreeWithCentralDifferences) {
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        const TStageCircuit& c = d.Circuits[1];
        const int type = d.Stages[1].StageType;
        const CircuitRoutines* r = StageCircuitRoutinesOf(c);
        const ComponentValues<long double> v = StageComponentValues(c);
        const std::vector<int> slots = UsedSlots(c);
        ComponentValues<GradientDual<kWidestGradient>> gv = Promoted<GradientDual<kWidestGradient>>(v);
        for (std::size_t j = 0; j < slots.size(); ++j)
            Slot(gv, slots[j]).d[j] = Slot(gv, slots[j]).v;
        const auto p = RealisedParameters(RealiseGradient<kWidestGradient>(*r, gv), type);
        ASSERT_TRUE(p) << label;
        const auto param = [&](const ComponentValues<long double>& x, int which) {
            const auto q = RealisedParameters(r->realise(x), type);
            EXPECT_TRUE(q) << label;
            const long double values[] = {q->wp, q->qp, q->gain, q->wz};
            return values[which];
        };
        const GradientDual<kWidestGradient>* exact[] = {&p->wp, &p->qp, &p->gain, &p->wz};
        // h = 1e-6: the truncation error (~h^2) and the rounding error (~1e-19 / h) of
        // the difference quotient both stay below 1e-9 of the sensitivities' scale.
        const long double h = 1.0e-6L;
        for (std::size_t j = 0; j < slots.size(); ++j)
            for (int which = 0; which < 4; ++which) {
                const long double p0 = exact[which]->v;
                if (p0 == 0.0L) continue;
                ComponentValues<long double> up = v, down = v;
                Slot(up, slots[j]) *= 1 + h;
                Slot(down, slots[j]) *= 1 - h;
                const long double fd = (param(up, which) - param(down, which)) / (2 * h * p0);
                const long double s = exact[which]->d[j] / p0;
                EXPECT_NEAR(static_cast<double>(s), static_cast<double>(fd),
                            1e-7 * (1 + std::fabs(double(s))))
                    << label << " slot " << slots[j] << " parameter " << which;
            }
    });
}

// The stored figures belong to the right components: after the values change, the
// stored sensitivities equal (as stored, in six bytes) the single-component Dual figures.
TEST(GradientSensitivities, StoredSensitivitiesAreThoseOfTheirOwnComponent) {
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        TStageCircuit& c = d.Circuits[1];
        const int type = d.Stages[1].StageType;
        UpdateSensitivities(d, 1);
        const CircuitRoutines* r = StageCircuitRoutinesOf(c);
        const std::vector<int> slots = UsedSlots(c);
        const PerComponent ref = PerComponentPasses(*r, StageComponentValues(c), slots, type);
        const auto relative = [](const Dual& x) {
            return x.v != 0.0L && std::isfinite(x.d / x.v) ? x.d / x.v : 0.0L;
        };
        for (int slot = 1; slot <= kComponentSlots; ++slot) {
            const TComponentItem& item = c.Components[slot];
            const long double stored[] = {item.SensWp, item.SensQp, item.SensGain, item.SensWz};
            std::array<long double, 4> expected{};
            for (std::size_t j = 0; j < slots.size(); ++j)
                if (slots[j] == slot && ref.p[j])
                    expected = {relative(ref.p[j]->wp), relative(ref.p[j]->qp), relative(ref.p[j]->gain),
                                relative(ref.p[j]->wz)};
            for (std::size_t q = 0; q < 4; ++q)
                EXPECT_TRUE(Identical(stored[q], static_cast<long double>(Real48(expected[q]))))
                    << label << " slot " << slot << " parameter " << q;
        }
    });
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
        SCOPED_TRACE(static_cast<double>(off));
        TDesign t = d;
        TStageCircuit& c = t.Circuits[1];
        R(c, 1) = R(c, 1) * off;
        UpdateSensitivities(t, 1);
        const CircuitRoutines* r = StageCircuitRoutinesOf(c);
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
        EXPECT_NEAR(static_cast<double>(analysed->PassiveTerms[TermRealRoots] / term), 1.0, 1e-6);
    }
}

} // namespace
} // namespace velmora
