#include "analysis/ideal_filter.h"

#include <algorithm>
#include <cmath>

#include "stages/stage_types.h"

namespace velmora {

bool CarriesAllPoleNormalisation(const TDesign& d, int approx) {
    const int type = d.Spec.FilterType;
    return isAllPole(approx) && (type == Lowpass || type == Bandpass);
}

bool HasIdealResponse(const TDesign& d, int approx) {
    if (approx < 0 || approx >= kApproxCount || approx > d.Spec.LastApproxIndex) return false;
    const Approximation& a = d.Approx[approx];
    const ApproxResult& r = a.Result;
    return isUsable(a) && (r.PolePairs > 0 || r.HasRealPole || r.HasRealPole2);
}

std::vector<int> ResponseApproximations(const TDesign& d) {
    std::vector<int> list;
    for (int i = 0; i < kApproxCount; ++i)
        if (HasIdealResponse(d, i)) list.push_back(i);
    return list;
}

namespace {

// The poles of s^2 + B s + C. With B^2/4 > C they are real: the larger magnitude is
// B/2 + sqrt(B^2/4 - C) and the smaller one is taken as C over it (their product is C),
// which avoids the cancellation of B/2 - sqrt(...) for a very low Q.
void SplitRealPoles(PoleSection& s) {
    const long double half = s.B / 2;
    const long double disc = half * half - s.C;
    s.RealPoles = disc > 0;
    if (!s.RealPoles) return;
    s.Sigma2 = half + std::sqrt(disc);
    s.Sigma1 = s.Sigma2 > 0 ? s.C / s.Sigma2 : 0;
}

} // namespace

// ---- User-defined filters -------------------------------------------------------------
//
// A user-defined filter is the cascade of the sections the user entered, each with its
// own transfer function (stages/stage_types.h):
//
//   H(s) = prod_i To_i * c_i * N_i(s) / P_i(s),
//
// c_i = wp^2 (SLP), wp/Qp (SBP), sigma (FLP), 1 otherwise; N_i = 1, s, s^2 or s^2 + wz^2.
// It is read from the stage records, which hold each section's To, wp, Qp, wz and sigma,
// rather than from the tables of approximation slot 0, which keep no section factors.
// Every response computation multiplies by the overall gain G; for a user-defined filter
// G is the product of the sections' gain figures (To, or the DC gain of a lowpass notch),
// so Gain = prod To_i / G and Gain * G is the true constant whatever G holds.

namespace {

IdealFilter UserDefinedFilter(const TDesign& d) {
    IdealFilter f;
    long double toProduct = 1.0L;
    int originZeros = 0;
    const int n = std::clamp<int>(d.StageCount, 0, kMaxStages);
    for (int i = 1; i <= n; ++i) {
        const TStageCoeffs& st = d.Stages[i];
        toProduct *= static_cast<long double>(st.To);
        const long double sigma = st.Sigma;
        if (isFirstOrder(st.StageType)) {
            f.RealPoles.push_back({sigma, NumeratorScale(st)});
            if (st.StageType == stFHP) ++originZeros;
            continue;
        }
        const long double wp = st.Wp, qp = st.Qp;
        PoleSection s;
        s.B = qp > 0 ? wp / qp : 0.0L;
        s.C = wp * wp;
        s.Norm = NumeratorScale(st);
        s.Sigma = sigma;
        s.Omega = std::sqrt(std::max(s.C - sigma * sigma, 0.0L));
        SplitRealPoles(s);
        f.Sections.push_back(s);
        if (st.StageType == stSHP) originZeros += 2;
        if (st.StageType == stSBP) originZeros += 1;
        if (isNotch(st.StageType)) {
            const long double wz = st.Wz;
            f.ZeroPairs.push_back({wz * wz, wz});
        }
    }
    for (int k = 0; k < originZeros / 2; ++k)
        f.ZeroPairs.push_back({0, 0});
    f.OriginZero = originZeros % 2 == 1;
    const long double G = d.Spec.OverallGain;
    f.Gain = G != 0.0L ? toProduct / G : 0.0L;
    return f;
}

} // namespace

IdealFilter IdealFilterOf(const TDesign& d, int approx) {
    IdealFilter f;
    if (approx < 0 || approx >= kApproxCount) return f;
    if (d.Spec.FilterType == UserDefined) return approx == 0 ? UserDefinedFilter(d) : f;
    const Approximation& a = d.Approx[approx];
    const ApproxResult& r = a.Result;
    f.Gain = r.GainConstant;

    const bool norm = CarriesAllPoleNormalisation(d, approx);
    const long double wp = d.Spec.wpb;
    const long double bp = d.Spec.Bpb;
    const long double sectionNorm = !norm ? 1.0L : d.Spec.FilterType == Lowpass ? wp * wp : bp;
    const long double realPoleNorm = norm && d.Spec.FilterType == Lowpass ? wp : 1.0L;

    for (int k = 1; k <= r.PolePairs && k <= kTableEntries; ++k) {
        PoleSection s;
        s.B = a.PoleTable[k].B;
        s.C = a.PoleTable[k].C;
        s.Norm = sectionNorm;
        s.Sigma = a.PoleList[k].Re;
        s.Omega = a.PoleList[k].Im;
        SplitRealPoles(s);
        f.Sections.push_back(s);
    }
    if (r.HasRealPole) f.RealPoles.push_back({r.RealPole, realPoleNorm});
    if (r.HasRealPole2) f.RealPoles.push_back({r.RealPole2, realPoleNorm});
    for (int k = 1; k <= r.ProtoZeroPairs && k <= kTableEntries; ++k)
        f.ZeroPairs.push_back({a.ZeroTable[k].Wz2, a.ZeroList[k].Wz});
    f.OriginZero = r.HasSingleZero != 0;
    return f;
}

long double IdealFilter::NumeratorConstant() const {
    long double k = Gain;
    for (const auto& s : Sections)
        k *= s.Norm;
    for (const auto& p : RealPoles)
        k *= p.Norm;
    return k;
}

int IdealFilter::PoleCount() const {
    return 2 * static_cast<int>(Sections.size()) + static_cast<int>(RealPoles.size());
}

int IdealFilter::ZeroCount() const {
    return 2 * static_cast<int>(ZeroPairs.size()) + (OriginZero ? 1 : 0);
}

PoleZeroSet PolesAndZeros(const IdealFilter& f) {
    PoleZeroSet z;
    z.K = f.NumeratorConstant();
    for (const auto& s : f.Sections) {
        if (s.RealPoles) {
            z.Poles.emplace_back(-s.Sigma1, 0.0L);
            z.Poles.emplace_back(-s.Sigma2, 0.0L);
        } else {
            z.Poles.emplace_back(-s.Sigma, s.Omega);
            z.Poles.emplace_back(-s.Sigma, -s.Omega);
        }
    }
    for (const auto& p : f.RealPoles)
        z.Poles.emplace_back(-p.Sigma, 0.0L);
    for (const auto& zp : f.ZeroPairs) {
        z.Zeros.emplace_back(0.0L, zp.Wz);
        z.Zeros.emplace_back(0.0L, -zp.Wz);
    }
    if (f.OriginZero) z.Zeros.emplace_back(0.0L, 0.0L);
    return z;
}

} // namespace velmora
