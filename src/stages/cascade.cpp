#include "stages/cascade.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "stages/cascade_detail.h"
#include "stages/stage_types.h"

namespace velmora {

using namespace cascade_detail;

namespace {

// The grid step is 2 B / 350, written with the constant 1/350.
constexpr long double kStepFraction = 1.0L / kResponseIntervals;

} // namespace

void ComputeAnalysisGrid(TDesign& d) {
    AnalysisGrid& g = d.Grid;
    g = AnalysisGrid{};
    const Specification& sp = d.Spec;
    long double start = 0.0L, step = 0.0L;
    switch (sp.FilterType) {
    case Lowpass:
    case Highpass: {
        const long double wp = sp.wpb;
        step = 2.0L * wp * kStepFraction;
        g.PassLow = sp.FilterType == Lowpass ? 0.0L : wp;
        g.PassHigh = sp.FilterType == Lowpass ? wp : 2.0L * wp;
        break;
    }
    case Bandpass:
    case Bandstop: {
        const long double w0 = sp.w0, bp = sp.Bpb;
        const long double root = std::sqrt(w0 * w0 + bp * bp / 4.0L);
        const long double wL = root - bp / 2.0L, wH = root + bp / 2.0L;
        start = wL - bp / 2.0L;
        step = 2.0L * bp * kStepFraction;
        if (sp.FilterType == Bandpass) {
            g.PassLow = wL;
            g.PassHigh = wH;
        } else {
            g.PassLow = 0.0L;
            g.PassHigh = wL;
            g.PassLow2 = wH;
            g.PassHigh2 = 2.0L * w0;
            g.TwoBands = 1;
        }
        break;
    }
    default:
        return; // user-defined filters are not evaluated over a grid
    }
    for (int i = 0; i <= kResponseIntervals; ++i)
        g.W[i] = start + i * step;
}

std::unique_ptr<CascadeWork> NewCascadeWork() {
    return std::make_unique<CascadeWork>();
}

namespace {

bool SameGrid(const TDesign& d, const CascadeWork::OwnMagnitude& o) {
    for (int i = 0; i <= kResponseIntervals; ++i)
        if (o.grid[i] != d.Grid.W[i].value()) return false;
    return true;
}

bool SameStage(const TStageCoeffs& st, const CascadeWork::OwnMagnitude& o) {
    return o.known && o.type == st.StageType && o.sigma == st.Sigma.value() && o.wp == st.Wp.value() &&
           o.qp == st.Qp.value() && o.wz == st.Wz.value();
}

// The stage's own magnitude over the grid, from the work's copy when one was evaluated
// for the same coefficients and grid: in the stage's own slot, or in another slot when
// the stages were reordered since (the copy is then moved into the stage's slot).
const std::array<long double, kResponsePoints>& OwnMagnitude(const TDesign& d, CascadeWork& w, int s) {
    const TStageCoeffs& st = d.Stages[s];
    CascadeWork::OwnMagnitude& o = w.own[s];
    if (SameStage(st, o) && SameGrid(d, o)) return o.mag;
    for (int j = 1; j <= kMaxStages; ++j) {
        if (j != s && SameStage(st, w.own[j]) && SameGrid(d, w.own[j])) {
            std::swap(o, w.own[j]);
            return o.mag;
        }
    }
    o.known = true;
    o.type = st.StageType;
    o.sigma = st.Sigma;
    o.wp = st.Wp;
    o.qp = st.Qp;
    o.wz = st.Wz;
    for (int i = 0; i <= kResponseIntervals; ++i) {
        o.grid[i] = d.Grid.W[i];
        o.mag[i] = StageMagnitude(st, o.grid[i]);
    }
    return o.mag;
}

} // namespace

void AppendStage(TDesign& d, CascadeWork& w, int s, int p) {
    TStageCoeffs& st = d.Stages[s];
    StageResponse& r = w.stage[s];
    const StageResponse* prev = p != s ? &w.stage[p] : nullptr;
    const Magnitudes& own = OwnMagnitude(d, w, s);
    GridPoints grid;
    ReadGrid(d.Grid, grid);

    const PartialFigures f = Accumulate(prev ? &prev->cum : nullptr, own, grid, &r.cum);
    long double magPeak = 0.0L;
    for (const long double m : own)
        if (m > magPeak) magPeak = m;
    const Flatness flat = FlatnessOf(f);
    r.flatValid = flat.valid;
    r.flatness = flat.flatness;
    const long double scale = StoreStageGains(st, f);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        r.mag[i] = own[i] * scale;
        r.cum[i] *= scale;
    }
    r.magPeak = magPeak * scale;
    r.cumPeak = f.cumPeak * scale;
    r.passMin = std::isfinite(f.passMin) ? f.passMin * scale : 0.0L;
}

