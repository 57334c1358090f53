#include "db/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <array>

namespace hc::db {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

namespace {

SQLWCHAR *wide(const QString &text)
{
    return const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(text.utf16()));
}

QString fromWide(const SQLWCHAR *text, qsizetype length)
{
    return QString(reinterpret_cast<const QChar *>(text), length);
}

// Appends every diagnostic record of a handle, in the driver's order.
void collectDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool callSucceeded, bool duringStatement,
                        std::vector<DbError> &entries)
{
    std::vector<SQLWCHAR> message(1024);
    for (SQLSMALLINT record = 1;; ++record) {
        std::array<SQLWCHAR, 6> state{};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state.data(), &native, message.data(),
                                      SQLSMALLINT(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(message.size())) {
            message.resize(std::size_t(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state.data(), &native, message.data(),
                                SQLSMALLINT(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            return;
        const QString sqlState = fromWide(state.data(), 5);
        const qsizetype textLength = std::min<qsizetype>(length, qsizetype(message.size()) - 1);
        entries.push_back({diagnosticNumber(sqlState, native, callSucceeded, duringStatement),
                           fromWide(message.data(), textLength), sqlState, native});
    }
}

bool hasState(const std::vector<DbError> &entries, QLatin1String state)
{
    return std::any_of(entries.begin(), entries.end(), [&](const DbError &e) { return e.sqlState == state; });
}

// How a column is read: by its SQL type, into the Value the service expects.
enum class CellKind { Integer, Decimal, Double, Bit, Text, Timestamp, Time };

CellKind cellKind(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
        return CellKind::Bit;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return CellKind::Integer;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return CellKind::Decimal;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return CellKind::Double;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return CellKind::Timestamp;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return CellKind::Time;
    default:
        return CellKind::Text;
    }
}

// Frees its statement handle on every way out.
class StatementHandle {
public:
    explicit StatementHandle(SQLHDBC dbc)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_)))
            handle_ = SQL_NULL_HSTMT;
    }
    ~StatementHandle()
    {
        if (handle_ != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, handle_);
    }
    StatementHandle(const StatementHandle &) = delete;
    StatementHandle &operator=(const StatementHandle &) = delete;
    SQLHSTMT get() const { return handle_; }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// Reads the rows of the current result of a statement.
class ResultReader {
public:
    ResultReader(SQLHSTMT stmt, std::vector<DbError> &entries) : stmt_(stmt), entries_(entries) {}

    // The whole result; false when the driver failed part-way (the reasons
    // are in the entries).
    bool readAll(SQLSMALLINT columnCount, ResultSetPtr &result)
    {
        QStringList names;
        names.reserve(columnCount);
        kinds_.clear();
        kinds_.reserve(std::size_t(columnCount));
        for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount); ++column) {
            std::array<SQLWCHAR, 256> name{};
            SQLSMALLINT nameLength = 0, sqlType = SQL_UNKNOWN_TYPE, digits = 0, nullable = 0;
            SQLULEN size = 0;
            const SQLRETURN rc = SQLDescribeColW(stmt_, column, name.data(), SQLSMALLINT(name.size()), &nameLength,
                                                 &sqlType, &size, &digits, &nullable);
            if (!SQL_SUCCEEDED(rc))
                return failed();
            names.append(fromWide(name.data(), std::min<qsizetype>(nameLength, qsizetype(name.size()) - 1)));
            kinds_.push_back(cellKind(sqlType));
        }

        std::vector<Value> cells;
        for (;;) {
            const SQLRETURN rc = SQLFetch(stmt_);
            if (rc == SQL_NO_DATA)
                break;
            if (rc == SQL_SUCCESS_WITH_INFO)
                collectDiagnostics(SQL_HANDLE_STMT, stmt_, true, true, entries_);
            else if (rc != SQL_SUCCESS)
                return failed();
            for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount); ++column) {
                if (!readCell(column, kinds_[column - 1u], cells))
                    return failed();
            }
        }
        result = std::make_shared<ResultSet>(ResultSet::fromCells(std::move(names), std::move(cells)));
        return true;
    }

