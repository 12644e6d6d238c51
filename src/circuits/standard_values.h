// Preferred values: the E12, E24 and E96 series of IEC 60063, the tests that tell
// whether a resistor or capacitor has a series value, its neighbours in a series, the
// capacitor step, and the resistance and capacitance texts of the displays and the
// netlist.
//
// A value is handled as a mantissa m with 100 <= m < 1000 and a decade exponent e,
// value = m x 10^e. A position in a series is (exponent, index): the index-th mantissa
// of the series times 10^exponent. Positions continue across decades, so the value
// after 820 x 10^e in E12 is 100 x 10^(e+1).
#pragma once

#include <optional>
#include <span>
#include <string>

namespace velmora {

enum class Series { E12, E24, E96 };

// The mantissas of a series, 100 up to 820 (E12), 910 (E24) or 976 (E96).
std::span<const int> SeriesMantissas(Series s);

// The series of a resistor tolerance: 1 % is E96, 5 % E24, 10 % E12. Other
// tolerances have no series.
std::optional<Series> SeriesForTolerance(long double tolerancePercent);
// The tolerance a series stands for: 1, 5 or 10 (%).
int SeriesTolerance(Series s);

// Two mantissas are the same series value when they differ by less than this part of
// the value. Values that went through repeated x10 and /10 (4.7 ohm is 470.00000000007
// after scaling) differ from the table by far less; neighbouring E96 values differ by
// more than 2 %.
inline constexpr long double kSeriesMatchTolerance = 1.0e-6L;

struct Normalised {
    long double mantissa = 0; // 100 <= mantissa < 1000
    int exponent = 0;         // value = mantissa x 10^exponent
};
// Nothing for a value that is not positive and finite (an absent resistor is 0).
std::optional<Normalised> Normalise(long double value);

// exactly 10^e as the nearest long double (e within +/-30).
long double PowerOfTen(int e);

// std::pow(10.0L, e), the value the library's power function gives, read from a table
// of those values for the decades components and series values use (|e| <= 64) and
// computed beyond it: the standard-value searches take many powers of ten per stage.
long double Pow10(int e);

struct SeriesPosition {
    int exponent = 0; // decade: value = mantissa x 10^exponent
    int index = 0;    // 0 .. series size - 1
    bool operator==(const SeriesPosition&) const = default;
};
// The value at a position, formed from the integer mantissa and the power of ten, so
// 470 x 10^-2 is the long double nearest to 4.7.
long double SeriesValue(Series s, SeriesPosition p);
// The position `steps` places further along the series (negative: downwards).
SeriesPosition StepPosition(Series s, SeriesPosition p, int steps);

// The position of a value of the series (relative tolerance kSeriesMatchTolerance), or
// nothing when the value is no series value or not positive.
std::optional<SeriesPosition> FindInSeries(long double value, Series s);

// A resistor of the series of the tolerance; nothing for other tolerances.
std::optional<SeriesPosition> FindStandardResistor(long double ohms, long double tolerancePercent);
// A capacitor of the E12 series.
std::optional<SeriesPosition> FindStandardCapacitor(long double farads);

// The series values around a value: `lower` <= value <= `upper`, adjacent in the series
// (across a decade when the value lies above the last mantissa). For a series value
// both are that value and `standard` is set.
struct Neighbours {
    SeriesPosition lower, upper;
    bool standard = false;
};
std::optional<Neighbours> FindNeighbours(long double value, Series s);

// The nearer neighbour (by absolute difference; the lower one on equal distance), or
// the value's own position when it is a series value.
std::optional<SeriesPosition> NearestInSeries(long double value, Series s);

// The capacitor step of the starting values and of the capacitor adjustment.
enum class CapStep { Up, Down, Same };
// From a capacitor value C: a value of E12 moves one place up or down or stays; any
// other value moves to its upper or lower neighbour, and with Same to the nearer one.
// Nothing for a value that is not positive.
std::optional<long double> StepCapacitor(CapStep mode, long double farads);

// ---- Texts --------------------------------------------------------------------------
// A value is written in a unit that puts it into 1..999 (G, M or K for resistances,
// pF, nF or uF for capacitances) with at most `width` characters and at most four
// decimals. A value whose digits fit is written exactly, without trailing zeros; a
// longer one is rounded once, half up, from the exact value to the decimals that fit
// (12 349.96 ohm: 12.3K), keeping the digits kept even when they are zeros. A carry
// out of the first digit adds a leading digit and takes one decimal off
// (9.99996K in six characters: 10.000K).

// Display texts (four characters): "12.3K", "4.7nF", "150pF"; "  N/A" for a resistance
// or capacitance that is 0, negative or not finite (an absent component).
std::string ResistanceDisplayText(long double ohms);
std::string CapacitanceDisplayText(long double farads);

// Netlist texts of n significant characters (width n + 1 with the decimal point):
// 5 for stage components, 4 or 3 inside op-amp models. Megohms are written "MEG",
// since a simulator reads "M" as milli: 1.5 MOhm gives "1.5MEG".
std::string NetlistResistanceText(long double ohms, int n);
std::string NetlistCapacitanceText(long double farads, int n);

// The digits of a scaled value in at most `width` characters, by the rule above.
std::string ValueDigits(long double value, int width);

} // namespace velmora
