// A fixed-seed corpus of random specifications of every filter type, designed end to
// end and checked against what was asked:
//  - every approximation offered as usable meets its mask: the attenuation, evaluated
//    straight from its poles, zeros and numerator constant, stays at or below Apb over
//    the passband and at or above Asb over the stopband (a dense grid in the prototype
//    frequency, refined at every local extremum);
//  - the realised circuits, evaluated from their component values, have at the filter's
//    reference frequency the gain the design reports as reached, within 0.01 dB.
// A third of the lowpass specifications ask for an attenuation that puts the elliptic
// degree just below a whole number, where the order estimate is at its most optimistic.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/final_response.h"
#include "approx/elliptic.h"
#include "approx/order_estimation.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

using stagetest::Cx;
using stagetest::Spec;

constexpr int kCorpusSize = 1000;
// Real48 storage of poles and zeros moves a response by far less than 1e-6 dB; the
// refined extremum is found to better than 1e-9 of the grid step.
constexpr long double kMaskToleranceDb = 1e-6L;
constexpr long double kGainToleranceDb = 0.01L;

// Filter frequencies (rad/s) at which the lowpass prototype sees |x| (the passband edge
// at 1, the stopband edge at the selectivity): both images for band filters.
std::vector<long double> FilterFrequencies(const Specification& s, long double x) {
    switch (s.FilterType) {
    case Lowpass:
        return {x * s.wpb};
    case Highpass:
        return {s.wpb / x};
    case Bandpass: {
        const long double up = (x * s.Bpb + std::sqrt(x * x * s.Bpb * s.Bpb + 4.0L * s.w0 * s.w0)) / 2.0L;
        return {up, s.w0 * s.w0 / up};
    }
    default: {
        const long double lo =
            2.0L * x * s.w0 * s.w0 / (s.Bpb + std::sqrt(s.Bpb * s.Bpb + 4.0L * x * x * s.w0 * s.w0));
        return {lo, s.w0 * s.w0 / lo};
    }
    }
}

// |H(jw)| of the ideal filter from its numerator constant, poles and zeros: the product
// of the distances from jw to the zeros over those to the poles (squared, one root).
struct Ideal {
    long double k;
    std::vector<Cx> poles, zeros;
    long double Gain(long double w) const {
        const auto distance2 = [w](const Cx& r) {
            return r.real() * r.real() + (w - r.imag()) * (w - r.imag());
        };
        long double g2 = k * k;
        const std::size_t n = std::max(poles.size(), zeros.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (i < zeros.size()) g2 *= distance2(zeros[i]);
            if (i < poles.size()) g2 /= distance2(poles[i]);
        }
        return std::sqrt(g2);
    }
};

// The worst attenuation of `A(t, image)` over t in [a, b], the largest when `most`, else
// the least: a grid of n + 1 points on every image, each grid extremum refined by
// golden-section search to 1e-8 of the grid step. The callers map t so that the grid
// crowds towards the band edge, where the ripple of a high order is narrowest.
template <typename Attenuation>
long double Worst(Attenuation A, int images, long double a, long double b, bool most) {
    constexpr int n = 120;
    constexpr long double g = 0.6180339887498948482L;
    const auto worse = [&](long double u, long double v) { return most ? u > v : u < v; };
    long double result = most ? -1e30L : 1e30L;
    std::array<long double, n + 1> v{};
    for (int image = 0; image < images; ++image) {
        for (int i = 0; i <= n; ++i) {
            v[i] = A(a + (b - a) * i / n, image);
            if (worse(v[i], result)) result = v[i];
        }
        for (int i = 1; i < n; ++i) {
            if (worse(v[i - 1], v[i]) || worse(v[i + 1], v[i])) continue;
            long double lo = a + (b - a) * (i - 1) / n, hi = a + (b - a) * (i + 1) / n;
            long double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
            long double f1 = A(x1, image), f2 = A(x2, image);
            for (int it = 0; it < 40; ++it) {
                if (worse(f1, f2)) {
                    hi = x2, x2 = x1, f2 = f1, x1 = hi - g * (hi - lo), f1 = A(x1, image);
                } else {
                    lo = x1, x1 = x2, f1 = f2, x2 = lo + g * (hi - lo), f2 = A(x2, image);
                }
            }
            if (worse(f1, result)) result = f1;
            if (worse(f2, result)) result = f2;
        }
    }
    return result;
}