private:
    bool failed()
    {
        collectDiagnostics(SQL_HANDLE_STMT, stmt_, false, true, entries_);
        return false;
    }

    template <typename Scalar>
    bool readScalar(SQLUSMALLINT column, SQLSMALLINT cType, Scalar &value, bool &isNull)
    {
        SQLLEN indicator = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt_, column, cType, &value, sizeof value, &indicator)))
            return false;
        isNull = indicator == SQL_NULL_DATA;
        return true;
    }

    bool readCell(SQLUSMALLINT column, CellKind kind, std::vector<Value> &cells)
    {
        bool isNull = false;
        switch (kind) {
        case CellKind::Integer: {
            SQLBIGINT number = 0;
            if (!readScalar(column, SQL_C_SBIGINT, number, isNull))
                return false;
            isNull ? cells.emplace_back() : cells.emplace_back(qint64{number});
            return true;
        }
        case CellKind::Double: {
            double number = 0;
            if (!readScalar(column, SQL_C_DOUBLE, number, isNull))
                return false;
            isNull ? cells.emplace_back() : cells.emplace_back(number);
            return true;
        }
        case CellKind::Bit: {
            unsigned char bit = 0;
            if (!readScalar(column, SQL_C_BIT, bit, isNull))
                return false;
            isNull ? cells.emplace_back() : cells.emplace_back(bit != 0);
            return true;
        }
        case CellKind::Timestamp: {
            SQL_TIMESTAMP_STRUCT moment{};
            if (!readScalar(column, SQL_C_TYPE_TIMESTAMP, moment, isNull))
                return false;
            if (isNull)
                cells.emplace_back();
            else
                cells.emplace_back(QDateTime(QDate(moment.year, moment.month, moment.day),
                                             QTime(moment.hour, moment.minute, moment.second,
                                                   int(moment.fraction / 1000000))));
            return true;
        }
        case CellKind::Time: {
            SQL_TIME_STRUCT time{};
            if (!readScalar(column, SQL_C_TYPE_TIME, time, isNull))
                return false;
            if (isNull)
                cells.emplace_back();
            else
                cells.emplace_back(QDateTime(zeroDate(), QTime(time.hour, time.minute, time.second)));
            return true;
        }
        case CellKind::Decimal: {
            std::array<char, 96> digits{};
            SQLLEN indicator = 0;
            if (!SQL_SUCCEEDED(SQLGetData(stmt_, column, SQL_C_CHAR, digits.data(), SQLLEN(digits.size()), &indicator)))
                return false;
            if (indicator == SQL_NULL_DATA)
                cells.emplace_back();
            else
                cells.emplace_back(Value::Decimal{QString::fromLatin1(digits.data())});
            return true;
        }
        case CellKind::Text:
            return readText(column, cells);
        }
        return false;
    }

    // Text as UTF-16, in pieces when it is longer than the buffer.
    bool readText(SQLUSMALLINT column, std::vector<Value> &cells)
    {
        constexpr SQLLEN kUnit = sizeof(SQLWCHAR);
        QString text;
        for (bool firstPiece = true;; firstPiece = false) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_WCHAR, buffer_.data(),
                                            SQLLEN(buffer_.size()) * kUnit, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                return false;
            if (indicator == SQL_NULL_DATA) {
                cells.emplace_back();
                return true;
            }
            const qsizetype room = qsizetype(buffer_.size()) - 1;
            const bool whole = rc == SQL_SUCCESS && indicator != SQL_NO_TOTAL && indicator / kUnit <= room;
            const qsizetype length = whole ? qsizetype(indicator / kUnit) : room;
            if (firstPiece && whole) {
                cells.emplace_back(fromWide(buffer_.data(), length));
                return true;
            }
            if (firstPiece && indicator != SQL_NO_TOTAL)
                text.reserve(qsizetype(indicator / kUnit));
            text.append(reinterpret_cast<const QChar *>(buffer_.data()), length);
            if (whole)
                break;
        }
        cells.emplace_back(std::move(text));
        return true;
    }

    SQLHSTMT stmt_;
    std::vector<DbError> &entries_;
    std::vector<CellKind> kinds_;
    std::array<SQLWCHAR, 2048> buffer_{};
};

} // namespace

qint32 diagnosticNumber(QStringView sqlState, qint32 nativeError, bool callSucceeded, bool duringStatement)
{
    if (duringStatement && sqlState == QLatin1String("HYT00"))
        return kTimeoutErrorNumber;
    if (sqlState == QLatin1String("HY008") || callSucceeded)
        return 0;
    return nativeError != 0 ? nativeError : kGeneralErrorNumber;
}

struct OdbcConnection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;

    ~Handles()
    {
        if (dbc != SQL_NULL_HDBC)
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }

    bool ready()
    {
        if (env == SQL_NULL_HENV) {
            if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
                env = SQL_NULL_HENV;
                return false;
            }
            SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        }
        if (dbc == SQL_NULL_HDBC && !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
            dbc = SQL_NULL_HDBC;
            return false;
        }
        return true;
    }
};

OdbcConnection::OdbcConnection() : handles_(std::make_unique<Handles>()) {}

OdbcConnection::~OdbcConnection()
{
    close();
}

