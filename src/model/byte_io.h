// Little-endian byte writer and reader for the program's binary files.
//
// Every field of a file is written and read one by one in its stored width, so the
// layout never depends on how the compiler lays out a struct: int16 as two bytes,
// low byte first; flags as one byte; reals as the 6-byte Real48 image; short strings
// of capacity n as a length byte followed by n character bytes (the unused ones
// zero); fixed blocks as raw bytes.
//
// Both classes keep a sticky error instead of throwing, so a caller can run through a
// whole record and check once at the end. A reader that runs past its data or meets a
// string longer than its capacity yields zeros and empty strings from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/real48.h"

namespace velmora {

class ByteWriter {
  public:
    void u8(uint8_t v);
    void i16(int16_t v);
    void real(Real48 v);
    // A string longer than the capacity is written cut to the capacity and makes the
    // writer fail (a file must never hold a text other than the one in memory).
    void shortString(std::string_view s, std::size_t capacity);
    void bytes(std::span<const uint8_t> block);
    void zeros(std::size_t n);

    bool ok() const { return !textTooLong_; }
    std::size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& data() const { return data_; }

  private:
    std::vector<uint8_t> data_;
    bool textTooLong_ = false;
};

enum class ByteReadError : uint8_t {
    None,
    PastEnd,     // a field reached beyond the end of the data
    TextTooLong, // a short string's length byte exceeds its capacity
};

class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    uint8_t u8();
    int16_t i16();
    Real48 real();
    std::string shortString(std::size_t capacity);
    // The next n bytes as they are; empty (and an error) when fewer remain.
    std::span<const uint8_t> bytes(std::size_t n);
    void skip(std::size_t n);

    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return data_.size() - offset_; }
    ByteReadError error() const { return error_; }
    bool ok() const { return error_ == ByteReadError::None; }

  private:
    // Claims n bytes; on failure sets the error and returns false.
    bool take(std::size_t n);

    std::span<const uint8_t> data_;
    std::size_t offset_ = 0;
    ByteReadError error_ = ByteReadError::None;
};

} // namespace velmora
