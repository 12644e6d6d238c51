// Behaviour of the user-defined filter form, driven through its handlers and a recording
// Dialogs: the order limit and the first-order limit, entry validation in field order,
// the Q limit, the stage types and gains of the sections, the bookkeeping of the real
// poles and slots across Delete and Move, the response of the sections entered so far
// against closed-form transfer functions, Next, and a design saved and reopened.
#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "approx/approximation.h"
#include "approx/poles_zeros.h"
#include "model/design_file.h"
#include "model/number_text.h"
#include "stages/stage_types.h"
#include "stages/user_sections.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_user.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
using C = std::complex<long double>;
constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
const std::string kNonZero = "warning: Value must be non-zero.";
const std::string kInvalid = "warning: Invalid Number.";
const std::string kQLimit = "warning: Q must be >0.5.";
const std::string kOrderLimit =
    "warning: Unable to add section as maximum filter order of 20 will be exceeded.";

enum Type { LP = 0, HP = 1, BP = 2, BS = 3 };

struct Form {
    TDesign d;
    RecordingDialogs dlg;
    TfmUser f{d, dlg};

    explicit Form(bool hz = false) {
        NewDesign(d, UserDefined);
        d.Opt.FreqUnitsHz = hz ? 1 : 0;
        f.FormShow();
    }
    // A second-order section in the Q form: Q, wp (or fp) and, for a bandstop, wz.
    void addQ(int type, const std::string& q, const std::string& wp, const std::string& wz = "",
              const std::string& to = "1.0") {
        f.RadioGroup1Click(1);
        f.RadioGroup2Click(type);
        f.RadioGroup3Click(0);
        f.Edit1.Text = q;
        f.Edit2.Text = wp;
        f.Edit3.Text = wz;
        f.EditTo.Text = to;
        f.AddBtnClick();
    }
    // A second-order section in the pole form: -re +/- j im and, for a bandstop, +/- j z.
    void addPoles(int type, const std::string& re, const std::string& im, const std::string& z = "",
                  const std::string& to = "1.0") {
        f.RadioGroup1Click(1);
        f.RadioGroup2Click(type);
        f.RadioGroup3Click(1);
        f.Edit1.Text = re;
        f.Edit2.Text = z;
        f.Edit4.Text = im;
        f.EditTo.Text = to;
        f.AddBtnClick();
    }
    void addFirst(int type, const std::string& p, const std::string& to = "1.0") {
        f.RadioGroup1Click(0);
        f.RadioGroup2Click(type);
        f.Edit1.Text = p;
        f.EditTo.Text = to;
        f.AddBtnClick();
    }
    const ApproxResult& r() const { return d.Approx[0].Result; }
};

// ---- Closed-form reference: the sections as entered, in rad/s -----------------------------

struct RefSection {
    int order;
    int type;
    long double a, b, wz, to; // first order: a = p; second order: a = wp, b = Q
};

C SectionResponse(const RefSection& s, C x) {
    if (s.order == 1) return s.type == HP ? s.to * x / (x + s.a) : s.to * s.a / (x + s.a);
    const long double wp = s.a, q = s.b;
    const C den = x * x + (wp / q) * x + wp * wp;
    switch (s.type) {
    case LP:
        return s.to * wp * wp / den;
    case HP:
        return s.to * x * x / den;
    case BP:
        return s.to * (wp / q) * x / den;
    default: // the entered To of a lowpass notch is its DC gain, of the others the HF gain
        return s.to * (s.wz > wp ? wp * wp / (s.wz * s.wz) : 1.0L) * (x * x + s.wz * s.wz) / den;
    }
}

long double ReferenceDb(const std::vector<RefSection>& sections, long double w) {
    C h = 1;
    for (const auto& s : sections)
        h *= SectionResponse(s, C(0, w));
    return 20 * std::log10(std::abs(h));
}

// ---- Order limit, first-order limit -------------------------------------------------------

