#include "report.h"

#include <cmath>
#include <fmt/format.h>
#include <memory>
#include <numbers>
#include <sstream>
#include <string_view>

#include "app/messages.h"
#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "model/number_text.h"
#include "stages/stage_types.h"
#include "ui/tuning_text.h"

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

// A JSON number, or null for a value a double cannot hold.
nlohmann::ordered_json Num(long double v) {
    const double x = static_cast<double>(v);
    if (!std::isfinite(x)) return nullptr;
    return x;
}

nlohmann::ordered_json ComplexList(const std::vector<Complex>& list) {
    auto a = nlohmann::ordered_json::array();
    for (const Complex& c : list)
        a.push_back({Num(c.real()), Num(c.imag())});
    return a;
}

std::string Sci(long double v) {
    return ScientificText(v, 4);
}

// Whether `text` is well-formed UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        int tail = 0;
        unsigned min = 0, cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            tail = 1, min = 0x80, cp = b & 0x1Fu;
        } else if ((b & 0xF0) == 0xE0) {
            tail = 2, min = 0x800, cp = b & 0x0Fu;
        } else if ((b & 0xF8) == 0xF0) {
            tail = 3, min = 0x10000, cp = b & 0x07u;
        } else {
            return false;
        }
        if (i + tail >= text.size()) return false;
        for (int k = 1; k <= tail; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += tail + 1;
    }
    return true;
}

