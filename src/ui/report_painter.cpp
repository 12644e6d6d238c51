#include "ui/report_painter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <sstream>

#include "analysis/final_response.h"
#include "analysis/ideal_responses.h"
#include "analysis/mask_check.h"
#include "analysis/tolerance.h"
#include "app/messages.h"
#include "approx/approximation.h"
#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "circuits/schematic_layouts.h"
#include "circuits/selection.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "model/file_io.h"
#include "model/number_text.h"
#include "stages/stage_types.h"
#include "stages/user_sections.h"
#include "ui/comparison_painter.h"
#include "ui/dialogs.h"
#include "ui/filter_template.h"
#include "ui/graph_painter.h"
#include "ui/pdf_surface.h"
#include "ui/response_plots.h"
#include "ui/schematic_painter.h"
#include "ui/temperature_graph.h"
#include "ui/tfm_user.h"
#include "ui/tuning_text.h"

namespace velmora {

namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
constexpr const char* kSans = "Helvetica";
constexpr const char* kMono = "Courier";
constexpr double kBodySize = 9, kTableSize = 8.5, kListingSize = 8.5, kHeadingSize = 13;
constexpr double kSmallestSize = 5; // text is set no smaller to fit a line
constexpr Color kRuleColour{150, 150, 150};
constexpr Color kHeaderShade{235, 238, 243};

const char* TypeName(uint8_t t) {
    switch (t) {
    case Lowpass:
        return "Lowpass";
    case Highpass:
        return "Highpass";
    case Bandpass:
        return "Bandpass";
    case Bandstop:
        return "Bandstop";
    default:
        return "User-defined";
    }
}

std::string Freq(long double rad, bool hz) {
    return FrequencyWithUnit(hz ? rad / kTwoPi : rad, hz);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

// Places blocks from the top of the body down, page by page.
class ReportFlow {
  public:
    ReportFlow(DrawingSurface& measure, const ReportGeometry& g) : s_(measure), g_(g) {
        doc_.geometry_ = g;
        doc_.pages_.emplace_back();
        y_ = g.Top;
    }

    ReportDocument Finish(std::string title, std::shared_ptr<const TDesign> design) {
        doc_.title_ = std::move(title);
        doc_.design_ = std::move(design);
        if (doc_.pages_.size() > 1 && doc_.pages_.back().empty()) doc_.pages_.pop_back();
        return std::move(doc_);
    }

    DrawingSurface& Surface() { return s_; }
    double Left() const { return g_.BodyInset; }
    double ContentWidth() const { return g_.Width - 2 * g_.BodyInset; }
    double Bottom() const { return g_.Height - g_.Bottom; }
    double Room() const { return Bottom() - y_; }

    void NewPage() {
        if (doc_.pages_.back().empty()) return;
        doc_.pages_.emplace_back();
        y_ = g_.Top;
    }
    // Starts a new page unless `height` fits in what is left of this one.
    void Need(double height) {
        if (height > Room()) NewPage();
    }
    void Space(double h) { y_ = std::min(y_ + h, Bottom()); }

    double Measure(const std::string& text, bool mono, double size, uint8_t style) {
        s_.SetFont(mono ? kMono : kSans, size, style);
        return s_.TextWidth(text);
    }
    double LineHeight(bool mono, double size) {
        s_.SetFont(mono ? kMono : kSans, size, FontRegular);
        return s_.TextHeight("Xg");
    }

    void Place(ReportItem item) { doc_.pages_.back().push_back(std::move(item)); }
    void PlaceText(double x, const std::string& text, bool mono, double size, uint8_t style,
                   Color colour = colors::Text) {
        ReportItem it;
        it.X = x, it.Y = y_, it.Text = text, it.Mono = mono, it.Size = size, it.Style = style,
        it.Colour = colour;
        it.W = Measure(text, mono, size, style);
        it.H = LineHeight(mono, size);
        Place(std::move(it));
    }
    void Rule(double x, double w, Color c = kRuleColour) {
        ReportItem it;
        it.kind = ReportItem::Kind::Rule, it.X = x, it.Y = y_, it.W = w, it.Colour = c;
        Place(std::move(it));
    }

    // A section's title, kept with at least `keep` points of what follows.
    void Heading(const std::string& text, double keep = 90) {
        const double h = LineHeight(false, kHeadingSize);
        if (y_ > g_.Top) Space(10);
        Need(h + 6 + keep);
        PlaceText(Left(), Fitted(text, false, kHeadingSize, FontBold), false, kHeadingSize, FontBold);
        y_ += h + 2;
        Rule(Left(), ContentWidth());
        y_ += 6;
    }
    void SubHeading(const std::string& text, double keep = 60) {
        const double h = LineHeight(false, kBodySize + 1);
        Need(h + keep);
        PlaceText(Left(), Fitted(text, false, kBodySize + 1, FontBold), false, kBodySize + 1, FontBold);
        y_ += h + 2;
    }

    // Prose, wrapped at word boundaries to the body's width.
    void Paragraph(const std::string& text, double size = kBodySize, uint8_t style = FontRegular) {
        const double h = LineHeight(false, size);
        std::istringstream words(text);
        std::string line, word;
        auto flush = [&] {
            Need(h);
            PlaceText(Left(), Fitted(line, false, size, style), false, size, style);
            y_ += h;
            line.clear();
        };
        while (words >> word) {
            const std::string longer = line.empty() ? word : line + " " + word;
            if (!line.empty() && Measure(longer, false, size, style) > ContentWidth())
                flush(), line = word;
            else
                line = longer;
        }
        if (!line.empty()) flush();
        y_ += 3;
    }

    // Lines of a fixed-pitch listing, set small enough for the widest to fit.
    void Listing(const std::vector<std::string>& lines, double indent = 0) {
        if (lines.empty()) return;
        const double width = ContentWidth() - indent;
        double widest = 0;
        for (const std::string& l : lines)
            widest = std::max(widest, Measure(l, true, kListingSize, FontRegular));
        const double size =
            std::max(kSmallestSize, widest > width ? kListingSize * width / widest : kListingSize);
        const double h = LineHeight(true, size);
        for (const std::string& l : lines) {
            Need(h);
            PlaceText(Left() + indent, Fitted(l, true, size, FontRegular), true, size, FontRegular);
            y_ += h;
        }
        y_ += 4;
    }

    // A table with a shaded header row (repeated at the top of each page it runs onto);
    // the first column left-aligned, the others right-aligned. The font is set smaller
    // until the columns fit the body's width.
    void Table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
        const size_t n = header.size();
        constexpr double kPad = 8;
        double size = kTableSize;
        std::vector<double> widths(n);
        for (;;) {
            std::fill(widths.begin(), widths.end(), 0.0);
            for (size_t c = 0; c < n; ++c) {
                widths[c] = Measure(header[c], false, size, FontBold);
                for (const auto& r : rows)
                    if (c < r.size())
                        widths[c] = std::max(widths[c], Measure(r[c], false, size, FontRegular));
                widths[c] += kPad;
            }
            double total = 0;
            for (double w : widths)
                total += w;
            if (total <= ContentWidth() || size <= kSmallestSize) break;
            size = std::max(kSmallestSize, size * std::max(0.7, ContentWidth() / total));
        }
        const double h = LineHeight(false, size) + 2;
        auto row = [&](const std::vector<std::string>& cells, uint8_t style) {
            double x = Left();
            for (size_t c = 0; c < n && c < cells.size(); ++c) {
                const std::string text = Fitted(cells[c], false, size, style, widths[c] - kPad);
                const double tw = Measure(text, false, size, style);
                PlaceText(c == 0 ? x : x + widths[c] - kPad / 2 - tw, text, false, size, style);
                x += widths[c];
            }
            y_ += h;
        };
        double total = 0;
        for (double w : widths)
            total += w;
        auto headerRow = [&] {
            ReportItem shade;
            shade.kind = ReportItem::Kind::Shade, shade.X = Left(), shade.Y = y_ - 1, shade.W = total,
            shade.H = h;
            shade.Colour = kHeaderShade;
            Place(std::move(shade));
            row(header, FontBold);
        };
        Need(3 * h);
        headerRow();
        for (const auto& r : rows) {
            if (h > Room()) {
                NewPage();
                headerRow();
            }
            row(r, FontRegular);
        }
        Rule(Left(), total);
        y_ += 6;
    }

    // A picture of native size w x h, scaled down to the body's width and to at most
    // `maxHeight` points.
    void Picture(double w, double h, double maxHeight, std::function<void(DrawingSurface&)> paint) {
        if (!(w > 0 && h > 0)) return;
        const double full = Bottom() - g_.Top;
        const double scale = std::min({1.0, ContentWidth() / w, std::min(maxHeight, full) / h});
        Need(h * scale);
        ReportItem it;
        it.kind = ReportItem::Kind::Picture;
        it.X = Left() + (ContentWidth() - w * scale) / 2, it.Y = y_, it.W = w * scale, it.H = h * scale;
        it.NativeW = w, it.NativeH = h, it.Scale = scale, it.Paint = std::move(paint);
        Place(std::move(it));
        y_ += h * scale + 8;
    }

    // The text, shortened with "..." where it is wider than `width` (the body's width
    // by default) even at the size it is set in; the last resort of the layout.
    std::string Fitted(const std::string& text, bool mono, double size, uint8_t style, double width = -1) {
        if (width < 0) width = ContentWidth();
        width += 1e-6; // a width computed as a sum and a difference may have lost its last bit
        if (Measure(text, mono, size, style) <= width) return text;
        std::string t = text;
        while (!t.empty() && Measure(t + "...", mono, size, style) > width) {
            t.pop_back();
            while (!t.empty() && (static_cast<unsigned char>(t.back()) & 0xC0) == 0x80)
                t.pop_back(); // a whole UTF-8 character at a time
            if (!t.empty() && static_cast<unsigned char>(t.back()) >= 0xC0) t.pop_back();
        }
        return t + "...";
    }

  private:
    DrawingSurface& s_;
    ReportGeometry g_;
    ReportDocument doc_;
    double y_ = 0;
};

namespace {

void SpecificationSection(ReportFlow& f, const TDesign& d) {
    const Specification& s = d.Spec;
    const bool hz = d.Opt.FreqUnitsHz != 0;
    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    f.Heading("Specification");
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Filter type", TypeName(s.FilterType)});
    rows.push_back({"Passband attenuation", TrimmedText(s.Apb, 4) + " dB"});
    if (!s.ForceOrder) rows.push_back({"Stopband attenuation", TrimmedText(s.Asb, 4) + " dB"});
    if (band) {
        rows.push_back({"Centre frequency", Freq(s.w0, hz)});
        rows.push_back({"Passband bandwidth", Freq(s.Bpb, hz)});
        if (!s.ForceOrder) rows.push_back({"Stopband bandwidth", Freq(s.Bsb, hz)});
    } else {
        rows.push_back({"Passband edge", Freq(s.wpb, hz)});
        if (!s.ForceOrder) rows.push_back({"Stopband edge", Freq(s.wsb, hz)});
    }
    rows.push_back({"Selectivity", TrimmedText(s.Selectivity, 6)});
    rows.push_back({"Order", s.ForceOrder ? "forced to " + std::to_string(s.ForcedOrder) : "estimated"});
    rows.push_back({"Overall gain", TrimmedText(s.OverallGain, 6) + " V/V (" +
                                        TrimmedText(20.0L * std::log10((long double)s.OverallGain), 3) +
                                        " dB)"});
    f.Table({"Quantity", "Value"}, rows);

    SpecTemplate t;
    t.FilterType = s.FilterType;
    t.Hz = hz;
    t.OrderForced = s.ForceOrder != 0;
    t.Apb = TrimmedText(s.Apb, 4) + " dB";
    t.Asb = TrimmedText(s.Asb, 4) + " dB";
    const std::string fs = hz ? "f" : "w";
    t.PassEdge = (band ? "Bpb" : fs + "pb") + " = " + Freq(band ? s.Bpb : s.wpb, hz);
    t.StopEdge = (band ? "Bsb" : fs + "sb") + " = " + Freq(band ? s.Bsb : s.wsb, hz);
    if (band) t.Centre = fs + "0 = " + Freq(s.w0, hz);
    f.Picture(460, 250, 250, [t](DrawingSurface& s) { PaintSpecTemplate(s, t); });
}

// A user-defined filter in place of the specification: its sections as entered and their
// magnitude response, the picture of the form the sections were entered in.
void UserSectionsSection(ReportFlow& f, const TDesign& d) {
    if (d.StageCount < 1) return;
    const bool hz = d.Opt.FreqUnitsHz != 0;
    const std::string unit = hz ? " (Hz)" : " (rad/s)";
    f.Heading("User-defined sections", 200);
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        const bool first = isFirstOrder(s.StageType);
        const long double wp = first ? s.Sigma : s.Wp;
        rows.push_back({std::to_string(i), app::UserSectionKindName(UserSectionKindOf(s)),
                        std::to_string(UserSectionOrderOf(s)), ScientificText(hz ? wp / kTwoPi : wp, 4),
                        first ? std::string("-") : FixedText(s.Qp, 4),
                        isNotch(s.StageType) ? ScientificText(hz ? s.Wz.value() / kTwoPi : s.Wz.value(), 4)
                                             : std::string("-")});
    }
    f.Table({"Section", "Type", "Order", "fp" + unit, "Qp", "fz" + unit}, rows);
    FrequencyAxis axis;
    const std::vector<TUserResponsePoint> response = UserMagnitudeResponse(d, axis);
    const CurveGraph g = UserMagnitudeGraph(response, axis, hz);
    f.Picture(f.ContentWidth(), 300, 300, [g](DrawingSurface& s) { PaintCurveGraph(s, g); });
}

void ComparisonSection(ReportFlow& f, const TDesign& d) {
    const ComparisonTable t = BuildComparisonTable(d);
    if (t.empty()) return;
    f.Heading("Comparison of the approximations");
    const PointD size = ComparisonTableSize(f.Surface(), t, kBodySize);
    f.Picture(size.X, size.Y, 200, [t](DrawingSurface& s) { PaintComparisonTable(s, t, kBodySize); });
    f.Paragraph("A value in red rules the approximation out: its largest pole Q is beyond what a stage can "
                "realise.",
                kBodySize - 1, FontItalic);
}

// The ideal responses of the chosen approximation (of every usable one before a choice).
void IdealSection(ReportFlow& f, const std::shared_ptr<TDesign>& d) {
    PlotOptions po;
    po.Only = d->DesignLevel >= LevelApproxChosen ? d->SelectedApprox : -1;
    const std::vector<int> list = PlotApproximations(*d, po);
    if (list.empty()) return;
    IdealAxes ideal = DefaultIdealAxes(*d);
    ideal.Freq = UsableFrequencyAxis(DataFrequencyAxis(*d));
    ComputeIdealResponses(*d, ideal);
    const ResponseAxes axes = PlotAxes(*d, list, po);
    const std::vector<MaskRegion> mask = GainMask(*d, axes.Freq, axes.GainInDb);
    f.Heading(po.Only >= 0 ? std::string("Ideal responses: ") + kApproxNames[po.Only] + " approximation"
                           : std::string("Ideal responses of the approximations"),
              300);
    for (int t = 0; t < kGraphTabCount; ++t) {
        const GraphTab tab = static_cast<GraphTab>(t);
        GraphView view{tab, axes, list, tab == GraphTab::Gain ? mask : std::vector<MaskRegion>{}};
        std::shared_ptr<const TDesign> design = d;
        f.Picture(f.ContentWidth(), 300, 300,
                  [design, view](DrawingSurface& s) { PaintResponseGraph(s, *design, view); });
    }
}

void StagesSection(ReportFlow& f, const TDesign& d) {
    const Approximation& a = d.Approx[d.SelectedApprox];
    f.Heading("Stages and gains");
    if (d.Spec.FilterType == UserDefined)
        f.Paragraph("User-defined filter of order " + std::to_string(a.Result.Order) + ".");
    else
        f.Paragraph(std::string("Chosen approximation: ") + kApproxNames[d.SelectedApprox] + ", order " +
                    std::to_string(a.Result.Order) + ", realised in " + std::to_string(d.StageCount) +
                    " stages (in cascade order below).");
    const bool hz = d.Opt.FreqUnitsHz != 0;
    const std::string unit = hz ? " (Hz)" : " (rad/s)";
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        const TStageCircuit& c = d.Circuits[i];
        const bool first = isFirstOrder(s.StageType);
        const long double wp = first ? s.Sigma : s.Wp;
        rows.push_back({std::to_string(i), StageShortName(s.StageType),
                        ScientificText(hz ? wp / kTwoPi : wp, 4),
                        first ? std::string("-") : FixedText(s.Qp, 4),
                        isNotch(s.StageType) ? ScientificText(hz ? s.Wz.value() / kTwoPi : s.Wz.value(), 4)
                                             : std::string("-"),
                        ScientificText(c.OptimalGain, 4), ScientificText(c.ActualGain, 4),
                        FixedText(c.DynamicRange, 1)});
    }
    f.Table({"Stage", "Type", "fp" + unit, "Qp", "fz" + unit, "Optimal gain", "Actual gain", "Dyn. range %"},
            rows);
    const long double actual = ReachedGain(d).value_or(d.ActualOverallGain.value());
    std::string gain = "Overall gain: specified " + TrimmedText(d.Spec.OverallGain, 6) + " V/V, reached " +
                       TrimmedText(actual, 6) + " V/V";
    if (d.ConstrainedCount > 0)
        gain += " (" + std::to_string(d.ConstrainedCount) + " stage" + (d.ConstrainedCount == 1 ? "" : "s") +
                " gain-constrained)";
    f.Paragraph(gain + ".");