void OdbcConnection::open(const QString &connectionString)
{
    close();
    if (!handles_->ready())
        fail({}, "The ODBC driver manager could not be initialised.");
    SQLHDBC dbc = handles_->dbc;
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(connectionTimeout_)), 0);
    std::array<SQLWCHAR, 1024> completed{};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, wide(connectionString), SQL_NTS, completed.data(),
                                           SQLSMALLINT(completed.size()), &completedLength, SQL_DRIVER_NOPROMPT);
    std::vector<DbError> entries;
    collectDiagnostics(SQL_HANDLE_DBC, dbc, SQL_SUCCEEDED(rc), false, entries);
    if (!SQL_SUCCEEDED(rc))
        fail(std::move(entries), "The connection could not be opened.");
    open_ = true;
    broken_ = false;
    replaceErrors(std::move(entries));
}

void OdbcConnection::close()
{
    if (!open_)
        return;
    open_ = false;
    broken_ = false;
    if (!SQL_SUCCEEDED(SQLDisconnect(handles_->dbc))) {
        // A handle that would not disconnect is not reused.
        SQLFreeHandle(SQL_HANDLE_DBC, handles_->dbc);
        handles_->dbc = SQL_NULL_HDBC;
    }
}

ResultSetPtr OdbcConnection::execute(const QString &statement)
{
    if (!open_)
        fail({{kGeneralErrorNumber, QStringLiteral("Operation is not allowed when the object is closed."),
               QStringLiteral("08003"), 0}},
             "");
    SQLHDBC dbc = handles_->dbc;
    std::vector<DbError> entries;
    StatementHandle stmt(dbc);
    if (stmt.get() == SQL_NULL_HSTMT) {
        collectDiagnostics(SQL_HANDLE_DBC, dbc, false, true, entries);
        broken_ = connectionDead(entries);
        fail(std::move(entries), "The statement could not be prepared.");
    }
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(commandTimeout_)), 0);

    ResultSetPtr first;
    bool failed = false;
    ResultReader reader(stmt.get(), entries);
    // Every result of the batch is walked, past failed ones, so that the
    // statements after a failure run and report as well; only a time-out or
    // a dead link ends the walk early.
    SQLRETURN rc = SQLExecDirectW(stmt.get(), wide(statement), SQLINTEGER(statement.size()));
    for (bool more = false;; more = true) {
        if (rc == SQL_NO_DATA && more)
            break;
        if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
            if (rc == SQL_SUCCESS_WITH_INFO)
                collectDiagnostics(SQL_HANDLE_STMT, stmt.get(), true, true, entries);
            SQLSMALLINT columns = 0;
            if (!first && !failed && SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) && columns > 0 &&
                !reader.readAll(columns, first)) {
                failed = true;
                if (hasState(entries, QLatin1String("HYT00")) || connectionDead({}))
                    break;
            }
        } else if (rc == SQL_ERROR) {
            const std::size_t before = entries.size();
            collectDiagnostics(SQL_HANDLE_STMT, stmt.get(), false, true, entries);
            failed = true;
            // A failure that gives no reason, or says the statement cannot go
            // on, cannot be walked past.
            if (entries.size() == before || hasState(entries, QLatin1String("HYT00")) ||
                hasState(entries, QLatin1String("HY010")) || connectionDead({}))
                break;
        } else if (rc != SQL_NO_DATA) {
            failed = true;
            break;
        }
        rc = SQLMoreResults(stmt.get());
    }

    if (failed) {
        broken_ = connectionDead(entries);
        fail(std::move(entries), "The statement failed.");
    }
    replaceErrors(std::move(entries));
    if (!first)
        first = std::make_shared<ResultSet>(QStringList(), std::vector<ResultSet::Row>());
    return first;
}

bool OdbcConnection::connectionDead(const std::vector<DbError> &entries) const
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(SQLGetConnectAttr(handles_->dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return dead == SQL_CD_TRUE;
    return std::any_of(entries.begin(), entries.end(), [](const DbError &e) { return e.sqlState.startsWith(u"08"); });
}

void OdbcConnection::replaceErrors(std::vector<DbError> entries)
{
    if (!entries.empty())
        errors_ = std::move(entries);
}

void OdbcConnection::fail(std::vector<DbError> entries, const char *fallbackMessage)
{
    if (entries.empty())
        entries.push_back({kGeneralErrorNumber, QString::fromUtf8(fallbackMessage), QStringLiteral("HY000"), 0});
    QString message;
    for (const DbError &entry : entries) {
        if (!message.isEmpty())
            message += u'\n';
        message += entry.description;
    }
    errors_ = std::move(entries);
    throw Failure(message.toStdString());
}

} // namespace hc::db
