// The automatic ordering of the stages: the first-stage and last-stage preferences, the
// ordering by Qp, and the greedy maximum-flatness ordering with its lookahead on
// near-ties, whose trial placements are screened in double precision.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "numeric/dispatch.h"
#include "stages/cascade.h"
#include "stages/cascade_detail.h"
#include "stages/stage_types.h"

namespace velmora {

using namespace cascade_detail;

namespace {

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

} // namespace

// Screening of trial placements in double precision. A trial only decides which stage is
// flattest, and the products, the peak and the passband minimum of 351 points in long
// double (x87, one value at a time) are most of the work of an ordering. The same
// products in double run as vectors; their flatness is within a known bound of the long
// double one, so a comparison whose outcome is the same everywhere within the bounds of
// both operands is decided from the double values, and any other comparison takes the
// long double flatness of the candidates involved, as before.
//
// The bound. Every input (own magnitude, cumulative magnitude) is either 0 or within
// [2^-500, 2^500], so that no double conversion or product underflows or overflows. Each
// double product then carries the rounding of its two inputs and of itself (3u, u = 2^-53)
// against the long double product's one rounding (2^-64): relative 3u + 2^-64 per point.
// The peak and the minimum select values, so they carry the same relative error, and the
// quotient adds u in double and 2^-64 in long double: 7u + 3 2^-64 < 7.01u in all. Twice
// that, rounded up, is 16u = 2^-49; the bounds built from it in long double lose far less
// than the margin left.

// The grid padded to whole vectors: the padding points have a zero product, below any
// peak, and are outside the passband.

namespace {

constexpr int kLanes = 8;
constexpr int kPaddedPoints = (kResponsePoints + kLanes - 1) / kLanes * kLanes;
struct alignas(64) ScreenArray {
    double v[kPaddedPoints] = {};
};

using Vec4 = double __attribute__((vector_size(32)));
inline void Load4(Vec4& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}

// Tells whether magnitudes rounded to double for the screening (`x` rounded in `out`)
// are all 0 or in the screened range. The range is tested on the double values (a value
// rounded into the range is at most half an ulp outside it, which the margins of the
// range allow for); a double 0 is checked against the long double value, which may be a
// nonzero value below the double range. A sum that is not finite reveals an infinity or
// a NaN, which the selects would pass over.
bool ScreenableCopy(const std::array<long double, kResponsePoints>& x, const double* out) {
    using Vec2 = double __attribute__((vector_size(16)));
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr int kWhole = kResponsePoints / 2 * 2;
    const Vec2 infs = {inf, inf};
    Vec2 lowV = infs, nonzeroV = infs, highV = {0.0, 0.0}, sumV = highV;
    for (int i = 0; i < kWhole; i += 2) {
        Vec2 v;
        std::memcpy(&v, out + i, sizeof v);
        const Vec2 nonzero = v == 0.0 ? infs : v;
        lowV = v < lowV ? v : lowV;
        nonzeroV = nonzero < nonzeroV ? nonzero : nonzeroV;
        highV = highV < v ? v : highV;
        sumV += v;
    }
    double low = std::min(lowV[0], lowV[1]), lowNonzero = std::min(nonzeroV[0], nonzeroV[1]);
    double high = std::max(highV[0], highV[1]), sum = sumV[0] + sumV[1];
    for (int i = kWhole; i < kResponsePoints; ++i) {
        const double v = out[i];
        low = std::min(low, v);
        if (v != 0.0) lowNonzero = std::min(lowNonzero, v);
        high = std::max(high, v);
        sum += v;
    }
    if (!(std::isfinite(sum) && low >= 0.0 && lowNonzero >= 0x1p-500 && high <= 0x1p500)) return false;
    if (low == 0.0)
        for (int i = 0; i < kResponsePoints; ++i)
            if (out[i] == 0.0 && x[i] != 0.0L) return false;
    return true;
}

struct ScreenFigures {
    double peak, passMin;
};

// The peak of prev * own over the grid and its smallest value inside the passband, where
// `stopAdd` is 0 on passband points and +infinity elsewhere (adding it is exact). Written
// with vectors of four values and selects instead of branches. Built twice, for
// processors with 256-bit vectors and for any x86-64 (two 128-bit halves); both do the
// same operations and give the same values (a maximum or a minimum does not depend on
// the order it is taken in).
[[gnu::always_inline]] inline ScreenFigures ScreenProductsBody(const double* __restrict prev,
                                                               const double* __restrict own,
                                                               const double* __restrict stopAdd) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    Vec4 peakA = {0.0, 0.0, 0.0, 0.0}, peakB = peakA;
    Vec4 lowA = {inf, inf, inf, inf}, lowB = lowA;
    for (int i = 0; i < kPaddedPoints; i += kLanes) {
        Vec4 pA, pB, oA, oB, sA, sB;
        Load4(pA, prev + i);
        Load4(pB, prev + i + 4);
        Load4(oA, own + i);
        Load4(oB, own + i + 4);
        Load4(sA, stopAdd + i);
        Load4(sB, stopAdd + i + 4);
        const Vec4 cA = pA * oA, cB = pB * oB;
        peakA = peakA < cA ? cA : peakA;
        peakB = peakB < cB ? cB : peakB;
        const Vec4 vA = cA + sA, vB = cB + sB;
        lowA = vA < lowA ? vA : lowA;
        lowB = vB < lowB ? vB : lowB;
    }
    ScreenFigures f{0.0, inf};
    for (int j = 0; j < 4; ++j) {
        f.peak = std::max({f.peak, peakA[j], peakB[j]});
        f.passMin = std::min({f.passMin, lowA[j], lowB[j]});
    }
    return f;
}
VELMORA_VECTOR_KERNEL(ScreenFigures, ScreenProducts, ScreenProductsBody,
                      (const double* prev, const double* own, const double* stopAdd), (prev, own, stopAdd))

// A trial flatness as the screening gives it: exact (the long double value, or no valid
// flatness) or the double value within kFlatnessScreenBound of the long double one.
struct ScreenedFlatness {
    bool valid = false;
    bool exact = true;
    long double value = kInf;
};

// The screened trial from the double copies of inputs known to be in the screened range;
// none when the quotient leaves the double range (the trial is then made exactly).
std::optional<ScreenedFlatness> ScreenCopies(const double* prev, const double* own, const double* stopAdd) {
    const ScreenFigures f = ScreenProducts(prev, own, stopAdd);
    if (!(f.peak > 0.0 && f.passMin > 0.0 && f.passMin < std::numeric_limits<double>::infinity()))
        return ScreenedFlatness{};
    const double flatness = f.peak / f.passMin;
    if (!(flatness <= std::numeric_limits<double>::max())) return std::nullopt;
    return ScreenedFlatness{true, false, flatness};
}

// 0 on passband points, +infinity on the others and on the padding.
void StopbandAddends(const GridPoints& grid, ScreenArray& out) {
    for (int i = 0; i < kPaddedPoints; ++i)
        out.v[i] = std::numeric_limits<double>::infinity();
    for (int r = 0; r < grid.runCount; ++r)
        if (grid.runs[r].pass)
            for (int i = grid.runs[r].begin; i < grid.runs[r].end; ++i)
                out.v[i] = 0.0;
}

// One ordering of the stages: the grid points and every stage's own magnitude over them,
// evaluated once (the stages keep their slots while they are being ordered), and the
// cumulative magnitude of the partial cascade ending with each placed stage, in long
// double and rounded to double for the screening. Trials and placements read these
// instead of the general CascadeWork, whose own-magnitude copies must be checked against
// the stage and the grid at every use.
class OrderingRun {
  public:
    explicit OrderingRun(const TDesign& d) : n_(d.StageCount) {
        ReadGrid(d.Grid, grid_);
        for (int i = 0; i < kResponsePoints; ++i)
            ones_.v[i] = 1.0;
        StopbandAddends(grid_, stopAdd_);
        for (int s = 1; s <= n_; ++s) {
            slot_[s] = s;
            for (int i = 0; i <= kResponseIntervals; ++i)
                own_[s][i] = StageMagnitude(d.Stages[s], grid_.w[i]);
        }
    }

