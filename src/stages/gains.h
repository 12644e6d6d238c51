// Gain distribution: the overall gain G split equally, in decibels, over the stages of
// a cascade whose every partial peak is 1, so that the signal reaches the same peak
// level at the output of every stage; stages whose circuit cannot give the gain asked
// of it are made up for by the others.
#pragma once

#include "model/design.h"

namespace velmora {

// The circuits' side of the distribution: designs the circuit of `stage` for `gain`
// (V/V) and returns the gain it reaches. The circuit step implements it; the default
// reaches any gain.
class StageGainRealiser {
  public:
    virtual ~StageGainRealiser() = default;
    virtual long double Realise(TDesign& d, int stage, long double gain) const = 0;
};
class AnyGainRealiser : public StageGainRealiser {
  public:
    long double Realise(TDesign&, int, long double gain) const override { return gain; }
};
const StageGainRealiser& DefaultGainRealiser();

// A circuit's gain counts as reached when it is within this relative distance of the
// gain asked (the circuits compute it back from component values).
inline constexpr long double kGainMatch = 1.0e-9L;

// The overall gain counts as reached when the realised gain is within this many dB of
// the specified one: far below what a component tolerance moves it, far above rounding.
inline constexpr long double kOverallGainMatchDb = 0.01L;

// To G^(1/N), computed as To 10^(log10(G)/N) with log10 of a gain of 0 (or below) taken
// as -1000; To itself for a user-defined filter.
long double OptimalStageGain(const TDesign& d, int stage);

// Optimal and actual gains of every stage, the circuits designed for them, the make-up
// of constrained stages (trailing run, then inner runs; a stage found constrained stays
// constrained, so the loop restarts at most StageCount times), then the dynamic range.
void DistributeGains(TDesign& d, const StageGainRealiser& circuits = DefaultGainRealiser());

// DynamicRange of every stage: 100 P_i / P_m with P_i = r_1 ... r_i, r = actual/optimal
// and m the first stage with the largest P; a stage whose P is 0 or below shows 0.
void ComputeDynamicRange(TDesign& d);

// GainRatio of every stage, the actual overall gain G prod r_i and the constrained count.
void OverallActualGain(TDesign& d);

// Lowpass notch stages show and take their gains at low frequencies: the factor
// (wz/wp)^2 for an SLPN stage, 1 otherwise.
long double GainPresentationFactor(const TStageCoeffs& s);

} // namespace velmora
