#include "model/byte_io.h"

#include <algorithm>

namespace velmora {

void ByteWriter::u8(uint8_t v) {
    data_.push_back(v);
}

void ByteWriter::i16(int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    data_.push_back(static_cast<uint8_t>(u & 0xFF));
    data_.push_back(static_cast<uint8_t>(u >> 8));
}

void ByteWriter::real(Real48 v) {
    const Real48::Bytes b = v.toBytes();
    data_.insert(data_.end(), b.begin(), b.end());
}

void ByteWriter::shortString(std::string_view s, std::size_t capacity) {
    if (s.size() > capacity) textTooLong_ = true;
    const std::size_t n = std::min(s.size(), capacity);
    data_.push_back(static_cast<uint8_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        data_.push_back(static_cast<uint8_t>(s[i]));
    zeros(capacity - n);
}

void ByteWriter::bytes(std::span<const uint8_t> block) {
    data_.insert(data_.end(), block.begin(), block.end());
}

void ByteWriter::zeros(std::size_t n) {
    data_.insert(data_.end(), n, uint8_t{0});
}

bool ByteReader::take(std::size_t n) {
    if (error_ != ByteReadError::None) return false;
    if (n > remaining()) {
        error_ = ByteReadError::PastEnd;
        offset_ = data_.size();
        return false;
    }
    return true;
}

uint8_t ByteReader::u8() {
    if (!take(1)) return 0;
    return data_[offset_++];
}

int16_t ByteReader::i16() {
    if (!take(2)) return 0;
    const auto u = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
    offset_ += 2;
    return static_cast<int16_t>(u);
}

Real48 ByteReader::real() {
    if (!take(6)) return Real48{};
    Real48::Bytes b{};
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(offset_), 6, b.begin());
    offset_ += 6;
    return Real48::fromBytes(b);
}

std::string ByteReader::shortString(std::size_t capacity) {
    if (!take(capacity + 1)) return {};
    const std::size_t length = data_[offset_];
    if (length > capacity) {
        error_ = ByteReadError::TextTooLong;
        return {};
    }
    const auto* first = data_.data() + offset_ + 1;
    std::string s(reinterpret_cast<const char*>(first), length);
    offset_ += capacity + 1;
    return s;
}

std::span<const uint8_t> ByteReader::bytes(std::size_t n) {
    if (!take(n)) return {};
    auto block = data_.subspan(offset_, n);
    offset_ += n;
    return block;
}

void ByteReader::skip(std::size_t n) {
    if (take(n)) offset_ += n;
}

} // namespace velmora
