// Tuning instructions: the table, the templates and the values of each section.
#include "circuits/tuning.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "model/number_text.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

using Cx = std::complex<long double>;
constexpr long double kPi = std::numbers::pi_v<long double>;

// ---- Data -------------------------------------------------------------------------------

struct TableEntry {
    std::string_view key, entry;
};
constexpr TableEntry kTable[] = {
    {"FLP01", "EX R1"},
    {"FLP02", "EX R1"},
    {"FLP03", "EX R2"},
    {"FHP01", "EX R1"},
    {"FHP02", "EX R1"},
    {"FHP03", "EX R1"},
    {"FHP04", "EX R1"},
    {"SLP01", "FA C2QP01 R1WP"},
    {"SLP02", "GO R1WP00 R4QP"},
    {"SLP03", "GO R3WP00 R1QP"},
    {"SLP04", "FA R1WP01 R4QP"},
    {"SLP08", "EX R5WP00 R3QP"},
    {"SLP13", "GO R2WP00 R5QP"},
    {"SHP01", "GO R1QP00 C1WP"},
    {"SHP02", "GO R1WP00 R3QP"},
    {"SHP03", "GO R1WP00 C1QP"},
    {"SHP06", "EX R5WP00 R3QP"},
    {"SHP10", "GO R2WP00 R5QP"},
    {"SBP03", "GO R3WP00 R4QP"},
    {"SBP04", "GO R2QP00 C1WP"},
    {"SBP05", "GO R2WP00 R4QP"},
    {"SBP08", "EX R5WP00 R3QP"},
    {"SBP13", "GO R2WP00 R5QP"},
    {"SLPN01", "NR"},
    {"SLPN04", "PO R3WP01 C2WZ00 R1QP01 R2QZ"},
    {"SLPN10", "EX R7WP00 R5QP00 C3QZ00 R1WZ"},
    {"SHPN01", "NR"},
    {"SHPN03", "PO R7WP01 R5WZ00 R2QP01 R1QZ"},
    {"SHPN09", "EX C3QZ00 R1WZ00 R7WP00 R5QP"},
    {"SN01", "NR"},
    {"SN02", "NR"},
    {"SN09", "NR"},
};

