#include "approx/approximation.h"

#include "approx/bessel_roots.h"
#include "approx/frequency_transform.h"
#include "approx/prototypes.h"

namespace velmora {

void ClearApproximations(TDesign& d) {
    for (Approximation& a : d.Approx)
        ClearApproxResult(a);
}

ApproxStatus ComputeApproximation(TDesign& d, int index) {
    d.CurrentApprox = static_cast<int16_t>(index);
    Approximation& a = d.Approx[index];
    a.AllPole = isAllPole(index) ? 1 : 0;
    switch (index) {
    case Butterworth:
        ComputeButterworth(a, d.Spec);
        break;
    case Chebyshev:
        ComputeChebyshev(a, d.Spec);
        break;
    case InverseChebyshev:
        ComputeInverseChebyshev(a, d.Spec);
        break;
    case Elliptic:
        ComputeElliptic(a, d.Spec);
        break;
    case Bessel: {
        // Read at every calculation, so a replaced data file takes effect at once.
        const std::optional<BesselRootTable> roots = ReadBesselRootFile();
        if (!roots) return ApproxStatus::BesselRootsUnavailable;
        ComputeBessel(a, d.Spec, *roots);
        break;
    }
    default:
        return ApproxStatus::Ok;
    }
    TransformApproximation(d, index);
    return ApproxStatus::Ok;
}

namespace {
void CountZeros(Approximation& a) {
    ApproxResult& r = a.Result;
    r.ZeroPairs = 0;
    r.SingleZeros = r.HasSingleZero ? 1 : 0;
    for (int k = 1; k <= r.ProtoZeroPairs && k <= kTableEntries; ++k) {
        if (a.ZeroList[k].Wz == 0.0L)
            r.SingleZeros += 2; // a double zero at the origin
        else
            ++r.ZeroPairs;
    }
}

void FindLargestQp(Approximation& a) {
    ApproxResult& r = a.Result;
    if (r.PolePairs < 1) return;
    long double maxQp = a.PoleTable[1].Qp;
    for (int k = 2; k <= r.PolePairs && k <= kTableEntries; ++k)
        if (a.PoleTable[k].Qp > maxQp) maxQp = a.PoleTable[k].Qp;
    r.MaxQp = maxQp;
    a.QpTooHigh = r.MaxQp > kMaxUsableQp ? 1 : 0;
}
} // namespace

void RateApproximations(TDesign& d) {
    for (Approximation& a : d.Approx) {
        if (a.Result.OrderTooHigh) continue;
        CountZeros(a);
        FindLargestQp(a);
    }
}

} // namespace velmora
