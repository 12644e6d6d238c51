// The capacitor and resistor entry forms: ranges, the unity-gain Sallen-Key limit,
// refusals with their messages, and accepted entries reaching the stage.
#include <gtest/gtest.h>

#include "circuits/circuit_stage_support.h"
#include "circuits/component_adjustment.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_comp_adj.h"

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
    EXPECT_EQ(form.Caption, "Adjust C1");
    EXPECT_EQ(form.Unit, "nF");
    EXPECT_EQ(form.CurrentText, "10");
    EXPECT_EQ(form.MinText, "8.9286"); // 10 / 1.12
    EXPECT_EQ(form.MaxText, "11.2");
    EXPECT_EQ(form.ConstraintText, "");

    struct Case {
        const char* entry;
        std::string message; // empty: accepted
    };
    const Case refused[] = {{"", "warning: Value not entered!"},
                            {"   ", "warning: Value not entered!"},
                            {"11.3", "warning: Value does not fall within required range!"},
                            {"8.9", "warning: Value does not fall within required range!"},
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
    // The range stays centred on the reference value, not on the entry.
    form.Open(1, 1);
    EXPECT_EQ(form.MaxText, "11.2");
    EXPECT_EQ(form.CurrentText, "11.2");
    form.StndClick();
    EXPECT_EQ(form.Entry, "12"); // the nearest 12-value series value
}

TEST(TfmCapAdj, SallenKeyLimitAndTiedCircuits) {
    // Unity-gain Sallen-Key at Qp = 1/sqrt(2): R1 = R2, so C1 cannot grow at all.
    TDesign d = CalculatedStage("SLP01", kTwoPi * 1000.0L, 0.7071067811865476L, 1.0L);
    RecordingDialogs dlg;
    TfmCapAdj form(d, dlg);
    form.Open(1, 1);
    ASSERT_TRUE(form.Visible);
    EXPECT_EQ(form.MaxText, form.CurrentText);
    EXPECT_EQ(
        form.ConstraintText,
        "This circuit is additionally constrained. At this point in the design, a minimum ratio of C2/C1 "
        "must be maintained. Therefore, C1 cannot exceed " +
            form.CurrentText + "nF.");
    const ComponentValues<long double> before = StageComponentValues(d.Circuits[1]);
    form.Entry = form.CurrentText; // the reference value: the same resistors
    EXPECT_TRUE(form.OKClick());
    EXPECT_NEAR(static_cast<double>(R(d.Circuits[1], 1) / before.R[1]), 1.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(R(d.Circuits[1], 2) / before.R[2]), 1.0, 1e-12);

    form.Open(1, 2);
    EXPECT_EQ(form.MinText, form.CurrentText);
    EXPECT_NE(form.ConstraintText.find("C2 must be at least "), std::string::npos);

    TDesign f = CalculatedStage("SLPN04", kTwoPi * 1000.0L, 2.0L, 1.0L, kTwoPi * 1500.0L);
    TfmCapAdj tied(f, dlg);
    tied.Open(1, 1);
    EXPECT_FALSE(tied.Visible);
    EXPECT_EQ(tied.Report, kNotAmenableText);
}

TEST(TfmResAdj, MultipliersLowValuesAndSeriesSpin) {
    TDesign d = CalculatedStage("SLP03", kTwoPi * 1000.0L, 1.3L, 2.0L);
    d.Components.ResistorTolerance = 5.0L;
    RecordingDialogs dlg;
    TfmResAdj form(d, dlg);
    form.Open(1, 2);
    ASSERT_TRUE(form.Visible);
    EXPECT_EQ(form.Title, "Adjust R2");
    EXPECT_TRUE(form.SpinEnabled);

    form.Entry = "0.005";
    EXPECT_FALSE(form.OKClick());
    form.Entry = "4.7 ohms";
    EXPECT_FALSE(form.OKClick());
    EXPECT_EQ(dlg.messages(), (std::vector<std::string>{"warning: Resistance value is unacceptably low",
                                                        "warning: Value is not a number!"}));
    EXPECT_EQ(static_cast<long double>(d.Circuits[1].Components[2].Adjusted), 0.0L);

    form.Entry = "4.7K";
    form.SpinUp();
    EXPECT_EQ(form.Entry, "5.1K"); // the next E24 value
    form.Entry = "9.1K";
    form.SpinUp();
    EXPECT_EQ(form.Entry, "10K"); // across the decade
    form.SpinDown();
    EXPECT_EQ(form.Entry, "9.1K");
    form.Entry = "4.7K";
    EXPECT_TRUE(form.OKClick());
    EXPECT_EQ(static_cast<long double>(d.Circuits[1].Components[2].Adjusted), 4700.0L);
    EXPECT_EQ(d.Circuits[1].Components[2].AdjustedMark, 1);

    d.Components.ResistorTolerance = 2.0L;
    form.Open(1, 2);
    EXPECT_FALSE(form.SpinEnabled);
    EXPECT_FALSE(form.SpinReason.empty());
}

} // namespace
} // namespace velmora
