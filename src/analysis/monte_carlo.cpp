// Monte Carlo analysis of the built filter.
#include "analysis/monte_carlo.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "analysis/frequency_response.h"
#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
// Allowance on the mask for the rounding of a design that meets an edge exactly.
constexpr long double kMaskAllowanceDb = 1.0e-6L;

// Uniform on [0, 1) from the top 53 bits of a draw, and on (0, 1] for logarithms. The
// draws are analysis data: a deviation needs far less than double's 53 bits (its effect
// on a gain is below 1e-15 relative), and double's logarithm and sines take a fraction of
// the time of extended ones, which here is most of the analysis.
class Draws {
  public:
    explicit Draws(std::uint64_t seed) : gen_(seed) {}
    double Uniform01() { return static_cast<double>(gen_() >> 11) * 0x1.0p-53; }
    // Box-Muller: two uniforms give two independent standard normals; the second is kept.
    double Normal() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double u1 = 1.0 - Uniform01(); // (0, 1]
        const double u2 = Uniform01();
        const double r = std::sqrt(-2.0 * std::log(u1));
        const double a = 2.0 * std::numbers::pi * u2;
        spare_ = r * std::sin(a);
        haveSpare_ = true;
        return r * std::cos(a);
    }
    // A relative deviation within tolerance t (fraction).
    long double Deviation(long double t, ToleranceDistribution dist) {
        if (dist == ToleranceDistribution::Uniform) return t * (2.0L * Uniform01() - 1.0L);
        return t / 3.0L * Normal();
    }

  private:
    std::mt19937_64 gen_;
    double spare_ = 0;
    bool haveSpare_ = false;
};

struct StageModel {
    const CircuitRoutines* routines = nullptr;
    const Topology* topology = nullptr;
    ComponentValues<long double> nominal;
    int resistors = 0, capacitors = 0;
    long double tR = 0, tC = 0, tA = 0; // fractions
    long double gbw = 0;                // Hz
};

using Cx = std::complex<long double>;

// |P(jw)|^2 of a polynomial of degree up to 3, (a0 - a2 w^2)^2 + (a1 w - a3 w^3)^2: a
// few real products instead of a complex evaluation and a hypotenuse.
long double SquaredMagnitude(const std::array<long double, 4>& a, long double w, long double w2) {
    const long double re = a[0] - a[2] * w2;
    const long double im = (a[1] - a[3] * w2) * w;
    return re * re + im * im;
}

// The stage's squared gain |H(jw)|^2 (w2 = w^2).
std::optional<long double> StageSquaredGain(const StageModel& m, const ComponentValues<long double>& v,
                                            long double gbw, bool opAmps, long double w, long double w2,
                                            const RealisedStage<long double>& h) {
    if (opAmps) {
        const auto g = NodalResponse(*m.topology, v, Cx(0.0L, w),
                                     OpAmpModel::SinglePole(gbw, kOpAmpDcGain, kOpAmpOutputResistance));
        if (!g) return std::nullopt;
        return std::norm(*g);
    }
    const long double den = SquaredMagnitude(h.den, w, w2);
    if (!(den > 0.0L)) return std::nullopt;
    return SquaredMagnitude(h.num, w, w2) / den;
}

bool InBand(long double w, long double w0, long double bandwidth) {
    const long double half = 0.5L * bandwidth;
    const long double lo = std::sqrt(w0 * w0 + half * half) - half, hi = lo + bandwidth;
    return w >= lo && w <= hi;
}

} // namespace

bool MeetsMask(const Specification& s, long double w, long double a) {
    bool pass = false, stop = false;
    switch (s.FilterType) {
    case Lowpass:
        pass = w <= s.wpb;
        stop = w >= s.wsb;
        break;
    case Highpass:
        pass = w >= s.wpb;
        stop = w <= s.wsb;
        break;
    case Bandpass:
        pass = InBand(w, s.w0, s.Bpb);
        stop = !InBand(w, s.w0, s.Bsb);
        break;
    case Bandstop:
        pass = !InBand(w, s.w0, s.Bpb);
        stop = InBand(w, s.w0, s.Bsb);
        break;
    default:
        return true;
    }
    if (pass && a > s.Apb + kMaskAllowanceDb) return false;
    // A forced order has no stopband requirement.
    if (stop && !s.ForceOrder && a < s.Asb - kMaskAllowanceDb) return false;
    return true;
}