    f.SubHeading("Biquadratic coefficients");
    f.Paragraph("T(s) = To (A s^2 + B s + C) / (D s^2 + E s + F), s in rad/s.");
    rows.clear();
    for (int i = 1; i <= d.StageCount; ++i) {
        const BiquadCoefficients b = StageBiquad(d.Stages[i], false);
        std::vector<std::string> row = {std::to_string(i)};
        for (long double v : {d.Circuits[i].ActualGain.value(), b.A, b.B, b.C, b.D, b.E, b.F})
            row.push_back(ScientificText(v, 6));
        rows.push_back(std::move(row));
    }
    f.Table({"Stage", "To", "A", "B", "C", "D", "E", "F"}, rows);
}

void CircuitsSection(ReportFlow& f, const TDesign& d) {
    f.Heading(d.Components.StandardROn ? "Circuits and component values (standard values in effect)"
                                       : "Circuits and component values",
              200);
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        const std::string name = "Stage " + std::to_string(i) + ": " +
                                 (e ? std::string(e->key) + "  " + std::string(e->name) : std::string("?"));
        if (c.NotRealisable || !e) {
            f.SubHeading(name, 20);
            f.Paragraph("Not realisable.");
            continue;
        }
        const bool comp = c.CompensationInUse != 0;
        const SchematicLayout* layout = FindLayout(e->key, comp);
        const Topology* topology = FindTopology(e->key, comp);
        std::map<std::string, std::string> values;
        std::string rs, cs;
        for (int r = 1; r <= c.ResistorCount && r <= kResistorSlots; ++r) {
            values["R" + std::to_string(r)] = ResistanceDisplayText(R(c, r));
            rs += (rs.empty() ? "" : ",  ") + ("R" + std::to_string(r)) + " = " +
                  ResistanceDisplayText(ExactResistor(c, r));
            if (d.Components.StandardROn) rs += " (" + ResistanceDisplayText(R(c, r)) + ")";
        }
        for (int k = 1; k <= c.CapacitorCount && k <= kCapacitorSlots; ++k) {
            values["C" + std::to_string(k)] = CapacitanceDisplayText(C(c, k));
            cs += (cs.empty() ? "" : ",  ") + ("C" + std::to_string(k)) + " = " +
                  CapacitanceDisplayText(C(c, k));
        }
        const SchematicStyle style;
        const PointD size = layout && topology ? SchematicSize(*layout, style) : PointD{};
        // The stage's title, picture and value lines on one page.
        const double scale = size.X > 0 ? std::min({1.0, f.ContentWidth() / size.X, 220.0 / size.Y}) : 1;
        f.SubHeading(name + (comp ? " (compensated)" : ""), size.Y * scale + 50);
        if (layout && topology) {
            const SchematicLayout l = *layout;
            f.Picture(size.X, size.Y, 220, [l, values, style](DrawingSurface& s) {
                s.SetBrush(colors::White);
                s.FillRect(0, 0, s.Width(), s.Height());
                PaintSchematic(s, l, values, {}, style);
            });
        } else {
            f.Paragraph("(No schematic is drawn for this circuit.)", kBodySize, FontItalic);
        }
        if (!rs.empty())
            f.Paragraph(rs + (d.Components.StandardROn ? "   (exact, standard in brackets)" : ""));
        if (!cs.empty()) f.Paragraph(cs);
        f.Paragraph(std::to_string(c.OpAmpCount) + " op amp" + (c.OpAmpCount == 1 ? "" : "s") + ", GBW " +
                    GbwText(c.OpAmpGBW) + ", gain " + FixedText(c.ActualGain, 4) + " V/V" +
                    (c.Inverting ? ", inverting" : "") +
                    (c.Predistort ? ", predistorted for the op-amp GBW" : ""));
    }
    for (const std::string& l : app::InvertingNote(InvertingStages(d, 1, d.StageCount)))
        f.Paragraph(l);
}

