#include "model/design_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "model/byte_io.h"
#include "model/file_io.h"
#include "model/number_text.h"

namespace velmora {
namespace {

// ---- Layout -------------------------------------------------------------------------

// The magic is the image of a three-character short string, which is why it starts
// with 03.
constexpr std::array<uint8_t, 4> kMagic{0x03, 0x96, 0xAE, 0x96};
constexpr std::string_view kTag = "VML30";

constexpr std::size_t kTagCapacity = 8;
constexpr std::size_t kFlagCapacity = 40;
constexpr std::size_t kLongTextCapacity = 255; // stage names, gain constant texts
constexpr std::size_t kUserTextCapacity = 8;   // entry texts of a user-defined section

constexpr int kFilePoleListEntries = kPoleListEntries + 1; // slot 0 is stored too

constexpr std::size_t kCircuitHeaderSize = 43;
constexpr std::size_t kCircuitOptionsSize = 86;
// Bytes 38..40 of the options record hold the stage's design options; 41..85 are unused.
constexpr std::size_t kCircuitDesignOptions = 3;
constexpr std::size_t kCircuitOptionsUnused = 48 - kCircuitDesignOptions;
constexpr std::size_t kStageCoeffsSize = 307;
constexpr std::size_t kCapacitorSetSize = 66;
constexpr std::size_t kUserBlockSize = 46;
constexpr std::size_t kAdjustedGroupSize = 77;

// Version 1 kept, per stage, the capacitor values of every circuit its type offers.
constexpr int kV1CapacitorEntries = 13;
constexpr std::size_t kV1CapacitorEntrySize = 42;
constexpr std::size_t kV1CapacitorRecordSize = kV1CapacitorEntries * kV1CapacitorEntrySize;
constexpr std::size_t kV1StageGroupSize =
    kCircuitHeaderSize + kStageCoeffsSize + kV1CapacitorRecordSize + kUserBlockSize;

static_assert(kCircuitHeaderSize + kCircuitOptionsSize + kStageCoeffsSize + kCapacitorSetSize +
                  kUserBlockSize ==
              kDesignFileStageGroupSize);
static_assert(kV1StageGroupSize == 942);
static_assert(kMaxStages * kAdjustedGroupSize == kDesignFileAdjustedBlockSize);

// Catalogue numbers are a family base (0 to 85) plus a number within the family; the
// families are 15 numbers apart, so every catalogue number lies below 100. A stage
// offers at most 13 candidate circuits.
constexpr int kCatalogueNumberLimit = 100;
constexpr int kMaxCandidates = 13;

enum class Layout : uint8_t { Version1, Version2, Current };

// ---- Flag string ----------------------------------------------------------------------

// The design-record flags that the flag string carries. Positions whose flag the
// design record does not hold yet are written "0" and read into nothing.
enum class FlagField : uint8_t {
    None,
    AutoPairing,
    AutoCascading,
    GainUnitsDb,
    LogFreqAxis,
    FreqUnitsHz,
    ForceOrder,
    GridLines,
    OrderByQp,
    Modified,
    ResistorAdjustmentDone,
    AllCapsStandard,
    StandardROn,
    Strategy2, // the substitution strategy: "1" strategy 2, "0" strategy 1
};

enum class FlagOnRead : uint8_t {
    Apply,  // the flag takes the stored character
    Clear,  // the flag is cleared whatever was stored
    Ignore, // written for the record, never read back
};

struct FlagPosition {
    int position; // 1-based character of the flag string
    FlagField field;
    FlagOnRead onRead;
    std::string_view meaning;
};

constexpr std::array<FlagPosition, kFlagCapacity> kFlagPositions{{
    {1, FlagField::AutoPairing, FlagOnRead::Apply, "automatic pole-zero pairing"},
    {2, FlagField::AutoCascading, FlagOnRead::Apply, "automatic stage cascading"},
    {3, FlagField::GainUnitsDb, FlagOnRead::Apply, "gain and attenuation in dB"},
    {4, FlagField::LogFreqAxis, FlagOnRead::Apply, "logarithmic frequency axis"},
    {5, FlagField::None, FlagOnRead::Apply, "reserved"},
    {6, FlagField::FreqUnitsHz, FlagOnRead::Apply, "frequencies shown in Hz"},
    {7, FlagField::None, FlagOnRead::Apply, "response graph view option"},
    {8, FlagField::ForceOrder, FlagOnRead::Apply, "order forced by the user"},
    {9, FlagField::None, FlagOnRead::Apply, "response graph view option"},
    {10, FlagField::None, FlagOnRead::Apply, "response graph view option"},
    {11, FlagField::GridLines, FlagOnRead::Apply, "grid lines shown"},
    {12, FlagField::None, FlagOnRead::Apply, "approximation flag of the specification calculation"},
    {13, FlagField::None, FlagOnRead::Apply, "specification form not yet left"},
    {14, FlagField::None, FlagOnRead::Apply, "state of the specification calculation"},
    {15, FlagField::None, FlagOnRead::Apply, "state of the ideal response form"},
    {16, FlagField::None, FlagOnRead::Apply, "cascading form option"},
    {17, FlagField::None, FlagOnRead::Apply, "cascading form option"},
    {18, FlagField::StandardROn, FlagOnRead::Apply, "standard resistor values stand in for the exact ones"},
    {19, FlagField::OrderByQp, FlagOnRead::Apply, "cascade by increasing Qp (else for flatness)"},
    {20, FlagField::Strategy2, FlagOnRead::Apply, "standard values chosen by strategy 2 (else 1)"},
    {21, FlagField::Modified, FlagOnRead::Apply, "modified"},
    {22, FlagField::None, FlagOnRead::Apply, "circuit selection option"},
    {23, FlagField::None, FlagOnRead::Apply, "reserved (also at 33)"},
    {24, FlagField::None, FlagOnRead::Apply, "component characteristics changed"},
    {25, FlagField::None, FlagOnRead::Clear, "always 0"},
    {26, FlagField::None, FlagOnRead::Apply, "schematic and markup drawing option"},
    {27, FlagField::None, FlagOnRead::Ignore, "reserved"},
    {28, FlagField::None, FlagOnRead::Ignore, "print option"},
    {29, FlagField::None, FlagOnRead::Apply, "print option"},
    {30, FlagField::None, FlagOnRead::Apply, "print option"},
    {31, FlagField::None, FlagOnRead::Apply, "print option"},
    {32, FlagField::None, FlagOnRead::Apply, "print option"},
    {33, FlagField::None, FlagOnRead::Apply, "reserved (also at 23)"},
    {34, FlagField::None, FlagOnRead::Apply, "circuit option of selection and calculation"},
    {35, FlagField::None, FlagOnRead::Apply, "capacitor adjustment option"},
    {36, FlagField::ResistorAdjustmentDone, FlagOnRead::Apply,
     "resistors adjusted: the adjusted block follows"},
    {37, FlagField::AllCapsStandard, FlagOnRead::Apply, "all capacitors standard values"},
    {38, FlagField::None, FlagOnRead::Ignore, "always 0"},
    {39, FlagField::None, FlagOnRead::Ignore, "always 0"},
    {40, FlagField::None, FlagOnRead::Ignore, "always 0"},
}};

constexpr bool PositionsInOrder() {
    for (std::size_t i = 0; i < kFlagPositions.size(); ++i)
        if (kFlagPositions[i].position != static_cast<int>(i) + 1) return false;
    return true;
}
static_assert(PositionsInOrder());

constexpr int kAdjustedBlockPosition = 36;

// The flag a position stands for, in a const or a mutable design.
template <class Design> auto FlagField(Design& d, FlagField f) -> decltype(&d.Modified) {
    switch (f) {
    case FlagField::AutoPairing:
        return &d.Opt.AutoPairing;
    case FlagField::AutoCascading:
        return &d.Opt.AutoCascading;
    case FlagField::GainUnitsDb:
        return &d.Opt.GainUnitsDb;
    case FlagField::LogFreqAxis:
        return &d.Opt.LogFreqAxis;
    case FlagField::FreqUnitsHz:
        return &d.Opt.FreqUnitsHz;
    case FlagField::ForceOrder:
        return &d.Spec.ForceOrder;
    case FlagField::GridLines:
        return &d.Opt.GridLines;
    case FlagField::OrderByQp:
        return &d.Opt.OrderByQp;
    case FlagField::Modified:
        return &d.Modified;
    case FlagField::ResistorAdjustmentDone:
        return &d.Opt.ResistorAdjustmentDone;
    case FlagField::AllCapsStandard:
        return &d.Components.AllCapsStandard;
    case FlagField::StandardROn:
        return &d.Components.StandardROn;
    case FlagField::Strategy2: // not a plain flag: see makeFlagString and applyFlagString
    case FlagField::None:
        break;
    }
    return nullptr;
}

// The standard-value state of the design. Which standard values stand in for the exact
// resistors is not stored: it follows again from the exact values, which the reading
// recalculates, from the series of the stored resistor tolerance and from the strategy
// (the design file documentation says so).
//
// Positions 18 and 20 were reserved and written "0" by every earlier version, so an
// earlier file opens with standard values off and strategy 1, as it was saved.
constexpr int kStandardROnPosition = 18;
constexpr int kStrategy2Position = 20;
static_assert(kFlagPositions[kStandardROnPosition - 1].field == FlagField::StandardROn);
static_assert(kFlagPositions[kStrategy2Position - 1].field == FlagField::Strategy2);

std::string MakeFlagString(const TDesign& d) {
    std::string s(kFlagCapacity, '0');
    for (const FlagPosition& p : kFlagPositions) {
        const uint8_t* flag = FlagField(d, p.field);
        if (flag && *flag) s[p.position - 1] = '1';
    }
    if (d.Components.SubstitutionStrategy == 2) s[kStrategy2Position - 1] = '1';
    return s;
}

// A character beyond the stored length, or anything but "1", reads as a cleared flag.
bool FlagSet(std::string_view flags, int position) {
    return static_cast<std::size_t>(position) <= flags.size() && flags[position - 1] == '1';
}

void ApplyFlagString(TDesign& d, std::string_view flags) {
    for (const FlagPosition& p : kFlagPositions) {
        uint8_t* flag = FlagField(d, p.field);
        if (!flag) continue;
        switch (p.onRead) {
        case FlagOnRead::Apply:
            *flag = FlagSet(flags, p.position) ? 1 : 0;
            break;
        case FlagOnRead::Clear:
            *flag = 0;
            break;
        case FlagOnRead::Ignore:
            break;
        }
    }
    d.Components.SubstitutionStrategy = FlagSet(flags, kStrategy2Position) ? 2 : 1;
}

// ---- Records ----------------------------------------------------------------------------

void Put(ByteWriter& w, const PoleListEntry& e) {
    for (const Real48& x : {e.ReNorm, e.ImNorm, e.Re, e.Im, e.Reserved1, e.Reserved2})
        w.real(x);
}
void Get(ByteReader& r, PoleListEntry& e) {
    for (Real48* x : {&e.ReNorm, &e.ImNorm, &e.Re, &e.Im, &e.Reserved1, &e.Reserved2})
        *x = r.real();
}

void Put(ByteWriter& w, const ZeroListEntry& e) {
    w.real(e.WzNorm);
    w.real(e.Wz);
}
void Get(ByteReader& r, ZeroListEntry& e) {
    e.WzNorm = r.real();
    e.Wz = r.real();
}

void Put(ByteWriter& w, const PoleTableEntry& e) {
    for (const Real48& x : {e.BNorm, e.CNorm, e.B, e.C, e.Wp, e.Qp})
        w.real(x);
}
void Get(ByteReader& r, PoleTableEntry& e) {
    for (Real48* x : {&e.BNorm, &e.CNorm, &e.B, &e.C, &e.Wp, &e.Qp})
        *x = r.real();
}

void Put(ByteWriter& w, const ZeroTableEntry& e) {
    w.real(e.Wz2Norm);
    w.real(e.Wz2);
}
void Get(ByteReader& r, ZeroTableEntry& e) {
    e.Wz2Norm = r.real();
    e.Wz2 = r.real();
}

void Put(ByteWriter& w, const ApproxResult& a) {
    w.i16(a.Order);
    w.u8(a.Reserved20);
    w.u8(a.Reserved0);
    w.u8(a.OrderTooHigh);
    w.i16(a.PolePairs);
    w.i16(a.ProtoZeroPairs);
    w.i16(a.SingleZeros);
    w.i16(a.ZeroPairs);
    w.u8(a.HasRealPole);
    w.real(a.RealPoleNorm);
    w.real(a.RealPole);
    w.u8(a.HasRealPole2);
    w.real(a.RealPole2);
    w.u8(a.HasSingleZero);
    w.real(a.SingleZero);
    w.shortString(a.GainConstantText, kLongTextCapacity);
    w.real(a.GainConstant);
    w.real(a.GainConstantNorm);
    w.real(a.MaxQp);
}
void Get(ByteReader& r, ApproxResult& a) {
    a.Order = r.i16();
    a.Reserved20 = r.u8();
    a.Reserved0 = r.u8();
    a.OrderTooHigh = r.u8();
    a.PolePairs = r.i16();
    a.ProtoZeroPairs = r.i16();
    a.SingleZeros = r.i16();
    a.ZeroPairs = r.i16();
    a.HasRealPole = r.u8();
    a.RealPoleNorm = r.real();
    a.RealPole = r.real();
    a.HasRealPole2 = r.u8();
    a.RealPole2 = r.real();
    a.HasSingleZero = r.u8();
    a.SingleZero = r.real();
    a.GainConstantText = r.shortString(kLongTextCapacity);
    a.GainConstant = r.real();
    a.GainConstantNorm = r.real();
    a.MaxQp = r.real();
}

void Put(ByteWriter& w, const TPoleEntry& e) {
    w.u8(e.Free);
    w.u8(e.Kind);
    for (const Real48& x : {e.Q, e.Wp, e.Sigma, e.Imag})
        w.real(x);
    w.bytes(e.Reserved);
}
void Get(ByteReader& r, TPoleEntry& e) {
    e.Free = r.u8();
    e.Kind = r.u8();
    for (Real48* x : {&e.Q, &e.Wp, &e.Sigma, &e.Imag})
        *x = r.real();
    for (uint8_t& b : e.Reserved)
        b = r.u8();
}

void Put(ByteWriter& w, const TZeroEntry& e) {
    w.u8(e.Free);
    w.u8(e.Kind);
    w.real(e.Re);
    w.real(e.Wz);
}
void Get(ByteReader& r, TZeroEntry& e) {
    e.Free = r.u8();
    e.Kind = r.u8();
    e.Re = r.real();
    e.Wz = r.real();
}

void Put(ByteWriter& w, const TStageCoeffs& s) {
    w.u8(s.StageType);
    w.shortString(s.Name, kLongTextCapacity);
    for (int16_t i : {s.Pole1, s.Pole2, s.Zero1, s.Zero2})
        w.i16(i);
    for (const Real48& x : {s.Wp, s.Qp, s.Wz, s.Sigma, s.Flatness, s.K, s.To})
        w.real(x);
}
void Get(ByteReader& r, TStageCoeffs& s) {
    s.StageType = r.u8();
    s.Name = r.shortString(kLongTextCapacity);
    for (int16_t* i : {&s.Pole1, &s.Pole2, &s.Zero1, &s.Zero2})
        *i = r.i16();
    for (Real48* x : {&s.Wp, &s.Qp, &s.Wz, &s.Sigma, &s.Flatness, &s.K, &s.To})
        *x = r.real();
}

void Put(ByteWriter& w, const TUserBlock& u) {
    w.u8(u.EntryMode);
    for (const std::string& t : u.Texts)
        w.shortString(t, kUserTextCapacity);
}
void Get(ByteReader& r, TUserBlock& u) {
    u.EntryMode = r.u8();
    for (std::string& t : u.Texts)
        t = r.shortString(kUserTextCapacity);
}

void Put(ByteWriter& w, const TCascadeCriteria& c) {
    for (int k = 1; k <= 4; ++k) {
        w.u8(c.Options[k].Enabled);
        w.i16(c.Options[k].Priority);
    }
}
void Get(ByteReader& r, TCascadeCriteria& c) {
    for (int k = 1; k <= 4; ++k) {
        c.Options[k].Enabled = r.u8();
        c.Options[k].Priority = r.i16();
    }
}

// The circuit record is stored in two parts. Its seven free parameters and six option
// bytes are spread over them: parameters 0..2 in the header, 3..4 and 5..6 in the
// options record around option bytes 0..4, the compensation flag and the noise; option
// byte 5 sits alone after them.
//
// Byte 18 of the options record, after the compensation flag, holds whether the user
// entered the stage's capacitors (1) or they are as calculated (0). Earlier versions
// wrote it as zero, which reads as "as calculated", the state those files were saved in
// (they kept no entered capacitors). The entered values themselves are the capacitor
// set's values, their reference values its alternative values; the offsets and standard
// marks follow from those and are derived again after reading.
//
// Bytes 38, 39 and 40, after the last option byte, hold the stage's design options that
// the recalculation after reading needs to give the same components: " C2 variable",
// " C1=C2 : R1=R2" and predistortion (1 set, 0 clear). Earlier versions wrote them as
// zero; their designs reopen with the options cleared, as they always did.
void PutCircuitHeader(ByteWriter& w, const TStageCircuit& c) {
    w.u8(c.Initialise);
    w.i16(c.CircuitNumber);
    w.i16(c.CircuitChoice);
    w.i16(c.PrevChoice);
    for (int k = 0; k < 3; ++k)
        w.real(c.Parameters[k]);
    w.real(c.OpAmpGBW);
    w.real(c.GbwTolerance);
    w.real(c.GbwTempCo);
}
void GetCircuitHeader(ByteReader& r, TStageCircuit& c) {
    c.Initialise = r.u8();
    c.CircuitNumber = r.i16();
    c.CircuitChoice = r.i16();
    c.PrevChoice = r.i16();
    for (int k = 0; k < 3; ++k)
        c.Parameters[k] = r.real();
    c.OpAmpGBW = r.real();
    c.GbwTolerance = r.real();
    c.GbwTempCo = r.real();
}

void PutCircuitOptions(ByteWriter& w, const TStageCircuit& c) {
    w.real(c.Parameters[3]);
    w.real(c.Parameters[4]);
    for (int k = 0; k < 5; ++k)
        w.u8(c.Options[k]);
    w.u8(c.CompensationInUse);
    w.u8(c.CapsExact ? 1 : 0);
    w.real(c.OpAmpNoise);
    w.real(c.Parameters[5]);
    w.real(c.Parameters[6]);
    w.u8(c.Options[5]);
    w.u8(c.UseC2Variable ? 1 : 0);
    w.u8(c.UseC1EqC2 ? 1 : 0);
    w.u8(c.Predistort ? 1 : 0);
    w.zeros(kCircuitOptionsUnused);
}
void GetCircuitOptions(ByteReader& r, TStageCircuit& c) {
    c.Parameters[3] = r.real();
    c.Parameters[4] = r.real();
    for (int k = 0; k < 5; ++k)
        c.Options[k] = r.u8();
    c.CompensationInUse = r.u8();
    c.CapsExact = r.u8() == 1 ? 1 : 0;
    c.OpAmpNoise = r.real();
    c.Parameters[5] = r.real();
    c.Parameters[6] = r.real();
    c.Options[5] = r.u8();
    c.UseC2Variable = r.u8() == 1 ? 1 : 0;
    c.UseC1EqC2 = r.u8() == 1 ? 1 : 0;
    c.Predistort = r.u8() == 1 ? 1 : 0;
    r.skip(kCircuitOptionsUnused);
}

// Version 1 had no options record: its stages start with the options of a new stage.
void ClearCircuitOptions(TStageCircuit& c, const Real48& noise) {
    for (int k = 3; k < 7; ++k)
        c.Parameters[k] = 0.0L;
    c.Options.fill(0);
    c.CompensationInUse = 0;
    c.CapsExact = 0;
    c.UseC2Variable = c.UseC1EqC2 = c.Predistort = 0;
    c.OpAmpNoise = noise;
}

// The option byte that version 2 files used for something else.
constexpr int kVersion2StaleOption = 5;

constexpr int CapacitorSlot(int k) {
    return kResistorSlots + k;
}

// The capacitor values stored with a stage are those of its circuit's capacitor slots.
void PutCapacitorSet(ByteWriter& w, const TCapacitorSet& set, const TStageCircuit& c) {
    w.bytes(set.Selection);
    for (int k = 1; k <= kCapacitorSlots; ++k)
        w.real(c.Components[CapacitorSlot(k)].Value);
    for (int k = 1; k <= kCapacitorSlots; ++k)
        w.real(c.Components[CapacitorSlot(k)].Alternative);
}
void GetCapacitorSet(ByteReader& r, TCapacitorSet& set) {
    for (uint8_t& b : set.Selection)
        b = r.u8();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Value[k] = r.real();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Alternative[k] = r.real();
}

// Version 1: one 42-byte entry per circuit of the stage's type, laid out as the first
// 18 bytes and the four capacitor values of a capacitor set.
void GetV1CapacitorEntry(std::span<const uint8_t> entry, TCapacitorSet& set) {
    ByteReader r(entry);
    for (uint8_t& b : set.Selection)
        b = r.u8();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Value[k] = set.Alternative[k] = r.real();
}

void PutAdjustedGroup(ByteWriter& w, const TStageCircuit& c) {
    for (int k = 1; k <= kResistorSlots; ++k)
        w.real(c.Components[k].Adjusted);
    w.zeros(6);
    for (int k = 1; k <= kResistorSlots; ++k)
        w.u8(c.Components[k].AdjustedMark);
    w.zeros(1);
}
void GetAdjustedGroup(ByteReader& r, TStageCircuit& c) {
    for (int k = 1; k <= kResistorSlots; ++k)
        c.Components[k].Adjusted = r.real();
    r.skip(6);
    for (int k = 1; k <= kResistorSlots; ++k)
        c.Components[k].AdjustedMark = r.u8();
    r.skip(1);
}

// ---- Header -------------------------------------------------------------------------------

// The reals of the header in their stored order, from offset 54; a zero real follows.
template <class Design> auto HeaderReals(Design& d) {
    auto& s = d.Spec;
    auto& c = d.Components;
    return std::array{&s.Asb,
                      &s.Apb,
                      &s.wsb,
                      &s.wpb,
                      &s.w0,
                      &s.Bpb,
                      &s.Bsb,
                      &s.Selectivity,
                      &s.NormPassEdge,
                      &s.ApbEntry,
                      &s.AsbEntry,
                      &s.PassFreqEntry,
                      &s.StopFreqEntry,
                      &s.CenterFreqEntry,
                      &s.OverallGain,
                      &c.ResistorTolerance,
                      &c.CapacitorTolerance,
                      &c.OpAmpTolerance,
                      &c.ResistorTempCo,
                      &c.CapacitorTempCo,
                      &c.TempRise,
                      &c.Reserved1,
                      &c.Reserved2,
                      &c.OpAmpNoise};
}

// The int16 fields of the header in their stored order, from offset 204; a zero
// int16 ends the header.
template <class Design> auto HeaderInts(Design& d) {
    auto& s = d.Spec;
    return std::array{&d.StageCount,   &d.CurrentApprox, &s.LastApproxIndex,
                      &s.PassFreqUnit, &s.StopFreqUnit,  &s.CenterFreqUnit,
                      &s.ForcedOrder,  &d.PoleCount,     &d.ZeroCount};
}

static_assert(54 + 6 * std::tuple_size_v<decltype(HeaderReals(std::declval<TDesign&>()))> + 6 == 204);
static_assert(204 + 2 * std::tuple_size_v<decltype(HeaderInts(std::declval<TDesign&>()))> + 2 ==
              kDesignFileHeaderSize);

// The tag names the layout by its fourth and fifth characters; a tag that names no
// earlier layout is read as the current one.
Layout LayoutOfTag(std::string_view tag) {
    if (tag == kTag || tag.size() < 5) return Layout::Current;
    const std::string_view version = tag.substr(3, 2);
    if (version == "10") return Layout::Version1;
    if (version == "20") return Layout::Version2;
    return Layout::Current;
}

// ---- Failures ---------------------------------------------------------------------------

DesignFileResult Failure(DesignFileStatus status, std::string message) {
    return {status, std::move(message)};
}

DesignFileResult BadContent(std::string message) {
    return Failure(DesignFileStatus::BadContent, "The design file " + std::move(message));
}

DesignFileResult OutOfRange(const std::string& what, int value, int low, int high) {
    return BadContent("has " + what + " " + std::to_string(value) + "; it must lie between " +
                      std::to_string(low) + " and " + std::to_string(high) + ".");
}

bool Within(int v, int low, int high) {
    return v >= low && v <= high;
}

// The blocks of a layout with the offset where each ends, to say where a short file
// stops.
struct BlockEnd {
    std::string name;
    std::size_t end;
};

std::vector<BlockEnd> BlockEnds(Layout layout, int stages, bool adjustedBlock) {
    std::vector<BlockEnd> ends;
    std::size_t at = 0;
    auto add = [&](std::string name, std::size_t size) {
        at += size;
        ends.push_back({std::move(name), at});
    };
    add("the header", kDesignFileHeaderSize);
    add("the design level, filter type and selection", 3);
    add("the pole list", std::size_t{kApproxCount} * kFilePoleListEntries * 36);
    add("the zero list", std::size_t{kApproxCount} * kTableEntries * 12);
    add("the pole table", std::size_t{kApproxCount} * kTableEntries * 36);
    add("the zero table", std::size_t{kApproxCount} * kTableEntries * 12);
    add("the approximation results", std::size_t{kApproxCount} * 314);
    add("the pole entries", std::size_t{kMaxPoleEntries} * 28);
    add("the zero entries", std::size_t{kMaxZeroEntries} * 14);
    for (int i = 1; i <= stages; ++i)
        add("stage " + std::to_string(i),
            layout == Layout::Version1 ? kV1StageGroupSize : kDesignFileStageGroupSize);
    add("the cascade criteria", kDesignFileCriteriaSize);
    if (adjustedBlock) add("the adjusted resistor values", kDesignFileAdjustedBlockSize);
    return ends;
}

std::optional<DesignFileResult> CheckLength(std::size_t size, const std::vector<BlockEnd>& ends) {
    const std::size_t needed = ends.back().end;
    if (size >= needed) return std::nullopt;
    std::string block = ends.back().name;
    for (const BlockEnd& b : ends) {
        if (size < b.end) {
            block = b.name;
            break;
        }
    }
    return Failure(DesignFileStatus::Truncated, "The design file is incomplete: it ends in " + block + " (" +
                                                    std::to_string(size) + " bytes of " +
                                                    std::to_string(needed) + ").");
}

// The longest texts a design may hold are those its file has room for.
std::optional<std::string> OverlongText(const TDesign& d) {
    for (int a = 0; a < kApproxCount; ++a)
        if (d.Approx[a].Result.GainConstantText.size() > kLongTextCapacity)
            return "gain constant text of approximation " + std::to_string(a);
    for (int i = 1; i <= d.StageCount; ++i) {
        if (d.Stages[i].Name.size() > kLongTextCapacity) return "name of stage " + std::to_string(i);
        for (const std::string& t : d.UserBlocks[i].Texts)
            if (t.size() > kUserTextCapacity) return "entry text of stage " + std::to_string(i);
    }
    return std::nullopt;
}

// ---- Reading steps ------------------------------------------------------------------------

std::optional<DesignFileResult> CheckHeader(const TDesign& h) {
    if (!Within(h.StageCount, 0, kMaxStages))
        return BadContent("holds " + std::to_string(h.StageCount) + " stages; a design has room for " +
                          std::to_string(kMaxStages) + ".");
    if (!Within(h.PoleCount, 0, kMaxPoleEntries))
        return BadContent("holds " + std::to_string(h.PoleCount) + " pole entries; a design has room for " +
                          std::to_string(kMaxPoleEntries) + ".");
    if (!Within(h.ZeroCount, 0, kMaxZeroEntries))
        return BadContent("holds " + std::to_string(h.ZeroCount) + " zero entries; a design has room for " +
                          std::to_string(kMaxZeroEntries) + ".");
    if (!Within(h.CurrentApprox, 0, kApproxCount - 1))
        return OutOfRange("approximation index", h.CurrentApprox, 0, kApproxCount - 1);
    if (!Within(h.Spec.LastApproxIndex, 0, kApproxCount - 1))
        return OutOfRange("last approximation index", h.Spec.LastApproxIndex, 0, kApproxCount - 1);
    for (int16_t unit : {h.Spec.PassFreqUnit, h.Spec.StopFreqUnit, h.Spec.CenterFreqUnit})
        if (!Within(unit, 0, 1)) return OutOfRange("frequency entry unit", unit, 0, 1);
    return std::nullopt;
}

// The specification's figures that contradict one another or the design level. Every
// design has a positive overall gain (a new one 1 V/V, a user-defined one the product of
// its sections' gains), so a gain of zero also marks a body that holds nothing. A
// frequency is never negative; a frequency the file keeps as 0 is one not entered yet,
// which a computed specification cannot have for its passband: the edge of a lowpass or
// highpass, the centre and passband width of a bandpass or bandstop.
std::optional<DesignFileResult> CheckSpecification(const TDesign& d) {
    const Specification& s = d.Spec;
    if (!(s.OverallGain > 0.0L))
        return BadContent("has an overall gain of " + TrimmedText(s.OverallGain, 6) +
                          " V/V; it must be positive.");
    const std::pair<const char*, const Real48*> frequencies[] = {
        {"passband edge", &s.wpb},  {"stopband edge", &s.wsb},  {"centre frequency", &s.w0},
        {"passband width", &s.Bpb}, {"stopband width", &s.Bsb},
    };
    for (const auto& [name, value] : frequencies)
        if (*value < 0.0L)
            return BadContent("has a negative " + std::string(name) + " (" + TrimmedText(*value, 6) +
                              " rad/s).");
    if (s.FilterType == UserDefined || d.DesignLevel < LevelApproximations) return std::nullopt;
    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    for (const auto& [name, value] : frequencies) {
        const bool needed = band ? (value == &s.w0 || value == &s.Bpb) : value == &s.wpb;
        if (needed && !(*value > 0.0L))
            return BadContent("has a computed specification without its " + std::string(name) + ".");
    }
    return std::nullopt;
}

// A result that was computed indexes its tables by these counts.
std::optional<DesignFileResult> CheckApproximations(const TDesign& d) {
    for (int a = 0; a < kApproxCount; ++a) {
        const ApproxResult& r = d.Approx[a].Result;
        if (r.OrderTooHigh) continue; // the counts of a result beyond the order limit index nothing
        for (int16_t count : {r.PolePairs, r.ProtoZeroPairs, r.ZeroPairs})
            if (!Within(count, 0, kTableEntries))
                return OutOfRange("a table count of approximation " + std::to_string(a), count, 0,
                                  kTableEntries);
        if (!Within(r.SingleZeros, 0, kMaxOrder))
            return OutOfRange("a zero count of approximation " + std::to_string(a), r.SingleZeros, 0,
                              kMaxOrder);
    }
    return std::nullopt;
}

std::optional<DesignFileResult> CheckStage(int i, const TStageCoeffs& s) {
    const std::string stage = "in stage " + std::to_string(i) + " ";
    if (!Within(s.StageType, 0, 7)) return OutOfRange(stage + "stage type", s.StageType, 0, 7);
    for (int16_t pole : {s.Pole1, s.Pole2})
        if (!Within(pole, 0, kMaxPoleEntries))
            return OutOfRange(stage + "pole entry", pole, 0, kMaxPoleEntries);
    for (int16_t zero : {s.Zero1, s.Zero2})
        if (!Within(zero, 0, kMaxZeroEntries))
            return OutOfRange(stage + "zero entry", zero, 0, kMaxZeroEntries);
    return std::nullopt;
}

std::optional<DesignFileResult> CheckCircuit(int i, const TStageCircuit& c) {
    const std::string stage = "in stage " + std::to_string(i) + " ";
    if (!Within(c.CircuitNumber, 0, kCatalogueNumberLimit - 1))
        return OutOfRange(stage + "circuit number", c.CircuitNumber, 0, kCatalogueNumberLimit - 1);
    for (int16_t choice : {c.CircuitChoice, c.PrevChoice})
        if (!Within(choice, 0, kMaxCandidates))
            return OutOfRange(stage + "circuit choice", choice, 0, kMaxCandidates);
    return std::nullopt;
}

long double entryValueOf(long double internal, bool hz, int16_t unit) {
    constexpr long double kOneOverTwoPi = 0.159154943091895335768883763372514362L;
    long double v = hz ? internal * kOneOverTwoPi : internal;
    for (int k = 0; k < unit; ++k)
        v /= 1000.0L;
    return v;
}

// An entered value stored as exactly 0, 1 or 2 is a placeholder rather than a typed
// entry; it is derived from the internal value, so the specification form shows the
// design's real figures in the current display unit. Bandpass and bandstop entries
// are bandwidths, so their source is the bandwidth, not an edge frequency. The order
// estimation's inputs (NormPassEdge, Selectivity) keep their stored values.
//
// A design saved before its specification was ever calculated has no internal values
// (they are 0): there the entries are the person's own (the defaults 1 and 2 of a new
// specification among them) and are kept, since deriving them would replace them by 0.
void FixEnteredValues(TDesign& d) {
    Specification& s = d.Spec;
    if (s.ApbEntry == 0.0L && s.Apb > 0.0L) s.ApbEntry = s.Apb;
    if (s.AsbEntry == 0.0L && s.Asb > 0.0L) s.AsbEntry = s.Asb;

    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    const bool hz = d.Opt.FreqUnitsHz != 0;
    auto placeholder = [](const Real48& x) { return x == 1.0L || x == 2.0L; };
    auto derive = [&](Real48& entry, const Real48& source, int16_t unit, bool when) {
        if (when && source > 0.0L) entry = entryValueOf(source, hz, unit);
    };
    const Real48& passSource = band ? s.Bpb : s.wpb;
    const Real48& stopSource = band ? s.Bsb : s.wsb;
    derive(s.PassFreqEntry, passSource, s.PassFreqUnit, placeholder(s.PassFreqEntry));
    derive(s.StopFreqEntry, stopSource, s.StopFreqUnit, placeholder(s.StopFreqEntry));
    derive(s.CenterFreqEntry, s.w0, s.CenterFreqUnit, placeholder(s.CenterFreqEntry));
    if (band) {
        derive(s.PassFreqEntry, s.Bpb, s.PassFreqUnit, s.PassFreqEntry == 0.0L);
        derive(s.StopFreqEntry, s.Bsb, s.StopFreqUnit, s.StopFreqEntry == 0.0L);
    }
}

} // namespace

// ---- Writing ---------------------------------------------------------------------------------

DesignFileResult EncodeDesign(const TDesign& d, std::vector<uint8_t>& image) {
    if (!Within(d.StageCount, 0, kMaxStages))
        return Failure(DesignFileStatus::BadContent,
                       "The design cannot be saved: it has " + std::to_string(d.StageCount) + " stages.");
    if (auto field = OverlongText(d))
        return Failure(DesignFileStatus::BadContent, "The design cannot be saved: the " + *field +
                                                         " is longer than the file has room for.");

    ByteWriter w;
    w.bytes(kMagic);
    w.shortString(kTag, kTagCapacity);
    w.shortString(MakeFlagString(d), kFlagCapacity);
    for (const Real48* x : HeaderReals(d))
        w.real(*x);
    w.zeros(6);
    for (const int16_t* x : HeaderInts(d))
        w.i16(*x);
    w.zeros(2);

    w.u8(d.DesignLevel);
    w.u8(d.Spec.FilterType);
    w.u8(d.SavedSelectedApprox);

    for (const Approximation& a : d.Approx)
        for (int k = 0; k < kFilePoleListEntries; ++k)
            Put(w, a.PoleList[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.ZeroList[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.PoleTable[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.ZeroTable[k]);
    for (const Approximation& a : d.Approx)
        Put(w, a.Result);
    for (int k = 1; k <= kMaxPoleEntries; ++k)
        Put(w, d.Poles[k]);
    for (int k = 1; k <= kMaxZeroEntries; ++k)
        Put(w, d.Zeros[k]);

    for (int i = 1; i <= d.StageCount; ++i) {
        PutCircuitHeader(w, d.Circuits[i]);
        PutCircuitOptions(w, d.Circuits[i]);
        Put(w, d.Stages[i]);
        PutCapacitorSet(w, d.CapSets[i], d.Circuits[i]);
        Put(w, d.UserBlocks[i]);
    }
    Put(w, d.Criteria[0]);
    Put(w, d.Criteria[1]);

    if (d.Opt.ResistorAdjustmentDone) {
        for (int i = 1; i <= kMaxStages; ++i) {
            if (i <= d.StageCount)
                PutAdjustedGroup(w, d.Circuits[i]);
            else
                w.zeros(kAdjustedGroupSize);
        }
    }

    if (!w.ok())
        return Failure(DesignFileStatus::BadContent, "The design cannot be saved: a text is too long.");
    image = w.data();
    return {};
}

DesignFileResult WriteDesignFile(const TDesign& d, const std::string& path) {
    std::vector<uint8_t> image;
    DesignFileResult encoded = EncodeDesign(d, image);
    if (!encoded.ok()) return encoded;
    FileIoResult written = WriteFileReplacing(path, image);
    if (!written.ok) return Failure(DesignFileStatus::IoError, written.message);
    return {};
}

// ---- Reading ---------------------------------------------------------------------------------

DesignFileResult DecodeDesign(std::span<const uint8_t> image, TDesign& out) {
    if (image.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), image.begin()))
        return Failure(DesignFileStatus::NotADesignFile, "Invalid Velmora design file");
    if (image.size() < kDesignFileHeaderSize)
        return *CheckLength(image.size(), BlockEnds(Layout::Current, 0, false));

    // The file is read into a copy of the design, which replaces the design only when
    // the whole file has been read and checked. Fields the file does not hold keep
    // their values.
    auto scratch = std::make_unique<TDesign>(out);
    TDesign& d = *scratch;

    ByteReader r(image);
    r.skip(kMagic.size());
    const std::string tag = r.shortString(kTagCapacity);
    if (!r.ok()) return BadContent("has a damaged tag.");
    const Layout layout = LayoutOfTag(tag);
    const std::string flags = r.shortString(kFlagCapacity);
    if (!r.ok()) return BadContent("has a damaged flag string.");
    for (Real48* x : HeaderReals(d))
        *x = r.real();
    r.skip(6);
    for (int16_t* x : HeaderInts(d))
        *x = r.i16();
    r.skip(2);
    if (auto bad = CheckHeader(d)) return *bad;
    d.SavedApprox = d.CurrentApprox;

    const int n = d.StageCount;
    const bool adjustedBlock = FlagSet(flags, kAdjustedBlockPosition);
    if (auto shortFile = CheckLength(image.size(), BlockEnds(layout, n, adjustedBlock))) return *shortFile;

    // From here on every field is present; what remains to check are values.
    d.DesignLevel = r.u8();
    d.Spec.FilterType = r.u8();
    d.SelectedApprox = d.SavedSelectedApprox = r.u8();
    if (d.DesignLevel > LevelFinalResponse)
        return OutOfRange("design level", d.DesignLevel, 0, LevelFinalResponse);
    if (d.Spec.FilterType > UserDefined) return OutOfRange("filter type", d.Spec.FilterType, 0, UserDefined);
    if (d.SelectedApprox >= kApproxCount)
        return OutOfRange("selected approximation", d.SelectedApprox, 0, kApproxCount - 1);
    if (auto bad = CheckSpecification(d)) return *bad;

    for (Approximation& a : d.Approx)
        for (int k = 0; k < kFilePoleListEntries; ++k)
            Get(r, a.PoleList[k]);
    for (Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Get(r, a.ZeroList[k]);
    for (Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Get(r, a.PoleTable[k]);
    for (Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Get(r, a.ZeroTable[k]);
    for (Approximation& a : d.Approx)
        Get(r, a.Result);
    if (!r.ok()) return BadContent("has an approximation text longer than its field.");
    if (auto bad = CheckApproximations(d)) return *bad;
    for (int k = 1; k <= kMaxPoleEntries; ++k)
        Get(r, d.Poles[k]);
    for (int k = 1; k <= kMaxZeroEntries; ++k)
        Get(r, d.Zeros[k]);

    // Circuit records are taken over only from a design whose poles and zeros were
    // paired; before that they hold nothing of the design.
    const bool circuitsStored = d.DesignLevel >= LevelPaired;
    std::array<std::span<const uint8_t>, kMaxStages + 1> v1Capacitors{};
    std::array<int16_t, kMaxStages + 1> storedCircuitNumber{};
    for (int i = 1; i <= n; ++i) {
        TStageCircuit circuit = d.Circuits[i];
        GetCircuitHeader(r, circuit);
        storedCircuitNumber[i] = circuit.CircuitNumber;
        if (layout == Layout::Version1) {
            ClearCircuitOptions(circuit, d.Components.OpAmpNoise);
        } else {
            GetCircuitOptions(r, circuit);
            if (layout == Layout::Version2) circuit.Options[kVersion2StaleOption] = 0;
        }
        if (circuitsStored) {
            if (auto bad = CheckCircuit(i, circuit)) return *bad;
            d.Circuits[i] = circuit;
        }
        Get(r, d.Stages[i]);
        if (layout == Layout::Version1) {
            v1Capacitors[i] = r.bytes(kV1CapacitorRecordSize);
        } else {
            GetCapacitorSet(r, d.CapSets[i]);
            d.CapSetsWorking[i] = d.CapSets[i];
        }
        Get(r, d.UserBlocks[i]);
        if (!r.ok())
            return BadContent("has a text in stage " + std::to_string(i) + " longer than its field.");
        if (auto bad = CheckStage(i, d.Stages[i])) return *bad;
    }
    Get(r, d.Criteria[0]);
    Get(r, d.Criteria[1]);

    // Version 1 selects the capacitor record of the stage's circuit by its number
    // within the type. A stage without a circuit yet (number 0, before the circuits
    // were selected) keeps an empty set.
    if (layout == Layout::Version1) {
        for (int i = 1; i <= n; ++i) {
            const int number = storedCircuitNumber[i];
            const bool noCircuitYet = number == 0 && d.DesignLevel < LevelCircuitsSelected;
            if (!noCircuitYet && !Within(number, 1, kV1CapacitorEntries))
                return BadContent("has in stage " + std::to_string(i) + " circuit number " +
                                  std::to_string(number) + ", which selects none of the stage's " +
                                  std::to_string(kV1CapacitorEntries) + " capacitor records.");
        }
    }

    // Everything is read and checked; the rest cannot fail.
    ApplyFlagString(d, flags);
    FixEnteredValues(d);
    d.Modified = 0;
    d.StepChanged = 0;

    if (layout == Layout::Version1) {
        for (int i = 1; i <= n; ++i) {
            const int number = storedCircuitNumber[i];
            TCapacitorSet set{};
            if (number >= 1)
                GetV1CapacitorEntry(
                    v1Capacitors[i].subspan(static_cast<std::size_t>(number - 1) * kV1CapacitorEntrySize,
                                            kV1CapacitorEntrySize),
                    set);
            d.CapSets[i] = d.CapSetsWorking[i] = set;
        }
    }
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k <= kCapacitorSlots; ++k) {
            d.Circuits[i].Components[CapacitorSlot(k)].Value = d.CapSets[i].Value[k];
            d.Circuits[i].Components[CapacitorSlot(k)].Alternative = d.CapSets[i].Alternative[k];
        }
    }
    d.LoadedFromFile = 1;

    if (adjustedBlock) {
        for (int i = 1; i <= kMaxStages; ++i) {
            if (i <= n)
                GetAdjustedGroup(r, d.Circuits[i]);
            else
                r.skip(kAdjustedGroupSize);
        }
    }

    out = std::move(d);
    return {};
}

DesignFileResult ReadDesignFile(const std::string& path, TDesign& out) {
    // No layout comes near this size; anything larger is not a design file.
    constexpr std::size_t kLargestAccepted = 1 << 20;
    std::vector<uint8_t> image;
    FileIoResult read = ReadWholeFile(path, kLargestAccepted, image);
    if (!read.ok) return Failure(DesignFileStatus::IoError, read.message);
    return DecodeDesign(image, out);
}

} // namespace velmora