// A text stored in a design file, for the JSON document, which must be UTF-8. The files
// hold single-byte texts in the Latin-1 code page (the gain constant's "±", say), while
// the program itself writes ASCII; a text that is already well-formed UTF-8 is kept as
// it is, any other is read byte by byte as Latin-1, which gives every byte a character.
std::string StoredText(std::string_view text) {
    if (IsUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
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

namespace velmora::cli {

nlohmann::ordered_json ApproximationsJson(const TDesign& d) {
    auto list = nlohmann::ordered_json::array();
    for (int i = 0; i <= d.Spec.LastApproxIndex; ++i) {
        const Approximation& a = d.Approx[i];
        const ApproxResult& r = a.Result;
        nlohmann::ordered_json j;
        j["index"] = i;
        j["name"] = kApproxNames[i];
        j["order"] = r.Order;
        j["order_too_high"] = (bool)r.OrderTooHigh;
        j["qp_too_high"] = (bool)a.QpTooHigh;
        j["usable"] = isUsable(a);
        if (!r.OrderTooHigh) {
            j["pole_pairs"] = r.PolePairs;
            j["has_real_pole"] = (bool)r.HasRealPole;
            j["zero_pairs"] = r.ZeroPairs;
            j["single_zeros"] = r.SingleZeros;
            j["max_qp"] = Num(r.MaxQp);
            j["gain_constant"] = Num(ApproxNumeratorGain(d, i));
            j["gain_constant_text"] = StoredText(r.GainConstantText);
            auto poleTable = nlohmann::ordered_json::array();
            auto poleList = nlohmann::ordered_json::array();
            for (int k = 1; k <= r.PolePairs && k <= kTableEntries; ++k) {
                const PoleTableEntry& e = a.PoleTable[k];
                poleTable.push_back({{"B", Num(e.B)}, {"C", Num(e.C)}, {"wp", Num(e.Wp)}, {"Qp", Num(e.Qp)}});
                poleList.push_back({{"re", Num(a.PoleList[k].Re)}, {"im", Num(a.PoleList[k].Im)}});
            }
            auto zeroTable = nlohmann::ordered_json::array();
            auto zeroList = nlohmann::ordered_json::array();
            for (int k = 1; k <= r.ProtoZeroPairs && k <= kTableEntries; ++k) {
                zeroTable.push_back(Num(a.ZeroTable[k].Wz2));
                zeroList.push_back(Num(a.ZeroList[k].Wz));
            }
            j["pole_table"] = poleTable;
            j["zero_table"] = zeroTable;
            j["pole_list"] = poleList;
            j["zero_list"] = zeroList;
            j["poles"] = ComplexList(ApproxPoles(d, i));
            j["zeros"] = ComplexList(ApproxZeros(d, i));
        }
        list.push_back(j);
    }
    return list;
}

nlohmann::ordered_json GraphRangesJson(const TDesign& d) {
    const GraphRanges& g = d.Ranges;
    nlohmann::ordered_json j;
    j["unit"] = d.Opt.FreqUnitsHz ? "Hz" : "rad/s";
    j["GraphFreqMin"] = Num(g.GraphFreqMin);
    j["GraphFreqMax"] = Num(g.GraphFreqMax);
    j["GraphFreqDecade"] = g.GraphFreqDecade;
    j["SweepFreqMin"] = Num(g.SweepFreqMin);
    j["SweepFreqMax"] = Num(g.SweepFreqMax);
    j["TimeScaleExp"] = g.TimeScaleExp;
    j["TimeFullScale"] = Num(g.TimeFullScale);
    j["TimeTickStep"] = Num(g.TimeTickStep);
    return j;
}

app::ResultOptions ResultOptionsOf(const ReportOptions& o) {
    app::ResultOptions r;
    r.onlyApprox = o.onlyApprox;
    r.mask = o.mask;
    r.responseAxis = o.responseAxis;
    r.responsePoints = o.responsePoints;
    return r;
}

nlohmann::ordered_json ResponseAxisJson(const TDesign& d, const ReportOptions& o) {
    const FrequencyAxis axis = app::ResponseAxis(d, ResultOptionsOf(o));
    const long double toHz = axis.Hz ? 1.0L : 1.0L / kTwoPi;
    nlohmann::ordered_json j;
    j["f_min_hz"] = Num(axis.Min * toHz);
    j["f_max_hz"] = Num(axis.Max * toHz);
    j["points"] = app::ResponsePoints(ResultOptionsOf(o));
    j["log"] = axis.Log;
    return j;
}

nlohmann::ordered_json IdealResponseJson(const app::DesignResults& r) {
    auto list = nlohmann::ordered_json::array();
    for (const IdealResponseTable& t : r.ideal) {
        nlohmann::ordered_json j;
        j["index"] = t.Index;
        j["name"] = t.Name;
        auto samples = nlohmann::ordered_json::array();
        for (const IdealFrequencySample& s : t.Samples)
            samples.push_back({{"f_hz", Num(s.FHz)},
                               {"w", Num(s.W)},
                               {"gain_db", Num(s.GainDb)},
                               {"gain_vv", Num(s.GainVV)},
                               {"phase_deg", Num(s.PhaseDeg)},
                               {"delay_s", Num(s.DelayS)}});
        auto time = nlohmann::ordered_json::array();
        for (const IdealTimeSample& s : t.Time)
            time.push_back({{"t_s", Num(s.TS)}, {"step", Num(s.Step)}, {"impulse", Num(s.Impulse)}});
        j["samples"] = samples;
        j["time"] = time;
        list.push_back(j);
    }
    return list;
}

nlohmann::ordered_json StagesJson(const TDesign& d) {
    auto list = nlohmann::ordered_json::array();
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        const TStageCircuit& c = d.Circuits[i];
        nlohmann::ordered_json j;
        j["stage"] = i;
        j["type"] = StageShortName(s.StageType);
        j["wp"] = Num(s.Wp);
        j["Qp"] = Num(s.Qp);
        j["wz"] = Num(s.Wz);
        j["sigma"] = Num(s.Sigma);
        j["K"] = Num(s.K);
        j["To"] = Num(s.To);
        j["flatness"] = Num(s.Flatness);
        j["optimal_gain"] = Num(c.OptimalGain);
        j["actual_gain"] = Num(c.ActualGain);
        j["dynamic_range"] = Num(c.DynamicRange);
        list.push_back(j);
    }
    return list;
}

nlohmann::ordered_json CoefficientsJson(const TDesign& d) {
    auto list = nlohmann::ordered_json::array();
    for (int i = 1; i <= d.StageCount; ++i) {
        const BiquadCoefficients b = StageBiquad(d.Stages[i], false);
        list.push_back({{"To", Num(d.Circuits[i].ActualGain)},
                        {"A", Num(b.A)},
                        {"B", Num(b.B)},
                        {"C", Num(b.C)},
                        {"D", Num(b.D)},
                        {"E", Num(b.E)},
                        {"F", Num(b.F)}});
    }
    return list;
}

nlohmann::ordered_json FinalStandardResponseJson(const app::DesignResults& r);
nlohmann::ordered_json ToleranceJson(const std::optional<ToleranceReport>& r);
nlohmann::ordered_json MonteCarloJson(const MonteCarloResult& m);

nlohmann::ordered_json DesignJson(const TDesign& d, const ReportOptions& o) {
    return DesignJson(d, o, app::Results(d, ResultOptionsOf(o)));
}

nlohmann::ordered_json DesignJson(const TDesign& d, const ReportOptions& o, const app::DesignResults& r) {
    nlohmann::ordered_json j;
    j["schema_version"] = kJsonSchemaVersion;
    j["specification"] = SpecificationJson(d);
    j["approximations"] = ApproximationsJson(d);
    if (d.ResultsReady) {
        j["graph_ranges"] = GraphRangesJson(d);
        j["response_axis"] = ResponseAxisJson(d, o);
        j["ideal_response"] = IdealResponseJson(r);
    }
    if (d.DesignLevel >= LevelApproxChosen) j["chosen_approximation"] = d.SelectedApprox;
    if (d.DesignLevel >= LevelCascaded) {
        j["gain_distribution"] = {{"overall_gain", Num(d.Spec.OverallGain)},
                                  {"actual_overall_gain", Num(d.ActualOverallGain)},
                                  {"constrained_stages", d.ConstrainedCount}};
        if (r.reachedGain) j["gain_distribution"]["reached_gain"] = Num(*r.reachedGain);
        j["stages"] = StagesJson(d);
        j["coefficients"] = CoefficientsJson(d);
    }
    if (d.DesignLevel >= LevelComponents) {
        j["circuits"] = CircuitsJson(d);
        j["final_response"] = FinalResponseJson(r);
        j["final_response_gbw"] = FinalGbwResponseJson(r);
        if (d.Components.StandardROn) j["final_response_standard"] = FinalStandardResponseJson(r);
        j["tolerance"] = ToleranceJson(r.tolerance);
        if (r.check) {
            j["specification_check"] = SpecificationCheckJson(d, *r.check);
            if (o.mask) j["specification_check"]["design_margin_db"] = Num(o.designMarginDb);
        }
        if (!r.impractical.empty()) j["component_warnings"] = ComponentWarningsJson(r);
        if (o.monteCarlo) j["monte_carlo"] = MonteCarloJson(*o.monteCarlo);
    }
    if (!o.notes.empty()) j["notes"] = o.notes;
    return j;
}

void PrintStages(std::ostream& out, const TDesign& d, const app::DesignResults& r) {
    if (d.DesignLevel < LevelApproxChosen) return;
    const Approximation& a = d.Approx[d.SelectedApprox];
    if (d.Spec.FilterType == UserDefined)
        out << "User-defined filter, order " << a.Result.Order << "\n\n";
    else
        out << "Chosen approximation: " << kApproxNames[d.SelectedApprox] << ", order " << a.Result.Order
            << "\n\n";
    if (d.DesignLevel < LevelCascaded) return;
    out << "Stages in cascade order\n";
    out << fmt::format("  {:>5} {:<5}{:>13}{:>9}{:>13}{:>13}{:>12}{:>12}{:>12}{:>12}{:>12}{:>8}\n", "Stage",
                       "Type", "fp (Hz)", "Qp", "fz (Hz)", "sigma", "K", "To", "Flatness", "Opt. gain",
                       "Act. gain", "DR %");
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        const TStageCircuit& c = d.Circuits[i];
        const bool first = isFirstOrder(s.StageType);
        out << fmt::format("  {:>5} {:<5}{:>13}{:>9}{:>13}{:>13}{:>12}{:>12}{:>12}{:>12}{:>12}{:>8}\n", i,
                           StageShortName(s.StageType), first ? Sci(s.Sigma / kTwoPi) : Sci(s.Wp / kTwoPi),
                           first ? std::string("-") : FixedText(s.Qp, 4),
                           isNotch(s.StageType) ? Sci(s.Wz / kTwoPi) : std::string("-"), Sci(s.Sigma),
                           Sci(s.K), Sci(s.To), Sci(s.Flatness), Sci(c.OptimalGain), Sci(c.ActualGain),
                           FixedText(c.DynamicRange, 1));
    }
    // The gain the realised cascade reaches: below the specified one when stages whose
    // circuits fix their gain could not be made up by the others. Once the components are
    // calculated it is the built filter's own gain at its reference frequency (standard
    // values move it); before, and for a user-defined filter, the product of the stages'.
    const long double specified = d.Spec.OverallGain;
    const long double actual = r.reachedGain.value_or(d.ActualOverallGain.value());
    out << fmt::format("  Overall gain: specified {} V/V, reached {} V/V", TrimmedText(specified, 6),
                       TrimmedText(actual, 6));
    if (d.ConstrainedCount > 0)
        out << fmt::format(" ({} stage{} gain-constrained)", d.ConstrainedCount,
                           d.ConstrainedCount == 1 ? "" : "s");
    if (specified > 0 && !(std::fabs(20.0L * std::log10(actual / specified)) <= kOverallGainMatchDb))
        out << "  -- the specified gain is not reached";
    out << "\n";
    out << "\nBiquadratic transfer functions  T(s) = To (A s^2 + B s + C) / (D s^2 + E s + F), s in rad/s\n";
    out << fmt::format("  {:<6}", "");
    for (int i = 1; i <= d.StageCount; ++i)
        out << fmt::format("{:>15}", "Stage " + std::to_string(i));
    out << "\n";
    const char* rows[] = {"To", "A", "B", "C", "D", "E", "F"};
    for (int r = 0; r < 7; ++r) {
        out << fmt::format("  {:<6}", rows[r]);
        for (int i = 1; i <= d.StageCount; ++i) {
            const BiquadCoefficients b = StageBiquad(d.Stages[i], false);
            const long double v[] = {d.Circuits[i].ActualGain, b.A, b.B, b.C, b.D, b.E, b.F};
            out << fmt::format("{:>15}", ScientificText(v[r], 6));
        }
        out << "\n";
    }
    out << "\n";
}

} // namespace velmora::cli

