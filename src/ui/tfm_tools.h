// The two small tools of the main window: the dB / V/V converter and the window of
// standard resistance values.
#pragma once

#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace velmora {

// The converter: a gain in dB becomes 10^(dB/20) V/V, a gain in V/V becomes
// 20 log10 |V/V| dB. Magnitudes above 700 dB (about 1e35 V/V) are refused, a negative
// V/V is converted by its magnitude after telling the person, and 0 V/V, which has no
// finite dB value, is refused.
class TfmDbConvert {
  public:
    explicit TfmDbConvert(Dialogs& dialogs);

    static constexpr long double kDbLimit = 700;

    std::string DbText = "0";
    std::string VvText = "1";

    // dB -> V/V: fills VvText from DbText.
    void DbToVvClick();
    // V/V -> dB: fills DbText from VvText.
    void VvToDbClick();

  private:
    Dialogs& dlg_;
    void Refuse(const std::string& message);
};

// A number as typed: an optional sign and a decimal number (digits with at most one
// point). Nothing else is a number.
bool ParseSignedDecimal(const std::string& text, long double& value);

// The window of standard resistance values: the preferred values of the 1 %, 5 % or
// 10 % series for one decade, twelve to a line ("1.00 1.02 ..." for 1 %, "1.0 1.1 ..."
// as the smaller series are printed).
class TfmResValues {
  public:
    TfmResValues();

    const std::string Caption = "Standard Resistance Values";
    const std::vector<std::string> SeriesItems = {"1%", "5%", "10%"};
    int SeriesIndex = 0;
    std::string SeriesTitle;        // "E96 (1 %)", ...
    std::vector<std::string> Lines; // the values, twelve per line

    void SeriesChange(int index);
};

} // namespace velmora
