// Filter-level tolerance and temperature analysis and its report.
#include "analysis/tolerance.h"

#include <cmath>
#include <numbers>

#include "analysis/final_response.h"
#include "analysis/frequency_response.h"
#include "circuits/components.h"
#include "model/number_text.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

long double UpperEdge(long double w0, long double bandwidth) {
    return std::sqrt(w0 * w0 + 0.25L * bandwidth * bandwidth) + 0.5L * bandwidth;
}

std::string Fixed(long double x, int decimals) {
    return FixedText(x, decimals);
}

// A frequency as the report heads it, in Hz or rad/s.
std::string FrequencyText(const TDesign& d, long double w) {
    return d.Opt.FreqUnitsHz ? Fixed(w / kTwoPi, 2) + " Hz" : Fixed(w, 2) + " rad/s";
}

// A stage's capacitors are exact when the caller says so or the person entered them.
bool CapacitorsExact(const TDesign& d, const ExactCapacitors& exact, int stage) {
    return exact[static_cast<std::size_t>(stage)] || d.Circuits[stage].CapsExact != 0;
}

std::string Pad(std::string s, std::size_t width) {
    if (s.size() < width) s.insert(0, width - s.size(), ' ');
    return s;
}

void BoundsLines(std::vector<std::string>& out, const TDesign& d, const char* heading,
                 const AttenuationBounds& b) {
    out.push_back(std::string(heading) + "[" + FrequencyText(d, b.W) + "]:");
    out.push_back("  design curve  " + Fixed(b.Design, 3) + " dB");
    out.push_back("  Spread       ±" + Fixed(b.Spread, 3) + " dB");
    // Named by what they are: the design attenuation less and plus the spread, the least
    // and the most attenuation a built filter is expected to show there.
    out.push_back("  least attenuation   " + Fixed(b.Upper, 3) + " dB");
    out.push_back("  most attenuation    " + Fixed(b.Lower, 3) + " dB");
}

void TemperatureLines(std::vector<std::string>& out, const TDesign& d, const char* heading,
                      const AttenuationBounds& b) {
    out.push_back(std::string(heading) + "[" + FrequencyText(d, b.W) + "]:");
    out.push_back("  design                     " + Fixed(b.Design, 3) + " dB");
    const std::string warmer = "  design, " + Fixed(d.Components.TempRise, 0) + " deg C warmer";
    out.push_back(warmer + std::string(warmer.size() < 29 ? 29 - warmer.size() : 1, ' ') +
                  Fixed(b.AtTempRise, 3) + " dB");
    out.push_back("  Change                     " + Fixed(b.AtTempRise - b.Design, 3) + " dB");
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
    r.PassBounds = BoundsAt(d, PassbandEdge(d.Spec), exact);
    r.StopBounds = BoundsAt(d, StopbandEdge(d.Spec), exact);
    return r;
}

std::vector<std::string> ToleranceReportText(const TDesign& d, const ToleranceReport& r,
                                             const ExactCapacitors& exact) {
    std::vector<std::string> out;
    const ComponentCharacteristics& k = d.Components;
    bool anyExact = false;
    for (int i = 1; i <= d.StageCount; ++i)
        anyExact = anyExact || CapacitorsExact(d, exact, i);
    // Gain spread table.
    std::string head = "Resistor tolerance = " + TrimmedText(k.ResistorTolerance, 2);
    head += anyExact ? "%    Capacitor values exact"
                     : "%    Capacitor tolerance = " + TrimmedText(k.CapacitorTolerance, 2) + "%";
    out.push_back(head);
    out.push_back("                          Gain Spread (±dB)");
    out.push_back("Stage   GBW     Tol(%)   Passive   Active    Total");
    out.push_back("        MHz");
    for (std::size_t i = 0; i < r.AtPassbandEdge.Stages.size(); ++i) {
        const TStageCircuit& c = d.Circuits[static_cast<int>(i) + 1];
        const StageTolerance& s = r.AtPassbandEdge.Stages[i];
        out.push_back(Pad(std::to_string(i + 1), 5) + Pad(Fixed(c.OpAmpGBW / 1.0e6L, 2), 8) +
                      Pad(Fixed(c.GbwTolerance, 0), 9) + Pad(Fixed(s.PassiveSpread, 4), 10) +
                      Pad(Fixed(s.ActiveSpread, 4), 9) + Pad(Fixed(s.Spread, 4), 9));
    }
    out.push_back("Tol(%) is the op amps' GBW tolerance; Passive: spread from the R and C tolerances,");
    out.push_back("Active: from the GBW tolerance.");
    out.push_back("Total gain spread  = ((Passive spread)²+(Active spread)²)½");
    out.push_back("Filter gain spread = (Σ(Stage gain spread)²)½");
    out.push_back("At " + FrequencyText(d, r.AtPassbandEdge.W) + ", gain spread = ±" +
                  Fixed(r.AtPassbandEdge.Spread, 4) + " dB:");
    out.push_back("");
    // Temperature table.
    out.push_back("Temperature coefficients (ppm/deg C):  R = " + TrimmedText(k.ResistorTempCo * 1.0e6L, 1) +
                  "   C = " + TrimmedText(k.CapacitorTempCo * 1.0e6L, 1));
    out.push_back("         OA Temp. Coeff.       Gain Change (dB)");
    out.push_back("Stage    (ppm/deg C)      Passive   Active    Total");
    for (std::size_t i = 0; i < r.AtPassbandEdge.Stages.size(); ++i) {
        const TStageCircuit& c = d.Circuits[static_cast<int>(i) + 1];
        const StageTolerance& s = r.AtPassbandEdge.Stages[i];
        out.push_back(Pad(std::to_string(i + 1), 5) + Pad(Fixed(c.GbwTempCo * 1.0e6L, 0), 14) +
                      Pad(Fixed(s.PassiveChange, 4), 13) + Pad(Fixed(s.ActiveChange, 4), 9) +
                      Pad(Fixed(s.TotalChange, 4), 9));
    }
    out.push_back("Total gain change  = Passive change + Active change");
    out.push_back("Filter gain change = Σ(Stage total gain change)");
    out.push_back("At " + FrequencyText(d, r.AtPassbandEdge.W) +
                  ", gain change = " + Fixed(r.AtPassbandEdge.TempChange, 4) + " dB");
    out.push_back("");
    // Attenuation bounds.
    out.push_back("Passband Maximum Attenuation " + Fixed(d.Spec.Apb, 3) + " dB");
    out.push_back("Passband Minimum Attenuation " + Fixed(0.0L, 3) + " dB");
    if (r.PassBounds) BoundsLines(out, d, "At the Passband Edge ", *r.PassBounds);
    if (r.StopBounds) BoundsLines(out, d, "At the Stopband Edge ", *r.StopBounds);
    out.push_back("");
    if (r.PassBounds) TemperatureLines(out, d, "At the Passband Edge ", *r.PassBounds);
    if (r.StopBounds) TemperatureLines(out, d, "At the Stopband Edge ", *r.StopBounds);
    return out;
}

} // namespace velmora
