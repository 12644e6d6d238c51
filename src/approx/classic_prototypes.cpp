// Butterworth, Chebyshev and Inverse Chebyshev prototypes. The poles lie on a circle
// (Butterworth) or an ellipse (Chebyshev) at the angles theta_k; the Inverse Chebyshev
// poles are the reciprocals of Chebyshev poles and its zeros the reciprocals of the
// Chebyshev polynomial's roots, which puts the equiripple band into the stopband.
#include <cmath>
#include <numbers>

#include "approx/order_estimation.h"
#include "approx/prototypes.h"

namespace velmora {

namespace {
constexpr long double pi = std::numbers::pi_v<long double>;

// K := K * C_k over the stored pairs, so the product matches the stored sections.
long double ProductOfPairConstants(const Approximation& a, int pairs) {
    long double product = 1.0L;
    for (int k = 1; k <= pairs; ++k)
        product *= a.PoleTable[k].CNorm;
    return product;
}
} // namespace

void StorePrototypePair(Approximation& a, int k, long double sigma, long double omega) {
    a.PoleList[k].ReNorm = sigma;
    a.PoleList[k].ImNorm = omega;
    PoleTableEntry& e = a.PoleTable[k];
    e.BNorm = 2.0L * sigma;
    e.CNorm = sigma * sigma + omega * omega;
    e.Wp = std::sqrt(e.CNorm.value());
    e.Qp = e.Wp / e.BNorm;
}

long double PoleAngle(int k, int N) {
    return (2.0L * k - 1.0L) * pi / (2.0L * N);
}

void ComputeButterworth(Approximation& a, const Specification& spec) {
    ApproxResult& r = a.Result;
    const OrderChoice order = ChooseOrder(spec, [&] {
        return ButterworthOrderEstimate(PassbandExcess(spec.Apb), StopbandExcess(spec.Asb), spec.Selectivity);
    });
    if (!RecordOrder(r, spec, order.N, false)) return;
    const int N = r.Order;

    // |H(jw)|^2 = 1 / (1 + eps^2 w^(2N)); the poles lie on the circle of radius
    // r = eps^(-1/N), where the attenuation is 3 dB.
    const long double eps = std::sqrt(PassbandExcess(spec.Apb));
    a.RippleFactor = eps;
    const long double radius = 1.0L / std::exp(std::log(eps) / N);
    for (int k = 1; k <= N / 2; ++k) {
        const long double theta = PoleAngle(k, N);
        const long double sigma = std::fabs(radius * std::cos(pi / 2 + theta));
        const long double omega = radius * std::sin(pi / 2 + theta);
        StorePrototypePair(a, k, sigma, omega);
    }
    long double K = ProductOfPairConstants(a, N / 2);
    if (r.HasRealPole) {
        r.RealPoleNorm = radius;
        K *= r.RealPoleNorm;
    }
    r.GainConstantNorm = K;
}

void ComputeChebyshev(Approximation& a, const Specification& spec) {
    ApproxResult& r = a.Result;
    const OrderChoice order = ChooseOrder(spec, [&] {
        return ChebyshevOrderEstimate(PassbandExcess(spec.Apb), StopbandExcess(spec.Asb), spec.Selectivity);
    });
    if (!RecordOrder(r, spec, order.N, false)) return;
    const int N = r.Order;

    // Poles on the ellipse with semi-axes sinh(alpha) and cosh(alpha),
    // alpha = arcsinh(1/eps) / N.
    const long double eps = std::sqrt(PassbandExcess(spec.Apb));
    a.RippleFactor = eps;
    const long double alpha = std::asinh(1.0L / eps) / N;
    for (int k = 1; k <= N / 2; ++k) {
        const long double theta = PoleAngle(k, N);
        StorePrototypePair(a, k, std::sinh(alpha) * std::sin(theta), std::cosh(alpha) * std::cos(theta));
    }
    // An even-order Chebyshev response starts at the bottom of its ripple.
    long double K = (N % 2 == 1) ? 1.0L : std::pow(10.0L, -0.05L * spec.Apb);
    K *= ProductOfPairConstants(a, N / 2);
    if (r.HasRealPole) {
        r.RealPoleNorm = std::fabs(std::sinh(alpha) * std::sin(pi / 2));
        K *= r.RealPoleNorm;
    }
    r.GainConstantNorm = K;
}

void ComputeInverseChebyshev(Approximation& a, Specification& spec) {
    ApproxResult& r = a.Result;
    const long double s = spec.Selectivity;
    const OrderChoice order = ChooseOrder(
        spec, [&] { return ChebyshevOrderEstimate(PassbandExcess(spec.Apb), StopbandExcess(spec.Asb), s); });
    if (!RecordOrder(r, spec, order.N, true)) return;
    const int N = r.Order;

    // |H|^2 = eps^-2 T_N(1/w)^2 / (1 + eps^-2 T_N(1/w)^2) (stopband edge at w = 1).
    // A forced or rounded-up order keeps the attenuation at the passband edge w = 1/s
    // exactly Apb and gains stopband attenuation; an exact order meets both edges.
    long double eps;
    if (order.forced || order.roundedUp) {
        eps = 1.0L / (std::sqrt(PassbandExcess(spec.Apb)) * std::cosh(N * std::acosh(s)));
        if (order.forced) spec.Asb = 10.0L * std::log10(1.0L + 1.0L / (eps * eps));
    } else {
        eps = std::sqrt(1.0L / StopbandExcess(spec.Asb));
    }
    a.RippleFactor = eps;
    const long double alpha = std::asinh(1.0L / eps) / N;
    long double K = 1.0L;
    if (r.HasRealPole) {
        r.RealPoleNorm = 1.0L / std::sinh(alpha);
        K *= r.RealPoleNorm;
    }
    for (int k = 1; k <= N / 2; ++k) {
        const long double theta = PoleAngle(k, N);
        const long double sigmaC = std::sinh(alpha) * std::sin(theta); // Chebyshev pole
        const long double omegaC = std::cosh(alpha) * std::cos(theta);
        const long double m2 = sigmaC * sigmaC + omegaC * omegaC;
        const long double sigma = sigmaC / m2; // its reciprocal
        const long double omega = omegaC / m2;
        a.PoleList[k].ReNorm = sigma;
        a.PoleList[k].ImNorm = omega;
        PoleTableEntry& e = a.PoleTable[k];
        e.Wp = std::sqrt(sigma * sigma + omega * omega);
        e.Qp = e.Wp / (2.0L * sigma);
        e.BNorm = e.Wp / e.Qp;
        e.CNorm = e.Wp * e.Wp;
        const long double wz = 1.0L / std::cos(theta); // reciprocal of a root of T_N
        a.ZeroList[k].WzNorm = wz;
        a.ZeroTable[k].Wz2Norm = wz * wz;
        K *= e.CNorm / a.ZeroTable[k].Wz2Norm;
    }
    r.GainConstantNorm = K;
}

} // namespace velmora
