// Tuning instructions: the values of the sections against the closed forms of the
// second-order responses.
#include <cmath>

#include <gtest/gtest.h>

#include "circuits/circuit_stage_support.h"
#include "circuits/tuning.h"
#include "model/number_text.h"
#include "ui/tuning_text.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::kTwoPi;

const TuningSection* Find(const std::vector<TuningSection>& v, const std::string& name) {
    for (const TuningSection& s : v)
        if (s.name == name) return &s;
    return nullptr;
}

TEST(Tuning, SecondOrderValuesAgainstClosedForms) {
    const long double fp = 1000.0L, wp = kTwoPi * fp;
    // Lowpass, Q = 2, gain 1: peak gain Q / sqrt(1 - 1/(4 Q^2)) at fp sqrt(1 - 1/(2 Q^2)).
    {
        const long double q = 2.0L;
        const TDesign d = CalculatedStage("SLP01", wp, q, 1.0L);
        const auto t = StageTuning(d, 1);
        const TuningSection* peak = Find(t->magnitude, "Qp mag peak");
        ASSERT_TRUE(peak);
        EXPECT_EQ(peak->values[4], FixedText(q / std::sqrt(1.0L - 1.0L / (4.0L * q * q)), 3, 5));
        EXPECT_EQ(peak->values[5], FrequencyWithUnit(fp * std::sqrt(1.0L - 1.0L / (2.0L * q * q)), true));
        // 40 dB below the passband gain; the phase at fp is -90, at the Q frequencies -45 / -135.
        EXPECT_EQ(Find(t->magnitude, "wp mag")->values[3], "0.010");
        EXPECT_EQ(Find(t->phase, "wp phase")->values[3], "-90");
        const TuningSection* qph = Find(t->phase, "Qp phase");
        EXPECT_EQ(qph->values[4], "-45");
        EXPECT_EQ(qph->values[5], "-135");
        const long double r = std::sqrt(1.0L + 4.0L * q * q);
        EXPECT_EQ(qph->values[8], FrequencyWithUnit(fp * (r - 1.0L) / (2.0L * q), true));
        EXPECT_EQ(qph->values[9], FrequencyWithUnit(fp * (r + 1.0L) / (2.0L * q), true));
    }
    // Bandpass, Q = 5: the gain at 0.01 fp is K (0.01/Q) / sqrt((1 - 1e-4)^2 + (0.01/Q)^2),
    // far below the 40 dB the template names (that holds only at Q = 1); the 3-dB
    // frequencies are the Q frequencies.
    {
        const long double q = 5.0L, k = 2.0L, x = 0.01L;
        const TDesign d = CalculatedStage("SBP04", wp, q, k);
        const auto t = StageTuning(d, 1);
        const long double kActual = d.Circuits[1].ActualGain;
        const long double g =
            kActual * (x / q) / std::sqrt((1.0L - x * x) * (1.0L - x * x) + (x / q) * (x / q));
        EXPECT_EQ(Find(t->magnitude, "wp mag")->values[3], FixedText(g, 3, 5));
        const long double r = std::sqrt(1.0L + 4.0L * q * q);
        const TuningSection* s = Find(t->magnitude, "Qp mag peak");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->values[6], FrequencyWithUnit(fp * (r - 1.0L) / (2.0L * q), true));
        EXPECT_EQ(s->values[7], FrequencyWithUnit(fp * (r + 1.0L) / (2.0L * q), true));
    }
}

} // namespace
} // namespace velmora
