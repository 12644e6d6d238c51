// The design file: a binary, field-by-field image of a TDesign.
//
// Current layout (tag "VML30"): a 224-byte header (magic, tag, a 40-character flag
// string, the specification reals and the counts), the design level, filter type and
// selected approximation, seven fixed blocks with the five approximations and the two
// pairing lists, one 548-byte group per stage, the two cascade criteria blocks and,
// when resistors have been adjusted, an 847-byte block of adjusted resistor values.
// Two earlier layouts are read: "10" (no circuit-options record; a 546-byte record of
// capacitor values for each of the 13 possible circuits of a stage) and "20" (the
// current layout with one circuit option byte that meant something else).
//
// The file name, the window caption and the recent-file list belong to the caller, as
// do clearing the modified and step-changed flags after a save and rebuilding the
// steps after an open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora {

enum class DesignFileStatus : uint8_t {
    Ok,
    NotADesignFile, // wrong magic
    Truncated,      // the file ends before its layout does
    BadContent,     // a count, index or text outside what a design can hold
    IoError,        // the operating system refused to read or write
};

// What exactly is wrong, with the facts a person needs to find it in the file: the block
// or field concerned, the stage or approximation it belongs to, the value found and the
// bounds it breaks. The message module turns them into the sentence shown.
enum class DesignFileProblem : uint8_t {
    None,
    NotADesignFile,    // wrong magic
    EndsEarly,         // ends in block `field` (or stage `stage`) after `value` of `limit` bytes
    TooMany,           // the header holds `value` `field` (stages, pole or zero entries), room for `limit`
    OutOfRange,        // `field` (of `stage` or `approximation`) is `value`, outside `low`..`limit`
    GainNotPositive,   // the overall gain `number`, in V/V
    NegativeFrequency, // `field` is `number` rad/s
    MissingFrequency,  // a computed specification without its `field`
    DamagedTag,        // the layout tag cannot be read
    DamagedFlags,      // the flag string cannot be read
    LongApproximationText, // an approximation text longer than its field
    LongStageText,         // a text of `stage` longer than its field
    NoCapacitorRecord,   // earliest layout: circuit number `value` of `stage` selects none of `limit` records
    UserSectionsInvalid, // the stages of a user-defined design do not form a filter
    NoCircuit,           // `stage` has no circuit though the circuits were selected
    UnknownCircuit,      // circuit number `value` of `stage` names no catalogue circuit
    CircuitOfOtherType,  // `stage` of stage type `value` is built as circuit `field`, made for type `limit`
    SaveTooManyStages,   // the design to save has `value` stages
    SaveTextTooLong,     // the text `field` (of `stage` or `approximation`) does not fit; no field: some text
    SystemError,         // the operating system refused: `systemMessage`
};

struct DesignFileResult {
    DesignFileStatus status = DesignFileStatus::Ok;
    DesignFileProblem problem = DesignFileProblem::None;
    std::string field;         // the block or field named in the file's layout
    int stage = 0;             // the stage concerned, 0 for none
    int approximation = -1;    // the approximation slot concerned, -1 for none
    long long value = 0;       // the count, index or size found
    long long low = 0;         // the smallest allowed (OutOfRange)
    long long limit = 0;       // the largest allowed, the size needed or the room there is
    long double number = 0;    // a real found (GainNotPositive, NegativeFrequency)
    std::string systemMessage; // SystemError: "<path>: <the system's reason>"

    bool ok() const { return status == DesignFileStatus::Ok; }
};

// Sizes of the current layout, in bytes.
inline constexpr std::size_t kDesignFileHeaderSize = 224;
inline constexpr std::size_t kDesignFileFixedSize = 7719; // header, three bytes, seven fixed blocks
inline constexpr std::size_t kDesignFileStageGroupSize = 548;
inline constexpr std::size_t kDesignFileCriteriaSize = 2 * 12;
inline constexpr std::size_t kDesignFileAdjustedBlockSize = 847;

// The file image of a design in the current layout. Fails (BadContent) only when a
// text in the design is longer than its field in the file.
DesignFileResult EncodeDesign(const TDesign& d, std::vector<uint8_t>& image);

// Reads a design file image of any supported layout into `out`. Everything is checked
// before `out` changes; on failure `out` is exactly as it was. Fields that the file
// does not hold (settings-owned values, ideal responses, working data) keep their
// values in `out`.
DesignFileResult DecodeDesign(std::span<const uint8_t> image, TDesign& out);

// Writes the design to `path`: a temporary file beside the target is written, flushed
// to the disk and renamed over the target, so a failed save leaves the previous file
// as it was. The design is not changed.
DesignFileResult WriteDesignFile(const TDesign& d, const std::string& path);

// Reads the file at `path` whole and decodes it (see DecodeDesign).
DesignFileResult ReadDesignFile(const std::string& path, TDesign& out);

} // namespace velmora
