// TfmCompSens: the sensitivity window. One tab per stage; the table lists, for every
// resistor and capacitor of the stage's circuit, the relative sensitivities
// (dP/P)/(dx/x) that the circuit's design stored in the component slots, with a bar
// per value drawn from the column's centre line (right for positive, left for
// negative), its length the value over the table's largest magnitude times the half
// column width, truncated to whole pixels.
#pragma once

#include <string>
#include <vector>

#include "model/design.h"
#include "ui/drawing_surface.h"

namespace velmora {

class TfmCompSens {
  public:
    explicit TfmCompSens(const TDesign& design);

    // Value columns: the gain constant, pole frequency, pole Q and zero frequency of a
    // second-order stage; a first-order stage fills only T0 and the further column wc
    // (its pole frequency).
    enum Column { T0, Wp, Qp, Wz, Wc, ColumnCount };

    struct Cell {
        bool Shown = false;    // the column applies to the stage
        long double Value = 0; // the sensitivity
        std::string Text;      // three decimals, empty when not shown
        int Bar = 0;           // pixels from the centre line, negative to the left
    };
    struct Row {
        std::string Name;        // "R1" .. "C4"
        std::vector<Cell> Cells; // ColumnCount cells
    };

    const std::string Title = "Sensitivity of ->";
    const std::string SecondTitle = "w.r.t.:";
    const std::string SignCaption = "-   +"; // over every value column
    std::vector<std::string> Tabs;           // "Stage 1" ..
    std::vector<std::string> ColumnTitles;   // "T0", "wp", "Qp", "wz" and, first order, "wc"
    int Stage = 0;
    bool FirstOrder = false;
    // The largest magnitude over the rows and columns shown; 0 draws no bars.
    long double Scale = 0;
    std::vector<Row> Rows;
    double HalfColumnWidth = 40; // pixels

    bool Visible = false;
    // Opens the window on the first stage.
    void FormShow();
    void CloseClick() { Visible = false; }
    // Choosing a tab (stage 1..n) rebuilds the table for that stage.
    void TabChange(int stage);
    // The table drawn at (left, top): titles, row names, values and bars.
    void Paint(DrawingSurface& surface, double left, double top) const;

  private:
    const TDesign& d_;
};

} // namespace velmora
