// The Monte Carlo envelope of the final-response window, run in the background: its band
// and yield against an independent analysis of the same draws, cancelling, and the
// envelope dropped when the design changes under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "analysis/monte_carlo.h"
#include "support/step_windows.h"

namespace velmora {
namespace {

using State = TfmView::EnvelopeState;

struct Window : test::StepWindows {
    TfmView& view = main.View;
    Window() {
        Calculate();
        view.FormShow();
    }
    // Polls as the window's timer does until the worker has finished.
    void Finish() {
        for (int i = 0; i < 60000 && view.MonteCarloRunning(); ++i) {
            view.MonteCarloPoll();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(view.MonteCarloRunning());
    }
};

TEST(MonteCarloEnvelope, BandAndYieldAgreeWithAnIndependentAnalysis) {
    struct Case {
        ToleranceDistribution dist;
        std::uint64_t seed;
        bool allStages;
    };
    for (const Case c :
         {Case{ToleranceDistribution::Gaussian, 7, true}, Case{ToleranceDistribution::Uniform, 11, true},
          Case{ToleranceDistribution::Gaussian, 7, false}}) {
        Window w;
        TfmView& v = w.view;
        if (!c.allStages) v.StagesChange(false, 1, 1);
        v.Envelope = {400, c.dist, c.seed};
        v.MonteCarloClick();
        w.Finish();
        ASSERT_EQ(v.EnvelopeStatus, State::Done) << v.EnvelopeText;
        const MonteCarloResult& env = *v.EnvelopeResult;

        // The band holds the curve drawn for the realised values at every frequency of
        // the window's column (1e-6 dB: the curve is evaluated in double precision).
        const auto& curve = v.Samples[StandardCExactR];
        ASSERT_FALSE(curve.empty());
        for (const FinalFrequencySample& p : curve) {
            const auto at = std::find_if(env.Band.begin(), env.Band.end(),
                                         [&](const MonteCarloPoint& b) { return b.W == p.W; });
            ASSERT_NE(at, env.Band.end()) << p.W;
            if (p.GainDb < -300) continue; // the floor of a zero
            EXPECT_LE(at->Min, p.GainDb + 1e-6) << p.FHz;
            EXPECT_GE(at->Max, p.GainDb - 1e-6) << p.FHz;
        }

        // The same draws analysed directly over the column and the mask's own frequencies.
        MonteCarloOptions o;
        o.Runs = 400;
        o.Seed = c.seed;
        o.Distribution = c.dist;
        for (const FinalFrequencySample& p : curve)
            o.W.push_back(p.W);
        if (c.allStages)
            for (long double x : MaskFrequencies(*w.d))
                o.W.push_back(x);
        std::sort(o.W.begin(), o.W.end());
        o.W.erase(std::unique(o.W.begin(), o.W.end()), o.W.end());
        o.First = v.First();
        o.Last = v.Last();
        const auto direct = RunMonteCarlo(*w.d, o);
        ASSERT_TRUE(direct && direct->Yield);
        ASSERT_EQ(direct->Band.size(), env.Band.size());
        EXPECT_EQ(direct->Band.back().Max, env.Band.back().Max);
        if (c.allStages) {
            EXPECT_EQ(*env.Yield, *direct->Yield);
            EXPECT_NE(v.EnvelopeText.find("% of 400 runs meet the mask"), std::string::npos)
                << v.EnvelopeText;
        } else {
            // A part of the cascade has an envelope but is not judged against the mask.
            EXPECT_FALSE(v.EnvelopeHasYield);
            EXPECT_NE(v.EnvelopeText.find("no yield"), std::string::npos) << v.EnvelopeText;
        }
    }
}

TEST(MonteCarloEnvelope, CancelKeepsThePreviousEnvelopeAndADesignChangeDropsIt) {
    Window w;
    TfmView& v = w.view;
    v.Envelope.Runs = 200;
    v.MonteCarloClick();
    w.Finish();
    ASSERT_EQ(v.EnvelopeStatus, State::Done);
    const long double yield = *v.EnvelopeResult->Yield;

    // A long analysis cancelled: no result of its own, the envelope before stays.
    v.Envelope.Runs = 9999999;
    v.MonteCarloClick();
    EXPECT_TRUE(v.MonteCarloRunning());
    v.MonteCarloCancel();
    EXPECT_EQ(v.EnvelopeStatus, State::Cancelled);
    ASSERT_TRUE(v.EnvelopeResult);
    EXPECT_EQ(v.EnvelopeResult->Runs, 200);
    EXPECT_EQ(*v.EnvelopeResult->Yield, yield);
    EXPECT_FALSE(v.MonteCarloPoll());

    // Runs outside the parameter's range are refused.
    v.Envelope.Runs = 0;
    v.MonteCarloClick();
    EXPECT_FALSE(v.MonteCarloRunning());
    EXPECT_EQ(w.dlg.messages().size(), 1u);

    // The circuits change (the notification every step sends): the envelope goes, and so
    // does an analysis still running.
    w.main.Changes.ChangedFrom(app::DesignPart::Components);
    EXPECT_FALSE(v.EnvelopeResult);
    EXPECT_EQ(v.EnvelopeStatus, State::Idle);
    v.Envelope.Runs = 9999999;
    v.MonteCarloClick();
    w.main.Changes.ChangedFrom(app::DesignPart::Circuits);
    EXPECT_FALSE(v.MonteCarloRunning());
    EXPECT_FALSE(v.EnvelopeResult);
}

} // namespace
} // namespace velmora
