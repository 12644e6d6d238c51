// Component values an engineer can buy and build with.
//
// A stage's design fixes only the products of its resistances and capacitances (its
// time constants), so the starting capacitor sets the impedance level of the whole
// stage. The automatic start (1 nF above 31 000 rad/s, else 10 nF) suits audio and
// ultrasonic filters; far from those frequencies it gives resistors of megohms or
// gigohms (a 50 Hz notch, a 0.1 mHz lowpass) or of a few ohms. Resistors below about
// 100 ohms load the op amps' outputs; above about 1 Mohm the op amps' input currents,
// board leakage and the resistors' own noise take over. Capacitors below about 100 pF
// are swamped by stray capacitance; above about 10 uF only electrolytic types remain,
// whose tolerance and leakage a filter cannot use.
//
// This module finds the values outside that range, and moves a stage's starting
// capacitor along the 12-value series to bring them inside where the circuit allows.
#pragma once

#include <string>
#include <vector>

#include "model/design.h"

namespace velmora {

// The range of practical values (ohms, farads).
struct PracticalRange {
    long double MinOhms = 100.0L, MaxOhms = 1.0e6L;
    long double MinFarads = 100.0e-12L, MaxFarads = 10.0e-6L;
};

// A component of a stage whose value in effect lies outside the range.
struct ImpracticalValue {
    int Stage = 0;
    bool Resistor = true;
    int Number = 0;        // R1.., C1..
    long double Value = 0; // ohms or farads
    long double Limit = 0; // the bound it passes
    bool Above = false;    // above the upper bound, else below the lower one
};

// Every impractical resistor and capacitor of the realisable stages, by stage, resistors
// first.
std::vector<ImpracticalValue> ImpracticalValues(const TDesign& d, const PracticalRange& r = {});

// How far a stage's values lie outside the range: the sum over its components of the
// decades by which each passes its bound (0 when every value is practical).
long double ImpracticalDecades(const TDesign& d, int stage, const PracticalRange& r = {});

// The automatic choice of a stage's starting capacitor. A stage whose values are all
// practical keeps its start. Otherwise the starting C1 moves to the value of the
// 12-value series from 100 pF to 10 uF nearest to the present start (on a logarithmic
// scale) with which every value is practical, or, where no start makes them all
// practical, to the one that leaves them the fewest decades outside (the nearer on equal
// figures); the stage keeps its start when none is better. Returns whether it moved.
bool PreferPracticalStart(TDesign& d, int stage, const PracticalRange& r = {});

} // namespace velmora
