#include "analysis/frequency_response.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numeric/argument_sum.h"
#include "numeric/dispatch.h"
#include "numeric/double_double.h"
#include "numeric/sure_rounding.h"
#include "numeric/vector_math.h"

namespace velmora {

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr long double kDegPerRad = 180.0L / kPi;

// The lowest and highest stage frequency of a user-defined filter: a stage gives its
// wp, or its real pole when it has no wp.
void UserSectionRange(const TDesign& d, long double& lo, long double& hi) {
    lo = 1.0e12L;
    hi = 0.0L;
    for (int k = 1; k <= d.StageCount && k <= kMaxStages; ++k) {
        const TStageCoeffs& stage = d.Stages[k];
        const long double w = stage.Wp != 0.0L ? stage.Wp.value() : std::fabs(stage.Sigma.value());
        lo = std::min(lo, w);
        hi = std::max(hi, w);
    }
}

} // namespace

FrequencyAxis DefaultFrequencyAxis(const TDesign& d) {
    FrequencyAxis axis;
    axis.Log = d.Opt.LogFreqAxis != 0;
    axis.Hz = d.Opt.FreqUnitsHz != 0;

    long double lo = 0, hi = 0;
    switch (d.Spec.FilterType) {
    case Lowpass:
    case Highpass:
        lo = 0.1L * d.Spec.wpb;
        hi = 10.0L * d.Spec.wpb;
        break;
    case Bandpass:
    case Bandstop:
        lo = 0.5L * d.Spec.w0;
        hi = 2.0L * d.Spec.w0;
        break;
    default:
        UserSectionRange(d, lo, hi);
        lo *= 0.1L;
        hi *= 10.0L;
        break;
    }
    if (axis.Hz) {
        lo /= 2.0L * kPi;
        hi /= 2.0L * kPi;
    }

    // One significant digit, rounded down; the factor 1.001 keeps a value that is a
    // whole digit except for the last bits (1.9999999) on that digit.
    int e = 0;
    long double v = lo;
    while (v >= 10.0L) {
        v *= 0.1L;
        ++e;
    }
    while (v > 0.0L && v < 0.99999L) {
        v *= 10.0L;
        --e;
    }
    // 10^e: for e from 0 to 27 a product of tens, exact (5^27 has 63 bits), as the
    // power function gives it at several times the cost.
    long double scale = 1.0L;
    if (e >= 0 && e <= 27) {
        for (int k = 0; k < e; ++k)
            scale *= 10.0L;
    } else {
        scale = std::pow(10.0L, static_cast<long double>(e));
    }
    axis.Min = std::trunc(v * 1.001L) * scale;
    axis.Max = hi;
    axis.Decade = static_cast<int16_t>(e);
    return axis;
}

FrequencyAxis UsableFrequencyAxis(const FrequencyAxis& in) {
    FrequencyAxis axis = in;
    if (!(axis.Max > 0.0L) || !std::isfinite(axis.Max)) axis.Max = 1.0L;
    if (!std::isfinite(axis.Min) || axis.Min < 0.0L) axis.Min = 0.0L;
    if (axis.Log && axis.Min <= 0.0L) axis.Min = axis.Max * 1.0e-5L;
    if (axis.Min >= axis.Max) axis.Max = axis.Min > 0 ? axis.Min * 10.0L : 1.0L;
    return axis;
}

namespace {

constexpr long double kLn10 = 2.30258509299404568401799145468436421L;

// The span of a logarithmic axis in natural-log units: ln(x_max / x_min) taken as
// ln 10 (log10 x_max - log10 x_min), so that 10^(decades t) is e^(span t), which the
// exponential evaluates several times faster than the general power.
long double LogSpan(const FrequencyAxis& axis) {
    return kLn10 * (std::log10(axis.Max) - std::log10(axis.Min));
}

long double AbscissaAt(const FrequencyAxis& axis, long double logSpan, int i, int n) {
    const long double t = static_cast<long double>(i) / static_cast<long double>(n);
    if (axis.Log) return axis.Min * std::exp(logSpan * t);
    return axis.Min + (axis.Max - axis.Min) * t;
}

} // namespace

long double AxisFrequency(const FrequencyAxis& axis, int i, int n) {
    return AbscissaAt(axis, axis.Log ? LogSpan(axis) : 0.0L, i, n);
}

