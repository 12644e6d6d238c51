// The user-defined filter form driven through its handlers with recorded dialogs: the
// order limits, every refusal with its message, the response of the sections entered
// so far against closed-form transfer functions through Delete and Move, and Next.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "approx/poles_zeros.h"
#include "model/number_text.h"
#include "stages/stage_types.h"
#include "stages/user_sections.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_user.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
using C = std::complex<long double>;
const std::string kNonZero = "warning: Value must be non-zero.", kInvalid = "warning: Invalid Number.";
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
    int order, type;
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
    form.dlg.clear();
    form.addFirst(HP, "70");
    EXPECT_TRUE(form.dlg.messages().empty());
    EXPECT_EQ(form.f.OrderCaption, " Filter order = 20");
}

// ---- Entry validation -----------------------------------------------------------------------

TEST(TfmUser, RefusedSectionsWithTheirMessagesAndFocus) {
    const std::string kGain = "warning: Section gain must lie between 0.1V/V and 1000V/V (60dB).";
    struct Case {
        const char *q, *wp, *wz, *to;
        std::string message;
        const char* focus;
    } cases[] = {
        {"0.0", "1000", "2000", "1.0", kNonZero, "Edit1"},
        {"2", "00", "2000", "1.0", kNonZero, "Edit2"},
        {"2", "1000", "2000", "0", kNonZero, "EditTo"},
        {"2", "-1000", "2000", "1.0", kInvalid, "Edit2"},
        {"2", "1000", "123456789", "1.0", kInvalid, "Edit3"}, // longer than the field holds
        // Ranges: every field is read before any is held against its range.
        {"1000", "0", "2000", "1.0", kNonZero, "Edit2"},
        {"0.5", "1000", "2000", "1.0", "warning: Q must be >0.5.", "Edit1"},
        {"300.01", "1000", "2000", "1.0", "warning: Q must not exceed 300.", "Edit1"},
        {"2", "1000", "2000", "1001", kGain, "EditTo"},
        {"2", "1000", "2000", "0.09", kGain, "EditTo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.q) + " " + c.wp + " " + c.wz + " " + c.to);
        Form form;
        form.addQ(BS, c.q, c.wp, c.wz, c.to);
        EXPECT_EQ(std::tuple(form.dlg.messages(), form.f.Focus, form.d.StageCount),
                  std::tuple(std::vector<std::string>{c.message}, c.focus, 0));
    }
    // Sections one by one fine, their product outside the overall limits.
    Form form;
    form.addQ(LP, "0.7", "1000", "", "100");
    form.addFirst(LP, "1000", "11");
    EXPECT_EQ(form.dlg.messages(),
              std::vector<std::string>{"warning: Unable to add section as the overall "
                                       "filter gain would leave 0.1V/V to 1000V/V (60dB)."});
    EXPECT_EQ(form.d.StageCount, 1);
    // A third real pole: a first-order line selected brings the form back to first order.
    Form three;
    three.addFirst(LP, "100");
    three.addFirst(HP, "200");
    EXPECT_FALSE(three.f.FirstEnabled);
    three.f.ListBox1Click(0);
    three.f.AddBtnClick();
    EXPECT_EQ(three.dlg.messages(),
              std::vector<std::string>{
                  "warning: Unable to add section as a filter can have at most 2 first order sections."});
    EXPECT_EQ(three.d.StageCount, 2);
}

// ---- Delete and Move ------------------------------------------------------------------------

TEST(TfmUser, TheResponseIsTheProductOfTheSectionsThroughDeleteAndMove) {
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
        int pairs = 0, origin = 0, notches = 0, order = 0;
        long double gain = 1;
        for (const auto& s : ref) {
            order += s.order;
            pairs += s.order == 2;
            notches += s.order == 2 && s.type == BS;
            origin += s.type == HP ? s.order : s.type == BP ? 1 : 0;
            gain *= s.to;
        }
        EXPECT_EQ(std::tuple(r.Order, r.PolePairs, r.ZeroPairs, r.SingleZeros),
                  std::tuple(order, pairs, notches, origin));
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
    };
    check("entered");

    form.f.ListBox1Click(1); // the highpass
    form.f.DeleteBtnClick();
    ref.erase(ref.begin() + 1);
    check("highpass deleted");

    form.f.ListBox1Click(3); // the bandpass, up one
    EXPECT_EQ(std::tuple(form.f.UpEnabled, form.f.DownEnabled), std::tuple(true, true));
    form.f.UpBtnClick();
    std::swap(ref[3], ref[2]);
    EXPECT_EQ(form.f.ItemIndex, 2);
    check("bandpass moved up");

    form.f.ListBox1Click(4);
    EXPECT_FALSE(form.f.DownEnabled);
    form.f.ListBox1Click(0);
    form.f.DeleteBtnClick();
    ref.erase(ref.begin());
    check("first deleted");
}

// ---- Next ------------------------------------------------------------------------------------

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
    EXPECT_EQ(form.d.DesignLevel, LevelApproximations);
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

} // namespace
} // namespace velmora
