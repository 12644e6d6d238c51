// SPICE netlist writer.
#include "output/spice_netlist.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/standard_values.h"
#include "model/number_text.h"
#include "output/netlist_templates.h"

namespace velmora {
namespace {

constexpr std::array<std::string_view, 4> kTolerances = {"1%", "2%", "5%", "10%"};

std::string RTrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

// A whole number above 0 written in digits only (as typed; leading and trailing blanks
// allowed), with its value.
std::optional<long> WholePositive(const std::string& text) {
    std::size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    const std::string t = text.substr(b, e - b + 1);
    if (t.size() > 9) return std::nullopt;
    for (char ch : t)
        if (ch < '0' || ch > '9') return std::nullopt;
    const long v = std::stol(t);
    if (v <= 0) return std::nullopt;
    return v;
}

std::string Trimmed(const std::string& text) {
    std::size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
}

bool KnownTolerance(const std::string& t) {
    for (std::string_view k : kTolerances)
        if (t == k) return true;
    return false;
}

// The line of a section whose element name is `name` ("R3"); the template's own
// spacing is kept.
const std::string* LineOf(const std::vector<std::string>& section, const std::string& name) {
    for (const std::string& l : section)
        if (ElementName(l) == name) return &l;
    return nullptr;
}

// The single-pole model's noise resistor: Rn = 1000 (en / 4)^2 ohms for an input noise
// density en in nV/sqrt(Hz) (a resistor's thermal noise density is about 4 nV/sqrt(Hz)
// per sqrt(kOhm) at room temperature), held within 100 Ohm .. 1 MOhm so that the model's
// capacitor stays within a buildable range.
long double NoiseResistor(long double noise) {
    const long double rn = 1000.0L * (noise / 4.0L) * (noise / 4.0L);
    if (!(rn >= 100.0L)) return 100.0L; // also a noise of 0 or not a number
    return std::min(rn, 1.0e6L);
}

std::string ExactNumber(long double x) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.10Le", x);
    return buffer;
}

struct StageNet {
    const CatalogueEntry* entry = nullptr;
    std::string code; // stage code: the type prefix ("SLP")
    bool compensated = false;
};

std::optional<StageNet> StageNetOf(const TDesign& d, int i) {
    const TStageCircuit& c = d.Circuits[i];
    const CatalogueEntry* e = EntryByNumber(c.CircuitNumber);
    if (!e || c.CircuitChoice == 0) return std::nullopt;
    const StageTypeEntry* t = StageTypeInfo(e->type);
    if (!t) return std::nullopt;
    return StageNet{e, std::string(t->prefix), c.CompensationInUse != 0};
}

void ControlBlock(const TDesign& d, const SpiceOptions& o, const std::string& acArguments,
                  std::vector<std::string>& lines) {
    const int n = d.StageCount;
    const std::string out = "V(" + std::to_string(n + 1) + ")";
    std::string outputs, magnitudes;
    for (int i = 1; i <= n; ++i) {
        outputs += " V(" + std::to_string(i + 1) + ")";
        magnitudes += " mag(V(" + std::to_string(i + 1) + "))";
    }
    lines.push_back(".control");
    lines.push_back("run");
    const std::string dataFile = NgspiceDataFileName(o.dataFile);
    lines.push_back("wrdata " + dataFile + " " + out);
    if (o.print) lines.push_back("print" + outputs);
    if (o.plot) lines.push_back("asciiplot" + magnitudes);
    if (o.monteCarlo) {
        // Every run draws each stage component uniformly within its tolerance (the
        // distribution of a DEV tolerance) and appends its sweep to the data file.
        const long double rTol = std::stold(o.resistorTolerance) / 100.0L;
        const long double cTol = std::stold(o.capacitorTolerance) / 100.0L;
        lines.push_back("set appendwrite");
        lines.push_back("repeat " + Trimmed(o.runs));
        for (int i = 1; i <= n; ++i) {
            const TStageCircuit& c = d.Circuits[i];
            const std::string x = "x" + std::to_string(i);
            for (int k = 1; k <= c.ResistorCount; ++k) {
                const long double r = R(c, k);
                if (r == 0.0L) continue;
                lines.push_back("  alter @r." + x + ".r" + std::to_string(k) + "[resistance] = " +
                                ExactNumber(r) + " * (1 + " + ExactNumber(rTol) + " * sunif(0))");
            }
            for (int k = 1; k <= c.CapacitorCount; ++k)
                lines.push_back("  alter @c." + x + ".c" + std::to_string(k) + "[capacitance] = " +
                                ExactNumber(C(c, k)) + " * (1 + " + ExactNumber(cTol) + " * sunif(0))");
        }
        lines.push_back("  ac dec " + acArguments);
        lines.push_back("  wrdata " + dataFile + " " + out);
        lines.push_back("end");
    }
    // Batch mode would otherwise run the analysis a second time after this block.
    lines.push_back("quit");
    lines.push_back(".endc");
}

} // namespace

