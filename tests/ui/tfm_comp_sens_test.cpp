// The sensitivity table from hand-filled component slots: bar lengths against values
// worked out by hand, the scale over only the rows and columns shown.
#include <gtest/gtest.h>

#include "ui/tfm_comp_sens.h"

namespace velmora {
namespace {

TComponentItem Item(long double gain, long double wp, long double qp, long double wz = 0) {
    TComponentItem c;
    c.SensGain = gain;
    c.SensWp = wp;
    c.SensQp = qp;
    c.SensWz = wz;
    return c;
}

// An inverting lowpass like SLP03: T0 = -R2/R1, so S(T0, R1) = -1 and
// S(T0, R2) = +1; wp = 1/sqrt(R2 R3 C1 C2) does not depend on R1.
TDesign Slp03Like() {
    TDesign d;
    d.StageCount = 2;
    d.Stages[1].StageType = 2; // SLP
    TStageCircuit& c = d.Circuits[1];
    c.ResistorCount = 3;
    c.CapacitorCount = 2;
    c.Components[1] = Item(-1, 0, 0.25L);
    c.Components[2] = Item(1, -0.5L, -0.25L);
    c.Components[3] = Item(0, -0.5L, 1.0L / 3);
    c.Components[kResistorSlots + 1] = Item(0, -0.5L, 0.5L);
    c.Components[kResistorSlots + 2] = Item(0, -0.5L, -0.5L);
    // Beyond the counts: never shown, never in the scale.
    c.Components[4] = Item(50, 50, 50, 50);
    c.Components[kResistorSlots + 3] = Item(-70, 0, 0);
    d.Stages[2].StageType = 0; // FLP
    TStageCircuit& f = d.Circuits[2];
    f.ResistorCount = 1;
    f.CapacitorCount = 1;
    // Only T0 and wc are columns of a first-order table; a stray pole-Q value is not.
    f.Components[1] = Item(0.5L, -1, 9);
    f.Components[kResistorSlots + 1] = Item(0, -1, -9);
    return d;
}

TEST(TfmCompSens, SecondOrderStageBarsAgainstTheLargestMagnitude) {
    const TDesign d = Slp03Like();
    TfmCompSens form(d);
    form.FormShow();
    EXPECT_EQ(form.Tabs, (std::vector<std::string>{"Stage 1", "Stage 2"}));
    EXPECT_EQ(form.Stage, 1);
    EXPECT_EQ(form.ColumnTitles, (std::vector<std::string>{"T0", "wp", "Qp", "wz"}));
    EXPECT_EQ(form.Scale, 1);
    ASSERT_EQ(form.Rows.size(), 5u);
    const char* names[] = {"R1", "R2", "R3", "C1", "C2"};
    // Half column width 40: a sensitivity s gives trunc(40 s) pixels.
    const int bars[5][4] = {
        {-40, 0, 10, 0}, {40, -20, -10, 0}, {0, -20, 13, 0}, {0, -20, 20, 0}, {0, -20, -20, 0}};
    for (std::size_t r = 0; r < 5; ++r) {
        EXPECT_EQ(form.Rows[r].Name, names[r]);
        for (int k = 0; k < 4; ++k) {
            EXPECT_TRUE(form.Rows[r].Cells[static_cast<std::size_t>(k)].Shown);
            EXPECT_EQ(form.Rows[r].Cells[static_cast<std::size_t>(k)].Bar, bars[r][k])
                << names[r] << " col " << k;
        }
        EXPECT_FALSE(form.Rows[r].Cells[TfmCompSens::Wc].Shown);
    }
    EXPECT_EQ(form.Rows[0].Cells[TfmCompSens::T0].Text, "-1.000");
    EXPECT_EQ(form.Rows[2].Cells[TfmCompSens::Qp].Text, "0.333");
}

} // namespace
} // namespace velmora