// The filter's reference frequencies: DC (lowpass), far above the passband (highpass),
// the centre (bandpass), both passbands (bandstop). Far enough that the asymptote is
// reached to 1e-8 dB by any section of the filter.
std::vector<long double> ReferenceFrequencies(const Specification& s) {
    switch (s.FilterType) {
    case Lowpass:
        return {0.0L};
    case Highpass:
        return {1e7L * s.wpb};
    case Bandpass:
        return {s.w0};
    default:
        return {0.0L, 1e7L * s.w0};
    }
}

Spec RandomSpec(std::mt19937_64& rng, int i) {
    std::uniform_real_distribution<long double> u(0.0L, 1.0L);
    const FilterType type = static_cast<FilterType>(i % 4);
    Spec e;
    e.type = type;
    e.apb = 0.05L + 2.95L * u(rng);
    e.asb = e.apb + 5.0L + 75.0L * u(rng);
    const long double sel = std::pow(10.0L, 0.02L + 0.68L * u(rng)); // 1.05 .. 5
    const long double f = std::pow(10.0L, 1.0L + 5.0L * u(rng));     // 10 Hz .. 1 MHz
    e.gain = std::pow(10.0L, 2.0L * u(rng) - 0.5L);                  // 0.32 .. 32 V/V
    if (type == Lowpass && i % 3 == 0) {
        // Asb 6 .. 20 dB with the elliptic degree 0 .. 0.05 below a whole number.
        const long double q = NomeOf(1.0L, sel).q;
        for (int tries = 0; tries < 20; ++tries) {
            const long double N = std::floor(1.0L + 4.0L * u(rng)) + 1.0L;
            const long double x = N - 0.05L * u(rng);
            e.apb = 0.05L + 1.95L * u(rng);
            const long double b = PassbandExcess(e.apb) * std::pow(q, -x) / 16.0L;
            e.asb = 10.0L * std::log10(1.0L + b);
            if (e.asb >= 6.0L && e.asb <= 20.0L) break;
        }
    }
    switch (type) {
    case Lowpass:
        e.pass = f;
        e.stop = f * sel;
        break;
    case Highpass:
        e.pass = f;
        e.stop = f / sel;
        break;
    case Bandpass:
        e.center = f;
        e.pass = f * (0.05L + 0.9L * u(rng));
        e.stop = e.pass * sel;
        break;
    default:
        e.center = f;
        e.stop = f * (0.05L + 0.9L * u(rng));
        e.pass = e.stop * sel;
        break;
    }
    return e;
}

// Designs once found wrong, each with the approximation it was designed with (-1: the
// default choice): an elliptic order 2 that reached 9.65 dB of a 9.79 dB stopband, and
// highpass and bandstop filters that came out 0.13 to 0.62 dB above the gain reported.
struct Known {
    Spec spec;
    int approx;
};
const std::vector<Known> kKnown = {
    {{Lowpass, 0.433363L, 9.78787L, 1000, 1675.04L}, -1},
    {{Lowpass, 0.433363L, 9.78787L, 1000, 1675.04L}, Elliptic},
    {{Highpass, 0.5L, 30, 1000, 500, 0, 1}, Butterworth},
    {{Highpass, 0.5L, 30, 1000, 500, 0, 5}, Bessel},
    {{Highpass, 1.99095L, 9.8865L, 126689, 21542}, InverseChebyshev},
    {{Bandstop, 2.14866L, 5.40517L, 1.50462L, 0.275715L, 26.8401L}, -1},
};