void RealisedSection(ReportFlow& f, const TDesign& d) {
    const std::vector<CurveGraph> graphs = FinalResponseGraphs(d);
    if (graphs.empty()) return;
    f.Heading("Realised responses", 300);
    for (const CurveGraph& g : graphs)
        f.Picture(f.ContentWidth(), 300, 300, [g](DrawingSurface& s) { PaintCurveGraph(s, g); });
}

void CheckSection(ReportFlow& f, const TDesign& d) {
    if (!SpecificationCheckApplies(d)) return;
    const SpecificationCheck c = CheckSpecification(d);
    const bool hz = d.Opt.FreqUnitsHz != 0;
    f.Heading("Check against the specification's mask");
    f.Paragraph("The smallest margin of each response to the mask over the passbands and the stopbands, "
                "and where it occurs; a negative margin misses the specification.");
    std::vector<std::vector<std::string>> rows;
    for (const VariantCheck& v : c.Variants) {
        const MaskMargins& m = v.Margins;
        rows.push_back({CheckedVariantTitle(v.Variant), FixedText(m.PassMarginDb, 3), Freq(m.PassWorstW, hz),
                        m.HasStop ? FixedText(m.StopMarginDb, 3) : std::string("none"),
                        m.HasStop ? Freq(m.StopWorstW, hz) : std::string("-"),
                        m.Meets() ? "meets" : "misses"});
    }
    f.Table({"Response", "Passband margin (dB)", "at", "Stopband margin (dB)", "at", "Verdict"}, rows);
    if (c.Required) {
        if (c.Required->CommonHz)
            f.Paragraph("With the op amps the filter meets the mask from a gain-bandwidth of " +
                        GbwText(*c.Required->CommonHz) + " in every stage.");
        else
            f.Paragraph("No op-amp gain-bandwidth up to 10 GHz makes the filter meet the mask.");
    }
}

