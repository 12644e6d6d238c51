// Default axes of the ideal-response graphs: a frequency range of two decades around
// the passband edge (or one octave each side of the centre), a five-decade sweep that
// contains it, and a time scale long enough for the slowest usable step response.
#include <cmath>
#include <numbers>

#include "approx/approximation.h"

namespace velmora {

namespace {
struct FrequencyLimits {
    long double low = 0, high = 0;
};

// Smallest and largest section frequency of a user-defined filter, where a section
// contributes its wp, or its real pole when wp is 0.
FrequencyLimits UserSectionLimits(const TDesign& d) {
    FrequencyLimits f{1e12L, 0.0L};
    for (int k = 1; k <= d.StageCount && k <= kMaxStages; ++k) {
        const TStageCoeffs& stage = d.Stages[k];
        const long double w = stage.Wp != 0.0L ? stage.Wp.value() : std::fabs(stage.Sigma.value());
        if (w < f.low) f.low = w;
        if (w > f.high) f.high = w;
    }
    return f;
}

FrequencyLimits RawLimits(const TDesign& d) {
    const Specification& spec = d.Spec;
    switch (spec.FilterType) {
    case Lowpass:
    case Highpass:
        return {spec.wpb * 0.1L, spec.wpb * 10.0L};
    case Bandpass:
    case Bandstop:
        return {spec.w0 * 0.5L, spec.w0 * 2.0L};
    default: {
        const FrequencyLimits f = UserSectionLimits(d);
        return {f.low * 0.1L, f.high * 10.0L};
    }
    }
}

// Rounds the lower limit down to one significant digit; returns its decimal exponent.
int RoundDownToOneDigit(long double& value) {
    int e = 0;
    long double v = value;
    if (!std::isfinite(v) || v < 0.0L) return 0;
    while (v >= 10.0L) {
        v *= 0.1L;
        ++e;
    }
    while (v < 0.99999L && v != 0.0L) {
        v *= 10.0L;
        --e;
    }
    value = std::trunc(v * 1.001L) * std::pow(10.0L, e);
    return e;
}

void ComputeFrequencyRange(TDesign& d) {
    FrequencyLimits f = RawLimits(d);
    if (d.Opt.FreqUnitsHz) {
        f.low /= 2.0L * std::numbers::pi_v<long double>;
        f.high /= 2.0L * std::numbers::pi_v<long double>;
    }
    GraphRanges& g = d.Ranges;
    const int e = RoundDownToOneDigit(f.low);
    g.GraphFreqMin = f.low;
    g.GraphFreqMax = f.high;
    g.GraphFreqDecade = static_cast<int16_t>(e);
    g.SweepFreqMin = std::pow(10.0L, e - 2);
    g.SweepFreqMax = g.SweepFreqMin * 100000.0L;
}

// Time the step response of one result needs to settle, estimated from its slowest
// section (the last pole pair has the smallest real part), or from its real pole.
long double SettlingEstimate(const Approximation& a) {
    const ApproxResult& r = a.Result;
    const int P = r.PolePairs;
    if (P > 0) {
        const long double sigma = a.PoleList[P].Re;
        if (sigma <= 0.0L) return 0.0L;
        return (199.0L - 19.0L * P) / ((P < 3 ? 12.0L : 18.0L) * sigma);
    }
    if (r.RealPole <= 0.0L) return 0.0L;
    return 40.0L / r.RealPole;
}

void ComputeTimeScale(TDesign& d) {
    long double longest = 0.0L;
    for (int i = 0; i <= d.Spec.LastApproxIndex && i < kApproxCount; ++i) {
        const Approximation& a = d.Approx[i];
        const bool counts = d.Spec.FilterType == UserDefined ? !a.Result.OrderTooHigh : isUsable(a);
        if (!counts) continue;
        const long double t = SettlingEstimate(a);
        if (t > longest) longest = t;
    }
    long double T = longest / 3.0L;
    if (!(T > 0.0L) || !std::isfinite(T)) return; // nothing to show a time response of
    int e = 0;
    while (T <= 1.0L) {
        T *= 10.0L;
        --e;
    }
    while (T > 10.0L) {
        T *= 0.1L;
        ++e;
    }
    GraphRanges& g = d.Ranges;
    g.TimeScaleExp = static_cast<int16_t>(e);
    if (T <= 2.0L) {
        g.TimeFullScale = 2.0L;
        g.TimeTickStep = 0.2L;
    } else if (T <= 5.0L) {
        g.TimeFullScale = 5.0L;
        g.TimeTickStep = 0.5L;
    } else {
        g.TimeFullScale = 10.0L;
        g.TimeTickStep = 1.0L;
    }
    g.TimeAux = g.TimeFullScale * 2.0L * 0.2L;
}
} // namespace

void ComputeGraphRanges(TDesign& d) {
    ComputeFrequencyRange(d);
    ComputeTimeScale(d);
}

} // namespace velmora
