// Behaviour of the specification form, driven through its handlers and a recording
// Dialogs: entry reading, validation messages in order, forced orders, the frequency
// limit, the gain limits, the re-initialise question and the unit switch.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/recording_dialogs.h"
#include "ui/tfm_main.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

struct Form {
    TDesign d;
    RecordingDialogs dlg;
    TfmMain main{d, dlg};
    TfmParEnt& f = main.ParEnt;

    explicit Form(uint8_t type = Lowpass) {
        switch (type) {
        case Lowpass:
            main.Lowpass1Click();
            break;
        case Highpass:
            main.Highpass1Click();
            break;
        case Bandpass:
            main.Bandpass1Click();
            break;
        default:
            main.Bandstop1Click();
            break;
        }
    }
    void set(TEditControl& e, const std::string& text) {
        e.Text = text;
        f.EntryChange(e);
    }
};

TEST(TfmParEnt, DefaultLowpassCalculatesAndConvertsToRadPerSecond) {
    Form form;
    form.f.CalcBtnClick();
    EXPECT_TRUE(form.dlg.messages().empty()) << form.dlg.log.front();
    EXPECT_TRUE(form.f.BitBtn1Enabled);
    const Specification& s = form.d.Spec;
    // 1 kHz and 2 kHz in rad/s, stored as 6-byte reals (relative rounding ~1e-12).
    EXPECT_NEAR((long double)s.wpb, 2000.0L * std::numbers::pi_v<long double>, 1e-8L);
    EXPECT_NEAR((long double)s.wsb, 4000.0L * std::numbers::pi_v<long double>, 1e-8L);
    EXPECT_NEAR((long double)s.Selectivity, 2.0L, 1e-11L);
    EXPECT_EQ((long double)s.Apb, (long double)Real48(0.5L));
    EXPECT_EQ((long double)s.Asb, 30.0L);
    EXPECT_EQ((long double)s.NormPassEdge, 1.0L);
    EXPECT_NEAR((long double)s.HalfPowerGain, 1.0L / std::sqrt(2.0L), 1e-11L);
    EXPECT_NEAR((long double)s.HalfPowerGainDb, -3.0103L, 1e-4L);
    EXPECT_EQ(form.d.Modified, 1);
    EXPECT_EQ(form.d.StepChanged, 1);
    ASSERT_FALSE(form.f.Table.empty());
    EXPECT_EQ(form.f.Tabs.back(), "Calculation results");
    form.f.BitBtn1Click();
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
    EXPECT_FALSE(form.f.Visible);
}

TEST(TfmParEnt, EntryReadingStopsAtTheFirstBadFieldWithBeepAndFocus) {
    struct Case {
        uint8_t type;
        int field; // 1..5 NumEdit
        const char* text;
    } cases[] = {
        {Lowpass, 1, "0"},  {Lowpass, 1, ""},       {Lowpass, 2, "0.0"}, {Lowpass, 3, "."},
        {Lowpass, 4, "00"}, {Highpass, 3, "1.2.3"}, {Bandpass, 5, "0"},  {Bandstop, 4, ""},
    };
    for (const auto& c : cases) {
        Form form(c.type);
        SCOPED_TRACE(std::to_string(c.field) + " '" + c.text + "'");
        TEditControl* edits[] = {nullptr,          &form.f.NumEdit1, &form.f.NumEdit2,
                                 &form.f.NumEdit3, &form.f.NumEdit4, &form.f.NumEdit5};
        form.set(*edits[c.field], c.text);
        // A later field is bad as well: only the first failure is reported.
        if (c.field < 5 && c.type >= Bandpass) form.set(form.f.NumEdit5, "0");
        form.f.CalcBtnClick();
        EXPECT_EQ(form.dlg.log, (std::vector<std::string>{"beep", "warning: Invalid Number."}));
        EXPECT_EQ(form.f.Focus, edits[c.field]->Name);
        EXPECT_TRUE(form.f.EntryError);
        EXPECT_EQ(form.d.Modified, 0);
        EXPECT_FALSE(form.f.BitBtn1Enabled);
    }
}

