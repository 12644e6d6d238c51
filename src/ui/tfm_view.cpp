#include "ui/tfm_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "analysis/mask_check.h"
#include "app/messages.h"
#include "app/parameters.h"
#include "model/number_text.h"
#include "ui/graph_painter.h"
#include "ui/monte_carlo_job.h"
#include "ui/response_plots.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {

namespace {

constexpr long double kMinimumSpan = 1.0e-6L;
constexpr long double kDegreesPerRadian = 180.0L / std::numbers::pi_v<long double>;

bool Narrow(long double lo, long double hi, long double floor) {
    const long double size = std::max({std::fabs(lo), std::fabs(hi), floor});
    return !(hi > lo) || hi - lo < kMinimumSpan * size;
}

AxisRange RangeOf(long double lo, long double hi) {
    AxisRange r{lo, hi, NiceTick(hi - lo)};
    if (!(r.Max > r.Min)) r.Max = r.Min + 1;
    return r;
}

// One colour and line style per variant; the op amps' variant dashed.
constexpr Color kVariantColours[kFinalVariantCount] = {
    {31, 119, 180}, {148, 103, 189}, {44, 160, 44}, {140, 86, 75}, {214, 39, 40}};

std::string MarginText(long double db) {
    // A margin that rounds to nothing is shown as +0.000: a filter designed exactly to
    // an edge meets it, and "-0.000" would read as a miss.
    double shown = std::round(static_cast<double>(db) * 1000.0) / 1000.0;
    if (shown == 0.0) shown = 0.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.3f dB", shown);
    return buf;
}

// The envelope's shade: the curves' blue, lightened so the curves stay readable over it.
constexpr Color kEnvelopeShade{150, 190, 230};

// 10000 -> "10,000": run counts are read at a glance.
std::string Grouped(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
        out += digits[k];
    }
    return n < 0 ? "-" + out : out;
}

} // namespace

TfmView::TfmView(TDesign& design, Dialogs& dialogs)
    : PtCalc(design, dialogs, *this), d_(design), dlg_(dialogs) {}

TfmView::~TfmView() = default;

void TfmView::FormShow() {
    Visible = true;
    DropEnvelope();
    Simulated.clear(); // simulated from the circuit shown before
    for (int v = 0; v < kFinalVariantCount; ++v) {
        VariantNames[static_cast<std::size_t>(v)] = FinalVariantName(v);
        VariantEnabled[static_cast<std::size_t>(v)] = FinalVariantAvailable(d_, v);
        VariantChecked[static_cast<std::size_t>(v)] = v == StandardCExactR;
    }
    AllStages = true;
    FromStage = 1;
    ToStage = d_.StageCount;
    Axes = DefaultResponseAxes(d_);
    History.Clear();
    UnzoomBtnEnabled = ZoomMode = false;
    RubberBand.Visible = false;
    PtCalc.Visible = false;
    PtCalc.FormShow();
    Recompute(true);
    RunCheck();
    if (!Samples[StandardCExactR].empty())
        d_.DesignLevel = std::max<uint8_t>(d_.DesignLevel, LevelFinalResponse);
}

void TfmView::TabChange(int index) {
    if (index < GainTab || index > DelayTab) return;
    TabIndex = index;
    if (index != GainTab) ZoomMode = false;
    Recompute(false);
}

void TfmView::VariantClick(int variant) {
    if (variant < 0 || variant >= kFinalVariantCount || !VariantEnabled[static_cast<std::size_t>(variant)]) {
        dlg_.Beep();
        return;
    }
    VariantChecked[static_cast<std::size_t>(variant)] = !VariantChecked[static_cast<std::size_t>(variant)];
    Recompute(History.Empty());
}

void TfmView::StagesChange(bool all, int from, int to) {
    if (!all && (from < 1 || to > d_.StageCount || from > to)) {
        dlg_.Beep();
        return;
    }
    if (all != AllStages || (!all && (from != FromStage || to != ToStage))) DropEnvelope();
    AllStages = all;
    FromStage = from;
    ToStage = to;
    Recompute(History.Empty());
}

