#include "circuits/standard_values.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace velmora {
namespace {

// IEC 60063 preferred numbers, three significant digits, one decade.
constexpr std::array<int, 12> kE12 = {100, 120, 150, 180, 220, 270, 330, 390, 470, 560, 680, 820};
constexpr std::array<int, 24> kE24 = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                                      330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};
constexpr std::array<int, 96> kE96 = {
    100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137, 140, 143, 147, 150, 154, 158,
    162, 165, 169, 174, 178, 182, 187, 191, 196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255,
    261, 267, 274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374, 383, 392, 402, 412,
    422, 432, 442, 453, 464, 475, 487, 499, 511, 523, 536, 549, 562, 576, 590, 604, 619, 634, 649, 665,
    681, 698, 715, 732, 750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976};

bool positiveFinite(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

// value x 10^e, dividing for negative e so that exact decimal quotients stay nearest.
long double scaled(long double value, int e) {
    return e >= 0 ? value * PowerOfTen(e) : value / PowerOfTen(-e);
}

bool sameMantissa(long double m, long double entry) {
    return std::fabs(m - entry) < kSeriesMatchTolerance * entry;
}

int seriesSize(Series s) {
    return static_cast<int>(SeriesMantissas(s).size());
}

// Unit of a text: the value is divided by `scale` and `suffix` appended.
struct Unit {
    long double scale;
    const char* suffix;
};

std::string unitText(long double value, Unit u, int width) {
    return ValueDigits(value / u.scale, width) + u.suffix;
}

Unit resistanceUnit(long double ohms, const char* mega) {
    if (ohms >= 1.0e9L) return {1.0e9L, "G"};
    if (ohms >= 1.0e6L) return {1.0e6L, mega};
    if (ohms >= 1.0e3L) return {1.0e3L, "K"};
    return {1.0L, ""};
}

// The bounds sit a little below the powers of ten so that a value a rounding error
// below 1 nF is written "1nF", not "1000pF".
Unit capacitanceUnit(long double farads) {
    if (farads < 9.9999e-10L) return {1.0e-12L, "pF"};
    if (farads < 9.9999e-7L) return {1.0e-9L, "nF"};
    if (farads < 0.00099999L) return {1.0e-6L, "uF"};
    return {1.0L, ""};
}

const std::string kNotAvailable = "  N/A";

// Adds one to the last digit of a digit string, carrying leftwards; true when the carry
// runs out of the first digit (the string is then all zeros).
bool incrementDigits(std::string& digits) {
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

} // namespace

std::span<const int> SeriesMantissas(Series s) {
    switch (s) {
    case Series::E12:
        return kE12;
    case Series::E24:
        return kE24;
    case Series::E96:
        return kE96;
    }
    return kE12;
}

std::optional<Series> SeriesForTolerance(long double tolerancePercent) {
    if (tolerancePercent == 1.0L) return Series::E96;
    if (tolerancePercent == 5.0L) return Series::E24;
    if (tolerancePercent == 10.0L) return Series::E12;
    return std::nullopt;
}

int SeriesTolerance(Series s) {
    switch (s) {
    case Series::E12:
        return 10;
    case Series::E24:
        return 5;
    case Series::E96:
        return 1;
    }
    return 10;
}

// The base of the table of powers, read from a volatile at run time so that the compiler
// cannot evaluate the powers itself: its correctly rounded values differ from the
// library's in the last bit for some negative exponents, and the table must hold the
// library's.
namespace {
volatile long double gPowerBase = 10.0L;
} // namespace

long double Pow10(int e) {
    constexpr int kTabled = 64;
    // Filled once, by the very calls it stands for.
    static const std::array<long double, 2 * kTabled + 1> table = [] {
        const long double base = gPowerBase;
        std::array<long double, 2 * kTabled + 1> t{};
        for (int k = -kTabled; k <= kTabled; ++k)
            t[static_cast<std::size_t>(k + kTabled)] = std::pow(base, static_cast<long double>(k));
        return t;
    }();
    if (e < -kTabled || e > kTabled) return std::pow(10.0L, static_cast<long double>(e));
    return table[static_cast<std::size_t>(e + kTabled)];
}

long double PowerOfTen(int e) {
    // Powers up to 10^27 are exact in the 64-bit mantissa (5^27 < 2^64).
    if (e >= 0) return Pow10(e);
    return 1.0L / Pow10(-e);
}

namespace {

// floor(log10(value)) found by comparison with the table of powers, for a value that lies
// clear of every power of ten by more than a relative 1e-12: there log10 is at least
// 4e-13 away from a whole number, far beyond its rounding error, so its floor is certain
// and the comparison gives the same decade. Nothing for a value near a power of ten or
// outside the table, which the logarithm itself decides.
std::optional<int> DecadeClearOfPowers(long double value) {
    constexpr int kLowest = -60, kHighest = 60;
    constexpr long double kMargin = 1.0e-12L;
    // 2^b <= value < 2^(b+1), from the exponent field of the x87 extended format (a
    // positive normal value here): bytes 8 and 9, biased by 16383.
    static_assert(std::numeric_limits<long double>::digits == 64 &&
                      std::numeric_limits<long double>::max_exponent == 16384,
                  "the x87 80-bit extended format");
    unsigned char bytes[10];
    std::memcpy(bytes, &value, sizeof bytes);
    const int b = ((bytes[9] & 0x7f) << 8 | bytes[8]) - 16383;
    // 77/256 is log10(2) to within 0.1 %: the estimate is a decade off at most.
    int k = (b * 77) >> 8;
    if (k < kLowest || k > kHighest) return std::nullopt;
    while (k > kLowest && Pow10(k) > value)
        --k;
    while (k < kHighest && Pow10(k + 1) <= value)
        ++k;
    if (!(value > Pow10(k) * (1.0L + kMargin) && value < Pow10(k + 1) * (1.0L - kMargin)))
        return std::nullopt;
    return k;
}

} // namespace

std::optional<Normalised> Normalise(long double value) {
    if (!positiveFinite(value)) return std::nullopt;
    // The exponent comes from the logarithm and is corrected by at most one step either
    // way; the mantissa is always formed from the value itself, never by repeated
    // scaling, so it carries one rounding only. Clear of the powers of ten the
    // logarithm's floor is found by comparison instead (the same decade, far cheaper).
    const std::optional<int> decade = DecadeClearOfPowers(value);
    int e = (decade ? *decade : static_cast<int>(std::floor(std::log10(value)))) - 2;
    long double m = scaled(value, -e);
    if (m < 100.0L) m = scaled(value, -(--e));
    if (m >= 1000.0L) m = scaled(value, -(++e));
    return Normalised{m, e};
}

long double SeriesValue(Series s, SeriesPosition p) {
    const auto mantissas = SeriesMantissas(s);
    const int i = std::clamp(p.index, 0, seriesSize(s) - 1);
    return scaled(static_cast<long double>(mantissas[static_cast<std::size_t>(i)]), p.exponent);
}

SeriesPosition StepPosition(Series s, SeriesPosition p, int steps) {
    const long n = seriesSize(s);
    const long linear = static_cast<long>(p.exponent) * n + p.index + steps;
    const long decade = linear >= 0 ? linear / n : -((-linear + n - 1) / n);
    return SeriesPosition{static_cast<int>(decade), static_cast<int>(linear - decade * n)};
}

std::optional<SeriesPosition> FindInSeries(long double value, Series s) {
    const auto n = Normalise(value);
    if (!n) return std::nullopt;
    // The mantissas rise, and neighbours lie further apart (at least 1.9 % in E96) than the
    // two match tolerances together, so no mantissa matches but the last one at or below m
    // or the first one above it: those two are all that need testing.
    const auto mantissas = SeriesMantissas(s);
    const auto above = std::upper_bound(mantissas.begin(), mantissas.end(), n->mantissa,
                                        [](long double m, int entry) { return m < entry; });
    if (above != mantissas.begin() && sameMantissa(n->mantissa, *(above - 1)))
        return SeriesPosition{n->exponent, static_cast<int>(above - 1 - mantissas.begin())};
    if (above != mantissas.end() && sameMantissa(n->mantissa, *above))
        return SeriesPosition{n->exponent, static_cast<int>(above - mantissas.begin())};
    // A value a rounding error below the next decade is that decade's first value.
    if (sameMantissa(n->mantissa, 1000.0L)) return SeriesPosition{n->exponent + 1, 0};
    return std::nullopt;
}

std::optional<SeriesPosition> FindStandardResistor(long double ohms, long double tolerancePercent) {
    const auto s = SeriesForTolerance(tolerancePercent);
    if (!s) return std::nullopt;
    return FindInSeries(ohms, *s);
}

std::optional<SeriesPosition> FindStandardCapacitor(long double farads) {
    return FindInSeries(farads, Series::E12);
}

std::optional<Neighbours> FindNeighbours(long double value, Series s) {
    if (const auto p = FindInSeries(value, s)) return Neighbours{*p, *p, true};
    const auto n = Normalise(value);
    if (!n) return std::nullopt;
    const auto mantissas = SeriesMantissas(s);
    const auto above = std::upper_bound(mantissas.begin(), mantissas.end(), n->mantissa,
                                        [](long double m, int entry) { return m < entry; });
    // The first mantissa is 100 and m >= 100, so `above` is never the first entry; past
    // the last entry the upper neighbour is the next decade's first value.
    const SeriesPosition upper =
        above == mantissas.end() ? SeriesPosition{n->exponent + 1, 0}
                                 : SeriesPosition{n->exponent, static_cast<int>(above - mantissas.begin())};
    return Neighbours{StepPosition(s, upper, -1), upper, false};
}

std::optional<SeriesPosition> NearestInSeries(long double value, Series s) {
    const auto nb = FindNeighbours(value, s);
    if (!nb) return std::nullopt;
    if (nb->standard) return nb->lower;
    const long double down = value - SeriesValue(s, nb->lower);
    const long double up = SeriesValue(s, nb->upper) - value;
    return up < down ? nb->upper : nb->lower;
}

std::optional<long double> StepCapacitor(CapStep mode, long double farads) {
    const auto nb = FindNeighbours(farads, Series::E12);
    if (!nb) return std::nullopt;
    SeriesPosition p;
    if (nb->standard) {
        p = StepPosition(Series::E12, nb->lower, mode == CapStep::Up ? 1 : mode == CapStep::Down ? -1 : 0);
    } else if (mode == CapStep::Up) {
        p = nb->upper;
    } else if (mode == CapStep::Down) {
        p = nb->lower;
    } else {
        p = *NearestInSeries(farads, Series::E12);
    }
    return SeriesValue(Series::E12, p);
}

std::string ValueDigits(long double value, int width) {
    if (!std::isfinite(value) || value < 0.0L) return kNotAvailable;
    // Ten significant digits hold every digit a stored value has (its 39-bit mantissa
    // gives about twelve) while hiding the last-place noise of its binary form.
    char buffer[64];
    const long double whole = std::floor(value);
    int intDigits = whole < 1.0L ? 1 : static_cast<int>(std::floor(std::log10(whole))) + 1;
    if (intDigits > 40) return kNotAvailable;
    std::snprintf(buffer, sizeof buffer, "%.*Lf", std::max(0, 10 - intDigits), value);
    std::string text = buffer;
    const auto point = text.find('.');
    std::string intPart = text.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);
    intDigits = static_cast<int>(intPart.size());

    int decimals = std::clamp(width - intDigits - 1, 0, 4);
    if (decimals > static_cast<int>(frac.size())) decimals = static_cast<int>(frac.size());
    const bool exact = frac.find_first_not_of('0', static_cast<std::size_t>(decimals)) == std::string::npos;
    if (exact) {
        std::string kept = frac.substr(0, static_cast<std::size_t>(decimals));
        while (!kept.empty() && kept.back() == '0')
            kept.pop_back();
        return kept.empty() ? intPart : intPart + "." + kept;
    }
    std::string digits = intPart + frac.substr(0, static_cast<std::size_t>(decimals));
    if (frac[static_cast<std::size_t>(decimals)] >= '5' && incrementDigits(digits)) {
        // 9.9999|6 became 0.0000: the value is 10.0000, one digit longer, so one
        // decimal (a zero) goes to keep the width.
        digits.insert(digits.begin(), '1');
        ++intDigits;
        if (decimals > 0) {
            digits.pop_back();
            --decimals;
        }
    }
    const auto split = static_cast<std::size_t>(intDigits);
    return decimals > 0 ? digits.substr(0, split) + "." + digits.substr(split) : digits;
}

std::string ResistanceDisplayText(long double ohms) {
    if (!positiveFinite(ohms)) return kNotAvailable;
    return unitText(ohms, resistanceUnit(ohms, "M"), 4);
}

std::string CapacitanceDisplayText(long double farads) {
    if (!positiveFinite(farads)) return kNotAvailable;
    return unitText(farads, capacitanceUnit(farads), 4);
}

std::string NetlistResistanceText(long double ohms, int n) {
    if (!positiveFinite(ohms)) return kNotAvailable;
    return unitText(ohms, resistanceUnit(ohms, "MEG"), n + 1);
}

std::string NetlistCapacitanceText(long double farads, int n) {
    if (!positiveFinite(farads)) return kNotAvailable;
    return unitText(farads, capacitanceUnit(farads), n + 1);
}

} // namespace velmora