std::vector<long double> MaskFrequencies(const TDesign& d) {
    std::vector<long double> out;
    if (d.Spec.FilterType == UserDefined) return out;
    const std::vector<FinalFrequencySample> column = FinalResponseSamples(d);
    if (column.size() < 3) return out;
    const Specification& s = d.Spec;
    out.push_back(PassbandEdge(s));
    out.push_back(StopbandEdge(s));
    if (s.FilterType == Bandpass || s.FilterType == Bandstop) {
        out.push_back(PassbandEdge(s) - s.Bpb);
        out.push_back(StopbandEdge(s) - s.Bsb);
    }
    // A point of a band by the mask's own test: an attenuation the mask refuses there.
    const auto inPass = [&s](long double w) { return !MeetsMask(s, w, s.Apb + 1.0L); };
    const auto inStop = [&s](long double w) { return !MeetsMask(s, w, s.Asb - 1.0L); };
    for (std::size_t k = 1; k + 1 < column.size(); ++k) {
        const double g = column[k].GainDb, before = column[k - 1].GainDb, after = column[k + 1].GainDb;
        const long double w = column[k].W;
        if (inPass(w) && g <= before && g <= after) out.push_back(w); // attenuation at its peak
        if (inStop(w) && g >= before && g >= after) out.push_back(w); // a stopband lobe
    }
    return out;
}

