// TfmView, "Final frequency responses": the gain, phase and delay of the designed circuit
// from its real component values, for the stage range and the component variants chosen,
// over axes of its own (zoom with history, "Configure Axes"), with the specification's
// mask on the gain tab and the check of every realised variant against it; and
// TfmFPtCalc, its point calculator, which a click on the graph fills.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/final_response.h"
#include "analysis/graph_axes.h"
#include "analysis/monte_carlo.h"
#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"
#include "ui/tfm_graph.h"

namespace velmora {

class TfmView;
class MonteCarloJob;

class TfmFPtCalc {
  public:
    static constexpr int kEntryMaxLength = 7;
    TfmFPtCalc(TDesign& design, Dialogs& dialogs, const TfmView& view);

    bool Visible = false;
    std::string EntryCaption; // "Frequency (Hz):" or "Frequency (rad/s):"
    std::string EntryText;
    std::vector<std::string> Lines; // per checked variant: its name, the value and the unit

    void FormShow();
    void EntryChange(const std::string& text);
    void CalcBtnClick();
    // A click on the graph: the abscissa x (display frequency unit) into the entry, and
    // the values there.
    void EvaluateAt(long double x);

  private:
    TDesign& d_;
    Dialogs& dlg_;
    const TfmView& view_;

    void Evaluate(long double x);
};

class TfmView {
  public:
    TfmView(TDesign& design, Dialogs& dialogs);
    ~TfmView(); // cancels a running Monte Carlo analysis and waits for its worker
    TfmView(const TfmView&) = delete;
    TfmView& operator=(const TfmView&) = delete;

    enum Tab { GainTab = 0, PhaseTab = 1, DelayTab = 2 };
    std::string Caption = "Final frequency responses";
    bool Visible = false;
    std::vector<std::string> Tabs = {"Gain", "Phase", "Delay"};
    int TabIndex = GainTab;

    // "Show Stages": " All", or " From stage" .. "To Stage".
    bool AllStages = true;
    int FromStage = 1, ToStage = 1;
    // "Show Response:" one check box per variant; only the available ones can be checked.
    std::array<std::string, kFinalVariantCount> VariantNames{};
    std::array<bool, kFinalVariantCount> VariantEnabled{}, VariantChecked{};

    // The curves: per checked variant its samples over the frequency column.
    std::array<std::vector<FinalFrequencySample>, kFinalVariantCount> Samples;
    std::vector<std::string> Note; // the inverting-output note, on the phase tab
    // The response ngspice simulated from the netlist (gain and phase), drawn over the
    // curves on those tabs; empty until a simulation has finished.
    std::vector<FinalFrequencySample> Simulated;
    std::string XCaption, YCaption;

    // The axes: the frequency limits start as the ideal response's; the gain axes are
    // ranged over the curves until a zoom or "Configure Axes" sets them; the phase axis
    // and the delay scale (Axes.DelayExp, Axes.Delay) follow the curves.
    ResponseAxes Axes;
    ZoomHistory History;
    bool ZoomBtnEnabled = true, UnzoomBtnEnabled = false, ZoomMode = false;
    double PictureWidth = 800, PictureHeight = 600;
    TfmGraph::Band RubberBand;

    TfmFPtCalc PtCalc;

    // The realised variants checked against the specification: a row per variant present
    // (exact values, with the op amps, and with standard values while they are on).
    struct CheckRow {
        std::string Variant;                // "Exact values", "Exact values, op amps", ...
        std::string Verdict;                // "meets" or "misses"
        std::string PassMargin, StopMargin; // "+0.012 dB"
        bool Meets = false;
    };
    std::vector<CheckRow> Check;

    // Showing the window: the curves over the ideal response's frequency column; the
    // design reaches the final-response level.
    void FormShow();
    void TabChange(int index);
    void VariantClick(int variant);
    void StagesChange(bool all, int from, int to);
    void Refresh();
    // The design's frequency unit changed: the frequency axis keeps its span in the new
    // unit (the zoom history, in the old unit, is dropped) and the curves, the check and
    // the point calculator's caption follow.
    void FrequencyUnitChanged();

    // "Configure Graphs".
    void ZoomBtnClick();
    void UnzoomBtnClick();
    AxisConfiguration ConfigBtnClick(std::optional<bool> gainInDb = std::nullopt) const;
    bool ApplyConfiguration(const AxisConfiguration& c);
    // "Configure": the dialog through the Dialogs port (no time axis, a "3 dB " line),
    // asked with both kinds of attenuation axis; false when cancelled or refused.
    bool ConfigureClick();

    // Mouse on the picture: a zoom cursor in zoom mode on the gain tab, else a cross-hair
    // that opens the point calculator at the clicked frequency.
    GraphCursor CursorAt(double x, double y) const;
    void ImageMouseDown(MouseButton button, double x, double y);
    void ImageMouseMove(double x, double y);
    void ImageMouseUp(MouseButton button, double x, double y);

    PlotArea Area() const { return PlotAreaOf(PictureWidth, PictureHeight); }
    // The current tab: the checked variants' curves, with the mask on the gain tab.
    void Paint(DrawingSurface& surface) const;
    // The value axis of the current tab.
    const AxisRange& ValueAxis() const;

    int First() const { return AllStages ? 1 : FromStage; }
    int Last() const { return AllStages ? d_.StageCount : ToStage; }

    // The Monte Carlo envelope on the gain tab: the band between the lowest and the
    // highest gain of many copies of the filter shown, each with its components drawn
    // within their tolerances, and the share of copies that meet the mask. It runs in the
    // background on a copy of the design; the window polls MonteCarloPoll() and stays
    // usable. A change of the design, of the stage range or of the frequency unit cancels
    // a running analysis and drops a finished envelope: an envelope always belongs to the
    // circuits drawn beside it.
    enum class EnvelopeState { Idle, Running, Done, Cancelled, NotAvailable };
    struct EnvelopeRequest {
        int Runs = 10000; // within the "monte-carlo" parameter's range
        ToleranceDistribution Distribution = ToleranceDistribution::Gaussian;
        std::uint64_t Seed = MonteCarloOptions{}.Seed;
    };
    EnvelopeRequest Envelope;
    EnvelopeState EnvelopeStatus = EnvelopeState::Idle;
    int EnvelopeRunsDone = 0, EnvelopeRuns = 0; // progress while running
    std::string EnvelopeText;                   // the status line: progress, yield or why not
    // The last finished envelope (its band over the window's column and the mask
    // frequencies, and its yield when the whole filter with a mask was analysed).
    std::optional<MonteCarloResult> EnvelopeResult;
    bool EnvelopeHasYield = false;

    // "Monte Carlo": starts the analysis (nothing happens while one runs). Runs out of
    // the parameter's range are refused with its message.
    void MonteCarloClick();
    void MonteCarloCancel();
    // Takes the progress, and the result once the worker has finished; true when the
    // window has something new to show.
    bool MonteCarloPoll();
    bool MonteCarloRunning() const { return EnvelopeStatus == EnvelopeState::Running; }
    // The design changed under the window: a running analysis is cancelled and the
    // envelope dropped.
    void DesignChanged();

  private:
    TDesign& d_;
    Dialogs& dlg_;
    std::unique_ptr<MonteCarloJob> job_;
    bool jobForAllStages_ = true;

    void DropEnvelope();
    void Recompute(bool rangeGain);
    void RunCheck();
};

} // namespace velmora