namespace {

// The loops of a logarithmic column (FillAxisColumn below), built for the processor's
// vectors (numeric/dispatch.h).
// The exponentials of a logarithmic column are taken as e^(head i) = e^(head 16 q) e^(head r)
// for i = 16 q + r: 22 + 16 column exponentials instead of 351, and a product.
constexpr int kFine = 16;
constexpr int kCoarse = (kResponsePoints + kFine - 1) / kFine; // 22
constexpr int kPaddedPoints = kCoarse * kFine;                 // 352: the last one is not used

// The abscissas x = lower e^(head i) (1 + tail i) from the exponentials of the coarse and
// the fine steps, and their conversions to the other unit, with the bounds of their errors
// (see FillAxisColumn).
[[gnu::always_inline]] inline void LogAbscissasBody(const double* __restrict coarse,
                                                    const double* __restrict fine, double head, double tail,
                                                    DoubleDouble lower, double toOther, double* __restrict x,
                                                    double* __restrict xErr, double* __restrict other,
                                                    double* __restrict otherErr) {
    constexpr double kU = 0x1p-53;
    for (int q = 0; q < kCoarse; ++q)
        for (int r = 0; r < kFine; ++r) {
            const int i = q * kFine + r;
            const double di = static_cast<double>(i);
            const double rel = (21.0 + std::fabs(head * di) * (1.0 / 256.0)) * kU;
            const double p = coarse[q] * fine[r];
            const double e = p + p * (tail * di);
            const double v = lower.Hi * e + lower.Lo * e;
            x[i] = v;
            xErr[i] = v * rel;
            other[i] = v * toOther;
            otherErr[i] = other[i] * (rel + 2.01 * kU);
        }
}
VELMORA_VECTOR_KERNEL(void, LogAbscissasLoop, LogAbscissasBody,
                      (const double* coarse, const double* fine, double head, double tail, DoubleDouble lower,
                       double toOther, double* x, double* xErr, double* other, double* otherErr),
                      (coarse, fine, head, tail, lower, toOther, x, xErr, other, otherErr))
void LogAbscissas(const double* coarse, const double* fine, double head, double tail, DoubleDouble lower,
                  double toOther, double* x, double* xErr, double* other, double* otherErr) {
    LogAbscissasLoop(coarse, fine, head, tail, lower, toOther, x, xErr, other, otherErr);
}

// certain[i] = 1 where both stored values of point i are certain, else 0.
[[gnu::always_inline]] inline void CertainPointsBody(const double* __restrict sureX,
                                                     const double* __restrict sureOther,
                                                     uint8_t* __restrict certain) {
    for (int i = 0; i < kResponsePoints; ++i)
        certain[i] = (sureX[i] != 0.0) & (sureOther[i] != 0.0);
}
VELMORA_VECTOR_KERNEL(void, CertainPoints, CertainPointsBody,
                      (const double* sureX, const double* sureOther, uint8_t* certain),
                      (sureX, sureOther, certain))

} // namespace