namespace {

// The gain at w = 0 of the normalised prototype the stages come from: the prototypes
// are normalised to 1 there, except even-order Chebyshev and Elliptic ones, which start
// at the bottom of their passband ripple, 10^(-Apb/20). Every filter type sees this
// value at its reference frequency (lowpass at DC, highpass at high frequencies,
// bandpass at the centre, bandstop in both passbands), since the transformations map
// w = 0 of the prototype there.
long double PrototypeDcGain(const TDesign& d) {
    const int index = d.CurrentApprox;
    const int order = d.current().Result.Order;
    const bool band = d.Spec.FilterType == Bandpass || d.Spec.FilterType == Bandstop;
    const int protoOrder = band ? order / 2 : order;
    if ((index == Chebyshev || index == Elliptic) && protoOrder % 2 == 0)
        return std::pow(10.0L, -0.05L * d.Spec.Apb);
    return 1.0L;
}

// |N(jw)/P(jw)| of a stage (without K) as w grows without bound: 1 where numerator and
// denominator have the same degree, else 0.
long double HighFrequencyMagnitude(const TStageCoeffs& s) {
    switch (s.StageType) {
    case stFHP:
    case stSHP:
    case stSLPN:
    case stSHPN:
    case stSN:
        return 1.0L;
    default:
        return 0.0L;
    }
}

long double ReferenceMagnitude(const TStageCoeffs& s, const Specification& sp) {
    switch (sp.FilterType) {
    case Lowpass:
        return StageMagnitude(s, 0.0L);
    case Highpass:
        return HighFrequencyMagnitude(s);
    case Bandpass:
        return StageMagnitude(s, sp.w0);
    default: // bandstop: the geometric mean of the two passbands' levels
        return std::sqrt(StageMagnitude(s, 0.0L) * HighFrequencyMagnitude(s));
    }
}

} // namespace

long double SetReferenceGain(TDesign& d) {
    const int N = d.StageCount;
    if (d.Spec.FilterType == UserDefined || N < 1 || d.CurrentApprox < 0 || d.CurrentApprox >= kApproxCount)
        return 1.0L;
    long double level = 1.0L;
    for (int s = 1; s <= N; ++s)
        level *= static_cast<long double>(d.Stages[s].K) * ReferenceMagnitude(d.Stages[s], d.Spec);
    const long double c = PrototypeDcGain(d) / level;
    if (!(c > 0.0L) || !std::isfinite(c)) return 1.0L;
    TStageCoeffs& last = d.Stages[N];
    last.To = ToFromK(last, static_cast<long double>(last.K) * c);
    last.K = static_cast<long double>(last.To) * NumeratorScale(last);
    return c;
}

void EvaluateCascade(TDesign& d, CascadeWork& w) {
    if (d.Spec.FilterType == UserDefined) {
        // The user's sections keep their own gains; K follows To.
        for (int s = 1; s <= d.StageCount; ++s) {
            TStageCoeffs& st = d.Stages[s];
            st.K = static_cast<long double>(st.To) * NumeratorScale(st);
            st.Flatness = 0.0L;
        }
        return;
    }
    ComputeAnalysisGrid(d);
    for (int s = 1; s <= d.StageCount; ++s)
        AppendStage(d, w, s, s == 1 ? 1 : s - 1);
    if (d.StageCount < 1) return;
    StageResponse& r = w.stage[d.StageCount];
    const long double c = SetReferenceGain(d);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        r.mag[i] *= c;
        r.cum[i] *= c;
    }
    r.magPeak *= c;
    r.cumPeak *= c;
    r.passMin *= c;
}

void EvaluateCascade(TDesign& d) {
    auto w = NewCascadeWork();
    EvaluateCascade(d, *w);
}

void SwapStages(TDesign& d, int a, int b) {
    if (a != b) std::swap(d.Stages[a], d.Stages[b]);
}

} // namespace velmora
