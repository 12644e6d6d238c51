#include "approx/poles_zeros.h"

#include <cmath>

namespace velmora {

namespace {
// Table entries that hold sections: 1..PolePairs, or the occupied slots of a
// user-defined filter.
template <typename Visit> void ForEachSection(const TDesign& d, int index, Visit visit) {
    const Approximation& a = d.Approx[index];
    if (d.Spec.FilterType == UserDefined) {
        for (int k = 1; k <= kTableEntries; ++k)
            if (!d.Spec.UserPoleSlotFree[k]) visit(k);
        return;
    }
    for (int k = 1; k <= a.Result.PolePairs && k <= kTableEntries; ++k)
        visit(k);
}

template <typename Visit> void ForEachZeroEntry(const TDesign& d, int index, Visit visit) {
    const Approximation& a = d.Approx[index];
    if (d.Spec.FilterType == UserDefined) {
        for (int k = 1; k <= kTableEntries; ++k)
            if (!d.Spec.UserZeroSlotFree[k]) visit(k);
        return;
    }
    for (int k = 1; k <= a.Result.ProtoZeroPairs && k <= kTableEntries; ++k)
        visit(k);
}
} // namespace

bool SectionHasRealPoles(long double B, long double C) {
    return C < (B / 2.0L) * (B / 2.0L);
}

std::array<Complex, 2> SectionPoles(long double B, long double C) {
    const long double half = B / 2.0L;
    if (!SectionHasRealPoles(B, C)) {
        const long double im = std::sqrt(C - half * half);
        return {Complex(-half, im), Complex(-half, -im)};
    }
    // The far pole without cancellation; the near one from the product of the poles, C.
    const long double far = -(half + std::sqrt(half * half - C));
    return {Complex(C / far, 0.0L), Complex(far, 0.0L)};
}

std::vector<Complex> ApproxPoles(const TDesign& d, int index) {
    const Approximation& a = d.Approx[index];
    std::vector<Complex> poles;
    if (a.Result.OrderTooHigh) return poles;
    if (a.Result.HasRealPole) poles.emplace_back(-a.Result.RealPole, 0.0L);
    if (a.Result.HasRealPole2) poles.emplace_back(-a.Result.RealPole2, 0.0L);
    ForEachSection(d, index, [&](int k) {
        const auto pair = SectionPoles(a.PoleTable[k].B, a.PoleTable[k].C);
        poles.push_back(pair[0]);
        poles.push_back(pair[1]);
    });
    return poles;
}

std::vector<Complex> ApproxZeros(const TDesign& d, int index) {
    const Approximation& a = d.Approx[index];
    std::vector<Complex> zeros;
    if (a.Result.OrderTooHigh) return zeros;
    if (d.Spec.FilterType == UserDefined) {
        // Zeros at the origin are counted as the sections were entered.
        for (int i = 0; i < a.Result.SingleZeros; ++i)
            zeros.emplace_back(0.0L, 0.0L);
        ForEachZeroEntry(d, index, [&](int k) {
            const long double wz = a.ZeroList[k].Wz;
            if (wz != 0.0L) {
                zeros.emplace_back(0.0L, wz);
                zeros.emplace_back(0.0L, -wz);
            }
        });
        return zeros;
    }
    if (a.Result.HasSingleZero) zeros.emplace_back(a.Result.SingleZero, 0.0L);
    ForEachZeroEntry(d, index, [&](int k) {
        const long double wz = a.ZeroList[k].Wz;
        zeros.emplace_back(0.0L, wz);
        zeros.emplace_back(0.0L, -wz);
    });
    return zeros;
}

long double ApproxNumeratorGain(const TDesign& d, int index) {
    const ApproxResult& r = d.Approx[index].Result;
    const Specification& spec = d.Spec;
    if (isAllPole(index) && spec.FilterType == Lowpass)
        return r.GainConstant * std::pow(spec.wpb.value(), r.Order);
    if (isAllPole(index) && spec.FilterType == Bandpass)
        return r.GainConstant * std::pow(spec.Bpb.value(), r.Order / 2);
    return r.GainConstant;
}

} // namespace velmora
