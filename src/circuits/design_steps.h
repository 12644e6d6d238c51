// Steps the circuit design routines share: positivity checks, the record restored on a
// failed design, and the finite-GBW step that gives the working targets wp', Qp'.
#pragma once

#include <cmath>
#include <initializer_list>

#include "circuits/circuit_design.h"

namespace velmora {

inline bool PositiveFinite(long double x) {
    return std::isfinite(x) && x > 0;
}

inline bool AllPositiveFinite(std::initializer_list<long double> xs) {
    for (long double x : xs)
        if (!PositiveFinite(x)) return false;
    return true;
}

// The record as the design found it; a failed design puts it back and marks the circuit.
struct DesignScope {
    TStageCircuit& c;
    TStageCircuit saved;
    explicit DesignScope(TStageCircuit& circuit) : c(circuit), saved(circuit) {}
    bool Fail() {
        c = saved;
        c.NotRealisable = 1;
        return false;
    }
};

struct Working {
    long double wp, qp;
};

// Sets the finite-GBW coefficients (and the second pair), runs the GBW step and returns
// the working targets wp', Qp' every component value is computed from.
inline Working GbwWorking(TDesign& d, int stage, long double kw, long double kq, long double k3 = 0,
                          long double k4 = 0) {
    TStageCircuit& c = d.Circuits[stage];
    c.GbwFactorWp = kw;
    c.GbwFactorQp = kq;
    c.GbwFactor3 = k3;
    c.GbwFactor4 = k4;
    GbwStep(d, stage);
    return {c.WpPrime, c.QpPrime};
}

} // namespace velmora
