// Helpers shared by the design routines: the finite-GBW step, the half-step rounding of
// the recommended GBW, the standard-value mantissas, the gain-pair scaling and the
// validity test of a finished design.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "circuits/circuit_design.h"

namespace velmora {
namespace {

constexpr std::array<long double, 12> kE12 = {100, 120, 150, 180, 220, 270, 330, 390, 470, 560, 680, 820};
constexpr std::array<long double, 24> kE24 = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                                              330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};

constexpr std::array<long double, 96> kE96 = {
    100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137, 140, 143, 147, 150, 154, 158,
    162, 165, 169, 174, 178, 182, 187, 191, 196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255,
    261, 267, 274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374, 383, 392, 402, 412,
    422, 432, 442, 453, 464, 475, 487, 499, 511, 523, 536, 549, 562, 576, 590, 604, 619, 634, 649, 665,
    681, 698, 715, 732, 750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976};

// Largest resistor of a gain pair; above it the pair is scaled down keeping its ratio.
constexpr long double kGainPairLimit = 100000.0L;

// Decade exponents below this are never reached by a real resistor; they stop the scaling
// of a pair whose ratio no positive value can satisfy.
constexpr int kLowestExponent = -30;

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

long double pow10(int e) {
    return std::pow(10.0L, static_cast<long double>(e));
}

} // namespace

void GbwStep(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    const TStageCoeffs& s = d.Stages[stage];
    const long double wp = s.Wp, qp = s.Qp;
    const long double kw = c.GbwFactorWp, kq = c.GbwFactorQp;
    const long double wt = 2.0L * std::numbers::pi_v<long double> * static_cast<long double>(c.OpAmpGBW);

    c.WpPrime = wp;
    c.QpPrime = qp;
    c.GbwEffect = 0.0L;
    // The first-order error terms: an op amp of unity-gain frequency wt shifts the pole
    // frequency by about -kw wp/wt and the pole Q by about -kq wp/wt (relative); the
    // predistorted targets move the design the same amount the other way.
    if (finitePositive(wt) && finitePositive(wp)) {
        if (c.Predistort) {
            c.WpPrime = wp + wp * wp * kw / wt;
            c.QpPrime = qp + qp * wp * kq / wt;
        }
        const long double kq2 = finitePositive(qp) ? kq / (2.0L * qp) : 0.0L;
        c.GbwEffect = wp * std::sqrt(kw * kw + kq2 * kq2) / wt;
    }
    // The larger coefficient decides; on equal magnitudes kw is the one used (the same
    // magnitude either way).
    const long double k = std::max(std::fabs(kw), std::fabs(kq));
    c.MinRecGBW = RoundDownHalfDecade(20.0L * wp * k / (2.0L * std::numbers::pi_v<long double>));
}

long double RoundDownHalfDecade(long double x) {
    if (!finitePositive(x)) return 0.0L;
    int e = 0;
    while (x >= 10.0L) {
        x /= 10.0L;
        ++e;
    }
    // A value just below a half step only because of rounding (5 MHz x 20 stored as
    // 99 999 999.99997) belongs to that step: the relative allowance 1e-9 is far above
    // the rounding of a stored real and far below any real distance to the next step.
    const long double m = std::floor(2.0L * x * (1.0L + 1.0e-9L)) / 2.0L;
    return m * pow10(e);
}

std::span<const long double> E12Mantissas() {
    return kE12;
}
std::span<const long double> E24Mantissas() {
    return kE24;
}
std::span<const long double> E96Mantissas() {
    return kE96;
}

void ScaleGainPair(TStageCircuit& c, int n) {
    if (n < 2 || n > kResistorSlots) return;
    long double rn = R(c, n), rm = R(c, n - 1);
    if (!finitePositive(rn) || !finitePositive(rm)) return;
    int index = c.GainPairIndex, exponent = c.GainPairExponent;
    if (index < 0 || index >= static_cast<int>(kE24.size())) index = 0;
    while ((rn > kGainPairLimit || rm > kGainPairLimit) && exponent > kLowestExponent) {
        if (--index < 0) {
            index = static_cast<int>(kE24.size()) - 1;
            --exponent;
        }
        const long double next = kE24[index] * pow10(exponent);
        rm *= next / rn;
        rn = next;
    }
    c.GainPairIndex = static_cast<int16_t>(index);
    c.GainPairExponent = static_cast<int16_t>(exponent);
    R(c, n) = rn;
    R(c, n - 1) = rm;
}

long double StepE12(long double value, int steps) {
    if (!finitePositive(value)) return value;
    // Position of the nearest series value (nearest on a logarithmic scale), counted
    // over all decades: position p is kE12[p mod 12] x 10^(p div 12 - 2).
    int e = static_cast<int>(std::floor(std::log10(value))) - 2;
    const long double mantissa = value / pow10(e);
    int best = 0;
    long double bestDistance = INFINITY;
    for (int i = 0; i <= 12; ++i) {
        const long double m = i < 12 ? kE12[i] : 1000.0L;
        const long double dist = std::fabs(std::log(mantissa / m));
        if (dist < bestDistance) {
            bestDistance = dist;
            best = i;
        }
    }
    long position = static_cast<long>(e + 2) * 12 + best + steps;
    const long decade = position >= 0 ? position / 12 : -((-position + 11) / 12);
    const long i = position - decade * 12;
    return kE12[static_cast<std::size_t>(i)] * pow10(static_cast<int>(decade) - 2);
}

bool ComponentsValid(const TStageCircuit& c, int count, int capCount) {
    // A value at the Real48 limit is an overflow saturated on store, not a component.
    const auto ok = [](long double x) { return finitePositive(x) && x < Real48::largest(); };
    for (int n = 1; n <= std::min(count, kResistorSlots); ++n)
        if (!ok(R(c, n))) return false;
    for (int n = 1; n <= std::min(capCount, kCapacitorSlots); ++n)
        if (!ok(C(c, n))) return false;
    return true;
}

} // namespace velmora
