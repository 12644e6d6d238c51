// The adjustment steps of the component-calculation window as a person uses them: the
// "Adjust Values" arrows and Reset, and standard resistor values on and off with the
// strategy and the recalculation; then the capacitor entry form and the tuning
// instructions of a calculated stage.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/messages.h"
#include "circuits/catalogue.h"
#include "circuits/circuit_stage_support.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "circuits/tuning.h"
#include "model/number_text.h"
#include "stages/stage_types.h"
#include "support/recording_dialogs.h"
#include "support/step_windows.h"
#include "ui/tfm_comp_adj.h"
#include "ui/tuning_text.h"

namespace velmora {
namespace {

// Newton's recalculation meets the targets to about 1e-15; the Real48 storage of the
// component values rounds at about 1e-12 relative.
constexpr long double kRealised = 1e-9L;

// The main window with the Butterworth lowpass of the default specification (second-order
// stages 1, 3 and 4 and first-order stage 2), its circuits chosen as asked (automatically
// where a key is empty) and the component window shown.
struct Window : test::StepWindows {
    explicit Window(const std::vector<StageCircuitRequest>& circuits) {
        Calculate(circuits);
        main.CirCal.FormShow();
    }
    TfmCirCal& cal() { return main.CirCal; }
};

// The stage's pole frequency and Q as its components realise them.
StageParameters<long double> Realised(const TDesign& d, int stage) {
    const CircuitRoutines* routines = StageCircuitRoutines(d, stage);
    EXPECT_NE(routines, nullptr);
    const auto p = RealisedParameters(routines->realise(StageComponentValues(d.Circuits[stage])),
                                      d.Stages[stage].StageType);
    EXPECT_TRUE(p.has_value());
    return p.value_or(StageParameters<long double>{});
}

// The realised pole frequency and Q are those of `reference` (the calculated stage, which
// realises the targets up to the finishing steps that move standard values off).
void ExpectKeepsPoles(const TDesign& d, int stage, const StageParameters<long double>& reference,
                      const std::string& what) {
    SCOPED_TRACE(what + ", stage " + std::to_string(stage));
    const StageParameters<long double> p = Realised(d, stage);
    EXPECT_NEAR(static_cast<double>(p.wp / reference.wp), 1.0, kRealised);
    if (!isFirstOrder(d.Stages[stage].StageType)) {
        EXPECT_NEAR(static_cast<double>(p.qp / reference.qp), 1.0, kRealised);
    }
}

std::vector<long double> Resistors(const TStageCircuit& c) {
    std::vector<long double> r;
    for (int n = 1; n <= c.ResistorCount; ++n)
        r.push_back(R(c, n));
    return r;
}

TEST(TfmCirCalAdjustValues, ArrowsStepTheGroupResetRestoresAndMessagesTellTheOutcome) {
    // Stage 1 the state-variable lowpass (any capacitors, no gain pair), stage 2 the
    // Sallen-Key lowpass with a gain pair R3/R4.
    Window w({{"SLP13"}, {}, {"SLP02"}});
    TfmCirCal& cal = w.cal();
    TDesign& d = *w.d;
    ASSERT_EQ(d.StageCount, 4);
    const TStageCircuit& c1 = d.Circuits[1];
    EXPECT_EQ(cal.AdjustChoiceVisible[TfmCirCal::C2Only], c1.C2Alone != 0);
    EXPECT_FALSE(cal.AdjustChoiceVisible[TfmCirCal::GainPairRatio]);
    const std::vector<long double> calculated = Resistors(c1);
    const StageParameters<long double> poles1 = Realised(d, 1), poles3 = Realised(d, 3);
    const long double c1Before = C(c1, 1);

    // All capacitors one 12-value step up (10 nF to 12 nF): the stage keeps its pole
    // frequency and Q.
    cal.UpArrowClick();
    EXPECT_TRUE(w.dlg.messages().empty()) << w.dlg.messages().front();
    ExpectKeepsPoles(d, 1, poles1, "all capacitors up");
    EXPECT_EQ(cal.Components[static_cast<std::size_t>(c1.ResistorCount)].Text, "12nF");

    // Reset: the calculated values again.
    cal.ResetClick();
    EXPECT_EQ(std::tuple(C(c1, 1), c1.CapsExact), std::tuple(c1Before, 0));
    const std::vector<long double> reset = Resistors(c1);
    ASSERT_EQ(reset.size(), calculated.size());
    for (std::size_t k = 0; k < reset.size(); ++k)
        EXPECT_NEAR(static_cast<double>(reset[k] / calculated[k]), 1.0, 1e-12) << "R" << k + 1;

    // The gain pair of stage 3: R4 one 24-value step up with R3 kept; the pole frequency
    // and Q stay and the gain 1 + R4/R3 grows, which the window reports.
    cal.TabChange(2);
    const TStageCircuit& c2 = d.Circuits[3];
    ASSERT_TRUE(cal.AdjustChoiceVisible[TfmCirCal::GainPairRatio]);
    EXPECT_EQ(cal.AdjustChoices[TfmCirCal::GainPairRatio], " R3/R4");
    cal.AdjustGroupClick(TfmCirCal::GainPairRatio);
    const long double r3 = R(c2, 3), r4 = R(c2, 4), gainBefore = 1.0L + r4 / r3;
    w.dlg.clear();
    cal.UpArrowClick();
    EXPECT_EQ(R(c2, 3), r3);
    EXPECT_GT(R(c2, 4), r4);
    EXPECT_TRUE(FindInSeries(R(c2, 4), Series::E24).has_value());
    ExpectKeepsPoles(d, 3, poles3, "gain pair up");
    const long double gainAfter = 1.0L + R(c2, 4) / R(c2, 3);
    // The report's percentage against the gains the components realise before and after
    // (the calculated R4 sits 0.02 % off its standard value, so allow a few hundredths).
    const std::vector<std::string> said = w.dlg.messages();
    ASSERT_EQ(said.size(), 1u);
    const std::string head = "information: Stage gain has increased by ",
                      tail = "% from its origional value.";
    ASSERT_TRUE(said[0].starts_with(head) && said[0].ends_with(tail)) << said[0];
    const double percent = std::stod(said[0].substr(head.size(), said[0].size() - head.size() - tail.size()));
    EXPECT_NEAR(percent, static_cast<double>((gainAfter - gainBefore) / gainBefore * 100.0L), 0.05);

    // With standard resistor values on the capacitors are locked: the arrows and Reset
    // say so and change nothing.
    d.Components.ResistorTolerance = 5.0L;
    cal.StandardRClick();
    ASSERT_EQ(d.Components.StandardROn, 1);
    cal.AdjustGroupClick(TfmCirCal::AllCapacitors);
    const long double locked = C(c2, 1);
    w.dlg.clear();
    cal.UpArrowClick();
    cal.ResetClick();
    EXPECT_EQ(w.dlg.messages(),
              std::vector<std::string>(2, std::string("warning: ") + app::kCapacitorsLockedText));
    EXPECT_EQ(C(c2, 1), locked);
}

TEST(TfmCirCalStandardValues, OnOffStrategyAndRecalculationSubstituteTheCurrentExactValues) {
    Window w({{"SLP01"}, {}, {"SLP13"}});
    TfmCirCal& cal = w.cal();
    TDesign& d = *w.d;
    d.Components.ResistorTolerance = 5.0L;
    cal.TabChange(0);
    EXPECT_EQ(std::tuple(cal.StandardREnabled, cal.StandardRChecked), std::tuple(true, false));
    std::vector<std::vector<long double>> exact;
    for (int s = 1; s <= d.StageCount; ++s)
        exact.push_back(Resistors(d.Circuits[s]));

    cal.StandardRClick();
    EXPECT_TRUE(cal.StandardRChecked);
    EXPECT_EQ(w.dlg.messages(),
              std::vector<std::string>{"information: There are capacitor(s) in stages 1,2,3,4 "
                                       "not set to exact values."});
    const auto expectSubstituted = [&](const std::vector<std::vector<long double>>& from, bool nearest,
                                       const std::string& what) {
        SCOPED_TRACE(what);
        for (int s = 1; s <= d.StageCount; ++s) {
            const TStageCircuit& c = d.Circuits[s];
            for (int n = 1; n <= c.ResistorCount; ++n) {
                const long double x = from[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(n - 1)];
                EXPECT_EQ(ExactResistor(c, n), x) << "stage " << s << " R" << n;
                EXPECT_TRUE(FindInSeries(R(c, n), Series::E24).has_value()) << "stage " << s << " R" << n;
                const auto nb = FindNeighbours(x, Series::E24);
                const long double lo = SeriesValue(Series::E24, nb->lower),
                                  hi = SeriesValue(Series::E24, nb->upper);
                EXPECT_TRUE(R(c, n) == lo || R(c, n) == hi) << "a neighbour of the exact value";
                if (nearest) {
                    EXPECT_EQ(R(c, n), SeriesValue(Series::E24, *NearestInSeries(x, Series::E24)));
                }
            }
        }
    };
    expectSubstituted(exact, false, "strategy 1");

    // Strategy 2: the nearer neighbour of every resistor.
    cal.StrategyClick(1);
    EXPECT_EQ(d.Components.SubstitutionStrategy, 2);
    expectSubstituted(exact, true, "strategy 2");

    // A recalculation (predistortion of stage 1 moves its exact values): the standard
    // values come from the new exact values, not from those saved before.
    d.Circuits[1].Predistort = 1;
    cal.RecalculateAll();
    auto fresh = std::make_unique<TDesign>(d);
    std::vector<std::vector<long double>> recalculated;
    for (int s = 1; s <= d.StageCount; ++s) {
        LoadAndCalculate(*fresh, s);
        recalculated.push_back(Resistors(fresh->Circuits[s]));
    }
    EXPECT_NE(recalculated[0], exact[0]);
    expectSubstituted(recalculated, true, "after the recalculation");
}

// The capacitor entry form (its range, the refusals with their messages, an accepted
// entry reaching the stage) and the tuning instructions of a calculated stage.
using test::CalculatedStage;
using test::kTwoPi;
using test::RecordingDialogs;

TEST(TfmCapAdj, RangeEntriesAndMessages) {
    // The state-variable lowpass takes any capacitor pair; C1 = 10 nF.
    TDesign d = CalculatedStage("SLP13", 1000.0L, 1.3L, 2.0L);
    RecordingDialogs dlg;
    TfmCapAdj form(d, dlg);
    form.Open(1, 1);
    ASSERT_TRUE(form.Visible);
    EXPECT_EQ(form.CurrentText, "10");
    EXPECT_EQ(form.MinText, "8.9286"); // 10 / 1.12
    EXPECT_EQ(form.MaxText, "11.2");
    EXPECT_EQ(form.ConstraintText, "");

    const struct Case {
        const char* entry;
        std::string message; // empty: accepted
    } refused[] = {{"", "warning: Value not entered!"},
                   {"11.3", "warning: Value does not fall within required range!"},
                   {"ten", "warning: Value is not a number!"}};
    for (const Case& k : refused) {
        dlg.clear();
        form.Entry = k.entry;
        EXPECT_FALSE(form.OKClick()) << k.entry;
        EXPECT_TRUE(form.Visible);
        EXPECT_EQ(dlg.messages(), std::vector<std::string>{k.message}) << k.entry;
    }
    EXPECT_NEAR(static_cast<double>(C(d.Circuits[1], 1)), 10.0e-9, 1e-20);

    // The shown Max itself is accepted; the stage is recalculated for it.
    dlg.clear();
    form.Entry = "11.2";
    EXPECT_TRUE(form.OKClick());
    EXPECT_TRUE(dlg.messages().empty());
    EXPECT_NEAR(static_cast<double>(C(d.Circuits[1], 1)), 11.2e-9, 1e-20);
    EXPECT_EQ(d.Circuits[1].CapsExact, 1);
    form.StndClick();
    EXPECT_EQ(form.Entry, "12"); // the nearest 12-value series value
}

// Tuning instructions: the values of the sections against the closed forms of the
// second-order responses.
const TuningSection* Find(const std::vector<TuningSection>& v, const std::string& name) {
    for (const TuningSection& s : v)
        if (s.name == name) return &s;
    return nullptr;
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
        EXPECT_EQ(std::tuple(qph->values[4], qph->values[5]), std::tuple("-45", "-135"));
        const long double r = std::sqrt(1.0L + 4.0L * q * q);
        EXPECT_EQ(qph->values[8], FrequencyWithUnit(fp * (r - 1.0L) / (2.0L * q), true));
        EXPECT_EQ(qph->values[9], FrequencyWithUnit(fp * (r + 1.0L) / (2.0L * q), true));
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
    }
}

} // namespace
} // namespace velmora
