// User-defined filters: a filter built directly from first- and second-order sections.
//
// Each section the user enters becomes one stage record at once (the pairing and
// cascading steps are not used), in the order entered. Approximation slot 0 holds the
// filter-level view of the same sections, which the pole-zero plot, the time scale and
// the exports read:
//   - the counts (Order, PolePairs, ProtoZeroPairs, SingleZeros, ZeroPairs);
//   - the real poles of the first-order sections, the first in RealPole and the second
//     in RealPole2 (a filter has at most two first-order sections);
//   - one PoleTable/PoleList slot per second-order section (s^2 + (wp/Q) s + wp^2 and its
//     upper pole -re + j im), and one ZeroTable/ZeroList slot per highpass section
//     (wz = 0, a double zero at the origin) and per bandstop section (its wz).
// The slots are kept compact, 1..PolePairs and 1..ProtoZeroPairs in section order, so
// every reader may iterate them by count; the slot flags of the specification mark the
// same slots as used. A stage records what it owns: Pole1 is its pole slot (second
// order) or the number of its real pole, 1 or 2 (first order); Zero1 its zero slot or 0.
//
// All of that is derived from the stage records by RebuildUserFilter, which every change
// (add, delete, move) and the reading of a design file run, so the bookkeeping cannot
// drift from the sections. The overall gain is the product of the sections' gain
// figures: To for every section except a lowpass notch, whose entered To is its DC gain
// (its stage To, the high-frequency gain, is To (wp/wz)^2).
//
// Frequencies are rad/s.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/design.h"

namespace velmora {

enum class UserSectionKind : uint8_t { Lowpass = 0, Highpass = 1, Bandpass = 2, Bandstop = 3 };
enum class UserEntryMode : uint8_t { QWpWz = 0, Poles = 1 };

inline constexpr int kMaxUserFirstOrderSections = 2;

// One section as entered, in rad/s. A first-order section reads p (the pole magnitude);
// a second-order one reads q and wp (QWpWz) or re and im (Poles, the upper pole at
// -re + j im); a bandstop section also reads wz. To is the gain figure: the DC gain of a
// lowpass or lowpass notch, the high-frequency gain of a highpass, highpass notch or
// notch, the gain at wp of a bandpass.
struct UserSection {
    int Order = 2; // 1 or 2
    UserSectionKind Kind = UserSectionKind::Lowpass;
    UserEntryMode Mode = UserEntryMode::QWpWz;
    long double P = 0;
    long double Q = 0, Wp = 0;
    long double Re = 0, Im = 0;
    long double Wz = 0;
    long double To = 1;
};

enum class UserAddStatus {
    Ok,
    OrderExceeded,         // the filter order would exceed 20
    TooManyFirstOrder,     // a third first-order section
    TooManySections,       // a twelfth section
    NotPositive,           // a value the section needs is not a positive number
    QTooLow,               // Q not above 0.5
    QTooHigh,              // Q above the 300 a specified design may reach
    FrequencyTooHigh,      // a pole or zero frequency above 100 MHz
    OutOfRange,            // a coefficient of the section would not fit the design's reals
    SectionGainOutOfRange, // the section's gain figure outside 0.1 to 1000 V/V
    GainOutOfRange,        // the overall gain would leave 0.1 to 1000 V/V
    TextTooLong,           // an entered text is longer than the 8 characters a file keeps
};

inline constexpr std::size_t kUserTextLength = 8;

// Whether the filter has room for one more section of `order` (1 or 2): OrderExceeded,
// TooManyFirstOrder, TooManySections or Ok. The first check a new section meets.
UserAddStatus CheckUserCapacity(const TDesign& d, int order);

// Whether `section` can be added to the design's sections, checked in the order the
// form reports them: the order limit, the number of first-order sections and of
// sections, positive values, Q above 0.5 (QWpWz mode), then the limits a specified
// design meets as well: Q at most 300 (either mode), every pole and zero frequency at
// most 100 MHz, the section's gain figure and the overall gain (the product of the
// figures) within 0.1 to 1000 V/V; and the range of the coefficients the design keeps.
// A design file keeps the sections it holds even where they break these limits, so
// earlier designs still open (UserStagesValid checks only what the bookkeeping needs).
UserAddStatus CheckUserSection(const TDesign& d, const UserSection& section);

// The stage record of a section: type (FLP, FHP, SLP, SHP, SBP, and by the zero SLPN,
// SHPN or SN), wp, Qp, wz, sigma, K and To (To (wp/wz)^2 for SLPN). Poles mode:
// wp = sqrt(re^2 + im^2), Q = wp / (2 re). A notch is classed by wz against wp as stored.
TStageCoeffs UserStageOf(const UserSection& section);

// Checks and appends a section as the last stage with its entered texts (each at most
// kUserTextLength characters; they are kept only to show the entries again), then
// rebuilds the filter. A refused section changes nothing.
UserAddStatus AddUserSection(TDesign& d, const UserSection& section, const TUserBlock& texts);

// Removes section `index` (1-based); the later sections move up by one.
void DeleteUserSection(TDesign& d, int index);

// Exchanges sections a and b (stage records and entered texts together).
void SwapUserSections(TDesign& d, int a, int b);

// Whether the design's stage records form a user-defined filter the bookkeeping can
// hold: at most 11 stages, at most two of them first order, order at most 20, every
// pole and zero frequency and Q positive and within range. A design file read from disk
// is checked with this before RebuildUserFilter.
bool UserStagesValid(const TDesign& d);

// Derives approximation slot 0, the slot flags, each stage's slot ownership and K, the
// user gain constant and the overall gain from stages 1..StageCount (see above).
void RebuildUserFilter(TDesign& d);

// After a user-defined design is read from a file (whose slot flags are not stored):
// UserStagesValid, then RebuildUserFilter. False, with the design unchanged, when the
// stages cannot be a user-defined filter.
bool RestoreUserFilter(TDesign& d);

// The kind and the order (1 or 2) of a user-defined stage, from its stage type.
UserSectionKind UserSectionKindOf(const TStageCoeffs& s);
int UserSectionOrderOf(const TStageCoeffs& s);

} // namespace velmora