void FillAxisColumn(const FrequencyAxis& requested, AxisColumn& out) {
    const FrequencyAxis axis = UsableFrequencyAxis(requested);
    const long double logSpan = axis.Log ? LogSpan(axis) : 0.0L;
    constexpr int n = kResponsePoints;
    // On a logarithmic axis each abscissa costs an extended exponential. The column is
    // stored in 6-byte reals, so the points are first evaluated in double precision, the
    // exponentials of the whole column at once, each with a bound on its error, and a
    // point is kept when both its stored values are certain; the rest are evaluated in
    // extended precision as below.
    //
    // The exponent A = span i / n is carried exactly enough to add next to nothing: the
    // step span / n (rounded once in extended precision, |A| units of 2^-64 in A) is split
    // into a head of 44 bits, whose product with i (at most 9 bits) is exact, and a tail
    // of at most 21 bits, whose product with i is below 2^-43 |A| and taken as the factor
    // 1 + tail i. e^(head i) is the product e^(head 16 q) e^(head r) for i = 16 q + r, so
    // that 38 column exponentials serve the 351 points. The bound, in units u = 2^-53 of
    // the value: the two column exponentials 8 each (kBatchUlps units of the last place),
    // their product 1, the factor 1 + tail i and the product with the lower limit (held
    // as two doubles) 3, one unit more for the second-order terms;
    // the step's rounding and the extended evaluation's own error (i / n, its product
    // with the span, the exponential and the product, some 2 |A| + 6 units of 2^-64
    // between them) are within |A| / 256 u, since the interval must hold the value that
    // evaluation stores. The conversion to the other unit (a product with 2 pi or
    // 1 / (2 pi), the constant rounded to a double) adds 2.01 u.
    // Certain points of a logarithmic axis: sureX[i] and sureOther[i] both nonzero. The
    // two are tested together in the one pass that looks for the points in doubt (there
    // are a few), without a column of flags in between.
    alignas(32) double sureX[n], sureOther[n];
    if (axis.Log) {
        constexpr double kTwoPiD = 6.283185307179586476925;
        constexpr double kInvTwoPiD = 0.159154943091895335768883763372514362;
        const long double step = logSpan / static_cast<long double>(kResponseIntervals);
        const double head =
            std::bit_cast<double>(std::bit_cast<uint64_t>(static_cast<double>(step)) & ~uint64_t{0x1ff});
        const double tail =
            static_cast<double>(step - static_cast<long double>(head)); // exact: at most 21 bits
        const DoubleDouble lower = SplitExtended(axis.Min);
        // The exponents head 16 q and head r, exact (16 q and r have at most 9 bits).
        alignas(32) double steps[kCoarse + kFine], stepExp[kCoarse + kFine];
        for (int q = 0; q < kCoarse; ++q)
            steps[q] = head * static_cast<double>(q * kFine);
        for (int r = 0; r < kFine; ++r)
            steps[kCoarse + r] = head * static_cast<double>(r);
        BatchExp(steps, stepExp, kCoarse + kFine);
        alignas(32) double x[kPaddedPoints], xErr[kPaddedPoints], other[kPaddedPoints],
            otherErr[kPaddedPoints];
        const double toOther = axis.Hz ? kTwoPiD : kInvTwoPiD;
        LogAbscissas(stepExp, stepExp + kCoarse, head, tail, lower, toOther, x, xErr, other, otherErr);
        double* xOut = axis.Hz ? out.F.data() : out.W.data();
        double* otherOut = axis.Hz ? out.W.data() : out.F.data();
        SureReal48Column(x, xErr, xOut, sureX, n);
        SureReal48Column(other, otherErr, otherOut, sureOther, n);
    }
    // The points in doubt (every point of a linear axis) are the zeros of `certain`,
    // found by a byte search.
    alignas(32) uint8_t certain[n];
    if (axis.Log)
        CertainPoints(sureX, sureOther, certain);
    else
        std::memset(certain, 0, sizeof certain);
    for (int i = 0; i < n; ++i) {
        const void* next = std::memchr(certain + i, 0, static_cast<std::size_t>(n - i));
        if (!next) break;
        i = static_cast<int>(static_cast<const uint8_t*>(next) - certain);
        const long double x = AbscissaAt(axis, logSpan, i, kResponseIntervals);
        const long double f = axis.Hz ? x : x / (2.0L * kPi);
        const long double w = axis.Hz ? 2.0L * kPi * x : x;
        // A 6-byte real is a double exactly (40 bits, exponents within +-128).
        out.F[static_cast<std::size_t>(i)] = static_cast<double>(Real48(f).value());
        out.W[static_cast<std::size_t>(i)] = static_cast<double>(Real48(w).value());
    }
}

void BuildFrequencyColumn(TDesign& d, const FrequencyAxis& axis) {
    AxisColumn column;
    FillAxisColumn(axis, column);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        d.FreqColumn[i].F = Real48::fromExact(column.F[static_cast<std::size_t>(i)]);
        d.FreqColumn[i].W = Real48::fromExact(column.W[static_cast<std::size_t>(i)]);
    }
}

long double GainToDb(long double vv) {
    if (!(vv > kGainFloorVV)) return kGainFloorDb;
    return 20.0L * std::log10(vv);
}

// The logarithm in double precision: t = td (1 + delta) with td the double nearest t and
// |delta| <= 2^-53, so log10 t = log10 td + delta / ln 10 (the next term, delta^2, is
// below 2^-106). log10 is within 2 units of its result, the correction within a
// thousandth of itself, the sum and the product by 20 within one unit each; the bound is
// doubled. The extended logarithm is taken only when that does not fix the 6-byte value
// (gains within about 1e-12 dB of a rounding boundary, or beyond the double range).
long double StoredGainDb(long double t) {
    if (!(t > kGainFloorVV)) return kGainFloorDb;
    constexpr double kU = 0x1p-53;
    constexpr double kLn10D = 2.30258509299404568402;
    const double td = static_cast<double>(t);
    if (td > 1e-300 && td < 1e300) {
        const double lg = std::log10(td);
        // t - td is exact and has at most 11 significant bits, so it is a double.
        const double correction = static_cast<double>(t - td) / td / kLn10D;
        const double db = 20.0 * (lg + correction);
        const double err =
            20.0 * ((2 * std::fabs(lg) + std::fabs(lg + correction)) * kU + 1e-3 * std::fabs(correction)) *
                2 +
            kU * std::fabs(db);
        double r = 0;
        if (SureReal48(db, err, r)) return r;
    }
    return GainToDb(t);
}

