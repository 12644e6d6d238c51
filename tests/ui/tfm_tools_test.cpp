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

} // namespace
} // namespace velmora