    // The double copies the screening reads, for an ordering that makes trials; from now
    // on every placement keeps its cumulative magnitude in double as well.
    void PrepareScreening() {
        screening_ = true;
        for (int s = 1; s <= n_; ++s) {
            for (int i = 0; i <= kResponseIntervals; ++i)
                ownD_[s].v[i] = static_cast<double>(own_[s][i]);
            ownScreenable_[s] = ScreenableCopy(own_[s], ownD_[s].v);
        }
    }

    // The flatness stage s would have behind stage p (p = s: alone), as a placement finds
    // it, without writing anything: a trial placement only compares flatness.
    Flatness Trial(int s, int p) const {
        return FlatnessOf(Accumulate(p != s ? &cum_[p] : nullptr, Own(s), grid_, nullptr));
    }

    // The same trial screened in double; exact when the inputs are out of the screened
    // range. Under the range condition a product is 0 exactly when the long double one is,
    // and every value is finite, so the validity found in double is the long double one.
    ScreenedFlatness Screen(int s, int p) const {
        if (!ownScreenable_[slot_[s]] || (p != s && !cumScreenable_[p])) return ExactTrial(s, p);
        const std::optional<ScreenedFlatness> r =
            ScreenCopies(p != s ? cumD_[p].v : ones_.v, ownD_[slot_[s]].v, stopAdd_.v);
        return r ? *r : ExactTrial(s, p);
    }
    ScreenedFlatness ExactTrial(int s, int p) const {
        const Flatness f = Trial(s, p);
        return f.valid ? ScreenedFlatness{true, true, f.flatness} : ScreenedFlatness{};
    }

