// The dB / V/V converter against values known by heart (20 dB is 10 V/V, 6.0206 dB is
// 2 V/V).
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
    const Case toVv[] = {{"-20", "0.1"}, {"6.0206", "2"}, {"-3", "0.70795"}, {"700", "1.0000E+35"}};
    for (const Case& c : toVv) {
        RecordingDialogs dlg;
        TfmDbConvert form(dlg);
        form.DbText = c.db;
        form.DbToVvClick();
        EXPECT_EQ(form.VvText, c.vv) << c.db;
        EXPECT_TRUE(dlg.log.empty());
    }
    const Case toDb[] = {{"-20", "0.1"}, {"6.0206", "2"}, {"60", "1000"}};
    for (const Case& c : toDb) {
        RecordingDialogs dlg;
        TfmDbConvert form(dlg);
        form.VvText = c.vv;
        form.VvToDbClick();
        EXPECT_EQ(form.DbText, c.db) << c.vv;
        EXPECT_TRUE(dlg.log.empty());
    }
}

} // namespace
} // namespace velmora
