// The record layouts of the design file shared by its writer (design_file.cpp) and its
// reader (design_file_read.cpp): the sizes and capacities of the layouts, the flag
// string, the records of the design and the header's fields in their stored order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "model/byte_io.h"
#include "model/design.h"
#include "model/design_file.h"

namespace velmora::design_file_detail {

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

// The option byte that version 2 files used for something else.
constexpr int kVersion2StaleOption = 5;

constexpr int CapacitorSlot(int k) {
    return kResistorSlots + k;
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

// ---- Flag string, records and failures (design_file_records.cpp) ------------------------

std::string MakeFlagString(const TDesign& d);
// A character beyond the stored length, or anything but "1", reads as a cleared flag.
bool FlagSet(std::string_view flags, int position);
void ApplyFlagString(TDesign& d, std::string_view flags);

void Put(ByteWriter& w, const PoleListEntry& e);
void Get(ByteReader& r, PoleListEntry& e);
void Put(ByteWriter& w, const ZeroListEntry& e);
void Get(ByteReader& r, ZeroListEntry& e);
void Put(ByteWriter& w, const PoleTableEntry& e);
void Get(ByteReader& r, PoleTableEntry& e);
void Put(ByteWriter& w, const ZeroTableEntry& e);
void Get(ByteReader& r, ZeroTableEntry& e);
void Put(ByteWriter& w, const ApproxResult& a);
void Get(ByteReader& r, ApproxResult& a);
void Put(ByteWriter& w, const TPoleEntry& e);
void Get(ByteReader& r, TPoleEntry& e);
void Put(ByteWriter& w, const TZeroEntry& e);
void Get(ByteReader& r, TZeroEntry& e);
void Put(ByteWriter& w, const TStageCoeffs& s);
void Get(ByteReader& r, TStageCoeffs& s);
void Put(ByteWriter& w, const TUserBlock& u);
void Get(ByteReader& r, TUserBlock& u);
void Put(ByteWriter& w, const TCascadeCriteria& c);
void Get(ByteReader& r, TCascadeCriteria& c);

void PutCircuitHeader(ByteWriter& w, const TStageCircuit& c);
void GetCircuitHeader(ByteReader& r, TStageCircuit& c);
void PutCircuitOptions(ByteWriter& w, const TStageCircuit& c);
void GetCircuitOptions(ByteReader& r, TStageCircuit& c);
void ClearCircuitOptions(TStageCircuit& c, const Real48& noise);
void PutCapacitorSet(ByteWriter& w, const TCapacitorSet& set, const TStageCircuit& c);
void GetCapacitorSet(ByteReader& r, TCapacitorSet& set);
void GetV1CapacitorEntry(std::span<const uint8_t> entry, TCapacitorSet& set);
void PutAdjustedGroup(ByteWriter& w, const TStageCircuit& c);
void GetAdjustedGroup(ByteReader& r, TStageCircuit& c);

// The tag names the layout by its fourth and fifth characters; a tag that names no
// earlier layout is read as the current one.
Layout LayoutOfTag(std::string_view tag);

DesignFileResult Failure(DesignFileStatus status, DesignFileProblem problem);
DesignFileResult BadContent(DesignFileProblem problem, int stage = 0);
DesignFileResult TooMany(std::string what, int value, int room);
DesignFileResult OutOfRange(std::string what, int value, int low, int high, int stage = 0,
                            int approximation = -1);
bool Within(int v, int low, int high);

} // namespace velmora::design_file_detail
