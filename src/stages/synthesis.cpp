#include "stages/synthesis.h"

#include "stages/cascade.h"
#include "stages/pairing.h"

namespace velmora {

void ChooseApproximation(TDesign& d, int index) {
    if (index < 0 || index >= kApproxCount) return;
    if (d.SelectedApprox != index || d.DesignLevel < LevelApproxChosen) MarkStepChanged(d);
    d.SelectedApprox = d.SavedSelectedApprox = static_cast<uint8_t>(index);
    d.CurrentApprox = d.SavedApprox = static_cast<int16_t>(index);
    d.DesignLevel = LevelApproxChosen;
}

int DefaultApproximation(const TDesign& d) {
    int best = -1;
    for (int i = 0; i <= d.Spec.LastApproxIndex && i < kApproxCount; ++i) {
        const Approximation& a = d.Approx[i];
        if (!isUsable(a) || a.Result.Order < 1) continue;
        if (best < 0) {
            best = i;
            continue;
        }
        const Approximation& b = d.Approx[best];
        if (a.Result.Order < b.Result.Order ||
            (a.Result.Order == b.Result.Order && a.Result.MaxQp < b.Result.MaxQp))
            best = i;
    }
    return best;
}

SynthesisStatus CascadeAndDistribute(TDesign& d, const StageGainRealiser& circuits) {
    if (!AutoCascade(d)) return SynthesisStatus::CascadeFailed;
    DistributeGains(d, circuits);
    OverallActualGain(d);
    d.DesignLevel = LevelCascaded;
    return SynthesisStatus::Ok;
}

SynthesisStatus SynthesiseStages(TDesign& d, const StageGainRealiser& circuits) {
    if (d.DesignLevel < LevelApproxChosen || d.CurrentApprox < 0 || d.CurrentApprox >= kApproxCount ||
        !isUsable(d.current()))
        return SynthesisStatus::NotChosen;
    if (d.Spec.FilterType == UserDefined) return CascadeAndDistribute(d, circuits); // stages entered by hand
    InitPairingLists(d);
    switch (AutoPair(d)) {
    case AutoPairStatus::Ok:
        break;
    case AutoPairStatus::ZeroLeftOver:
        d.DesignLevel = LevelApproxChosen;
        return SynthesisStatus::ZeroLeftOver;
    case AutoPairStatus::TooManyStages:
        d.DesignLevel = LevelApproxChosen;
        return SynthesisStatus::TooManyStages;
    }
    MarkStepChanged(d);
    d.DesignLevel = LevelPaired;
    const SynthesisStatus s = CascadeAndDistribute(d, circuits);
    if (s != SynthesisStatus::Ok) d.DesignLevel = LevelPaired;
    return s;
}

} // namespace velmora
