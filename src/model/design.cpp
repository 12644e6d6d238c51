#include "model/design.h"

namespace velmora {

void ClearApproxResult(Approximation& a) {
    a.Result = ApproxResult{};
    for (int k = 1; k <= kTableEntries; ++k) {
        a.PoleList[k] = PoleListEntry{};
        a.ZeroList[k] = ZeroListEntry{};
        a.PoleTable[k] = PoleTableEntry{};
        a.ZeroTable[k] = ZeroTableEntry{};
    }
    a.QpTooHigh = 0;
    a.AllPole = 0;
    a.RippleFactor = 0.0L;
    a.ProtoScale = 0.0L;
}

void NewDesign(TDesign& d, uint8_t filterType) {
    d.FileName.clear();
    d.DesignLevel = LevelEmpty;
    d.Modified = 0;
    d.StepChanged = 0;
    d.Loading = 0;
    d.ResultsReady = 0;
    d.LoadedFromFile = 0;

    for (int i = 0; i < kApproxCount; ++i) {
        d.CurrentApprox = static_cast<int16_t>(i);
        ClearApproxResult(d.Approx[i]);
        d.Approx[i].Ideal = {};
    }
    d.CurrentApprox = d.SavedApprox = Butterworth;
    d.SelectedApprox = d.SavedSelectedApprox = Butterworth;
    d.FreqColumn = {};
    d.Ranges = GraphRanges{};

    Specification spec;
    spec.FilterType = filterType;
    spec.LastApproxIndex = filterType == UserDefined ? 0 : 4;
    spec.OverallGain = 1.0L;
    spec.ForceOrder = 0;
    spec.UserGainConstant = 1.0L;
    spec.UserPoleSlotFree.fill(1);
    spec.UserZeroSlotFree.fill(1);
    d.Spec = spec;

    d.StageCount = d.PoleCount = d.ZeroCount = 0;
    d.Poles = {};
    d.Zeros = {};
    d.Stages = {};
    d.UserBlocks = {};
    d.CapSets = {};
    d.CapSetsWorking = {};
    d.Criteria = {};
    d.Circuits = {};
    for (auto& c : d.Circuits) {
        c.GbwTolerance = d.Components.OpAmpTolerance;
        c.OpAmpNoise = d.Components.OpAmpNoise;
    }
    d.Opt.ResistorAdjustmentDone = 0;
}

} // namespace velmora
