// The component characteristics form: what OK stores, when it marks a change, and a
// refused entry.
#include <string>

#include <gtest/gtest.h>

#include "support/designs.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_characteristics.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

TEST(TfmCharacteristics, OkStoresTheValuesAndSetsTheChangedFlagsOnlyOnAChange) {
    TDesign d; // a third-order lowpass (a first-order and a second-order stage) with its circuits
    ASSERT_TRUE(
        test::DesignFilter(d, {Lowpass, 0.5L, 15.0L, 1000.0L, 3000.0L, 0.0L, 3, 1.0L}, Butterworth).ok);
    RecordingDialogs dlg;
    TfmCharacteristics f(d, dlg);
    f.FormShow();
    ASSERT_EQ(f.Stages.size(), static_cast<std::size_t>(d.StageCount));
    d.Modified = 0;
    f.BitBtn2Click();
    EXPECT_FALSE(f.Changed);
    EXPECT_EQ(d.Modified, 0);

    // An invalid entry is refused with the design unchanged, on its stage's tab.
    f.FormShow();
    f.ResistorToleranceIndex = 6;
    f.Stages[1].GbwText = "fast";
    f.BitBtn2Click();
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"error: Invalid Number."});
    EXPECT_EQ(f.TabIndex, 1);
    EXPECT_TRUE(f.Visible);
    EXPECT_EQ((long double)d.Components.ResistorTolerance, 1.0L);
    EXPECT_EQ(d.Modified, 0);
    dlg.clear();

    // Every value as typed, in the record's units.
    f.FormShow();
    f.ResistorToleranceIndex = 0;  // 0.1 %
    f.CapacitorToleranceIndex = 6; // 10 %
    f.ResistorTempCoText = "50";
    f.CapacitorTempCoText = "-120";
    f.TempRiseIndex = 2;
    f.Stages[1].GbwText = "4.5";
    f.Stages[1].GbwToleranceIndex = 1;
    f.Stages[1].GbwTempCoIndex = 3;
    f.Stages[1].NoiseText = "7.5";
    f.BitBtn2Click();
    EXPECT_TRUE(f.Changed);
    EXPECT_EQ(d.Modified, 1);
    EXPECT_EQ((long double)d.Components.ResistorTolerance, Real48(0.1L));
    EXPECT_EQ((long double)d.Components.CapacitorTolerance, 10.0L);
    EXPECT_NEAR((double)d.Components.ResistorTempCo, 50e-6, 1e-15); // Real48: 2e-12 relative
    EXPECT_NEAR((double)d.Components.CapacitorTempCo, -120e-6, 1e-15);
    EXPECT_EQ((long double)d.Components.TempRise, 30.0L);
    EXPECT_EQ((long double)d.Circuits[2].OpAmpGBW, 4.5e6L);
    EXPECT_EQ((long double)d.Circuits[2].GbwTolerance, 10.0L);
    EXPECT_NEAR((double)d.Circuits[2].GbwTempCo, 4000e-6, 1e-14); // Real48: 2e-12 relative
    EXPECT_EQ((long double)d.Circuits[2].OpAmpNoise, 7.5L);
    EXPECT_EQ(d.Circuits[2].GbwChangedByUser, 1);
    EXPECT_EQ(d.Circuits[1].GbwChangedByUser, 0);

    EXPECT_TRUE(dlg.messages().empty());
}

} // namespace
} // namespace velmora
