#include "ui/tfm_graph.h"

#include <algorithm>
#include <cmath>

#include "analysis/ideal_filter.h"
#include "analysis/ideal_responses.h"
#include "model/number_text.h"
#include "ui/response_plots.h"

namespace velmora {

namespace {

constexpr long double kTwoPi = 6.28318530717958647692528676655900577L;

constexpr std::array<const char*, kApproxCount> kButtonCaptions = {
    " Butterworth ", " Chebyshev ", " Inverse Chebyshev", " Elliptic  (Cauer)  ", " Bessel (Thompson) "};

// A configured range narrower than this fraction of its limits is refused, as a zoom is.
constexpr long double kMinimumSpan = 1.0e-6L;
constexpr const char* kRangeRefused = "Axis range too narrow.";

bool Narrow(long double lo, long double hi, long double floor) {
    const long double size = std::max({std::fabs(lo), std::fabs(hi), floor});
    return !(hi > lo) || hi - lo < kMinimumSpan * size;
}

AxisRange RangeOf(long double lo, long double hi) {
    AxisRange r{lo, hi, NiceTick(hi - lo)};
    if (!(r.Max > r.Min)) r.Max = r.Min + 1;
    return r;
}

} // namespace

TfmGraph::TfmGraph(TDesign& design, Dialogs& dialogs) : PtCalc(design, dialogs), d_(design), dlg_(dialogs) {
    Tabs.assign(kGraphTabCaptions.begin(), kGraphTabCaptions.end());
    for (int i = 0; i < kApproxCount; ++i)
        ApproxButtons[i].Caption = kButtonCaptions[i];
}

void TfmGraph::FormShow() {
    Visible = true;
    for (int i = 0; i < kApproxCount; ++i) {
        ApproxButton& b = ApproxButtons[i];
        const ApproxResult& r = d_.Approx[i].Result;
        b.Visible = i <= d_.Spec.LastApproxIndex;
        b.Enabled = HasIdealResponse(d_, i);
        b.OrderText = r.OrderTooHigh ? "N = >20" : "N = " + std::to_string(r.Order);
    }
    if (d_.Spec.FilterType == UserDefined) ApproxButtons[0].Caption = " User defined ";

    // The checked button: the selected approximation, or the first one that can be
    // shown when the selected one cannot.
    const std::vector<int> usable = ResponseApproximations(d_);
    ApproxIndex = d_.SelectedApprox;
    if (!HasIdealResponse(d_, ApproxIndex) && !usable.empty()) ApproxIndex = usable.front();
    BitBtn1Enabled = !usable.empty();

    Axes = DefaultResponseAxes(d_);
    History.Clear();
    UnzoomBtnEnabled = false;
    ZoomMode = false;
    RubberBand.Visible = false;
    const IdealAxes axes{Axes.Freq, Axes.Time};
    if (Responses)
        ComputeIdealResponses(d_, axes, *Responses);
    else
        ComputeIdealResponses(d_, axes);
    RangeGainAxes(d_, usable, Axes);
    RangeResponseAxes(d_, usable, Axes);
    PtCalc.SetView(Tab(), Axes);
    PoleZeroListVisible = false;
}

std::vector<int> TfmGraph::ShownApproximations() const {
    if (DisplayIndex == 0) return ResponseApproximations(d_);
    if (HasIdealResponse(d_, ApproxIndex)) return {ApproxIndex};
    return {};
}

void TfmGraph::TabControl1Change(int index) {
    if (index < 0 || index >= kGraphTabCount) return;
    TabIndex = index;
    RubberBand.Visible = false;
    PtCalc.SetView(Tab(), Axes);
    PtCalc.Lines.clear();
}

void TfmGraph::RadioGroup1Click(int index) {
    if (index < 0 || index > 1) return;
    DisplayIndex = index;
}

void TfmGraph::RadioGroup2Click(int index) {
    if (index < 0 || index >= kApproxCount || !ApproxButtons[index].Enabled) return;
    Choose(index);
}

// Choosing an approximation commits it: it becomes the current and the selected one
// (and their saved copies); a different choice than before, or the first one, makes
// the later steps start again from level 3.
void TfmGraph::Choose(int index) {
    const bool changed = index != d_.SelectedApprox || d_.DesignLevel < LevelApproxChosen;
    ApproxIndex = index;
    d_.CurrentApprox = d_.SavedApprox = static_cast<int16_t>(index);
    d_.SelectedApprox = d_.SavedSelectedApprox = static_cast<uint8_t>(index);
    if (changed) {
        MarkStepChanged(d_);
        d_.DesignLevel = LevelApproxChosen;
    }
    if (PoleZeroListVisible) PoleZeroList = PoleZeroListTexts(d_, ApproxIndex, Axes.Freq.Hz);
    if (OnApproximationChosen) OnApproximationChosen(index);
}

void TfmGraph::BitBtn1Click() {
    if (!BitBtn1Enabled || !HasIdealResponse(d_, ApproxIndex)) return;
    if (d_.DesignLevel < LevelApproxChosen) Choose(ApproxIndex);
    Visible = false;
    PtCalc.Visible = false;
    if (OnNext) OnNext();
}

// ---- Recomputation -----------------------------------------------------------------------

void TfmGraph::RecomputeFrequencyResponses() {
    ComputeIdealFrequencyResponses(d_, Axes.Freq);
    Axes.Freq = UsableFrequencyAxis(Axes.Freq);
    // The phase and delay axes follow the new column; the gain axes are the zoomed ones.
    ResponseAxes ranged = Axes;
    RangeFrequencyResponseAxes(d_, ResponseApproximations(d_), ranged);
    Axes.Phase = ranged.Phase;
    Axes.Delay = ranged.Delay;
    Axes.DelayExp = ranged.DelayExp;
    PtCalc.SetView(Tab(), Axes);
}

void TfmGraph::RecomputeTimeResponses() {
    ComputeIdealTimeResponses(d_, Axes.Time);
    ResponseAxes ranged = Axes;
    RangeTimeResponseAxes(d_, ResponseApproximations(d_), ranged);
    Axes.Step = ranged.Step;
    Axes.Impulse = ranged.Impulse;
    Axes.ImpulseExp = ranged.ImpulseExp;
    PtCalc.SetView(Tab(), Axes);
}

// ---- Zoom ----------------------------------------------------------------------------------

void TfmGraph::ZoomBtnClick() {
    if (!ZoomBtnEnabled) return;
    ZoomMode = true;
    RubberBand.Visible = false;
}

void TfmGraph::UnzoomBtnClick() {
    ZoomMode = false;
    RubberBand.Visible = false;
    ZoomState s;
    if (!UnzoomBtnEnabled || !History.Pop(s)) return;
    RestoreZoomState(Axes, s);
    RecomputeFrequencyResponses();
    UnzoomBtnEnabled = !History.Empty();
}

void TfmGraph::Zoom(double x2, double y2) {
    ZoomMode = false;
    RubberBand.Visible = false;
    const ZoomState before = ZoomStateOf(Axes);
    ResponseAxes zoomed = Axes;
    if (ZoomToRectangle(zoomed, Area(), RubberBand.X1, RubberBand.Y1, x2, y2) != ZoomStatus::Zoomed) {
        dlg_.Message(MessageKind::Information, kZoomHint);
        return;
    }
    History.Push(before);
    Axes = zoomed;
    RecomputeFrequencyResponses();
    UnzoomBtnEnabled = true;
}

// ---- Mouse -----------------------------------------------------------------------------------

bool TfmGraph::CrossHairTab(GraphTab tab) const {
    // The frequency and time tabs; a user-defined filter reads values on the frequency tabs.
    if (d_.Spec.FilterType == UserDefined) return IsFrequencyTab(tab);
    return tab != GraphTab::PoleZero;
}

GraphCursor TfmGraph::CursorAt(double x, double y) const {
    if (!Area().Contains(x, y)) return GraphCursor::Arrow;
    if (Tab() == GraphTab::PoleZero) return GraphCursor::PoleZero;
    if (Tab() == GraphTab::Gain && ZoomMode) return GraphCursor::Zoom;
    return CrossHairTab(Tab()) ? GraphCursor::CrossHair : GraphCursor::Arrow;
}

void TfmGraph::ImageMouseDown(MouseButton button, double x, double y) {
    if (button == MouseButton::Right) {
        ZoomMode = false;
        RubberBand.Visible = false;
        return;
    }
    if (!Area().Contains(x, y)) return;
    switch (CursorAt(x, y)) {
    case GraphCursor::Zoom:
        RubberBand = {true, x, y, x, y};
        break;
    case GraphCursor::PoleZero:
        PoleZeroList = PoleZeroListTexts(d_, ApproxIndex, Axes.Freq.Hz);
        PoleZeroListVisible = true;
        break;
    case GraphCursor::CrossHair: {
        PtCalc.Visible = true;
        PtCalc.SetView(Tab(), Axes);
        const long double abscissa =
            IsTimeTab(Tab()) ? TimeAtX(Axes.Time, Area(), x) : FrequencyAtX(Axes.Freq, Area(), x);
        PtCalc.EvaluateAt(abscissa);
        break;
    }
    case GraphCursor::Arrow:
        break;
    }
}

void TfmGraph::ImageMouseMove(double x, double y) {
    if (!RubberBand.Visible) return;
    const PlotArea a = Area();
    RubberBand.X2 = std::clamp(x, a.Left, a.Right);
    RubberBand.Y2 = std::clamp(y, a.Top, a.Bottom);
}

void TfmGraph::ImageMouseUp(MouseButton button, double x, double y) {
    if (button != MouseButton::Left || !ZoomMode || !RubberBand.Visible || Tab() != GraphTab::Gain) return;
    if (!Area().Contains(x, y)) return;
    Zoom(x, y);
}

// ---- Configure Axes --------------------------------------------------------------------------

AxisConfiguration TfmGraph::ConfigBtnClick(std::optional<bool> gainInDb) const {
    AxisConfiguration c;
    const int decade = DefaultFrequencyAxis(d_).Decade;
    c.FreqSliderMin = std::pow(10.0L, static_cast<long double>(decade - 2));
    c.FreqSliderMax = std::pow(10.0L, static_cast<long double>(decade + 3));
    c.FreqMin = Axes.Freq.Min;
    c.FreqMax = Axes.Freq.Max;
    c.FreqLog = Axes.Freq.Log;
    c.GainInDb = gainInDb.value_or(Axes.GainInDb);
    // The attenuation slider reaches 100 dB below the lowest shown or specified level
    // and 20 dB above the top (in V/V from 0 to twice the top); the time slider from 0
    // to ten times the default full scale.
    if (c.GainInDb) {
        const long double floor =
            std::min<long double>(Axes.GainDb.Min, -static_cast<long double>(d_.Spec.Asb));
        c.GainSliderMin = std::floor((floor - 100) / 10) * 10;
        c.GainSliderMax = Axes.GainDb.Max + 20;
    } else {
        c.GainSliderMin = 0;
        c.GainSliderMax = 2 * Axes.GainVV.Max;
    }
    c.GainMin = c.GainInDb ? Axes.GainDb.Min : Axes.GainVV.Min;
    c.GainMax = c.GainInDb ? Axes.GainDb.Max : Axes.GainVV.Max;
    const long double ms = std::pow(10.0L, static_cast<long double>(Axes.Time.Exp)) * 1000.0L;
    c.TimeMinMs = Axes.Time.Start * ms;
    c.TimeMaxMs = Axes.Time.FullScale * ms;
    const TimeAxis time = DefaultResponseAxes(d_).Time;
    c.TimeSliderMinMs = 0;
    c.TimeSliderMaxMs = std::max(
        10 * time.FullScale * std::pow(10.0L, static_cast<long double>(time.Exp)) * 1000.0L, c.TimeMaxMs);
    c.Grid = Axes.Grid;
    c.Marker3dB = Axes.Marker3dB;
    return c;
}

bool TfmGraph::ConfigureClick() {
    AxesRequest request;
    request.current = ConfigBtnClick();
    request.otherKind = ConfigBtnClick(!request.current.GainInDb);
    const std::optional<AxisConfiguration> applied = dlg_.ConfigureAxes(request);
    return applied && ApplyConfiguration(*applied);
}

bool TfmGraph::ApplyConfiguration(const AxisConfiguration& c) {
    long double fMin = c.FreqMin;
    // A logarithmic axis never takes a limit of 0 or below: the slider's lowest decade.
    if (c.FreqLog && !(fMin > 0)) fMin = c.FreqSliderMin;
    const bool refused = Narrow(fMin, c.FreqMax, 0) || (c.FreqLog && !(fMin > 0)) ||
                         Narrow(c.GainMin, c.GainMax, c.GainInDb ? 1.0L : 0.0L) ||
                         Narrow(c.TimeMinMs, c.TimeMaxMs, 0) || c.TimeMinMs < 0;
    if (refused) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, kRangeRefused);
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
    // The time axis in units of the power of ten that brings its end into (1, 10].
    const long double endS = c.TimeMaxMs / 1000.0L;
    Axes.Time.Exp = DecimalExponent(endS);
    const long double unit = std::pow(10.0L, static_cast<long double>(Axes.Time.Exp));
    Axes.Time.FullScale = endS / unit;
    Axes.Time.Start = c.TimeMinMs / 1000.0L / unit;
    Axes.Time.Tick = NiceTick(Axes.Time.FullScale - Axes.Time.Start);
    Axes.Grid = c.Grid;
    Axes.Marker3dB = c.Marker3dB;
    RecomputeFrequencyResponses();
    RecomputeTimeResponses();
    return true;
}