TEST(TfmParEnt, ValidationShowsEveryFailingConditionInTableOrder) {
    // Lowpass: attenuations reversed, edges reversed, and both edges above 100 MHz.
    Form lp;
    lp.set(lp.f.NumEdit1, "40");
    lp.set(lp.f.NumEdit3, "300000"); // kHz
    lp.set(lp.f.NumEdit4, "200000");
    lp.f.CalcBtnClick();
    EXPECT_EQ(lp.dlg.log, (std::vector<std::string>{
                              "beep", "warning: Stopband attenuation must exceed passband attenuation.",
                              "beep", "warning: Stopband frequency must exceed passband frequency.", "beep",
                              "warning: All edge and center frequencies are limited to a maximum of "
                              "100MHz (628Mrad/s)."}));
    struct Case {
        uint8_t type;
        const char *pass, *stop, *message;
    } cases[] = {
        {Highpass, "1", "2", "Passband frequency must exceed stopband frequency."},
        {Highpass, "1", "1", "Passband frequency must exceed stopband frequency."},
        {Bandpass, "2", "1", "Stopband bandwidth must exceed passband bandwidth."},
        {Bandstop, "1", "2", "Passband bandwidth must exceed stopband bandwidth."},
    };
    for (const auto& c : cases) {
        Form form(c.type);
        form.set(form.f.NumEdit3, c.pass);
        form.set(form.f.NumEdit4, c.stop);
        form.f.CalcBtnClick();
        EXPECT_EQ(form.dlg.log, (std::vector<std::string>{"beep", std::string("warning: ") + c.message}));
    }
}

TEST(TfmParEnt, ARefusedCalculationLeavesTheDesignAndItsResultsAsTheyWere) {
    Form form;
    form.f.CalcBtnClick();
    form.f.BitBtn1Click();
    const int order = form.d.Approx[Butterworth].Result.Order;
    const long double wpb = form.d.Spec.wpb;
    ASSERT_GT(order, 0);
    form.d.Modified = 0;
    form.d.StepChanged = 0;
    form.set(form.f.NumEdit3, "5"); // passband above the stopband edge
    form.f.CalcBtnClick();
    EXPECT_EQ(form.dlg.messages().size(), 1u);
    EXPECT_EQ(form.d.Approx[Butterworth].Result.Order, order);
    EXPECT_EQ((long double)form.d.Spec.wpb, wpb);
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
    EXPECT_EQ(form.d.Modified, 0);
}

TEST(TfmParEnt, ForcedOrder) {
    struct Case {
        uint8_t type;
        const char* order;
        const char* message; // nullptr: accepted
    } cases[] = {
        {Lowpass, "", "An integer number must be entered."},
        {Lowpass, "0", "An integer number must be entered."},
        {Lowpass, "21", "Maximum order is 20."},
        {Bandpass, "7", "Order must be an even number."},
        {Bandstop, "21", "Maximum order is 20."},
        {Bandpass, "6", nullptr},
        {Lowpass, "20", nullptr},
        {Lowpass, "1", nullptr},
    };
    for (const auto& c : cases) {
        Form form(c.type);
        SCOPED_TRACE(c.order);
        form.f.CheckBox1Click();
        EXPECT_TRUE(form.f.IntEdit1.Enabled);
        EXPECT_FALSE(form.f.NumEdit2.Enabled);
        EXPECT_FALSE(form.f.NumEdit4.Enabled);
        EXPECT_FALSE(form.f.CB2.Enabled);
        EXPECT_TRUE(form.f.NumEdit4.LabelGreyed);
        EXPECT_EQ(form.f.Focus, "IntEdit1");
        form.set(form.f.IntEdit1, c.order);
        form.f.CalcBtnClick();
        if (c.message) {
            EXPECT_EQ(form.dlg.log, (std::vector<std::string>{"beep", std::string("warning: ") + c.message}));
            EXPECT_EQ(form.f.Focus, "IntEdit1");
        } else {
            EXPECT_TRUE(form.dlg.messages().empty());
            EXPECT_EQ(form.d.Spec.ForcedOrder, std::stoi(c.order));
        }
    }
    // With the order forced, Apb >= Asb is accepted and the lowpass stopband edge is
    // twice the passband edge whatever the disabled field shows.
    Form lp;
    lp.set(lp.f.NumEdit1, "40");
    lp.set(lp.f.NumEdit4, "0.5");
    lp.f.CheckBox1Click();
    lp.set(lp.f.IntEdit1, "4");
    lp.f.CalcBtnClick();
    EXPECT_TRUE(lp.dlg.messages().empty());
    EXPECT_NEAR((long double)lp.d.Spec.wsb / (long double)lp.d.Spec.wpb, 2.0L, 1e-11L);
    EXPECT_EQ(lp.d.Approx[Butterworth].Result.Order, 4);
    Form hp(Highpass);
    hp.f.CheckBox1Click();
    hp.set(hp.f.IntEdit1, "3");
    hp.f.CalcBtnClick();
    EXPECT_NEAR((long double)hp.d.Spec.wsb / (long double)hp.d.Spec.wpb, 0.5L, 1e-11L);
}