std::optional<MonteCarloResult> RunMonteCarlo(const TDesign& d, const MonteCarloOptions& o) {
    if (d.StageCount < 1 || o.Runs < 1) return std::nullopt;
    const int last = o.Last > 0 ? o.Last : d.StageCount;
    if (o.First < 1 || last > d.StageCount || o.First > last) return std::nullopt;
    std::vector<StageModel> stages;
    for (int i = o.First; i <= last; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        StageModel m;
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        m.routines = StageCircuitRoutines(d, i);
        if (!e || !m.routines || c.NotRealisable || !ComponentsValid(c, c.ResistorCount, c.CapacitorCount))
            return std::nullopt;
        m.topology = FindTopology(e->key, c.CompensationInUse != 0);
        if (o.ModelOpAmps && (!m.topology || !(c.OpAmpGBW > 0.0L))) return std::nullopt;
        m.nominal = StageComponentValues(c);
        m.resistors = std::min<int>(c.ResistorCount, kResistorSlots);
        m.capacitors = std::min<int>(c.CapacitorCount, kCapacitorSlots);
        m.tR = d.Components.ResistorTolerance / 100.0L;
        const bool exact = o.Exact[static_cast<std::size_t>(i)] || c.CapsExact != 0;
        m.tC = exact ? 0.0L : d.Components.CapacitorTolerance / 100.0L;
        m.tA = c.GbwTolerance / 100.0L;
        m.gbw = c.OpAmpGBW;
        stages.push_back(m);
    }

    std::vector<long double> w = o.W;
    std::vector<long double> fHz;
    if (w.empty()) {
        for (const FinalFrequencySample& s : FinalResponseSamples(d)) {
            w.push_back(s.W);
            fHz.push_back(s.FHz);
        }
        if (w.empty()) return std::nullopt;
    } else {
        for (const long double x : w)
            fHz.push_back(x / kTwoPi);
    }
    // The mask is also checked exactly at the edges.
    std::vector<long double> maskW = w;
    const bool hasMask = d.Spec.FilterType != UserDefined;
    if (hasMask) {
        maskW.push_back(PassbandEdge(d.Spec));
        maskW.push_back(StopbandEdge(d.Spec));
        if (d.Spec.FilterType == Bandpass || d.Spec.FilterType == Bandstop) {
            maskW.push_back(PassbandEdge(d.Spec) - d.Spec.Bpb);
            maskW.push_back(StopbandEdge(d.Spec) - d.Spec.Bsb);
        }
    }
    std::vector<long double> maskW2, vv;
    for (const long double x : maskW)
        maskW2.push_back(x * x);
    const std::size_t n = w.size();
    const long double nominalDb =
        GainToDb(d.Spec.OverallGain > 0.0L ? static_cast<long double>(d.Spec.OverallGain) : 1.0L);

    // One copy of the filter: its gain (dB) at every mask frequency, the band's first.
    const auto evaluate = [&](const std::vector<ComponentValues<long double>>& values,
                              const std::vector<long double>& gbw, std::vector<long double>& gainDb) -> bool {
        // The product of the squared stage gains, one logarithm per frequency: 10 log10 of
        // the squared gain is the gain in dB.
        gainDb.assign(maskW.size(), 0.0L);
        vv.assign(maskW.size(), 1.0L);
        for (std::size_t s = 0; s < stages.size(); ++s) {
            const RealisedStage<long double> h = stages[s].routines->realise(values[s]);
            for (std::size_t k = 0; k < maskW.size(); ++k) {
                const auto g =
                    StageSquaredGain(stages[s], values[s], gbw[s], o.ModelOpAmps, maskW[k], maskW2[k], h);
                if (!g || !std::isfinite(*g)) return false;
                vv[k] *= *g;
            }
        }
        for (std::size_t k = 0; k < maskW.size(); ++k)
            gainDb[k] = vv[k] > kGainFloorVV * kGainFloorVV ? 10.0L * std::log10(vv[k]) : kGainFloorDb;
        return true;
    };

    MonteCarloResult r;
    r.Runs = o.Runs;
    r.Seed = o.Seed;
    r.Band.resize(n);
    std::vector<ComponentValues<long double>> values;
    std::vector<long double> gbw;
    for (const StageModel& m : stages) {
        values.push_back(m.nominal);
        gbw.push_back(m.gbw);
    }
    std::vector<long double> gain;
    if (!evaluate(values, gbw, gain)) return std::nullopt;
    for (std::size_t k = 0; k < n; ++k) {
        r.Band[k].W = w[k];
        r.Band[k].FHz = fHz[k];
        r.Band[k].Nominal = gain[k];
        r.Band[k].Min = INFINITY;
        r.Band[k].Max = -INFINITY;
    }

    // Running mean and sum of squared deviations (Welford), per frequency.
    std::vector<long double> mean(n, 0.0L), m2(n, 0.0L);
    Draws draws(o.Seed);
    int passed = 0, done = 0;
    for (int run = 0; run < o.Runs; ++run) {
        if (o.Continue && !o.Continue(run, o.Runs)) return std::nullopt;
        for (std::size_t s = 0; s < stages.size(); ++s) {
            const StageModel& m = stages[s];
            values[s] = m.nominal;
            for (int i = 1; i <= m.resistors; ++i)
                values[s].R[static_cast<std::size_t>(i)] *= 1.0L + draws.Deviation(m.tR, o.Distribution);
            for (int i = 1; i <= m.capacitors; ++i)
                values[s].C[static_cast<std::size_t>(i)] *= 1.0L + draws.Deviation(m.tC, o.Distribution);
            gbw[s] = m.gbw * (1.0L + draws.Deviation(m.tA, o.Distribution));
        }
        if (!evaluate(values, gbw, gain)) continue; // a drawn copy on a pole: not counted
        ++done;
        for (std::size_t k = 0; k < n; ++k) {
            MonteCarloPoint& p = r.Band[k];
            p.Min = std::min(p.Min, gain[k]);
            p.Max = std::max(p.Max, gain[k]);
            const long double delta = gain[k] - mean[k];
            mean[k] += delta / done;
            m2[k] += delta * (gain[k] - mean[k]);
        }
        bool ok = true;
        for (std::size_t k = 0; k < maskW.size() && ok; ++k)
            ok = MeetsMask(o.Mask ? *o.Mask : d.Spec, maskW[k], nominalDb - gain[k]);
        if (ok) ++passed;
    }
    if (done == 0) return std::nullopt;
    for (std::size_t k = 0; k < n; ++k) {
        r.Band[k].Mean = mean[k];
        r.Band[k].Sigma = done > 1 ? std::sqrt(m2[k] / (done - 1)) : 0.0L;
    }
    if (hasMask) r.Yield = static_cast<long double>(passed) / o.Runs;
    return r;
}

} // namespace velmora
