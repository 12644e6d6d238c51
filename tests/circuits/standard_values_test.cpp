// Preferred-value series, standard tests, neighbours, the capacitor step and the value
// texts, checked against the published IEC 60063 tables (as printed, two or three
// significant digits), the E96 construction rule, brute-force searches over explicit
// value lists, and texts that read back to the value they stand for.
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "circuits/standard_values.h"

namespace velmora {
namespace {

// The tables as printed in the standard, one decade from 1.
const char* const kPublishedE12 = "1.0 1.2 1.5 1.8 2.2 2.7 3.3 3.9 4.7 5.6 6.8 8.2";
const char* const kPublishedE24 = "1.0 1.1 1.2 1.3 1.5 1.6 1.8 2.0 2.2 2.4 2.7 3.0 "
                                  "3.3 3.6 3.9 4.3 4.7 5.1 5.6 6.2 6.8 7.5 8.2 9.1";

std::vector<long double> parse(const char* table) {
    std::istringstream in(table);
    std::vector<long double> out;
    for (std::string word; in >> word;)
        out.push_back(std::strtold(word.c_str(), nullptr));
    return out;
}

// Every series value from 1 ohm (decade exponent -2) to the 1..9.x megohm decade.
std::vector<long double> seriesValues(Series s, int firstExponent, int lastExponent) {
    std::vector<long double> out;
    for (int e = firstExponent; e <= lastExponent; ++e)
        for (int m : SeriesMantissas(s))
            out.push_back(m * std::pow(10.0L, static_cast<long double>(e)));
    return out;
}

TEST(Series, MantissasAreThePublishedTables) {
    for (const auto& [series, table] :
         {std::pair{Series::E12, kPublishedE12}, {Series::E24, kPublishedE24}}) {
        const auto published = parse(table);
        ASSERT_EQ(SeriesMantissas(series).size(), published.size());
        for (std::size_t i = 0; i < published.size(); ++i)
            EXPECT_EQ(SeriesMantissas(series)[i], std::lround(published[i] * 100)) << i;
    }
    // E96 follows its construction rule without exception: 10^(i/96) to three digits.
    ASSERT_EQ(SeriesMantissas(Series::E96).size(), 96u);
    for (int i = 0; i < 96; ++i)
        EXPECT_EQ(SeriesMantissas(Series::E96)[static_cast<std::size_t>(i)],
                  std::lround(100.0 * std::pow(10.0, i / 96.0)))
            << i;
}

TEST(StandardResistor, ValuesOfOtherSeriesAndOddValuesAreNot) {
    const std::tuple<long double, bool, bool, bool> cases[] = {
        {10.0e3L, true, true, true},       {10.2e3L, true, false, false},
        {4.99e3L, true, false, false},     {11.0e3L, true, true, false},
        {12.0e3L, false, true, true},      {9.1e3L, false, true, false},
        {4.7e3L, false, true, true},       {10.5e3L, true, false, false},
        {10.4e3L, false, false, false},    {4.71e3L, false, false, false},
        {10.0002e3L, false, false, false}, {4.75e3L, true, false, false},
        {12.1e3L, true, false, false},     {100.0L * (1 + 5e-7L), true, true, true},
        {1.0L, true, true, true},          {976.0e3L, true, false, false},
        {0.0L, false, false, false},
    };
    for (const auto& [ohms, e96, e24, e12] : cases) {
        EXPECT_EQ(FindStandardResistor(ohms, 1).has_value(), e96) << double(ohms);
        EXPECT_EQ(FindStandardResistor(ohms, 5).has_value(), e24) << double(ohms);
        EXPECT_EQ(FindStandardResistor(ohms, 10).has_value(), e12) << double(ohms);
        EXPECT_FALSE(FindStandardResistor(ohms, 2)) << "no series for 2 %";
    }
    // A value reached by repeated x10 or /10 steps (each step rounds) is still found.
    long double trip = 4.7L;
    for (int i = 0; i < 6; ++i)
        trip *= 10.0L;
    for (int i = 0; i < 6; ++i)
        trip /= 10.0L;
    EXPECT_TRUE(FindStandardResistor(trip, 10));
    // The mark that keeps a computed value from showing as standard (a factor 1.0002)
    // is far outside the match tolerance for every series value.
    for (long double ohms : seriesValues(Series::E96, -2, 4))
        EXPECT_FALSE(FindStandardResistor(ohms * 1.0002L, 1)) << double(ohms);
}

TEST(Normalise, ValuesThatAreNotPositiveHaveNoMantissa) {
    for (long double v : {0.0L, -0.0L, -4.7L, static_cast<long double>(NAN),
                          static_cast<long double>(INFINITY), -static_cast<long double>(INFINITY)}) {
        EXPECT_FALSE(Normalise(v)) << double(v);
        EXPECT_FALSE(FindInSeries(v, Series::E24));
        EXPECT_FALSE(FindNeighbours(v, Series::E24));
        EXPECT_FALSE(NearestInSeries(v, Series::E24));
        EXPECT_FALSE(StepCapacitor(CapStep::Up, v));
    }
}

TEST(Neighbours, AdjacentSeriesValuesAroundTheValueAcrossDecades) {
    // Brute force over an explicit list of all values of the series: the lower
    // neighbour is the largest value not above, the upper the smallest not below.
    for (Series s : {Series::E12, Series::E24, Series::E96}) {
        const auto all = seriesValues(s, -3, 7);
        for (long double v = 1.0L; v < 1.0e7L; v *= 1.0137L) {
            const auto nb = FindNeighbours(v, s);
            ASSERT_TRUE(nb);
            long double below = 0, above = INFINITY;
            for (long double x : all) {
                if (x <= v * (1 + 1e-9L)) below = std::max(below, x);
                if (x >= v * (1 - 1e-9L)) above = std::min(above, x);
            }
            const long double lower = SeriesValue(s, nb->lower), upper = SeriesValue(s, nb->upper);
            EXPECT_NEAR(double(lower / below), 1.0, 1e-12) << double(v);
            EXPECT_NEAR(double(upper / above), 1.0, 1e-12) << double(v);
            EXPECT_EQ(nb->standard, below == above);
        }
    }
}

TEST(Neighbours, WorkedCases) {
    // Above the last 1 % mantissa the upper neighbour is the next decade's first (9.8K);
    // midway between two 5 % values takes the lower (10.5K).
    const std::tuple<long double, Series, long double, long double, long double> cases[] = {
        {9.8e3L, Series::E96, 9.76e3L, 10.0e3L, 9.76e3L},
        {10.5e3L, Series::E24, 10.0e3L, 11.0e3L, 10.0e3L},
        {10.51e3L, Series::E24, 10.0e3L, 11.0e3L, 11.0e3L},
        {9.5e-1L, Series::E12, 8.2e-1L, 1.0L, 1.0L},
        {4.7L, Series::E24, 4.7L, 4.7L, 4.7L},
        {1.0e6L, Series::E12, 1.0e6L, 1.0e6L, 1.0e6L},
    };
    const auto ratio = [](Series s, SeriesPosition p, long double v) {
        return double(SeriesValue(s, p) / v);
    };
    for (const auto& [ohms, s, lower, upper, nearest] : cases) {
        SCOPED_TRACE(double(ohms));
        const auto nb = FindNeighbours(ohms, s);
        ASSERT_TRUE(nb);
        EXPECT_NEAR(ratio(s, nb->lower, lower), 1.0, 1e-15);
        EXPECT_NEAR(ratio(s, nb->upper, upper), 1.0, 1e-15);
        EXPECT_NEAR(ratio(s, *NearestInSeries(ohms, s), nearest), 1.0, 1e-15);
    }
}

TEST(SeriesPositions, StepsCrossDecadesBothWays) {
    const std::tuple<Series, SeriesPosition, int, SeriesPosition> cases[] = {
        {Series::E12, {0, 11}, 1, {1, 0}},      {Series::E12, {1, 0}, -1, {0, 11}},
        {Series::E12, {-13, 0}, -1, {-14, 11}}, {Series::E24, {2, 5}, 48, {4, 5}},
        {Series::E96, {-2, 3}, -100, {-4, 95}}, {Series::E96, {0, 95}, 0, {0, 95}},
    };
    for (const auto& [s, from, steps, to] : cases)
        EXPECT_EQ(StepPosition(s, from, steps), to) << from.exponent << "/" << from.index;
}

TEST(CapacitorStep, EveryMantissaFindsItsPlaceAndStepsAcrossDecades) {
    const auto all = seriesValues(Series::E12, -14, -4);
    // Mantissas 100 .. 999.99 of the 10 nF decade in steps of 0.01.
    for (int hundredths = 10000; hundredths <= 99999; ++hundredths) {
        const long double c = hundredths * 1.0e-13L; // 100.00 .. 999.99 x 1e-11 F
        const auto up = StepCapacitor(CapStep::Up, c), down = StepCapacitor(CapStep::Down, c),
                   same = StepCapacitor(CapStep::Same, c);
        ASSERT_TRUE(up && down && same) << hundredths;
        long double above = INFINITY, below = 0;
        for (long double x : all) {
            if (x > c * (1 + 1e-9L)) above = std::min(above, x);
            if (x < c * (1 - 1e-9L)) below = std::max(below, x);
        }
        ASSERT_NEAR(double(*up / above), 1.0, 1e-12) << hundredths;
        ASSERT_NEAR(double(*down / below), 1.0, 1e-12) << hundredths;
        const bool listed = FindStandardCapacitor(c).has_value();
        if (listed)
            ASSERT_NEAR(double(*same / c), 1.0, 1e-12);
        else
            ASSERT_TRUE(*same == *up || *same == *down);
    }
    // 820 pF steps up to 1 nF and 1 nF down to 820 pF.
    for (const auto& [step, from, to] : {std::tuple{CapStep::Up, 820e-12L, 1e-9L},
                                         {CapStep::Down, 1e-9L, 820e-12L},
                                         {CapStep::Same, 4.7e-9L, 4.7e-9L}})
        EXPECT_NEAR(double(*StepCapacitor(step, from) / to), 1.0, 1e-15);
}

// Reads a value text back: digits then an optional unit.
long double readBack(const std::string& text) {
    std::size_t used = 0;
    const long double v = std::stold(text, &used);
    const std::string unit = text.substr(used);
    if (unit == "G") return v * 1e9L;
    if (unit == "MEG" || unit == "M") return v * 1e6L;
    if (unit == "K") return v * 1e3L;
    if (unit == "pF") return v * 1e-12L;
    if (unit == "nF") return v * 1e-9L;
    if (unit == "uF") return v * 1e-6L;
    EXPECT_EQ(unit, "") << text;
    return v;
}

TEST(ValueTexts, WorkedCases) {
    // Kind, value, digits (0: the display text) and the text.
    // 12349.96 is rounded once from the value, not from its four-decimal text 12.3500; a
    // carry out of the first digit adds a digit (999.96, 9.996K, 9999.96).
    const std::tuple<const char*, long double, int, const char*> cases[] = {
        {"R", 12345.0L, 0, "12.3K"},       {"R", 12349.96L, 0, "12.3K"}, {"R", 12350.0L, 0, "12.4K"},
        {"R", 470.0L, 0, "470"},           {"R", 4.99e3L, 0, "4.99K"},   {"R", 1.5e6L, 0, "1.5M"},
        {"R", 2.2e9L, 0, "2.2G"},          {"R", 0.0L, 0, "  N/A"},      {"R", -10.0L, 0, "  N/A"},
        {"R", INFINITY, 0, "  N/A"},       {"R", 999.96L, 0, "1000"},    {"R", 9.996e3L, 0, "10.0K"},
        {"R", 10123.4L, 5, "10.123K"},     {"R", 470.0L, 5, "470"},      {"R", 9000.0L, 4, "9K"},
        {"R", 9999.96L, 5, "10.000K"},     {"R", 1.5e6L, 5, "1.5MEG"},   {"R", 4.75e6L, 5, "4.75MEG"},
        {"R", 100.0e6L, 5, "100MEG"},      {"C", 4.7e-9L, 0, "4.7nF"},   {"C", 1.5e-10L, 0, "150pF"},
        {"C", 2.2e-6L, 0, "2.2uF"},        {"C", 6.8e-3L, 0, "0.01"},    {"C", 1.5e-8L, 5, "15nF"},
        {"C", 1.23456e-8L, 5, "12.346nF"}, {"C", 3.3e-9L, 3, "3.3nF"},   {"C", 1.59155e-9L, 3, "1.59nF"},
    };
    for (const auto& [kind, value, n, expected] : cases) {
        const std::string text = std::string_view(kind) == "R"
                                     ? (n ? NetlistResistanceText(value, n) : ResistanceDisplayText(value))
                                     : (n ? NetlistCapacitanceText(value, n) : CapacitanceDisplayText(value));
        EXPECT_EQ(text, expected) << kind << " " << double(value) << " n=" << n;
    }
}

TEST(ValueTexts, EverySeriesValueReadsBackExactlyAndFitsItsWidth) {
    for (long double ohms : seriesValues(Series::E96, -2, 6)) {
        for (int n : {4, 5}) {
            const std::string text = NetlistResistanceText(ohms, n);
            EXPECT_NEAR(double(readBack(text) / ohms), 1.0, 1e-12) << text;
        }
        const std::string shown = ResistanceDisplayText(ohms);
        EXPECT_NEAR(double(readBack(shown) / ohms), 1.0, 1e-12) << shown;
    }
    for (long double farads : seriesValues(Series::E12, -14, -8)) {
        const std::string text = CapacitanceDisplayText(farads);
        EXPECT_NEAR(double(readBack(text) / farads), 1.0, 1e-12) << text;
        EXPECT_NEAR(double(readBack(NetlistCapacitanceText(farads, 3)) / farads), 1.0, 1e-12);
    }
    // Any value: the digits stay within the width (before the unit) unless a carry
    // added one, and the text is within half a unit of its last digit of the value.
    for (long double v = 1.0L; v < 999.0L; v *= 1.000731L)
        for (int width : {4, 5, 6}) {
            const std::string digits = ValueDigits(v, width);
            EXPECT_LE(digits.size(), static_cast<std::size_t>(width)) << double(v);
            const auto point = digits.find('.');
            const int decimals = point == std::string::npos ? 0 : static_cast<int>(digits.size() - point - 1);
            EXPECT_LE(std::fabs(std::stold(digits) - v), 0.5L * std::pow(10.0L, -decimals) * (1 + 1e-9L))
                << digits << " for " << double(v);
        }
}

// The powers of ten the series searches read from a table are the library power
// function's own values (not the compiler's correctly rounded ones, which differ in the
// last bit for some negative exponents), inside the table and past both of its ends;
// those up to 10^27 are exact, so each is ten times the one before.
TEST(Series, PowersOfTenAreThePowerFunctionsValues) {
    volatile long double ten = 10.0L; // the library's power function, never the compiler's
    for (int e = -80; e <= 80; ++e) {
        EXPECT_EQ(Pow10(e), std::pow(static_cast<long double>(ten), static_cast<long double>(e))) << e;
        const long double expected = e >= 0 ? Pow10(e) : 1.0L / Pow10(-e);
        EXPECT_EQ(PowerOfTen(e), expected) << e;
    }
    for (int e = 1; e <= 27; ++e)
        EXPECT_EQ(Pow10(e), 10.0L * Pow10(e - 1)) << e;
}

} // namespace
} // namespace velmora