namespace velmora::cli {

nlohmann::ordered_json CircuitsJson(const TDesign& d) {
    auto list = nlohmann::ordered_json::array();
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        nlohmann::ordered_json j;
        j["stage"] = i;
        j["key"] = e ? std::string(e->key) : "";
        j["name"] = e ? std::string(e->name) : "";
        j["number"] = c.CircuitNumber;
        j["choice"] = c.CircuitChoice;
        j["not_realisable"] = (bool)c.NotRealisable;
        nlohmann::ordered_json comps = nlohmann::ordered_json::object();
        nlohmann::ordered_json standard = nlohmann::ordered_json::object();
        nlohmann::ordered_json sens = nlohmann::ordered_json::object();
        if (!c.NotRealisable) {
            for (int r = 1; r <= c.ResistorCount && r <= kResistorSlots; ++r) {
                comps["R" + std::to_string(r)] = Num(ExactResistor(c, r));
                standard["R" + std::to_string(r)] = Num(R(c, r));
            }
            for (int k = 1; k <= c.CapacitorCount && k <= kCapacitorSlots; ++k) {
                comps["C" + std::to_string(k)] = Num(C(c, k));
                standard["C" + std::to_string(k)] = Num(C(c, k));
            }
            auto add = [&](const std::string& name, const TComponentItem& item) {
                sens[name] = {{"wp", Num(item.SensWp)},
                              {"Qp", Num(item.SensQp)},
                              {"gain", Num(item.SensGain)},
                              {"wz", Num(item.SensWz)}};
            };
            for (int r = 1; r <= c.ResistorCount && r <= kResistorSlots; ++r)
                add("R" + std::to_string(r), c.Components[r]);
            for (int k = 1; k <= c.CapacitorCount && k <= kCapacitorSlots; ++k)
                add("C" + std::to_string(k), c.Components[kResistorSlots + k]);
        }
        j["components"] = comps;
        if (d.Components.StandardROn) j["standard_components"] = standard;
        j["sensitivities"] = sens;
        j["tuning"] = c.NotRealisable ? std::string() : TuningPlainText(d, i);
        j["resistor_count"] = c.ResistorCount;
        j["capacitor_count"] = c.CapacitorCount;
        j["opamp_count"] = c.OpAmpCount;
        j["resistor_spread"] = ResistorSpread(c);
        j["capacitor_spread"] = CapacitorSpread(c);
        j["desired_gain"] = Num(c.DesiredGain);
        j["actual_gain"] = Num(c.ActualGain);
        j["gain_fixed"] = (bool)c.GainFixed;
        j["inverting"] = (bool)c.Inverting;
        j["OpAmpGBW"] = Num(c.OpAmpGBW);
        j["GbwFactorWp"] = Num(c.GbwFactorWp);
        j["GbwFactorQp"] = Num(c.GbwFactorQp);
        j["MinRecGBW"] = Num(c.MinRecGBW);
        j["predistort"] = (bool)c.Predistort;
        j["compensated"] = (bool)c.CompensationInUse;
        list.push_back(j);
    }
    return list;
}

