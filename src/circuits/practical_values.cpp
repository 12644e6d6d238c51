// Practical component values: the values outside the range, and the starting capacitor
// that brings a stage's values inside it.
#include "circuits/practical_values.h"

#include <algorithm>
#include <cmath>

#include "circuits/components.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

// Decades by which x lies outside [lo, hi].
long double DecadesOutside(long double x, long double lo, long double hi) {
    if (x < lo) return std::log10(lo / x);
    if (x > hi) return std::log10(x / hi);
    return 0.0L;
}

// The starting capacitors the automatic choice tries: the 12-value series from 100 pF to
// 10 uF.
std::vector<long double> StartingCapacitors() {
    std::vector<long double> out;
    for (int decade = -10; decade <= -6; ++decade) // mantissa 100..820 x 10^decade: 100 pF .. 8.2 uF
        for (const int m : SeriesMantissas(Series::E12))
            out.push_back(m * std::pow(10.0L, static_cast<long double>(decade - 2)));
    out.push_back(10.0e-6L);
    return out;
}

} // namespace

std::vector<ImpracticalValue> ImpracticalValues(const TDesign& d, const PracticalRange& r) {
    std::vector<ImpracticalValue> out;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        if (c.NotRealisable || c.CircuitNumber == 0) continue;
        const auto check = [&](bool resistor, int n, long double v, long double lo, long double hi) {
            if (!finitePositive(v)) return;
            if (v < lo) out.push_back({i, resistor, n, v, lo, false});
            if (v > hi) out.push_back({i, resistor, n, v, hi, true});
        };
        for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n)
            check(true, n, R(c, n), r.MinOhms, r.MaxOhms);
        for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n)
            check(false, n, C(c, n), r.MinFarads, r.MaxFarads);
    }
    return out;
}

long double ImpracticalDecades(const TDesign& d, int stage, const PracticalRange& r) {
    const TStageCircuit& c = d.Circuits[stage];
    long double sum = 0.0L;
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n)
        if (finitePositive(R(c, n))) sum += DecadesOutside(R(c, n), r.MinOhms, r.MaxOhms);
    for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n)
        if (finitePositive(C(c, n))) sum += DecadesOutside(C(c, n), r.MinFarads, r.MaxFarads);
    return sum;
}

bool PreferPracticalStart(TDesign& d, int stage, const PracticalRange& r) {
    if (stage < 1 || stage > d.StageCount) return false;
    const TStageCircuit& c = d.Circuits[stage];
    if (c.NotRealisable || !StageCircuitRoutines(d, stage)) return false;
    long double best = ImpracticalDecades(d, stage, r);
    if (best == 0.0L) return false;
    const long double present = d.CapSets[stage].Value[1];
    if (!finitePositive(present)) return false;

    // Nearest to the present start first; on equal distance the smaller.
    std::vector<long double> starts = StartingCapacitors();
    std::stable_sort(starts.begin(), starts.end(), [&](long double x, long double y) {
        return std::fabs(std::log(x / present)) < std::fabs(std::log(y / present)) - 1.0e-12L;
    });
    const TDesign before = d;
    std::optional<long double> chosen;
    // A start must leave the values a hundredth of a decade less far out to count as
    // better, so that rounding never moves a stage.
    constexpr long double kBetter = 0.01L;
    for (const long double c1 : starts) {
        if (std::fabs(c1 / present - 1.0L) < 1.0e-9L) continue;
        if (!StartStageFrom(d, stage, c1)) {
            d = before;
            continue;
        }
        const long double figure = ImpracticalDecades(d, stage, r);
        d = before;
        if (figure < best - kBetter) {
            best = figure;
            chosen = c1;
            if (best == 0.0L) break; // the nearest start with practical values
        }
    }
    if (!chosen) return false;
    if (!StartStageFrom(d, stage, *chosen)) {
        d = before;
        return false;
    }
    return true;
}

} // namespace velmora