void ToleranceSection(ReportFlow& f, const TDesign& d) {
    const std::optional<ToleranceReport> r = BuildToleranceReport(d);
    if (!r) return;
    f.Heading("Tolerance and temperature");
    f.Listing(app::ToleranceReportText(d, *r));
    // The temperature effect over the whole axis, after the tables that give it at the
    // band edges.
    const FrequencyAxis axis = UsableFrequencyAxis(DataFrequencyAxis(d));
    const std::vector<TemperatureEffectPoint> points = TemperatureEffectOver(d, axis);
    if (points.empty()) return;
    const long double rise = d.Components.TempRise;
    // Without a temperature rise both curves are one; say so instead of drawing it.
    if (rise <= 0) {
        f.Paragraph("No temperature rise is set in the component characteristics, so the "
                    "temperature effect is not drawn.");
        return;
    }
    f.Picture(f.ContentWidth(), 300, 300, [points, axis, rise](DrawingSurface& s) {
        PaintTemperatureEffectGraph(s, points, axis, rise);
    });
}

void TuningSection(ReportFlow& f, const TDesign& d) {
    f.Heading("Tuning instructions");
    for (int i = 1; i <= d.StageCount; ++i) {
        if (d.Circuits[i].NotRealisable) continue;
        const std::vector<std::string> lines = SplitLines(TuningPlainText(d, i));
        if (lines.empty()) continue;
        f.SubHeading("Stage " + std::to_string(i), 40);
        f.Listing(lines, 8);
    }
}

} // namespace