void TfmView::Refresh() {
    DropEnvelope();
    Recompute(History.Empty());
}

void TfmView::FrequencyUnitChanged() {
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    if (Axes.Freq.Max <= 0 || Axes.Freq.Hz == hz) return; // never shown, or already so
    const long double factor =
        hz ? 1.0L / (2.0L * std::numbers::pi_v<long double>) : 2.0L * std::numbers::pi_v<long double>;
    Axes.Freq.Min *= factor;
    Axes.Freq.Max *= factor;
    Axes.Freq.Hz = hz;
    DropEnvelope();
    Axes.Freq.Decade = DefaultFrequencyAxis(d_).Decade;
    History.Clear();
    UnzoomBtnEnabled = false;
    PtCalc.FormShow(); // its caption names the unit; values in the old unit are gone
    Recompute(false);
}

void TfmView::Recompute(bool rangeGain) {
    for (int v = 0; v < kFinalVariantCount; ++v)
        Samples[static_cast<std::size_t>(v)] = VariantChecked[static_cast<std::size_t>(v)]
                                                   ? FinalResponseSamples(d_, Axes.Freq, v, First(), Last())
                                                   : std::vector<FinalFrequencySample>{};
    // The value axes over the curves shown (the -400 dB floor does not count).
    long double maxDb = -1e300L, maxVV = 0, minLag = 1e300L, maxLag = -1e300L, largestDelay = 0;
    for (const auto& s : Samples)
        for (const FinalFrequencySample& p : s) {
            if (p.GainDb > -399.0) maxDb = std::max<long double>(maxDb, p.GainDb);
            maxVV = std::max<long double>(maxVV, p.GainVV);
            minLag = std::min<long double>(minLag, p.PhaseLag);
            maxLag = std::max<long double>(maxLag, p.PhaseLag);
            largestDelay = std::max<long double>(largestDelay, std::fabs(p.DelayS));
        }
    if (rangeGain && maxDb > -1e300L) {
        Axes.GainDb = GainDbAxisFor(maxDb);
        ReachBelowStopband(d_, Axes.GainDb);
        Axes.GainVV = GainVVAxisFor(maxVV);
    }
    if (maxLag >= minLag) Axes.Phase = PhaseAxisFor(minLag, maxLag);
    if (largestDelay > 0) {
        const ScaledRange delay = DelayAxisFor(largestDelay);
        Axes.DelayExp = delay.Exp;
        Axes.Delay = delay.Range;
    }
    XCaption = Axes.Freq.Hz ? "Frequency  (Hz)" : "Frequency  (rad/s)";
    Note.clear();
    switch (TabIndex) {
    case GainTab:
        YCaption = Axes.GainInDb ? "Gain  (dB)" : "Gain  (Vo/Vin)";
        break;
    case PhaseTab:
        YCaption = Axes.PhaseInDegrees ? "Phase (degrees)" : "Phase (radians)";
        Note = app::InvertingNote(InvertingStages(d_, First(), Last()));
        break;
    default:
        YCaption = "Delay (X1e" + std::to_string(Axes.DelayExp) + " s)";
        break;
    }
}

void TfmView::RunCheck() {
    Check.clear();
    if (!SpecificationCheckApplies(d_)) return;
    for (const CheckedVariant v : {CheckedVariant::Exact, CheckedVariant::Gbw, CheckedVariant::Standard,
                                   CheckedVariant::GbwStandard}) {
        const auto m = CheckVariant(d_, v);
        if (!m) continue;
        Check.push_back({CheckedVariantTitle(v), m->Meets() ? "meets" : "misses", MarginText(m->PassMarginDb),
                         m->HasStop ? MarginText(m->StopMarginDb) : std::string("none"), m->Meets()});
    }
}

const AxisRange& TfmView::ValueAxis() const {
    switch (TabIndex) {
    case GainTab:
        return Axes.GainInDb ? Axes.GainDb : Axes.GainVV;
    case PhaseTab:
        return Axes.Phase;
    default:
        return Axes.Delay;
    }
}

// ---- Monte Carlo envelope -------------------------------------------------------------

