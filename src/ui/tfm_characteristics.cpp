// The component characteristics form and the re-run of the steps that depend on it.
#include "ui/tfm_characteristics.h"

#include <cmath>

#include "circuits/components.h"
#include "model/number_text.h"

namespace velmora {
namespace {

constexpr long double kPpm = 1.0e-6L;
constexpr long double kHzPerMHz = 1.0e6L;

// The item of a list nearest to a value (the lists are increasing numbers).
int NearestItem(const std::vector<std::string>& items, long double value) {
    int best = 0;
    long double bestGap = INFINITY;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const long double gap = std::fabs(std::stold(items[i]) - value);
        if (gap < bestGap) {
            bestGap = gap;
            best = static_cast<int>(i);
        }
    }
    return best;
}

long double ItemValue(const std::vector<std::string>& items, int index) {
    if (index < 0 || index >= static_cast<int>(items.size())) return 0.0L;
    return std::stold(items[static_cast<std::size_t>(index)]);
}

// A signed decimal entry (temperature coefficients may be negative).
bool ParseSigned(const std::string& text, long double& value) {
    if (!text.empty() && text[0] == '-') {
        if (!ParseDecimal(text.substr(1), value)) return false;
        value = -value;
        return true;
    }
    return ParseDecimal(text, value);
}

} // namespace

TfmCharacteristics::TfmCharacteristics(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmCharacteristics::FormShow() {
    const ComponentCharacteristics& k = d_.Components;
    ResistorToleranceIndex = NearestItem(ToleranceItems, k.ResistorTolerance);
    CapacitorToleranceIndex = NearestItem(ToleranceItems, k.CapacitorTolerance);
    ResistorTempCoText = TrimmedText(k.ResistorTempCo / kPpm, 1);
    CapacitorTempCoText = TrimmedText(k.CapacitorTempCo / kPpm, 1);
    TempRiseIndex = k.TempRise >= 10.0L ? NearestItem(TempRiseItems, k.TempRise) : 0;
    Tabs.clear();
    Stages.clear();
    for (int i = 1; i <= d_.StageCount; ++i) {
        const TStageCircuit& c = d_.Circuits[i];
        Tabs.push_back("Stage " + std::to_string(i));
        StageEntry e;
        e.GbwText = TrimmedText(c.OpAmpGBW / kHzPerMHz, 3);
        e.GbwToleranceIndex = NearestItem(GbwToleranceItems,
                                          c.GbwTolerance > 0.0L ? static_cast<long double>(c.GbwTolerance)
                                                                : static_cast<long double>(k.OpAmpTolerance));
        e.GbwTempCoIndex = NearestItem(GbwTempCoItems, c.GbwTempCo / kPpm);
        e.NoiseText = TrimmedText(c.OpAmpNoise > 0.0L ? static_cast<long double>(c.OpAmpNoise)
                                                      : static_cast<long double>(k.OpAmpNoise),
                                  1);
        Stages.push_back(e);
    }
    TabIndex = 0;
    Changed = false;
    opened_ = {ResistorToleranceIndex, CapacitorToleranceIndex, TempRiseIndex,
               ResistorTempCoText,     CapacitorTempCoText,     Stages};
    Visible = true;
}

void TfmCharacteristics::BitBtn2Click() {
    // Everything is read before anything is stored.
    long double tcR = 0, tcC = 0;
    if (!ParseSigned(ResistorTempCoText, tcR) || !ParseSigned(CapacitorTempCoText, tcC)) {
        dlg_.Message(MessageKind::Error, "Invalid Number.");
        return;
    }
    struct Read {
        long double gbwHz, tol, tc, noise;
    };
    std::vector<Read> reads;
    for (std::size_t i = 0; i < Stages.size(); ++i) {
        long double gbw = 0, noise = 0;
        if (!ParseDecimal(Stages[i].GbwText, gbw) || !(gbw > 0.0L) ||
            !ParseDecimal(Stages[i].NoiseText, noise)) {
            TabIndex = static_cast<int>(i);
            dlg_.Message(MessageKind::Error, "Invalid Number.");
            return;
        }
        reads.push_back({gbw * kHzPerMHz, ItemValue(GbwToleranceItems, Stages[i].GbwToleranceIndex),
                         ItemValue(GbwTempCoItems, Stages[i].GbwTempCoIndex) * kPpm, noise});
    }
    ComponentCharacteristics& k = d_.Components;
    const long double tR = ItemValue(ToleranceItems, ResistorToleranceIndex);
    const long double tC = ItemValue(ToleranceItems, CapacitorToleranceIndex);
    const long double rise = (TempRiseIndex + 1) * 10.0L;
    bool changed = ResistorToleranceIndex != opened_.rTol || CapacitorToleranceIndex != opened_.cTol ||
                   TempRiseIndex != opened_.rise || ResistorTempCoText != opened_.tcR ||
                   CapacitorTempCoText != opened_.tcC;
    k.ResistorTolerance = tR;
    k.CapacitorTolerance = tC;
    k.ResistorTempCo = tcR * kPpm;
    k.CapacitorTempCo = tcC * kPpm;
    k.TempRise = rise;
    if (tR != 1.0L && tR != 5.0L && tR != 10.0L) k.UseResInventory = 0;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        TStageCircuit& c = d_.Circuits[static_cast<int>(i) + 1];
        const Read& r = reads[i];
        const StageEntry& now = Stages[i];
        const StageEntry* was = i < opened_.stages.size() ? &opened_.stages[i] : nullptr;
        if (!was || now.GbwText != was->GbwText) {
            c.GbwChangedByUser = 1;
            changed = true;
        }
        changed = changed || !was || now.GbwToleranceIndex != was->GbwToleranceIndex ||
                  now.GbwTempCoIndex != was->GbwTempCoIndex || now.NoiseText != was->NoiseText;
        c.OpAmpGBW = r.gbwHz;
        c.GbwTolerance = r.tol;
        c.GbwTempCo = r.tc;
        c.OpAmpNoise = r.noise;
    }
    if (changed) d_.Modified = 1;
    Changed = changed;
    Visible = false;
}

CharacteristicsRerun RerunAfterCharacteristicsChange(TDesign& d,
                                                     std::array<TCandidateSet, kMaxStages + 1>& sets) {
    CharacteristicsRerun r;
    if (d.DesignLevel >= LevelCascaded) {
        for (int i = 1; i <= d.StageCount; ++i)
            EvaluateCandidates(d, i, sets[static_cast<std::size_t>(i)]);
        r.MetricsRecomputed = true;
    }
    if (d.DesignLevel >= LevelComponents) {
        for (int i = 1; i <= d.StageCount; ++i)
            if (d.Circuits[i].CircuitChoice > 0) CalculateComponents(d, i);
        r.ComponentsRecalculated = true;
    }
    return r;
}

} // namespace velmora
