#include "labsim/tds/answers.h"

#include "labsim/tds/packet.h"
#include "labsim/tds/requests.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace labsim::tds {

namespace {

namespace token {
constexpr std::uint8_t kColMetadata = 0x81;
constexpr std::uint8_t kError = 0xAA;
constexpr std::uint8_t kInfo = 0xAB;
constexpr std::uint8_t kLoginAck = 0xAD;
constexpr std::uint8_t kRow = 0xD1;
constexpr std::uint8_t kEnvChange = 0xE3;
constexpr std::uint8_t kDone = 0xFD;
} // namespace token

namespace type {
constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint8_t kNText = 0x63;
constexpr std::uint8_t kFloatN = 0x6D;
constexpr std::uint8_t kDateTimeN = 0x6F;
constexpr std::uint8_t kNVarChar = 0xE7;
} // namespace type

constexpr std::uint8_t kCollation[] = {0x09, 0x04, 0xD0, 0x00, 0x34}; // us_english, case-insensitive
constexpr std::uint16_t kNullableFlags = 0x0009;
constexpr std::size_t kNVarCharUnits = 4000;
constexpr std::uint16_t kSelectCommand = 0xC1;
constexpr std::uint32_t kTicksPerDay = 24u * 60 * 60 * 300;
const std::string kServerName = "LABSIM";

constexpr std::int64_t kInt32Min = -2147483648LL;
constexpr std::int64_t kInt32Max = 2147483647LL;

// A cell whose value is not of its column's type is converted where it reads
// as one, and otherwise sent as Null.
std::optional<std::int64_t> asInteger(const Cell &cell)
{
    if (!cell) return std::nullopt;
    if (const auto *number = std::get_if<std::int64_t>(&*cell)) return *number;
    if (const auto *real = std::get_if<double>(&*cell)) {
        if (std::isfinite(*real) && std::fabs(*real) < 9.2e18) return std::llround(*real);
        return std::nullopt;
    }
    if (const auto *text = std::get_if<std::string>(&*cell)) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (error == std::errc() && end == text->data() + text->size() && !text->empty()) return value;
    }
    return std::nullopt;
}

std::optional<double> asReal(const Cell &cell)
{
    if (!cell) return std::nullopt;
    if (const auto *real = std::get_if<double>(&*cell)) return *real;
    if (const auto *number = std::get_if<std::int64_t>(&*cell)) return static_cast<double>(*number);
    if (const auto *text = std::get_if<std::string>(&*cell)) {
        double value = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (error == std::errc() && end == text->data() + text->size() && !text->empty()) return value;
    }
    return std::nullopt;
}

std::optional<std::string> asText(const Cell &cell)
{
    if (!cell) return std::nullopt;
    if (const auto *text = std::get_if<std::string>(&*cell)) return *text;
    if (const auto *number = std::get_if<std::int64_t>(&*cell)) return std::to_string(*number);
    if (const auto *real = std::get_if<double>(&*cell)) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
        return std::string(buffer, result.ptr);
    }
    const auto &moment = std::get<DateTime>(*cell);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", moment.year, moment.month, moment.day,
                  moment.hour, moment.minute, moment.second, moment.millisecond);
    return std::string(buffer);
}

const Cell &cellAt(const Row &row, std::size_t column)
{
    static const Cell null;
    return column < row.size() ? row[column] : null;
}

std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Text cut to at most maxUnits UTF-16 units, never inside a surrogate pair.
std::u16string limitedUtf16(const std::string &text, std::size_t maxUnits)
{
    std::u16string units = utf8ToUtf16(text);
    if (units.size() > maxUnits) {
        std::size_t cut = maxUnits;
        if (cut > 0 && units[cut - 1] >= 0xD800 && units[cut - 1] <= 0xDBFF) --cut;
        units.resize(cut);
    }
    return units;
}

void writeUnits(ByteWriter &out, const std::u16string &units)
{
    for (const char16_t unit : units) out.u16le(unit);
}

} // namespace

