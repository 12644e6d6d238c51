// Reading ngspice's AC data back: gain and phase of hand-made lines against their closed
// forms, the phase unwrapped through the negative real axis, a second (Monte Carlo) sweep
// left out, and text that is no sweep refused.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/ngspice_overlay.h"

namespace velmora {
namespace {

TEST(NgspiceOverlay, ReadsTheFirstSweepWithUnwrappedPhase) {
    // A phase running from -170 to -190 degrees: atan2 jumps to +170 there, the reading must not.
    const std::string text = " 1.0e+02  -0.98480775  -0.17364818\n"
                             " 2.0e+02  -1.00000000   0.00000000\n"
                             " 4.0e+02  -0.49240388   0.08682409\n"
                             "\n"
                             " 1.0e+02  -0.5 0.0\n"; // a second run
    const auto s = ReadNgspiceAc(text);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->size(), 3u);
    const double gains[] = {0, 0, 20 * std::log10(0.5)}, phases[] = {-170, -180, -190};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR((*s)[i].GainDb, gains[i], 1e-6) << i;
        EXPECT_NEAR((*s)[i].PhaseDeg, phases[i], 1e-5) << i;
        EXPECT_NEAR((*s)[i].W, 2 * M_PI * (*s)[i].FHz, 1e-9 * (*s)[i].W);
    }
    for (const char* bad :
         {"", "1e2 1 0\n", "1e2 1 0\nCircuit: x\n", "1e2 nan 0\n2e2 1 0\n", "-1 1 0\n2 1 0\n"})
        EXPECT_FALSE(ReadNgspiceAc(bad)) << bad;
    EXPECT_EQ(OutputTail("a\nb\nc\nd\n\n", 2), "c\nd");
    EXPECT_EQ(OutputTail("only", 5), "only");
}

} // namespace
} // namespace velmora
