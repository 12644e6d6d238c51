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
#include <cmath>
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

constexpr int kCorpusSize = 1200;
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
        const long double lo = 2.0L * x * s.w0 * s.w0 / (s.Bpb + std::sqrt(s.Bpb * s.Bpb + 4.0L * x * x * s.w0 * s.w0));
        return {lo, s.w0 * s.w0 / lo};
    }
    }
}

struct Ideal {
    long double k;
    std::vector<Cx> poles, zeros;
    long double Gain(long double w) const { return k * std::abs(stagetest::ShapeResponse(poles, zeros, w)); }
};

// The worst attenuation over x in [a, b] (prototype frequency), the largest when `most`,
// else the least: a grid of n points over both images, each grid extremum refined by
// golden-section search on its own image.
long double Extreme(const Ideal& h, const Specification& s, long double a, long double b, int n, bool most) {
    const auto A = [&](long double x, int image) {
        const std::vector<long double> w = FilterFrequencies(s, x);
        return -20.0L * std::log10(h.Gain(w[std::min<std::size_t>(image, w.size() - 1)]));
    };
    const auto worse = [&](long double u, long double v) { return most ? u > v : u < v; };
    long double result = most ? -1e30L : 1e30L;
    for (int image = 0; image < 2; ++image) {
        std::vector<long double> x(n + 1), v(n + 1);
        for (int i = 0; i <= n; ++i) {
            x[i] = a + (b - a) * i / n;
            v[i] = A(x[i], image);
            if (worse(v[i], result)) result = v[i];
        }
        for (int i = 1; i < n; ++i) {
            if (worse(v[i - 1], v[i]) || worse(v[i + 1], v[i])) continue;
            long double lo = x[i - 1], hi = x[i + 1];
            for (int it = 0; it < 50; ++it) {
                const long double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
                (worse(A(m1, image), A(m2, image)) ? hi : lo) = worse(A(m1, image), A(m2, image)) ? m2 : m1;
            }
            const long double r = A((lo + hi) / 2, image);
            if (worse(r, result)) result = r;
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

TEST(SpecificationCorpus, UsableApproximationsMeetTheirMaskAndTheReachedGainIsRealised) {
    std::mt19937_64 rng(19);
    int masks = 0, gains = 0, nearInteger = 0;
    std::array<int, 4> perType{};
    for (int i = 0; i < kCorpusSize; ++i) {
        const Spec e = RandomSpec(rng, i);
        SCOPED_TRACE("spec " + std::to_string(i) + ": " + stagetest::Describe(e) + " Apb " +
                     std::to_string(static_cast<double>(e.apb)) + " Asb " +
                     std::to_string(static_cast<double>(e.asb)));
        TDesign d;
        ASSERT_TRUE(stagetest::Calculate(d, e));
        const Specification& s = d.Spec;
        if (e.type == Lowpass && i % 3 == 0 && e.asb <= 20.0L) ++nearInteger;
        for (int index = 0; index < kApproxCount; ++index) {
            if (!isUsable(d.Approx[index])) continue;
            SCOPED_TRACE(kApproxNames[index]);
            const Ideal h{ApproxNumeratorGain(d, index), ApproxPoles(d, index), ApproxZeros(d, index)};
            const long double x0 = s.FilterType == Highpass ? 1e-9L : 0.0L;
            EXPECT_LE(Extreme(h, s, x0, 1.0L, 300, true), s.Apb + kMaskToleranceDb);
            // The stopband in u = 1/x over (0, 1/selectivity], where its ripple is spread.
            const auto stopA = [&](long double u, int image) {
                const std::vector<long double> w = FilterFrequencies(s, 1.0L / u);
                return -20.0L * std::log10(h.Gain(w[std::min<std::size_t>(image, w.size() - 1)]));
            };
            long double least = 1e30L;
            const long double uEdge = 1.0L / s.Selectivity;
            constexpr int n = 300;
            for (int image = 0; image < 2; ++image) {
                std::vector<long double> v(n + 1);
                for (int k = 0; k <= n; ++k)
                    v[k] = stopA(std::max(uEdge * k / n, uEdge * 1e-7L), image);
                for (int k = 0; k <= n; ++k) {
                    least = std::min(least, v[k]);
                    if (k == 0 || k == n || v[k] > v[k - 1] || v[k] > v[k + 1]) continue;
                    long double lo = uEdge * (k - 1) / n, hi = uEdge * (k + 1) / n;
                    for (int it = 0; it < 50; ++it) {
                        const long double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
                        if (stopA(m1, image) < stopA(m2, image))
                            hi = m2;
                        else
                            lo = m1;
                    }
                    least = std::min(least, stopA((lo + hi) / 2, image));
                }
            }
            EXPECT_GE(least, s.Asb - kMaskToleranceDb);
            ++masks;
        }

        // The default approximation designed through to circuits.
        const int chosen = DefaultApproximation(d);
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