DateTimeTicks toDateTimeTicks(const DateTime &value)
{
    const std::int64_t days = daysFromCivil(std::clamp(value.year, 1, 9999), std::clamp(value.month, 1, 12),
                                            std::clamp(value.day, 1, 31)) -
        daysFromCivil(1900, 1, 1);
    const std::int64_t seconds =
        (std::clamp(value.hour, 0, 23) * 60LL + std::clamp(value.minute, 0, 59)) * 60 + std::clamp(value.second, 0, 59);
    const std::int64_t ticks = seconds * 300 + (std::clamp(value.millisecond, 0, 999) * 3LL + 5) / 10;
    if (ticks >= kTicksPerDay) return {static_cast<std::int32_t>(days + 1), static_cast<std::uint32_t>(ticks - kTicksPerDay)};
    return {static_cast<std::int32_t>(days), static_cast<std::uint32_t>(ticks)};
}

std::vector<WireColumn> wireColumns(const std::vector<Column> &columns, const std::vector<Row> &rows, std::uint32_t tdsVersion)
{
    std::vector<WireColumn> wire;
    wire.reserve(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        WireType type = WireType::DateTime;
        switch (columns[c].type) {
        case ColumnType::Int:
            type = std::all_of(rows.begin(), rows.end(), [&](const Row &row) {
                const auto value = asInteger(cellAt(row, c));
                return !value || (*value >= kInt32Min && *value <= kInt32Max);
            }) ? WireType::Int4 : WireType::Int8;
            break;
        case ColumnType::Float: type = WireType::Float8; break;
        case ColumnType::Text: {
            const bool long_ = std::any_of(rows.begin(), rows.end(), [&](const Row &row) {
                const auto &cell = cellAt(row, c);
                const auto *text = cell ? std::get_if<std::string>(&*cell) : nullptr;
                // UTF-16 never needs more units than UTF-8 has bytes.
                return text && text->size() > kNVarCharUnits && utf8ToUtf16(*text).size() > kNVarCharUnits;
            });
            type = !long_ ? WireType::NVarChar : isTds72OrLater(tdsVersion) ? WireType::NVarCharMax : WireType::NText;
            break;
        }
        case ColumnType::DateTime: type = WireType::DateTime; break;
        }
        wire.push_back({columns[c].name, type});
    }
    return wire;
}

Bytes encodePreLoginAnswer()
{
    constexpr std::uint8_t kEncryptNotSupported = 0x02;
    struct Option {
        std::uint8_t token;
        Bytes data;
    };
    const Option options[] = {
        {0x00, {15, 0, 0x07, 0xD0, 0, 0}}, // server version 15.0.2000, sub-build 0
        {0x01, {kEncryptNotSupported}},
        {0x02, {0}}, // instance: the default one
        {0x04, {0}}, // no MARS
    };
    ByteWriter header;
    ByteWriter data;
    const std::size_t dataStart = std::size(options) * 5 + 1;
    for (const auto &option : options) {
        header.u8(option.token);
        header.u16be(static_cast<std::uint16_t>(dataStart + data.size()));
        header.u16be(static_cast<std::uint16_t>(option.data.size()));
        data.append(option.data);
    }
    header.u8(0xFF);
    header.append(data.bytes());
    return header.take();
}

void TokenWriter::bVarchar(const std::string &text)
{
    const auto units = limitedUtf16(text, 255);
    out_.u8(static_cast<std::uint8_t>(units.size()));
    writeUnits(out_, units);
}

void TokenWriter::usVarchar(const std::string &text)
{
    const auto units = limitedUtf16(text, kNVarCharUnits);
    out_.u16le(static_cast<std::uint16_t>(units.size()));
    writeUnits(out_, units);
}

void TokenWriter::envChange(std::uint8_t type, const std::string &newValue, const std::string &oldValue)
{
    out_.u8(token::kEnvChange);
    const std::size_t lengthAt = out_.size();
    out_.u16le(0);
    out_.u8(type);
    bVarchar(newValue);
    bVarchar(oldValue);
    out_.patchU16le(lengthAt, static_cast<std::uint16_t>(out_.size() - lengthAt - 2));
}

void TokenWriter::collationChange()
{
    constexpr std::uint8_t kSqlCollation = 7;
    out_.u8(token::kEnvChange);
    out_.u16le(1 + 1 + sizeof kCollation + 1);
    out_.u8(kSqlCollation);
    out_.u8(sizeof kCollation);
    out_.append(kCollation);
    out_.u8(0);
}