// |T(jw)| = |g G| prod(norms) sqrt(prod |N(jw)|^2 / prod |D(jw)|^2): one square root
// for the whole filter. Each section's |D(jw)|^2 is (C - w^2)^2 + (B w)^2, the same
// quantity as w^2 (w^2 + B^2 - 2C) + C^2 but free of cancellation near w^2 = C. The
// products of twenty squared factors stay far inside the extended exponent range at
// any frequency a response is drawn for (100 MHz to the 40th power is 1e358), and a
// magnitude that does not fit is reported as 0.
//
// A zero pair's factor |wz^2 - w^2| is taken without the cancellation of the plain
// difference near a notch, where w^2 falls within a few units of its last place of wz^2
// and the gain there is made of the digits the rounding of w*w drops: w is split into
// two halves of 32 bits, whose products hi^2, 2 hi lo and lo^2 are exact in extended
// precision, and wz^2 - hi^2 is exact when the two are within a factor 2, which is the
// case near the notch.
MagnitudeFactors MagnitudeFactorsOf(const IdealFilter& f, long double G) {
    MagnitudeFactors m;
    m.K = std::fabs(f.Gain * G);
    for (const auto& s : f.Sections) {
        m.C.push_back(s.C);
        m.B.push_back(s.B);
        m.K *= s.Norm;
    }
    for (const auto& z : f.ZeroPairs)
        m.Wz2.push_back(z.Wz2);
    for (const auto& p : f.RealPoles) {
        m.Sigma2.push_back(p.Sigma * p.Sigma);
        m.K *= p.Norm;
    }
    m.OriginZero = f.OriginZero;
    return m;
}

long double MagnitudeAt(const MagnitudeFactors& m, long double w) {
    const long double w2 = w * w;
    long double num2 = 1, den2 = 1;
    const std::size_t sections = m.C.size();
    for (std::size_t k = 0; k < sections; ++k) {
        const long double re = m.C[k] - w2, im = m.B[k] * w;
        den2 *= re * re + im * im;
    }
    if (!m.Wz2.empty()) {
        // The products of the halves of w, taken once for all zeros.
        constexpr long double kSplitter = 4294967297.0L; // 2^32 + 1
        const long double t = kSplitter * w;
        const long double hi = t - (t - w), lo = w - hi;
        const long double hh = hi * hi, hl = 2 * hi * lo, ll = lo * lo;
        for (const long double c : m.Wz2) {
            const long double n = std::fabs(((c - hh) - hl) - ll);
            num2 *= n * n;
        }
    }
    for (const long double s2 : m.Sigma2)
        den2 *= w2 + s2;
    if (m.OriginZero) num2 *= w2;
    const long double t = m.K * std::sqrt(num2 / den2);
    return std::isfinite(t) ? t : 0.0L;
}

long double IdealMagnitude(const IdealFilter& f, long double G, long double w) {
    return MagnitudeAt(MagnitudeFactorsOf(f, G), w);
}

namespace {

// Phase lag as the plain sum of the factors' arctangents: for poles in the right
// half-plane (an unstable user-defined section), whose factors turn backwards.
long double PhaseLagBySum(const IdealFilter& f, long double w) {
    long double phi = 0;
    for (const auto& s : f.Sections) {
        if (s.RealPoles)
            phi += std::atan2(w, s.Sigma1) + std::atan2(w, s.Sigma2);
        else
            phi += std::atan2(w - s.Omega, s.Sigma) + std::atan2(w + s.Omega, s.Sigma);
    }
    for (const auto& p : f.RealPoles)
        phi += std::atan2(w, p.Sigma);
    return phi;
}

} // namespace

// Phase lag Phi = -arg H(jw), continuous in w. A pole pair at -sigma +/- j omega lags
// by atan((w - omega)/sigma) + atan((w + omega)/sigma), the argument of
// (sigma + j(w - omega)) (sigma + j(w + omega)) = sigma^2 - (w - omega)(w + omega) + j 2 sigma w,
// which runs from 0 to pi without a jump because both factors have the positive real
// part sigma. A real pole lags by atan(w/sigma). A zero pair s^2 + wz^2 is real at
// s = jw and changes sign at wz: the lag drops by pi above it (zeros at the origin: for
// every w > 0). A single zero at the origin leads by pi/2.
long double IdealPhaseLag(const IdealFilter& f, long double w) {
    bool forward = w >= 0;
    for (const auto& s : f.Sections)
        forward = forward && (s.RealPoles ? s.Sigma1 >= 0 && s.Sigma2 >= 0 : s.Sigma >= 0);
    for (const auto& p : f.RealPoles)
        forward = forward && p.Sigma >= 0;
    long double phi = 0;
    if (forward) {
        ArgumentSum sum;
        for (const auto& s : f.Sections) {
            if (s.RealPoles) {
                sum.Add(s.Sigma1, w);
                sum.Add(s.Sigma2, w);
            } else {
                sum.Add(s.Sigma * s.Sigma - (w - s.Omega) * (w + s.Omega), 2 * s.Sigma * w);
            }
        }
        for (const auto& p : f.RealPoles)
            sum.Add(p.Sigma, w);
        phi = sum.Radians();
    } else {
        phi = PhaseLagBySum(f, w);
    }
    for (const auto& z : f.ZeroPairs)
        if (z.Wz < w) phi -= kPi;
    if (f.OriginZero) phi -= kPi / 2;
    return phi * kDegPerRad;
}

