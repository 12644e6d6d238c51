// TfmTransfer, "Biquadratic Coefficients": every stage as
// T(s) = To (A s^2 + B s + C) / (D s^2 + E s + F), in rad/s or in Hz.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora {

class TfmTransfer {
  public:
    explicit TfmTransfer(TDesign& design);

    std::string Caption = "Biquadratic Coefficients";
    bool Visible = false;
    bool Hz = false; // the window's own unit, rad/s each time it is shown
    std::vector<std::string> Headers;
    // One row per stage in cascade order: stage, type, To, A..F, wp, Qp, wz.
    std::vector<std::vector<std::string>> Rows;
    std::string Form = "T(s) = To * ";
    std::string Numerator = "As\xC2\xB2 + Bs + C";
    std::string Denominator = "Ds\xC2\xB2 + Es + F";
    std::vector<std::string> Notes = {"For 2nd order stage:",
                                      "wp = sqrt(F),  Qp = sqrt(F) / E",
                                      "For notch stage:",
                                      "wz = sqrt(C)",
                                      "To print:",
                                      "File...Print...Include transfer function(s)",
                                      "To save to file:",
                                      "File...Save data to ASCII file...Include transfer function(s)"};

    void FormShow();
    void UnitClick(bool hz);
    void Refresh();

  private:
    TDesign& d_;
};

// One stage's row of the coefficient table: the cell texts To, A, B, C, D, E, F, wp,
// Qp, wz ("1.0" and "0" for the literal entries, "----" where a column does not apply).
// To is the stage's actual gain. The ASCII export and the command line print the same.
std::array<std::string, 10> CoefficientRow(const TDesign& d, int stage, bool hz);

} // namespace velmora
