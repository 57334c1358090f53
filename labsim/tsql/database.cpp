#include "labsim/tsql/database.h"

#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"
#include "labsim/tsql/values.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace labsim::tsql {

namespace {

// Errors raised inside the conversion functions travel through SQLite as
// "tsql:<number>:<text>".
constexpr std::string_view kErrorTag = "tsql:";

void resultError(sqlite3_context *context, const SqlError &error)
{
    const std::string text = std::string(kErrorTag) + std::to_string(error.number()) + ":" + error.messages().front().text;
    sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

Cell cellOf(sqlite3_value *value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return std::int64_t{sqlite3_value_int64(value)};
    case SQLITE_FLOAT:
        return sqlite3_value_double(value);
    case SQLITE_NULL:
        return std::nullopt;
    default:
        return std::string(reinterpret_cast<const char *>(sqlite3_value_text(value)),
                           static_cast<std::size_t>(sqlite3_value_bytes(value)));
    }
}

void resultCell(sqlite3_context *context, const Cell &cell)
{
    if (!cell) {
        sqlite3_result_null(context);
    } else if (const auto *number = std::get_if<std::int64_t>(&*cell)) {
        sqlite3_result_int64(context, *number);
    } else if (const auto *real = std::get_if<double>(&*cell)) {
        sqlite3_result_double(context, *real);
    } else if (const auto *text = std::get_if<std::string>(&*cell)) {
        sqlite3_result_text(context, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    } else {
        const std::string moment = canonicalText(std::get<DateTime>(*cell));
        sqlite3_result_text(context, moment.data(), static_cast<int>(moment.size()), SQLITE_TRANSIENT);
    }
}

// tsql_convert(value, type code, length, conversion): an expression
// converted to a column's or a comparison's type.
void convertFunction(sqlite3_context *context, int, sqlite3_value **values)
{
    try {
        const Cell cell = cellOf(values[0]);
        const SqlType type{static_cast<SqlType::Base>(sqlite3_value_int(values[1])), sqlite3_value_int(values[2])};
        const auto mode = static_cast<Conversion>(sqlite3_value_int(values[3]));
        Cell converted = convertCell(cell, type, mode);
        if (converted && type.base == SqlType::Base::DateTime)
            converted = canonicalText(std::get<DateTime>(*converted));
        resultCell(context, converted);
    } catch (const SqlError &error) {
        resultError(context, error);
    }
}

void nowFunction(sqlite3_context *context, int, sqlite3_value **)
{
    const std::string text = canonicalText(localNow());
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Case-insensitive for ASCII, and blind to trailing blanks, as SQL Server's
// default collation compares text.
int compareCollated(void *, int leftLength, const void *leftData, int rightLength, const void *rightData)
{
    const auto *left = static_cast<const unsigned char *>(leftData);
    const auto *right = static_cast<const unsigned char *>(rightData);
    while (leftLength > 0 && left[leftLength - 1] == ' ')
        --leftLength;
    while (rightLength > 0 && right[rightLength - 1] == ' ')
        --rightLength;
    const int common = leftLength < rightLength ? leftLength : rightLength;
    for (int i = 0; i < common; ++i) {
        const int a = std::tolower(left[i]);
        const int b = std::tolower(right[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return leftLength == rightLength ? 0 : (leftLength < rightLength ? -1 : 1);
}

void bindCell(sqlite3_stmt *statement, int index, const Cell &cell)
{
    if (!cell) {
        sqlite3_bind_null(statement, index);
    } else if (const auto *number = std::get_if<std::int64_t>(&*cell)) {
        sqlite3_bind_int64(statement, index, *number);
    } else if (const auto *real = std::get_if<double>(&*cell)) {
        sqlite3_bind_double(statement, index, *real);
    } else if (const auto *text = std::get_if<std::string>(&*cell)) {
        sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    } else {
        const std::string moment = canonicalText(std::get<DateTime>(*cell));
        sqlite3_bind_text(statement, index, moment.data(), static_cast<int>(moment.size()), SQLITE_TRANSIENT);
    }
}

Cell readCell(sqlite3_stmt *statement, int index, ColumnType type)
{
    if (sqlite3_column_type(statement, index) == SQLITE_NULL)
        return std::nullopt;
    switch (type) {
    case ColumnType::Int:
        return std::int64_t{sqlite3_column_int64(statement, index)};
    case ColumnType::Float:
        return sqlite3_column_double(statement, index);
    case ColumnType::Text:
        return std::string(reinterpret_cast<const char *>(sqlite3_column_text(statement, index)),
                           static_cast<std::size_t>(sqlite3_column_bytes(statement, index)));
    case ColumnType::DateTime: {
        const std::string text(reinterpret_cast<const char *>(sqlite3_column_text(statement, index)),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, index)));
        if (const auto value = fromCanonicalText(text))
            return *value;
        const ParsedDateTime parsed = parseDateTime(text);
        if (parsed.status == DateTimeParse::Ok)
            return parsed.value;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

struct Prepared {
    sqlite3_stmt *statement = nullptr;
    ~Prepared() { sqlite3_finalize(statement); }
};

} // namespace

Database::Database(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &handle_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = handle_ ? sqlite3_errmsg(handle_) : "out of memory";
        sqlite3_close(handle_);
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    sqlite3_extended_result_codes(handle_, 1);
    sqlite3_busy_timeout(handle_, 5000);
    sqlite3_create_collation(handle_, "tsql", SQLITE_UTF8, nullptr, compareCollated);
    sqlite3_create_function(handle_, "tsql_convert", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, convertFunction,
                            nullptr, nullptr);
    sqlite3_create_function(handle_, "tsql_now", 0, SQLITE_UTF8, nullptr, nowFunction, nullptr, nullptr);
    access().script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
}

Database::~Database() { sqlite3_close(handle_); }

void Database::setDisplayName(const std::string &storageName, const std::string &displayName)
{
    std::lock_guard lock(mutex_);
    displayNames_[storageName] = displayName;
}

void Database::raise(int code, const std::string &sql) const
{
    const std::string message = sqlite3_errmsg(handle_);
    if (message.rfind(kErrorTag, 0) == 0) {
        const std::size_t colon = message.find(':', kErrorTag.size());
        const int number = std::stoi(message.substr(kErrorTag.size(), colon - kErrorTag.size()));
        throw SqlError(number, 16, message.substr(colon + 1));
    }
    // "NOT NULL constraint failed: table.column", "UNIQUE constraint failed: table.column, ..."
    const auto displayName = [&](const std::string &storage) {
        const auto found = displayNames_.find(storage);
        return found == displayNames_.end() ? storage : found->second;
    };
    const std::size_t colon = message.find(": ");
    const std::string subject = colon == std::string::npos ? std::string() : message.substr(colon + 2);
    const std::size_t dot = subject.find('.');
    const std::string table = subject.substr(0, dot);
    const std::string column = dot == std::string::npos ? std::string() : subject.substr(dot + 1, subject.find(',') - dot - 1);
    if (code == SQLITE_CONSTRAINT_NOTNULL)
        throw errors::nullNotAllowed(column, displayName(table), sql.rfind("INSERT", 0) == 0 ? "INSERT" : "UPDATE");
    if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE)
        throw errors::duplicateKey(displayName(table));
    throw SqlError(50000, 16, "The laboratory's database failed: " + message);
}

Access::Access(Database &database) : database_(database), lock_(database.mutex_) {}

std::vector<Row> Access::query(const std::string &sql, const std::vector<Cell> &parameters,
                               const std::vector<ColumnType> &types)
{
    Prepared prepared;
    if (sqlite3_prepare_v2(database_.handle_, sql.c_str(), static_cast<int>(sql.size()), &prepared.statement,
                           nullptr) != SQLITE_OK)
        database_.raise(sqlite3_extended_errcode(database_.handle_), sql);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        bindCell(prepared.statement, static_cast<int>(i + 1), parameters[i]);
    std::vector<Row> rows;
    while (true) {
        const int code = sqlite3_step(prepared.statement);
        if (code == SQLITE_DONE)
            return rows;
        if (code != SQLITE_ROW)
            database_.raise(sqlite3_extended_errcode(database_.handle_), sql);
        Row row;
        row.reserve(types.size());
        for (std::size_t i = 0; i < types.size(); ++i)
            row.push_back(readCell(prepared.statement, static_cast<int>(i), types[i]));
        rows.push_back(std::move(row));
    }
}

std::int64_t Access::run(const std::string &sql, const std::vector<Cell> &parameters)
{
    query(sql, parameters, {});
    return sqlite3_changes64(database_.handle_);
}

void Access::script(const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(database_.handle_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown failure";
        sqlite3_free(message);
        throw SqlError(50000, 16, "The laboratory's database failed: " + text);
    }
}

} // namespace labsim::tsql
