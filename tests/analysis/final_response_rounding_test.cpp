// The final response column evaluated in double precision with certain 6-byte rounding:
// every stored value must be the extended-precision evaluation's value rounded to the
// 6-byte real, exactly, over whole designs of every stage family.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/final_response.h"
#include "analysis/ideal_responses.h"
#include "approx/approximation.h"
#include "circuits/selection.h"
#include "circuits/standard_substitution.h"
#include "model/real48.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"

namespace velmora {
namespace {

struct DesignCase {
    const char* name;
    stagetest::Spec spec;
    int approx;
    bool standardValues; // resistors substituted by standard values (1 %)
};

// Lowpass, highpass, bandpass and bandstop stages, notches (elliptic), 20th-order
// cascades, odd orders (a first-order or third-order section) and standard values.
const DesignCase kDesigns[] = {
    {"default-like lowpass Chebyshev",
     {Lowpass, 0.5L, 30.0L, 1000.0L, 2000.0L, 0.0L, 0, 1.0L},
     Chebyshev,
     false},
    {"lowpass Bessel 20", {Lowpass, 0.5L, 30.0L, 1000.0L, 2000.0L, 0.0L, 20, 1.0L}, Bessel, false},
    {"bandstop elliptic 20", {Bandstop, 0.5L, 60.0L, 1000.0L, 200.0L, 2000.0L, 10, 1.0L}, Elliptic, false},
    {"lowpass Butterworth 3", {Lowpass, 0.5L, 30.0L, 1000.0L, 3000.0L, 0.0L, 3, 1.0L}, Butterworth, false},
    {"highpass Butterworth 3", {Highpass, 0.5L, 30.0L, 2000.0L, 700.0L, 0.0L, 3, 1.0L}, Butterworth, false},
    {"bandpass Butterworth 4",
     {Bandpass, 0.5L, 30.0L, 1000.0L, 3000.0L, 3000.0L, 2, 1.0L},
     Butterworth,
     false},
    {"lowpass elliptic 5", {Lowpass, 0.5L, 40.0L, 1000.0L, 1500.0L, 0.0L, 5, 1.0L}, Elliptic, false},
    {"highpass elliptic 4", {Highpass, 0.5L, 40.0L, 2000.0L, 1000.0L, 0.0L, 4, 1.0L}, Elliptic, false},
    {"bandpass Chebyshev 8", {Bandpass, 1.0L, 40.0L, 500.0L, 2000.0L, 5000.0L, 4, 2.0L}, Chebyshev, false},
    {"lowpass Chebyshev 6, standard R",
     {Lowpass, 0.5L, 40.0L, 1000.0L, 2000.0L, 0.0L, 6, 1.0L},
     Chebyshev,
     true},
    {"bandstop Butterworth 4, standard R",
     {Bandstop, 0.5L, 30.0L, 2000.0L, 500.0L, 2000.0L, 2, 1.0L},
     Butterworth,
     true},
};

bool Design(TDesign& d, const DesignCase& k) {
    if (!stagetest::Calculate(d, k.spec)) return false;
    ChooseApproximation(d, k.approx);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) return false;
    ComputeIdealResponses(d);
    if (!DesignStageCircuits(d).ok) return false;
    if (k.standardValues) {
        d.Components.ResistorTolerance = 1.0L;
        if (!SwitchStandardROn(d, nullptr).ok) return false;
    }
    return true;
}

long double Rounded(long double x) {
    return Real48::round(x, nullptr);
}

// Every sample equals the extended evaluation rounded, bit for bit, for every available
// variant and for single stages as well as the whole cascade; the fast evaluation must
// carry most points, and across the designs some points must have been evaluated again
// (gains near 0 dB, phases near 0), or the certainty test would not have been exercised.
TEST(FinalResponseRounding, EqualsTheExtendedEvaluationRoundedPointByPoint) {
    int totalPoints = 0, totalExtended = 0;
    for (const DesignCase& k : kDesigns) {
        SCOPED_TRACE(k.name);
        TDesign d;
        ASSERT_TRUE(Design(d, k));
        ASSERT_GE(d.StageCount, 1);
        std::vector<std::pair<int, int>> ranges = {{1, d.StageCount}};
        for (int i = 1; i <= d.StageCount; ++i)
            ranges.emplace_back(i, i);
        for (int variant = 0; variant < kFinalVariantCount; ++variant) {
            if (variant == OpAmpGbw || !FinalVariantAvailable(d, variant)) continue;
            for (const auto& [first, last] : ranges) {
                SCOPED_TRACE("variant " + std::to_string(variant) + " stages " + std::to_string(first) +
                             ".." + std::to_string(last));
                FinalColumnStatistics stats;
                const auto fast = FinalResponse(d, variant, first, last, &stats);
                const auto ref = FinalResponseExtended(d, variant, first, last);
                ASSERT_EQ(fast.size(), static_cast<std::size_t>(kResponseIntervals + 1));
                ASSERT_EQ(ref.size(), fast.size());
                EXPECT_EQ(stats.points, kResponseIntervals + 1);
                totalPoints += stats.points;
                totalExtended += stats.extended;
                int mismatches = 0;
                for (std::size_t i = 0; i < fast.size(); ++i) {
                    const auto& f = fast[i];
                    const auto& r = ref[i];
                    const bool same = f.FHz == r.FHz && f.W == r.W && f.GainDb == Rounded(r.GainDb) &&
                                      f.GainVV == Rounded(r.GainVV) && f.PhaseLag == Rounded(r.PhaseLag) &&
                                      f.PhaseDeg == Rounded(r.PhaseDeg) && f.DelayS == Rounded(r.DelayS);
                    if (!same && mismatches++ < 3)
                        ADD_FAILURE()
                            << "point " << i << " w " << static_cast<double>(r.W) << ": gain "
                            << static_cast<double>(f.GainDb) << " / " << static_cast<double>(r.GainDb)
                            << " dB, phase " << static_cast<double>(f.PhaseLag) << " / "
                            << static_cast<double>(r.PhaseLag) << ", delay " << static_cast<double>(f.DelayS)
                            << " / " << static_cast<double>(r.DelayS);
                }
                EXPECT_EQ(mismatches, 0);
            }
        }
    }
    // A healthy share of fast points, and the extended path exercised.
    RecordProperty("extended", totalExtended);
    RecordProperty("points", totalPoints);
    EXPECT_GT(totalExtended, 0);
    EXPECT_LT(totalExtended, totalPoints / 4);
}

// The stored values are 6-byte reals, and the response agrees with the independent
// evaluation by the roots (one arctangent per root, complex polynomial values) to the
// accuracy of the 6-byte real (about 1e-12 relative; 1e-9 leaves room for the roots'
// conditioning in the 20th-order cascades). Next to a notch the gain is a difference of
// terms of the passband's size, so it is compared absolutely there (1e-15 of a passband
// gain near 1).
TEST(FinalResponseRounding, StoredValuesAre6ByteRealsAndAgreeWithTheRoots) {
    for (const DesignCase& k : kDesigns) {
        SCOPED_TRACE(k.name);
        TDesign d;
        ASSERT_TRUE(Design(d, k));
        const auto fast = FinalResponse(d, StandardCExactR, 1, d.StageCount);
        ASSERT_EQ(fast.size(), static_cast<std::size_t>(kResponseIntervals + 1));
        for (std::size_t i = 0; i < fast.size(); i += 7) {
            const auto& s = fast[i];
            for (const long double v : {s.GainDb, s.GainVV, s.PhaseLag, s.PhaseDeg, s.DelayS})
                EXPECT_EQ(v, Rounded(v));
            EXPECT_EQ(s.PhaseDeg, -s.PhaseLag);
            const auto p = FinalResponseAt(d, StandardCExactR, 1, d.StageCount, s.W);
            ASSERT_TRUE(p.has_value());
            EXPECT_NEAR(static_cast<double>(s.GainVV), static_cast<double>(p->GainVV),
                        1e-9 * static_cast<double>(p->GainVV) + 1e-15);
            EXPECT_NEAR(static_cast<double>(s.PhaseLag), static_cast<double>(p->PhaseLag),
                        1e-9 * (1.0 + std::fabs(static_cast<double>(p->PhaseLag))));
            EXPECT_NEAR(static_cast<double>(s.DelayS), static_cast<double>(p->Delay),
                        1e-9 * std::fabs(static_cast<double>(p->Delay)) + 1e-15);
        }
    }
}

} // namespace
} // namespace velmora