struct TemplateLine {
    int type;
    std::string_view section, line;
};
// The instruction lines by stage type and section. The highpass "wp mag" line measures
// 40 dB below the passband gain at a tenth of fp, where a second-order highpass is 40 dB
// down (at a hundredth it would be 80 dB down).
constexpr TemplateLine kTemplates[] = {
    {stFLP, "wc mag", "(1) Determine gain at frequency<0.01* \\bsp \\d01  (theoretical gain = \\d02 )."},
    {stFLP, "wc mag", "\\par (2) Adjust for 3dB attenuation at \\d01  (theoretical gain = \\d03 )."},
    {stFLP, "wc phase", "Adjust for \\d04 \\186  phase shift at \\d01 ."},
    {stFHP, "wc mag", "(1) Determine gain at >100* \\bsp \\d01  (theoretical gain = \\d02 )."},
    {stFHP, "wc mag", "\\par (2) Adjust for 3dB attenuation at \\d01  (theoretical gain = \\d03 )."},
    {stFHP, "wc phase", "Adjust for \\d04 \\186  phase shift at \\d01 ."},

    {stSLP, "wp mag", "\\und \\blu \\d01 \\unf \\blk "},
    {stSLP, "wp mag", "\\par (1) Determine gain at <0.1* \\bsp \\d01  (theoretical gain = \\d02 )."},
    {stSLP, "wp mag",
     "\\par (2) Adjust for 40dB attenuation at 10* \\bsp \\d01  (theoretical gain = \\d03 )."},
    {stSLP, "wp mag", "\\par (3) Repeat (1) and (2) if required."},
    {stSLP, "Qp mag peak", "\\und \\blu Qp \\unf \\blk "},
    {stSLP, "Qp mag peak", "\\par  Adjust Qp for a peak gain of \\d04  at \\d05 ."},
    {stSLP, "Qp mag no peak", "\\und \\blu Qp \\unf \\blk "},
    {stSLP, "Qp mag no peak", "\\par  Adjust Qp for 3dB attenuation (theoretical gain = \\d06 ) at \\d07 ."},
    {stSLP, "wp phase", "\\und \\blu \\d01 \\unf \\blk "},
    {stSLP, "wp phase", "\\par  Adjust for a \\d03 \\186  phase shift at \\d01 . "},
    {stSLP, "Qp phase", "\\und \\blu Qp \\unf \\blk "},
    {stSLP, "Qp phase",
     "\\par  Adjust for a \\d04 \\186  phase shift at \\d08  or a \\d05 \\186  phase shift at \\d09 ."},

    {stSHP, "wp mag", "\\und \\blu \\d01 \\unf \\blk "},
    {stSHP, "wp mag", "\\par (1) Determine gain at >10* \\bsp \\d01  (theoretical gain = \\d02 )."},
    {stSHP, "wp mag",
     "\\par (2) Adjust for 40dB attenuation at 0.1* \\bsp \\d01  (theoretical gain = \\d03 )."},
    {stSHP, "wp mag", "\\par (3) Repeat (1) and (2) if required."},
    {stSHP, "Qp mag peak", "\\und \\blu Qp \\unf \\blk "},
    {stSHP, "Qp mag peak", "\\par  Adjust Qp for a peak gain of \\d04  at \\d05 ."},
    {stSHP, "Qp mag no peak", "\\und \\blu Qp \\unf \\blk "},
    {stSHP, "Qp mag no peak", "\\par  Adjust Qp for 3dB attenuation (theoretical gain = \\d06 ) at \\d07 ."},
    {stSHP, "wp phase", "\\und \\blu \\d01 \\unf \\blk "},
    {stSHP, "wp phase", "\\par  Adjust for a \\d03 \\186  phase shift at \\d01 ."},
    {stSHP, "Qp phase", "\\und \\blu Qp \\unf \\blk "},
    {stSHP, "Qp phase",
     "\\par  Adjust for a \\d04 \\186  phase shift at \\d08  or a \\d05 \\186  phase shift at \\d09 ."},

    {stSBP, "wp mag", "\\und \\blu \\d01 \\unf \\blk "},
    {stSBP, "wp mag", "\\par (1) Determine maximum gain in passband (theoretical gain = \\d02 )."},
    {stSBP, "wp mag",
     "\\par (2) Adjust for 40dB attenuation at 0.01* \\bsp \\d01  and 100* \\bsp \\d01  (theoretical gain = "
     "\\d03 )."},
    {stSBP, "wp mag", "\\par (3) Repeat (1) and (2) if required."},
    {stSBP, "wp mag", "\\par (4) For high Q stages, simply tune on peak."},
    {stSBP, "Qp mag peak", "\\und \\blu Qp \\unf \\blk "},
    {stSBP, "Qp mag peak",
     "\\par  Adjust Qp for 3dB attenuation (theoretical gain = \\d05 ) at \\d06  and \\d07 ."},
    {stSBP, "Qp mag no peak", "\\und \\blu Qp \\unf \\blk "},
    {stSBP, "Qp mag no peak",
     "\\par  Adjust Qp for 3dB attenuation (theoretical gain = \\d05 ) at \\d06  and \\d07 ."},
    {stSBP, "wp phase", "\\und \\blu \\d01 \\unf \\blk "},
    {stSBP, "wp phase", "\\par  Adjust for a \\d03 \\186  phase shift at \\d01 ."},
    {stSBP, "Qp phase", "\\und \\blu Qp \\unf \\blk "},
    {stSBP, "Qp phase",
     "\\par  Adjust for a \\d04 \\186  phase shift at \\d08  and a \\d05 \\186  phase shift at \\d09 ."},
};