// Group delay -d(arg H)/dw: each pole at -sigma + j omega contributes
// sigma / (sigma^2 + (w - omega)^2); zeros on the imaginary axis contribute nothing.
long double IdealGroupDelay(const IdealFilter& f, long double w) {
    auto term = [](long double sigma, long double dw) {
        const long double den = sigma * sigma + dw * dw;
        return den > 0 ? sigma / den : 0.0L;
    };
    long double tau = 0;
    for (const auto& s : f.Sections) {
        if (s.RealPoles)
            tau += term(s.Sigma1, w) + term(s.Sigma2, w);
        else
            tau += term(s.Sigma, w - s.Omega) + term(s.Sigma, w + s.Omega);
    }
    for (const auto& p : f.RealPoles)
        tau += term(p.Sigma, w);
    return tau;
}

namespace {

void ClampRange(int& first, int& last) {
    first = std::max(first, 0);
    last = std::min(last, kResponseIntervals);
}

} // namespace

void IdealGain(TDesign& d, int approx, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    const IdealFilter f = IdealFilterOf(d, approx);
    const long double G = d.Spec.OverallGain;
    ClampRange(first, last);
    for (int i = first; i <= last; ++i) {
        const long double t = IdealMagnitude(f, G, d.FreqColumn[i].W);
        d.Approx[approx].Ideal[i].GainVV = t;
        d.Approx[approx].Ideal[i].GainDb = GainToDb(t);
    }
}

void IdealPhase(TDesign& d, int approx, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    const IdealFilter f = IdealFilterOf(d, approx);
    ClampRange(first, last);
    for (int i = first; i <= last; ++i)
        d.Approx[approx].Ideal[i].Phase = IdealPhaseLag(f, d.FreqColumn[i].W);
}

void IdealDelay(TDesign& d, int approx, int first, int last) {
    if (approx < 0 || approx >= kApproxCount) return;
    const IdealFilter f = IdealFilterOf(d, approx);
    ClampRange(first, last);
    for (int i = first; i <= last; ++i)
        d.Approx[approx].Ideal[i].Delay = IdealGroupDelay(f, d.FreqColumn[i].W);
}

std::vector<int> MarkNotches(TDesign& d, int approx, bool logAxis) {
    if (approx < 0 || approx >= kApproxCount) return {};
    return MarkNotches(d, approx, logAxis, IdealFilterOf(d, approx));
}

std::vector<int> MarkNotches(TDesign& d, int approx, bool logAxis, const IdealFilter& f) {
    std::vector<int> marked;
    if (approx < 0 || approx >= kApproxCount) return marked;
    d.Approx[approx].NotchMark.fill(0);
    if (f.ZeroPairs.empty()) return marked;
    const long double w0 = d.FreqColumn[0].W;
    const long double wn = d.FreqColumn[kResponseIntervals].W;
    if (!(wn > w0) || (logAxis && !(w0 > 0))) return marked;
    // The logarithms of the column's ends, taken once for all zeros.
    const long double lg0 = logAxis ? std::log10(w0) : 0.0L;
    const long double lgSpan = logAxis ? std::log10(wn) - lg0 : 0.0L;
    for (const auto& z : f.ZeroPairs) {
        const long double wz = z.Wz;
        if (wz <= 0 || wz < w0 || wz > wn) continue;
        const long double pos = logAxis ? (std::log10(wz) - lg0) / lgSpan : (wz - w0) / (wn - w0);
        const int k =
            std::clamp(static_cast<int>(std::lround(pos * kResponseIntervals)), 0, kResponseIntervals);
        d.Approx[approx].NotchMark[static_cast<std::size_t>(k)] = 1;
        marked.push_back(k);
    }
    return marked;
}

} // namespace velmora