nlohmann::ordered_json SamplesJson(const std::vector<FinalFrequencySample>& samples) {
    auto list = nlohmann::ordered_json::array();
    for (const FinalFrequencySample& s : samples)
        list.push_back({{"f_hz", Num(s.FHz)},
                        {"gain_db", Num(s.GainDb)},
                        {"phase_deg", Num(s.PhaseDeg)},
                        {"delay_s", Num(s.DelayS)}});
    return list;
}

nlohmann::ordered_json FinalStandardResponseJson(const app::DesignResults& r) {
    nlohmann::ordered_json j;
    j["variant"] = FinalVariantName(StandardRSubstitution);
    j["samples"] = SamplesJson(r.finalStandard);
    return j;
}

nlohmann::ordered_json BoundsJson(const std::optional<AttenuationBounds>& b) {
    if (!b) return nullptr;
    return {{"f_hz", Num(b->W / kTwoPi)},
            {"design_db", Num(b->Design)},
            {"spread_db", Num(b->Spread)},
            {"upper_db", Num(b->Upper)},
            {"lower_db", Num(b->Lower)},
            {"temp_change_db", Num(b->TempChange)},
            {"at_temp_rise_db", Num(b->AtTempRise)}};
}

nlohmann::ordered_json ToleranceJson(const std::optional<ToleranceReport>& r) {
    if (!r) return nullptr;
    nlohmann::ordered_json j;
    j["frequency_hz"] = Num(r->AtPassbandEdge.W / kTwoPi);
    auto stages = nlohmann::ordered_json::array();
    for (size_t i = 0; i < r->AtPassbandEdge.Stages.size(); ++i) {
        const StageTolerance& st = r->AtPassbandEdge.Stages[i];
        stages.push_back({{"stage", i + 1},
                          {"passive_db", Num(st.PassiveSpread)},
                          {"active_db", Num(st.ActiveSpread)},
                          {"total_db", Num(st.Spread)},
                          {"temp_change_db", Num(st.TotalChange)}});
    }
    j["stages"] = stages;
    j["filter_spread_db"] = Num(r->AtPassbandEdge.Spread);
    j["filter_temp_change_db"] = Num(r->AtPassbandEdge.TempChange);
    j["bounds"] = {{"passband", BoundsJson(r->PassBounds)}, {"stopband", BoundsJson(r->StopBounds)}};
    return j;
}

