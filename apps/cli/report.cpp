#include "report.h"

#include <cmath>
#include <fmt/format.h>
#include <numbers>

#include "model/number_text.h"

namespace velmora::cli {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

const char* TypeName(uint8_t t) {
    switch (t) {
    case Lowpass:
        return "lowpass";
    case Highpass:
        return "highpass";
    case Bandpass:
        return "bandpass";
    case Bandstop:
        return "bandstop";
    default:
        return "user-defined";
    }
}

std::string Freq(long double rad) {
    return FrequencyWithUnit(rad / kTwoPi, true) + " (" + FrequencyWithUnit(rad, false) + ")";
}

void Row(std::ostream& out, const std::string& name, const std::string& value) {
    out << fmt::format("  {:<24}{}\n", name, value);
}

} // namespace

void PrintSpecification(std::ostream& out, const TDesign& d) {
    const Specification& s = d.Spec;
    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    out << "Specification\n";
    Row(out, "Filter type", TypeName(s.FilterType));
    Row(out, "Passband attenuation", TrimmedText(s.Apb, 4) + " dB");
    if (!s.ForceOrder) Row(out, "Stopband attenuation", TrimmedText(s.Asb, 4) + " dB");
    if (band) {
        Row(out, "Center frequency", Freq(s.w0));
        Row(out, "Passband bandwidth", Freq(s.Bpb));
        if (!s.ForceOrder) Row(out, "Stopband bandwidth", Freq(s.Bsb));
    } else {
        Row(out, "Passband edge", Freq(s.wpb));
        if (!s.ForceOrder) Row(out, "Stopband edge", Freq(s.wsb));
    }
    Row(out, "Selectivity", TrimmedText(s.Selectivity, 6));
    Row(out, "Order", s.ForceOrder ? "forced to " + std::to_string(s.ForcedOrder) : "estimated");
    Row(out, "Overall gain",
        TrimmedText(s.OverallGain, 6) + " V/V (" +
            TrimmedText(20.0L * std::log10((long double)s.OverallGain), 3) + " dB)");
    out << "\n";
}

void PrintComparisonTable(std::ostream& out, const ComparisonTable& t) {
    if (t.empty()) return;
    out << "Approximations\n";
    out << fmt::format("  {:<18}", t.cornerTitle);
    for (const auto& h : t.colHeaders)
        out << fmt::format("{:>19}", h[0] + h[1]);
    out << "\n";
    for (size_t r = 0; r < t.rowTitles.size() && r < t.cells.size(); ++r) {
        out << fmt::format("  {:<18}", t.rowTitles[r]);
        for (const auto& c : t.cells[r])
            out << fmt::format("{:>19}", c.text + (c.red ? " (!)" : ""));
        out << "\n";
    }
    out << "\n";
}

nlohmann::ordered_json SpecificationJson(const TDesign& d) {
    const Specification& s = d.Spec;
    nlohmann::ordered_json j;
    j["FilterType"] = s.FilterType;
    j["Apb"] = (double)s.Apb;
    j["Asb"] = (double)s.Asb;
    j["wpb"] = (double)s.wpb;
    j["wsb"] = (double)s.wsb;
    j["w0"] = (double)s.w0;
    j["Bpb"] = (double)s.Bpb;
    j["Bsb"] = (double)s.Bsb;
    j["Selectivity"] = (double)s.Selectivity;
    j["OverallGain"] = (double)s.OverallGain;
    j["HalfPowerGain"] = (double)s.HalfPowerGain;
    j["ForceOrder"] = (bool)s.ForceOrder;
    j["ForcedOrder"] = s.ForcedOrder;
    return j;
}

} // namespace velmora::cli