std::string NgspiceDataFileName(const std::string& name) {
    std::string safe = name;
    for (char& ch : safe) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (!(std::isalnum(u) && u < 128) && ch != '.' && ch != '_' && ch != '+' && ch != '-') ch = '_';
    }
    return safe.empty() ? "velmora-ac.txt" : safe;
}

SpiceOptions SpiceOptionsForGraph(const FrequencyAxis& graph) {
    SpiceOptions o;
    const long double toHz = graph.Hz ? 1.0L : 1.0L / (2.0L * std::numbers::pi_v<long double>);
    o.startHz = graph.Min * toHz;
    o.endHz = graph.Max * toHz;
    return o;
}

int StageWithoutCircuit(const TDesign& d) {
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        if (d.DesignLevel < LevelComponents || c.NotRealisable || !StageNetOf(d, i)) return i;
        if (c.ResistorCount < 1 || c.ResistorCount > kResistorSlots || c.CapacitorCount < 1 ||
            c.CapacitorCount > kCapacitorSlots)
            return i;
        // A resistor of 0 is left out of the netlist; anything negative or not finite
        // means the components were never calculated.
        for (int k = 1; k <= c.ResistorCount; ++k)
            if (!(std::isfinite(R(c, k)) && R(c, k) >= 0.0L)) return i;
        for (int k = 1; k <= c.CapacitorCount; ++k)
            if (!(std::isfinite(C(c, k)) && C(c, k) > 0.0L)) return i;
    }
    return 0;
}

std::string SweepFrequencyText(long double hz) {
    return ScientificText(hz, 5);
}

std::string SpiceCapacitanceText(long double farads, int n) {
    if (farads >= 0.00099999L && farads < 0.99999L) return ValueDigits(farads * 1.0e3L, n + 1) + "m";
    return NetlistCapacitanceText(farads, n);
}

