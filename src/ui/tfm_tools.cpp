#include "ui/tfm_tools.h"

#include <algorithm>
#include <cmath>

#include "circuits/standard_values.h"
#include "model/number_text.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {

bool ParseSignedDecimal(const std::string& text, long double& value) {
    std::string s = text;
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    long double magnitude = 0;
    if (!ParseDecimal(s, magnitude)) return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

TfmDbConvert::TfmDbConvert(Dialogs& dialogs) : dlg_(dialogs) {}

void TfmDbConvert::Refuse(const std::string& message) {
    dlg_.Beep();
    dlg_.Message(MessageKind::Warning, message);
}

void TfmDbConvert::DbToVvClick() {
    long double db = 0;
    if (!ParseSignedDecimal(DbText, db)) return Refuse("The dB entry is not a number.");
    if (std::fabs(db) > kDbLimit) return Refuse("dB limited here to +/- 700");
    VvText = ReadoutText(std::pow(10.0L, 0.05L * db));
}

void TfmDbConvert::VvToDbClick() {
    long double vv = 0;
    if (!ParseSignedDecimal(VvText, vv)) return Refuse("The V/V entry is not a number.");
    if (vv < 0) {
        dlg_.Message(MessageKind::Information, "Negative sign ignored");
        vv = -vv;
    }
    if (vv == 0) return Refuse("A gain of 0 V/V has no value in dB.");
    const long double db = 20.0L * std::log10(vv);
    if (std::fabs(db) > kDbLimit) return Refuse("dB limited here to +/- 700");
    DbText = ReadoutText(db);
}

TfmResValues::TfmResValues() {
    SeriesChange(0);
}

void TfmResValues::SeriesChange(int index) {
    SeriesIndex = std::clamp(index, 0, 2);
    const Series s = SeriesIndex == 0 ? Series::E96 : SeriesIndex == 1 ? Series::E24 : Series::E12;
    SeriesTitle = std::string(s == Series::E96   ? "E96"
                              : s == Series::E24 ? "E24"
                                                 : "E12") +
                  " (" + std::to_string(SeriesTolerance(s)) + " %)";
    // The 1 % series has three significant digits, the others two.
    const int decimals = s == Series::E96 ? 2 : 1;
    Lines.clear();
    const auto mantissas = SeriesMantissas(s);
    for (std::size_t i = 0; i < mantissas.size(); ++i) {
        if (i % 12 == 0) Lines.emplace_back();
        std::string& line = Lines.back();
        if (!line.empty()) line += ' ';
        line += FixedText(mantissas[i] / 100.0L, decimals);
    }
}

} // namespace velmora