TEST(SpecificationCorpus, UsableApproximationsMeetTheirMaskAndTheReachedGainIsRealised) {
    std::mt19937_64 rng(19);
    int masks = 0, gains = 0, nearInteger = 0;
    std::array<int, 4> perType{};
    const int known = static_cast<int>(kKnown.size());
    for (int i = -known; i < kCorpusSize; ++i) {
        const Spec e = i < 0 ? kKnown[i + known].spec : RandomSpec(rng, i);
        SCOPED_TRACE("spec " + std::to_string(i) + ": " + stagetest::Describe(e) + " Apb " +
                     std::to_string(static_cast<double>(e.apb)) + " Asb " +
                     std::to_string(static_cast<double>(e.asb)));
        TDesign d;
        ASSERT_TRUE(stagetest::Calculate(d, e));
        const Specification& s = d.Spec;
        if (i >= 0 && e.type == Lowpass && i % 3 == 0 && e.asb <= 20.0L) ++nearInteger;
        for (int index = 0; index < kApproxCount; ++index) {
            if (!isUsable(d.Approx[index])) continue;
            SCOPED_TRACE(kApproxNames[index]);
            const Ideal h{ApproxNumeratorGain(d, index), ApproxPoles(d, index), ApproxZeros(d, index)};
            // Lowpass and highpass map a prototype frequency to one filter frequency, band
            // filters to two, each side checked.
            const int images = static_cast<int>(FilterFrequencies(s, 0.5L).size());
            const auto A = [&](long double x, int image) {
                return -20.0L * std::log10(h.Gain(FilterFrequencies(s, x)[image]));
            };
            // Passband x = sin(t pi/2), stopband u = 1/x = sin(t pi/2) / selectivity: the
            // grid is densest at either edge (|dx/dt| ~ 1 - t), as Chebyshev ripple is.
            const long double x0 = s.FilterType == Highpass || s.FilterType == Bandstop ? 1e-9L : 0.0L;
            constexpr long double halfPi = std::numbers::pi_v<long double> / 2;
            const auto passA = [&](long double t, int image) {
                return A(std::max(std::sin(halfPi * t), x0), image);
            };
            EXPECT_LE(Worst(passA, images, 0.0L, 1.0L, true), s.Apb + kMaskToleranceDb);
            const auto stopA = [&](long double t, int image) {
                return A(s.Selectivity / std::max(std::sin(halfPi * t), 1e-7L), image);
            };
            // A forced order is the user's choice and promises no stopband.
            if (!s.ForceOrder) {
                EXPECT_GE(Worst(stopA, images, 0.0L, 1.0L, false), s.Asb - kMaskToleranceDb);
            }
            ++masks;
        }

        // The default approximation designed through to circuits.
        const int chosen =
            i < 0 && kKnown[i + known].approx >= 0 ? kKnown[i + known].approx : DefaultApproximation(d);
        if (chosen < 0) continue;
        ChooseApproximation(d, chosen);
        if (SynthesiseStages(d) != SynthesisStatus::Ok) continue;
        if (!DesignStageCircuits(d).ok) continue;
        const Ideal h{ApproxNumeratorGain(d, chosen), ApproxPoles(d, chosen), ApproxZeros(d, chosen)};
        const long double reached = d.ActualOverallGain;
        for (const long double w : ReferenceFrequencies(s)) {
            const std::optional<FinalPoint> p = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, w);
            ASSERT_TRUE(p.has_value());
            // The realised gain relative to the normalised ideal level there (the bottom of
            // the ripple for an even-order Chebyshev or Elliptic, else 1).
            const long double realised = p->GainVV / h.Gain(w);
            EXPECT_NEAR(20.0L * std::log10(realised / reached), 0.0L, kGainToleranceDb)
                << kApproxNames[chosen] << " at " << static_cast<double>(w) << " rad/s, reached "
                << static_cast<double>(reached) << ", specified " << static_cast<double>(e.gain);
        }
        ++gains;
        ++perType[e.type];
    }
    EXPECT_GE(masks, 3 * kCorpusSize);
    EXPECT_GE(nearInteger, 60);
    for (int t = 0; t < 4; ++t)
        EXPECT_GE(perType[t], kCorpusSize / 5) << "filter type " << t;
    EXPECT_GE(gains, kCorpusSize * 4 / 5);
}

} // namespace
} // namespace velmora
