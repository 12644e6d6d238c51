#include "approx/attenuation_mask.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Open bands are checked this far beyond their edge (factors of frequency).
constexpr long double kOpenPassbandBelow = 1.0e-3L; // a lowpass's passband towards DC
constexpr long double kOpenPassbandAbove = 10.0L;   // a highpass's passband upwards
constexpr long double kOpenStopband = 100.0L;       // either way
constexpr long double kGridPerDecade = 200.0L;      // grid steps of 1.16 %
constexpr int kGoldenSteps = 40;                    // brackets two grid steps wide to 1e-9
constexpr long double kAttenuationCeilingDb = 400.0L;
// Local extremes of the grid further than this from the worst grid value are not
// refined: between two grid points a smooth response moves less than that.
constexpr long double kRefineWithinDb = 3.0L;

// The attenuation (dB below referenceGain) of a gain, with the ceiling of a notch bottom.
long double Attenuation(long double referenceGain, long double g) {
    if (!(g > 0.0L)) return kAttenuationCeilingDb;
    return std::min(kAttenuationCeilingDb, 20.0L * std::log10(referenceGain / g));
}

struct Worst {
    long double value = 0; // the objective: attenuation over a passband, minus it over a stopband
    long double w = 0;
};

// The logarithmic grid over [lo, hi]. The grids of the last few bands are kept (per
// thread): choosing standard values for the whole filter checks the same mask with
// another set of components a few hundred times in a row, and the powers of the grid
// took as long as the responses evaluated on it.
std::vector<long double> LogGrid(long double lo, long double hi) {
    struct Grid {
        long double lo, hi;
        std::vector<long double> x;
    };
    constexpr std::size_t kKept = 4; // a bandstop's two passbands and its stopband, and one more
    thread_local std::vector<Grid> kept;
    for (const Grid& g : kept)
        if (g.lo == lo && g.hi == hi) return g.x;
    const int n = std::max(8, static_cast<int>(std::ceil(kGridPerDecade * std::log10(hi / lo))));
    std::vector<long double> x;
    x.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
        x.push_back(i == n ? hi : lo * std::pow(hi / lo, static_cast<long double>(i) / n));
    if (kept.size() == kKept) kept.erase(kept.begin());
    kept.push_back({lo, hi, x});
    return x;
}

// The largest of objective(w) over [lo, hi]: a logarithmic grid and the given feature
// frequencies, then a golden-section search between the neighbours of every local
// largest grid value that could be the worst.
// With a `limit`, the search ends at the first grid value above it: enough to know that
// the mask is missed.
std::optional<Worst> LargestOver(const FrequencyBand& band, const std::vector<long double>& features,
                                 const std::function<std::optional<long double>(long double)>& objective,
                                 long double limit) {
    const long double lo = band.Lo, hi = band.Hi;
    if (!(lo > 0.0L) || !(hi >= lo)) return std::nullopt;
    std::vector<long double> x = LogGrid(lo, hi);
    x.reserve(x.size() + features.size());
    for (long double f : features)
        if (f > lo && f < hi) x.push_back(f);
    std::sort(x.begin(), x.end());
    x.erase(std::unique(x.begin(), x.end()), x.end());

    std::vector<long double> v(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const auto f = objective(x[i]);
        if (!f) return std::nullopt;
        v[i] = *f;
        if (v[i] > limit) return Worst{v[i], x[i]};
    }
    const std::size_t gridWorst = static_cast<std::size_t>(std::max_element(v.begin(), v.end()) - v.begin());
    Worst worst{v[gridWorst], x[gridWorst]};
    for (std::size_t i = 1; i + 1 < x.size(); ++i) {
        if (v[i] < v[i - 1] || v[i] < v[i + 1] || v[i] < worst.value - kRefineWithinDb) continue;
        // Golden section in log w over the two neighbouring steps.
        constexpr long double r = 0.6180339887498948482L;
        long double a = std::log(x[i - 1]), b = std::log(x[i + 1]);
        long double c = b - r * (b - a), d = a + r * (b - a);
        auto fc = objective(std::exp(c)), fd = objective(std::exp(d));
        if (!fc || !fd) return std::nullopt;
        for (int k = 0; k < kGoldenSteps; ++k) {
            if (*fc >= *fd) {
                b = d, d = c, fd = fc;
                c = b - r * (b - a);
                fc = objective(std::exp(c));
                if (!fc) return std::nullopt;
            } else {
                a = c, c = d, fc = fd;
                d = a + r * (b - a);
                fd = objective(std::exp(d));
                if (!fd) return std::nullopt;
            }
        }
        const bool left = *fc >= *fd;
        const long double value = left ? *fc : *fd;
        if (value > worst.value) worst = {value, std::exp(left ? c : d)};
    }
    return worst;
}

} // namespace

