// The specification entries read by the application layer: refused entries name the
// problem and the field as the entry form does, accepted ones give the working values in
// rad/s (a design entered this way is compared with the command line's in the session's
// tests).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "app/design_session.h"
#include "app/messages.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

TEST(SpecificationEntry, RefusedEntriesNameTheProblemAndTheField) {
    using P = EntryProblem;
    using F = EntryField;
    const struct {
        const char* what;
        uint8_t type;
        std::function<void(SpecificationEntry&)> change;
        std::vector<EntryIssue> issues; // reading and checking
        std::optional<P> gain = {};     // the gain's own problem
    } cases[] = {
        {"zero Apb", Lowpass, [](auto& e) { e.apb = "0"; }, {{P::InvalidNumber, F::Apb}}},
        {"text for fsb", Lowpass, [](auto& e) { e.stop.text = "x"; }, {{P::InvalidNumber, F::Stop}}},
        {"order 21",
         Lowpass,
         [](auto& e) { e.forceOrder = true, e.order = "21"; },
         {{P::OrderTooHigh, F::Order}}},
        {"odd band order",
         Bandstop,
         [](auto& e) { e.forceOrder = true, e.order = "5"; },
         {{P::OrderOdd, F::Order}}},
        {"Asb below Apb", Lowpass, [](auto& e) { e.asb = "0.4"; }, {{P::AsbNotAboveApb, F::None}}},
        // Every check of the values read reports: the edges cross and lie above 100 MHz.
        {"edges",
         Lowpass,
         [](auto& e) { e.pass.text = "200000"; },
         {{P::StopNotAbovePass}, {P::FrequencyTooHigh}}},
        {"highpass edges", Highpass, [](auto& e) { e.pass.text = "0.5"; }, {{P::PassNotAboveStop, F::None}}},
        {"bandpass widths", Bandpass, [](auto& e) { e.stop.text = "0.5"; }, {{P::BsbNotAboveBpb, F::None}}},
        {"gain 2000 V/V", Lowpass, [](auto& e) { e.gain = "2000"; }, {}, P::GainTooHigh},
        {"gain 0.05 V/V", Lowpass, [](auto& e) { e.gain = "0.05"; }, {}, P::GainTooLow},
        {"gain 61 dB", Lowpass, [](auto& e) { e.gainDb = true, e.gain = "61"; }, {}, P::GainTooHigh},
        {"gain 60 dB", Lowpass, [](auto& e) { e.gainDb = true, e.gain = "60"; }, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = std::make_unique<TDesign>();
        DesignSession session(*d);
        SpecificationEntry e = session.StartDesign(c.type);
        c.change(e);
        const SpecificationRead read = ReadSpecification(*d, e);
        ASSERT_EQ(read.issues.size(), c.issues.size());
        for (std::size_t k = 0; k < c.issues.size(); ++k) {
            EXPECT_EQ(read.issues[k].problem, c.issues[k].problem) << k;
            EXPECT_EQ(read.issues[k].field, c.issues[k].field) << k;
        }
        const GainRead gain = ReadOverallGain(e);
        EXPECT_EQ(gain.issue.has_value(), c.gain.has_value());
        if (gain.issue) {
            EXPECT_EQ(gain.issue->problem, *c.gain);
            EXPECT_FALSE(EntryMessage(gain.issue->problem).empty());
        }
    }
}

// The working values are stored as Real48, about 1e-12 relative.
::testing::AssertionResult Near(long double got, long double want) {
    if (std::fabs(got - want) <= 1e-11L * want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << static_cast<double>(got) << " is not " << static_cast<double>(want);
}

TEST(SpecificationEntry, WorkingValuesInRadiansPerSecond) {
    auto d = std::make_unique<TDesign>();
    DesignSession session(*d);
    SpecificationEntry e = session.StartDesign(Lowpass); // 1 and 2 kHz
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1000.0L));
    // A text the program wrote reads back as the exact value behind it; a typed change wins.
    e.pass = {"1.1", 1, kTwoPi * 1099.999L, "1.1"};
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1099.999L));
    e.pass.text = "1.2";
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wpb, kTwoPi * 1200.0L));
    // In rad/s the units are rad/s and krad/s.
    session.SetFrequencyUnit(false);
    e = session.StartDesign(Lowpass);
    EXPECT_TRUE(Near(ReadSpecification(*d, e).working.wsb, 2000.0L));
}

} // namespace
} // namespace velmora::app
