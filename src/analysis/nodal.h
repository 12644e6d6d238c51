// AC nodal analysis of a stage's netlist: the second, independent way to find what a
// circuit does, straight from its connections rather than from its design formulas.
//
// How to call it (for example in a circuit test):
//
//     ComponentValues<long double> v;           // R[1..10], C[1..4] in ohms and farads
//     v.R[1] = 10e3L; v.R[2] = 10e3L; v.C[1] = 1e-9L; v.C[2] = 2e-9L;
//     const auto h = NodalResponse("SLP01", v, {0.0L, 2e4L});          // ideal op amps
//     const auto g = NodalResponse("SLP01", v, {0.0L, 2e4L},
//                                  OpAmpModel::SinglePole(1.0e6L));   // GBW 1 MHz
//     if (h) use(*h);                            // Vout/Vin, node 2 over node 1
//
// The third argument is the complex frequency s in rad/s (j w on the frequency axis);
// pass `compensated = true` to analyse the actively compensated variant. Every
// component the netlist names must have a positive, finite value; an empty result means
// the key has no netlist, a value is missing, or the node equations are singular at s
// (for example a node held only by capacitors at s = 0).
#pragma once

#include <complex>
#include <optional>
#include <string_view>

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"

namespace velmora {

// The model of every op amp of the stage.
//  - Ideal: a nullor. Its input voltages are equal and its output supplies whatever
//    current the circuit needs; the equations carry the constraint exactly.
//  - Single pole: Vout = A(s) (V+ - V-) with A(s) = wt / (s + wt / A0), wt = 2 pi GBW.
//    With A0 = 0 (the default) the open-loop gain is the pure integrator wt / s, whose
//    DC gain is infinite; a finite A0 (typical parts: 1e5 .. 1e6) adds the DC pole.
//    An output resistance rOut (ohms) lies between the amplifier and its output node;
//    inside a feedback loop it is divided by the loop gain, so it shows where the loop
//    gain is low (far above a stage's pole frequency, where a Sallen-Key stage's signal
//    reaches the output through its capacitor and the output resistance sets the floor).
struct OpAmpModel {
    enum Kind { kIdeal, kSinglePole } kind = kIdeal;
    long double gbwHz = 0; // unity-gain bandwidth, Hz (single pole)
    long double a0 = 0;    // DC open-loop gain; 0 = infinite
    long double rOut = 0;  // output resistance, ohms (single pole)

    static OpAmpModel Ideal() { return {}; }
    static OpAmpModel SinglePole(long double gbwHz, long double a0 = 0, long double rOut = 0) {
        return {kSinglePole, gbwHz, a0, rOut};
    }
};

using Complex = std::complex<long double>;

// Vout/Vin of a netlist with the given component values at the complex frequency s.
std::optional<Complex> NodalResponse(const Topology& topology, const ComponentValues<long double>& values,
                                     Complex s, const OpAmpModel& opamps = OpAmpModel::Ideal());

// What a stage does inside a cascade: its response Vout/Vin with an admittance `load`
// from its output node to ground (the input of the stage that follows), and the
// admittance its own input presents to the source that drives it (the current drawn
// from a 1 V source at node 1). An op amp's output resistance makes a stage's gain
// depend on its load, so a cascade evaluated stage by stage needs both.
struct NodalSolution {
    Complex gain;
    Complex inputAdmittance;
};
std::optional<NodalSolution> NodalSolve(const Topology& topology, const ComponentValues<long double>& values,
                                        Complex s, const OpAmpModel& opamps, Complex load);

// The same for a catalogue key (plain netlist, or the compensated variant).
std::optional<Complex> NodalResponse(std::string_view key, const ComponentValues<long double>& values,
                                     Complex s, const OpAmpModel& opamps = OpAmpModel::Ideal(),
                                     bool compensated = false);

} // namespace velmora
