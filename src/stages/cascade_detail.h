// The pieces the cascade evaluation and the automatic ordering share: the analysis grid
// as both read it (its points and its runs inside and outside the passbands), the
// product of a stage with the partial cascade before it, and its flatness and gains.
// Internal to src/stages.
#pragma once

#include <array>
#include <cmath>
#include <limits>

#include "stages/cascade.h"
#include "stages/stage_types.h"

namespace velmora::cascade_detail {

constexpr long double kInf = std::numeric_limits<long double>::infinity();

inline bool InPassband(const AnalysisGrid& g, long double w) {
    if (w >= g.PassLow && w <= g.PassHigh) return true;
    return g.TwoBands && w >= g.PassLow2 && w <= g.PassHigh2;
}

// The analysis grid as every evaluation reads it: the frequencies, and the runs of
// consecutive points inside and outside the passbands (found once per grid rather than
// tested at every product).
struct GridPoints {
    std::array<long double, kResponsePoints> w;
    struct Run {
        int begin, end; // points begin .. end - 1
        bool pass;
    };
    std::array<Run, kResponsePoints> runs;
    int runCount = 0;
};
inline void ReadGrid(const AnalysisGrid& g, GridPoints& out) {
    out.runCount = 0;
    for (int i = 0; i <= kResponseIntervals; ++i) {
        out.w[i] = g.W[i];
        const bool pass = InPassband(g, out.w[i]);
        if (out.runCount > 0 && out.runs[out.runCount - 1].pass == pass)
            out.runs[out.runCount - 1].end = i + 1;
        else
            out.runs[out.runCount++] = {i, i + 1, pass};
    }
}

using Magnitudes = std::array<long double, kResponsePoints>;

// The peak over the grid and the smallest value inside the passband of a partial
// cascade: the stage's own magnitude times the cumulative magnitude before it (none:
// the stage alone). With `cum` the products are kept, for the stage that follows.
struct PartialFigures {
    long double cumPeak = 0.0L, passMin = kInf;
};
template <bool kPass>
void AccumulateRun(const Magnitudes* prev, const Magnitudes& own, int begin, int end, Magnitudes* cum,
                   PartialFigures& f) {
    for (int i = begin; i < end; ++i) {
        const long double m = own[i];
        const long double c = prev ? (*prev)[i] * m : m;
        if (cum) (*cum)[i] = c;
        if (c > f.cumPeak) f.cumPeak = c;
        if (kPass && c < f.passMin) f.passMin = c;
    }
}
inline PartialFigures Accumulate(const Magnitudes* prev, const Magnitudes& own, const GridPoints& g,
                                 Magnitudes* cum) {
    PartialFigures f;
    for (int r = 0; r < g.runCount; ++r) {
        const GridPoints::Run& run = g.runs[r];
        if (run.pass)
            AccumulateRun<true>(prev, own, run.begin, run.end, cum, f);
        else
            AccumulateRun<false>(prev, own, run.begin, run.end, cum, f);
    }
    return f;
}

// The flatness a partial cascade shows; a passband minimum of 0 (or a peak that is not
// finite) gives none.
struct Flatness {
    bool valid = false;
    long double flatness = 0;
};
inline Flatness FlatnessOf(const PartialFigures& f) {
    Flatness out;
    out.valid = f.cumPeak > 0.0L && std::isfinite(f.cumPeak) && f.passMin > 0.0L && std::isfinite(f.passMin);
    out.flatness = out.valid ? f.cumPeak / f.passMin : 0.0L;
    return out;
}

// Writes the stage's Flatness, K and To for its place and returns the factor its arrays
// are scaled by. K brings the cumulative peak to 1. Behind another stage this is the
// previous peak (1) over this one; dividing by the peak itself rather than by the
// previous stage's stored peak keeps the rounding of the stored gains from accumulating.
// The scale is the gain the stored To gives, so that the stored stage gains reproduce
// the unit peak without accumulating the rounding of earlier stages.
inline long double StoreStageGains(TStageCoeffs& st, const PartialFigures& f) {
    st.Flatness = FlatnessOf(f).flatness;
    long double K = 0.0L;
    if (f.cumPeak > 0.0L && std::isfinite(f.cumPeak)) K = 1.0L / f.cumPeak;
    st.K = K;
    st.To = ToFromK(st, K);
    return static_cast<long double>(st.To) * NumeratorScale(st);
}

} // namespace velmora::cascade_detail
