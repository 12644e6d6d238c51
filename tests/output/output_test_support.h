// Designs for the netlist tests: hand-built stages with chosen component values, and
// whole filters designed through the selection functions with chosen circuits.
#pragma once

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/selection.h"
#include "model/design.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"
#include "support/designs.h"

namespace velmora::outtest {

using test::DesignWith;

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

} // namespace velmora::outtest
