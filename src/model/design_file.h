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

struct DesignFileResult {
    DesignFileStatus status = DesignFileStatus::Ok;
    std::string message; // empty on success; otherwise the text to show the user

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
