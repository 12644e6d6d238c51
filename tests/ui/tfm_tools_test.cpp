// The dB / V/V converter against values known by heart (20 dB is 10 V/V, 6.0206 dB is
// 2 V/V) and its refusals, and the window of standard values against the published
// one-decade tables.
#include <gtest/gtest.h>

#include "support/recording_dialogs.h"
#include "ui/tfm_tools.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

TEST(TfmDbConvert, ConversionsBothWays) {
    struct Case {
        const char* db;
        const char* vv;
    };
    // Read-outs of five significant digits.
    const Case toVv[] = {{"20", "10"},           {"-20", "0.1"},    {"0", "1"},
                         {"6.0206", "2"},        {"-3", "0.70795"}, {"700", "1.0000E+35"},
                         {"-700", "1.0000E-35"}, {"+40", "100"}};
    for (const Case& c : toVv) {
        RecordingDialogs dlg;
        TfmDbConvert form(dlg);
        form.DbText = c.db;
        form.DbToVvClick();
        EXPECT_EQ(form.VvText, c.vv) << c.db;
        EXPECT_TRUE(dlg.log.empty());
    }
    const Case toDb[] = {{"20", "10"}, {"-20", "0.1"}, {"0", "1"}, {"6.0206", "2"}, {"60", "1000"}};
    for (const Case& c : toDb) {
        RecordingDialogs dlg;
        TfmDbConvert form(dlg);
        form.VvText = c.vv;
        form.VvToDbClick();
        EXPECT_EQ(form.DbText, c.db) << c.vv;
        EXPECT_TRUE(dlg.log.empty());
    }
}

TEST(TfmDbConvert, RefusalsAndTheNegativeSign) {
    RecordingDialogs dlg;
    TfmDbConvert form(dlg);
    form.VvText = "5";
    for (const char* db : {"700.01", "-1000"}) {
        form.DbText = db;
        form.DbToVvClick();
    }
    form.DbText = "12dB";
    form.DbToVvClick();
    EXPECT_EQ(form.VvText, "5") << "nothing changes on a refusal";
    EXPECT_EQ(dlg.messages(), (std::vector<std::string>{"warning: dB limited here to +/- 700",
                                                        "warning: dB limited here to +/- 700",
                                                        "warning: The dB entry is not a number."}));
    dlg.clear();
    form.VvText = "-10";
    form.VvToDbClick();
    EXPECT_EQ(form.DbText, "20");
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"information: Negative sign ignored"}));
    dlg.clear();
    form.VvText = "0";
    form.VvToDbClick();
    form.VvText = "1";
    form.VvText = "x";
    form.VvToDbClick();
    EXPECT_EQ(form.DbText, "20");
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"beep", "warning: A gain of 0 V/V has no value in dB.",
                                                 "beep", "warning: The V/V entry is not a number."}));
}

TEST(TfmResValues, ThePublishedTablesOfEachSeries) {
    TfmResValues form;
    EXPECT_EQ(form.Caption, "Standard Resistance Values");
    EXPECT_EQ(form.SeriesTitle, "E96 (1 %)");
    ASSERT_EQ(form.Lines.size(), 8u);
    EXPECT_EQ(form.Lines[0], "1.00 1.02 1.05 1.07 1.10 1.13 1.15 1.18 1.21 1.24 1.27 1.30");
    EXPECT_EQ(form.Lines[7], "7.50 7.68 7.87 8.06 8.25 8.45 8.66 8.87 9.09 9.31 9.53 9.76");
    form.SeriesChange(1);
    EXPECT_EQ(form.SeriesTitle, "E24 (5 %)");
    EXPECT_EQ(form.Lines, (std::vector<std::string>{"1.0 1.1 1.2 1.3 1.5 1.6 1.8 2.0 2.2 2.4 2.7 3.0",
                                                    "3.3 3.6 3.9 4.3 4.7 5.1 5.6 6.2 6.8 7.5 8.2 9.1"}));
    form.SeriesChange(2);
    EXPECT_EQ(form.SeriesTitle, "E12 (10 %)");
    EXPECT_EQ(form.Lines, (std::vector<std::string>{"1.0 1.2 1.5 1.8 2.2 2.7 3.3 3.9 4.7 5.6 6.8 8.2"}));
}

} // namespace
} // namespace velmora
