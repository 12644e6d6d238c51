// The dB / V/V converter against values known by heart (20 dB is 10 V/V, 6.0206 dB is
// 2 V/V).
#include <gtest/gtest.h>

#include "support/recording_dialogs.h"
#include "ui/tfm_tools.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

TEST(TfmDbConvert, ConversionsBothWays) {
    // Read-outs of five significant digits; each row converts dB to V/V, or V/V to dB.
    const struct {
        const char *db, *vv;
        bool toVv;
    } cases[] = {{"-20", "0.1", true},        {"6.0206", "2", true}, {"-3", "0.70795", true},
                 {"700", "1.0000E+35", true}, {"-20", "0.1", false}, {"6.0206", "2", false},
                 {"60", "1000", false}};
    for (const auto& c : cases) {
        RecordingDialogs dlg;
        TfmDbConvert form(dlg);
        if (c.toVv) {
            form.DbText = c.db;
            form.DbToVvClick();
        } else {
            form.VvText = c.vv;
            form.VvToDbClick();
        }
        EXPECT_EQ(c.toVv ? form.VvText : form.DbText, c.toVv ? c.vv : c.db) << c.db << " " << c.vv;
        EXPECT_TRUE(dlg.log.empty());
    }
}

} // namespace
} // namespace velmora