RegionSurface::RegionSurface(DrawingSurface& page, double x, double y, double w, double h, double scale)
    : s_(page), x_(x), y_(y), w_(w), h_(h), k_(scale) {
    s_.SetClip(x_, y_, x_ + w_ * k_, y_ + h_ * k_);
}
RegionSurface::~RegionSurface() {
    s_.ClearClip();
}
void RegionSurface::Polyline(const std::vector<PointD>& points) {
    std::vector<PointD> p;
    p.reserve(points.size());
    for (const PointD& q : points)
        p.push_back({X(q.X), Y(q.Y)});
    s_.Polyline(p);
}
void RegionSurface::SetClip(double x1, double y1, double x2, double y2) {
    s_.SetClip(std::max(X(x1), x_), std::max(Y(y1), y_), std::min(X(x2), x_ + w_ * k_),
               std::min(Y(y2), y_ + h_ * k_));
}
void RegionSurface::ClearClip() {
    s_.SetClip(x_, y_, x_ + w_ * k_, y_ + h_ * k_);
}

std::string ReportTitle(const TDesign& d) {
    if (d.FileName.empty()) return "Untitled design";
    return std::filesystem::path(d.FileName).filename().string();
}

void ReportDocument::PaintPage(DrawingSurface& s, int page) const {
    const ReportGeometry& g = geometry_;
    s.SetBrush(colors::White);
    s.FillRect(0, 0, g.Width, g.Height);
    // Header: the design's name and what the document is; footer: the page number.
    const double inset = g.PrintableInset + 4;
    s.SetFont(kSans, 9, FontBold);
    s.SetTextColor(colors::Text);
    const std::string right = "Filter design report";
    const double rightW = s.TextWidth(right);
    std::string title = title_;
    while (title.size() > 1 && s.TextWidth(title + "...") > g.Width - 2 * g.BodyInset - rightW - 20)
        title.pop_back();
    if (title != title_) title += "...";
    s.TextOut(g.BodyInset, inset, title);
    s.SetFont(kSans, 9, FontRegular);
    s.TextOut(g.Width - g.BodyInset - s.TextWidth(right), inset, right);
    s.SetPen(kRuleColour, 0.6);
    const double headerRule = inset + s.TextHeight(right) + 3;
    s.Line(g.BodyInset, headerRule, g.Width - g.BodyInset, headerRule);
    const std::string footer = "Page " + std::to_string(page + 1) + " of " + std::to_string(PageCount());
    const double footerY = g.Height - inset - s.TextHeight(footer);
    s.Line(g.BodyInset, footerY - 4, g.Width - g.BodyInset, footerY - 4);
    s.TextOut((g.Width - s.TextWidth(footer)) / 2, footerY, footer);

    for (const ReportItem& it : Items(page)) {
        switch (it.kind) {
        case ReportItem::Kind::Text:
            s.SetFont(it.Mono ? kMono : kSans, it.Size, it.Style);
            s.SetTextColor(it.Colour);
            s.TextOut(it.X, it.Y, it.Text);
            break;
        case ReportItem::Kind::Rule:
            s.SetPen(it.Colour, 0.6);
            s.Line(it.X, it.Y, it.X + it.W, it.Y + it.H);
            break;
        case ReportItem::Kind::Shade:
            s.SetBrush(it.Colour);
            s.FillRect(it.X, it.Y, it.X + it.W, it.Y + it.H);
            break;
        case ReportItem::Kind::Picture: {
            RegionSurface region(s, it.X, it.Y, it.NativeW, it.NativeH, it.Scale);
            if (it.Paint) it.Paint(region);
            break;
        }
        }
    }
}