void TfmView::MonteCarloClick() {
    if (MonteCarloRunning()) return;
    const app::Parameter& runs = app::ParameterNamed("monte-carlo");
    if (!app::WithinRange(runs, Envelope.Runs)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, app::OutOfRangeMessage(runs, Envelope.Runs < runs.low,
                                                                  std::to_string(Envelope.Runs), "Runs"));
        return;
    }
    if (d_.DesignLevel < LevelComponents || d_.StageCount < 1) {
        EnvelopeStatus = EnvelopeState::NotAvailable;
        EnvelopeText = "No Monte Carlo envelope: the filter has no calculated circuits yet.";
        return;
    }
    // The band over the window's own column (what is drawn) together with the frequencies
    // where the mask decides: with the column alone a copy that leaves the mask between two
    // of its points, at a ripple trough or a stopband lobe, would be counted as meeting it.
    std::vector<long double> w;
    for (const auto& samples : Samples)
        if (!samples.empty()) {
            for (const FinalFrequencySample& p : samples)
                w.push_back(p.W);
            break;
        }
    if (w.empty())
        for (const FinalFrequencySample& p :
             FinalResponseSamples(d_, Axes.Freq, StandardCExactR, First(), Last()))
            w.push_back(p.W);
    if (AllStages)
        for (const long double x : MaskFrequencies(d_))
            w.push_back(x);
    std::sort(w.begin(), w.end());
    w.erase(std::unique(w.begin(), w.end()), w.end());

    MonteCarloOptions o;
    o.Runs = Envelope.Runs;
    o.Seed = Envelope.Seed;
    o.Distribution = Envelope.Distribution;
    o.W = std::move(w);
    o.First = First();
    o.Last = Last();
    job_ = std::make_unique<MonteCarloJob>(d_, std::move(o));
    jobForAllStages_ = AllStages;
    EnvelopeStatus = EnvelopeState::Running;
    EnvelopeRunsDone = 0;
    EnvelopeRuns = Envelope.Runs;
    EnvelopeText = "Monte Carlo: 0 of " + Grouped(EnvelopeRuns) + " runs";
}

void TfmView::MonteCarloCancel() {
    if (!job_) return;
    const int done = job_->RunsDone();
    job_.reset(); // cancels and waits for the worker
    EnvelopeStatus = EnvelopeState::Cancelled;
    EnvelopeText = "Monte Carlo cancelled after " + Grouped(done) + " of " + Grouped(EnvelopeRuns) + " runs" +
                   (EnvelopeResult ? "; the envelope shown is the one before." : ".");
}

bool TfmView::MonteCarloPoll() {
    if (!job_) return false;
    if (!job_->Finished()) {
        const int done = job_->RunsDone();
        if (done == EnvelopeRunsDone) return false;
        EnvelopeRunsDone = done;
        EnvelopeText = "Monte Carlo: " + Grouped(done) + " of " + Grouped(EnvelopeRuns) + " runs";
        return true;
    }
    std::optional<MonteCarloResult> r = job_->Take();
    job_.reset();
    if (!r) {
        EnvelopeStatus = EnvelopeState::NotAvailable;
        EnvelopeText = "No Monte Carlo envelope: a stage shown has no circuit with valid components.";
        return true;
    }
    EnvelopeStatus = EnvelopeState::Done;
    EnvelopeRunsDone = EnvelopeRuns;
    // The mask states what the whole filter must do; a part of the cascade is not judged.
    EnvelopeHasYield = r->Yield.has_value() && jobForAllStages_;
    if (EnvelopeHasYield) {
        char pct[32];
        std::snprintf(pct, sizeof pct, "%.1f", static_cast<double>(*r->Yield * 100));
        EnvelopeText = "Yield: " + std::string(pct) + " % of " + Grouped(r->Runs) + " runs meet the mask";
    } else if (d_.Spec.FilterType == UserDefined) {
        EnvelopeText =
            "Envelope of " + Grouped(r->Runs) + " runs; no yield: a user-defined filter has no mask";
    } else {
        EnvelopeText = "Envelope of " + Grouped(r->Runs) + " runs of stages " + std::to_string(First()) +
                       " to " + std::to_string(Last()) + "; no yield: the mask applies to the whole filter";
    }
    EnvelopeResult = std::move(r);
    return true;
}

