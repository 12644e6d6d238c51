// The specification form driven through its handlers with recorded dialogs: what it
// stores, every refusal with its exact message, the re-initialise question and the
// unit switch; and the dB / V/V converter beside it.
#include <gtest/gtest.h>

#include <numbers>
#include <utility>
#include <vector>

#include "support/recording_dialogs.h"
#include "ui/tfm_main.h"
#include "ui/tfm_tools.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

struct Form {
    TDesign d;
    RecordingDialogs dlg;
    TfmMain main{d, dlg};
    TfmParEnt& f = main.ParEnt;

    explicit Form(uint8_t type = Lowpass) { main.StartDesign(type); }
    void set(TEditControl& e, const std::string& text) {
        e.Text = text;
        f.EntryChange(e);
    }
};

TEST(TfmParEnt, DefaultLowpassIsStoredInRadPerSecondAndNextStartsTheApproximations) {
    Form form;
    form.f.CalcBtnClick();
    EXPECT_TRUE(form.dlg.messages().empty());
    const Specification& s = form.d.Spec;
    EXPECT_NEAR((long double)s.wpb, 1000.0L * kTwoPi, 1e-8L);
    EXPECT_NEAR((long double)s.wsb, 2000.0L * kTwoPi, 1e-8L);
    EXPECT_EQ(form.d.Modified, 1);
    form.f.BitBtn1Click();
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
    EXPECT_FALSE(form.f.Visible);
}

// Each row fills some fields of a new form and presses Calculate: the dialog log is
// exactly the refusal (or empty), a refusal stores nothing and keeps Next disabled.
TEST(TfmParEnt, RefusalsAndTheirMessages) {
    const std::string kLimit = "warning: All edge and center frequencies are limited to a maximum of "
                               "100MHz (628Mrad/s).";
    const struct Case {
        uint8_t type;
        std::vector<std::pair<int, const char*>> fields; // 1..6 NumEdit, 7 the order (forced)
        std::vector<std::string> log;
        long double gain = 1; // the stored overall gain of an accepted row
        int gainUnit = 0;     // 0 V/V, 1 dB
    } cases[] = {
        {Lowpass, {{1, "0"}}, {"beep", "warning: Invalid Number."}},
        {Bandpass, {{3, "1.2.3"}, {5, "0"}}, {"beep", "warning: Invalid Number."}}, // the first only
        {Lowpass,
         {{1, "40"}, {3, "300000"}, {4, "200000"}},
         {"beep", "warning: Stopband attenuation must exceed passband attenuation.", "beep",
          "warning: Stopband frequency must exceed passband frequency.", "beep", kLimit}},
        {Highpass,
         {{3, "1"}, {4, "1"}},
         {"beep", "warning: Passband frequency must exceed stopband frequency."}},
        {Bandpass,
         {{3, "2"}, {4, "1"}},
         {"beep", "warning: Stopband bandwidth must exceed passband bandwidth."}},
        {Bandstop,
         {{3, "1"}, {4, "2"}},
         {"beep", "warning: Passband bandwidth must exceed stopband bandwidth."}},
        {Lowpass, {{3, "50000"}, {4, "100000"}}, {}},
        {Lowpass, {{3, "50000"}, {4, "101000"}}, {"beep", kLimit}},
        {Bandpass, {{3, "1000"}, {4, "2000"}, {5, "101000"}}, {"beep", kLimit}},
        {Lowpass, {{7, "0"}}, {"beep", "warning: An integer number must be entered."}},
        {Lowpass, {{7, "21"}}, {"beep", "warning: Maximum order is 20."}},
        {Bandpass, {{7, "7"}}, {"beep", "warning: Order must be an even number."}},
        {Lowpass, {{1, "40"}, {7, "20"}}, {}}, // a forced order takes Apb >= Asb
        {Lowpass, {{6, "0.1"}}, {}, 0.1L},
        {Lowpass, {{6, "0.09"}}, {"error: Minimum allowable overall gain is 0.1V/V."}},
        {Lowpass, {{6, "1000.5"}}, {"error: Maximum allowable overall gain is 60dB (1000V/V)."}},
        {Lowpass, {{6, "60"}}, {}, 1000.0L, 1},
        {Lowpass, {{6, "60.1"}}, {"error: Maximum allowable overall gain is 60dB (1000V/V)."}, 1, 1},
    };
    for (const Case& c : cases) {
        Form form(c.type);
        TEditControl* edits[] = {nullptr,          &form.f.NumEdit1, &form.f.NumEdit2, &form.f.NumEdit3,
                                 &form.f.NumEdit4, &form.f.NumEdit5, &form.f.NumEdit6, &form.f.IntEdit1};
        form.f.CB4.ItemIndex = c.gainUnit;
        form.f.CB4Change();
        std::string trace;
        for (const auto& [field, text] : c.fields) {
            if (field == 7) form.f.CheckBox1Click();
            form.set(*edits[field], text);
            trace += std::to_string(field) + "='" + text + "' ";
        }
        SCOPED_TRACE(trace);
        form.f.CalcBtnClick();
        EXPECT_EQ(std::tuple(form.dlg.log, form.f.BitBtn1Enabled), std::tuple(c.log, c.log.empty()));
        EXPECT_NEAR((long double)form.d.Spec.OverallGain, c.log.empty() ? c.gain : 1.0L, 1e-9L);
        if (c.log.size() == 2 && c.log[1] == "warning: Invalid Number.") {
            EXPECT_EQ(form.f.Focus, edits[c.fields.front().first]->Name);
        }
    }
}

