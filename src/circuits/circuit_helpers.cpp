// Helpers shared by the design routines: the finite-GBW step, the half-step rounding of
// the recommended GBW, the standard-value mantissas, the gain-pair scaling and the
// validity test of a finished design.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "circuits/circuit_design.h"
#include "circuits/standard_values.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

// The series as long doubles, built once from the one table of the preferred values.
template <std::size_t N> std::array<long double, N> AsLongDouble(Series series) {
    std::array<long double, N> out{};
    const auto mantissas = SeriesMantissas(series);
    for (std::size_t i = 0; i < N && i < mantissas.size(); ++i)
        out[i] = mantissas[i];
    return out;
}

// Largest resistor of a gain pair; above it the pair is scaled down keeping its ratio.
constexpr long double kGainPairLimit = 100000.0L;

// Decade exponents below this are never reached by a real resistor; they stop the scaling
// of a pair whose ratio no positive value can satisfy.
constexpr int kLowestExponent = -30;

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

long double pow10(int e) {
    return Pow10(e);
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

std::optional<long double> PredistortedNotchGain(const TDesign& d, int stage,
                                                 const RealisedStage<long double>& h) {
    const TStageCircuit& c = d.Circuits[stage];
    const TStageCoeffs& s = d.Stages[stage];
    if (!isNotch(s.StageType) || !c.Predistort || c.CompensationInUse) return std::nullopt;
    const long double wp = s.Wp, wz = s.Wz, wpPrime = c.WpPrime;
    if (!finitePositive(wp) || !finitePositive(wz) || !finitePositive(wpPrime) || wpPrime == wp)
        return std::nullopt;
    if (!(h.den[0] != 0.0L)) return std::nullopt;
    const long double g = std::fabs(h.num[0] / h.den[0]) * (wp / wz) * (wp / wz);
    if (!finitePositive(g)) return std::nullopt;
    return g;
}

namespace {

// RoundDownHalfDecade by one division where its outcome is certain. Clear of the powers
// of ten the loop below divides exactly e times, 10^e <= x < 10^(e+1), whatever its
// roundings; its quotient then differs from x / 10^e by a few roundings (below 1e-17
// relative), which cannot carry 2 x (1 + 1e-9) / 10^e across a whole number when it lies
// clear of one. Nothing where either is not clear, or x is below 10 (no division).
std::optional<long double> HalfStepByDivision(long double x) {
    constexpr long double kClear = 1.0e-12L;
    constexpr int kHighest = 60;
    if (!(x >= 10.0L) || !(x < Pow10(kHighest))) return std::nullopt;
    int e = 1;
    while (Pow10(e + 1) <= x)
        ++e;
    if (!(x > Pow10(e) * (1.0L + kClear) && x < Pow10(e + 1) * (1.0L - kClear))) return std::nullopt;
    const long double t = 2.0L * (x / Pow10(e)) * (1.0L + 1.0e-9L); // 2 <= t < 20.1
    const long double whole = static_cast<long double>(static_cast<int>(t));
    if (!(t - whole > kClear * t && whole + 1.0L - t > kClear * t)) return std::nullopt;
    return whole / 2.0L * pow10(e);
}

} // namespace

long double RoundDownHalfDecade(long double x) {
    if (!finitePositive(x)) return 0.0L;
    if (const auto fast = HalfStepByDivision(x)) return *fast;
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
    static const auto e12 = AsLongDouble<12>(Series::E12);
    return e12;
}
std::span<const long double> E24Mantissas() {
    static const auto e24 = AsLongDouble<24>(Series::E24);
    return e24;
}
std::span<const long double> E96Mantissas() {
    static const auto e96 = AsLongDouble<96>(Series::E96);
    return e96;
}

void ScaleGainPair(TStageCircuit& c, int n) {
    if (n < 2 || n > kResistorSlots) return;
    long double rn = R(c, n), rm = R(c, n - 1);
    if (!finitePositive(rn) || !finitePositive(rm)) return;
    const auto e24 = E24Mantissas();
    int index = c.GainPairIndex, exponent = c.GainPairExponent;
    if (index < 0 || index >= static_cast<int>(e24.size())) index = 0;
    while ((rn > kGainPairLimit || rm > kGainPairLimit) && exponent > kLowestExponent) {
        if (--index < 0) {
            index = static_cast<int>(e24.size()) - 1;
            --exponent;
        }
        const long double next = e24[static_cast<std::size_t>(index)] * pow10(exponent);
        rm *= next / rn;
        rn = next;
    }
    c.GainPairIndex = static_cast<int16_t>(index);
    c.GainPairExponent = static_cast<int16_t>(exponent);
    R(c, n) = rn;
    R(c, n - 1) = rm;
}

std::optional<SeriesPosition> LogNearestE12(long double value) {
    const auto nb = FindNeighbours(value, Series::E12);
    if (!nb) return std::nullopt;
    if (nb->standard) return nb->lower;
    // The nearer on a logarithmic scale, the lower one on a tie: |ln(upper/value)| against
    // |ln(value/lower)|. With both ratios at least 1 and apart by more than a relative
    // 1e-12, the logarithms (below 0.2 for neighbours of the 12-value series, rounded to
    // far less than 1e-18) order as the ratios do, and the ratios decide; a near tie is
    // left to the logarithms.
    const long double lower = SeriesValue(Series::E12, nb->lower),
                      upper = SeriesValue(Series::E12, nb->upper);
    const long double a = upper / value, b = value / lower;
    constexpr long double kClearTie = 1.0e-12L;
    bool up = false;
    if (a >= 1.0L && b >= 1.0L && std::fabs(a - b) > kClearTie * std::max(a, b))
        up = a < b;
    else
        up = std::fabs(std::log(a)) < std::fabs(std::log(b));
    return up ? nb->upper : nb->lower;
}

long double StepE12(long double value, int steps) {
    const auto nearest = LogNearestE12(value);
    if (!nearest) return value;
    return SeriesValue(Series::E12, StepPosition(Series::E12, *nearest, steps));
}

bool ComponentsValid(const TStageCircuit& c, int count, int capCount) {
    // A value at the Real48 limit is an overflow saturated on store, not a component.
    static const long double largest = Real48::largest();
    const auto ok = [](long double x) { return finitePositive(x) && x < largest; };
    for (int n = 1; n <= std::min(count, kResistorSlots); ++n)
        if (!ok(R(c, n))) return false;
    for (int n = 1; n <= std::min(capCount, kCapacitorSlots); ++n)
        if (!ok(C(c, n))) return false;
    return true;
}

} // namespace velmora
