// The two component entry forms of the component-calculation window: TfmCapAdj ("Adjust
// Capacitor") sets a capacitor of the stage shown within +/-12 % of its reference value
// and recalculates the stage's resistors; TfmResAdj ("Adjust resistor value") gives a
// resistor a value of the user's choice.
#pragma once

#include <string>

#include "circuits/component_adjustment.h"
#include "model/design.h"
#include "ui/dialogs.h"

namespace velmora {

class TfmCapAdj {
  public:
    TfmCapAdj(TDesign& design, Dialogs& dialogs);

    std::string Caption; // "Adjust C1"
    bool Visible = false;
    std::string Unit;             // "pF", "nF" or "uF": the unit of every text below
    std::string CurrentText;      // the present value
    std::string MinText, MaxText; // " Allowable Range ": "Min:", "Max:"
    std::string Entry;            // " New Value ": "Enter:"
    std::string ConstraintText;   // the unity-gain Sallen-Key's extra limit, or empty
    long double Min = 0, Max = 0; // farads
    std::string Report;           // shown in the window after the form closed
    RecalcResult Result;          // the recalculation of the last accepted value

    // Opens the form for capacitor n of the stage. Circuits whose capacitors are tied and
    // designs with standard resistor values on do not open it; Report says why.
    void Open(int stage, int n);
    // "Stnd": the entry becomes the nearest 12-value series value.
    void StndClick();
    // "OK": true when the form closed (the value accepted and the stage recalculated, or
    // the recalculation's failure reported with the previous values kept).
    bool OKClick();

  private:
    TDesign& d_;
    Dialogs& dlg_;
    int stage_ = 0, n_ = 0;
    long double scale_ = 1e-9L; // farads per unit
};

class TfmResAdj {
  public:
    TfmResAdj(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Adjust resistor value";
    std::string Title; // "Adjust R3"
    bool Visible = false;
    std::string Entry; // "Enter new value:" ("12.3K")
    std::string UnitLabel = "ohm";
    bool SpinEnabled = false; // only for the 1, 5 and 10 % series
    std::string SpinReason;   // why the spin button is disabled

    void Open(int stage, int n);
    // The spin button: the next higher or lower value of the series, across decades.
    void SpinUp();
    void SpinDown();
    // OK: true when the value was accepted (the form closes).
    bool OKClick();
    void CancelClick() { Visible = false; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
    int stage_ = 0, n_ = 0;
    void Spin(int direction);
};

} // namespace velmora
