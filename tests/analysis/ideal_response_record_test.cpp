// The record of computed ideal responses: a second computation over the same axes is
// skipped only while the design holds exactly what the first one read and wrote; after
// any change the responses are those a fresh computation gives.
#include <gtest/gtest.h>

#include <memory>

#include "analysis/ideal_responses.h"
#include "support/specifications.h"

namespace velmora {
namespace {

std::unique_ptr<TDesign> DefaultLowpass() {
    auto d = std::make_unique<TDesign>();
    test::FillSpecification(*d, {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0});
    if (!test::CalculateApproximations(*d)) return nullptr;
    return d;
}

// Every column the computation writes, compared value by value.
void ExpectSameResponses(const TDesign& got, const TDesign& want) {
    for (int i = 0; i <= kResponseIntervals; ++i) {
        ASSERT_EQ(got.FreqColumn[i].W.value(), want.FreqColumn[i].W.value()) << i;
        for (int a : ResponseApproximations(want))
            for (Real48 IdealSample::*column :
                 {&IdealSample::GainVV, &IdealSample::GainDb, &IdealSample::Phase, &IdealSample::Delay,
                  &IdealSample::Step, &IdealSample::Impulse})
                ASSERT_EQ((got.Approx[a].Ideal[i].*column).value(), (want.Approx[a].Ideal[i].*column).value())
                    << a << " " << i;
    }
}

// The reference: the responses over `axes` computed without any record.
std::unique_ptr<TDesign> Fresh(const TDesign& d, const IdealAxes& axes) {
    auto f = std::make_unique<TDesign>(d);
    ComputeIdealResponses(*f, axes);
    return f;
}

TEST(IdealResponseRecord, SkipsOnlyWhileTheDesignHoldsTheRecordedResponses) {
    auto d = DefaultLowpass();
    ASSERT_NE(d, nullptr);
    const IdealAxes axes = DefaultIdealAxes(*d);
    IdealResponseRecord record;
    EXPECT_FALSE(record.Current(*d, axes));
    ComputeIdealResponses(*d, axes, record);
    EXPECT_TRUE(record.Current(*d, axes));
    ExpectSameResponses(*d, *Fresh(*d, axes));

    // Other axes are not the recorded ones.
    IdealAxes wider = axes;
    wider.Freq.Max *= 2;
    EXPECT_FALSE(record.Current(*d, wider));
    IdealAxes longer = axes;
    longer.Time.FullScale *= 2;
    EXPECT_FALSE(record.Current(*d, longer));

    // A new overall gain: the responses are computed again with it.
    d->Spec.OverallGain = 2.0L;
    EXPECT_FALSE(record.Current(*d, axes));
    ComputeIdealResponses(*d, axes, record);
    ExpectSameResponses(*d, *Fresh(*d, axes));
    EXPECT_TRUE(record.Current(*d, axes));

    // A zoom rebuilt the column in between: back on the default axes, the default column.
    FrequencyAxis zoomed = axes.Freq;
    zoomed.Min *= 3;
    ComputeIdealFrequencyResponses(*d, zoomed);
    EXPECT_FALSE(record.Current(*d, axes));
    ComputeIdealResponses(*d, axes, record);
    ExpectSameResponses(*d, *Fresh(*d, axes));

    // A changed pole section, and a changed text of the result, are differences too.
    const int a = ResponseApproximations(*d).front();
    d->Approx[a].PoleTable[1].C = d->Approx[a].PoleTable[1].C * 1.01L;
    EXPECT_FALSE(record.Current(*d, axes));
    ComputeIdealResponses(*d, axes, record);
    ExpectSameResponses(*d, *Fresh(*d, axes));
    d->Approx[a].Result.GainConstantText += " ";
    EXPECT_FALSE(record.Current(*d, axes));

    // A sample overwritten in the design is not what was recorded.
    ComputeIdealResponses(*d, axes, record);
    d->Approx[a].Ideal[100].Step = 0.0L;
    EXPECT_FALSE(record.Current(*d, axes));
    record.Clear();
    ComputeIdealResponses(*d, axes, record);
    ExpectSameResponses(*d, *Fresh(*d, axes));
    record.Clear();
    EXPECT_FALSE(record.Current(*d, axes));
}

} // namespace
} // namespace velmora
