// Shared pieces of the approximation tests: specifications filled the way the
// specification form fills them, and an evaluation of H(jw) straight from the poles,
// zeros and numerator constant (independent of the tables' section formulas).
#pragma once

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "model/design.h"

namespace velmora::test {

inline constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// A specification as typed: attenuations in dB, frequencies in Hz (passband and
// stopband edges for lowpass/highpass, bandwidths and centre for bandpass/bandstop).
struct SpecEntry {
    std::string name;
    FilterType type = Lowpass;
    long double apb = 0.5L, asb = 30.0L, pass = 1000.0L, stop = 2000.0L, center = 0.0L;
    int forcedOrder = 0; // 0: estimated
};

// Fills the working specification as the specification form converts it: rad/s and
// the selectivity; with a forced order and no stopband edge, the stopband at twice (half)
// the passband.
inline void FillSpecification(TDesign& d, const SpecEntry& e) {
    NewDesign(d, e.type);
    Specification& s = d.Spec;
    s.FilterType = e.type;
    s.Apb = e.apb;
    s.Asb = e.asb;
    s.NormPassEdge = 1.0L;
    s.ForceOrder = e.forcedOrder > 0;
    s.ForcedOrder = static_cast<int16_t>(e.forcedOrder);
    const bool narrowing = e.type == Highpass || e.type == Bandstop; // stopband inside the passband
    const long double pass = e.pass * kTwoPi;
    const long double stop = s.ForceOrder && e.stop == 0 ? (narrowing ? 0.5L : 2.0L) * pass : e.stop * kTwoPi;
    if (e.type == Lowpass || e.type == Highpass) {
        s.wpb = pass;
        s.wsb = stop;
    } else {
        s.Bpb = pass;
        s.Bsb = stop;
        s.w0 = e.center * kTwoPi;
    }
    s.Selectivity = narrowing ? pass / stop : stop / pass;
}

// The calculation of all five approximations, as the specification step runs it.
inline bool CalculateAll(TDesign& d) {
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        if (ComputeApproximation(d, i) != ApproxStatus::Ok) return false;
    RateApproximations(d);
    return true;
}

inline TDesign Designed(const SpecEntry& e) {
    TDesign d;
    FillSpecification(d, e);
    CalculateAll(d);
    return d;
}

// H(jw) = K prod (jw - z) / prod (jw - p), w in rad/s.
struct Response {
    long double gain = 0;
    std::vector<Complex> poles, zeros;

    Complex at(long double w) const {
        const Complex s(0.0L, w);
        Complex h = gain;
        for (const Complex& z : zeros)
            h *= s - z;
        for (const Complex& p : poles)
            h /= s - p;
        return h;
    }
    long double attenuationDb(long double w) const { return -20.0L * std::log10(std::abs(at(w))); }
    // Group delay -d(arg H)/dw: each pole a + jb adds -a / (a^2 + (w - b)^2); zeros on
    // the jw axis add nothing away from themselves.
    long double groupDelay(long double w) const {
        long double tau = 0.0L;
        for (const Complex& p : poles) {
            const long double a = p.real(), b = p.imag();
            tau += -a / (a * a + (w - b) * (w - b));
        }
        return tau;
    }
};

inline Response ResponseOf(const TDesign& d, int index) {
    return {ApproxNumeratorGain(d, index), ApproxPoles(d, index), ApproxZeros(d, index)};
}

} // namespace velmora::test