    // Places stage s behind stage p (p = s: first), as AppendStage does: the stage's
    // Flatness, K and To, and its cumulative magnitude scaled to a unit peak. Returns the
    // flatness, the one Trial(s, p) gives.
    Flatness Place(TDesign& d, int s, int p) {
        Magnitudes& cum = cum_[s];
        const PartialFigures f = Accumulate(p != s ? &cum_[p] : nullptr, Own(s), grid_, &cum);
        const long double scale = StoreStageGains(d.Stages[s], f);
        if (!screening_) {
            for (int i = 0; i <= kResponseIntervals; ++i)
                cum[i] *= scale;
            return FlatnessOf(f);
        }
        double* cumD = cumD_[s].v;
        for (int i = 0; i <= kResponseIntervals; ++i) {
            cum[i] *= scale;
            cumD[i] = static_cast<double>(cum[i]);
        }
        cumScreenable_[s] = ScreenableCopy(cum, cumD);
        return FlatnessOf(f);
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
    ScreenArray ones_, stopAdd_;
    OneBased<ScreenArray, kMaxStages> ownD_, cumD_;
    std::array<bool, kMaxStages + 1> ownScreenable_{}, cumScreenable_{};
    bool screening_ = false;
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
            const Decision c = Decide(k, prev, false);
            order_[k] = c.stage;
            placed_[c.stage] = true;
            run_.Place(d_, c.stage, prev ? prev : c.stage);
        }
    }

  private:
    struct Decision {
        int stage = 0;
        long double flat = kInf;
        // The flat is the screened one, to be replaced by the long double flatness the
        // placement of the chosen stage finds (the chosen stage is the flattest one).
        bool flatFromPlacement = false;
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

    // The long double flatness of candidate c behind prev, in place of a screened one.
    void MakeExact(BoundedFlatness& x, int c, int prev) const {
        if (x.exact) return;
        x = {run_.ExactTrial(c, prev ? prev : c).value, true};
    }

    // The stage for position k behind `prev` (0: evaluated alone). Requires the
    // cumulative magnitude of prev to describe the current prefix. The flatness of the
    // decision (that of the flattest candidate) is the long double one when `withFlat`,
    // or, when the flattest candidate is chosen, marked to be taken from its placement;
    // only the lookahead reads it.
    //
    // Every decision at position k is made with the same number of placed stages, and
    // the lookahead only decides positions after the one it starts from; so the set the
    // main run decides position k for is never asked again once the run has moved on,
    // and only the lookahead's decisions (with their flatness) are remembered.
    Decision Decide(int k, int prev, bool withFlat) {
        const unsigned mask = Mask();
        if (auto it = memo_.find(mask); it != memo_.end()) return it->second;

        std::vector<int> ties;
        BoundedFlatness best; // kInf, exact: no candidate yet
        int firstFree = 0;
        for (int c = s_; c <= e_; ++c) {
            if (placed_[c]) continue;
            if (!firstFree) firstFree = c;
            const ScreenedFlatness r = run_.Screen(c, prev ? prev : c);
            if (!r.valid) continue; // a passband minimum of 0 is never best
            BoundedFlatness F{r.value, r.exact};
            if (!ties.empty()) {
                ScreenOutcome tie = ScreenedNearTie(F, best);
                if (tie == ScreenOutcome::Unknown) {
                    MakeExact(F, c, prev);
                    MakeExact(best, ties.front(), prev);
                    tie = ScreenedNearTie(F, best);
                }
                if (tie == ScreenOutcome::Yes) {
                    ties.push_back(c);
                    continue;
                }
            }
            ScreenOutcome below = ScreenedBelow(F, best);
            if (below == ScreenOutcome::Unknown) {
                MakeExact(F, c, prev);
                MakeExact(best, ties.front(), prev);
                below = ScreenedBelow(F, best);
            }
            if (below == ScreenOutcome::Yes) {
                best = F;
                ties.assign(1, c);
            }
        }
        Decision out;
        if (ties.empty()) {
            out.stage = firstFree; // nothing measurable: keep the stage-number order
        } else if (ties.size() == 1 || k >= e_) {
            out = {ties.front(), best.value};
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
            out = {winner, best.value};
        }
        if (withFlat && !best.exact) {
            // The placement behind the same prev repeats the trial of the chosen stage.
            if (out.stage == ties.front()) {
                out.flatFromPlacement = true;
            } else {
                MakeExact(best, ties.front(), prev);
                out.flat = best.value;
            }
        }
        if (withFlat) memo_[mask] = out;
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
            const unsigned mask = Mask();
            Decision dj = Decide(j, pr, true);
            placed_[dj.stage] = true;
            mine.push_back(dj.stage);
            const Flatness placedFlat = run_.Place(d_, dj.stage, pr);
            if (dj.flatFromPlacement) {
                dj.flat = placedFlat.flatness;
                dj.flatFromPlacement = false;
                memo_[mask] = dj;
            }
            out.push_back(dj.flat);
            pr = dj.stage;
        }
        for (int c : mine)
            placed_[c] = false;
        return out;
    }
};

} // namespace

