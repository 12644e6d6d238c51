// Tuning instructions: the sections chosen by stage type and Q, their values against the
// closed forms of the second-order responses, and the plain text of the command line.
#include <cmath>

#include <gtest/gtest.h>

#include "circuits/circuit_stage_support.h"
#include "circuits/tuning.h"
#include "model/number_text.h"
#include "ui/tuning_text.h"

namespace velmora {
namespace {

using test::CalculatedStage;
using test::kTwoPi;

const TuningSection* Find(const std::vector<TuningSection>& v, const std::string& name) {
    for (const TuningSection& s : v)
        if (s.name == name) return &s;
    return nullptr;
}

std::vector<std::string> Names(const std::vector<TuningSection>& v) {
    std::vector<std::string> out;
    for (const TuningSection& s : v)
        out.push_back(s.name);
    return out;
}

TEST(Tuning, SectionsByStageTypeAndQ) {
    struct Case {
        const char* key;
        long double qp;
        std::vector<std::string> magnitude, phase;
    };
    const Case cases[] = {
        {"FLP01", 0, {"wc mag"}, {"wc phase"}},
        // Exactly 1/sqrt(2) is not peaking (the threshold is 1.0001/sqrt(2)); 0.71 is.
        {"SLP01", 0.7071067811865476L, {"wp mag", "Qp mag no peak"}, {"wp phase", "Qp phase"}},
        {"SLP01", 0.71L, {"wp mag", "Qp mag peak"}, {"wp phase", "Qp phase"}},
        {"SHP01", 2.0L, {"wp mag", "Qp mag peak"}, {"wp phase", "Qp phase"}},
        {"SBP04", 0.6L, {"wp mag", "Qp mag no peak"}, {"wp phase", "Qp phase"}},
        // Notch stages have no Q phase section.
        {"SLPN10", 2.0L, {"wp mag", "Qp mag peak", "wz mag", "Qz mag"}, {"wp phase", "wz phase"}},
        {"SHPN09", 0.6L, {"wp mag", "Qp mag no peak", "wz mag", "Qz mag"}, {"wp phase", "wz phase"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.key);
        const long double wp = kTwoPi * 1000.0L;
        const std::string key = k.key;
        const long double wz = key.starts_with("SLPN") ? wp * 1.5L : wp / 1.5L;
        const TDesign d = CalculatedStage(k.key, wp, k.qp, 1.0L, wz);
        const auto t = StageTuning(d, 1);
        ASSERT_TRUE(t);
        EXPECT_TRUE(t->recommended);
        EXPECT_EQ(Names(t->magnitude), k.magnitude);
        EXPECT_EQ(Names(t->phase), k.phase);
        for (const auto* v : {&t->magnitude, &t->phase})
            for (const TuningSection& s : *v)
                EXPECT_FALSE(s.lines.empty()) << s.name;
    }
    // Every SN circuit, and the twin-T notches, are not recommended.
    for (const char* key : {"SN01", "SN02", "SN09", "SLPN01", "SHPN01"}) {
        const long double wp = kTwoPi * 1000.0L;
        const TDesign d =
            CalculatedStage(key, wp, 2.0L, 1.0L, std::string(key).starts_with("SN") ? wp : wp * 1.5L);
        const auto t = StageTuning(d, 1);
        ASSERT_TRUE(t) << key;
        EXPECT_FALSE(t->recommended) << key;
        EXPECT_NE(TuningPlainText(d, 1).find("Not recommended"), std::string::npos) << key;
    }
}

TEST(Tuning, SecondOrderValuesAgainstClosedForms) {
    const long double fp = 1000.0L, wp = kTwoPi * fp;
    // Lowpass, Q = 2, gain 1: peak gain Q / sqrt(1 - 1/(4 Q^2)) at fp sqrt(1 - 1/(2 Q^2)).
    {
        const long double q = 2.0L;
        const TDesign d = CalculatedStage("SLP01", wp, q, 1.0L);
        const auto t = StageTuning(d, 1);
        const TuningSection* peak = Find(t->magnitude, "Qp mag peak");
        ASSERT_TRUE(peak);
        EXPECT_EQ(peak->values[4], FixedText(q / std::sqrt(1.0L - 1.0L / (4.0L * q * q)), 3, 5));
        EXPECT_EQ(peak->values[5], FrequencyWithUnit(fp * std::sqrt(1.0L - 1.0L / (2.0L * q * q)), true));
        // 40 dB below the passband gain; the phase at fp is -90, at the Q frequencies -45 / -135.
        EXPECT_EQ(Find(t->magnitude, "wp mag")->values[3], "0.010");
        EXPECT_EQ(Find(t->phase, "wp phase")->values[3], "-90");
        const TuningSection* qph = Find(t->phase, "Qp phase");
        EXPECT_EQ(qph->values[4], "-45");
        EXPECT_EQ(qph->values[5], "-135");
        const long double r = std::sqrt(1.0L + 4.0L * q * q);
        EXPECT_EQ(qph->values[8], FrequencyWithUnit(fp * (r - 1.0L) / (2.0L * q), true));
        EXPECT_EQ(qph->values[9], FrequencyWithUnit(fp * (r + 1.0L) / (2.0L * q), true));
    }
    // An inverting lowpass (multiple feedback) turns every phase by 180 degrees.
    {
        const TDesign d = CalculatedStage("SLP03", wp, 2.0L, 2.0L);
        const auto t = StageTuning(d, 1);
        EXPECT_EQ(Find(t->phase, "wp phase")->values[3], "+90");
        EXPECT_EQ(Find(t->phase, "Qp phase")->values[4], "+135");
        EXPECT_EQ(Find(t->phase, "Qp phase")->values[5], "+45");
    }
    // Lowpass at Q = 0.6 (no peak): the 3-dB frequency of the closed form
    // w3 = wp sqrt(1 - 1/(2Q^2) + sqrt((1 - 1/(2Q^2))^2 + 1)).
    {
        const long double q = 0.6L, a = 1.0L - 1.0L / (2.0L * q * q);
        const TDesign d = CalculatedStage("SLP01", wp, q, 1.0L);
        const auto t = StageTuning(d, 1);
        const TuningSection* s = Find(t->magnitude, "Qp mag no peak");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->values[6], "0.707");
        EXPECT_EQ(s->values[7], FrequencyWithUnit(fp * std::sqrt(a + std::sqrt(a * a + 1.0L)), true));
    }
    // Highpass: measured 40 dB down at a tenth of fp, where a second-order highpass is.
    {
        const TDesign d = CalculatedStage("SHP01", wp, 0.6L, 1.0L);
        const auto t = StageTuning(d, 1);
        const TuningSection* mag = Find(t->magnitude, "wp mag");
        std::string all;
        for (const auto& l : mag->lines)
            all += l;
        EXPECT_NE(all.find("at 0.1* \\bsp \\d01"), std::string::npos);
        EXPECT_EQ(all.find("0.01*"), std::string::npos);
        EXPECT_EQ(mag->values[3], "0.010");
    }
    // Bandpass, Q = 5: the gain at 0.01 fp is K (0.01/Q) / sqrt((1 - 1e-4)^2 + (0.01/Q)^2),
    // far below the 40 dB the template names (that holds only at Q = 1); the 3-dB
    // frequencies are the Q frequencies.
    {
        const long double q = 5.0L, k = 2.0L, x = 0.01L;
        const TDesign d = CalculatedStage("SBP04", wp, q, k);
        const auto t = StageTuning(d, 1);
        const long double kActual = d.Circuits[1].ActualGain;
        const long double g =
            kActual * (x / q) / std::sqrt((1.0L - x * x) * (1.0L - x * x) + (x / q) * (x / q));
        EXPECT_EQ(Find(t->magnitude, "wp mag")->values[3], FixedText(g, 3, 5));
        const long double r = std::sqrt(1.0L + 4.0L * q * q);
        const TuningSection* s = Find(t->magnitude, "Qp mag peak");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->values[6], FrequencyWithUnit(fp * (r - 1.0L) / (2.0L * q), true));
        EXPECT_EQ(s->values[7], FrequencyWithUnit(fp * (r + 1.0L) / (2.0L * q), true));
        // The multiple-feedback bandpass inverts: +45 and -45 turned by 180 degrees.
        EXPECT_EQ(Find(t->phase, "Qp phase")->values[4], "-135");
        EXPECT_EQ(Find(t->phase, "Qp phase")->values[5], "+135");
    }
}

TEST(Tuning, NotchGainRatioAndLabels) {
    // Lowpass notch: the gain below the poles is (wz/wp)^2 times the gain above them.
    const long double wp = kTwoPi * 1000.0L, wz = 1.5L * wp;
    TDesign d = CalculatedStage("SLPN10", wp, 2.0L, 1.0L, wz);
    auto t = StageTuning(d, 1);
    EXPECT_EQ(Find(t->magnitude, "wp mag")->values[8], FixedText(2.25L, 3, 5));
    EXPECT_EQ(Find(t->magnitude, "wp mag")->values[0], "fz");
    // In rad/s the labels follow.
    d.Opt.FreqUnitsHz = 0;
    t = StageTuning(d, 1);
    EXPECT_EQ(Find(t->magnitude, "wp mag")->values[1], "wp");
    ASSERT_EQ(t->steps.size(), 4u);
    EXPECT_EQ(t->steps[0].component, "R7");
    EXPECT_EQ(t->steps[0].parameter, "wp");
    EXPECT_EQ(t->steps[2].parameter, "Qz");
    EXPECT_EQ(t->steps[3].link, -1);
    const std::string text = TuningPlainText(d, 1);
    EXPECT_NE(text.find("Null gain at wz"), std::string::npos) << text;
    EXPECT_EQ(text.find("\\"), std::string::npos) << text; // every code rendered
}

} // namespace
} // namespace velmora
