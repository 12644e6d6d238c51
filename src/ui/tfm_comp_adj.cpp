#include "ui/tfm_comp_adj.h"

#include <cmath>

#include "app/messages.h"
#include "circuits/catalogue.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "model/number_text.h"

namespace velmora {
namespace {

// An entry may lie this far from its reference value either way.
constexpr long double kRangeFactor = 1.12L;
// The unity-gain Sallen-Key lowpass reaches its Q only while
// (sqrt(R1/R2) + sqrt(R2/R1)) sqrt(C2/C1) / sqrt(C2r/C1r) stays at least 2.
constexpr long double kSallenKeyLimit = 2.0L;
constexpr int kTrials = 100;

const std::string kNotEntered = "Value not entered!";
const std::string kOutOfRange = "Value does not fall within required range!";
const std::string kNotANumber = "Value is not a number!";

struct UnitOf {
    long double scale;
    const char* name;
};
UnitOf CapacitorUnit(long double farads) {
    if (farads < 9.9999e-10L) return {1.0e-12L, "pF"};
    if (farads < 9.9999e-7L) return {1.0e-9L, "nF"};
    return {1.0e-6L, "uF"};
}

// A value in the unit, five significant characters.
std::string Shown(long double farads, long double scale) {
    return ValueDigits(farads / scale, 6);
}

std::optional<long double> Number(const std::string& text) {
    long double v = 0;
    std::string t = text;
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    if (!ParseDecimal(t, v)) return std::nullopt;
    return v;
}

} // namespace

TfmCapAdj::TfmCapAdj(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmCapAdj::Open(int stage, int n) {
    Visible = false;
    Report.clear();
    ConstraintText.clear();
    if (stage < 1 || stage > d_.StageCount || n < 1 || n > d_.Circuits[stage].CapacitorCount) return;
    if (d_.Components.StandardROn) {
        Report = app::kCapacitorsLockedText;
        return;
    }
    if (!CapacitorsAdjustable(d_, stage)) {
        Report = app::kNotAmenableText;
        return;
    }
    stage_ = stage;
    n_ = n;
    const TStageCircuit& c = d_.Circuits[stage];
    const TComponentItem& item = c.Components[kResistorSlots + n];
    const long double value = item.Value;
    const long double reference = c.CapsExact ? static_cast<long double>(item.Alternative) : value;
    const UnitOf u = CapacitorUnit(reference);
    scale_ = u.scale;
    Unit = u.name;
    Caption = "Adjust C" + std::to_string(n);
    CurrentText = Shown(value, scale_);
    Min = reference / kRangeFactor;
    Max = reference * kRangeFactor;

    const CatalogueEntry* e = StageCircuitEntry(d_, stage);
    if (e && e->key == "SLP01" && (n == 1 || n == 2)) {
        const ComponentValues<long double> ref = ReferenceComponentValues(d_, stage);
        const long double r1 = ref.R[1], r2 = ref.R[2], c1r = ref.C[1], c2r = ref.C[2];
        const auto figure = [&](long double c1, long double c2) {
            return (std::sqrt(r1 / r2) + std::sqrt(r2 / r1)) * std::sqrt(c1r * c2 / (c1 * c2r));
        };
        if (n == 1) {
            long double last = c1r;
            for (int i = 1; i <= kTrials; ++i) {
                const long double trial = c1r + i * 0.01L * (Max - c1r);
                if (figure(trial, C(c, 2)) < kSallenKeyLimit) {
                    Max = last;
                    break;
                }
                last = trial;
            }
        } else {
            long double last = c2r;
            for (int i = 1; i <= kTrials; ++i) {
                const long double trial = c2r - i * 0.01L * (c2r - Min);
                if (figure(C(c, 1), trial) < kSallenKeyLimit) {
                    Min = last;
                    break;
                }
                last = trial;
            }
        }
        ConstraintText = std::string("This circuit is additionally constrained. At this point in ") +
                         "the design, a minimum ratio of C2/C1 must be maintained. " + "Therefore, " +
                         (n == 1 ? "C1 cannot exceed " + Shown(Max, scale_) + Unit + "."
                                 : "C2 must be at least " + Shown(Min, scale_) + Unit + ".");
    }
    MinText = Shown(Min, scale_);
    MaxText = Shown(Max, scale_);
    Entry = CurrentText;
    Visible = true;
}

void TfmCapAdj::StndClick() {
    const auto v = Number(Entry);
    if (!v || !(*v > 0.0L)) return;
    if (const auto p = NearestInSeries(*v * scale_, Series::E12))
        Entry = Shown(SeriesValue(Series::E12, *p), scale_);
}

bool TfmCapAdj::OKClick() {
    if (!Visible) return false;
    if (Entry.find_first_not_of(' ') == std::string::npos) {
        dlg_.Message(MessageKind::Warning, kNotEntered);
        return false;
    }
    const auto v = Number(Entry);
    if (!v) {
        dlg_.Message(MessageKind::Warning, kNotANumber);
        return false;
    }
    // Judged against the range the shown texts stand for, so that typing the Min or Max
    // shown is accepted.
    const long double shownMin = Number(MinText).value_or(Min / scale_);
    const long double shownMax = Number(MaxText).value_or(Max / scale_);
    if (*v < shownMin || *v > shownMax) {
        dlg_.Message(MessageKind::Warning, kOutOfRange);
        return false;
    }
    Result = SetCapacitor(d_, stage_, n_, *v * scale_);
    Report = Result.ok() ? app::GainChangeReport(Result.gainChange) : app::RecalcMessage(Result.status);
    Visible = false;
    return true;
}

TfmResAdj::TfmResAdj(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmResAdj::Open(int stage, int n) {
    Visible = false;
    if (stage < 1 || stage > d_.StageCount || n < 1 || n > d_.Circuits[stage].ResistorCount) return;
    stage_ = stage;
    n_ = n;
    const TComponentItem& item = d_.Circuits[stage].Components[n];
    Title = "Adjust R" + std::to_string(n);
    const long double shown =
        item.Adjusted > 0.0L ? static_cast<long double>(item.Adjusted) : static_cast<long double>(item.Value);
    Entry = ResistanceDisplayText(shown);
    SpinReason = app::StandardValuesUnavailableReason(d_);
    SpinEnabled = SpinReason.empty();
    Visible = true;
}

void TfmResAdj::Spin(int direction) {
    const auto series = SeriesForTolerance(d_.Components.ResistorTolerance);
    const auto v = ParseResistance(Entry);
    if (!series || !v || !(*v > 0.0L)) return;
    const auto nb = FindNeighbours(*v, *series);
    if (!nb) return;
    SeriesPosition p = direction > 0 ? nb->upper : nb->lower;
    if (nb->standard) p = StepPosition(*series, p, direction > 0 ? 1 : -1);
    Entry = ResistanceDisplayText(SeriesValue(*series, p));
}
void TfmResAdj::SpinUp() {
    Spin(+1);
}
void TfmResAdj::SpinDown() {
    Spin(-1);
}

bool TfmResAdj::OKClick() {
    if (!Visible) return false;
    const auto v = ParseResistance(Entry);
    if (!v) {
        dlg_.Message(MessageKind::Warning, kNotANumber);
        return false;
    }
    if (*v < kLowestResistance) {
        dlg_.Message(MessageKind::Warning, app::kResistanceTooLowText);
        return false;
    }
    AssignResistor(d_, stage_, n_, *v);
    Visible = false;
    return true;
}

} // namespace velmora