TEST(TfmUser, NineteenOrdersTakeAFirstOrderSectionButNotASecondOrderOne) {
    Form form;
    for (int i = 1; i <= 9; ++i)
        form.addQ(LP, "0.8", std::to_string(100 * i));
    form.addFirst(LP, "50");
    ASSERT_EQ(form.r().Order, 19);
    ASSERT_TRUE(form.dlg.messages().empty());

    form.addQ(LP, "0.8", "1000");
    EXPECT_EQ(form.dlg.messages(), std::vector<std::string>{kOrderLimit});
    EXPECT_EQ(form.d.StageCount, 10);
    EXPECT_EQ(form.r().Order, 19);

    form.dlg.clear();
    form.addFirst(HP, "70");
    EXPECT_TRUE(form.dlg.messages().empty());
    EXPECT_EQ(form.r().Order, 20);
    EXPECT_EQ(form.d.StageCount, 11);
    EXPECT_EQ(form.f.OrderCaption, " Filter order = 20");
    // Full: nothing more, first or second order, is taken.
    form.addFirst(LP, "10");
    EXPECT_EQ(form.dlg.messages(), std::vector<std::string>{kOrderLimit});
    EXPECT_EQ(form.d.StageCount, 11);
}

TEST(TfmUser, SelectingAFirstOrderLineDoesNotLetAThirdFirstOrderSectionIn) {
    Form form;
    form.addQ(LP, "2", "1000");
    form.addFirst(LP, "100");
    EXPECT_TRUE(form.f.FirstEnabled);
    form.addFirst(HP, "200");
    // Two real poles: "First" is disabled and the form is back at second order.
    EXPECT_FALSE(form.f.FirstEnabled);
    EXPECT_EQ(form.f.UserSectionOrder, 1);
    EXPECT_EQ(form.f.UserEntryMode, 0);

    form.f.ListBox1Click(1); // the first-order lowpass: the order buttons show "First"
    EXPECT_EQ(form.f.UserSectionOrder, 0);
    EXPECT_EQ(form.f.Edit1.Text, "100");
    form.f.AddBtnClick();
    EXPECT_EQ(form.dlg.messages(),
              std::vector<std::string>{
                  "warning: Unable to add section as a filter can have at most 2 first order sections."});
    EXPECT_EQ(form.d.StageCount, 3);
    EXPECT_EQ(form.r().Order, 4);
}

// ---- Entry validation -----------------------------------------------------------------------