TEST(TfmParEnt, FrequencyLimitAppliesToTheFrequenciesTheTypeUses) {
    struct Case {
        uint8_t type;
        const char *pass, *stop, *centre;
        bool forced, ok;
    } cases[] = {
        {Lowpass, "100000", "200000", "", true, true},  // 100 MHz forced: derived 200 MHz edge not checked
        {Lowpass, "50000", "100000", "", false, true},  // 100 MHz stopband edge passes
        {Lowpass, "50000", "101000", "", false, false}, // 101 MHz stopband edge fails
        {Lowpass, "101000", "202000", "", true, false},
        {Highpass, "100000", "50000", "", false, true},
        {Highpass, "101000", "50000", "", false, false},
        {Bandpass, "1000", "2000", "100000", false, true},
        {Bandpass, "1000", "2000", "101000", false, false},
        {Bandstop, "2000", "1000", "101000", false, false},
    };
    for (const auto& c : cases) {
        Form form(c.type);
        SCOPED_TRACE(std::string(c.pass) + " " + c.stop + " " + c.centre);
        form.set(form.f.NumEdit3, c.pass);
        form.set(form.f.NumEdit4, c.stop);
        if (*c.centre) form.set(form.f.NumEdit5, c.centre);
        if (c.forced) {
            form.f.CheckBox1Click();
            form.set(form.f.IntEdit1, "4");
        }
        form.f.CalcBtnClick();
        if (c.ok) {
            EXPECT_TRUE(form.dlg.messages().empty()) << form.dlg.log.back();
        } else {
            EXPECT_EQ(form.dlg.messages(),
                      (std::vector<std::string>{"warning: All edge and center frequencies are limited to a "
                                                "maximum of 100MHz (628Mrad/s)."}));
        }
    }
}

TEST(TfmParEnt, GainLimits) {
    struct Case {
        int unit; // 0 V/V, 1 dB
        const char* text;
        const char* message; // nullptr: accepted
        long double gain;
    } cases[] = {
        {1, "60", nullptr, 1000.0L},
        {1, "0", nullptr, 1.0L},
        {1, "60.1", "error: Maximum allowable overall gain is 60dB (1000V/V).", 0},
        {0, "1000", nullptr, 1000.0L},
        {0, "0.1", nullptr, 0.1L},
        {0, "0.09", "error: Minimum allowable overall gain is 0.1V/V.", 0},
        {0, "1000.5", "error: Maximum allowable overall gain is 60dB (1000V/V).", 0},
        {0, "", "warning: Invalid Number.", 0},
        {0, "1..0", "warning: Invalid Number.", 0},
    };
    for (const auto& c : cases) {
        Form form;
        SCOPED_TRACE(c.text);
        form.f.CB4.ItemIndex = c.unit;
        form.f.CB4Change();
        EXPECT_EQ(form.f.NumEdit6.Text, c.unit ? "0" : "1");
        form.set(form.f.NumEdit6, c.text);
        form.f.CalcBtnClick();
        if (c.message) {
            EXPECT_EQ(form.dlg.messages(), std::vector<std::string>{c.message});
            EXPECT_FALSE(form.f.BitBtn1Enabled);
            EXPECT_EQ((long double)form.d.Spec.OverallGain, 1.0L); // not stored
        } else {
            EXPECT_TRUE(form.dlg.messages().empty());
            EXPECT_NEAR((long double)form.d.Spec.OverallGain, c.gain, c.gain * 1e-11L);
            EXPECT_TRUE(form.f.BitBtn1Enabled);
        }
    }
    // The limit messages are error boxes without a beep.
    Form form;
    form.set(form.f.NumEdit6, "0.01");
    form.f.CalcBtnClick();
    EXPECT_EQ(form.dlg.log, std::vector<std::string>{"error: Minimum allowable overall gain is 0.1V/V."});
}