nlohmann::ordered_json MonteCarloJson(const MonteCarloResult& m) {
    nlohmann::ordered_json j;
    j["runs"] = m.Runs;
    j["seed"] = m.Seed;
    auto band = nlohmann::ordered_json::array();
    for (const MonteCarloPoint& p : m.Band)
        band.push_back({{"f_hz", Num(p.FHz)},
                        {"min_db", Num(p.Min)},
                        {"max_db", Num(p.Max)},
                        {"mean_db", Num(p.Mean)},
                        {"sigma_db", Num(p.Sigma)}});
    j["band"] = band;
    j["yield"] = m.Yield ? Num(*m.Yield) : nlohmann::ordered_json(nullptr);
    return j;
}

nlohmann::ordered_json FinalGbwResponseJson(const app::DesignResults& r) {
    nlohmann::ordered_json j;
    j["variant"] = OpAmpGbwVariantName();
    j["samples"] = SamplesJson(r.finalGbw);
    return j;
}

nlohmann::ordered_json FinalResponseJson(const app::DesignResults& r) {
    nlohmann::ordered_json j;
    j["variant"] = FinalVariantName(StandardCExactR);
    j["samples"] = SamplesJson(r.finalExact);
    return j;
}

void PrintCircuits(std::ostream& out, const TDesign& d, const app::DesignResults& r) {
    if (d.DesignLevel < LevelComponents) return;
    out << (d.Components.StandardROn ? "Circuits and component values (exact, standard in brackets)\n"
                                     : "Circuits and component values (exact)\n");
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        out << fmt::format("  Stage {}: {} {}\n", i, e ? e->key : "?", e ? e->name : "");
        if (c.NotRealisable) {
            out << "    not realisable\n";
            continue;
        }
        std::string line = "   ";
        for (int r = 1; r <= c.ResistorCount && r <= kResistorSlots; ++r) {
            line += fmt::format(" R{}={}", r, ResistanceDisplayText(ExactResistor(c, r)));
            if (d.Components.StandardROn) line += fmt::format(" ({})", ResistanceDisplayText(R(c, r)));
        }
        out << line << "\n";
        line = "   ";
        for (int k = 1; k <= c.CapacitorCount && k <= kCapacitorSlots; ++k)
            line += fmt::format(" C{}={}", k, CapacitanceDisplayText(C(c, k)));
        out << line << "\n";
        const int32_t rs = ResistorSpread(c), cs = CapacitorSpread(c);
        out << fmt::format("    op amps {}, gain desired {} actual {}{}, {}, GBW {}, {}\n", c.OpAmpCount,
                           FixedText(c.DesiredGain, 4), FixedText(c.ActualGain, 4),
                           c.GainFixed ? " (fixed)" : "", c.Inverting ? "inverting" : "non-inverting",
                           GbwText(c.OpAmpGBW),
                           "spread R " + (rs >= 5000 ? std::string(">5000") : std::to_string(rs)) + ":1, C " +
                               (cs >= 5000 ? std::string(">5000") : std::to_string(cs)) + ":1");
        if (c.Predistort) out << "    predistorted for the op-amp GBW\n";
        if (c.CompensationInUse) out << "    actively compensated\n";
    }
    const std::vector<std::string> note = app::InvertingNote(r.invertingStages);
    for (const std::string& l : note)
        out << "  " << l << "\n";
    out << "\n";
    PrintComponentWarnings(out, d, r);
}

