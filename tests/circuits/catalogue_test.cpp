// The catalogue's Sallen-Key bandpass netlist: the op amp's inputs the right way round,
// which only a finite-gain amplifier shows.

#include <gtest/gtest.h>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"

namespace velmora {
namespace {

TEST(Catalogue, SallenKeyBandpassHasNegativeFeedback) {
    // With ideal op amps the two input orders give the same response; only a finite-gain
    // amplifier tells them apart. Positive feedback around A(s) = wt/s puts a real pole in
    // the right half-plane, where the response on the positive real axis s = sigma then
    // passes through infinity and changes sign. The catalogue's netlist (the + input on
    // the R3-C1 node, the - input on the gain divider) has no such pole.
    ComponentValues<long double> v;
    v.R[1] = v.R[3] = v.R[4] = v.R[5] = 10.0e3L;
    v.R[2] = 20.0e3L;
    v.C[1] = v.C[2] = 10.0e-9L;
    const Topology* t = FindTopology("SBP03");
    ASSERT_TRUE(t);
    Topology swapped = *t;
    std::swap(swapped.opamps[0].plus, swapped.opamps[0].minus);
    const auto signChanges = [&](const Topology& net) {
        int changes = 0;
        long double previous = 0;
        for (long double sigma = 1.0L; sigma < 1.0e9L; sigma *= 1.05L) {
            const auto h = NodalResponse(net, v, {sigma, 0.0L}, OpAmpModel::SinglePole(1.0e6L));
            if (!h) continue;
            if (previous != 0 && (h->real() > 0) != (previous > 0)) ++changes;
            previous = h->real();
        }
        return changes;
    };
    EXPECT_EQ(signChanges(*t), 0);
    EXPECT_GT(signChanges(swapped), 0);
    const Complex s{0.0L, 1.0e4L};
    EXPECT_LT(std::abs(*NodalResponse(*t, v, s) - *NodalResponse(swapped, v, s)), 1.0e-15L);
}

} // namespace
} // namespace velmora