TEST(TfmParEnt, ReinitialiseQuestionOnlyFromCircuitSelectionOn) {
    for (int level = 2; level <= 8; ++level) {
        for (Answer answer : {Answer::Ok, Answer::Cancel}) {
            Form form;
            form.f.CalcBtnClick();
            form.f.BitBtn1Click();
            form.d.DesignLevel = static_cast<uint8_t>(level);
            form.d.Modified = 0;
            form.d.StepChanged = 0;
            form.set(form.f.NumEdit4, "3"); // a different specification
            const long double wsb = form.d.Spec.wsb;
            const int order = form.d.Approx[Butterworth].Result.Order;
            form.dlg.clear();
            const bool asks = level >= 6;
            if (asks) form.dlg.answers.push_back(answer);
            form.f.CalcBtnClick();
            SCOPED_TRACE(level);
            if (!asks) {
                EXPECT_TRUE(form.dlg.log.empty());
                EXPECT_NE((long double)form.d.Spec.wsb, wsb);
                break;
            }
            EXPECT_EQ(form.dlg.log,
                      std::vector<std::string>{"ask warning: This will re-initialize your design."});
            if (answer == Answer::Cancel) {
                EXPECT_EQ(form.d.DesignLevel, level);
                EXPECT_EQ((long double)form.d.Spec.wsb, wsb);
                EXPECT_EQ(form.d.Approx[Butterworth].Result.Order, order);
                EXPECT_EQ(form.d.Modified, 0);
            } else {
                EXPECT_NE((long double)form.d.Spec.wsb, wsb);
                EXPECT_EQ(form.d.Modified, 1);
                form.f.BitBtn1Click(); // the changed specification restarts from level 2
                EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
            }
        }
    }
}

TEST(TfmParEnt, NextKeepsTheLevelOfAnUnchangedDesign) {
    Form form;
    form.f.CalcBtnClick();
    form.f.BitBtn1Click();
    // A design that went on to level 7 and was then saved: looking at its
    // specification and going on must not throw its later steps away.
    form.d.DesignLevel = LevelComponents;
    form.d.StepChanged = 0;
    form.d.SelectedApprox = form.d.SavedSelectedApprox = Elliptic;
    form.f.Visible = true;
    form.f.BitBtn1Click();
    EXPECT_EQ(form.d.DesignLevel, LevelComponents);
    EXPECT_EQ(form.d.SelectedApprox, Elliptic);
    // After a change it restarts from the approximations with Butterworth chosen.
    form.d.StepChanged = 1;
    form.f.BitBtn1Click();
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
    EXPECT_EQ(form.d.SelectedApprox, Butterworth);
    EXPECT_EQ(form.d.CurrentApprox, Butterworth);
}

TEST(TfmParEnt, FrequencyUnitSwitchKeepsTheDesign) {
    // 1 kHz, 2 kHz shown in krad/s and back; and 999 999 Hz that no longer fits in rad/s.
    Form form;
    form.f.CalcBtnClick();
    const long double wpb = form.d.Spec.wpb, wsb = form.d.Spec.wsb;
    form.main.rads1Click();
    EXPECT_EQ(form.f.NumEdit3.Text, "6.2832"); // 6.283185 krad/s in six characters
    EXPECT_EQ(form.f.CB1.Text(), "krad/s");
    EXPECT_EQ(form.f.NumEdit1.Text, "0.5"); // attenuations and gain unchanged
    EXPECT_EQ(form.f.NumEdit6.Text, "1.0");
    form.f.CalcBtnClick();
    EXPECT_EQ((long double)form.d.Spec.wpb, wpb);
    EXPECT_EQ((long double)form.d.Spec.wsb, wsb);
    for (int i = 0; i < 5; ++i) {
        form.main.SpeedButton8Click();
        form.main.SpeedButton8Click();
    }
    form.main.Hz1Click();
    EXPECT_EQ(form.f.NumEdit3.Text, "1");
    EXPECT_EQ(form.f.CB1.Text(), "kHz");
    form.f.CalcBtnClick();
    EXPECT_EQ((long double)form.d.Spec.wpb, wpb);

    Form big;
    big.f.CB1.ItemIndex = 0;
    big.f.UnitChange(big.f.CB1);
    big.set(big.f.NumEdit3, "999999");
    big.f.CB2.ItemIndex = 1;
    big.set(big.f.NumEdit4, "2000");
    big.main.rads1Click();
    EXPECT_EQ(big.f.CB1.Text(), "krad/s"); // 6 283 179 rad/s does not fit six characters
    EXPECT_EQ(big.f.NumEdit3.Text, "6283.2");
    big.f.CalcBtnClick();
    EXPECT_TRUE(big.dlg.messages().empty());
    EXPECT_NEAR((long double)big.d.Spec.wpb, 999999.0L * kTwoPi, 1e-5L);
    big.main.Hz1Click();
    EXPECT_EQ(big.f.NumEdit3.Text, "999999");
    EXPECT_EQ(big.f.CB1.Text(), "Hz");
}

