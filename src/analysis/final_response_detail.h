// The pieces of the final response's evaluation shared by its files: the stages prepared
// for evaluation and the extended-precision reference (final_response_reference.cpp),
// the fast form of a cascade and its double-precision blocks (final_response_fast.cpp),
// and the compensated evaluations of the values the blocks leave in doubt
// (final_response_compensated.cpp). final_response.cpp drives them for a column.
// Internal to the analysis layer: nothing outside these files includes it.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

#include "analysis/final_response.h"
#include "circuits/circuit_design.h"
#include "model/design.h"
#include "numeric/double_double.h"
#include "numeric/vector_math.h"

namespace velmora::final_detail {

using Cx = std::complex<long double>;
constexpr long double kDegrees = 180.0L / std::numbers::pi_v<long double>;

// A polynomial of degree up to 3 divided by its leading coefficient, as real factors
// s + c0 and s^2 + c1 s + c0 whose roots are the polynomial's roots: the cubic is split
// at its real root as Roots splits it. At s = jw a factor is c0 + j w or
// (c0 - w^2) + j c1 w; with every coefficient >= 0 (its roots in the closed left
// half-plane) and w >= 0, its argument lies in [0, pi], and the sum of the arguments is
// the sum of arg(jw - r) over the roots r.
struct MonicFactors {
    struct Factor {
        bool quadratic = false;
        long double c0 = 0, c1 = 0;
    };
    std::array<Factor, 2> factor{};
    int count = 0;
    bool leftHalfPlane = true; // every coefficient >= 0
    // The condition of splitting a cubic at its real root r: the deflated coefficients
    // q1 = a2 + r q2 and q0 = a1 + r q1 lose (|a2| + |r q2|) / |q1| and
    // (|a1| + |r q1|) / |q0| of their relative accuracy. 0 below degree 3.
    long double deflation = 0;
};

// A stage ready for evaluation: its polynomials with the sign of an inverting output
// taken out, and their roots (AddRoots: the column's double evaluation works from the
// factors alone and takes the roots only for a point it evaluates again whole).
struct PreparedStage {
    std::array<long double, 4> num{}, den{};
    std::vector<Cx> zeros, poles;
    MonicFactors zeroFactors, poleFactors;
    // The zeros off the imaginary axis: a zero on it (a notch, a zero at the origin) adds
    // exactly 0 to the delay, so the column skips its term.
    std::array<Cx, 3> delayZeros{};
    int delayZeroCount = 0;
    long double leadAngle = 0; // arg of num_lead / den_lead: 0 or pi
    bool rootsReady = false;
};

// Degree of a polynomial: its highest nonzero coefficient.
inline int Degree(const std::array<long double, 4>& a) {
    for (int k = 3; k >= 0; --k)
        if (a[static_cast<std::size_t>(k)] != 0.0L) return k;
    return -1;
}

// ---- The reference: extended precision, point by point --------------------------------

void AddRoots(PreparedStage& p);
std::optional<PreparedStage> Prepare(const TDesign& d, int stage, int variant, bool roots);
std::optional<std::vector<PreparedStage>> PrepareRange(const TDesign& d, int variant, int first, int last,
                                                       bool roots = true);
// The cascade's gain at w > 0 as Evaluate takes it; nothing on a pole.
std::optional<long double> ExtendedGain(const std::vector<PreparedStage>& stages, long double w);
// The cascade at w from the roots, an arctangent per root (any stage, any w).
std::optional<FinalPoint> EvaluateByRoots(const std::vector<PreparedStage>& stages, long double w);
// The cascade at w in extended precision.
std::optional<FinalPoint> Evaluate(const std::vector<PreparedStage>& stages, long double w);
FinalReferenceSample Sample(long double fHz, long double w, const FinalPoint& p);

// ---- The column in double precision -------------------------------------------------
//
// The column is evaluated in double precision with a bound on the error of every value,
// and each value is stored only when every number within its bound rounds to the same
// 6-byte real (numeric/sure_rounding.h); a value in doubt is evaluated again in compensated
// arithmetic (below), and a point still in doubt by Evaluate above. The samples are then
// those of the extended evaluation rounded to the 6-byte real (but for the gains in dB
// the compensated evaluation settles, see there).
//
// The points are taken in blocks of kBlock, and every step is a loop over the block's
// points, one quantity at a time, written without branches so that it vectorises (each
// such function is built for 512-bit, 256-bit and 128-bit vectors and the one for the
// processor chosen when the program loads; the builds do the same operations in the same
// order, and the bounds hold for each).
//
// Frequencies are divided by ws = 2^scale, a power of two near the cascade's pole
// frequencies, so products of twenty factors stay well inside the double range; the
// division is exact, and the delay and the gain constant are scaled back by exact powers
// of two. Each stage contributes its monic factors (MonicFactors): per point and factor
//   F = (c0 - w^2) + j c1 w   (a quadratic; c1 = 0: a pair of zeros on the jw axis)
//   F = c0 + j w              (a linear factor),
// multiplied into a running product for the poles and one for the zeros. The product is
// turned back into the first quadrant by exact quarter turns after every factor and the
// turns counted, so one arctangent of the two products gives the phase. The delay is the
// sum of d(arg F)/dw = c1 (c0 + w^2) / |F|^2 (quadratic) or c0 / |F|^2 (linear), added
// as a running fraction (N, D) <- (N |F|^2 + a D, D |F|^2): positive terms, no division
// per factor.
//
// Error bounds, u = 2^-53 (relative, to first order; every bound is doubled at the end):
//  - c0 is held as c0h + c0l and w^2 as the exact square w2h + w2l (w itself as wh + wl),
//    so c0 - w^2 carries 2.01 u |c0 - w^2| + 7 u^2 (c0 + w^2) and no cancellation error;
//    c1 w carries 3.01 u (conversion of c1, of w, the product). The error of a quadratic
//    factor relative to |F| is then at most 4.3 u + 7 u^2 gamma with
//    gamma = max (c0 + w^2)/|F| = 1 + 2 Q; a linear factor's at most 1.5 u; a factor on
//    the axis 2.01 u + 7 u^2 (c0 + w^2)/|c0 - w^2|, whose ratio is summed per point (a
//    point too near a notch, ratio above 2^20, is evaluated again).
//  - A complex product adds sqrt(5) u (magnitude and argument), a real scaling u. The
//    relative error of |product| and the argument error of the product are both bounded
//    by the sum over its factors.
//  - Delay terms carry 14.04 u + 14 u^2 gamma (quadratic) or 5.01 u (linear); the running
//    fraction of n positive terms adds 3 u per step and the final division u.
//  - The column logarithm and arctangent (vector_math.h) are taken within kBatchUlps
//    (4) units of the last place, 8 u of their values.
//  - The extended evaluation is itself an approximation of the exact value: its error,
//    some units of 2^-64 times the same condition numbers (gamma of each factor, the
//    notch ratios, the deflation of a cubic), is added with a factor of 8, so the
//    interval holds both values.
// A factor's argument stays below pi - 2^-19 over the column (checked per design from
// c1 / wmax), so the quarter-turn count never meets the ambiguity at a full turn.

constexpr double kU = 0x1p-53;
constexpr double kSqrt5U = 2.2361 * kU;
constexpr double kSafety = 2.0;
constexpr double kExtendedU = 0x1p-61; // 8 units of 2^-64
constexpr double kNotchRatioLimit = 0x1p20;
constexpr double kDegreesD = 180.0 / std::numbers::pi;
constexpr int kBlock = 64; // points per block: the running state stays in the L1 cache
// A column function's error (numeric/vector_math.h), relative to its value.
constexpr double kLog = 2.0 * kBatchUlps * kU;
static_assert(kBlock <= 64 && kBlock % 8 == 0,
              "the points in doubt of a block are the bits of one 64-bit mask");

// A list of at most N entries held in place: the fast form of a cascade is built for
// every column, and its lists need no allocation. The entries past `count` are left
// unset (T is a plain aggregate), so that an empty list costs nothing to make.
// push_back reports a full list.
template <typename T, std::size_t N> struct FixedList {
    std::array<T, N> items;
    std::size_t count = 0;
    bool push_back(const T& v) {
        if (count == N) return false;
        items[count++] = v;
        return true;
    }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const T* begin() const { return items.data(); }
    const T* end() const { return items.data() + count; }
};
// Two factors per stage and side at most (a cubic's linear and quadratic ones).
constexpr std::size_t kMaxFactors = 2 * kMaxStages;

// Made with FastFactor{} (every field 0).
struct FastFactor {
    enum Kind : uint8_t { Quadratic, Linear, Axis };
    Kind kind;
    // c0 = c0h + c0l and c1 = c1 + c1l exactly (the extended constants split in two); a
    // linear factor's c0^2 as c2h + c2l, within 2^-104 of itself.
    double c0h, c0l, c1, c1l;
    double c2h, c2l;
};

struct FastCascade {
    FixedList<FastFactor, kMaxFactors> poles, zeros;
    int scale = 0;         // frequencies are divided by 2^scale
    double gain = 0;       // prod |num_lead / den_lead| * 2^(scale (zero degree - pole degree))
    double leadTurns = 0;  // quarter turns of the leading-coefficient signs (-2 per negative ratio)
    double poleArgErr = 0; // bound of the relative error of |pole product|, and of its argument
    double zeroArgErr = 0; // the same for the zeros, without the notch ratios
    double poleDelayErr = 0, zeroDelayErr = 0; // relative bounds of the two delay sums
    double condition = 0;                      // sum of the condition numbers the extended evaluation meets
    bool notches = false;
    // The stages' polynomials for the compensated gains (see CompensatedGains): the
    // coefficients of the frequencies divided by 2^scale, numerator and denominator of a
    // stage multiplied by the same power of two (the denominator's largest coefficient
    // brought near 1), each split exactly into two doubles. A point's squared magnitudes
    // must lie within [polyMin, polyMax], so that the products of a side stay within
    // 2^+-900. Not usable (polysOk false) when a coefficient leaves the double range.
    struct Poly { // made with Poly{} (every field 0)
        double h[4], l[4];
        bool cubic;
    };
    FixedList<Poly, kMaxStages> polys[2]; // denominators, numerators
    bool polysOk = false;
    double polyMin = 0, polyMax = 0;
    // The polynomials of degree 0, their squares multiplied out once (constH + constL per
    // side) and their number.
    double constH[2] = {1, 1}, constL[2] = {0, 0}, constCount = 0;
};

// The points of a column with values in doubt: for each its index in the column, its
// scaled w, the extended evaluation's share of the error and its notch ratio, and `vv`
// where its gain in V/V is in doubt as well as its gain in dB. One array per quantity,
// sized once for the column (at most one entry per point), so that adding a point is a
// few stores and a block of them loads as whole vectors.
struct PointList {
    std::vector<double> wh, ext, notch, vv;
    std::vector<int> index;
    std::size_t size = 0;
    void reset(std::size_t points) {
        const std::size_t capacity = points + 8; // and the padding (pad)
        if (wh.size() < capacity) {
            wh.resize(capacity);
            ext.resize(capacity);
            notch.resize(capacity);
            index.resize(capacity);
            vv.resize(capacity);
        }
        size = 0;
    }
    // Adds the point when `taken`: its entry is written either way (the storage has room
    // for one past the points), so that the choice needs no branch.
    void add(int k, double w, double e, double n, bool v, bool taken) {
        wh[size] = w;
        ext[size] = e;
        notch[size] = n;
        index[size] = k;
        vv[size] = v ? 1.0 : 0.0;
        size += taken ? 1 : 0;
    }
    // Repeats the first point up to a whole number of vectors of 8 entries, so that the
    // last block loads and runs in whole vectors (the repeated values are not used).
    void pad() {
        for (std::size_t j = size; j % 8 != 0 && size > 0; ++j) {
            wh[j] = wh[0];
            ext[j] = ext[0];
            notch[j] = notch[0];
            index[j] = index[0];
            vv[j] = vv[0];
        }
    }
};

// The fast form of the cascade for the column's scaled frequency range in `fc`; false
// when the column must be evaluated point by point (final_response_fast.cpp).
bool PrepareFast(const std::vector<PreparedStage>& stages, long double wmin, long double wmax,
                 FastCascade& fc);

// The least and the greatest positive finite frequency of a column (0 and 0 when none).
void FrequencyRange(const double* w, int n, double& wmin, double& wmax);

// The column in double-precision blocks: every certain value written to `out` with its
// point's flag in `done` set; the points with values in doubt added to `gains` (and to
// `left` where the stage polynomials cannot settle them) and `phases`.
void FastBlocks(const FastCascade& fc, const double* fHz, const double* w, int count, double wmin,
                std::vector<FinalFrequencySample>& out, std::vector<uint8_t>& done, PointList& gains,
                PointList& phases, std::vector<std::size_t>& left);

// The values in doubt settled in compensated arithmetic; a point they leave in doubt gets
// its flag in `done` cleared (final_response_compensated.cpp).
void CompensatedGains(const FastCascade& fc, const PointList& list, std::vector<FinalFrequencySample>& out,
                      std::vector<std::size_t>& left, std::vector<uint8_t>& done);
void CompensatedPhaseAndDelay(const FastCascade& fc, const PointList& list,
                              std::vector<FinalFrequencySample>& out, std::vector<uint8_t>& done);

} // namespace velmora::final_detail