ScreenOutcome ScreenedBelow(const BoundedFlatness& a, const BoundedFlatness& b) {
    if (a.exact && b.exact) return a.value < b.value ? ScreenOutcome::Yes : ScreenOutcome::No;
    if (a.High() < b.Low()) return ScreenOutcome::Yes;
    if (a.Low() >= b.High()) return ScreenOutcome::No;
    return ScreenOutcome::Unknown;
}

// The slack covers the rounding of the differences of the bounds and of the difference
// itself, each a few 2^-64 of the operands.
ScreenOutcome ScreenedNearTie(const BoundedFlatness& a, const BoundedFlatness& b) {
    if (a.exact && b.exact)
        return std::fabs(a.value - b.value) < kFlatnessTie ? ScreenOutcome::Yes : ScreenOutcome::No;
    const long double lo = a.Low() - b.High(), hi = a.High() - b.Low();
    const long double slack = (a.High() + b.High() + kFlatnessTie) * 0x1p-58L;
    if (lo > -(kFlatnessTie - slack) && hi < kFlatnessTie - slack) return ScreenOutcome::Yes;
    if (lo >= kFlatnessTie + slack || hi <= -(kFlatnessTie + slack)) return ScreenOutcome::No;
    return ScreenOutcome::Unknown;
}

ScreenedTrial ScreenTrial(const AnalysisGrid& g, const std::array<long double, kResponsePoints>* prev,
                          const std::array<long double, kResponsePoints>& own) {
    GridPoints grid;
    ReadGrid(g, grid);
    const auto arrays = std::make_unique<std::array<ScreenArray, 3>>();
    ScreenArray& prevD = (*arrays)[0];
    ScreenArray& ownD = (*arrays)[1];
    ScreenArray& stopAdd = (*arrays)[2];
    StopbandAddends(grid, stopAdd);
    bool screenable = true;
    for (int i = 0; i < kResponsePoints; ++i) {
        prevD.v[i] = prev ? static_cast<double>((*prev)[i]) : 1.0;
        ownD.v[i] = static_cast<double>(own[i]);
    }
    screenable = ScreenableCopy(own, ownD.v) && (!prev || ScreenableCopy(*prev, prevD.v));
    if (screenable) {
        if (const std::optional<ScreenedFlatness> r = ScreenCopies(prevD.v, ownD.v, stopAdd.v))
            return {r->valid, {r->value, r->exact}};
    }
    const Flatness f = FlatnessOf(Accumulate(prev, own, grid, nullptr));
    return {f.valid, {f.valid ? f.flatness : kInf, true}};
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

    bool placedInOrder = false; // the stored figures are already those of the order
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
        run->PrepareScreening();
        if (firstFixed) run->Place(d, 1, 1);
        FlatnessOrder(d, *run, order, placed, s, e).Run();
        // The run placed every stage it ordered behind the one before it, last of all in
        // the order found (a lookahead only places stages still free, which the run
        // places again afterwards); a last stage fixed by a preference follows them.
        if (lastFixed) run->Place(d, N, order[N - 1]);
        placedInOrder = true;
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
    // specification it comes from has not changed). A flatness ordering has written them
    // already, by the same placements in the same order; they moved with the records.
    if (!placedInOrder) {
        run->FollowOrder(order);
        run->PlaceAll(d);
    }
    SetReferenceGain(d);
    return true;
}

} // namespace velmora
