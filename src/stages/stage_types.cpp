#include "stages/stage_types.h"

#include <array>
#include <cmath>
#include <numbers>

namespace velmora {
namespace {

constexpr std::array<const char*, kStageTypeCount> kShortNames = {"FLP ", "FHP ", "SLP ", "SHP ",
                                                                  "SBP ", "SLPN", "SHPN", "SN  "};
constexpr std::array<const char*, kStageTypeCount> kKeys = {"ptFLP", "ptFHP",  "ptSLP",  "ptSHP",
                                                            "ptSBP", "ptSLPN", "ptSHPN", ""};
constexpr std::array<const char*, kStageTypeCount> kDescriptions = {
    "1st order lowpass", "1st order highpass", "2nd order lowpass", "2nd order highpass",
    "bandpass",          "lowpass notch",      "highpass notch",    "notch"};

bool validType(int type) {
    return type >= 0 && type < kStageTypeCount;
}

// A zero pair against the pole pair's natural frequency, both as stored.
TStageType NotchKind(long double wz, long double wp) {
    if (wz == wp) return stSN;
    return wz < wp ? stSHPN : stSLPN;
}

} // namespace

std::string StageShortName(int type) {
    return validType(type) ? kShortNames[type] : "";
}
std::string StageKey(int type) {
    return validType(type) ? kKeys[type] : "";
}
std::string StageDescription(int type) {
    return validType(type) ? kDescriptions[type] : "";
}

TStageType ClassifyStage(const TDesign& d, int pole1, int pole2, int zero1, int zero2) {
    const bool hasZero = zero1 > 0;
    const bool zeroIsPair = hasZero && d.Zeros[zero1].Kind == 1;
    if (pole2 > 0) {
        // Two single real poles form the second-order denominator (s + s1)(s + s2); the
        // numerator follows from the zeros joined to them, as for a pole pair: none is
        // a lowpass, a single zero at the origin a bandpass. With a zero pair the stage
        // is a notch section.
        if (!hasZero) return stSLP;
        return zeroIsPair ? stSN : stSBP;
    }
    if (pole1 > 0 && d.Poles[pole1].Kind == 1) {
        if (!hasZero) return stSLP;
        if (zero2 > 0) return stSHP;
        if (!zeroIsPair) return stSBP;
        const long double wz = d.Zeros[zero1].Wz;
        if (wz == 0.0L) return stSHP;
        return NotchKind(wz, d.Poles[pole1].Wp);
    }
    return hasZero ? stFHP : stFLP;
}

void ClearStage(TStageCoeffs& s) {
    s = TStageCoeffs{};
}

void BuildStage(TDesign& d, int stage, int pole1, int pole2, int zero1, int zero2) {
    TStageCoeffs& s = d.Stages[stage];
    ClearStage(s);
    s.StageType = ClassifyStage(d, pole1, pole2, zero1, zero2);
    s.Name = StageShortName(s.StageType);
    s.Pole1 = static_cast<int16_t>(pole1);
    s.Pole2 = static_cast<int16_t>(pole2);
    s.Zero1 = static_cast<int16_t>(zero1);
    s.Zero2 = static_cast<int16_t>(zero2);
    const TPoleEntry& p = d.Poles[pole1];
    if (pole2 > 0) {
        const long double s1 = p.Sigma, s2 = d.Poles[pole2].Sigma;
        const long double wp = std::sqrt(s1 * s2);
        s.Wp = wp;
        s.Qp = wp / (s1 + s2);
        s.Sigma = s1;
    } else {
        s.Wp = p.Wp;
        s.Qp = p.Q;
        s.Sigma = p.Sigma;
    }
    s.Wz = zero1 > 0 ? static_cast<long double>(d.Zeros[zero1].Wz) : 0.0L;
}

long double StageMagnitude(const TStageCoeffs& s, long double w) {
    w = std::fabs(w);
    const long double sigma = s.Sigma, wp = s.Wp, qp = s.Qp, wz = s.Wz;
    if (isFirstOrder(s.StageType)) {
        const long double p = std::sqrt(w * w + sigma * sigma);
        if (p == 0.0L) return 0.0L;
        return (s.StageType == stFLP ? 1.0L : w) / p;
    }
    if (qp <= 0.0L) return 0.0L;
    // |D(jw)| without the scaling hypot does: the squares of a stage at the frequencies
    // of a filter are far inside the extended exponent range.
    const long double re = wp * wp - w * w, im = w * wp / qp;
    const long double r = std::sqrt(re * re + im * im);
    if (r == 0.0L) return 0.0L;
    switch (s.StageType) {
    case stSLP:
        return 1.0L / r;
    case stSHP:
        return w * w / r;
    case stSBP:
        return w / r;
    default:
        return std::fabs(wz * wz - w * w) / r;
    }
}

long double NumeratorScale(const TStageCoeffs& s) {
    switch (s.StageType) {
    case stFLP:
        return s.Sigma;
    case stSLP:
        return static_cast<long double>(s.Wp) * s.Wp;
    case stSBP:
        return s.Qp > 0.0L ? s.Wp / static_cast<long double>(s.Qp) : 0.0L;
    default:
        return 1.0L;
    }
}

long double ToFromK(const TStageCoeffs& s, long double K) {
    const long double c = NumeratorScale(s);
    return c > 0.0L ? K / c : 0.0L;
}

void UpdateTo(TStageCoeffs& s) {
    s.To = ToFromK(s, s.K);
}

BiquadCoefficients StageBiquad(const TStageCoeffs& s, bool hz) {
    const long double unit = hz ? 2.0L * std::numbers::pi_v<long double> : 1.0L;
    const long double wp = s.Wp / unit, wz = s.Wz / unit, sigma = s.Sigma / unit;
    const long double qp = s.Qp;
    BiquadCoefficients c;
    if (isFirstOrder(s.StageType)) {
        c.E = 1.0L;
        c.F = sigma;
        if (s.StageType == stFLP)
            c.C = sigma;
        else
            c.B = 1.0L;
        return c;
    }
    c.secondOrder = true;
    c.wp = wp;
    c.qp = qp;
    c.D = 1.0L;
    c.E = qp > 0.0L ? wp / qp : 0.0L;
    c.F = wp * wp;
    switch (s.StageType) {
    case stSLP:
        c.C = wp * wp;
        break;
    case stSHP:
        c.A = 1.0L;
        break;
    case stSBP:
        c.B = c.E;
        break;
    default:
        c.notch = true;
        c.wz = wz;
        c.A = 1.0L;
        c.C = wz * wz;
        break;
    }
    return c;
}

std::complex<long double> BiquadResponse(const BiquadCoefficients& c, long double w) {
    const std::complex<long double> s(0.0L, w);
    return (c.A * s * s + c.B * s + c.C) / (c.D * s * s + c.E * s + c.F);
}

} // namespace velmora