// The notch blocks of the lowpass-notch and highpass-notch stages read the same.
constexpr TemplateLine kNotchTemplates[] = {
    {0, "wp mag", "\\und \\blu \\d01 \\unf \\blk "},
    {0, "wp mag", "\\par (1) Determine gain at frequency>100* \\bsp \\d01  (theoretical gain = \\d02 )."},
    {0, "wp mag", "\\par (2) Adjust gain (frequency <0.01* \\bsp \\d01 ) to be \\d08  times gain in (1) ."},
    {0, "wp mag", "\\par (3) Repeat if \\d00  is subsequently adjusted."},
    {0, "Qp mag peak", "\\und \\blu Qp \\unf \\blk "},
    {0, "Qp mag peak", "\\par  Adjust Qp for a peak gain of \\d04  at \\d05 ."},
    {0, "Qp mag no peak", "\\und \\blu Qp \\unf \\blk "},
    {0, "Qp mag no peak", "\\par  Adjust Qp for 3dB attenuation (theoretical gain = \\d06 ) at \\d07 ."},
    {0, "wz mag", "\\und \\blu \\d00 \\unf \\blk "},
    {0, "wz mag", "\\par  Adjust frequency of lowest gain response (notch)."},
    {0, "Qz mag", "\\und \\blu Qz \\unf \\blk "},
    {0, "Qz mag", "\\par  Null gain at \\d00 ."},
    {0, "wp phase", "\\und \\blu \\d01 \\unf \\blk "},
    {0, "wp phase", "\\par  Adjust for a \\d09 \\186  phase shift at \\d01 ."},
    {0, "wz phase", "\\und \\blu \\d00 \\unf \\blk "},
    {0, "wz phase", "\\par  Adjust for a phase jump at \\d00 ."},
};

std::vector<std::string> Lines(int type, std::string_view section) {
    std::vector<std::string> out;
    if (type == stSLPN || type == stSHPN) {
        for (const TemplateLine& t : kNotchTemplates)
            if (t.section == section) out.emplace_back(t.line);
        return out;
    }
    for (const TemplateLine& t : kTemplates)
        if (t.type == type && t.section == section) out.emplace_back(t.line);
    return out;
}

// ---- The ideal stage response ---------------------------------------------------------

// H(jw) of the stage as its targets define it, with the gain constant K as the stage type
// defines it (H(0), H(inf), or the bandpass gain at wp) and the sign of an inverting
// circuit.
struct IdealStage {
    int type = 0;
    long double wp = 0, qp = 0, wz = 0, k = 1;

    Cx operator()(long double w) const {
        const Cx s(0.0L, w);
        if (type == stFLP) return k * wp / (s + wp);
        if (type == stFHP) return k * s / (s + wp);
        const Cx den = s * s + wp / qp * s + wp * wp;
        switch (type) {
        case stSLP:
            return k * wp * wp / den;
        case stSHP:
            return k * s * s / den;
        case stSBP:
            return k * (wp / qp) * s / den;
        default:
            return k * (s * s + wz * wz) / den;
        }
    }
    long double Gain(long double w) const { return std::abs((*this)(w)); }
    long double PhaseDeg(long double w) const { return std::arg((*this)(w)) * 180.0L / kPi; }
};

// The largest gain and where it is: a logarithmic scan over six decades around wp, then
// golden-section refinement between the scan points beside the best one.
std::pair<long double, long double> Peak(const IdealStage& h) {
    constexpr int kPoints = 3000;
    const long double lo = std::log(h.wp * 1.0e-3L), hi = std::log(h.wp * 1.0e3L);
    const auto at = [&](int i) { return std::exp(lo + (hi - lo) * i / kPoints); };
    int best = 0;
    for (int i = 1; i <= kPoints; ++i)
        if (h.Gain(at(i)) > h.Gain(at(best))) best = i;
    long double a = std::log(at(std::max(best - 1, 0))), b = std::log(at(std::min(best + 1, kPoints)));
    const long double g = (std::sqrt(5.0L) - 1.0L) / 2.0L;
    for (int i = 0; i < 200 && b - a > 1e-15L; ++i) {
        const long double x1 = b - g * (b - a), x2 = a + g * (b - a);
        if (h.Gain(std::exp(x1)) > h.Gain(std::exp(x2)))
            b = x2;
        else
            a = x1;
    }
    const long double w = std::exp(0.5L * (a + b));
    return {h.Gain(w), w};
}

