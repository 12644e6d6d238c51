// The Bessel root table: the committed data file, its agreement with the reverse
// Bessel polynomials, and the behaviour when it is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "approx/bessel_roots.h"
#include "approx_test_support.h"
#include "support/temp_files.h"

namespace velmora::test {
namespace {

const std::string kCommittedFile = std::string(VELMORA_SOURCE_DATA_DIR) + "/BessRoot.dat";

TEST(BesselRootFile, CommittedFileIsTheGeneratorsOutput) {
    const std::vector<uint8_t> committed = ReadBytes(kCommittedFile);
    ASSERT_EQ(committed.size(), 2400u);
    const std::vector<uint8_t> generated = BesselRootFileImage();
    ASSERT_EQ(generated.size(), 2400u);
    EXPECT_TRUE(committed == generated) << "regenerate data/BessRoot.dat with tools/gen_bessroot";
}

// theta_n(r) / theta_n'(r) with the exact integer coefficients in binary128, so that
// the evaluation itself adds nothing near the roots: the Newton step is the distance
// from r to the nearest true root.
Complex NewtonStep(int n, Complex r) {
    std::vector<__float128> a(n + 1);
    a[n] = 1;
    for (int k = n - 1; k >= 0; --k)
        a[k] = a[k + 1] * (2 * n - k) * (k + 1) / (2 * (n - k));
    __float128 zr = r.real(), zi = r.imag(), pr = 0, pi = 0, dr = 0, di = 0;
    for (int k = n; k >= 0; --k) {
        const __float128 ndr = dr * zr - di * zi + pr, ndi = dr * zi + di * zr + pi;
        const __float128 npr = pr * zr - pi * zi + a[k], npi = pr * zi + pi * zr;
        dr = ndr, di = ndi, pr = npr, pi = npi;
    }
    const __float128 d = dr * dr + di * di;
    return {static_cast<long double>((pr * dr + pi * di) / d),
            static_cast<long double>((pi * dr - pr * di) / d)};
}

TEST(BesselRootFile, EveryStoredRootSatisfiesItsPolynomial) {
    const std::optional<BesselRootTable> table = ReadBesselRootFile(kCommittedFile);
    ASSERT_TRUE(table);
    for (int n = 1; n <= kBesselMaxOrder; ++n) {
        SCOPED_TRACE("order " + std::to_string(n));
        // All n roots: the real one (odd n) and both poles of every pair.
        std::vector<Complex> roots;
        int slot = 1;
        if (n % 2 == 1) {
            EXPECT_EQ((*table)[n][slot].im, 0.0L);
            roots.emplace_back(-(*table)[n][slot++].re, 0.0L);
        }
        long double lastIm = 1e30L;
        for (int i = 1; i <= n / 2; ++i, ++slot) {
            const BesselRoot& r = (*table)[n][slot];
            EXPECT_GT(r.re, 0.0L);
            EXPECT_LT(r.im, lastIm); // pairs by descending imaginary part (descending Q)
            lastIm = r.im;
            roots.emplace_back(-r.re, r.im);
            roots.emplace_back(-r.re, -r.im);
        }
        for (; slot <= kBesselSlots; ++slot)
            EXPECT_TRUE((*table)[n][slot].re == 0.0L && (*table)[n][slot].im == 0.0L) << "slot " << slot;
        // Each stored root lies within Real48 rounding (2^-40 relative per part) of a
        // true root.
        for (const Complex& r : roots)
            EXPECT_LT(std::abs(NewtonStep(n, r)), 3e-12L * std::abs(r));
        // Vieta: the roots sum to -a_(n-1) = -n(n+1)/2; their product has modulus
        // a_0 = (2n)! / (2^n n!).
        Complex sum = 0, product = 1;
        for (const Complex& r : roots) {
            sum += r;
            product *= r;
        }
        long double a0 = 1.0L;
        for (int k = n + 1; k <= 2 * n; ++k)
            a0 *= k / 2.0L;
        EXPECT_NEAR(sum.real(), -n * (n + 1) / 2.0L, 1e-11L * n * n);
        EXPECT_NEAR(sum.imag(), 0.0L, 1e-11L * n * n);
        EXPECT_NEAR(std::abs(product) / a0, 1.0L, 1e-11L * n);
    }
}

TEST(BesselRootFile, LowOrdersMatchPublishedPoleTables) {
    // Unit-delay Bessel poles as tabulated in filter handbooks (7 significant digits).
    const struct Pole {
        int n, slot;
        long double re, im;
    } published[] = {
        {1, 1, 1.0L, 0.0L},
        {2, 1, 1.5L, 0.8660254L},
        {3, 1, 2.3221854L, 0.0L},
        {3, 2, 1.8389073L, 1.7543810L},
        {4, 1, 2.1037894L, 2.6574180L},
        {4, 2, 2.8962106L, 0.8672341L},
        {5, 1, 3.6467386L, 0.0L},
        {5, 2, 2.3246743L, 3.5710229L},
        {5, 3, 3.3519564L, 1.7426614L},
    };
    const std::optional<BesselRootTable> table = ReadBesselRootFile(kCommittedFile);
    ASSERT_TRUE(table);
    for (const Pole& p : published) {
        SCOPED_TRACE("order " + std::to_string(p.n) + " slot " + std::to_string(p.slot));
        EXPECT_NEAR((*table)[p.n][p.slot].re, p.re, 6e-8L);
        EXPECT_NEAR((*table)[p.n][p.slot].im, p.im, 6e-8L);
    }
}

TEST(BesselRootFile, MissingOrShortFileStopsTheBesselCalculation) {
    const std::filesystem::path dir = MakeTempDir("velmora_bessel_");
    const ScopedEnv env("VELMORA_DATA_DIR", dir.string());
    for (const bool shortFile : {false, true}) {
        if (shortFile) {
            std::ofstream out(dir / "BessRoot.dat", std::ios::binary);
            out << std::string(2399, '\0');
        }
        TDesign d;
        FillSpecification(d, {"lp", Lowpass, 0.5L, 30.0L, 1e3L, 2e3L});
        ClearApproximations(d);
        for (int i = 0; i < Bessel; ++i)
            ASSERT_EQ(ComputeApproximation(d, i), ApproxStatus::Ok);
        EXPECT_EQ(ComputeApproximation(d, Bessel), ApproxStatus::BesselRootsUnavailable);
        EXPECT_EQ(d.Approx[Bessel].Result.Order, 0); // the Bessel result stays cleared
        EXPECT_EQ(d.Approx[Bessel].Result.GainConstant, 0.0L);
        EXPECT_EQ(d.Approx[Butterworth].Result.Order, 7);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace velmora::test
