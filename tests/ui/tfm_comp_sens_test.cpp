// The sensitivity table from hand-filled component slots: bar lengths against values
// worked out by hand, the scale over only the rows and columns shown, a zero scale,
// first-order columns, and the bars a painted table shows.
#include <gtest/gtest.h>

#include "support/recording_surface.h"
#include "ui/tfm_comp_sens.h"

namespace velmora {
namespace {

using test::RecordingSurface;

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
    EXPECT_EQ(form.Title, "Sensitivity of ->");
    EXPECT_EQ(form.SecondTitle, "w.r.t.:");
    EXPECT_EQ(form.SignCaption, "-   +");
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

TEST(TfmCompSens, FirstOrderStageShowsT0AndWcOnly) {
    const TDesign d = Slp03Like();
    TfmCompSens form(d);
    form.FormShow();
    form.TabChange(2);
    EXPECT_TRUE(form.FirstOrder);
    EXPECT_EQ(form.ColumnTitles, (std::vector<std::string>{"T0", "wp", "Qp", "wz", "wc"}));
    // The scale is 1 (the wc column), not 9 (a pole-Q field the table does not show).
    EXPECT_EQ(form.Scale, 1);
    ASSERT_EQ(form.Rows.size(), 2u);
    EXPECT_EQ(form.Rows[0].Cells[TfmCompSens::T0].Bar, 20);
    EXPECT_EQ(form.Rows[0].Cells[TfmCompSens::Wc].Bar, -40);
    EXPECT_EQ(form.Rows[1].Cells[TfmCompSens::Wc].Bar, -40);
    for (int k : {TfmCompSens::Wp, TfmCompSens::Qp, TfmCompSens::Wz}) {
        EXPECT_FALSE(form.Rows[0].Cells[static_cast<std::size_t>(k)].Shown);
        EXPECT_EQ(form.Rows[0].Cells[static_cast<std::size_t>(k)].Text, "");
    }
}

TEST(TfmCompSens, PaintedBarsRunFromTheCentreLine) {
    const TDesign d = Slp03Like();
    TfmCompSens form(d);
    form.FormShow();
    RecordingSurface s;
    form.Paint(s, 0, 0);
    // One bar per non-zero cell shown: 2 + 3 + 2 + 2 + 2.
    int fills = 0;
    for (const std::string& call : s.log)
        fills += call.rfind("fill", 0) == 0;
    EXPECT_EQ(fills, 11);
    // R1's gain bar: full length to the left of the T0 column's centre (60 + 45).
    bool found = false;
    for (const std::string& call : s.log)
        found |= call.rfind("fill 65,", 0) == 0 && call.find(" 105,") != std::string::npos;
    EXPECT_TRUE(found);
}

} // namespace
} // namespace velmora
