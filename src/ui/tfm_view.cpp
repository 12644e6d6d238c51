#include "ui/tfm_view.h"

#include <cmath>
#include <numbers>

#include "model/number_text.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {

TfmView::TfmView(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmView::FormShow() {
    Visible = true;
    for (int v = 0; v < kFinalVariantCount; ++v) {
        VariantNames[static_cast<std::size_t>(v)] = FinalVariantName(v);
        VariantEnabled[static_cast<std::size_t>(v)] = FinalVariantAvailable(d_, v);
        VariantChecked[static_cast<std::size_t>(v)] = v == StandardCExactR;
    }
    AllStages = true;
    FromStage = 1;
    ToStage = d_.StageCount;
    Refresh();
    if (!Samples[StandardCExactR].empty())
        d_.DesignLevel = std::max<uint8_t>(d_.DesignLevel, LevelFinalResponse);
}

void TfmView::TabChange(int index) {
    if (index < GainTab || index > DelayTab) return;
    TabIndex = index;
    Refresh();
}

void TfmView::VariantClick(int variant) {
    if (variant < 0 || variant >= kFinalVariantCount || !VariantEnabled[static_cast<std::size_t>(variant)]) {
        dlg_.Beep();
        return;
    }
    VariantChecked[static_cast<std::size_t>(variant)] = !VariantChecked[static_cast<std::size_t>(variant)];
    Refresh();
}

void TfmView::StagesChange(bool all, int from, int to) {
    if (!all && (from < 1 || to > d_.StageCount || from > to)) {
        dlg_.Beep();
        return;
    }
    AllStages = all;
    FromStage = from;
    ToStage = to;
    Refresh();
}

void TfmView::Refresh() {
    for (int v = 0; v < kFinalVariantCount; ++v)
        Samples[static_cast<std::size_t>(v)] = VariantChecked[static_cast<std::size_t>(v)]
                                                   ? FinalResponse(d_, v, First(), Last())
                                                   : std::vector<FinalFrequencySample>{};
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    XCaption = hz ? "Frequency  (Hz)" : "Frequency  (rad/s)";
    Note.clear();
    switch (TabIndex) {
    case GainTab:
        YCaption = d_.Opt.GainUnitsDb ? "Gain  (dB)" : "Gain  (Vo/Vin)";
        break;
    case PhaseTab:
        YCaption = "Phase (degrees)";
        Note = InvertingNote(InvertingStages(d_, First(), Last()));
        break;
    default: {
        // The largest delay scaled by powers of ten into (1, 10].
        long double largest = 0.0L;
        for (const auto& s : Samples)
            for (const FinalFrequencySample& p : s)
                largest = std::max(largest, static_cast<long double>(std::fabs(p.DelayS)));
        int e = 0;
        if (largest > 0.0L) {
            while (largest * std::pow(10.0L, static_cast<long double>(-e)) <= 1.0L)
                --e;
            while (largest * std::pow(10.0L, static_cast<long double>(-e)) > 10.0L)
                ++e;
        }
        YCaption = "Delay (X1e" + std::to_string(e) + " s)";
        break;
    }
    }
}

TfmFPtCalc::TfmFPtCalc(TDesign& design, Dialogs& dialogs, const TfmView& view)
    : d_(design), dlg_(dialogs), view_(view) {}

void TfmFPtCalc::FormShow() {
    EntryCaption = d_.Opt.FreqUnitsHz ? "Frequency (Hz):" : "Frequency (rad/s):";
    Lines.clear();
}

void TfmFPtCalc::EntryChange(const std::string& text) {
    EntryText = text.substr(0, kEntryMaxLength);
}

void TfmFPtCalc::CalcBtnClick() {
    long double x = 0;
    if (!ParseDecimal(EntryText, x)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, "Invalid Number.");
        return;
    }
    const long double w = d_.Opt.FreqUnitsHz ? x * 2.0L * std::numbers::pi_v<long double> : x;
    Lines.clear();
    for (int v = 0; v < kFinalVariantCount; ++v) {
        if (!view_.VariantChecked[static_cast<std::size_t>(v)]) continue;
        const auto p = FinalResponseAt(d_, v, view_.First(), view_.Last(), w);
        std::string value;
        if (!p) {
            value = "N/A";
        } else if (view_.TabIndex == TfmView::GainTab) {
            value = d_.Opt.GainUnitsDb ? ReadoutText(GainToDb(p->GainVV)) + "  dB"
                                       : ReadoutText(p->GainVV) + "  V/V";
        } else if (view_.TabIndex == TfmView::PhaseTab) {
            value = ReadoutText(-p->PhaseLag) + "  deg";
        } else {
            value = ReadoutText(p->Delay) + "  sec";
        }
        Lines.push_back(FinalVariantName(v) + ": " + value);
    }
}

} // namespace velmora