void TfmView::DesignChanged() {
    DropEnvelope();
}

void TfmView::DropEnvelope() {
    job_.reset();
    EnvelopeResult.reset();
    EnvelopeHasYield = false;
    EnvelopeStatus = EnvelopeState::Idle;
    EnvelopeRunsDone = EnvelopeRuns = 0;
    EnvelopeText.clear();
}

// ---- Configure Graphs ---------------------------------------------------------------

void TfmView::ZoomBtnClick() {
    if (!ZoomBtnEnabled) return;
    ZoomMode = true;
    RubberBand.Visible = false;
}

void TfmView::UnzoomBtnClick() {
    ZoomMode = false;
    RubberBand.Visible = false;
    ZoomState s;
    if (!UnzoomBtnEnabled || !History.Pop(s)) return;
    RestoreZoomState(Axes, s);
    Recompute(false);
    UnzoomBtnEnabled = !History.Empty();
}

AxisConfiguration TfmView::ConfigBtnClick(std::optional<bool> gainInDb) const {
    AxisConfiguration c;
    const int decade = DefaultFrequencyAxis(d_).Decade;
    c.FreqSliderMin = std::pow(10.0L, static_cast<long double>(decade - 2));
    c.FreqSliderMax = std::pow(10.0L, static_cast<long double>(decade + 3));
    c.FreqMin = Axes.Freq.Min;
    c.FreqMax = Axes.Freq.Max;
    c.FreqLog = Axes.Freq.Log;
    c.GainInDb = gainInDb.value_or(Axes.GainInDb);
    if (c.GainInDb) {
        c.GainSliderMin =
            std::floor((std::min<long double>(Axes.GainDb.Min, -d_.Spec.Asb.value()) - 100) / 10) * 10;
        c.GainSliderMax = Axes.GainDb.Max + 20;
    } else {
        c.GainSliderMin = 0;
        c.GainSliderMax = 2 * Axes.GainVV.Max;
    }
    c.GainMin = c.GainInDb ? Axes.GainDb.Min : Axes.GainVV.Min;
    c.GainMax = c.GainInDb ? Axes.GainDb.Max : Axes.GainVV.Max;
    c.Grid = Axes.Grid;
    c.Marker3dB = Axes.Marker3dB;
    return c;
}

bool TfmView::ConfigureClick() {
    AxesRequest request;
    request.current = ConfigBtnClick();
    request.otherKind = ConfigBtnClick(!request.current.GainInDb);
    request.withTime = false;
    request.markerTitle = "3 dB ";
    request.markerLabel = " show 3dB line";
    const std::optional<AxisConfiguration> applied = dlg_.ConfigureAxes(request);
    return applied && ApplyConfiguration(*applied);
}

bool TfmView::ApplyConfiguration(const AxisConfiguration& c) {
    long double fMin = c.FreqMin;
    if (c.FreqLog && !(fMin > 0)) fMin = c.FreqSliderMin;
    if (Narrow(fMin, c.FreqMax, 0) || (c.FreqLog && !(fMin > 0)) ||
        Narrow(c.GainMin, c.GainMax, c.GainInDb ? 1.0L : 0.0L)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, "Axis range too narrow.");
        return false;
    }
    Axes.Freq.Min = fMin;
    Axes.Freq.Max = c.FreqMax;
    Axes.Freq.Log = c.FreqLog;
    Axes.GainInDb = c.GainInDb;
    if (c.GainInDb) {
        Axes.GainDb = RangeOf(c.GainMin, c.GainMax);
        Axes.GainVV = RangeOf(std::pow(10.0L, c.GainMin / 20), std::pow(10.0L, c.GainMax / 20));
    } else {
        Axes.GainVV = RangeOf(c.GainMin, c.GainMax);
        Axes.GainDb = RangeOf(GainToDb(c.GainMin), GainToDb(c.GainMax));
    }
    Axes.Grid = c.Grid;
    Axes.Marker3dB = c.Marker3dB;
    Recompute(false);
    return true;
}

