#include "analysis/frequency_response.h"

#include <algorithm>
#include <cmath>

#include "analysis/argument_sum.h"
#include "analysis/vector_math.h"
#include "model/sure_rounding.h"

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
    axis.Min = std::trunc(v * 1.001L) * std::pow(10.0L, static_cast<long double>(e));
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

void FillAxisColumn(const FrequencyAxis& requested, AxisColumn& out) {
    const FrequencyAxis axis = UsableFrequencyAxis(requested);
    const long double logSpan = axis.Log ? LogSpan(axis) : 0.0L;
    constexpr int n = kResponsePoints;
    // On a logarithmic axis each abscissa costs an extended exponential. The column is
    // stored in 6-byte reals, so the points are first evaluated in double precision, the
    // exponentials of the whole column at once, each with a bound on its error, and a
    // point is kept when both its stored values are certain; the rest are evaluated in
    // extended precision as below. The bound, in units u = 2^-53 of the value: the
    // exponent's argument carries 3 |argument| (the span and t = i/n rounded, and their
    // product), the column exponential 8 (kBatchUlps units of its last place), the
    // lower limit and the product 2; the conversion between the units 4 more (2 pi or
    // its reciprocal rounded, the product). It is doubled for the terms left out, among
    // them the extended evaluation's own error (units of 2^-64 of the same terms), so
    // the interval holds the value that evaluation stores.
    // Certain points of a logarithmic axis: sureX[i] and sureOther[i] both nonzero. The
    // two are tested together in the one pass that looks for the points in doubt (there
    // are a handful), without a column of flags in between.
    alignas(32) double sureX[n], sureOther[n];
    if (axis.Log) {
        const double spanD = static_cast<double>(logSpan), minD = static_cast<double>(axis.Min);
        constexpr double kTwoPiD = 6.283185307179586476925;
        constexpr double kU = 0x1p-53;
        // t = i / n, each rounded once, taken once for the program.
        static const std::array<double, n> kT = [] {
            std::array<double, n> t{};
            for (int i = 0; i < n; ++i)
                t[static_cast<std::size_t>(i)] = static_cast<double>(i) / kResponseIntervals;
            return t;
        }();
        alignas(32) double arg[n], x[n], xErr[n], other[n], otherErr[n];
        for (int i = 0; i < n; ++i)
            arg[i] = spanD * kT[static_cast<std::size_t>(i)];
        BatchExp(arg, x, n);
        // The other unit by a product with 2 pi or 1 / (2 pi), each rounded once.
        const double toOther = axis.Hz ? kTwoPiD : 1.0 / kTwoPiD;
        for (int i = 0; i < n; ++i) {
            const double rel = (3.0 * std::fabs(arg[i]) + 2.0 * kBatchUlps + 2.0) * kU * 2.0;
            const double v = minD * x[i];
            x[i] = v;
            xErr[i] = v * rel;
            other[i] = v * toOther;
            otherErr[i] = other[i] * (rel + 8.0 * kU);
        }
        double* xOut = axis.Hz ? out.F.data() : out.W.data();
        double* otherOut = axis.Hz ? out.W.data() : out.F.data();
        SureReal48Column(x, xErr, xOut, sureX, n);
        SureReal48Column(other, otherErr, otherOut, sureOther, n);
    }
    for (int i = 0; i < n; ++i) {
        if (axis.Log && sureX[i] != 0.0 && sureOther[i] != 0.0) continue;
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
            20.0 * ((2 * std::fabs(lg) + std::fabs(lg + correction)) * kU + 1e-3 * std::fabs(correction)) * 2 +
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
    if (approx < 0 || approx >= kApproxCount || f.ZeroPairs.empty()) return marked;
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
        d.Approx[approx].Ideal[k].GainDb = kNotchDb;
        d.Approx[approx].Ideal[k].GainVV = 0.0L;
        marked.push_back(k);
    }
    return marked;
}

} // namespace velmora