TEST(TfmParEnt, EditingDisablesNext) {
    Form form;
    form.f.CalcBtnClick();
    ASSERT_TRUE(form.f.BitBtn1Enabled);
    form.set(form.f.NumEdit2, "40");
    EXPECT_FALSE(form.f.BitBtn1Enabled);
    form.f.CalcBtnClick();
    ASSERT_TRUE(form.f.BitBtn1Enabled);
    form.f.UnitChange(form.f.CB2);
    EXPECT_FALSE(form.f.BitBtn1Enabled);
    form.f.CalcBtnClick();
    form.f.CheckBox1Click();
    EXPECT_FALSE(form.f.BitBtn1Enabled);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// The keyboard rule, over a table of keys typed into the fields of a new lowpass form:
// what the field does, whether it beeps and where the focus goes.
TEST(TfmParEnt, KeysTheEntryFieldsTakeRefuseAndMoveOn) {
    struct Case {
        const char* field;
        std::string text;
        char key;
        int selected;
        EntryKey expected;
        const char* focusAfter; // "" when the focus stays where it was
    };
    const Case cases[] = {
        {"NumEdit1", "0.", '5', 0, EntryKey::Taken, ""},
        {"NumEdit1", "", '.', 0, EntryKey::Taken, ""},
        {"NumEdit1", "1", '\b', 0, EntryKey::Taken, ""},
        {"NumEdit1", "1", '-', 0, EntryKey::Refused, ""},      // no sign
        {"NumEdit1", "1", 'e', 0, EntryKey::Refused, ""},      // no exponent
        {"NumEdit1", "1", ',', 0, EntryKey::Refused, ""},      // the point only
        {"NumEdit1", "12.34", '5', 0, EntryKey::Refused, ""},  // five characters at most
        {"NumEdit1", "12.34", '5', 2, EntryKey::Taken, ""},    // ... unless it replaces some
        {"NumEdit3", "123456", '7', 0, EntryKey::Refused, ""}, // six for a frequency
        {"IntEdit1", "1", '.', 0, EntryKey::Refused, ""},      // the order takes digits only
        {"IntEdit1", "12", '3', 0, EntryKey::Refused, ""},     // two of them
        {"NumEdit1", "1", '\r', 0, EntryKey::MoveOn, "NumEdit2"},
        {"NumEdit3", "1", '\r', 0, EntryKey::MoveOn, "NumEdit4"},
        // The centre row is hidden for a lowpass and the order disabled while not forced.
        {"NumEdit4", "1", '\r', 0, EntryKey::MoveOn, "NumEdit6"},
        {"NumEdit6", "1", '\r', 0, EntryKey::MoveOn, "NumEdit1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " '" + c.text + "' + " + std::to_string(int(c.key)));
        Form form;
        TEditControl* fields[] = {&form.f.NumEdit1, &form.f.NumEdit2, &form.f.NumEdit3, &form.f.NumEdit4,
                                  &form.f.NumEdit5, &form.f.NumEdit6, &form.f.IntEdit1};
        TEditControl* edit = nullptr;
        for (TEditControl* e : fields)
            if (e->Name == c.field) edit = e;
        ASSERT_NE(edit, nullptr);
        edit->Text = c.text;
        form.f.Focus = c.field;
        const TDesign before = form.d;
        EXPECT_EQ(form.f.KeyPress(*edit, c.key, c.selected), c.expected);
        EXPECT_EQ(form.dlg.log, c.expected == EntryKey::Refused ? std::vector<std::string>{"beep"}
                                                                : std::vector<std::string>{});
        EXPECT_EQ(form.f.Focus, *c.focusAfter ? c.focusAfter : c.field);
        EXPECT_EQ(edit->Text, c.text); // the front end inserts a taken key
    }
    // With the order forced, Enter goes from the passband edge to the order field.
    Form forced;
    forced.f.CheckBox1Click();
    forced.f.Focus = "NumEdit3";
    forced.f.KeyPress(forced.f.NumEdit3, '\r');
    EXPECT_EQ(forced.f.Focus, "IntEdit1");
}

} // namespace
} // namespace velmora