// ---- Mouse ----------------------------------------------------------------------------

GraphCursor TfmView::CursorAt(double x, double y) const {
    if (!Area().Contains(x, y)) return GraphCursor::Arrow;
    return TabIndex == GainTab && ZoomMode ? GraphCursor::Zoom : GraphCursor::CrossHair;
}

void TfmView::ImageMouseDown(MouseButton button, double x, double y) {
    if (button == MouseButton::Right) {
        ZoomMode = false;
        RubberBand.Visible = false;
        return;
    }
    switch (CursorAt(x, y)) {
    case GraphCursor::Zoom:
        RubberBand = {true, x, y, x, y};
        break;
    case GraphCursor::CrossHair:
        if (!PtCalc.Visible) PtCalc.FormShow();
        PtCalc.Visible = true;
        PtCalc.EvaluateAt(FrequencyAtX(Axes.Freq, Area(), x));
        break;
    default:
        break;
    }
}

void TfmView::ImageMouseMove(double x, double y) {
    if (!RubberBand.Visible) return;
    const PlotArea a = Area();
    RubberBand.X2 = std::clamp(x, a.Left, a.Right);
    RubberBand.Y2 = std::clamp(y, a.Top, a.Bottom);
}

void TfmView::ImageMouseUp(MouseButton button, double x, double y) {
    if (button != MouseButton::Left || !ZoomMode || !RubberBand.Visible || TabIndex != GainTab) return;
    if (!Area().Contains(x, y)) return;
    ZoomMode = false;
    RubberBand.Visible = false;
    const ZoomState before = ZoomStateOf(Axes);
    ResponseAxes zoomed = Axes;
    if (ZoomToRectangle(zoomed, Area(), RubberBand.X1, RubberBand.Y1, x, y) != ZoomStatus::Zoomed) {
        dlg_.Message(MessageKind::Information, kZoomHint);
        return;
    }
    History.Push(before);
    Axes = zoomed;
    Recompute(false);
    UnzoomBtnEnabled = true;
}

// ---- Picture --------------------------------------------------------------------------

void TfmView::Paint(DrawingSurface& surface) const {
    CurveGraph g;
    g.Title = Tabs[static_cast<std::size_t>(TabIndex)];
    g.XCaption = XCaption;
    g.YCaption = YCaption;
    g.Freq = Axes.Freq;
    g.Grid = Axes.Grid;
    g.Value = ValueAxis();
    const bool radians = TabIndex == PhaseTab && !Axes.PhaseInDegrees;
    if (radians) {
        g.Value = {g.Value.Min / kDegreesPerRadian, g.Value.Max / kDegreesPerRadian, 0};
        g.Value.Tick = NiceTick(g.Value.Max - g.Value.Min);
    }
    const long double delayScale = std::pow(10.0L, -static_cast<long double>(Axes.DelayExp));
    for (int v = 0; v < kFinalVariantCount; ++v) {
        const auto& samples = Samples[static_cast<std::size_t>(v)];
        if (samples.empty()) continue;
        Curve c{VariantNames[static_cast<std::size_t>(v)],
                kVariantColours[v],
                v == OpAmpGbw ? PenStyle::Dash : PenStyle::Solid,
                {}};
        c.Points.reserve(samples.size());
        for (const FinalFrequencySample& p : samples) {
            const long double x = Axes.Freq.Hz ? p.FHz : p.W;
            long double y = 0;
            switch (TabIndex) {
            case GainTab:
                y = Axes.GainInDb ? p.GainDb : p.GainVV;
                break;
            case PhaseTab:
                y = radians ? p.PhaseDeg / kDegreesPerRadian : p.PhaseDeg;
                break;
            default:
                y = p.DelayS * delayScale;
                break;
            }
            c.Points.push_back({x, y});
        }
        g.Curves.push_back(std::move(c));
    }
    if (!Simulated.empty() && TabIndex != DelayTab) {
        Curve c{"ngspice", colors::Black, PenStyle::Dot, {}};
        for (const FinalFrequencySample& p : Simulated)
            c.Points.push_back(
                {Axes.Freq.Hz ? p.FHz : p.W, TabIndex == GainTab
                                                 ? (Axes.GainInDb ? p.GainDb : p.GainVV)
                                                 : (radians ? p.PhaseDeg / kDegreesPerRadian : p.PhaseDeg)});
        g.Curves.push_back(std::move(c));
    }
    if (TabIndex == GainTab) {
        g.Mask = GainMask(d_, Axes.Freq, Axes.GainInDb);
        if (EnvelopeResult) {
            CurveBand b{"Monte Carlo envelope of the values in effect (" + Grouped(EnvelopeResult->Runs) +
                            " runs)",
                        kEnvelopeShade,
                        {}};
            for (const MonteCarloPoint& p : EnvelopeResult->Band) {
                const long double x = Axes.Freq.Hz ? p.FHz : p.W;
                if (Axes.GainInDb)
                    b.Points.push_back({x, p.Min, p.Max});
                else
                    b.Points.push_back({x, std::pow(10.0L, p.Min / 20), std::pow(10.0L, p.Max / 20)});
            }
            g.Bands.push_back(std::move(b));
        }
    }
    PaintCurveGraph(surface, g);
}

