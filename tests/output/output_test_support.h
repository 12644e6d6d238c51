// Designs for the netlist tests: hand-built stages with chosen component values, and
// whole filters designed through the selection functions with chosen circuits.
#pragma once

#include <string>
#include <vector>

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/selection.h"
#include "model/design.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"

namespace velmora::outtest {

// A design of `count` SLP01 stages (R1 = 10 123.4 Ohm, R2 = 470 Ohm, C1 = 15 nF,
// C2 = 2.2 nF) with calculated components, op amps of 1 MHz and 12 nV/sqrt(Hz).
inline TDesign HandBuiltSlp01(int count) {
    TDesign d;
    NewDesign(d, Lowpass);
    d.StageCount = static_cast<int16_t>(count);
    d.DesignLevel = LevelComponents;
    for (int i = 1; i <= count; ++i) {
        d.Stages[i].StageType = 2;
        d.Stages[i].Wp = 2.0e4L;
        d.Stages[i].Qp = 0.7L;
        TStageCircuit& c = d.Circuits[i];
        c.CircuitNumber = 11;
        c.CircuitChoice = 1;
        c.ResistorCount = 2;
        c.CapacitorCount = 2;
        c.OpAmpCount = 1;
        c.NotRealisable = 0;
        c.OpAmpGBW = 1.0e6L;
        c.OpAmpNoise = 12.0L;
        R(c, 1) = 10123.4L;
        R(c, 2) = 470.0L;
        C(c, 1) = 1.5e-8L;
        C(c, 2) = 2.2e-9L;
    }
    return d;
}

// A specification designed to calculated components: the approximation, its stages, and
// for every stage of the key's type the circuit `key` (others chosen automatically),
// compensated or predistorted on request. False (with the reason) when it fails.
struct Designed {
    bool ok = false;
    std::string message;
};
inline Designed DesignWith(TDesign& d, const stagetest::Spec& spec, int approx, const std::string& key,
                           bool compensate = false, bool predistort = false, long double gbwHz = 0) {
    Designed out;
    if (!stagetest::Calculate(d, spec)) {
        out.message = "approximations failed";
        return out;
    }
    ChooseApproximation(d, approx);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) {
        out.message = "stage synthesis failed";
        return out;
    }
    const CatalogueEntry* e = key.empty() ? nullptr : EntryByKey(key);
    std::vector<StageCircuitRequest> requests(static_cast<std::size_t>(d.StageCount));
    for (int i = 1; i <= d.StageCount; ++i) {
        StageCircuitRequest& r = requests[static_cast<std::size_t>(i - 1)];
        r.gbwHz = gbwHz;
        if (e && d.Stages[i].StageType == e->type) {
            r.key = std::string(e->key);
            r.compensate = compensate;
            r.predistort = predistort;
        }
    }
    const CircuitsOutcome o = DesignStageCircuits(d, requests);
    out.ok = o.ok;
    out.message = o.message;
    return out;
}

} // namespace velmora::outtest
