#include "approx/bessel_roots.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include "model/paths.h"
#include "model/real48.h"

namespace velmora {

namespace {
using Complex = std::complex<long double>;

// theta_n(z) and theta_n'(z) by Horner's scheme over the coefficients a_0..a_n.
template <typename C, typename R> void EvaluateWithDerivative(const std::vector<R>& a, C z, C& p, C& dp) {
    p = C(0);
    dp = C(0);
    for (auto it = a.rbegin(); it != a.rend(); ++it) {
        dp = dp * z + p;
        p = p * z + C(*it);
    }
}

// A minimal complex number over binary128, enough for Horner's scheme and one
// division. The coefficients of theta_20 span 23 decades; near the roots Horner's
// scheme in long double keeps only about ten digits, fewer than a Real48 holds. The
// coefficients are integers below 2^113 and therefore exact in binary128, whose
// 34 digits leave more than 20 after the same loss.
struct Quad {
    __float128 re = 0, im = 0;
    Quad() = default;
    Quad(__float128 r) : re(r) {} // NOLINT: real to complex
    Quad(__float128 r, __float128 i) : re(r), im(i) {}
    friend Quad operator+(Quad a, Quad b) { return {a.re + b.re, a.im + b.im}; }
    friend Quad operator-(Quad a, Quad b) { return {a.re - b.re, a.im - b.im}; }
    friend Quad operator*(Quad a, Quad b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
    friend Quad operator/(Quad a, Quad b) {
        const __float128 d = b.re * b.re + b.im * b.im;
        return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
    }
};

// Exact integer coefficients a_k = a_(k+1) (2n - k)(k + 1) / (2 (n - k)), a_n = 1.
std::vector<__float128> ExactCoefficients(int n) {
    std::vector<__float128> a(n + 1);
    a[n] = 1;
    for (int k = n - 1; k >= 0; --k)
        a[k] = a[k + 1] * (2 * n - k) * (k + 1) / (2 * (n - k));
    return a;
}

constexpr int kAberthIterations = 300;
// Relative Aberth correction at which the roots are separated well enough for Newton's
// method to converge quadratically to each of them.
constexpr long double kSeparated = 1e-8L;
constexpr int kNewtonSteps = 8; // 1e-8 -> 1e-16 -> 1e-32: three steps suffice
} // namespace

std::vector<long double> ReverseBesselCoefficients(int n) {
    // a_n = 1 and a_k = a_(k+1) (2n - k)(k + 1) / (2 (n - k)): integers, exact in long
    // double up to 2^64 and correctly rounded beyond.
    std::vector<long double> a(n + 1);
    a[n] = 1.0L;
    for (int k = n - 1; k >= 0; --k)
        a[k] = a[k + 1] * (2.0L * n - k) * (k + 1) / (2.0L * (n - k));
    return a;
}

std::vector<Complex> ReverseBesselRoots(int n) {
    const std::vector<long double> a = ReverseBesselCoefficients(n);
    // Start on a circle of the roots' geometric-mean radius |a_0|^(1/n), turned off the
    // real axis so that no two starts are conjugate.
    const long double radius = std::pow(a[0], 1.0L / n);
    std::vector<Complex> z(n);
    for (int i = 0; i < n; ++i) {
        const long double angle = 2.0L * std::numbers::pi_v<long double> * (i + 0.25L) / n + 0.4L;
        z[i] = std::polar(radius, angle);
    }
    // Aberth: all roots at once, z_i -= w_i / (1 - w_i sum_j!=i 1/(z_i - z_j)),
    // w_i = p(z_i)/p'(z_i); the sum keeps the iterates apart.
    long double largestStep = 0.0L;
    for (int iter = 0; iter < kAberthIterations; ++iter) {
        largestStep = 0.0L;
        for (int i = 0; i < n; ++i) {
            Complex p, dp;
            EvaluateWithDerivative(a, z[i], p, dp);
            if (p == Complex(0)) continue;
            const Complex w = p / dp;
            Complex repulsion = 0;
            for (int j = 0; j < n; ++j)
                if (j != i) repulsion += 1.0L / (z[i] - z[j]);
            const Complex step = w / (1.0L - w * repulsion);
            z[i] -= step;
            largestStep = std::max(largestStep, std::abs(step) / std::abs(z[i]));
        }
    }
    if (!(largestStep <= kSeparated)) return {};
    // Newton's method on each root, in binary128.
    const std::vector<__float128> exact = ExactCoefficients(n);
    for (Complex& root : z) {
        Quad x(root.real(), root.imag());
        for (int step = 0; step < kNewtonSteps; ++step) {
            Quad p, dp;
            EvaluateWithDerivative(exact, x, p, dp);
            if ((p.re == 0 && p.im == 0) || (dp.re == 0 && dp.im == 0)) break;
            x = x - p / dp;
        }
        root = Complex(static_cast<long double>(x.re), static_cast<long double>(x.im));
        if (!std::isfinite(root.real()) || !std::isfinite(root.imag())) return {};
    }
    return z;
}

std::vector<uint8_t> BesselRootFileImage() {
    std::vector<uint8_t> image(kBesselFileBytes, 0);
    auto put = [&](int n, int slot, long double re, long double im) {
        const std::size_t at = (n - 1) * kBesselOrderBytes + (slot - 1) * kBesselSlotBytes;
        const Real48::Bytes reBytes = encodeReal48(re);
        const Real48::Bytes imBytes = encodeReal48(im);
        std::copy(reBytes.begin(), reBytes.end(), image.begin() + at);
        std::copy(imBytes.begin(), imBytes.end(), image.begin() + at + 6);
    };
    for (int n = 1; n <= kBesselMaxOrder; ++n) {
        std::vector<Complex> roots = ReverseBesselRoots(n);
        if (static_cast<int>(roots.size()) != n) return {};
        // Real root: the one nearest the real axis (odd n only); pairs: the upper poles.
        std::sort(roots.begin(), roots.end(),
                  [](const Complex& x, const Complex& y) { return x.imag() > y.imag(); });
        const int pairs = n / 2;
        int slot = 1;
        if (n % 2 == 1) put(n, slot++, -roots[pairs].real(), 0.0L);
        for (int i = 0; i < pairs; ++i) {
            // Every upper pole must sit above the axis; the middle root of an odd order
            // must be real to the iteration's accuracy.
            if (roots[i].imag() <= 0) return {};
            put(n, slot++, -roots[i].real(), roots[i].imag());
        }
        if (n % 2 == 1 && std::fabs(roots[pairs].imag()) > 1e-12L * std::abs(roots[pairs])) return {};
    }
    return image;
}

std::optional<BesselRootTable> ParseBesselRoots(const std::vector<uint8_t>& image) {
    if (image.size() < static_cast<std::size_t>(kBesselFileBytes)) return std::nullopt;
    BesselRootTable table{};
    for (int n = 1; n <= kBesselMaxOrder; ++n) {
        for (int j = 1; j <= kBesselSlots; ++j) {
            const std::size_t at = (n - 1) * kBesselOrderBytes + (j - 1) * kBesselSlotBytes;
            Real48::Bytes re{}, im{};
            std::copy_n(image.begin() + at, 6, re.begin());
            std::copy_n(image.begin() + at + 6, 6, im.begin());
            table[n][j] = {decodeReal48(re), decodeReal48(im)};
        }
    }
    return table;
}

std::optional<BesselRootTable> ReadBesselRootFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> image(kBesselFileBytes);
    in.read(reinterpret_cast<char*>(image.data()), kBesselFileBytes);
    if (in.gcount() != kBesselFileBytes) return std::nullopt;
    return ParseBesselRoots(image);
}

std::optional<BesselRootTable> ReadBesselRootFile() {
    return ReadBesselRootFile(ProgramDataFile(kBesselFileName));
}

} // namespace velmora
