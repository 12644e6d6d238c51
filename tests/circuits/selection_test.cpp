// Candidate evaluation, the spreads and GBW texts of the panel, selection, circuits asked
// by key, and the note on an inverting output.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "analysis/final_response.h"
#include "analysis/ideal_responses.h"
#include "app/messages.h"
#include "circuit_stage_support.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

TDesign SecondOrderStage(int type, long double wp, long double qp, long double gain, long double wz = 0) {
    TDesign d;
    d.StageCount = 1;
    d.DesignLevel = LevelCascaded;
    d.Stages[1].StageType = static_cast<uint8_t>(type);
    d.Stages[1].Wp = wp;
    d.Stages[1].Qp = qp;
    d.Stages[1].Wz = wz;
    d.Circuits[1].ActualGain = gain;
    return d;
}

TEST(Spreads, OverTheCircuitsCountsWithTheGainPairLeftOut) {
    TStageCircuit c;
    for (int n = 1; n <= 10; ++n)
        R(c, n) = 0.001L; // placeholders beyond the counts do not count
    R(c, 1) = 1.0e3L;
    R(c, 2) = 4.9995e6L;
    R(c, 3) = 10.0L;  // gain pair
    R(c, 4) = 1.0e6L; // gain pair
    c.ResistorCount = 4;
    c.GainPair = 1;
    C(c, 1) = 1.0e-9L;
    C(c, 2) = 10.0e-9L;
    c.CapacitorCount = 2;
    EXPECT_EQ(std::tuple(ResistorSpread(c), CapacitorSpread(c)), std::tuple(4999, 10));
    c.GainPair = 0;
    EXPECT_EQ(ResistorSpread(c), 499950);
    C(c, 2) = 0.0L; // a zero value: no division, the limit
    EXPECT_EQ(CapacitorSpread(c), kSpreadLimit);
    R(c, 1) = 1.0e-30L;
    EXPECT_EQ(ResistorSpread(c), kSpreadLimit); // limited before truncation
}

TEST(MetricsTexts, GbwFormats) {
    const std::pair<long double, const char*> cases[] = {
        {1.5e9L, "1.5 GHz"}, {1.0e9L, "1000 MHz"}, {2.0e7L, "20 MHz"},
        {3.0e6L, "3.0 MHz"}, {1.0e5L, "0.1 MHz"},  {5.0e4L, "0.05 MHz"},
    };
    for (const auto& [hz, text] : cases)
        EXPECT_EQ(GbwText(hz), text);
}

TEST(EvaluateCandidates, EveryCandidateOnItsOwnScratchCopy) {
    // A lowpass stage at 5 kHz with nothing chosen: every candidate starts from its own
    // starting capacitors (SLP04 designs with C2 = 10 C1), and the stage's record and
    // capacitor set are as they were afterwards.
    TDesign d = SecondOrderStage(stSLP, kTwoPi * 5.0e3L, 0.9L, 1.0L);
    std::array<TCandidateSet, kMaxStages + 1> sets{};
    InitialiseCircuitStep(d, sets);
    d.CapSets[1].Value[1] = 4.7e-9L; // something already in the stage's set
    d.CapSets[1].Value[2] = 4.7e-9L;
    const TDesign before = d;
    TCandidateSet& set = sets[1];
    EvaluateCandidates(d, 1, set);
    ASSERT_TRUE(set.Valid);
    EXPECT_EQ(set.Candidates[4].CapacitorSpread, 10) << "SLP04 keeps its 10x start";
    for (std::size_t k = 1; k <= 6; ++k) {
        EXPECT_EQ(set.Candidates[k].NotRealisable, 0) << k;
        EXPECT_NEAR(double(set.Candidates[k].DesiredGain), 1.0, 1e-12) << k;
    }
    EXPECT_EQ(std::tuple(d.CapSets[1].Value[1].value(), d.CapSets[1].Value[2].value(),
                         d.Circuits[1].CircuitChoice, d.Circuits[1].CircuitNumber, d.Circuits[1].Initialise),
              std::tuple(before.CapSets[1].Value[1].value(), before.CapSets[1].Value[2].value(), 0, 11, 1));
    test::ExpectSameValues(d.Circuits[1], before.Circuits[1]);
}