// The frequency nearest to wp (on a logarithmic scale) where the gain crosses `level`,
// found by a scan and bisection; 0 when it never does.
long double Crossing(const IdealStage& h, long double level) {
    constexpr int kPoints = 3000;
    const long double lo = std::log(h.wp * 1.0e-3L), hi = std::log(h.wp * 1.0e3L), mid = std::log(h.wp);
    const auto f = [&](long double x) { return h.Gain(std::exp(x)) - level; };
    long double found = 0.0L, distance = INFINITY;
    for (int i = 0; i < kPoints; ++i) {
        long double a = lo + (hi - lo) * i / kPoints, b = lo + (hi - lo) * (i + 1) / kPoints;
        if ((f(a) > 0.0L) == (f(b) > 0.0L)) continue;
        for (int k = 0; k < 200 && b - a > 1e-15L; ++k) {
            const long double m = 0.5L * (a + b);
            ((f(m) > 0.0L) == (f(a) > 0.0L) ? a : b) = m;
        }
        const long double x = 0.5L * (a + b);
        if (std::fabs(x - mid) < distance) {
            distance = std::fabs(x - mid);
            found = std::exp(x);
        }
    }
    return found;
}

// ---- Texts ------------------------------------------------------------------------------

std::string GainText(long double g) {
    return FixedText(g, 3, 5);
}

// A phase in whole degrees when it is one, with its sign: "-45", "+135", "0".
std::string PhaseText(long double deg) {
    if (std::fabs(deg) < 0.05L) return "0";
    char buffer[32];
    const long double whole = std::round(deg);
    if (std::fabs(deg - whole) < 0.05L)
        std::snprintf(buffer, sizeof buffer, "%+.0Lf", whole);
    else
        std::snprintf(buffer, sizeof buffer, "%+.1Lf", deg);
    return buffer;
}

struct Labels {
    bool hz;
    std::string wp, wz, wc;
    std::string Frequency(long double w) const { return FrequencyWithUnit(hz ? w / (2.0L * kPi) : w, hz); }
};

// The two frequencies at which a second-order phase is 45 degrees from its value at wp
// (also the 3-dB frequencies of a bandpass).
std::pair<long double, long double> QpFrequencies(long double wp, long double qp) {
    const long double r = std::sqrt(1.0L + 4.0L * qp * qp);
    return {wp * (r - 1.0L) / (2.0L * qp), wp * (r + 1.0L) / (2.0L * qp)};
}

TuningSection Section(int type, std::string name) {
    TuningSection s;
    s.lines = Lines(type, name);
    s.name = std::move(name);
    return s;
}

// A peaking second-order magnitude: Qp above 1/sqrt(2) (with a small margin so that the
// maximally flat Q itself counts as not peaking).
bool Peaking(long double qp) {
    return qp > 1.0001L / std::sqrt(2.0L);
}

void FirstOrderSections(const IdealStage& h, const Labels& l, TuningInstructions& t) {
    TuningSection mag = Section(h.type, "wc mag"), ph = Section(h.type, "wc phase");
    const long double k = std::fabs(h.k);
    for (TuningSection* s : {&mag, &ph}) {
        s->values[1] = l.wc;
        s->values[2] = GainText(k);
        s->values[3] = GainText(k / std::sqrt(2.0L));
        s->values[4] = PhaseText(h.PhaseDeg(h.wp));
    }
    t.magnitude.push_back(mag);
    t.phase.push_back(ph);
}

void SecondOrderSections(const IdealStage& h, const Labels& l, TuningInstructions& t) {
    const int type = h.type;
    const bool notch = type == stSLPN || type == stSHPN;
    const long double k = std::fabs(h.k);
    const auto [wLow, wHigh] = QpFrequencies(h.wp, h.qp);

    TuningSection mag = Section(type, "wp mag");
    mag.values[0] = l.wz;
    mag.values[1] = l.wp;
    mag.values[2] = GainText(k);
    if (type == stSBP)
        mag.values[3] = GainText(h.Gain(0.01L * h.wp)); // equal at 100 wp: the response is symmetric
    else
        mag.values[3] = GainText(k * 0.01L);
    if (notch) mag.values[8] = GainText(h.Gain(0.0L) / k);
    t.magnitude.push_back(mag);

    TuningSection q = Section(type, Peaking(h.qp) ? "Qp mag peak" : "Qp mag no peak");
    if (type == stSBP) {
        q.values[5] = GainText(k / std::sqrt(2.0L));
        q.values[6] = l.Frequency(wLow);
        q.values[7] = l.Frequency(wHigh);
    } else if (Peaking(h.qp)) {
        const auto [gain, w] = Peak(h);
        q.values[4] = GainText(gain);
        q.values[5] = l.Frequency(w);
    } else {
        q.values[6] = GainText(k / std::sqrt(2.0L));
        const long double w = Crossing(h, k / std::sqrt(2.0L));
        q.values[7] = w > 0.0L ? l.Frequency(w) : "";
    }
    t.magnitude.push_back(q);

    if (notch) {
        for (const char* name : {"wz mag", "Qz mag"}) {
            TuningSection z = Section(type, name);
            z.values[0] = l.wz;
            t.magnitude.push_back(z);
        }
    }

    TuningSection wph = Section(type, "wp phase");
    wph.values[0] = l.wz;
    wph.values[1] = l.wp;
    wph.values[notch ? 9 : 3] = PhaseText(h.PhaseDeg(h.wp));
    t.phase.push_back(wph);
    if (notch) {
        TuningSection z = Section(type, "wz phase");
        z.values[0] = l.wz;
        t.phase.push_back(z);
    } else {
        TuningSection qph = Section(type, "Qp phase");
        qph.values[4] = PhaseText(h.PhaseDeg(wLow));
        qph.values[5] = PhaseText(h.PhaseDeg(wHigh));
        qph.values[8] = l.Frequency(wLow);
        qph.values[9] = l.Frequency(wHigh);
        t.phase.push_back(qph);
    }
}

