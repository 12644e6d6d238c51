#include "analysis/ideal_columns.h"

#include <cmath>
#include <vector>

#include "analysis/double_double.h"
#include "analysis/frequency_response.h"
#include "analysis/ideal_filter.h"
#include "model/sure_rounding.h"

namespace velmora {

namespace {

// One rounding of double precision, the unit all error bounds below are counted in.
constexpr double kU = 0x1p-53;
// The bounds are first-order sums of the roundings each value goes through; doubling
// them covers the second-order terms and the rounding of the bounds themselves.
constexpr double kSafety = 2.0;
constexpr double kPiD = 3.14159265358979323846;
constexpr double kDegPerRadD = 180.0 / kPiD;
constexpr double kLn10D = 2.30258509299404568402;

// Every factor's squared magnitude is kept within 2^-45 .. 2^45 after scaling, so that
// the products of at most kMaxFactors of them stay normal doubles (22 * 45 < 1022) and
// the relative error bounds hold; a point outside is evaluated in extended precision.
constexpr double kFactorMin = 0x1p-45, kFactorMax = 0x1p45;
constexpr int kMaxFactors = 22;

// c - w^2 for c and w^2 given as exact sums: near w^2 = c the high parts cancel exactly
// (their difference is exact when they are within a factor 2 of each other), so the
// result is off by at most 2 units of itself plus 2 units of (c + w^2) squared, which
// is where the cancellation of a plain c - w*w loses its digits.
inline double Difference(const DoubleDouble& c, const DoubleDouble& w2) {
    return (c.Hi - w2.Hi) + (c.Lo - w2.Lo);
}

// A denominator section in scaled units (frequencies divided by the power of two
// `scale`). The magnitude is taken from the section table (s^2 + Bm s + Cm), the phase
// and the delay from its poles as the point evaluations take them: a conjugate pair
// -sigma +/- j omega gives (sigma^2 + omega^2) - w^2 + j 2 sigma w, two real poles
// sigma1, sigma2 give sigma1 sigma2 - w^2 + j (sigma1 + sigma2) w, the same product of
// the pole factors written as one. Cm is exact; Cp carries the one extended rounding of
// its sum of squares (or product), 3 * 2^-64 of itself.
struct FastSection {
    DoubleDouble Cm, Cp;
    double Bm = 0, Bp = 0;
};

struct FastZero {
    DoubleDouble Wz2; // scaled
    DoubleDouble Wz;  // unscaled, compared with w exactly as the point evaluation does
};

struct FastFilter {
    bool Usable = false;
    double Scale = 1, InvScale = 1;
    double K = 0; // |g G| times the normalisations, in scaled units
    std::vector<FastSection> Sections;
    std::vector<double> RealPoles; // sigma, scaled
    std::vector<FastZero> Zeros;
    bool OriginZero = false;
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
    const long double mid = wLo > 0 ? std::sqrt(wLo * wHi) : wHi;
    int e = 0;
    std::frexp(mid, &e);
    ff.Scale = std::ldexp(1.0, e);
    ff.InvScale = std::ldexp(1.0, -e);
    const long double s = ff.Scale, s2 = s * s;

