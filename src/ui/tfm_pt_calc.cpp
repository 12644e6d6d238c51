#include "ui/tfm_pt_calc.h"

#include <algorithm>
#include <cmath>

#include "analysis/frequency_response.h"
#include "analysis/ideal_filter.h"
#include "analysis/time_response.h"
#include "approx/approximation.h"
#include "model/number_text.h"

namespace velmora {

namespace {
constexpr long double kPi = 3.14159265358979323846264338327950288L;
}

std::string ReadoutText(long double v) {
    const long double a = std::fabs(v);
    if (a == 0) return "0";
    if (a >= 1e-3L && a < 1e6L) {
        const int digits = static_cast<int>(std::floor(std::log10(a))) + 1;
        return TrimmedText(v, std::clamp(5 - digits, 0, 8));
    }
    std::string s = ScientificText(v, 4);
    if (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

TfmPtCalc::TfmPtCalc(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmPtCalc::SetView(GraphTab tab, const ResponseAxes& axes) {
    tab_ = tab;
    axes_ = axes;
    if (IsTimeTab(tab))
        EntryCaption = "Time (X1e" + std::to_string(axes.Time.Exp) + " s)";
    else
        EntryCaption = axes.Freq.Hz ? "Frequency (Hz):" : "Frequency (rad/s):";
}

void TfmPtCalc::EntryChange(const std::string& text) {
    EntryText = text.substr(0, kEntryMaxLength);
}

void TfmPtCalc::CalcBtnClick() {
    long double x = 0;
    if (!ParseDecimal(EntryText, x)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, "Invalid Number.");
        return;
    }
    Evaluate(x);
}

void TfmPtCalc::EvaluateAt(long double x) {
    std::string text = ReadoutText(x);
    if (static_cast<int>(text.size()) > kEntryMaxLength) text = TrimmedText(x, 0).substr(0, kEntryMaxLength);
    EntryText = text;
    Evaluate(x);
}

void TfmPtCalc::Evaluate(long double x) {
    Lines.clear();
    if (tab_ == GraphTab::PoleZero) return;
    const long double G = d_.Spec.OverallGain;
    const long double w = ToRadPerSecond(axes_.Freq, x);
    const long double t = x * std::pow(10.0L, static_cast<long double>(axes_.Time.Exp));
    for (int a : ResponseApproximations(d_)) {
        const IdealFilter f = IdealFilterOf(d_, a);
        std::string value;
        switch (tab_) {
        case GraphTab::Gain: {
            const long double vv = IdealMagnitude(f, G, w);
            value = axes_.GainInDb ? ReadoutText(GainToDb(vv)) + "  dB" : ReadoutText(vv) + "  V/V";
            break;
        }
        case GraphTab::Phase: {
            const long double angle = -IdealPhaseLag(f, w); // the angle the graph shows
            value = axes_.PhaseInDegrees ? ReadoutText(angle) + "  deg"
                                         : ReadoutText(angle * kPi / 180) + "  rad";
            break;
        }
        case GraphTab::Delay:
            value = ReadoutText(IdealGroupDelay(f, w)) + "  sec";
            break;
        case GraphTab::Step:
            value = ReadoutText(StepValue(Residues(f), G, t)) + "  volts";
            break;
        case GraphTab::Impulse:
            value = ReadoutText(ImpulseValue(Residues(f), G, t)) + "  volts";
            break;
        case GraphTab::PoleZero:
            break;
        }
        const std::string name = d_.Spec.FilterType == UserDefined ? "User defined" : kApproxNames[a];
        Lines.push_back(name + ":  " + value);
    }
}

} // namespace velmora
