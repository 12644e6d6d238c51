// Shared pieces of the stage-synthesis tests: real approximations computed from a
// specification as the specification form fills it, and the filter's H(jw) evaluated
// straight from its poles and zeros (complex products, no section formulas).
#pragma once

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "model/design.h"

namespace velmora::stagetest {

inline constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
using Cx = std::complex<long double>;

// Attenuations in dB; frequencies in Hz: edges (lowpass, highpass) or bandwidths and
// centre (bandpass: pass < stop; bandstop: pass > stop).
struct Spec {
    FilterType type = Lowpass;
    long double apb = 0.5L, asb = 40.0L;
    long double pass = 1000.0L, stop = 2000.0L, center = 0.0L;
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
    NewDesign(d, e.type);
    Specification& s = d.Spec;
    s.FilterType = e.type;
    s.Apb = e.apb;
    s.Asb = e.asb;
    s.NormPassEdge = 1.0L;
    s.OverallGain = e.gain;
    s.ForceOrder = e.forcedOrder > 0;
    s.ForcedOrder = static_cast<int16_t>(e.forcedOrder);
    switch (e.type) {
    case Lowpass:
        s.wpb = e.pass * kTwoPi;
        s.wsb = e.stop * kTwoPi;
        s.Selectivity = s.wsb / s.wpb;
        break;
    case Highpass:
        s.wpb = e.pass * kTwoPi;
        s.wsb = e.stop * kTwoPi;
        s.Selectivity = s.wpb / s.wsb;
        break;
    case Bandpass:
        s.Bpb = e.pass * kTwoPi;
        s.Bsb = e.stop * kTwoPi;
        s.w0 = e.center * kTwoPi;
        s.Selectivity = s.Bsb / s.Bpb;
        break;
    default:
        s.Bpb = e.pass * kTwoPi;
        s.Bsb = e.stop * kTwoPi;
        s.w0 = e.center * kTwoPi;
        s.Selectivity = s.Bpb / s.Bsb;
        break;
    }
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        if (ComputeApproximation(d, i) != ApproxStatus::Ok) return false;
    RateApproximations(d);
    d.DesignLevel = LevelApproximations;
    return true;
}

// prod (jw - z) / prod (jw - p) of approximation `index`: the filter's response up to
// its positive numerator constant.
inline Cx ShapeResponse(const std::vector<Cx>& poles, const std::vector<Cx>& zeros, long double w) {
    const Cx s(0.0L, w);
    Cx h(1.0L, 0.0L);
    for (const Cx& z : zeros)
        h *= s - z;
    for (const Cx& p : poles)
        h /= s - p;
    return h;
}

} // namespace velmora::stagetest
