// Reading a design file: the checks of what a file holds against what a design can
// hold, the fix-ups of entered values, and the decoding of every supported layout.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/design_file.h"
#include "model/design_file_records.h"
#include "model/file_io.h"
#include "model/number_text.h"

namespace velmora {
namespace {

using namespace design_file_detail;

// The blocks of a layout with the offset where each ends, to say where a short file
// stops.
struct BlockEnd {
    std::string name; // the block's name, empty for a stage's group
    int stage;        // the stage of a stage's group, else 0
    std::size_t end;
};

std::vector<BlockEnd> BlockEnds(Layout layout, int stages, bool adjustedBlock) {
    std::vector<BlockEnd> ends;
    std::size_t at = 0;
    auto add = [&](std::string name, std::size_t size, int stage = 0) {
        at += size;
        ends.push_back({std::move(name), stage, at});
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
        add("", layout == Layout::Version1 ? kV1StageGroupSize : kDesignFileStageGroupSize, i);
    add("the cascade criteria", kDesignFileCriteriaSize);
    if (adjustedBlock) add("the adjusted resistor values", kDesignFileAdjustedBlockSize);
    return ends;
}

std::optional<DesignFileResult> CheckLength(std::size_t size, const std::vector<BlockEnd>& ends) {
    const std::size_t needed = ends.back().end;
    if (size >= needed) return std::nullopt;
    const BlockEnd* block = &ends.back();
    for (const BlockEnd& b : ends) {
        if (size < b.end) {
            block = &b;
            break;
        }
    }
    DesignFileResult r = Failure(DesignFileStatus::Truncated, DesignFileProblem::EndsEarly);
    r.field = block->name;
    r.stage = block->stage;
    r.value = static_cast<long long>(size);
    r.limit = static_cast<long long>(needed);
    return r;
}

// ---- Reading steps ------------------------------------------------------------------------

std::optional<DesignFileResult> CheckHeader(const TDesign& h) {
    if (!Within(h.StageCount, 0, kMaxStages)) return TooMany("stages", h.StageCount, kMaxStages);
    if (!Within(h.PoleCount, 0, kMaxPoleEntries))
        return TooMany("pole entries", h.PoleCount, kMaxPoleEntries);
    if (!Within(h.ZeroCount, 0, kMaxZeroEntries))
        return TooMany("zero entries", h.ZeroCount, kMaxZeroEntries);
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
    if (!(s.OverallGain > 0.0L)) {
        DesignFileResult r = BadContent(DesignFileProblem::GainNotPositive);
        r.number = s.OverallGain;
        return r;
    }
    const std::pair<const char*, const Real48*> frequencies[] = {
        {"passband edge", &s.wpb},  {"stopband edge", &s.wsb},  {"centre frequency", &s.w0},
        {"passband width", &s.Bpb}, {"stopband width", &s.Bsb},
    };
    for (const auto& [name, value] : frequencies)
        if (*value < 0.0L) {
            DesignFileResult r = BadContent(DesignFileProblem::NegativeFrequency);
            r.field = name;
            r.number = *value;
            return r;
        }
    if (s.FilterType == UserDefined || d.DesignLevel < LevelApproximations) return std::nullopt;
    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    for (const auto& [name, value] : frequencies) {
        const bool needed = band ? (value == &s.w0 || value == &s.Bpb) : value == &s.wpb;
        if (needed && !(*value > 0.0L)) {
            DesignFileResult r = BadContent(DesignFileProblem::MissingFrequency);
            r.field = name;
            return r;
        }
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
                return OutOfRange("table count", count, 0, kTableEntries, 0, a);
        if (!Within(r.SingleZeros, 0, kMaxOrder))
            return OutOfRange("zero count", r.SingleZeros, 0, kMaxOrder, 0, a);
    }
    return std::nullopt;
}

std::optional<DesignFileResult> CheckStage(int i, const TStageCoeffs& s) {
    if (!Within(s.StageType, 0, 7)) return OutOfRange("stage type", s.StageType, 0, 7, i);
    for (int16_t pole : {s.Pole1, s.Pole2})
        if (!Within(pole, 0, kMaxPoleEntries)) return OutOfRange("pole entry", pole, 0, kMaxPoleEntries, i);
    for (int16_t zero : {s.Zero1, s.Zero2})
        if (!Within(zero, 0, kMaxZeroEntries)) return OutOfRange("zero entry", zero, 0, kMaxZeroEntries, i);
    return std::nullopt;
}

std::optional<DesignFileResult> CheckCircuit(int i, const TStageCircuit& c) {
    if (!Within(c.CircuitNumber, 0, kCatalogueNumberLimit - 1))
        return OutOfRange("circuit number", c.CircuitNumber, 0, kCatalogueNumberLimit - 1, i);
    for (int16_t choice : {c.CircuitChoice, c.PrevChoice})
        if (!Within(choice, 0, kMaxCandidates))
            return OutOfRange("circuit choice", choice, 0, kMaxCandidates, i);
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

// ---- Reading ---------------------------------------------------------------------------------

DesignFileResult DecodeDesign(std::span<const uint8_t> image, TDesign& out) {
    if (image.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), image.begin()))
        return Failure(DesignFileStatus::NotADesignFile, DesignFileProblem::NotADesignFile);
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
    if (!r.ok()) return BadContent(DesignFileProblem::DamagedTag);
    const Layout layout = LayoutOfTag(tag);
    const std::string flags = r.shortString(kFlagCapacity);
    if (!r.ok()) return BadContent(DesignFileProblem::DamagedFlags);
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
    if (!r.ok()) return BadContent(DesignFileProblem::LongApproximationText);
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
        if (!r.ok()) return BadContent(DesignFileProblem::LongStageText, i);
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
            if (!noCircuitYet && !Within(number, 1, kV1CapacitorEntries)) {
                DesignFileResult bad = BadContent(DesignFileProblem::NoCapacitorRecord, i);
                bad.value = number;
                bad.limit = kV1CapacitorEntries;
                return bad;
            }
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
    if (!read.ok) {
        DesignFileResult r = Failure(DesignFileStatus::IoError, DesignFileProblem::SystemError);
        r.systemMessage = read.message;
        return r;
    }
    return DecodeDesign(image, out);
}

} // namespace velmora
