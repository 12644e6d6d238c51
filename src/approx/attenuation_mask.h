// The attenuation mask of a specified filter and the true extremes of a response over it.
//
// A specified filter promises at most Apb dB of attenuation over its passband and at
// least Asb dB over its stopband, both relative to the specified overall gain. Whether a
// response keeps that promise is decided by its extremes over the bands, not by a few
// hundred display points: a ripple valley or a stopband lobe between two points, or an
// edge that falls between them, can hide a miss of a tenth of a decibel. The search
// here samples each band on a logarithmic grid of 200 points a decade (steps of 1.16 %),
// adds the frequencies the caller knows to be critical (the stages' pole and zero
// frequencies, where narrow peaks and notches sit), and refines every local extreme that
// could be the worst by a golden-section search between its grid neighbours; band ends
// are grid points. For a response whose extremes lie at least two grid steps or a
// feature frequency apart, the extremes found are the true ones to a relative frequency
// of 1e-9 and well within 0.001 dB.
//
// Band edges (rad/s): a lowpass passes 0..wpb and stops wsb..; a highpass the reverse;
// band filters are arithmetically symmetric in bandwidth and geometrically in frequency:
// the band of width B about w0 runs from sqrt(w0^2 + B^2/4) - B/2 to that plus B.
// Bands that are open on one side are checked over a limited span, since every realised
// filter (op amps of finite bandwidth) stops being the ideal one far enough out: an open
// passband three decades towards DC and one decade towards high frequencies beyond its
// edge, an open stopband two decades beyond its edge.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "model/design.h"

namespace velmora {

struct FrequencyBand {
    long double Lo = 0, Hi = 0; // rad/s
};

struct SpecificationBands {
    std::vector<FrequencyBand> Pass, Stop;
};

// The bands of a lowpass, highpass, bandpass or bandstop specification; empty bands for a
// user-defined filter (it has no mask). A forced order replaces the stopband requirement
// (the order is not estimated from it, and its values are not used): no stopband then.
SpecificationBands BandsOf(const Specification& s);

// The lower and upper edge of a band of width `bandwidth` about w0 (rad/s).
FrequencyBand BandAbout(long double w0, long double bandwidth);

// A response's gain in V/V at w (rad/s), or nothing where it cannot be evaluated.
using GainFunction = std::function<std::optional<long double>(long double w)>;

// The worst point of a response over a specification's bands. A margin is positive when
// the mask holds there: Apb minus the largest passband attenuation, the smallest
// stopband attenuation minus Asb (attenuations relative to `referenceGain`, V/V).
struct MaskMargins {
    long double PassMarginDb = 0, PassWorstW = 0; // rad/s
    long double StopMarginDb = 0, StopWorstW = 0;
    // A filter of forced order has no stopband requirement: its stopband margin is none.
    bool HasStop = true;
    bool Meets() const {
        return PassMarginDb >= -kMaskToleranceDb && (!HasStop || StopMarginDb >= -kMaskToleranceDb);
    }
    // The smaller of the margins the mask has.
    long double WorstMarginDb() const {
        return HasStop && StopMarginDb < PassMarginDb ? StopMarginDb : PassMarginDb;
    }
    // The resolution of the verdict. A filter designed exactly to an edge meets it with
    // no margin, and a real op amp's finite DC gain (1e5) alone moves a high-Q stage by a
    // few thousandths of a decibel: a hundredth of a decibel is below what any filter can
    // be built or measured to, and a miss smaller than that is not reported as one.
    static constexpr long double kMaskToleranceDb = 0.01L;
};

// Nothing when the specification has no mask or the response cannot be evaluated
// somewhere on it. `features` (rad/s) are added to the grid where they fall in a band.
std::optional<MaskMargins> CheckMask(const Specification& s, long double referenceGain,
                                     const GainFunction& gain, const std::vector<long double>& features = {});

// Whether the mask holds, ending the search at the first point that misses it (the
// margins of a miss found that way are not the worst ones, so only the answer is given).
std::optional<bool> MaskHolds(const Specification& s, long double referenceGain, const GainFunction& gain,
                              const std::vector<long double>& features = {});

} // namespace velmora
