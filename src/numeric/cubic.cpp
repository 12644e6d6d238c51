#include "numeric/cubic.h"

#include <algorithm>
#include <cmath>

namespace velmora {

CubicSplit SplitCubic(const std::array<long double, 4>& a) {
    long double bound = 0.0L;
    for (int k = 0; k < 3; ++k)
        bound = std::max(bound, std::fabs(a[static_cast<std::size_t>(k)] / a[3]));
    bound += 1.0L;
    const auto f = [&](long double s) { return ((a[3] * s + a[2]) * s + a[1]) * s + a[0]; };
    long double lo = -bound, hi = bound;
    const bool rising = f(hi) > 0.0L;
    for (int i = 0; i < 200 && hi - lo > 0.0L; ++i) {
        const long double mid = 0.5L * (lo + hi);
        if ((f(mid) > 0.0L) == rising)
            hi = mid;
        else
            lo = mid;
    }
    CubicSplit c;
    c.root = 0.5L * (lo + hi);
    c.q2 = a[3];
    c.q1 = a[2] + c.root * c.q2;
    c.q0 = a[1] + c.root * c.q1;
    return c;
}

std::vector<long double> CubicRealRoots(const std::array<long double, 4>& a) {
    const CubicSplit c = SplitCubic(a);
    std::vector<long double> roots{c.root};
    const long double disc = c.q1 * c.q1 - 4.0L * c.q2 * c.q0;
    if (disc >= 0.0L) {
        const long double sq = std::sqrt(disc);
        roots.push_back((-c.q1 + sq) / (2.0L * c.q2));
        roots.push_back((-c.q1 - sq) / (2.0L * c.q2));
    }
    return roots;
}

} // namespace velmora