ReportDocument LayoutReport(const TDesign& d, DrawingSurface& measure, const ReportGeometry& g,
                            const std::string& title) {
    auto copy = std::make_shared<TDesign>(d);
    const std::string name = title.empty() ? ReportTitle(d) : title;
    ReportFlow f(measure, g);
    std::string kind = std::string(TypeName(d.Spec.FilterType)) + " filter";
    if (d.DesignLevel >= LevelApproxChosen && d.Spec.FilterType != UserDefined)
        kind += ", " + std::string(kApproxNames[d.SelectedApprox]) + " approximation, order " +
                std::to_string(d.Approx[d.SelectedApprox].Result.Order);
    f.Heading(name, 40);
    f.Paragraph(kind + ".");
    if (d.DesignLevel < LevelApproximations || !d.ResultsReady) {
        f.Paragraph("The design has not been calculated yet: the report holds what was entered.");
        if (d.Spec.FilterType != UserDefined)
            SpecificationSection(f, d);
        else
            UserSectionsSection(f, d);
        return f.Finish(name, copy);
    }
    if (d.Spec.FilterType != UserDefined) {
        SpecificationSection(f, d);
        ComparisonSection(f, d);
    } else {
        UserSectionsSection(f, d);
    }
    IdealSection(f, copy);
    if (d.DesignLevel >= LevelCascaded && d.StageCount > 0) StagesSection(f, d);
    if (d.DesignLevel >= LevelComponents && d.StageCount > 0) {
        CircuitsSection(f, d);
        RealisedSection(f, d);
        CheckSection(f, d);
        ToleranceSection(f, d);
        TuningSection(f, d);
    }
    return f.Finish(name, copy);
}