TEST(SelectCircuit, RefusedWhenNotRealisableAndRecommendedGbwOtherwise) {
    TDesign d = SecondOrderStage(stSLP, kTwoPi * 10.0e3L, 1.0L / std::sqrt(2.0L), 1.0L);
    std::array<TCandidateSet, kMaxStages + 1> sets{};
    InitialiseCircuitStep(d, sets);
    EvaluateCandidates(d, 1, sets[1]);
    TCandidateSet refused = sets[1];
    refused.Candidates[2].NotRealisable = 1;
    EXPECT_EQ(SelectCircuit(d, 1, 2, refused), SelectStatus::NotRealisable);
    EXPECT_EQ(d.Circuits[1].CircuitChoice, 0);
    EXPECT_EQ(SelectCircuit(d, 1, 7, sets[1]), SelectStatus::NoSuchChoice);

    d.Circuits[1].Predistort = 1;
    ASSERT_EQ(SelectCircuit(d, 1, 1, sets[1]), SelectStatus::Selected);
    const TStageCircuit& c = d.Circuits[1];
    EXPECT_EQ(c.CircuitChoice, 1);
    EXPECT_EQ(c.Predistort, 0); // a new circuit starts without predistortion
    // SLP01 at 10 kHz, Qp = 1/sqrt 2: 141 kHz rounds to 100 kHz, raised to 1 MHz.
    EXPECT_EQ(sets[1].Candidates[1].MinRecGBW.value(), 1.0e5L);
    EXPECT_EQ(c.OpAmpGBW.value(), 1.0e6L);
    EXPECT_EQ(d.DesignLevel, LevelCircuitsSelected);
    EXPECT_TRUE(AllStagesSelected(d));

    // The load after selecting stores the starting capacitors and clears the flag.
    ASSERT_TRUE(LoadAndCalculate(d, 1));
    EXPECT_EQ(d.Circuits[1].Initialise, 0);
}

TEST(DesignStageCircuits, AskedCircuitsAndRefusals) {
    TDesign d;
    ASSERT_TRUE(stagetest::Calculate(d, {Lowpass, 0.5L, 30.0L, 1000.0L, 2000.0L, 0.0L, 4, 1.0L}));
    ChooseApproximation(d, Butterworth);
    ASSERT_EQ(SynthesiseStages(d), SynthesisStatus::Ok);
    ASSERT_EQ(d.StageCount, 2);
    TDesign asked = d;
    const CircuitsOutcome ok =
        DesignStageCircuits(asked, {{"SLP03", 2.0e6L, false, false}, {"SLP13", 0, true, false}});
    ASSERT_TRUE(ok.ok) << app::CircuitsMessage(ok);
    EXPECT_EQ(std::tuple(asked.Circuits[1].CircuitNumber, asked.Circuits[1].OpAmpGBW.value(),
                         asked.Circuits[2].CircuitNumber, asked.Circuits[2].Predistort),
              std::tuple(13, 2.0e6L, 23, 1));

    TDesign wrong = d, comp = d, early;
    const CircuitsOutcome bad = DesignStageCircuits(wrong, {{"SHP01", 0, false, false}});
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(app::CircuitsMessage(bad), "Stage 1 is of type SLP ; circuit SHP01 does not realise it.");
    EXPECT_FALSE(DesignStageCircuits(comp, {{"SLP08", 0, false, true}}).ok);
    EXPECT_FALSE(DesignStageCircuits(early).ok);
}

TEST(FinalResponse, InvertingOutputNote) {
    EXPECT_TRUE(app::InvertingNote({}).empty());
    EXPECT_EQ(app::InvertingNote({2}),
              (std::vector<std::string>{"Note:  There is an additional 180 degrees phase shift",
                                        "due to the inverting output of stage 2."}));
    // An odd count inverts the output; an even count cancels and must not claim 180 degrees.
    EXPECT_EQ(app::InvertingNote({1, 2, 3})[1], "due to the inverting outputs of stages 1, 2, 3.");
    for (const std::vector<int>& even : {std::vector<int>{1, 3}, std::vector<int>{1, 2, 4, 5}}) {
        const std::vector<std::string> note = app::InvertingNote(even);
        ASSERT_EQ(note.size(), 2u);
        EXPECT_EQ(note[0].find("180"), std::string::npos);
        EXPECT_NE(note[1].find("no net additional phase shift"), std::string::npos);
    }
    EXPECT_EQ(app::InvertingNote({1, 3})[0], "Note:  The inverting outputs of stages 1, 3");
    EXPECT_EQ(FinalVariantName(StandardCExactR), " Standard C, exact R");
}

} // namespace
} // namespace velmora
