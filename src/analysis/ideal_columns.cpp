#include "analysis/ideal_columns.h"

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/frequency_response.h"
#include "analysis/ideal_filter.h"
#include "numeric/dispatch.h"
#include "numeric/double_double.h"
#include "numeric/sure_rounding.h"
#include "numeric/vector_math.h"

namespace velmora {

namespace {

// One rounding of double precision, the unit all error bounds below are counted in.
constexpr double kU = 0x1p-53;
// The bounds are first-order sums of the roundings each value goes through; doubling
// them covers the second-order terms and the rounding of the bounds themselves.
constexpr double kSafety = 2.0;
constexpr double kPiD = 3.14159265358979323846;
constexpr double kDegPerRadD = 180.0 / kPiD;

// Every factor's squared magnitude is kept within 2^-L .. 2^L after scaling, L = 880
// over the number of factors (at most 300), so that the products of all of them stay
// within 2^+-880: normal doubles whose low parts (some 2^-106 of them) are still normal,
// so that the relative error bounds hold. A point outside is evaluated in extended
// precision. The few factors of a low order leave room for columns far from the poles.
constexpr int kMaxFactors = 22;

// The gain is evaluated as a sum of two doubles (below): every factor's squared
// magnitude to about 2^-100 of itself, the products compensated. Its relative error, in
// units of u^2 = 2^-106: each factor at most 12 u^2 plus 4 u^2 times its condition
// (c + w^2) / |c - w^2| (the low parts of c and w^2 and their difference), each
// compensated product of up to 22 factors at most 8 n^2 u^2 (the running low part stays
// below 5 n u of the product and is rounded once per factor), the quotient, the
// constant and the square root some 20 u^2. kMagnitudeFixed covers all but the condition
// terms with room to spare; those are bounded per point.
constexpr double kU2 = 0x1p-106;
constexpr double kMagnitudeFixed = 8192.0 * kU2;

// A denominator section in scaled units (frequencies divided by the power of two
// `scale`). The magnitude is taken from the section table (s^2 + Bm s + Cm), the phase
// and the delay from its poles as the point evaluations take them: a conjugate pair
// -sigma +/- j omega gives (sigma^2 + omega^2) - w^2 + j 2 sigma w, two real poles
// sigma1, sigma2 give sigma1 sigma2 - w^2 + j (sigma1 + sigma2) w, the same product of
// the pole factors written as one. Cm and Bm are exact; Cp carries the one extended
// rounding of its sum of squares (or product), 3 * 2^-64 of itself.
struct FastSection {
    DoubleDouble Cm, Cp, Bm;
    double Bp = 0;
};

struct FastZero {
    DoubleDouble Wz2; // scaled
    DoubleDouble Wz;  // unscaled, compared with w exactly as the point evaluation does
};

struct FastFilter {
    bool Usable = false;
    double Scale = 1, InvScale = 1;
    DoubleDouble K; // |g G| times the normalisations, in scaled units, exactly
    std::vector<FastSection> Sections;
    std::vector<double> RealPoles;        // sigma, scaled
    std::vector<DoubleDouble> RealPoles2; // sigma^2 as the extended evaluation rounds it, scaled
    std::vector<FastZero> Zeros;
    bool OriginZero = false;
    double FactorMin = 1, FactorMax = 1; // the range of a factor's squared magnitude
};

// The factors of `f` scaled by a power of two near the geometric middle of the column,
// so that a factor's squared magnitude is near 1 there. Unusable (everything evaluated in
// extended precision) for poles in the right half-plane, whose phase turns backwards,
// for more factors than the products can hold, and for constants out of range.
FastFilter MakeFastFilter(const IdealFilter& f, long double G, long double wLo, long double wHi) {
    FastFilter ff;
    const int factors = static_cast<int>(f.Sections.size() + f.ZeroPairs.size() + f.RealPoles.size()) +
                        (f.OriginZero ? 1 : 0);
    if (factors > kMaxFactors || !(wHi > 0)) return ff;
    const int limit = std::min(300, 880 / std::max(factors, 1));
    ff.FactorMin = std::ldexp(1.0, -limit);
    ff.FactorMax = std::ldexp(1.0, limit);
    const long double mid = wLo > 0 ? std::sqrt(wLo * wHi) : wHi;
    int e = 0;
    std::frexp(mid, &e);
    ff.Scale = std::ldexp(1.0, e);
    ff.InvScale = std::ldexp(1.0, -e);
    const long double s = ff.Scale, s2 = s * s;
    const auto inRange = [](long double x) {
        return x == 0 || (std::fabs(x) >= 0x1p-900L && std::fabs(x) <= 0x1p900L);
    };

    // The constant as the extended magnitude forms it (the same products in the same
    // order), so that both evaluate the same number.
    long double k = std::fabs(f.Gain * G);
    int powers = 0; // of the scale carried into k
    for (const auto& sec : f.Sections) {
        if (sec.RealPoles ? !(sec.Sigma1 >= 0 && sec.Sigma2 >= 0) : !(sec.Sigma >= 0)) return ff;
        if (!inRange(sec.C / s2) || !inRange(sec.B / s)) return ff;
        FastSection fs;
        fs.Cm = SplitExtended(sec.C / s2);
        fs.Bm = SplitExtended(sec.B / s);
        if (sec.RealPoles) {
            fs.Cp = SplitExtended(sec.Sigma1 * sec.Sigma2 / s2);
            fs.Bp = static_cast<double>((sec.Sigma1 + sec.Sigma2) / s);
        } else {
            fs.Cp = SplitExtended((sec.Sigma * sec.Sigma + sec.Omega * sec.Omega) / s2);
            fs.Bp = static_cast<double>(2 * sec.Sigma / s);
        }
        ff.Sections.push_back(fs);
        k *= sec.Norm;
        powers -= 2;
    }
    for (const auto& p : f.RealPoles) {
        if (!(p.Sigma >= 0)) return ff;
        const long double sigma2 = p.Sigma * p.Sigma;
        if (!inRange(sigma2 / s2)) return ff;
        ff.RealPoles.push_back(static_cast<double>(p.Sigma / s));
        ff.RealPoles2.push_back(SplitExtended(sigma2 / s2));
        k *= p.Norm;
        powers -= 1;
    }
    for (const auto& z : f.ZeroPairs) {
        if (!inRange(z.Wz2 / s2)) return ff;
        ff.Zeros.push_back({SplitExtended(z.Wz2 / s2), SplitExtended(z.Wz)});
        powers += 2;
    }
    if (f.OriginZero) powers += 1;
    ff.OriginZero = f.OriginZero;
    k = std::ldexp(k, powers * e);
    if (!(k >= 0x1p-400L && k <= 0x1p400L)) return ff;
    ff.K = SplitExtended(k);
    ff.Usable = true;
    return ff;
}

// The running sums and products of every point of the column, one array per quantity,
// so that each factor is applied to all points in one loop the compiler vectorises.
// The quadrant, the quarter turns and the flags are small whole numbers held in doubles
// for the same reason.
struct ColumnState {
    static constexpr int N = kResponsePoints;
    alignas(64) double W[N], Wp[N], W2Hi[N], W2Lo[N];
    // Products of the squared magnitudes, each as a sum of two doubles.
    alignas(64) double MagDHi[N], MagDLo[N], MagNHi[N], MagNLo[N];
    alignas(64) double Condition[N]; // sum of the factors' (c + w^2) / |c - w^2| bounds
    alignas(64) double Ar[N], Ai[N]; // running product of the phase factors
    alignas(64) double Quadrant[N], QuarterTurns[N];
    alignas(64) double NearAxis[N], OutOfRange[N];
    alignas(64) double SumX[N]; // sum over the sections of ((C + w^2) / |D|)^2
    alignas(64) double Tau[N];  // delay, scaled
    alignas(64) double ZerosBelow[N];
    // The finished values and their error bounds (NaN: not evaluated here), the certain
    // 6-byte values and whether they are certain.
    alignas(64) double G2Hi[N], G2Lo[N], Rel2[N],
        VVLo[N];                       // |T|^2 and its relative error bound, |T|'s low part
    alignas(64) double Lg[N], Base[N]; // ln of G2Hi, the arctangent of the product
    alignas(64) double VV[N], VVErr[N], Db[N], DbErr[N], Phase[N], PhaseErr[N], Delay[N], DelayErr[N];
    alignas(64) double DbFloor[N]; // 1: the gain is surely at or below the -400 dB floor
    alignas(64) double OutVV[N], OutDb[N], OutPhase[N], OutDelay[N];
    alignas(64) double SureVV[N], SureDb[N], SurePhase[N], SureDelay[N];
};

// Multiplies the phase factor re + j im into the running product of a point and counts
// the quarter turns from the quadrant after it. A factor turns the product by 0 to 180
// degrees, so the quadrant advances by 0, 1 or 2; a difference of 3 is a product read on
// an axis one way and then the other (-1). Far from both axes the quadrant read is the
// true one: the product's relative error stays far below 1e-9 (the phase bound is
// checked at the end). Written without branches (comparisons as 0 or 1) so that the
// loops over the points vectorise.
struct PhaseArrays {
    double* __restrict Ar;
    double* __restrict Ai;
    double* __restrict Quadrant;
    double* __restrict QuarterTurns;
    double* __restrict NearAxis;
};

inline void Accumulate(const PhaseArrays& p, int i, double re, double im) {
    const double ar = p.Ar[i], ai = p.Ai[i];
    const double nr = ar * re - ai * im;
    const double ni = ar * im + ai * re;
    p.Ar[i] = nr;
    p.Ai[i] = ni;
    const double mr = std::fabs(nr), mi = std::fabs(ni);
    p.NearAxis[i] += ((mr <= 1e-9 * mi) | (mi <= 1e-9 * mr)) ? 1.0 : 0.0;
    const double upper = nr > 0 ? 0.0 : 1.0; // quadrant 0 or 1
    const double lower = nr < 0 ? 2.0 : 3.0; // quadrant 2 or 3
    const double q = ni < 0 ? lower : upper;
    double advance = q - p.Quadrant[i];
    advance += advance < -1.5 ? 4.0 : 0.0;
    advance -= advance > 2.5 ? 4.0 : 0.0;
    p.QuarterTurns[i] += advance;
    p.Quadrant[i] = q;
}

// 1 for a squared magnitude outside the range the products can hold (or a NaN), else 0.
inline double OutOfRange(double m, double lo, double hi) {
    return (!(m >= lo) | !(m <= hi)) ? 1.0 : 0.0;
}

// The column's scaled frequencies, their exact squares and the starting values of every
// sum and product, from the frequencies in c.W.
[[gnu::always_inline]] inline void StartColumnBody(const FastFilter& ff, ColumnState& c) {
    constexpr int n = ColumnState::N;
    const double invScale = ff.InvScale;
    for (int i = 0; i < n; ++i) {
        const double w = c.W[i];
        const double wp = w * invScale; // exact: a power of two
        const double w2 = wp * wp;
        c.Wp[i] = wp;
        c.W2Hi[i] = w2;
        c.W2Lo[i] = std::fma(wp, wp, -w2); // the square exactly as w2 + this
        c.MagDHi[i] = c.MagNHi[i] = c.Ar[i] = 1;
        c.MagDLo[i] = c.MagNLo[i] = c.Condition[i] = 0;
        c.Ai[i] = c.Quadrant[i] = c.QuarterTurns[i] = c.NearAxis[i] = c.SumX[i] = c.Tau[i] = c.ZerosBelow[i] =
            0;
        c.OutOfRange[i] = ((w > 0) & (w2 >= ff.FactorMin) & (w2 <= ff.FactorMax)) ? 0 : 1;
    }
}
VELMORA_VECTOR_KERNEL(void, StartColumn, StartColumnBody, (const FastFilter& ff, ColumnState& c), (ff, c))

// Built for the vector units of the processor (numeric/dispatch.h). The phase
// and delay sums use no fused operations, so every build gives them alike; the
// magnitude's fused products are exact in each.
inline __attribute__((always_inline)) void ApplyFactorsBody(const FastFilter& ff, ColumnState& c) {
    constexpr int n = ColumnState::N;
    const double* __restrict w = c.W;
    const double* __restrict wp = c.Wp;
    const double* __restrict w2Hi = c.W2Hi;
    const double* __restrict w2Lo = c.W2Lo;
    double* __restrict magDHi = c.MagDHi;
    double* __restrict magDLo = c.MagDLo;
    double* __restrict magNHi = c.MagNHi;
    double* __restrict magNLo = c.MagNLo;
    double* __restrict condition = c.Condition;
    double* __restrict out = c.OutOfRange;
    const double lo = ff.FactorMin, hi = ff.FactorMax;
    double* __restrict sumX = c.SumX;
    double* __restrict tau = c.Tau;
    double* __restrict below = c.ZerosBelow;
    const PhaseArrays p{c.Ar, c.Ai, c.Quadrant, c.QuarterTurns, c.NearAxis};
    for (const FastSection& s : ff.Sections) {
        const DoubleDouble cm = s.Cm, cp = s.Cp, bm = s.Bm;
        const double bp = s.Bp;
        for (int i = 0; i < n; ++i) {
            // |Dm|^2 = (Cm - w^2)^2 + (Bm w)^2 as a sum of two doubles.
            double rh = 0, re1 = 0;
            TwoSum(cm.Hi, -w2Hi[i], rh, re1);
            const double rl = re1 + (cm.Lo - w2Lo[i]);
            const double ih = bm.Hi * wp[i];
            const double il = std::fma(bm.Hi, wp[i], -ih) + bm.Lo * wp[i];
            double r2h = 0, r2l = 0, i2h = 0, i2l = 0;
            SquareOfSum(rh, rl, r2h, r2l);
            SquareOfSum(ih, il, i2h, i2l);
            double dh = 0, de = 0;
            TwoSum(r2h, i2h, dh, de);
            const double dl = de + (r2l + i2l);
            out[i] += OutOfRange(dh, lo, hi);
            MultiplyInto(magDHi[i], magDLo[i], dh, dl);
            // The pole form: phase, delay and the sections' conditions.
            const double rp = (cp.Hi - w2Hi[i]) + (cp.Lo - w2Lo[i]), ip = bp * wp[i];
            const double d2p = rp * rp + ip * ip;
            out[i] += OutOfRange(d2p, lo, hi);
            const double inv = 1.0 / d2p;
            const double cw = cp.Hi + w2Hi[i];
            sumX[i] += cw * cw * inv;
            tau[i] += bp * cw * inv;
            Accumulate(p, i, rp, ip);
        }
    }
    for (std::size_t k = 0; k < ff.RealPoles.size(); ++k) {
        const double sigma = ff.RealPoles[k];
        const DoubleDouble s2 = ff.RealPoles2[k];
        for (int i = 0; i < n; ++i) {
            // w^2 + sigma^2: both positive, no cancellation.
            double dh = 0, de = 0;
            TwoSum(s2.Hi, w2Hi[i], dh, de);
            const double dl = de + (s2.Lo + w2Lo[i]);
            const double d2 = sigma * sigma + w2Hi[i];
            out[i] += OutOfRange(dh, lo, hi);
            MultiplyInto(magDHi[i], magDLo[i], dh, dl);
            tau[i] += sigma / d2;
            Accumulate(p, i, sigma, wp[i]);
        }
    }
    for (const FastZero& z : ff.Zeros) {
        const DoubleDouble wz2 = z.Wz2, wz = z.Wz;
        const bool loNegative = wz.Lo < 0;
        for (int i = 0; i < n; ++i) {
            double zh = 0, ze = 0;
            TwoSum(wz2.Hi, -w2Hi[i], zh, ze);
            const double zl = ze + (wz2.Lo - w2Lo[i]);
            double z2h = 0, z2l = 0;
            SquareOfSum(zh, zl, z2h, z2l);
            out[i] += OutOfRange(z2h, lo, hi);
            MultiplyInto(magNHi[i], magNLo[i], z2h, z2l);
            // The factor's condition (wz^2 + w^2) / |wz^2 - w^2|, twice over for the
            // rounding of this bound itself.
            condition[i] += 2.0 * (wz2.Hi + w2Hi[i]) / std::fabs(zh);
            // wz < w, with wz = Hi + Lo exactly and w a double: the comparison the
            // extended evaluation makes.
            below[i] += ((w[i] > wz.Hi) | ((w[i] == wz.Hi) & loNegative)) ? 1.0 : 0.0;
        }
    }
    if (ff.OriginZero)
        for (int i = 0; i < n; ++i)
            MultiplyInto(magNHi[i], magNLo[i], w2Hi[i], w2Lo[i]);
}

VELMORA_VECTOR_KERNEL(void, ApplyFactorsLoop, ApplyFactorsBody, (const FastFilter& ff, ColumnState& c),
                      (ff, c))
void ApplyFactors(const FastFilter& ff, ColumnState& c) {
    ApplyFactorsLoop(ff, c);
}

// The values of every point with their error bounds, in loops over the whole column: the
// gain as a sum of two doubles, its logarithm, the arctangent of the running product, the
// phase and the delay. A bound is NaN where the value is not evaluated here (the point
// is out of range or too near an axis), which the certainty test refuses.
inline __attribute__((always_inline)) void FinishColumnBody(const FastFilter& ff, ColumnState& c) {
    constexpr int n = ColumnState::N;
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double sections = static_cast<double>(ff.Sections.size());
    const double nSections = sections;
    const double nReal = static_cast<double>(ff.RealPoles.size());
    const double kh = ff.K.Hi, kl = ff.K.Lo;
    for (int i = 0; i < n; ++i) {
        // q = N / D: the quotient of the high parts, its remainder exactly, the low parts.
        const double dh = c.MagDHi[i], dl = c.MagDLo[i], nh = c.MagNHi[i], nl = c.MagNLo[i];
        const double qh = nh / dh;
        const double r = std::fma(-qh, dh, nh);
        const double ql = (r + nl - qh * dl) / dh;
        // |T| = K sqrt(q): the root of the high part and its correction, times K.
        const double sh = std::sqrt(qh);
        const double sl = (std::fma(-sh, sh, qh) + ql) / (2.0 * sh);
        const double th = kh * sh;
        const double tl = std::fma(kh, sh, -th) + (kh * sl + kl * sh);
        // |T|^2 = K^2 q for the logarithm.
        const double k2h = kh * kh, k2l = std::fma(kh, kh, -k2h) + 2.0 * kh * kl;
        const double gh = k2h * qh;
        const double gl = std::fma(k2h, qh, -gh) + (k2h * ql + k2l * qh);
        c.VV[i] = th;
        c.VVLo[i] = tl;
        // The quotient of two products within 2^+-880 can leave the range where its low
        // part is a normal double; such a point is evaluated in extended precision.
        c.OutOfRange[i] += ((qh >= 0x1p-960) & (qh <= 0x1p960)) ? 0.0 : 1.0;
        c.G2Hi[i] = gh;
        c.G2Lo[i] = gl;
        // The relative error of |T|^2: the fixed part and the condition terms, the
        // sections' from the pole form's sum of squares (at most sqrt(n sum) for the sum
        // of the terms; four times over for the two forms of a section and the rounding
        // of the bound), the zeros' as summed.
        c.Rel2[i] = kMagnitudeFixed + 4.0 * kU2 * (4.0 * std::sqrt(sections * c.SumX[i]) + c.Condition[i]);
    }
    BatchLog(c.G2Hi, c.Lg, n);
    BatchAtan2(c.Ai, c.Ar, c.Base, n);
    constexpr double kDb = 4.342944819032518;        // 10 / ln 10, rounded
    constexpr double kDbLo = -1.122126399033548e-16; // the rest of 10 / ln 10, to 2^-106 of it
    constexpr double kFloorVV = 1.0e-20;
    constexpr double kTwoPi = 2 * kPiD;
    const double origin = ff.OriginZero ? kPiD / 2 : 0.0;
    for (int i = 0; i < n; ++i) {
        const double th = c.VV[i], tl = c.VVLo[i], rel2 = c.Rel2[i];
        const bool valid = (c.OutOfRange[i] == 0) & (th > 0) & (th < 0x1p1000);
        // The magnitude: half the relative error of its square, the root's and the
        // constant's roundings (some u^2), doubled; the low part as an error.
        const double vvErr = std::fabs(tl) + th * (rel2 + 64.0 * kU2);
        c.VVErr[i] = valid ? vvErr : kNaN;

        // The -400 dB floor applies at or below 1e-20 V/V; the constant 1e-20 of the
        // extended evaluation and its double neighbour differ by far less than the margin.
        const double floorMargin = vvErr + kFloorVV * 0x1p-50;
        const bool below = th + floorMargin <= kFloorVV;
        const bool above = th - floorMargin > kFloorVV;
        c.DbFloor[i] = (valid & below) ? 1.0 : 0.0;
        // ln |T|^2 = ln gh + ln(1 + gl / gh); the second is gl / gh within half its
        // square (|gl| is some units of gh). The logarithm is within kBatchUlps units of its result,
        // a unit being at most 2u of it; the quotient and the sum one unit each; the
        // relative error of |T|^2 is an absolute one of the logarithm (to 1 %).
        const double ln = c.Lg[i];
        const double ratio = c.G2Lo[i] / c.G2Hi[i];
        const double lnT2 = ln + ratio;
        const double db = kDb * lnT2 + kDbLo * lnT2;
        const double lnErr = 2.0 * kBatchUlps * kU * std::fabs(ln) + kU * std::fabs(ratio) +
                             0.5 * ratio * ratio + kU * std::fabs(lnT2) + 1.01 * rel2;
        const double dbErr = kSafety * (kDb * lnErr + 3.0 * kU * std::fabs(db));
        c.Db[i] = db;
        c.DbErr[i] = (valid & above) ? dbErr : kNaN;

        // Phase lag. Each factor's argument is off by at most 4 units (its parts' errors
        // over its magnitude, plus the tiny term), each product by 3 more; the arctangent
        // adds kBatchUlps units of its value (at most pi, a unit at most 2u of it), the
        // whole turns and the zero and origin corrections one unit of 2 pi or pi each,
        // the sums and the conversion to degrees 4 units of the result.
        // The second-order and extended-rounding terms of the differences, in units of
        // u: 2u (c + w^2)/|D| for the parts' low halves and 3 * 2^-11 (c + w^2)/|D| for
        // the extended rounding of Cp, summed over the sections: at most
        // sqrt(n sum ((c + w^2)/|D|)^2) times 0.01.
        const double tiny = 0.01 * std::sqrt(sections * c.SumX[i]);
        const double qt = c.QuarterTurns[i];
        const double q = qt - 4.0 * std::floor(qt * 0.25);
        double base = c.Base[i];
        base += base < 0 ? kTwoPi : 0.0;
        base -= ((q == 0) & (base > 1.5 * kPiD)) ? kTwoPi : 0.0;
        base += ((q == 3) & (base < 0.5 * kPiD)) ? kTwoPi : 0.0;
        const double turns = (qt - q) * 0.25;
        const double zerosBelow = c.ZerosBelow[i];
        double phi = base + kTwoPi * turns - kPiD * zerosBelow;
        phi -= origin;
        const double errGeneral = (tiny + 7.0 * nSections + 5.0 * nReal + 2.0 * kBatchUlps * kPiD +
                                   kTwoPi * (std::fabs(turns) + zerosBelow + 1)) *
                                      kU * kSafety +
                                  4 * kU * kSafety * std::fabs(phi);
        // A small lag (below 0.1 rad, no turn, no zero below w, none at the origin): every
        // factor and every partial product then lies within 0.1 rad of the positive real
        // axis, where the real parts do not cancel and the errors of both parts stay
        // relative to themselves: each factor's parts are off by at most 2.01 (2 + its
        // tiny term) and 2 units, each product adds 2.02 units, growing by at most 2 %
        // per product (1.6 over 22), and the arctangent adds its own relative error. The
        // bound is then relative to the lag instead of a fixed number of radians.
        const bool small = (qt == 0) & (zerosBelow == 0) & (origin == 0) & (base >= 0) & (base < 0.1);
        const double errSmall =
            ((1.6 * (10.0 * nSections + 5.0 * nReal + 2.1 * tiny) + 2.0 * kBatchUlps + 2) * kU * kSafety) *
            base;
        const double errRad = small ? errSmall : errGeneral;
        // The quadrants were read right if the product stayed further from the axes than
        // its error.
        const bool phaseValid = valid & (c.NearAxis[i] == 0) & (errRad < 1e-10);
        const double phase = phi * kDegPerRadD;
        c.Phase[i] = phase;
        c.PhaseErr[i] = phaseValid ? errRad * kDegPerRadD + 2 * kU * std::fabs(phase) : kNaN;

        // Delay: a section's term Bp (Cp + w^2) / |D|^2 carries 11 units from |D|^2, 2
        // from the sum, 1 from Bp and 3 from the products and the quotient (plus the tiny
        // term), a real pole's 6; the terms are positive, so the sum's relative error is
        // at most the largest term's plus one unit per addition.
        const double delay = c.Tau[i] * ff.InvScale;
        c.Delay[i] = delay;
        c.DelayErr[i] = valid ? std::fabs(delay) * (17 + 2 * tiny + nSections + nReal) * kU * kSafety : kNaN;
    }
}

VELMORA_VECTOR_KERNEL(void, FinishColumnLoop, FinishColumnBody, (const FastFilter& ff, ColumnState& c),
                      (ff, c))
void FinishColumn(const FastFilter& ff, ColumnState& c) {
    FinishColumnLoop(ff, c);
    constexpr int n = ColumnState::N;
    SureReal48Column(c.VV, c.VVErr, c.OutVV, c.SureVV, n);
    SureReal48Column(c.Db, c.DbErr, c.OutDb, c.SureDb, n);
    SureReal48Column(c.Phase, c.PhaseErr, c.OutPhase, c.SurePhase, n);
    SureReal48Column(c.Delay, c.DelayErr, c.OutDelay, c.SureDelay, n);
}

} // namespace

IdealColumnCount IdealFrequencyColumns(TDesign& d, int approx) {
    if (approx < 0 || approx >= kApproxCount) return {};
    return IdealFrequencyColumns(d, approx, IdealFilterOf(d, approx));
}

IdealColumnCount IdealFrequencyColumns(TDesign& d, int approx, const IdealFilter& f) {
    IdealColumnCount count;
    if (approx < 0 || approx >= kApproxCount) return count;
    const long double G = d.Spec.OverallGain;
    const FastFilter ff = MakeFastFilter(f, G, d.FreqColumn[0].W, d.FreqColumn[kResponseIntervals].W);
    constexpr int n = ColumnState::N;
    static thread_local ColumnState c; // some 70 kB of scratch, kept off the stack
    if (ff.Usable) {
        for (int i = 0; i < n; ++i)
            c.W[i] = d.FreqColumn[i].W.exactDouble(); // exact: 40 bits
        StartColumn(ff, c);
        ApplyFactors(ff, c);
        FinishColumn(ff, c);
    }
    const MagnitudeFactors factors = MagnitudeFactorsOf(f, G); // the extended magnitude's
    for (int i = 0; i < n; ++i) {
        IdealSample& s = d.Approx[approx].Ideal[i];
        const bool usable = ff.Usable;
        if (usable && c.SureVV[i] != 0 && (c.SureDb[i] != 0 || c.DbFloor[i] != 0) && c.SurePhase[i] != 0 &&
            c.SureDelay[i] != 0) {
            s.GainVV.setExact(c.OutVV[i]);
            s.GainDb.setExact(c.DbFloor[i] != 0 ? static_cast<double>(kGainFloorDb) : c.OutDb[i]);
            s.Phase.setExact(c.OutPhase[i]);
            s.Delay.setExact(c.OutDelay[i]);
            count.Values += 4;
            continue;
        }
        // Some value of the point is in doubt: that value in extended precision.
        const long double w = d.FreqColumn[i].W;
        long double extendedVV = -1; // computed once when a gain value needs it
        const auto magnitude = [&] {
            if (extendedVV < 0) extendedVV = MagnitudeAt(factors, w);
            return extendedVV;
        };
        int sure = 0;
        if (usable && c.SureVV[i] != 0) {
            s.GainVV.setExact(c.OutVV[i]);
            ++sure;
        } else {
            s.GainVV = magnitude();
            ++count.RefusedVV;
        }
        if (usable && c.DbFloor[i] != 0) {
            s.GainDb = kGainFloorDb;
            ++sure;
        } else if (usable && c.SureDb[i] != 0) {
            s.GainDb.setExact(c.OutDb[i]);
            ++sure;
        } else {
            s.GainDb = StoredGainDb(magnitude());
            ++count.RefusedDb;
        }
        if (usable && c.SurePhase[i] != 0) {
            s.Phase.setExact(c.OutPhase[i]);
            ++sure;
        } else {
            s.Phase = IdealPhaseLag(f, w);
            ++count.RefusedPhase;
        }
        if (usable && c.SureDelay[i] != 0) {
            s.Delay.setExact(c.OutDelay[i]);
            ++sure;
        } else {
            s.Delay = IdealGroupDelay(f, w);
            ++count.RefusedDelay;
        }
        count.Values += 4;
        count.Refused += 4 - sure;
    }
    return count;
}

void IdealFrequencyColumnsExtended(TDesign& d, int approx) {
    if (approx < 0 || approx >= kApproxCount) return;
    const IdealFilter f = IdealFilterOf(d, approx);
    const long double G = d.Spec.OverallGain;
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const long double w = d.FreqColumn[i].W;
        IdealSample& s = d.Approx[approx].Ideal[i];
        const long double t = IdealMagnitude(f, G, w);
        s.GainVV = t;
        s.GainDb = GainToDb(t);
        s.Phase = IdealPhaseLag(f, w);
        s.Delay = IdealGroupDelay(f, w);
    }
}

} // namespace velmora