SpiceNetlist BuildSpiceNetlist(const TDesign& d, const SpiceOptions& o) {
    SpiceNetlist result;
    const auto fail = [&](SpiceStatus s, int stage = 0) {
        result.status = s;
        result.stage = stage;
        result.lines.clear();
        return result;
    };
    const int n = d.StageCount;
    if (n < 1) return fail(SpiceStatus::NoStages);
    if (const int missing = StageWithoutCircuit(d)) return fail(SpiceStatus::MissingCircuit, missing);
    if (!(std::isfinite(o.startHz) && o.startHz > 0.0L)) return fail(SpiceStatus::BadStart);
    if (!(std::isfinite(o.endHz) && o.endHz > o.startHz)) return fail(SpiceStatus::BadEnd);
    if (!WholePositive(o.pointsPerDecade)) return fail(SpiceStatus::BadPoints);
    if (o.monteCarlo && !WholePositive(o.runs)) return fail(SpiceStatus::BadRuns);
    if (!KnownTolerance(o.resistorTolerance) || !KnownTolerance(o.capacitorTolerance))
        return fail(SpiceStatus::BadTolerance);
    const bool ngspice = o.dialect == SpiceDialect::Ngspice;

    std::vector<std::string>& lines = result.lines;
    lines.push_back("****  Velmora Spice File  ****");

    // Op-amp models, before any stage subcircuit.
    std::vector<std::string> suffix(static_cast<std::size_t>(n + 1));
    if (o.opamp == SpiceOpAmpModel::Vcvs) {
        lines.push_back(".SUBCKT IDEALOP 2 1 5");
        lines.push_back("   EIO 5 0 2 1 1.0E+5");
        lines.push_back(".ENDS IDEALOP");
        for (int i = 1; i <= n; ++i)
            suffix[static_cast<std::size_t>(i)] = " IDEALOP";
    } else {
        for (int i = 1; i <= n; ++i) {
            const TStageCircuit& c = d.Circuits[i];
            const long double gbw = c.OpAmpGBW;
            const auto noiseOf = [&](const TStageCircuit& s) {
                return o.opAmpNoise >= 0.0L ? o.opAmpNoise : s.OpAmpNoise.value();
            };
            const long double noise = noiseOf(c);
            // A stage shares an earlier stage's model only when both the bandwidth and
            // the noise agree: the model's resistor carries the noise.
            for (int j = 1; j < i; ++j) {
                const TStageCircuit& e = d.Circuits[j];
                if (e.OpAmpGBW.value() == gbw && noiseOf(e) == noise) {
                    suffix[static_cast<std::size_t>(i)] = suffix[static_cast<std::size_t>(j)];
                    break;
                }
            }
            if (!suffix[static_cast<std::size_t>(i)].empty()) continue;
            const std::string name = "GENOP" + std::to_string(i);
            // Input stage EGEN1, the pole R1 C1 at GBW / 1e5 and the gain stage EGEN2 of
            // 1e5: the open-loop gain falls to 1 at the GBW. R2 is the output resistance.
            const long double rn = NoiseResistor(noise);
            const long double cn = 100000.0L / (2.0L * std::numbers::pi_v<long double> * rn * gbw);
            lines.push_back(".SUBCKT " + name + " 2 1 6");
            lines.push_back("       R1 3 4 RMODEL " + NetlistResistanceText(rn, 4));
            lines.push_back("       C1 4 0 CMODEL " + SpiceCapacitanceText(cn, 3));
            lines.push_back("       R2 5 6 RMODEL 100");
            lines.push_back("       EGEN1 3 0 2 1 1.0");
            lines.push_back("       EGEN2 5 0 4 0 1.0E+5");
            lines.push_back(".ENDS " + name);
            suffix[static_cast<std::size_t>(i)] = " " + name;
        }
    }

    // Stage subcircuits.
    std::vector<std::string> codes(static_cast<std::size_t>(n + 1));
    for (int i = 1; i <= n; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const auto net = StageNetOf(d, i);
        if (!net) return fail(SpiceStatus::MissingCircuit, i);
        codes[static_cast<std::size_t>(i)] = net->code;
        const auto section = TakeSection(NetlistTemplateSet(net->compensated), net->entry->key);
        if (!section || section->size() < 2) return fail(SpiceStatus::MissingTemplate, i);
        const std::string is = std::to_string(i);
        lines.push_back(RTrim(section->front()) + is + " 1 2");
        // Component lines are found by element name: R3's line carries R3's nodes
        // wherever the template puts it.
        for (int k = 1; k <= c.ResistorCount; ++k) {
            const long double r = R(c, k);
            if (r == 0.0L) continue; // an absent resistor: no line
            const std::string* line = LineOf(*section, "R" + std::to_string(k));
            if (!line) return fail(SpiceStatus::MissingTemplate, i);
            lines.push_back(*line + " " + NetlistResistanceText(r, 5));
        }
        for (int k = 1; k <= c.CapacitorCount; ++k) {
            const std::string* line = LineOf(*section, "C" + std::to_string(k));
            if (!line) return fail(SpiceStatus::MissingTemplate, i);
            lines.push_back(*line + " " + SpiceCapacitanceText(C(c, k), 5));
        }
        // Every op amp of the section: a compensated variant has twice the op amps of
        // the plain circuit of a single-amplifier stage.
        int opamps = 0;
        for (const std::string& l : *section)
            if (ElementName(l).starts_with("XA")) {
                lines.push_back(l + suffix[static_cast<std::size_t>(i)]);
                ++opamps;
            }
        if (opamps == 0) return fail(SpiceStatus::MissingTemplate, i);
        lines.push_back(RTrim(section->back()) + is);
    }

    if (ngspice) {
        lines.push_back(".MODEL RMODEL RES(R=1)");
        lines.push_back(".MODEL CMODEL C(C=1)");
    } else {
        lines.push_back(".MODEL RMODEL RES(R=1 DEV=" + o.resistorTolerance + ")");
        lines.push_back(".MODEL CMODEL CAP(C=1 DEV=" + o.capacitorTolerance + ")");
    }
    lines.push_back("V1 1 0 AC 1");
    for (int i = 1; i <= n; ++i)
        lines.push_back("X" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) +
                        " " + codes[static_cast<std::size_t>(i)] + std::to_string(i));
    const std::string acArguments =
        Trimmed(o.pointsPerDecade) + " " + SweepFrequencyText(o.startHz) + " " + SweepFrequencyText(o.endHz);
    lines.push_back(".AC DEC " + acArguments);
    std::string outputs;
    for (int i = 1; i <= n; ++i)
        outputs += " V(" + std::to_string(i + 1) + ")";
    if (o.probe && !ngspice)
        for (int i = 1; i <= n; ++i)
            lines.push_back(".PROBE V(" + std::to_string(i + 1) + ")");
    if (o.print && !ngspice) lines.push_back(".PRINT AC" + outputs);
    if (o.plot && !ngspice) lines.push_back(".PLOT AC" + outputs);
    if (o.monteCarlo && !ngspice)
        lines.push_back(".MC " + Trimmed(o.runs) + " AC V(" + std::to_string(n + 1) +
                        ") YMAX LIST OUTPUT ALL");
    if (ngspice) ControlBlock(d, o, acArguments, lines);
    lines.push_back(".END");
    return result;
}

std::string SpiceText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    return text;
}

FileIoResult WriteSpiceNetlist(const std::string& path, const std::vector<std::string>& lines) {
    const std::string text = SpiceText(lines);
    return WriteFileReplacing(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

} // namespace velmora