void TokenWriter::message(const Message &message)
{
    out_.u8(message.severity > 10 ? token::kError : token::kInfo);
    const std::size_t lengthAt = out_.size();
    out_.u16le(0);
    out_.u32le(static_cast<std::uint32_t>(message.number));
    out_.u8(message.state);
    out_.u8(message.severity);
    usVarchar(message.text);
    bVarchar(kServerName);
    bVarchar(message.procedure);
    if (isTds72OrLater(version_))
        out_.u32le(static_cast<std::uint32_t>(message.line));
    else
        out_.u16le(static_cast<std::uint16_t>(message.line));
    out_.patchU16le(lengthAt, static_cast<std::uint16_t>(out_.size() - lengthAt - 2));
}

void TokenWriter::loginAck()
{
    constexpr std::uint8_t kTransactSql = 1;
    out_.u8(token::kLoginAck);
    const std::size_t lengthAt = out_.size();
    out_.u16le(0);
    out_.u8(kTransactSql);
    out_.u32be(version_);
    bVarchar("Microsoft SQL Server");
    out_.append(std::initializer_list<std::uint8_t>{15, 0, 0x07, 0xD0});
    out_.patchU16le(lengthAt, static_cast<std::uint16_t>(out_.size() - lengthAt - 2));
}

void TokenWriter::columnMetadata(const std::vector<WireColumn> &columns)
{
    out_.u8(token::kColMetadata);
    out_.u16le(static_cast<std::uint16_t>(columns.size()));
    for (const auto &column : columns) {
        if (isTds72OrLater(version_))
            out_.u32le(0);
        else
            out_.u16le(0);
        out_.u16le(kNullableFlags);
        switch (column.type) {
        case WireType::Int4: out_.append(std::initializer_list<std::uint8_t>{type::kIntN, 4}); break;
        case WireType::Int8: out_.append(std::initializer_list<std::uint8_t>{type::kIntN, 8}); break;
        case WireType::Float8: out_.append(std::initializer_list<std::uint8_t>{type::kFloatN, 8}); break;
        case WireType::DateTime: out_.append(std::initializer_list<std::uint8_t>{type::kDateTimeN, 8}); break;
        case WireType::NVarChar:
        case WireType::NVarCharMax:
            out_.u8(type::kNVarChar);
            out_.u16le(column.type == WireType::NVarChar ? kNVarCharUnits * 2 : 0xFFFF);
            out_.append(kCollation);
            break;
        case WireType::NText:
            out_.u8(type::kNText);
            out_.u32le(0x7FFFFFFE);
            out_.append(kCollation);
            out_.u16le(0); // no table name
            break;
        }
        bVarchar(column.name);
    }
}

void TokenWriter::cell(WireType type, const Cell &cell)
{
    switch (type) {
    case WireType::Int4:
    case WireType::Int8: {
        const auto value = asInteger(cell);
        if (!value) {
            out_.u8(0);
        } else if (type == WireType::Int4) {
            out_.u8(4);
            out_.u32le(static_cast<std::uint32_t>(*value));
        } else {
            out_.u8(8);
            out_.u64le(static_cast<std::uint64_t>(*value));
        }
        break;
    }
    case WireType::Float8: {
        const auto value = asReal(cell);
        out_.u8(value ? 8 : 0);
        if (value) out_.u64le(std::bit_cast<std::uint64_t>(*value));
        break;
    }
    case WireType::DateTime: {
        const DateTime *moment = cell ? std::get_if<DateTime>(&*cell) : nullptr;
        out_.u8(moment ? 8 : 0);
        if (moment) {
            const auto wire = toDateTimeTicks(*moment);
            out_.u32le(static_cast<std::uint32_t>(wire.days));
            out_.u32le(wire.ticks);
        }
        break;
    }
    case WireType::NVarChar: {
        const auto text = asText(cell);
        if (!text) {
            out_.u16le(0xFFFF);
            break;
        }
        const auto units = limitedUtf16(*text, kNVarCharUnits);
        out_.u16le(static_cast<std::uint16_t>(units.size() * 2));
        writeUnits(out_, units);
        break;
    }
    case WireType::NVarCharMax: {
        const auto text = asText(cell);
        if (!text) {
            out_.u64le(~std::uint64_t{0});
            break;
        }
        const auto units = limitedUtf16(*text, 0x3FFFFFFF);
        out_.u64le(units.size() * 2);
        if (!units.empty()) {
            out_.u32le(static_cast<std::uint32_t>(units.size() * 2));
            writeUnits(out_, units);
        }
        out_.u32le(0);
        break;
    }
    case WireType::NText: {
        const auto text = asText(cell);
        if (!text) {
            out_.u8(0);
            break;
        }
        const auto units = limitedUtf16(*text, 0x3FFFFFFF);
        out_.u8(16);
        out_.append(Bytes(16, 0)); // text pointer
        out_.append(Bytes(8, 0));  // time stamp
        out_.u32le(static_cast<std::uint32_t>(units.size() * 2));
        writeUnits(out_, units);
        break;
    }
    }
}

