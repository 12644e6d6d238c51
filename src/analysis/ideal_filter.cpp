#include "analysis/ideal_filter.h"

#include <algorithm>
#include <cmath>

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

IdealFilter IdealFilterOf(const TDesign& d, int approx) {
    IdealFilter f;
    if (approx < 0 || approx >= kApproxCount) return f;
    const Approximation& a = d.Approx[approx];
    const ApproxResult& r = a.Result;
    f.Gain = r.GainConstant;

    const bool norm = CarriesAllPoleNormalisation(d, approx);
    const long double wp = d.Spec.wpb;
    const long double bp = d.Spec.Bpb;
    const long double sectionNorm = !norm ? 1.0L : d.Spec.FilterType == Lowpass ? wp * wp : bp;
    const long double realPoleNorm = norm && d.Spec.FilterType == Lowpass ? wp : 1.0L;

    // A specified filter fills its entries from 1; a user-defined filter keeps its
    // sections and zeros in whichever slots were free when they were entered.
    const bool user = d.Spec.FilterType == UserDefined;
    auto sectionInUse = [&](int k) { return user ? d.Spec.UserPoleSlotFree[k] == 0 : k <= r.PolePairs; };
    auto zeroInUse = [&](int k) { return user ? d.Spec.UserZeroSlotFree[k] == 0 : k <= r.ProtoZeroPairs; };

    for (int k = 1; k <= kTableEntries; ++k) {
        if (!sectionInUse(k)) continue;
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

    if (!user) {
        for (int k = 1; k <= kTableEntries; ++k)
            if (zeroInUse(k)) f.ZeroPairs.push_back({a.ZeroTable[k].Wz2, a.ZeroList[k].Wz});
        f.OriginZero = r.HasSingleZero != 0;
    } else {
        // The sections of a user-defined filter count their zeros at the origin in
        // SingleZeros (a highpass section also takes a slot with wz = 0): the slots give
        // the zero pairs off the origin, SingleZeros the zeros at it.
        for (int k = 1; k <= kTableEntries; ++k)
            if (zeroInUse(k) && a.ZeroList[k].Wz != 0.0L)
                f.ZeroPairs.push_back({a.ZeroTable[k].Wz2, a.ZeroList[k].Wz});
        const int origin = std::max<int>(r.SingleZeros, 0);
        for (int k = 0; k < origin / 2; ++k)
            f.ZeroPairs.push_back({0, 0});
        f.OriginZero = origin % 2 == 1;
    }
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