TEST(TfmUser, EveryFieldMustHoldAPositiveNumberAndTheFirstBadOneTakesTheFocus) {
    struct Case {
        const char *q, *wp, *wz, *to;
        std::string message;
        const char* focus;
    } cases[] = {
        {"0", "1000", "2000", "1.0", kNonZero, "Edit1"},
        {"0.0", "1000", "2000", "1.0", kNonZero, "Edit1"},
        {"2", "00", "2000", "1.0", kNonZero, "Edit2"},
        {"2", "1000", "0.000", "1.0", kNonZero, "Edit3"},
        {"2", "1000", "2000", "0", kNonZero, "EditTo"},
        {"", "1000", "2000", "1.0", kInvalid, "Edit1"},
        {"2", "-1000", "2000", "1.0", kInvalid, "Edit2"},
        {"2", "1000", "abc", "1.0", kInvalid, "Edit3"},
        {"2", "1000", "2000", "", kInvalid, "EditTo"},
        {"0", "0", "0", "0", kNonZero, "Edit1"},
        {"2", "1000", "123456789", "1.0", kInvalid, "Edit3"}, // longer than the field holds
        // Ranges: every field is read before any is held against its range.
        {"1000", "0", "2000", "1.0", kNonZero, "Edit2"},
        {"0.4", "1000", "2000", "1.0", kQLimit, "Edit1"},
        {"300.5", "1000", "2000", "1.0", "warning: Q must not exceed 300.", "Edit1"},
        {"2", "1000", "2000", "1001", "warning: Section gain must lie between 0.1V/V and 1000V/V (60dB).",
         "EditTo"},
        {"2", "1000", "2000", "0.09", "warning: Section gain must lie between 0.1V/V and 1000V/V (60dB).",
         "EditTo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.q) + " " + c.wp + " " + c.wz + " " + c.to);
        Form form;
        form.addQ(BS, c.q, c.wp, c.wz, c.to);
        EXPECT_EQ(form.dlg.messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(form.dlg.log.front(), "beep");
        EXPECT_EQ(form.f.Focus, c.focus);
        EXPECT_EQ(form.d.StageCount, 0);
        EXPECT_EQ(form.r().Order, 0);
        EXPECT_EQ((long double)form.d.Spec.OverallGain, 1.0L);
    }
}

TEST(TfmUser, QMustLieAboveOneHalf) {
    struct Case {
        const char* q;
        bool accepted;
    } cases[] = {{"0.5", false}, {"0.49", false}, {"0.51", true}, {"0.500001", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.q);
        Form form;
        form.addQ(LP, c.q, "1000");
        EXPECT_EQ(form.d.StageCount, c.accepted ? 1 : 0);
        if (c.accepted) {
            EXPECT_TRUE(form.dlg.messages().empty());
        } else {
            EXPECT_EQ(form.dlg.messages(), std::vector<std::string>{kQLimit});
            EXPECT_EQ(form.f.Focus, "Edit1");
        }
    }
}

// The limits a specified design meets hold for a section too: Q at most 300 (in either
// entry form; a pole at re = 1, im = 600 has Q = sqrt(1 + 600^2) / 2 = 300.0008), pole
// and zero frequencies at most 100 MHz (6.284e8 rad/s), and the section's gain and the
// overall gain within 0.1 to 1000 V/V. The core checks them (the command line reaches
// every one); the form's fields are too short for a frequency above 100 MHz, so it shows
// the Q and gain refusals.
TEST(TfmUser, SectionsMeetTheLimitsOfASpecifiedDesign) {
    auto second = [](UserSectionKind kind, long double q, long double wp, long double to = 1,
                     long double wz = 0) {
        UserSection u;
        u.Kind = kind;
        u.Q = q, u.Wp = wp, u.To = to, u.Wz = wz;
        return u;
    };
    auto pole = [](long double re, long double im) {
        UserSection u;
        u.Mode = UserEntryMode::Poles;
        u.Re = re, u.Im = im;
        return u;
    };
    auto first = [](long double p, long double to = 1) {
        UserSection u;
        u.Order = 1, u.P = p, u.To = to;
        return u;
    };
    using K = UserSectionKind;
    using S = UserAddStatus;
    struct Case {
        const char* name;
        std::vector<UserSection> sections; // added in turn; the last one gives `status`
        UserAddStatus status;
    } cases[] = {
        {"Q 300", {second(K::Lowpass, 300, 1000)}, S::Ok},
        {"Q 300.01", {second(K::Bandpass, 300.01L, 1000)}, S::QTooHigh},
        {"pole Q 299.99", {pole(1, 599.98L)}, S::Ok},
        {"pole Q 300.0008", {pole(1, 600)}, S::QTooHigh},
        {"wp 6.28e8", {second(K::Highpass, 0.7L, 6.28e8L)}, S::Ok},
        {"wp 200 MHz", {second(K::Lowpass, 0.7L, 2e8L * kTwoPi)}, S::FrequencyTooHigh},
        {"pole at 6.3e8", {pole(4e8L, 4.9e8L)}, S::FrequencyTooHigh},
        {"zero 6.3e8", {second(K::Bandstop, 2, 1e8L, 1, 6.3e8L)}, S::FrequencyTooHigh},
        {"first order 6.3e8", {first(6.3e8L)}, S::FrequencyTooHigh},
        {"gain 1000", {second(K::Lowpass, 0.7L, 1000, 1000)}, S::Ok},
        {"gain 1e30", {first(1000, 1e30L)}, S::SectionGainOutOfRange},
        {"gain 0.09", {second(K::Bandpass, 2, 1000, 0.09L)}, S::SectionGainOutOfRange},
        {"product 1000", {second(K::Lowpass, 1, 1000, 100), first(10, 10)}, S::Ok},
        {"product 1e4", {second(K::Lowpass, 1, 1000, 100), first(10, 100)}, S::GainOutOfRange},
        {"product 0.01",
         {second(K::Lowpass, 1, 1000, 0.1L), second(K::Lowpass, 1, 1000, 0.1L)},
         S::GainOutOfRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDesign d;
        NewDesign(d, UserDefined);
        UserAddStatus last = S::Ok;
        for (const UserSection& u : c.sections)
            last = AddUserSection(d, u, TUserBlock{});
        EXPECT_EQ(last, c.status);
        EXPECT_EQ(d.StageCount, static_cast<int>(c.sections.size()) - (c.status == S::Ok ? 0 : 1));
    }

    // The form reports the core's refusals.
    Form form;
    form.addQ(BP, "300.01", "1000");
    form.addQ(LP, "0.7", "1000", "", "1001");
    form.addQ(LP, "0.7", "1000", "", "100");
    form.addFirst(LP, "1000", "11");
    EXPECT_EQ(form.dlg.messages(),
              (std::vector<std::string>{"warning: Q must not exceed 300.",
                                        "warning: Section gain must lie between 0.1V/V and 1000V/V (60dB).",
                                        "warning: Unable to add section as the overall filter gain would "
                                        "leave 0.1V/V to 1000V/V (60dB)."}));
    EXPECT_EQ(form.d.StageCount, 1);
}

TEST(TfmUser, DesignFilesAndTextsAreCheckedAsStored) {
    // A text the design file cannot keep is refused before it reaches the design.
    Form form;
    form.addQ(LP, "0.8", "1000", "", "100");
    TUserBlock texts;
    texts.Texts[0] = "123456789";
    UserSection u;
    u.Q = 1;
    u.Wp = 100;
    EXPECT_EQ(AddUserSection(form.d, u, texts), UserAddStatus::TextTooLong);
    EXPECT_EQ(form.d.StageCount, 1);

    // A design file is not held to the limits above: sections an earlier version
    // accepted (a gain figure of 99999) still make a filter.
    form.d.Stages[1].To = 99999.0L;
    EXPECT_TRUE(RestoreUserFilter(form.d));
    EXPECT_EQ((long double)form.d.Spec.OverallGain, (long double)Real48(99999.0L));
}

// ---- Stage types and gains ----------------------------------------------------------------

TEST(TfmUser, BandstopSectionsAreClassedByTheirZeroAndALowpassNotchKeepsItsDcGain) {
    struct Case {
        const char* wz;
        uint8_t type;
        long double to; // stage To for an entered To of 3
    } cases[] = {{"1000", stSN, 3.0L}, {"2000", stSLPN, 0.75L}, {"500", stSHPN, 3.0L}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wz);
        for (bool poles : {false, true}) {
            Form form;
            if (poles) // -600 +/- j800: wp = 1000, Q = 1000/1200
                form.addPoles(BS, "600", "800", c.wz, "3");
            else
                form.addQ(BS, "5", "1000", c.wz, "3");
            ASSERT_EQ(form.d.StageCount, 1);
            const TStageCoeffs& s = form.d.Stages[1];
            EXPECT_EQ(s.StageType, c.type);
            EXPECT_NEAR((long double)s.To, c.to, 1e-11L);
            EXPECT_EQ((long double)form.d.Spec.OverallGain, 3.0L); // the entered figure
            // The low-frequency gain of the notch section is To wz^2/wp^2 of its stage To.
            const long double wz = std::stold(c.wz);
            const long double dc = s.To * wz * wz / 1.0e6L;
            const IdealFilter f = IdealFilterOf(form.d, 0);
            EXPECT_NEAR(IdealMagnitude(f, form.d.Spec.OverallGain, 1e-3L), dc, 1e-9L);
            EXPECT_EQ(form.r().ZeroPairs, 1);
            EXPECT_NEAR((long double)form.d.Approx[0].ZeroList[1].Wz, wz, 1e-9L);
        }
    }
}

TEST(TfmUser, APoleAtMinusOnePlusMinusJOneHasWpRootTwoAndQOneOverRootTwo) {
    Form form;
    form.addPoles(LP, "1", "1");
    ASSERT_EQ(form.d.StageCount, 1);
    const TStageCoeffs& s = form.d.Stages[1];
    EXPECT_EQ(s.StageType, stSLP);
    EXPECT_NEAR((long double)s.Wp, std::numbers::sqrt2_v<long double>, 1e-11L);
    EXPECT_NEAR((long double)s.Qp, 1 / std::numbers::sqrt2_v<long double>, 1e-11L);
    // The table keeps the denominator s^2 + 2 s + 2 and the upper pole -1 + j.
    EXPECT_NEAR((long double)form.d.Approx[0].PoleTable[1].B, 2.0L, 1e-11L);
    EXPECT_NEAR((long double)form.d.Approx[0].PoleTable[1].C, 2.0L, 1e-11L);
    EXPECT_NEAR((long double)form.d.Approx[0].PoleList[1].Im, 1.0L, 1e-11L);
}

TEST(TfmUser, FrequenciesTypedInHertzAreTakenTimesTwoPi) {
    Form form(true);
    EXPECT_EQ(form.f.UnitCaption, "  Hz  ");
    form.addQ(BP, "4", "1000", "", "2");
    form.addFirst(LP, "50");
    EXPECT_NEAR((long double)form.d.Stages[1].Wp, 1000 * kTwoPi, 1e-8L);
    EXPECT_NEAR((long double)form.d.Stages[2].Sigma, 50 * kTwoPi, 1e-8L);
    EXPECT_EQ(form.d.Stages[1].StageType, stSBP);
}

// ---- Real poles, slots, Delete and Move ----------------------------------------------------

TEST(TfmUser, DeletingTheFirstOfTwoFirstOrderSectionsLeavesTheOtherAsTheRealPole) {
    Form form;
    form.addFirst(LP, "100", "2");
    form.addFirst(HP, "400", "3");
    ASSERT_TRUE(form.r().HasRealPole2);
    form.f.ListBox1Click(0);
    form.f.DeleteBtnClick();
    EXPECT_EQ(form.d.StageCount, 1);
    EXPECT_EQ(form.d.Stages[1].StageType, stFHP);
    EXPECT_TRUE(form.r().HasRealPole);
    EXPECT_EQ((long double)form.r().RealPole, 400.0L);
    EXPECT_FALSE(form.r().HasRealPole2);
    EXPECT_TRUE(form.r().HasSingleZero);
    EXPECT_EQ(form.r().SingleZeros, 1);
    EXPECT_EQ(form.r().Order, 1);
    EXPECT_EQ((long double)form.d.Spec.OverallGain, 3.0L);
    EXPECT_EQ((long double)form.r().GainConstant, 3.0L);
    EXPECT_TRUE(form.f.FirstEnabled);
    EXPECT_EQ(ApproxPoles(form.d, 0).size(), 1u);

    // The highpass goes too: no zero at the origin is left behind.
    form.f.ListBox1Click(0);
    form.f.DeleteBtnClick();
    EXPECT_FALSE(form.r().HasRealPole);
    EXPECT_FALSE(form.r().HasSingleZero);
    EXPECT_EQ(form.r().SingleZeros, 0);
    EXPECT_FALSE(form.f.BitBtn1Enabled);
    EXPECT_TRUE(form.f.Response.empty());
}

TEST(TfmUser, SlotsStayCompactAndTheResponseIsTheProductOfTheSectionsThroughDeleteAndMove) {
    Form form;
    std::vector<RefSection> ref = {{2, LP, 1000, 0.9L, 0, 2},    {2, HP, 3000, 1.5L, 0, 1.5L},
                                   {2, BS, 2000, 4, 2500, 0.8L}, {1, LP, 700, 0, 0, 1.2L},
                                   {2, BP, 5000, 6, 0, 2.5L},    {2, BS, 2000, 8, 1500, 1}};
    for (const auto& s : ref) {
        auto t = [](long double v) { return TrimmedText(v, 3); };
        if (s.order == 1)
            form.addFirst(s.type, t(s.a), t(s.to));
        else
            form.addQ(s.type, t(s.b), t(s.a), s.wz > 0 ? t(s.wz) : "", t(s.to));
    }
    ASSERT_EQ(form.d.StageCount, 6);
    ASSERT_TRUE(form.dlg.messages().empty());

    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        const ApproxResult& r = form.r();
        int pairs = 0, zeroSlots = 0, origin = 0, notches = 0, order = 0;
        long double gain = 1;
        for (const auto& s : ref) {
            order += s.order;
            pairs += s.order == 2;
            zeroSlots += s.order == 2 && (s.type == HP || s.type == BS);
            notches += s.order == 2 && s.type == BS;
            origin += s.type == HP ? s.order : s.type == BP ? 1 : 0;
            gain *= s.to;
        }
        EXPECT_EQ(r.Order, order);
        EXPECT_EQ(r.PolePairs, pairs);
        EXPECT_EQ(r.ProtoZeroPairs, zeroSlots);
        EXPECT_EQ(r.ZeroPairs, notches);
        EXPECT_EQ(r.SingleZeros, origin);
        for (int k = 1; k <= kTableEntries; ++k) {
            EXPECT_EQ(form.d.Spec.UserPoleSlotFree[k], k <= pairs ? 0 : 1) << k;
            EXPECT_EQ(form.d.Spec.UserZeroSlotFree[k], k <= zeroSlots ? 0 : 1) << k;
        }
        // Each second-order stage owns one pole slot holding its own wp.
        std::vector<bool> taken(kTableEntries + 1, false);
        for (int i = 1; i <= form.d.StageCount; ++i) {
            const TStageCoeffs& s = form.d.Stages[i];
            if (isFirstOrder(s.StageType)) continue;
            ASSERT_GE(s.Pole1, 1);
            ASSERT_LE(s.Pole1, pairs);
            EXPECT_FALSE(taken[s.Pole1]);
            taken[s.Pole1] = true;
            EXPECT_EQ((long double)form.d.Approx[0].PoleTable[s.Pole1].Wp, (long double)s.Wp);
        }
        EXPECT_NEAR((long double)form.d.Spec.OverallGain, gain, 1e-11L * gain);
        EXPECT_EQ((long double)form.r().GainConstant, (long double)form.d.Spec.OverallGain);
        EXPECT_EQ(ApproxPoles(form.d, 0).size(), static_cast<size_t>(order));
        EXPECT_EQ(ApproxZeros(form.d, 0).size(), static_cast<size_t>(origin + 2 * notches));
        // The response shown on the form against the closed-form product; 1e-9 dB leaves
        // room for the Real48 rounding of the stored stage values (~1e-12 relative).
        ASSERT_EQ(form.f.Response.size(), static_cast<size_t>(kResponsePoints));
        for (const auto& p : form.f.Response) {
            const long double expected = ReferenceDb(ref, p.W);
            if (expected < -150) continue; // next to a notch the dB value is ill-conditioned
            EXPECT_NEAR(p.GainDb, expected, 1e-9L) << p.W;
        }
        for (int i = 1; i <= form.d.StageCount; ++i) {
            const auto& s = ref[i - 1];
            EXPECT_EQ(form.f.ListLines[i - 1], std::to_string(i) + ".  \t" +
                                                   UserSectionKindName(static_cast<UserSectionKind>(s.type)) +
                                                   "\t" + std::to_string(s.order) + "\xC2\xBA");
        }
    };
    check("entered");

    form.f.ListBox1Click(1); // the highpass
    form.f.DeleteBtnClick();
    ref.erase(ref.begin() + 1);
    check("highpass deleted");

    form.f.ListBox1Click(3); // the bandpass, up one
    EXPECT_TRUE(form.f.UpEnabled);
    EXPECT_TRUE(form.f.DownEnabled);
    form.f.UpBtnClick();
    std::swap(ref[3], ref[2]);
    EXPECT_EQ(form.f.ItemIndex, 2);
    check("bandpass moved up");

    form.f.ListBox1Click(0);
    EXPECT_FALSE(form.f.UpEnabled);
    form.f.UpBtnClick(); // nothing above the first
    form.f.DownBtnClick();
    std::swap(ref[0], ref[1]);
    check("lowpass moved down");

    form.f.ListBox1Click(4);
    EXPECT_FALSE(form.f.DownEnabled);
    form.f.ListBox1Click(0);
    form.f.DeleteBtnClick();
    ref.erase(ref.begin());
    check("first deleted");
}

// ---- The form's controls ----------------------------------------------------------------------

TEST(TfmUser, OrderTypeAndModeSetTheFieldsCaptionsAndTemplate) {
    struct Case {
        int order, type, mode;
        bool hz;
        const char *label1, *label2, *modeCaption, *num, *den;
        bool v2, v3, v4;
    } cases[] = {
        {0, LP, 1, false, "p = -", "", " pole", "-To p", "(s - p)", false, false, false},
        {0, HP, 1, false, "p = -", "", " pole", "To s", "(s - p)", false, false, false},
        {1, LP, 0, false, "Q =", "wp=", " poles", "To wp\xC2\xB2", "(s\xC2\xB2 + (wp/Q)s + wp\xC2\xB2)", true,
         false, false},
        {1, BP, 0, true, "Q =", "fp=", " poles", "To (fp/Q)s", "(s\xC2\xB2 + (fp/Q)s + fp\xC2\xB2)", true,
         false, false},
        {1, BS, 0, true, "Q =", "fp=", " poles,zeros", "To (s\xC2\xB2 + fz\xC2\xB2)",
         "(s\xC2\xB2 + (fp/Q)s + fp\xC2\xB2)", true, true, false},
        {1, HP, 1, false, "p = -", "z = +/-j", " poles", "To s\xC2\xB2", "(s - p) (s - p*)", false, false,
         true},
        {1, BP, 1, false, "p = -", "z = +/-j", " poles", "-To (p + p*)s", "(s - p) (s - p*)", false, false,
         true},
        {1, BS, 1, false, "p = -", "z = +/-j", " poles,zeros", "To (s - z) (s - z*)", "(s - p) (s - p*)",
         true, false, true},
    };
    for (const auto& c : cases) {
        Form form(c.hz);
        SCOPED_TRACE(std::string(c.num));
        form.f.RadioGroup1Click(c.order);
        form.f.RadioGroup2Click(c.type);
        form.f.RadioGroup3Click(c.mode);
        EXPECT_EQ(form.f.Edit1.Label, c.label1);
        if (c.v2) {
            EXPECT_EQ(form.f.Edit2.Label, c.label2);
        }
        EXPECT_EQ(form.f.Edit2.Visible, c.v2);
        EXPECT_EQ(form.f.Edit3.Visible, c.v3);
        EXPECT_EQ(form.f.Edit4.Visible, c.v4);
        EXPECT_EQ(form.f.PoleModeCaption, c.modeCaption);
        EXPECT_EQ(form.f.Template.Numerator, c.num);
        EXPECT_EQ(form.f.Template.Denominator, c.den);
        EXPECT_EQ(form.d.Spec.FilterType, UserDefined); // the section type is the form's own
    }

    // "First" takes the pole form and a lowpass and shuts out what a real pole cannot be;
    // "Second" gives them back with the Q form. Each change empties the first field and
    // resets the gain.
    Form form;
    form.f.RadioGroup2Click(BS);
    form.f.Edit1.Text = "3";
    form.f.EditTo.Text = "5";
    form.f.RadioGroup1Click(0);
    EXPECT_EQ(form.f.SectionType, LP);
    EXPECT_EQ(form.f.UserEntryMode, 1);
    EXPECT_FALSE(form.f.QModeEnabled);
    EXPECT_FALSE(form.f.TypeEnabled[BP]);
    EXPECT_FALSE(form.f.TypeEnabled[BS]);
    EXPECT_TRUE(form.f.TypeEnabled[HP]);
    EXPECT_EQ(form.f.Edit1.Text, "");
    EXPECT_EQ(form.f.EditTo.Text, "1.0");
    form.f.RadioGroup2Click(BP); // disabled
    EXPECT_EQ(form.f.SectionType, LP);
    form.f.RadioGroup1Click(1);
    EXPECT_EQ(form.f.UserEntryMode, 0);
    EXPECT_TRUE(form.f.QModeEnabled);
    EXPECT_TRUE(form.f.TypeEnabled[BS]);
}

// ---- Next, and a design saved and reopened ----------------------------------------------------

TEST(TfmUser, NextHandsTheFilterOnAtLevelTwoWithItsRangesAndResponse) {
    Form form;
    form.d.DesignLevel = LevelComponents; // a finished design whose sections are edited
    bool handedOver = false;
    form.f.OnNext = [&] { handedOver = true; };
    form.addQ(LP, "0.7071", "1000", "", "2");
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations); // later steps no longer apply
    form.addFirst(LP, "10000");
    form.f.BitBtn1Click();
    EXPECT_TRUE(handedOver);
    EXPECT_FALSE(form.f.Visible);
    EXPECT_EQ(form.d.Spec.FilterType, UserDefined);
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
    EXPECT_TRUE(form.d.Modified);
    EXPECT_NEAR((long double)form.d.Spec.HalfPowerGain, 2 / std::numbers::sqrt2_v<long double>, 1e-11L);
    // rad/s display: 0.1 of the lowest section frequency (1000) to 10 of the highest.
    EXPECT_EQ((long double)form.d.Ranges.GraphFreqMin, 100.0L);
    EXPECT_EQ((long double)form.d.Ranges.GraphFreqMax, 100000.0L);
    // The stored ideal response is the product of the two sections.
    const std::vector<RefSection> ref = {{2, LP, 1000, 0.7071L, 0, 2}, {1, LP, 10000, 0, 0, 1}};
    for (int i = 0; i <= kResponseIntervals; i += 25)
        EXPECT_NEAR((long double)form.d.Approx[0].Ideal[i].GainDb, ReferenceDb(ref, form.d.FreqColumn[i].W),
                    1e-9L);
}

TEST(TfmUser, StagesThatCannotBeAUserFilterAreNotRestored) {
    Form form;
    form.addFirst(LP, "100");
    form.addFirst(LP, "200");
    TDesign bad = form.d;
    bad.StageCount = 3;
    bad.Stages[3] = bad.Stages[1]; // a third first-order stage
    const TDesign before = bad;
    EXPECT_FALSE(RestoreUserFilter(bad));
    EXPECT_EQ(bad.Approx[0].Result.Order, before.Approx[0].Result.Order);
    bad = form.d;
    bad.Stages[2].StageType = stSLP; // a second-order stage without wp
    EXPECT_FALSE(RestoreUserFilter(bad));
}

} // namespace
} // namespace velmora
