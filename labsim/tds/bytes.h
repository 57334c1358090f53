#pragma once

// Byte-level helpers of the TDS codec: a bounds-checked reader that throws
// ProtocolError instead of reading past its end, a growing writer, and the
// UTF-8 / UTF-16LE conversions the protocol needs.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace labsim::tds {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// A client sent something that does not follow the protocol; the connection
// it came on cannot continue.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteReader {
public:
    explicit ByteReader(ByteView data) : data_(data) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return data_.size() - position_; }
    bool atEnd() const { return position_ == data_.size(); }

    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint16_t u16be();
    std::uint32_t u32le();
    std::uint32_t u32be();
    std::uint64_t u64le();
    ByteView bytes(std::size_t count);
    void skip(std::size_t count) { (void)bytes(count); }
    // count UTF-16 code units, converted to UTF-8.
    std::string utf16(std::size_t count);

private:
    void require(std::size_t count) const;

    ByteView data_;
    std::size_t position_ = 0;
};

class ByteWriter {
public:
    const Bytes &bytes() const { return bytes_; }
    Bytes take() { return std::move(bytes_); }
    std::size_t size() const { return bytes_.size(); }

    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16le(std::uint16_t value);
    void u16be(std::uint16_t value);
    void u32le(std::uint32_t value);
    void u32be(std::uint32_t value);
    void u64le(std::uint64_t value);
    void append(ByteView data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    // Text as UTF-16LE code units, without a length.
    void utf16(std::string_view utf8);
    // Overwrites a little-endian u16 written earlier (lengths known only later).
    void patchU16le(std::size_t at, std::uint16_t value);

private:
    Bytes bytes_;
};

// Malformed sequences become U+FFFD rather than failing: text from a client or
// the laboratory is passed on, never trusted to be well formed.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// UTF-16LE bytes (an odd last byte is dropped) to UTF-8.
std::string utf16leToUtf8(ByteView bytes);

} // namespace labsim::tds
