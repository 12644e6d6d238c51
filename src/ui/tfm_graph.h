// TfmGraph: the ideal response window. It shows the gain, phase, group delay, step,
// impulse and pole-zero graphs of the approximations, lets the user compare them (all
// at once or one), choose one, read values with the point calculator, zoom into the
// gain graph and undo zooms, and configure the axes. Choosing an approximation and
// "Next" hand the design on to pole-zero pairing through the callbacks the main
// window's model sets.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "analysis/ideal_responses.h"
#include "model/design.h"
#include "ui/axis_configuration.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"
#include "ui/graph_painter.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {

// The hint shown when a zoom rectangle was not drawn from upper left to lower right.
inline constexpr const char* kZoomHint =
    "Draw zoom rectangle from upper left to lower right, holding down left mouse button as you draw.";

enum class MouseButton { Left, Right };
enum class GraphCursor { Arrow, Zoom, CrossHair, PoleZero };

class TfmGraph {
  public:
    TfmGraph(TDesign& design, Dialogs& dialogs);

    std::string Caption = "View frequency and time responses, select Approximation:";
    bool Visible = false;

    std::vector<std::string> Tabs;
    int TabIndex = 0;

    // "Display Approximations": 0 "View all", 1 "View single".
    std::string DisplayCaption = "Display Approximations";
    std::array<std::string, 2> DisplayItems = {"View all", "View single"};
    int DisplayIndex = 0;

    // "Select Approximation": one radio button per approximation, with its order.
    struct ApproxButton {
        std::string Caption;
        std::string OrderText; // "N = 7"
        bool Enabled = false;
        bool Visible = true;
    };
    std::string SelectCaption = "Select Approximation";
    std::array<ApproxButton, kApproxCount> ApproxButtons;
    int ApproxIndex = 0; // the checked button

    // "Configure Graphs".
    bool ZoomBtnEnabled = true;
    bool UnzoomBtnEnabled = false;
    bool ZoomMode = false;

    bool BitBtn1Enabled = false; // "Next"

    // The picture the graphs are drawn into, pixels.
    double PictureWidth = 800, PictureHeight = 600;

    ResponseAxes Axes;
    ZoomHistory History;

    // The zoom rectangle being dragged, from the corner where the button went down to
    // the mouse; shown while Visible.
    struct Band {
        bool Visible = false;
        double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    };
    Band RubberBand;

    TfmPtCalc PtCalc;
    bool PoleZeroListVisible = false;
    std::vector<std::string> PoleZeroList;

    // Set by the main window's model: an approximation was chosen; "Next" was pressed.
    std::function<void(int)> OnApproximationChosen;
    std::function<void()> OnNext;
    // Set by the main window's model: the record of the ideal responses shared with the
    // specification step; with it, the responses the design already holds over the
    // default axes are not computed again when the window opens.
    IdealResponseRecord* Responses = nullptr;

    // Shows the window for the design: the approximation buttons, the default axes and
    // the responses over them.
    void FormShow();
    void TabControl1Change(int index);
    void RadioGroup1Click(int index); // View all / View single
    void RadioGroup2Click(int index); // choose an approximation
    void ZoomBtnClick();
    void UnzoomBtnClick();
    // "Configure": the dialog's settings; ApplyConfiguration is its "Apply" (Cancel
    // simply drops the copy). Returns false, with a message, when a range is refused.
    // `gainInDb` asks for the attenuation axis in that kind (the dialog's radio buttons),
    // with its range and slider span in that kind's unit; else the axis's own kind.
    AxisConfiguration ConfigBtnClick(std::optional<bool> gainInDb = std::nullopt) const;
    bool ApplyConfiguration(const AxisConfiguration& c);
    // "Configure": asks the person through the Dialogs port, with the settings in both
    // kinds of attenuation axis, and applies what comes back. False when the dialog is
    // cancelled or a range is refused.
    bool ConfigureClick();
    // The display unit changed: the frequency limits follow it.
    void FrequencyUnitChanged();
    void BitBtn1Click(); // "Next"

    // Mouse on the picture.
    GraphCursor CursorAt(double x, double y) const;
    void ImageMouseDown(MouseButton button, double x, double y);
    void ImageMouseUp(MouseButton button, double x, double y);
    // The mouse moved over the picture: a zoom rectangle being dragged follows it
    // (clamped to the plot area).
    void ImageMouseMove(double x, double y);

    GraphTab Tab() const { return static_cast<GraphTab>(TabIndex); }
    PlotArea Area() const { return PlotAreaOf(PictureWidth, PictureHeight); }
    std::vector<int> ShownApproximations() const;
    // The current tab, with the specification's mask on the gain tab.
    void Paint(DrawingSurface& surface) const { PaintTab(surface, Tab()); }
    // Any tab over the current axes (for printing every tab).
    void PaintTab(DrawingSurface& surface, GraphTab tab) const;

  private:
    TDesign& d_;
    Dialogs& dlg_;

    void Choose(int index);
    void RecomputeFrequencyResponses();
    void RecomputeTimeResponses();
    bool CrossHairTab(GraphTab tab) const;
    void Zoom(double x2, double y2);
};

// The pole-zero list of an approximation: "Pole pair", "Single pole", "Zero pair",
// "Single zero" and "2 Single zeros" items with their values in the display unit.
std::vector<std::string> PoleZeroListTexts(const TDesign& d, int approx, bool hz);

} // namespace velmora
