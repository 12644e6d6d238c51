#include "stages/cascade.h"

#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "stages/stage_types.h"

namespace velmora {
namespace {

constexpr long double kInf = std::numeric_limits<long double>::infinity();
// The grid step is 2 B / 350, written with the constant 1/350.
constexpr long double kStepFraction = 1.0L / kResponseIntervals;

bool InPassband(const AnalysisGrid& g, long double w) {
    if (w >= g.PassLow && w <= g.PassHigh) return true;
    return g.TwoBands && w >= g.PassLow2 && w <= g.PassHigh2;
}

// Stage types a first-stage and a last-stage preference select, in list order.
constexpr std::array<uint8_t, 5> kFirstTypes = {0, stFLP, stSLP, stSLPN, stSBP};
constexpr std::array<uint8_t, 5> kLastTypes = {0, stFHP, stSHP, stSHPN, stSBP};

// The stage of the highest-priority enabled option that finds one: the smallest Qp
// (first stage) or the largest Qp (last stage, first-order stages with Qp 0 included);
// the lowest stage number wins among equal Qp.
int FindPreferred(const TDesign& d, const TCascadeCriteria& c, const std::array<uint8_t, 5>& types,
                  bool largest) {
    for (int priority = 1; priority <= 4; ++priority) {
        for (int opt = 1; opt <= 4; ++opt) {
            const TCascadeOption& o = c.Options[opt];
            if (!o.Enabled || o.Priority != priority) continue;
            int found = 0;
            long double best = largest ? -kInf : kInf;
            for (int s = 1; s <= d.StageCount; ++s) {
                if (d.Stages[s].StageType != types[opt]) continue;
                const long double q = d.Stages[s].Qp;
                if (largest ? q > best : q < best) {
                    best = q;
                    found = s;
                }
            }
            if (found) return found;
        }
    }
    return 0;
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
void ReadGrid(const AnalysisGrid& g, GridPoints& out) {
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
PartialFigures Accumulate(const Magnitudes* prev, const Magnitudes& own, const GridPoints& g,
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
Flatness FlatnessOf(const PartialFigures& f) {
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
long double StoreStageGains(TStageCoeffs& st, const PartialFigures& f) {
    st.Flatness = FlatnessOf(f).flatness;
    long double K = 0.0L;
    if (f.cumPeak > 0.0L && std::isfinite(f.cumPeak)) K = 1.0L / f.cumPeak;
    st.K = K;
    st.To = ToFromK(st, K);
    return static_cast<long double>(st.To) * NumeratorScale(st);
}

// One ordering of the stages: the grid points and every stage's own magnitude over them,
// evaluated once (the stages keep their slots while they are being ordered), and the
// cumulative magnitude of the partial cascade ending with each placed stage. Trials
// and placements read these instead of the general CascadeWork, whose own-magnitude
// copies must be checked against the stage and the grid at every use.
class OrderingRun {
  public:
    explicit OrderingRun(const TDesign& d) : n_(d.StageCount) {
        ReadGrid(d.Grid, grid_);
        for (int s = 1; s <= n_; ++s) {
            slot_[s] = s;
            for (int i = 0; i <= kResponseIntervals; ++i)
                own_[s][i] = StageMagnitude(d.Stages[s], grid_.w[i]);
        }
    }

    // The flatness stage s would have behind stage p (p = s: alone), as a placement finds
    // it, without writing anything: a trial placement only compares flatness.
    Flatness Trial(int s, int p) const {
        return FlatnessOf(Accumulate(p != s ? &cum_[p] : nullptr, Own(s), grid_, nullptr));
    }

    // Places stage s behind stage p (p = s: first), as AppendStage does: the stage's
    // Flatness, K and To, and its cumulative magnitude scaled to a unit peak.
    void Place(TDesign& d, int s, int p) {
        Magnitudes& cum = cum_[s];
        const PartialFigures f = Accumulate(p != s ? &cum_[p] : nullptr, Own(s), grid_, &cum);
        const long double scale = StoreStageGains(d.Stages[s], f);
        for (int i = 0; i <= kResponseIntervals; ++i)
            cum[i] *= scale;
    }

    // The stages were moved to their positions: the record now in slot k was in slot
    // order[k], and its own magnitude goes with it.
    void FollowOrder(const std::vector<int>& order) {
        std::array<int, kMaxStages + 1> moved = slot_;
        for (int k = 1; k <= n_; ++k)
            moved[k] = slot_[order[k]];
        slot_ = moved;
    }

    // Every stage in its place from the first (the figures the design keeps).
    void PlaceAll(TDesign& d) {
        for (int s = 1; s <= n_; ++s)
            Place(d, s, s == 1 ? 1 : s - 1);
    }

  private:
    const Magnitudes& Own(int s) const { return own_[slot_[s]]; }

    int n_;
    GridPoints grid_;
    std::array<int, kMaxStages + 1> slot_{};
    OneBased<Magnitudes, kMaxStages> own_, cum_;
};

// The greedy maximum-flatness ordering of positions s..e with lookahead on near-ties.
// The cumulative response behind a prefix is the product of the prefix's stages,
// whatever their order, so a decision depends only on the set of placed stages and
// is remembered by it.
class FlatnessOrder {
  public:
    FlatnessOrder(TDesign& d, OrderingRun& run, std::vector<int>& order, std::vector<bool>& placed, int s,
                  int e)
        : d_(d), run_(run), order_(order), placed_(placed), s_(s), e_(e) {}

    void Run() {
        for (int k = s_; k <= e_; ++k) {
            const int prev = k > 1 ? order_[k - 1] : 0;
            const Decision c = Decide(k, prev);
            order_[k] = c.stage;
            placed_[c.stage] = true;
            run_.Place(d_, c.stage, prev ? prev : c.stage);
        }
    }

  private:
    struct Decision {
        int stage = 0;
        long double flat = kInf;
    };

    TDesign& d_;
    OrderingRun& run_;
    std::vector<int>& order_;
    std::vector<bool>& placed_;
    int s_, e_;
    std::unordered_map<unsigned, Decision> memo_;

    unsigned Mask() const {
        unsigned m = 0;
        for (int c = 1; c < (int)placed_.size(); ++c)
            if (placed_[c]) m |= 1u << c;
        return m;
    }

    // The stage for position k behind `prev` (0: evaluated alone). Requires the
    // cumulative magnitude of prev to describe the current prefix.
    Decision Decide(int k, int prev) {
        const unsigned mask = Mask();
        if (auto it = memo_.find(mask); it != memo_.end()) return it->second;

        std::vector<int> ties;
        long double best = kInf;
        int firstFree = 0;
        for (int c = s_; c <= e_; ++c) {
            if (placed_[c]) continue;
            if (!firstFree) firstFree = c;
            const Flatness r = run_.Trial(c, prev ? prev : c);
            if (!r.valid) continue; // a passband minimum of 0 is never best
            const long double F = r.flatness;
            if (!ties.empty() && std::fabs(F - best) < kFlatnessTie) {
                ties.push_back(c);
            } else if (F < best) {
                best = F;
                ties.assign(1, c);
            }
        }
        Decision out;
        if (ties.empty()) {
            out.stage = firstFree; // nothing measurable: keep the stage-number order
        } else if (ties.size() == 1 || k >= e_) {
            out = {ties.front(), best};
        } else {
            // Near-tie: the last two candidates are compared by what follows them, one
            // position ahead and further while they stay tied, up to the last position.
            const int a = ties[ties.size() - 2], b = ties.back();
            const std::vector<long double> pa = Path(k, a, prev);
            const std::vector<long double> pb = Path(k, b, prev);
            int winner = a;
            for (size_t i = 0; i < pa.size() && i < pb.size(); ++i) {
                if (std::fabs(pa[i] - pb[i]) < kFlatnessTie) continue;
                if (pb[i] < pa[i]) winner = b;
                break;
            }
            out = {winner, best};
        }
        memo_[mask] = out;
        return out;
    }

    // Flatness at positions k+1..e when x takes position k behind prev and the rest is
    // chosen by Decide; the placed flags are restored.
    std::vector<long double> Path(int k, int x, int prev) {
        std::vector<long double> out;
        std::vector<int> mine{x};
        placed_[x] = true;
        run_.Place(d_, x, prev ? prev : x);
        int pr = x;
        for (int j = k + 1; j <= e_; ++j) {
            const Decision dj = Decide(j, pr);
            out.push_back(dj.flat);
            placed_[dj.stage] = true;
            mine.push_back(dj.stage);
            run_.Place(d_, dj.stage, pr);
            pr = dj.stage;
        }
        for (int c : mine)
            placed_[c] = false;
        return out;
    }
};

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
}

void EvaluateCascade(TDesign& d) {
    auto w = NewCascadeWork();
    EvaluateCascade(d, *w);
}

void SwapStages(TDesign& d, int a, int b) {
    if (a != b) std::swap(d.Stages[a], d.Stages[b]);
}

bool AutoCascade(TDesign& d) {
    MarkStepChanged(d);
    d.PairingChanged = 0;
    const int N = d.StageCount;
    if (d.Spec.FilterType == UserDefined || N < 2) {
        EvaluateCascade(d);
        return true;
    }
    ComputeAnalysisGrid(d);

    bool firstFixed = false, lastFixed = false;
    if (int f = FindPreferred(d, d.Criteria[0], kFirstTypes, false)) {
        SwapStages(d, f, 1);
        firstFixed = true;
    }
    if (int l = FindPreferred(d, d.Criteria[1], kLastTypes, true)) {
        SwapStages(d, l, N);
        lastFixed = true;
    }

    std::vector<int> order(N + 1);
    std::vector<bool> placed(N + 1, false);
    for (int i = 1; i <= N; ++i)
        order[i] = i;
    if (firstFixed) placed[1] = true;
    if (lastFixed) placed[N] = true;
    // The own magnitudes are evaluated with the stages in the slots the preferences left
    // them in; they follow the stages when the order is applied.
    const auto run = std::make_unique<OrderingRun>(d);
    const int s = firstFixed ? 2 : 1;
    const int e = lastFixed ? N - 1 : N;

    if (d.Opt.OrderByQp) {
        for (int k = s; k <= e; ++k) {
            int best = 0;
            for (int c = s; c <= e; ++c) {
                if (placed[c]) continue;
                if (!best) {
                    best = c;
                    continue;
                }
                const long double q = d.Stages[c].Qp, qb = d.Stages[best].Qp;
                const long double wp = d.Stages[c].Wp, wb = d.Stages[best].Wp;
                // Smallest Qp, then smallest wp, then the higher stage number.
                if (q < qb || (q == qb && (wp < wb || wp == wb))) best = c;
            }
            order[k] = best;
            placed[best] = true;
        }
    } else {
        if (firstFixed) run->Place(d, 1, 1);
        FlatnessOrder(d, *run, order, placed, s, e).Run();
    }

    // Apply the order only when it is a permutation of the stages.
    std::vector<bool> seen(N + 1, false);
    for (int k = 1; k <= N; ++k) {
        if (order[k] < 1 || order[k] > N || seen[order[k]]) {
            run->PlaceAll(d);
            return false;
        }
        seen[order[k]] = true;
    }
    OneBased<TStageCoeffs, kMaxStages> ordered = d.Stages;
    for (int k = 1; k <= N; ++k)
        ordered[k] = d.Stages[order[k]];
    d.Stages = ordered;

    // The stored figures, as EvaluateCascade gives them over the grid computed above (the
    // specification it comes from has not changed).
    run->FollowOrder(order);
    run->PlaceAll(d);
    return true;
}

} // namespace velmora