void TokenWriter::row(const std::vector<WireColumn> &columns, const Row &row)
{
    out_.u8(token::kRow);
    for (std::size_t c = 0; c < columns.size(); ++c) cell(columns[c].type, cellAt(row, c));
}

void TokenWriter::done(std::uint16_t status, std::uint16_t command, std::uint64_t rowCount)
{
    out_.u8(token::kDone);
    out_.u16le(status);
    out_.u16le(command);
    if (isTds72OrLater(version_))
        out_.u64le(rowCount);
    else
        out_.u32le(static_cast<std::uint32_t>(std::min<std::uint64_t>(rowCount, 0xFFFFFFFF)));
}

Bytes encodeLoginAnswer(std::uint32_t tdsVersion, const std::string &database, std::size_t packetSize)
{
    constexpr std::uint8_t kDatabase = 1, kLanguage = 2, kPacketSize = 4;
    const std::string name = database.empty() ? "master" : database;
    TokenWriter out(tdsVersion);
    out.envChange(kDatabase, name, "master");
    out.message({5701, 2, 0, "Changed database context to '" + name + "'.", "", 1});
    out.collationChange();
    out.envChange(kLanguage, "us_english", "");
    out.message({5703, 1, 0, "Changed language setting to us_english.", "", 1});
    out.loginAck();
    out.envChange(kPacketSize, std::to_string(packetSize), std::to_string(kDefaultPacketSize));
    out.done(done_status::kFinal, 0, 0);
    return out.take();
}

Bytes encodeLoginRefusal(std::uint32_t tdsVersion, const std::string &user)
{
    return encodeErrorAnswer(tdsVersion, {18456, 1, 14, "Login failed for user '" + user + "'.", "", 1});
}

Bytes encodeErrorAnswer(std::uint32_t tdsVersion, const Message &error)
{
    TokenWriter out(tdsVersion);
    out.message(error);
    out.done(done_status::kError, 0, 0);
    return out.take();
}

Bytes encodeBatchResult(const BatchResult &result, std::uint32_t tdsVersion)
{
    TokenWriter out(tdsVersion);
    if (result.statements.empty()) out.done(done_status::kFinal, 0, 0);
    for (std::size_t s = 0; s < result.statements.size(); ++s) {
        const StatementResult &statement = result.statements[s];
        for (const auto &message : statement.messages) out.message(message);
        const bool hasResultSet = statement.columns && !statement.columns->empty();
        if (hasResultSet) {
            const auto columns = wireColumns(*statement.columns, statement.rows, tdsVersion);
            out.columnMetadata(columns);
            for (const auto &row : statement.rows) out.row(columns, row);
        }
        std::uint16_t status = s + 1 < result.statements.size() ? done_status::kMore : done_status::kFinal;
        if (statement.failed) status |= done_status::kError;
        if (statement.rowCount) status |= done_status::kCount;
        out.done(status, hasResultSet ? kSelectCommand : 0, statement.rowCount.value_or(0));
    }
    return out.take();
}

Bytes encodeAttentionAck(std::uint32_t tdsVersion)
{
    TokenWriter out(tdsVersion);
    out.done(done_status::kAttention, 0, 0);
    return out.take();
}

} // namespace labsim::tds
