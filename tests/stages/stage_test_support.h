// Shared pieces of the stage-synthesis tests: real approximations computed from a
// specification as the specification form fills it (the approximation tests' filling,
// with the overall gain).
#pragma once

#include <complex>
#include <string>

#include "approx/approx_test_support.h"
#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "model/design.h"

namespace velmora::stagetest {

using test::kTwoPi;
using Cx = std::complex<long double>;

// Attenuations in dB; frequencies in Hz: edges (lowpass, highpass) or bandwidths and
// centre (bandpass: pass < stop; bandstop: pass > stop).
struct Spec {
    FilterType type = Lowpass;
    long double apb = 0.5L, asb = 40.0L, pass = 1000.0L, stop = 2000.0L, center = 0.0L;
    int forcedOrder = 0; // filter order; 0 = estimated
    long double gain = 1.0L;
};

inline std::string Describe(const Spec& s) {
    static const char* names[] = {"lowpass", "highpass", "bandpass", "bandstop"};
    return std::string(names[s.type]) + " pass " + std::to_string((double)s.pass) + " Hz stop " +
           std::to_string((double)s.stop) + " Hz centre " + std::to_string((double)s.center) + " Hz order " +
           std::to_string(s.forcedOrder) + " gain " + std::to_string((double)s.gain);
}

// Fills the working specification the way the specification form converts its entries
// and computes all five approximations. False when the calculation failed.
inline bool Calculate(TDesign& d, const Spec& e) {
    test::FillSpecification(
        d, test::SpecEntry{"", e.type, e.apb, e.asb, e.pass, e.stop, e.center, e.forcedOrder});
    d.Spec.OverallGain = e.gain;
    if (!test::CalculateAll(d)) return false;
    d.DesignLevel = LevelApproximations;
    return true;
}

} // namespace velmora::stagetest
