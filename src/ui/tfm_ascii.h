// TfmAscii, "Save Ascii data": the options of the ASCII data file, and the export
// itself (model/ascii_export.h lays the text out).
//
// The check boxes keep their states while the program runs (all unchecked at start);
// the window is a member of the main window's model for that reason.
#pragma once

#include <optional>
#include <string>

#include "analysis/frequency_response.h"
#include "model/ascii_export.h"
#include "model/design.h"
#include "model/file_io.h"
#include "ui/dialogs.h"

namespace velmora {

struct TCheckBox {
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
};

// Gathers what the file needs from the later steps and writes it:
//  - the frequency table: the ideal responses are first computed over `axis` (the axis
//    the ideal-response graph shows; the design's default axis when none is given);
//  - the coefficient block: every stage's biquadratic coefficients in the file's unit;
//    the To row holds the gain the stage's circuit gives once components are calculated
//    (level 7 and above) and the gain the distribution asks of it before;
//  - the pole and zero block: the selected approximation's own poles and zeros.
// The design's display unit is not touched: the unit is the file's own. Afterwards the
// selected and current approximations are their saved copies again.
FileIoResult ExportAscii(TDesign& d, const AsciiOptions& options, bool hz, const std::string& path,
                         const std::optional<FrequencyAxis>& axis = std::nullopt);

// The file's text as ExportAscii writes it, with the given date line.
std::string AsciiText(TDesign& d, const AsciiOptions& options, bool hz, const std::string& dateTime,
                      const std::optional<FrequencyAxis>& axis = std::nullopt);

class TfmAscii {
  public:
    TfmAscii(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Save Ascii data";
    bool Visible = false;
    TCheckBox CheckBox1{" Include input parameters"};
    TCheckBox CheckBox2{" Include biquadratic transfer function(s)"};
    TCheckBox CheckBox3{" Include pole-zero data"};
    TCheckBox CheckBox4{" Include frequency data (350 points)"};

    // Offers the parts the design has: no specification for a user-defined filter (its
    // check mark is kept for the next design), coefficients only once stages exist
    // (level 5, or 3 for a user-defined filter; otherwise unchecked).
    void FormShow();
    AsciiOptions Options() const;

    // OK: writes the file in the unit given; a failure is shown and returns false.
    bool BitBtn1Click(const std::string& path, bool hz,
                      const std::optional<FrequencyAxis>& axis = std::nullopt);
    // Cancel.
    void BitBtn2Click() { Visible = false; }

  private:
    TDesign& d_;
    Dialogs& dlg_;
};

} // namespace velmora
