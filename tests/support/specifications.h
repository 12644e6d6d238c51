// Specifications filled into the working specification the way the specification form
// converts its entries, and the approximation step run over them.
#pragma once

#include <cmath>
#include <numbers>

#include "approx/approximation.h"
#include "model/design.h"

namespace velmora::test {

// A specification as typed in the form: dB, and Hz for the edges (lowpass, highpass)
// or bandwidths and centre (bandpass, bandstop).
struct Spec {
    const char* name;
    FilterType type;
    long double apb, asb, pass, stop, center;
    int forced; // 0: order estimated
};

inline void FillSpecification(TDesign& d, const Spec& e) {
    constexpr long double kTwoPi = 2 * std::numbers::pi_v<long double>;
    NewDesign(d, static_cast<uint8_t>(e.type));
    Specification& s = d.Spec;
    s.Apb = e.apb;
    s.Asb = e.asb;
    s.NormPassEdge = 1.0L;
    s.ForceOrder = e.forced > 0;
    s.ForcedOrder = static_cast<int16_t>(e.forced);
    const bool forced = e.forced > 0;
    switch (e.type) {
    case Lowpass:
    case Highpass:
        s.wpb = e.pass * kTwoPi;
        s.wsb = forced ? (e.type == Lowpass ? 2 : 0.5L) * s.wpb : e.stop * kTwoPi;
        s.Selectivity = e.type == Lowpass ? s.wsb / s.wpb : s.wpb / s.wsb;
        break;
    default:
        s.Bpb = e.pass * kTwoPi;
        s.Bsb = forced ? (e.type == Bandpass ? 2 : 0.5L) * s.Bpb : e.stop * kTwoPi;
        s.w0 = e.center * kTwoPi;
        s.Selectivity = e.type == Bandpass ? s.Bsb / s.Bpb : s.Bpb / s.Bsb;
        break;
    }
    s.OverallGain = 1.0L;
    s.HalfPowerGain = 1.0L / std::numbers::sqrt2_v<long double>;
    s.HalfPowerGainDb = 20 * std::log10(static_cast<long double>(s.HalfPowerGain));
}

// The five approximations, their rating and the graph ranges, as a calculation runs them.
inline bool CalculateApproximations(TDesign& d) {
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        if (ComputeApproximation(d, i) != ApproxStatus::Ok) return false;
    RateApproximations(d);
    ComputeGraphRanges(d);
    return true;
}

} // namespace velmora::test
