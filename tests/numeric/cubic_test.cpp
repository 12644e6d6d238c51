// The real roots of the third-order stages' cubics against cubics built from known roots.
#include <gtest/gtest.h>

#include <algorithm>

#include "numeric/cubic.h"

namespace velmora {
namespace {

// a3 (s - r1)(s - r2)(s - r3) as coefficients a[0] .. a[3].
std::array<long double, 4> FromRoots(long double a3, long double r1, long double r2, long double r3) {
    return {-a3 * r1 * r2 * r3, a3 * (r1 * r2 + r1 * r3 + r2 * r3), -a3 * (r1 + r2 + r3), a3};
}

TEST(Cubic, ThreeRealRootsOfEveryScale) {
    for (long double scale : {1e-3L, 1.0L, 6.283e4L, 1e7L}) {
        std::vector<long double> roots = CubicRealRoots(FromRoots(2.5L, -1 * scale, -2 * scale, -30 * scale));
        ASSERT_EQ(roots.size(), 3u) << scale;
        std::sort(roots.begin(), roots.end());
        EXPECT_NEAR(roots[0], -30 * scale, 1e-15L * 30 * scale);
        EXPECT_NEAR(roots[1], -2 * scale, 1e-15L * 30 * scale);
        EXPECT_NEAR(roots[2], -1 * scale, 1e-15L * 30 * scale);
    }
}

TEST(Cubic, OneRealRootAndTheQuadraticLeft) {
    // (s + 2)(s^2 + s + 1): one real root; the quadratic left is s^2 + s + 1.
    const std::array<long double, 4> a{2, 3, 3, 1};
    const CubicSplit c = SplitCubic(a);
    EXPECT_NEAR(c.root, -2.0L, 1e-17L);
    EXPECT_NEAR(c.q2, 1.0L, 1e-17L);
    EXPECT_NEAR(c.q1, 1.0L, 1e-17L);
    EXPECT_NEAR(c.q0, 1.0L, 1e-17L);
    EXPECT_EQ(CubicRealRoots(a).size(), 1u);
    // A negative leading coefficient falls the other way; the root is the same.
    const CubicSplit n = SplitCubic({-2, -3, -3, -1});
    EXPECT_NEAR(n.root, -2.0L, 1e-17L);
}

} // namespace
} // namespace velmora