// ---- Point calculator -----------------------------------------------------------------

TfmFPtCalc::TfmFPtCalc(TDesign& design, Dialogs& dialogs, const TfmView& view)
    : d_(design), dlg_(dialogs), view_(view) {}

void TfmFPtCalc::FormShow() {
    EntryCaption = view_.Axes.Freq.Hz ? "Frequency (Hz):" : "Frequency (rad/s):";
    Lines.clear();
}

void TfmFPtCalc::EntryChange(const std::string& text) {
    EntryText = text.substr(0, kEntryMaxLength);
}

void TfmFPtCalc::CalcBtnClick() {
    long double x = 0;
    if (!ParseDecimal(EntryText, x)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, "Invalid Number.");
        return;
    }
    Evaluate(x);
}

void TfmFPtCalc::EvaluateAt(long double x) {
    EntryCaption = view_.Axes.Freq.Hz ? "Frequency (Hz):" : "Frequency (rad/s):";
    // The entry holds seven characters: the abscissa to as many digits as fit.
    std::string text = ReadoutText(x);
    if (text.size() > kEntryMaxLength) {
        char buf[32];
        for (int digits = 6; digits >= 1; --digits) {
            std::snprintf(buf, sizeof buf, "%.*Lg", digits, x);
            text = buf;
            if (text.size() <= kEntryMaxLength) break;
        }
    }
    EntryText = text.substr(0, kEntryMaxLength);
    long double shown = x;
    if (!ParseDecimal(EntryText, shown)) shown = x;
    Evaluate(shown);
}

void TfmFPtCalc::Evaluate(long double x) {
    const long double w = view_.Axes.Freq.Hz ? x * 2.0L * std::numbers::pi_v<long double> : x;
    Lines.clear();
    for (int v = 0; v < kFinalVariantCount; ++v) {
        if (!view_.VariantChecked[static_cast<std::size_t>(v)]) continue;
        const auto p = FinalResponseAt(d_, v, view_.First(), view_.Last(), w);
        std::string value;
        if (!p) {
            value = "N/A";
        } else if (view_.TabIndex == TfmView::GainTab) {
            value = view_.Axes.GainInDb ? ReadoutText(GainToDb(p->GainVV)) + "  dB"
                                        : ReadoutText(p->GainVV) + "  V/V";
        } else if (view_.TabIndex == TfmView::PhaseTab) {
            value = view_.Axes.PhaseInDegrees ? ReadoutText(-p->PhaseLag) + "  deg"
                                              : ReadoutText(-p->PhaseLag / kDegreesPerRadian) + "  rad";
        } else {
            value = ReadoutText(p->Delay) + "  sec";
        }
        Lines.push_back(FinalVariantName(v) + ": " + value);
    }
}

} // namespace velmora