std::vector<TuningStep> ParseSteps(std::string_view entry, const Labels& l, bool firstOrder) {
    std::vector<TuningStep> steps;
    std::size_t pos = 3; // after the rating and its blank
    while (pos < entry.size()) {
        const std::size_t end = std::min(entry.find(' ', pos), entry.size());
        const std::string_view f = entry.substr(pos, end - pos);
        TuningStep s;
        s.component = std::string(f.substr(0, 2));
        const std::string_view p = f.size() >= 4 ? f.substr(2, 2) : std::string_view();
        if (firstOrder || p.empty())
            s.parameter = l.wc;
        else if (p == "WP")
            s.parameter = l.wp;
        else if (p == "QP")
            s.parameter = "Qp";
        else if (p == "WZ")
            s.parameter = l.wz;
        else
            s.parameter = "Qz";
        const std::string_view link = f.size() >= 6 ? f.substr(4, 2) : std::string_view();
        s.link = link == "00" ? 0 : link == "01" ? 1 : link == "02" ? 2 : -1;
        steps.push_back(s);
        pos = end + 1;
    }
    return steps;
}

} // namespace

std::string_view TuningEntry(std::string_view key) {
    for (const TableEntry& e : kTable)
        if (e.key == key) return e.entry;
    return {};
}

std::optional<TuningInstructions> StageTuning(const TDesign& d, int stage) {
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    if (!e) return std::nullopt;
    const std::string_view entry = TuningEntry(e->key);
    if (entry.size() < 2) return std::nullopt;
    TuningInstructions t;
    t.rating = std::string(entry.substr(0, 2));
    const TStageCoeffs& s = d.Stages[stage];
    const TStageCircuit& c = d.Circuits[stage];
    const bool hz = d.Opt.FreqUnitsHz != 0;
    const Labels l{hz, hz ? "fp" : "wp", hz ? "fz" : "wz", hz ? "fc" : "wc"};

    IdealStage h;
    h.type = s.StageType;
    h.wp = StageFrequency(s);
    h.qp = s.Qp;
    h.wz = s.Wz;
    h.k =
        (c.ActualGain > 0.0L ? static_cast<long double>(c.ActualGain) : 1.0L) * (c.Inverting ? -1.0L : 1.0L);
    const bool firstOrder = isFirstOrder(h.type);

    if (firstOrder) {
        t.parameters.push_back(l.wc + ": " + l.Frequency(h.wp));
    } else {
        t.parameters.push_back("Qp: " + FixedText(h.qp, 3));
        t.parameters.push_back(l.wp + ": " + l.Frequency(h.wp));
        if (isNotch(h.type)) t.parameters.push_back(l.wz + ": " + l.Frequency(h.wz));
    }
    if (t.rating == "NR") return t;
    t.recommended = true;
    t.steps = ParseSteps(entry, l, firstOrder);
    if (!(h.wp > 0.0L) || (!firstOrder && !(h.qp > 0.0L))) return t;
    if (firstOrder)
        FirstOrderSections(h, l, t);
    else
        SecondOrderSections(h, l, t);
    return t;
}

} // namespace velmora