void PrintComponentWarnings(std::ostream& out, const TDesign& d, const app::DesignResults& r) {
    if (d.DesignLevel < LevelComponents) return;
    const std::vector<ImpracticalValue>& v = r.impractical;
    if (v.empty()) return;
    out << "Warning: impractical component values (practical: resistors 100 Ohm to 1 MOhm, capacitors "
           "100 pF to 10 uF)\n";
    for (const ImpracticalValue& x : v)
        out << "  " << app::ImpracticalValueText(x) << "\n";
    out << "\n";
}

nlohmann::ordered_json ComponentWarningsJson(const app::DesignResults& r) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ImpracticalValue& x : r.impractical) {
        nlohmann::ordered_json j;
        j["stage"] = x.Stage;
        j["component"] = (x.Resistor ? "R" : "C") + std::to_string(x.Number);
        j["value"] = Num(x.Value);
        j["limit"] = Num(x.Limit);
        j["above"] = x.Above;
        j["text"] = app::ImpracticalValueText(x);
        list.push_back(j);
    }
    return list;
}

} // namespace velmora::cli

namespace velmora::cli {

void PrintAnalyses(std::ostream& out, const TDesign& d, const ReportOptions& o, const app::DesignResults& r) {
    if (d.DesignLevel < LevelComponents) return;
    const std::optional<SpecificationCheck>& check = r.check;
    if (check) {
        if (o.mask)
            out << "Designed with a margin of " << TrimmedText(o.designMarginDb, 3) << " dB: for "
                << TrimmedText(d.Spec.Apb.value(), 4) << " dB in the passband and "
                << TrimmedText(d.Spec.Asb.value(), 4) << " dB in the stopband, checked against the "
                << TrimmedText(o.mask->Apb.value(), 4) << " and " << TrimmedText(o.mask->Asb.value(), 4)
                << " dB specified.\n";
        PrintSpecificationCheck(out, d, *check);
    }
    out << "Sensitivities (dP/P)/(dx/x) of the stage gain T0, wp (wc), Qp and wz\n";
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        if (c.NotRealisable) continue;
        const bool first = isFirstOrder(d.Stages[i].StageType);
        out << fmt::format("  Stage {}      {:>9}{:>9}{:>9}{:>9}\n", i, "T0", first ? "wc" : "wp",
                           first ? "" : "Qp", isNotch(d.Stages[i].StageType) ? "wz" : "");
        auto row = [&](const std::string& name, const TComponentItem& it) {
            out << fmt::format("    {:<9}{:>9}{:>9}{:>9}{:>9}\n", name, FixedText(it.SensGain, 3),
                               FixedText(it.SensWp, 3), first ? std::string() : FixedText(it.SensQp, 3),
                               isNotch(d.Stages[i].StageType) ? FixedText(it.SensWz, 3) : std::string());
        };
        for (int r = 1; r <= c.ResistorCount && r <= kResistorSlots; ++r)
            row("R" + std::to_string(r), c.Components[r]);
        for (int k = 1; k <= c.CapacitorCount && k <= kCapacitorSlots; ++k)
            row("C" + std::to_string(k), c.Components[kResistorSlots + k]);
    }
    out << "\nTuning instructions\n";
    for (int i = 1; i <= d.StageCount; ++i) {
        if (d.Circuits[i].NotRealisable) continue;
        out << "  Stage " << i << "\n";
        std::istringstream text(TuningPlainText(d, i));
        for (std::string line; std::getline(text, line);)
            out << "    " << line << "\n";
    }
    if (r.tolerance) {
        out << "\nTolerance and temperature analysis\n";
        for (const std::string& line : app::ToleranceReportText(d, *r.tolerance))
            out << "  " << line << "\n";
    }
    if (o.monteCarlo) {
        const MonteCarloResult& m = *o.monteCarlo;
        out << fmt::format("\nMonte Carlo: {} runs (seed {}), Gaussian with 3 sigma at the tolerances\n",
                           m.Runs, m.Seed);
        if (m.Yield) {
            out << fmt::format("  Yield against the specification: {:.1f} %\n", 100.0 * (double)*m.Yield);
            for (const std::string& line : YieldContext(check))
                out << "  " << line << "\n";
        }
        long double worst = 0;
        for (const MonteCarloPoint& p : m.Band)
            worst = std::max(worst, 3 * p.Sigma);
        out << fmt::format("  Largest 3-sigma gain spread over the frequency column: {} dB\n",
                           FixedText(worst, 3));
    }
    if (!o.notes.empty()) {
        out << "\nNotes\n";
        for (const std::string& n : o.notes)
            out << "  " << n << "\n";
    }
    out << "\n";
}

} // namespace velmora::cli
