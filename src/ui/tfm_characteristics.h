// TfmCharacteristics, "Component characteristics": the tolerances and temperature
// coefficients the tolerance analysis and the circuit selection's gain-spread bars use,
// and per stage the op amp's gain-bandwidth, its tolerance, its temperature coefficient
// and its noise.
//
// Units as the form shows them: tolerances in %, temperature coefficients in ppm/deg C
// (the design record holds them times 1e-6), the temperature rise in deg C, the GBW in
// MHz (the record: Hz), the noise in nV/sqrt(Hz).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "circuits/selection.h"
#include "model/design.h"
#include "ui/dialogs.h"

namespace velmora {

class TfmCharacteristics {
  public:
    TfmCharacteristics(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Component characteristics";
    bool Visible = false;

    // The choices of the boxes.
    const std::vector<std::string> ToleranceItems = {"0.1", "0.25", "0.5", "1", "2", "5", "10"};
    const std::vector<std::string> TempRiseItems = {"10", "20", "30", "40", "50", "60", "70", "80"};
    const std::vector<std::string> GbwToleranceItems = {"5",  "10", "15", "20", "25",
                                                        "30", "35", "40", "45", "50"};
    const std::vector<std::string> GbwTempCoItems = {"1000", "2000", "3000", "4000", "5000",
                                                     "6000", "7000", "8000", "9000", "10000"};

    int ResistorToleranceIndex = 3, CapacitorToleranceIndex = 3; // "1"
    std::string ResistorTempCoText, CapacitorTempCoText;         // ppm/deg C
    int TempRiseIndex = 0;                                       // (index + 1) x 10 deg C

    struct StageEntry {
        std::string GbwText;       // MHz
        int GbwToleranceIndex = 5; // 30 %
        int GbwTempCoIndex = 0;    // 1000 ppm/deg C
        std::string NoiseText;     // nV/sqrt(Hz)
    };
    std::vector<std::string> Tabs;  // "Stage 1", ...
    std::vector<StageEntry> Stages; // stage 1 first
    int TabIndex = 0;

    // Set by OK when an entry differs from what the form opened with (the main window then
    // re-runs the dependent steps).
    bool Changed = false;

    // Opens the form on the design's values.
    void FormShow();
    // OK: validates and stores every value. A text that is not a number gives
    // "Invalid Number." and leaves the form open with the design unchanged. A stage
    // whose GBW changed keeps it from then on (the circuit selection no longer replaces
    // it); a resistor tolerance other than 1, 5 or 10 % switches the resistor inventory
    // off, as inventories exist only for those series.
    void BitBtn2Click();
    void CancelClick() { Visible = false; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
    // The entries as the form opened with them: OK compares with these.
    struct Opened {
        int rTol = 0, cTol = 0, rise = 0;
        std::string tcR, tcC;
        std::vector<StageEntry> stages;
    } opened_;
};

// Re-runs what depends on the component characteristics after they changed: from the
// stages level on, the selection metrics of every stage (its candidates' spreads); from
// the components level on, every stage's components (the final response follows from
// them). Returns whether the final response is to be redrawn.
struct CharacteristicsRerun {
    bool MetricsRecomputed = false;
    bool ComponentsRecalculated = false;
};
CharacteristicsRerun RerunAfterCharacteristicsChange(TDesign& d,
                                                     std::array<TCandidateSet, kMaxStages + 1>& sets);

} // namespace velmora
