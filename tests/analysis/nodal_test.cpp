// The nodal analysis against networks solved by hand, with ideal and single-pole op amps.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "analysis/nodal.h"

namespace velmora {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

Topology Net(std::vector<NetComponent> parts, std::vector<NetOpAmp> opamps = {}) {
    Topology t{.key = "test", .parts = std::move(parts), .opamps = std::move(opamps)};
    for (const auto& p : t.parts)
        t.highestNode = std::max({t.highestNode, p.a, p.b});
    for (const auto& a : t.opamps)
        t.highestNode = std::max({t.highestNode, a.plus, a.minus, a.out});
    return t;
}

// Relative distance of two complex values (the solver works in long double; 1e-15 leaves
// room for the elimination's rounding over a few unknowns).
const auto RelErr = [](Complex a, Complex b) -> long double { return std::abs(a - b) / std::abs(b); };
constexpr long double kTol = 1.0e-15L;

const Complex kFrequencies[] = {
    {0.0L, 10.0L}, {0.0L, 6283.0L}, {0.0L, 1.0e6L}, {-300.0L, 2.0e4L}, {1.0e3L, 0.0L}};

TEST(NodalResponse, PassiveNetworks) {
    const ComponentValues<long double> v{{0, 10.0e3L, 4.7e3L}, {0, 22.0e-9L}};
    const Topology rc = Net({{'R', 1, 1, 2}, {'C', 1, 2, 0}});
    const Topology divider = Net({{'R', 1, 1, 2}, {'R', 2, 2, 0}});
    for (const Complex s : kFrequencies) {
        const auto h = NodalResponse(rc, v, s);
        ASSERT_TRUE(h);
        EXPECT_LT(RelErr(*h, 1.0L / (1.0L + s * v.R[1] * v.C[1])), kTol);
        const auto g = NodalResponse(divider, v, s);
        ASSERT_TRUE(g);
        EXPECT_LT(RelErr(*g, Complex(v.R[2] / (v.R[1] + v.R[2]))), kTol);
    }
}

TEST(NodalResponse, FollowerIdealAndSinglePole) {
    const Topology follower = Net({}, {{1, 1, 2, 2}});
    const ComponentValues<long double> v;
    const long double wt = 2.0L * kPi * 1.0e6L;
    for (const Complex s : kFrequencies) {
        EXPECT_LT(RelErr(*NodalResponse(follower, v, s), Complex(1.0L)), kTol);
        // A / (1 + A) with A = wt / s: wt / (s + wt).
        EXPECT_LT(RelErr(*NodalResponse(follower, v, s, OpAmpModel::SinglePole(1.0e6L)), wt / (s + wt)),
                  kTol);
        // A finite DC gain A0: A = wt / (s + wt/A0).
        const long double a0 = 1.0e5L;
        const Complex A = wt / (s + wt / a0);
        EXPECT_LT(RelErr(*NodalResponse(follower, v, s, OpAmpModel::SinglePole(1.0e6L, a0)), A / (1.0L + A)),
                  kTol);
    }
}

TEST(NodalResponse, InvertingAmplifierAndIntegrator) {
    const ComponentValues<long double> v{{0, 3.3e3L, 47.0e3L}, {0, 10.0e-9L}};
    const Topology inverting = Net({{'R', 1, 1, 3}, {'R', 2, 3, 2}}, {{1, 0, 3, 2}});
    const Topology integrator = Net({{'R', 1, 1, 3}, {'C', 1, 3, 2}}, {{1, 0, 3, 2}});
    const long double R1 = v.R[1], R2 = v.R[2], wt = 2.0L * kPi * 2.0e6L;
    for (const Complex s : kFrequencies) {
        EXPECT_LT(RelErr(*NodalResponse(inverting, v, s), Complex(-R2 / R1)), kTol);
        // V- = (V1 R2 + Vo R1)/(R1 + R2), Vo = -A V-:  H = -A R2 / (R1 + R2 + A R1).
        const Complex A = wt / s;
        EXPECT_LT(RelErr(*NodalResponse(inverting, v, s, OpAmpModel::SinglePole(2.0e6L)),
                         -A * R2 / (R1 + R2 + A * R1)),
                  kTol);
        EXPECT_LT(RelErr(*NodalResponse(integrator, v, s), -1.0L / (s * R1 * v.C[1])), kTol);
    }
}

TEST(NodalResponse, SecondOrderCatalogueNetworksMatchTheirClosedForms) {
    const ComponentValues<long double> v{{0, 12.0e3L, 33.0e3L, 8.2e3L, 15.0e3L}, {0, 1.0e-9L, 4.7e-9L}};
    const long double R1 = v.R[1], R2 = v.R[2], R3 = v.R[3], R4 = v.R[4], C1 = v.C[1], C2 = v.C[2];
    for (const Complex s : kFrequencies) {
        // Unity-gain Sallen-Key lowpass: 1 / (s^2 R1 R2 C1 C2 + s (R1 + R2) C1 + 1).
        const Complex slp01 = 1.0L / (s * s * R1 * R2 * C1 * C2 + s * (R1 + R2) * C1 + 1.0L);
        EXPECT_LT(RelErr(*NodalResponse("SLP01", v, s), slp01), kTol);
        // Sallen-Key lowpass with gain K = 1 + R4/R3: the feedback capacitor C2 sees
        // (1 - K) of its voltage: K / (s^2 R1 R2 C1 C2 + s ((R1 + R2) C1 + (1 - K) R1 C2) + 1).
        const long double K = 1.0L + R4 / R3;
        const Complex slp02 =
            K / (s * s * R1 * R2 * C1 * C2 + s * ((R1 + R2) * C1 + (1.0L - K) * R1 * C2) + 1.0L);
        EXPECT_LT(RelErr(*NodalResponse("SLP02", v, s), slp02), kTol);
        // Multiple-feedback lowpass: -G1 G3 / (C1 C2) / (s^2 + s (G1 + G2 + G3)/C2 + G2 G3 / (C1 C2)).
        const long double G1 = 1 / R1, G2 = 1 / R2, G3 = 1 / R3;
        const Complex slp03 =
            -(G1 * G3 / (C1 * C2)) / (s * s + s * (G1 + G2 + G3) / C2 + G2 * G3 / (C1 * C2));
        EXPECT_LT(RelErr(*NodalResponse("SLP03", v, s), slp03), kTol);
    }
}

TEST(NodalResponse, NoAnswerWithoutASolvableNetwork) {
    const ComponentValues<long double> v{{0, 1.0e3L}, {0, 1.0e-9L}};
    const Topology integrator = Net({{'R', 1, 1, 3}, {'C', 1, 3, 2}}, {{1, 0, 3, 2}});
    EXPECT_FALSE(NodalResponse(integrator, v, {0.0L, 0.0L})) << "infinite DC gain";
    ComponentValues<long double> missing = v;
    missing.R[1] = 0.0L;
    EXPECT_FALSE(NodalResponse(integrator, missing, {0.0L, 1.0e3L}));
    missing.R[1] = NAN;
    EXPECT_FALSE(NodalResponse(integrator, missing, {0.0L, 1.0e3L}));
    EXPECT_FALSE(NodalResponse("XYZ01", v, {0.0L, 1.0e3L}));
    EXPECT_FALSE(NodalResponse(integrator, v, {0.0L, 1.0e3L}, OpAmpModel::SinglePole(0.0L)));
}

} // namespace
} // namespace velmora