    long double k = std::fabs(f.Gain * G);
    int powers = 0; // of the scale carried into k
    for (const auto& sec : f.Sections) {
        if (sec.RealPoles ? !(sec.Sigma1 >= 0 && sec.Sigma2 >= 0) : !(sec.Sigma >= 0)) return ff;
        FastSection fs;
        fs.Cm = SplitExtended(sec.C / s2);
        fs.Bm = static_cast<double>(sec.B / s);
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
        ff.RealPoles.push_back(static_cast<double>(p.Sigma / s));
        k *= p.Norm;
        powers -= 1;
    }
    for (const auto& z : f.ZeroPairs) {
        ff.Zeros.push_back({SplitExtended(z.Wz2 / s2), SplitExtended(z.Wz)});
        powers += 2;
    }
    if (f.OriginZero) powers += 1;
    ff.OriginZero = f.OriginZero;
    k = std::ldexp(k, powers * e);
    if (!(k >= 0x1p-900L && k <= 0x1p900L)) return ff;
    ff.K = static_cast<double>(k);
    ff.Usable = true;
    return ff;
}

// A point in double precision: each value with its error bound, and whether the phase
// could be counted at all (the running product never came near an axis, where a
// quadrant could be misread).
struct FastPoint {
    bool Valid = false;
    double GainVV = 0, GainVVErr = 0;
    bool DbFloor = false; // the magnitude is surely at or below the -400 dB floor
    bool DbSure = false;  // the floor decision is certain
    double GainDb = 0, GainDbErr = 0;
    bool PhaseValid = false;
    double Phase = 0, PhaseErr = 0;
    double Delay = 0, DelayErr = 0;
};

// The running sums and products of every point of the column, one array per quantity,
// so that each factor is applied to all points in one loop the compiler vectorises.
// The quadrant, the quarter turns and the flags are small whole numbers held in doubles
// for the same reason.
struct ColumnState {
    static constexpr int N = kResponsePoints;
    alignas(64) double W[N], Wp[N], W2Hi[N], W2Lo[N];
    alignas(64) double MagD[N], MagN[N]; // products of the squared magnitudes
    alignas(64) double Ar[N], Ai[N];     // running product of the phase factors
    alignas(64) double Quadrant[N], QuarterTurns[N];
    alignas(64) double NearAxis[N], OutOfRange[N];
    alignas(64) double SumX[N];          // sum over the sections of ((C + w^2) / |D|)^2
    alignas(64) double Tau[N];           // delay, scaled
    alignas(64) double ZerosBelow[N];
    // Taken for every point before the points are finished one by one: the magnitude,
    // the bounds' correction term, the logarithm of the magnitude and the arctangent of
    // the running product (loops of one operation each vectorise or pipeline).
    alignas(64) double T[N], Tiny[N], Lg[N], Base[N];
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
inline double OutOfRange(double m) {
    return (!(m >= kFactorMin) | !(m <= kFactorMax)) ? 1.0 : 0.0;
}

// Built twice, for processors with 256-bit vectors and for any x86-64, and chosen when
// the program loads; both builds do the same operations in the same order (no fused
// multiply-add), so they give the same values.
__attribute__((target_clones("avx2", "default"))) void ApplyFactors(const FastFilter& ff, ColumnState& c) {
    constexpr int n = ColumnState::N;
    const double* __restrict w = c.W;
    const double* __restrict wp = c.Wp;
    const double* __restrict w2Hi = c.W2Hi;
    const double* __restrict w2Lo = c.W2Lo;
    double* __restrict magD = c.MagD;
    double* __restrict magN = c.MagN;
    double* __restrict out = c.OutOfRange;
    double* __restrict sumX = c.SumX;
    double* __restrict tau = c.Tau;
    double* __restrict below = c.ZerosBelow;
    const PhaseArrays p{c.Ar, c.Ai, c.Quadrant, c.QuarterTurns, c.NearAxis};
    for (const FastSection& s : ff.Sections) {
        const DoubleDouble cm = s.Cm, cp = s.Cp;
        const double bm = s.Bm, bp = s.Bp;
        for (int i = 0; i < n; ++i) {
            const double re = (cm.Hi - w2Hi[i]) + (cm.Lo - w2Lo[i]), im = bm * wp[i];
            const double d2 = re * re + im * im;
            const double rp = (cp.Hi - w2Hi[i]) + (cp.Lo - w2Lo[i]), ip = bp * wp[i];
            const double d2p = rp * rp + ip * ip;
            out[i] += OutOfRange(d2) + OutOfRange(d2p);
            magD[i] *= d2;
            const double inv = 1.0 / d2p;
            const double cw = cp.Hi + w2Hi[i];
            sumX[i] += cw * cw * inv;
            tau[i] += bp * cw * inv;
            Accumulate(p, i, rp, ip);
        }
    }
    for (const double sigma : ff.RealPoles) {
        for (int i = 0; i < n; ++i) {
            const double d2 = sigma * sigma + w2Hi[i];
            out[i] += OutOfRange(d2);
            magD[i] *= d2;
            tau[i] += sigma / d2;
            Accumulate(p, i, sigma, wp[i]);
        }
    }
    for (const FastZero& z : ff.Zeros) {
        const DoubleDouble wz2 = z.Wz2, wz = z.Wz;
        const bool loNegative = wz.Lo < 0;
        for (int i = 0; i < n; ++i) {
            const double diff = (wz2.Hi - w2Hi[i]) + (wz2.Lo - w2Lo[i]);
            const double z2 = diff * diff;
            out[i] += OutOfRange(z2);
            magN[i] *= z2;
            // wz < w, with wz = Hi + Lo exactly and w a double: the comparison the
            // extended evaluation makes.
            below[i] += ((w[i] > wz.Hi) | ((w[i] == wz.Hi) & loNegative)) ? 1.0 : 0.0;
        }
    }
    if (ff.OriginZero)
        for (int i = 0; i < n; ++i)
            magN[i] *= w2Hi[i];
}

void PrepareFinish(const FastFilter& ff, ColumnState& c) {
    constexpr int n = ColumnState::N;
    const double sections = static_cast<double>(ff.Sections.size());
    for (int i = 0; i < n; ++i) {
        c.Tiny[i] = 0.01 * std::sqrt(sections * c.SumX[i]);
        c.T[i] = ff.K * std::sqrt(c.MagN[i] / c.MagD[i]);
    }
    for (int i = 0; i < n; ++i)
        c.Lg[i] = std::log10(c.T[i]);
    for (int i = 0; i < n; ++i)
        c.Base[i] = std::atan2(c.Ai[i], c.Ar[i]);
}

FastPoint FinishPoint(const FastFilter& ff, const ColumnState& c, int i) {
    FastPoint fp;
    if (c.OutOfRange[i] != 0) return fp;
    fp.Valid = true;

    const int nSections = static_cast<int>(ff.Sections.size());
    const int nReal = static_cast<int>(ff.RealPoles.size());
    const int nZeros = static_cast<int>(ff.Zeros.size());
    // The second-order and extended-rounding terms of the differences, in units of u:
    // 2u (c + w^2)/|D| for the parts' low halves and 3 * 2^-11 (c + w^2)/|D| for the
    // extended rounding of Cp, summed over the sections: at most
    // sqrt(n sum ((c + w^2)/|D|)^2) times 0.01.
    const double tiny = c.Tiny[i];

    // Magnitude. A section's re is off by 2 units of itself (plus the tiny term), im by
    // 2 (Bm's rounding and the product); squared and summed, 11 units of |D|^2, and 1
    // for its product. A zero factor likewise 4 + 2 + 1; a real pole 4 + 1. The
    // quotient, the square root (halving the rest), the constant and its product add 3.
    const double relSquared = 12.0 * nSections + 5.0 * nReal + 7.0 * nZeros + (ff.OriginZero ? 2 : 0) + 1 +
                              2 * tiny;
    const double relT = (relSquared / 2 + 3) * kU * kSafety;
    const double t = c.T[i];
    if (!(t > 0) || !std::isfinite(t)) {
        fp.Valid = false;
        return fp;
    }
    fp.GainVV = t;
    fp.GainVVErr = t * relT;
    // The -400 dB floor applies at or below 1e-20 V/V; the constant 1e-20 of the
    // extended evaluation and its double neighbour differ by far less than the margin.
    const double floorVV = 1.0e-20, floorMargin = fp.GainVVErr + floorVV * 0x1p-50;
    if (t + floorMargin <= floorVV) {
        fp.DbFloor = fp.DbSure = true;
    } else if (t - floorMargin > floorVV) {
        fp.DbSure = true;
        const double lg = c.Lg[i];
        fp.GainDb = 20.0 * lg;
        // log10 within 2 units of its result; the relative error of t becomes an
        // absolute one of relT / ln 10 in log10; times 20, and the product's rounding.
        fp.GainDbErr = 20.0 * (relT / kLn10D + 2 * kU * kSafety * std::fabs(lg)) + kU * std::fabs(fp.GainDb);
    }

    // Phase lag. Each factor's argument is off by at most 4 units (its parts' errors
    // over its magnitude, plus the tiny term), each product by 3 more; the arctangent
    // adds 2 units of its value (at most 2 pi), the whole turns and the zero and origin
    // corrections one unit of 2 pi or pi each, the sums and the conversion to degrees
    // 4 units of the result.
    if (c.NearAxis[i] == 0) {
        const int quarterTurns = static_cast<int>(c.QuarterTurns[i]);
        const int zerosBelow = static_cast<int>(c.ZerosBelow[i]);
        double base = c.Base[i];
        if (base < 0) base += 2 * kPiD;
        const int q = quarterTurns & 3;
        if (q == 0 && base > 1.5 * kPiD) base -= 2 * kPiD;
        if (q == 3 && base < 0.5 * kPiD) base += 2 * kPiD;
        const int turns = (quarterTurns - q) / 4;
        double phi = base + 2 * kPiD * turns - kPiD * zerosBelow;
        if (ff.OriginZero) phi -= kPiD / 2;
        const double errRad = (tiny + 7.0 * nSections + 5.0 * nReal + 4 * kPiD +
                               2 * kPiD * (std::abs(turns) + zerosBelow + 1)) *
                                  kU * kSafety +
                              4 * kU * kSafety * std::fabs(phi);
        // The quadrants were read right if the product stayed further from the axes
        // than its error.
        if (errRad < 1e-10) {
            fp.PhaseValid = true;
            fp.Phase = phi * kDegPerRadD;
            fp.PhaseErr = errRad * kDegPerRadD + 2 * kU * std::fabs(fp.Phase);
        }
    }

    // Delay: a section's term Bp (Cp + w^2) / |D|^2 carries 11 units from |D|^2, 2 from
    // the sum, 1 from Bp and 3 from the products and the quotient (plus the tiny
    // term), a real pole's 6; the terms are positive, so the sum's relative error is at
    // most the largest term's plus one unit per addition.
    fp.Delay = c.Tau[i] * ff.InvScale;
    fp.DelayErr = std::fabs(fp.Delay) * (17 + 2 * tiny + nSections + nReal) * kU * kSafety;
    return fp;
}

// Stores `v` when its rounding is certain; otherwise stores the extended evaluation.
template <typename Extended> bool Store(Real48& slot, bool have, double v, double err, Extended&& extended) {
    double r = 0;
    if (have && SureReal48(v, err, r)) {
        slot = Real48::fromExact(r);
        return true;
    }
    slot = extended();
    return false;
}

} // namespace

IdealColumnCount IdealFrequencyColumns(TDesign& d, int approx) {
    IdealColumnCount count;
    if (approx < 0 || approx >= kApproxCount) return count;
    const IdealFilter f = IdealFilterOf(d, approx);
    const long double G = d.Spec.OverallGain;
    const FastFilter ff =
        MakeFastFilter(f, G, d.FreqColumn[0].W, d.FreqColumn[kResponseIntervals].W);
    const MagnitudeFactors factors = MagnitudeFactorsOf(f, G); // the extended magnitude's
    constexpr int n = ColumnState::N;
    static thread_local ColumnState c; // 40 kB of scratch, kept off the stack
    if (ff.Usable) {
        for (int i = 0; i < n; ++i) {
            const double w = static_cast<double>(d.FreqColumn[i].W.value()); // exact: 40 bits
            const double wp = w * ff.InvScale;                               // exact: a power of two
            const DoubleDouble w2 = ExactSquare(wp);
            c.W[i] = w;
            c.Wp[i] = wp;
            c.W2Hi[i] = w2.Hi;
            c.W2Lo[i] = w2.Lo;
            c.MagD[i] = c.MagN[i] = c.Ar[i] = 1;
            c.Ai[i] = c.Quadrant[i] = c.QuarterTurns[i] = c.NearAxis[i] = c.SumX[i] = c.Tau[i] =
                c.ZerosBelow[i] = 0;
            c.OutOfRange[i] = (w > 0 && w2.Hi >= kFactorMin && w2.Hi <= kFactorMax) ? 0 : 1;
        }
        ApplyFactors(ff, c);
        PrepareFinish(ff, c);
    }
    for (int i = 0; i < n; ++i) {
        const long double w = d.FreqColumn[i].W;
        IdealSample& s = d.Approx[approx].Ideal[i];
        const FastPoint fp = ff.Usable ? FinishPoint(ff, c, i) : FastPoint{};
        long double extendedVV = -1; // computed once when a gain value needs it
        const auto magnitude = [&] {
            if (extendedVV < 0) extendedVV = MagnitudeAt(factors, w);
            return extendedVV;
        };
        int sure = 0;
        sure += Store(s.GainVV, fp.Valid, fp.GainVV, fp.GainVVErr, magnitude);
        if (fp.Valid && fp.DbSure && fp.DbFloor) {
            s.GainDb = kGainFloorDb;
            ++sure;
        } else {
            sure += Store(s.GainDb, fp.Valid && fp.DbSure, fp.GainDb, fp.GainDbErr,
                          [&] { return StoredGainDb(magnitude()); });
        }
        sure += Store(s.Phase, fp.Valid && fp.PhaseValid, fp.Phase, fp.PhaseErr,
                      [&] { return IdealPhaseLag(f, w); });
        sure += Store(s.Delay, fp.Valid, fp.Delay, fp.DelayErr, [&] { return IdealGroupDelay(f, w); });
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