TEST(TfmParEnt, ReinitialiseQuestionFromCircuitSelectionOn) {
    for (const auto& [level, answer] :
         {std::pair{5, Answer::Ok}, std::pair{6, Answer::Cancel}, std::pair{6, Answer::Ok}}) {
        SCOPED_TRACE(level);
        Form form;
        form.f.CalcBtnClick();
        form.f.BitBtn1Click();
        form.d.DesignLevel = static_cast<uint8_t>(level);
        form.d.Modified = 0;
        form.set(form.f.NumEdit4, "3");
        const long double wsb = form.d.Spec.wsb;
        form.dlg.clear();
        if (level >= 6) form.dlg.answers.push_back(answer);
        form.f.CalcBtnClick();
        EXPECT_EQ(form.dlg.log, level >= 6 ? std::vector<std::string>{"ask warning: This will re-initialize "
                                                                      "your design."}
                                           : std::vector<std::string>{});
        const bool kept = answer == Answer::Cancel;
        EXPECT_EQ((long double)form.d.Spec.wsb == wsb, kept);
        if (kept) {
            EXPECT_EQ(form.d.DesignLevel, level);
        } else {
            form.f.BitBtn1Click();
            EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
        }
    }
}

TEST(TfmParEnt, FrequencyUnitSwitchKeepsTheDesign) {
    Form form;
    form.f.CalcBtnClick();
    const long double wpb = form.d.Spec.wpb;
    form.main.rads1Click();
    EXPECT_EQ(form.f.NumEdit3.Text, "6.2832"); // 6.283185 krad/s in six characters
    EXPECT_EQ(form.f.CB1.Text(), "krad/s");
    EXPECT_EQ(form.f.NumEdit1.Text, "0.5");
    form.main.Hz1Click();
    EXPECT_EQ(std::tuple(form.f.NumEdit3.Text, form.f.CB1.Text()), std::tuple("1", "kHz"));
    form.f.CalcBtnClick();
    EXPECT_EQ((long double)form.d.Spec.wpb, wpb); // unchanged through both switches
}

// The dB / V/V converter against values known by heart (20 dB is 10 V/V, 6.0206 dB is
// 2 V/V).
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
