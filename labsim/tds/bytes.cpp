#include "labsim/tds/bytes.h"

namespace labsim::tds {

void ByteReader::require(std::size_t count) const
{
    if (count > remaining()) throw ProtocolError("truncated data");
}

std::uint8_t ByteReader::u8()
{
    require(1);
    return data_[position_++];
}

std::uint16_t ByteReader::u16le()
{
    require(2);
    const auto value = static_cast<std::uint16_t>(data_[position_] | data_[position_ + 1] << 8);
    position_ += 2;
    return value;
}

std::uint16_t ByteReader::u16be()
{
    require(2);
    const auto value = static_cast<std::uint16_t>(data_[position_] << 8 | data_[position_ + 1]);
    position_ += 2;
    return value;
}

std::uint32_t ByteReader::u32le()
{
    const std::uint32_t low = u16le();
    return low | std::uint32_t{u16le()} << 16;
}

std::uint32_t ByteReader::u32be()
{
    const std::uint32_t high = u16be();
    return high << 16 | u16be();
}

std::uint64_t ByteReader::u64le()
{
    const std::uint64_t low = u32le();
    return low | std::uint64_t{u32le()} << 32;
}

ByteView ByteReader::bytes(std::size_t count)
{
    require(count);
    const auto view = data_.subspan(position_, count);
    position_ += count;
    return view;
}

std::string ByteReader::utf16(std::size_t count)
{
    if (count > remaining() / 2) throw ProtocolError("truncated text");
    return utf16leToUtf8(bytes(count * 2));
}

void ByteWriter::u16le(std::uint16_t value)
{
    bytes_.push_back(static_cast<std::uint8_t>(value));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::u16be(std::uint16_t value)
{
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(value));
}

void ByteWriter::u32le(std::uint32_t value)
{
    u16le(static_cast<std::uint16_t>(value));
    u16le(static_cast<std::uint16_t>(value >> 16));
}

void ByteWriter::u32be(std::uint32_t value)
{
    u16be(static_cast<std::uint16_t>(value >> 16));
    u16be(static_cast<std::uint16_t>(value));
}

void ByteWriter::u64le(std::uint64_t value)
{
    u32le(static_cast<std::uint32_t>(value));
    u32le(static_cast<std::uint32_t>(value >> 32));
}

void ByteWriter::utf16(std::string_view utf8)
{
    for (const char16_t unit : utf8ToUtf16(utf8)) u16le(unit);
}

void ByteWriter::patchU16le(std::size_t at, std::uint16_t value)
{
    bytes_.at(at) = static_cast<std::uint8_t>(value);
    bytes_.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at text[i] and advances i; overlong forms,
// surrogates and truncated sequences give U+FFFD and consume one byte.
char32_t decodeUtf8(std::string_view text, std::size_t &i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (text.size() - i < static_cast<std::size_t>(length)) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        code = code << 6 | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return code;
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t code = decodeUtf8(utf8, i);
        if (code < 0x10000) {
            out += static_cast<char16_t>(code);
        } else {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::string utf16leToUtf8(ByteView bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return utf16ToUtf8(units);
}

} // namespace labsim::tds