void TfmGraph::FrequencyUnitChanged() {
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    if (Axes.Freq.Hz == hz) return;
    const long double factor = hz ? 1.0L / kTwoPi : kTwoPi;
    Axes.Freq.Min *= factor;
    Axes.Freq.Max *= factor;
    Axes.Freq.Hz = hz;
    Axes.Freq.Decade = DefaultFrequencyAxis(d_).Decade;
    // The saved limits are in the old unit.
    History.Clear();
    UnzoomBtnEnabled = false;
    RecomputeFrequencyResponses();
    if (PoleZeroListVisible) PoleZeroList = PoleZeroListTexts(d_, ApproxIndex, hz);
}

void TfmGraph::PaintTab(DrawingSurface& surface, GraphTab tab) const {
    GraphView view{tab, Axes, ShownApproximations(), {}};
    if (tab == GraphTab::Gain) view.Mask = GainMask(d_, Axes.Freq, Axes.GainInDb);
    PaintResponseGraph(surface, d_, view);
}

// ---- Pole-zero list ----------------------------------------------------------------------------

std::vector<std::string> PoleZeroListTexts(const TDesign& d, int approx, bool hz) {
    std::vector<std::string> lines;
    if (!HasIdealResponse(d, approx)) return lines;
    const IdealFilter f = IdealFilterOf(d, approx);
    const long double scale = hz ? 1.0L / kTwoPi : 1.0L;
    const std::string unit = hz ? " Hz" : " rad/s";
    const std::string f0 = hz ? "f0" : "w0", fz = hz ? "fz" : "wz";
    auto pole = [&](long double sigma) { return "Single pole:  p = -" + ReadoutText(sigma * scale) + unit; };
    for (const auto& s : f.Sections) {
        if (s.RealPoles) {
            lines.push_back(pole(s.Sigma1));
            lines.push_back(pole(s.Sigma2));
            continue;
        }
        const long double wp = std::sqrt(s.C);
        lines.push_back("Pole pair:  p = -" + ReadoutText(s.Sigma * scale) + " \u00b1 j" +
                        ReadoutText(s.Omega * scale) + unit + "   " + f0 + " = " +
                        FrequencyWithUnit(wp * scale, hz) + "   Q = " + ReadoutText(s.B > 0 ? wp / s.B : 0));
    }
    for (const auto& p : f.RealPoles)
        lines.push_back(pole(p.Sigma));
    for (const auto& z : f.ZeroPairs) {
        if (z.Wz == 0) {
            lines.push_back("2 Single zeros:  z = 0");
            continue;
        }
        lines.push_back("Zero pair:  z = \u00b1 j" + ReadoutText(z.Wz * scale) + unit + "   " + fz + " = " +
                        FrequencyWithUnit(z.Wz * scale, hz));
    }
    if (f.OriginZero) lines.push_back("Single zero:  z = 0");
    return lines;
}

} // namespace velmora