FrequencyBand BandAbout(long double w0, long double bandwidth) {
    const long double half = 0.5L * bandwidth;
    const long double lo = std::sqrt(w0 * w0 + half * half) - half;
    return {lo, lo + bandwidth};
}

SpecificationBands BandsOf(const Specification& s) {
    SpecificationBands b;
    const long double wpb = s.wpb, wsb = s.wsb;
    switch (s.FilterType) {
    case Lowpass:
        b.Pass.push_back({wpb * kOpenPassbandBelow, wpb});
        b.Stop.push_back({wsb, wsb * kOpenStopband});
        break;
    case Highpass:
        b.Pass.push_back({wpb, wpb * kOpenPassbandAbove});
        b.Stop.push_back({wsb / kOpenStopband, wsb});
        break;
    case Bandpass: {
        const FrequencyBand p = BandAbout(s.w0, s.Bpb), st = BandAbout(s.w0, s.Bsb);
        b.Pass.push_back(p);
        b.Stop.push_back({st.Lo / kOpenStopband, st.Lo});
        b.Stop.push_back({st.Hi, st.Hi * kOpenStopband});
        break;
    }
    case Bandstop: {
        const FrequencyBand p = BandAbout(s.w0, s.Bpb), st = BandAbout(s.w0, s.Bsb);
        b.Pass.push_back({p.Lo * kOpenPassbandBelow, p.Lo});
        b.Pass.push_back({p.Hi, p.Hi * kOpenPassbandAbove});
        b.Stop.push_back(st);
        break;
    }
    default:
        break;
    }
    if (s.ForceOrder) b.Stop.clear();
    return b;
}

namespace {

std::optional<MaskMargins> Margins(const Specification& s, long double referenceGain,
                                   const GainFunction& gain, const std::vector<long double>& features,
                                   long double toleranceDb) {
    const SpecificationBands bands = BandsOf(s);
    if (bands.Pass.empty() || !(referenceGain > 0.0L)) return std::nullopt;
    const long double apb = s.Apb, asb = s.Asb;
    // Objectives: the attenuation over a passband (sign +1), its negative over a stopband
    // (sign -1), so that the worst point is the largest in both; `limit` ends the search
    // at a miss.
    const auto worstOver = [&](const std::vector<FrequencyBand>& list, long double sign,
                               long double limit) -> std::optional<Worst> {
        std::optional<Worst> worst;
        for (const FrequencyBand& band : list) {
            const auto w = LargestOver(
                band, features,
                [&](long double x) -> std::optional<long double> {
                    const auto g = gain(x);
                    if (!g) return std::nullopt;
                    return sign * Attenuation(referenceGain, *g);
                },
                limit);
            if (!w) return std::nullopt;
            if (!worst || w->value > worst->value) worst = w;
        }
        return worst;
    };
    const auto pass = worstOver(bands.Pass, 1.0L, apb + toleranceDb);
    if (!pass) return std::nullopt;
    MaskMargins m;
    m.PassMarginDb = apb - pass->value;
    m.PassWorstW = pass->w;
    m.HasStop = !bands.Stop.empty();
    if (m.HasStop) {
        const auto stop = worstOver(bands.Stop, -1.0L, -asb + toleranceDb);
        if (!stop) return std::nullopt;
        m.StopMarginDb = -stop->value - asb;
        m.StopWorstW = stop->w;
    }
    return m;
}

} // namespace

std::optional<MaskMargins> CheckMask(const Specification& s, long double referenceGain,
                                     const GainFunction& gain, const std::vector<long double>& features) {
    return Margins(s, referenceGain, gain, features, HUGE_VALL);
}

std::optional<bool> MaskHolds(const Specification& s, long double referenceGain, const GainFunction& gain,
                              const std::vector<long double>& features) {
    const auto m = Margins(s, referenceGain, gain, features, MaskMargins::kMaskToleranceDb);
    if (!m) return std::nullopt;
    return m->Meets();
}

} // namespace velmora
