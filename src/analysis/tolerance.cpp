// Filter-level tolerance and temperature analysis and its report.
#include "analysis/tolerance.h"

#include <cmath>
#include <numbers>

#include "analysis/final_response.h"
#include "analysis/frequency_response.h"
#include "circuits/components.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

long double UpperEdge(long double w0, long double bandwidth) {
    return std::sqrt(w0 * w0 + 0.25L * bandwidth * bandwidth) + 0.5L * bandwidth;
}

// A stage's capacitors are exact when the caller says so or the person entered them.
bool CapacitorsExact(const TDesign& d, const ExactCapacitors& exact, int stage) {
    return exact[static_cast<std::size_t>(stage)] || d.Circuits[stage].CapsExact != 0;
}

} // namespace

std::optional<FilterTolerance> AnalyseFilter(const TDesign& d, long double w, const ExactCapacitors& exact) {
    if (d.StageCount < 1 || !(w > 0.0L)) return std::nullopt;
    FilterTolerance f;
    f.W = w;
    const ToleranceSettings t = SettingsOf(d);
    long double variance = 0.0L;
    for (int i = 1; i <= d.StageCount; ++i) {
        const auto s = AnalyseStage(d, i, d.Circuits[i], w, t, CapacitorsExact(d, exact, i));
        if (!s) return std::nullopt;
        variance += s->Spread * s->Spread;
        f.TempChange += s->TotalChange;
        f.Stages.push_back(*s);
    }
    f.Spread = std::sqrt(variance);
    return f;
}

long double PassbandEdge(const Specification& s) {
    if (s.FilterType == Lowpass || s.FilterType == Highpass) return s.wpb;
    return UpperEdge(s.w0, s.Bpb);
}

long double StopbandEdge(const Specification& s) {
    if (s.FilterType == Lowpass || s.FilterType == Highpass) return s.wsb;
    return UpperEdge(s.w0, s.Bsb);
}

std::optional<long double> DesignAttenuation(const TDesign& d, long double w) {
    const auto p = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
    if (!p || !(p->GainVV > 0.0L)) return std::nullopt;
    const long double nominal =
        d.Spec.OverallGain > 0.0L ? static_cast<long double>(d.Spec.OverallGain) : 1.0L;
    return 20.0L * std::log10(nominal / p->GainVV);
}

std::optional<AttenuationBounds> BoundsAt(const TDesign& d, long double w, const ExactCapacitors& exact) {
    const auto f = AnalyseFilter(d, w, exact);
    const auto a = DesignAttenuation(d, w);
    if (!f || !a) return std::nullopt;
    AttenuationBounds b;
    b.W = w;
    b.Design = *a;
    b.Spread = f->Spread;
    b.Upper = *a - f->Spread;
    b.Lower = *a + f->Spread;
    b.TempChange = f->TempChange;
    b.AtTempRise = *a - f->TempChange;
    return b;
}

std::vector<TemperatureEffectPoint> TemperatureEffectCurve(const TDesign& d) {
    std::vector<TemperatureEffectPoint> out;
    const auto samples = FinalResponse(d, StandardCExactR, 1, d.StageCount);
    if (samples.empty()) return out;
    const long double nominalDb =
        GainToDb(d.Spec.OverallGain > 0.0L ? static_cast<long double>(d.Spec.OverallGain) : 1.0L);
    for (const FinalFrequencySample& s : samples) {
        TemperatureEffectPoint p;
        p.FHz = s.FHz;
        p.W = s.W;
        p.Design = nominalDb - s.GainDb;
        p.TempEffect = p.Design;
        if (s.W > 0.0L) {
            const auto f = AnalyseFilter(d, s.W);
            if (!f) return {};
            for (const StageTolerance& st : f->Stages)
                p.AtNotch = p.AtNotch || st.D.AtNotch;
            p.TempEffect = p.Design - f->TempChange;
        }
        out.push_back(p);
    }
    return out;
}

bool ApplyToleranceRequest(TDesign& d, const ToleranceRequest& r) {
    auto within = [](const std::optional<long double>& v, long double lo, long double hi) {
        return !v || (*v >= lo && *v <= hi); // a NaN fails both comparisons
    };
    for (const auto& v : {r.ResistorPct, r.CapacitorPct, r.OpAmpPct})
        if (!within(v, 0.0L, kMaxTolerancePct)) return false;
    for (const auto& v : {r.ResistorPpm, r.CapacitorPpm})
        if (!within(v, -kMaxTempCoPpm, kMaxTempCoPpm)) return false;
    if (!within(r.TempRise, 0.0L, kMaxTempRise)) return false;
    ComponentCharacteristics& k = d.Components;
    if (r.ResistorPct) k.ResistorTolerance = *r.ResistorPct;
    if (r.CapacitorPct) k.CapacitorTolerance = *r.CapacitorPct;
    if (r.ResistorPpm) k.ResistorTempCo = *r.ResistorPpm * 1.0e-6L;
    if (r.CapacitorPpm) k.CapacitorTempCo = *r.CapacitorPpm * 1.0e-6L;
    if (r.TempRise) k.TempRise = *r.TempRise;
    if (r.OpAmpPct) {
        k.OpAmpTolerance = *r.OpAmpPct;
        for (int i = 1; i <= kMaxStages; ++i)
            d.Circuits[i].GbwTolerance = *r.OpAmpPct;
    }
    const long double tR = k.ResistorTolerance;
    if (k.UseResInventory && tR != 1.0L && tR != 5.0L && tR != 10.0L) {
        k.UseResInventory = 0;
        if (d.DesignLevel >= LevelComponents)
            for (int i = 1; i <= d.StageCount; ++i)
                if (d.Circuits[i].CircuitChoice > 0) CalculateComponents(d, i);
    }
    return true;
}

std::optional<ToleranceReport> BuildToleranceReport(const TDesign& d, const ExactCapacitors& exact) {
    const auto f = AnalyseFilter(d, PassbandEdge(d.Spec), exact);
    if (!f) return std::nullopt;
    ToleranceReport r;
    r.AtPassbandEdge = *f;
    for (int i = 1; i <= d.StageCount; ++i)
        r.CapacitorsExact = r.CapacitorsExact || CapacitorsExact(d, exact, i);
    r.PassBounds = BoundsAt(d, PassbandEdge(d.Spec), exact);
    r.StopBounds = BoundsAt(d, StopbandEdge(d.Spec), exact);
    return r;
}

} // namespace velmora