std::string ReportPdf(const TDesign& d, const std::string& title) {
    PdfSurface pdf;
    const ReportDocument doc = LayoutReport(d, pdf, {}, title);
    for (int p = 0; p < doc.PageCount(); ++p) {
        if (p > 0) pdf.NewPage();
        doc.PaintPage(pdf, p);
    }
    return pdf.Document();
}

std::optional<std::string> ExportReportPdf(const TDesign& d, Dialogs& dialogs) {
    if (d.DesignLevel < LevelApproximations) return std::nullopt;
    FileChoice req;
    req.save = true;
    req.defaultExtension = "pdf";
    req.filter = "PDF document|*.pdf";
    req.initialFolder = "Reports";
    req.fileName =
        d.FileName.empty() ? "*.pdf" : std::filesystem::path(d.FileName).replace_extension(".pdf").string();
    const std::optional<std::string> name = dialogs.ChooseFile(req);
    if (!name || name->empty()) return std::nullopt;
    std::error_code ec;
    if (std::filesystem::exists(*name, ec) &&
        dialogs.AskOkCancel(MessageKind::Warning, "File already exists. OK to overwrite?") != Answer::Ok)
        return std::nullopt;
    dialogs.BusyCursor(true);
    const std::string pdf = ReportPdf(d);
    const FileIoResult written =
        WriteFileReplacing(*name, std::span(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size()));
    dialogs.BusyCursor(false);
    if (!written.ok) {
        dialogs.Message(MessageKind::Error, written.message);
        return std::nullopt;
    }
    return name;
}

} // namespace velmora
