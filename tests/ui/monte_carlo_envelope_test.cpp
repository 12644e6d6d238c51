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
    // The whole filter (yield judged), and a part of the cascade (no yield: the mask
    // states what the whole filter does).
    for (const bool all : {true, false}) {
        Window w;
        TfmView& v = w.view;
        if (!all) v.StagesChange(false, 1, 1);
        v.Envelope = {400, all ? ToleranceDistribution::Gaussian : ToleranceDistribution::Uniform, 7};
        v.MonteCarloClick();
        w.Finish();
        ASSERT_EQ(v.EnvelopeStatus, State::Done) << v.EnvelopeText;
        const MonteCarloResult& env = *v.EnvelopeResult;

        // The band holds the curve drawn for the realised values at every frequency of the
        // window's column (1e-6 dB: the curve is evaluated in double precision).
        MonteCarloOptions o;
        o.Runs = 400;
        o.Seed = 7;
        o.Distribution = v.Envelope.Distribution;
        for (const FinalFrequencySample& p : v.Samples[StandardCExactR]) {
            o.W.push_back(p.W);
            const auto at = std::find_if(env.Band.begin(), env.Band.end(),
                                         [&](const MonteCarloPoint& b) { return b.W == p.W; });
            ASSERT_NE(at, env.Band.end()) << p.W;
            EXPECT_TRUE(at->Min <= p.GainDb + 1e-6 && at->Max >= p.GainDb - 1e-6) << p.FHz;
        }
        // The same draws analysed directly over the column and the mask's own frequencies.
        const std::vector<long double> mask = all ? MaskFrequencies(*w.d) : std::vector<long double>{};
        o.W.insert(o.W.end(), mask.begin(), mask.end());
        std::sort(o.W.begin(), o.W.end());
        o.W.erase(std::unique(o.W.begin(), o.W.end()), o.W.end());
        o.First = v.First();
        o.Last = v.Last();
        const auto direct = RunMonteCarlo(*w.d, o);
        ASSERT_TRUE(direct && direct->Yield);
        ASSERT_EQ(direct->Band.size(), env.Band.size());
        EXPECT_EQ(v.EnvelopeHasYield, all);
        if (all) {
            EXPECT_EQ(*env.Yield, *direct->Yield);
        }
        EXPECT_NE(v.EnvelopeText.find(all ? "% of 400 runs meet the mask" : "no yield"), std::string::npos)
            << v.EnvelopeText;
    }
}

TEST(MonteCarloEnvelope, CancelKeepsThePreviousEnvelopeAndADesignChangeDropsIt) {
    Window w;
    TfmView& v = w.view;
    v.Envelope.Runs = 200;
    v.MonteCarloClick();
    w.Finish();
    const long double yield = *v.EnvelopeResult->Yield;

    // A long analysis cancelled: no result of its own, the envelope before stays.
    v.Envelope.Runs = 9999999;
    v.MonteCarloClick();
    v.MonteCarloCancel();
    EXPECT_EQ(v.EnvelopeStatus, State::Cancelled);
    ASSERT_TRUE(v.EnvelopeResult);
    EXPECT_EQ(std::tuple(v.EnvelopeResult->Runs, *v.EnvelopeResult->Yield), std::tuple(200, yield));

    // The circuits change (the notification every step sends): the envelope goes, and so
    // does an analysis still running.
    w.main.Changes.ChangedFrom(app::DesignPart::Components);
    EXPECT_FALSE(v.EnvelopeResult);
    v.MonteCarloClick();
    w.main.Changes.ChangedFrom(app::DesignPart::Circuits);
    EXPECT_FALSE(v.MonteCarloRunning());
    EXPECT_EQ(v.EnvelopeStatus, State::Idle);
}

} // namespace
} // namespace velmora
