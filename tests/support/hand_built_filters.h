// Filters written into the approximation tables by hand, with the poles, zeros and
// numerator constant they stand for worked out here independently of the program:
// the poles are the roots of each section found with the quadratic formula in complex
// arithmetic, and the numerator constant is stated by each case. Tests evaluate H(s)
// from those and compare with what the program reads out of the tables.
#pragma once

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora::test {

using Cx = std::complex<long double>;
inline constexpr long double kTwoPi = 6.28318530717958647692528676655900577L;

struct HandSection {
    long double B, C; // s^2 + B s + C
};

struct HandFilter {
    std::string name{};
    uint8_t type = Lowpass;
    int approx = Butterworth;
    long double wpb = 0, Bpb = 0, w0 = 0; // the specification the normalisation reads
    std::vector<HandSection> sections{};
    std::vector<long double> realPoles{}; // magnitudes
    std::vector<long double> zeroW2{};    // zero pairs s^2 + wz^2 (0: double zero at the origin)
    bool originZero = false;
    long double g = 1; // the gain constant stored in the table
    long double K = 1; // the numerator constant of H(s) the case stands for
    long double G = 1; // overall gain

    std::vector<Cx> Poles() const {
        std::vector<Cx> p;
        for (const auto& s : sections) {
            const Cx root = std::sqrt(Cx(s.B * s.B - 4 * s.C, 0));
            p.push_back((-s.B + root) / 2.0L);
            p.push_back((-s.B - root) / 2.0L);
        }
        for (long double r : realPoles)
            p.emplace_back(-r, 0);
        return p;
    }
    std::vector<Cx> Zeros() const {
        std::vector<Cx> z;
        for (long double w2 : zeroW2) {
            z.emplace_back(0, std::sqrt(w2));
            z.emplace_back(0, -std::sqrt(w2));
        }
        if (originZero) z.emplace_back(0, 0);
        return z;
    }
    // H(s) including the overall gain.
    Cx H(Cx s) const {
        Cx h(K * G, 0);
        for (const auto& z : Zeros())
            h *= s - z;
        for (const auto& p : Poles())
            h /= s - p;
        return h;
    }
};

// Writes the filter into approximation `f.approx` of a new design, the way the
// approximation step lays out its tables.
inline void Install(TDesign& d, const HandFilter& f) {
    NewDesign(d, f.type);
    d.Spec.wpb = f.wpb;
    d.Spec.Bpb = f.Bpb;
    d.Spec.w0 = f.w0;
    d.Spec.OverallGain = f.G;
    d.Spec.HalfPowerGain = f.G / std::sqrt(2.0L);
    d.Spec.HalfPowerGainDb = 20 * std::log10(f.G / std::sqrt(2.0L));
    for (int i = 0; i < kApproxCount; ++i)
        d.Approx[i].Result.OrderTooHigh = 1; // only one in use
    Approximation& a = d.Approx[f.approx];
    ClearApproxResult(a);
    ApproxResult& r = a.Result;
    r.OrderTooHigh = 0;
    r.Order = static_cast<int16_t>(2 * f.sections.size() + f.realPoles.size());
    r.PolePairs = static_cast<int16_t>(f.sections.size());
    for (size_t k = 0; k < f.sections.size(); ++k) {
        const auto& s = f.sections[k];
        auto& e = a.PoleTable[k + 1];
        e.B = s.B;
        e.C = s.C;
        e.Wp = std::sqrt(s.C);
        e.Qp = std::sqrt(s.C) / s.B;
        a.PoleList[k + 1].Re = s.B / 2;
        a.PoleList[k + 1].Im = std::sqrt(std::fabs(s.C - s.B * s.B / 4));
    }
    if (!f.realPoles.empty()) {
        r.HasRealPole = 1;
        r.RealPole = f.realPoles[0];
    }
    if (f.realPoles.size() > 1) {
        r.HasRealPole2 = 1;
        r.RealPole2 = f.realPoles[1];
    }
    r.ProtoZeroPairs = static_cast<int16_t>(f.zeroW2.size());
    for (size_t k = 0; k < f.zeroW2.size(); ++k) {
        a.ZeroTable[k + 1].Wz2 = f.zeroW2[k];
        a.ZeroList[k + 1].Wz = std::sqrt(f.zeroW2[k]);
    }
    r.HasSingleZero = f.originZero ? 1 : 0;
    r.GainConstant = f.g;
}

// A varied set of hand-built filters covering every branch of the tables: all-pole
// lowpass and bandpass normalisations, real poles, zero pairs on and at the origin,
// the single zero, sections of Q below and exactly at 0.5, and an overall gain.
inline std::vector<HandFilter> HandBuiltFilters() {
    const long double wp = kTwoPi * 1000; // 1 kHz
    const long double r2 = std::sqrt(2.0L), w = kTwoPi * 500;
    // Band filters at 3 kHz of 300 Hz and 600 Hz, the second's sections at 1.1 and 1/1.1 of the centre;
    // band stops at 2 kHz, their sections at 1.2 and 1/1.2 of it.
    const long double w3k = kTwoPi * 3000, bp300 = kTwoPi * 300, bp600 = kTwoPi * 600;
    const long double w1 = w3k * 1.1L, w2 = w3k / 1.1L;
    const long double w2k = kTwoPi * 2000, ws1 = w2k * 1.2L, ws2 = w2k / 1.2L, sigma = kTwoPi * 700;
    return {
        // All-pole: the stored 1 times wp for the real pole.
        {.name = "first-order lowpass", .wpb = wp, .realPoles = {wp}, .K = wp},
        {.name = "second-order Butterworth lowpass",
         .wpb = wp,
         .sections = {{r2 * wp, wp * wp}},
         .K = wp * wp},
        {.name = "third-order Butterworth lowpass, gain 3.5",
         .wpb = wp,
         .sections = {{wp, wp * wp}},
         .realPoles = {wp},
         .K = wp * wp * wp,
         .G = 3.5L},
        {.name = "fourth-order Chebyshev-like lowpass",
         .approx = Chebyshev,
         .wpb = w,
         .sections = {{0.35L * w, 1.06L * w * w}, {0.85L * w, 0.36L * w * w}},
         .g = 0.38L,
         .K = 0.38L * w * w * w * w},
        // Unit gain at DC.
        {.name = "elliptic-like lowpass notch",
         .approx = Elliptic,
         .wpb = wp,
         .sections = {{0.5L * wp, wp * wp}},
         .zeroW2 = {6.25L * wp * wp},
         .g = 1 / 6.25L,
         .K = 1 / 6.25L},
        {.name = "third-order inverse-Chebyshev-like lowpass",
         .approx = InverseChebyshev,
         .wpb = wp,
         .sections = {{0.7L * wp, 1.3L * wp * wp}},
         .realPoles = {1.6L * wp},
         .zeroW2 = {4.0L * wp * wp},
         .g = 1.3L * 1.6L * wp / 4.0L,
         .K = 1.3L * 1.6L * wp / 4.0L},
        {.name = "second-order Butterworth highpass",
         .type = Highpass,
         .wpb = wp,
         .sections = {{r2 * wp, wp * wp}},
         .zeroW2 = {0}},
        {.name = "first-order highpass", .type = Highpass, .wpb = wp, .realPoles = {wp}, .originZero = true},
        {.name = "third-order Butterworth highpass",
         .type = Highpass,
         .wpb = wp,
         .sections = {{wp, wp * wp}},
         .realPoles = {wp},
         .zeroW2 = {0},
         .originZero = true},
        // All-pole bandpass: Bp per section.
        {.name = "bandpass from a first-order prototype",
         .type = Bandpass,
         .Bpb = bp300,
         .w0 = w3k,
         .sections = {{bp300, w3k * w3k}},
         .originZero = true,
         .K = bp300},
        {.name = "bandpass from a second-order prototype",
         .type = Bandpass,
         .Bpb = bp600,
         .w0 = w3k,
         .sections = {{w1 / 7.0L, w1 * w1}, {w2 / 7.0L, w2 * w2}},
         .zeroW2 = {0},
         .g = 0.9L,
         .K = 0.9L * bp600 * bp600},
        {.name = "wide bandpass section of Q 1/3 (two real poles)",
         .type = Bandpass,
         .Bpb = 3 * wp,
         .w0 = wp,
         .sections = {{3 * wp, wp * wp}},
         .originZero = true,
         .K = 3 * wp},
        {.name = "bandstop pair with notches at the centre",
         .type = Bandstop,
         .approx = Chebyshev,
         .Bpb = kTwoPi * 800,
         .w0 = w2k,
         .sections = {{ws1 / 4.0L, ws1 * ws1}, {ws2 / 4.0L, ws2 * ws2}},
         .zeroW2 = {w2k * w2k, w2k * w2k},
         .G = 0.5L},
        {.name = "bandstop section of Q 0.4",
         .type = Bandstop,
         .approx = Elliptic,
         .w0 = w2k,
         .sections = {{w2k / 0.4L, w2k * w2k}},
         .zeroW2 = {w2k * w2k}},
        {.name = "critically damped lowpass (Q exactly 0.5)",
         .wpb = sigma,
         .sections = {{2 * sigma, sigma * sigma}},
         .K = sigma * sigma},
    };
}

} // namespace velmora::test
