// The capacitor entry form: its range, the refusals with their messages, and an
// accepted entry reaching the stage.
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

} // namespace
} // namespace velmora
