// The capacitor entry form (its range, the refusals with their messages, an accepted
// entry reaching the stage) and the tuning instructions of a calculated stage.
#include <gtest/gtest.h>

#include <cmath>

#include "circuits/circuit_stage_support.h"
#include "circuits/component_adjustment.h"
#include "circuits/tuning.h"
#include "model/number_text.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_comp_adj.h"
#include "ui/tuning_text.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::kTwoPi;
using test::RecordingDialogs;

TEST(TfmCapAdj, RangeEntriesAndMessages) {
    // The state-variable lowpass takes any capacitor pair; C1 = 10 nF.
    TDesign d = CalculatedStage("SLP13", 1000.0L, 1.3L, 2.0L);
    RecordingDialogs dlg;
    TfmCapAdj form(d, dlg);
    form.Open(1, 1);
    ASSERT_TRUE(form.Visible);
    EXPECT_EQ(form.CurrentText, "10");
    EXPECT_EQ(form.MinText, "8.9286"); // 10 / 1.12
    EXPECT_EQ(form.MaxText, "11.2");
    EXPECT_EQ(form.ConstraintText, "");

    struct Case {
        const char* entry;
        std::string message; // empty: accepted
    };
    const Case refused[] = {{"", "warning: Value not entered!"},
                            {"11.3", "warning: Value does not fall within required range!"},
                            {"ten", "warning: Value is not a number!"}};
    for (const Case& k : refused) {
        dlg.clear();
        form.Entry = k.entry;
        EXPECT_FALSE(form.OKClick()) << k.entry;
        EXPECT_TRUE(form.Visible);
        EXPECT_EQ(dlg.messages(), std::vector<std::string>{k.message}) << k.entry;
    }
    EXPECT_NEAR(static_cast<double>(C(d.Circuits[1], 1)), 10.0e-9, 1e-20);

    // The shown Max itself is accepted; the stage is recalculated for it.
    dlg.clear();
    form.Entry = "11.2";
    EXPECT_TRUE(form.OKClick());
    EXPECT_TRUE(dlg.messages().empty());
    EXPECT_NEAR(static_cast<double>(C(d.Circuits[1], 1)), 11.2e-9, 1e-20);
    EXPECT_EQ(d.Circuits[1].CapsExact, 1);
    form.StndClick();
    EXPECT_EQ(form.Entry, "12"); // the nearest 12-value series value
}

// Tuning instructions: the values of the sections against the closed forms of the
// second-order responses.
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
