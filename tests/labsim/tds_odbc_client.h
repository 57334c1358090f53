#pragma once

// A bare ODBC client for the TDS front end's tests: it shows what the real
// driver makes of the server's answers (return codes, SQL types, every
// diagnostic record, every result of a batch), which a higher layer folds.

#include "labsim/tds/bytes.h"

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <vector>

namespace labsim::test {

struct Diagnostic {
    std::string state;
    SQLINTEGER native = 0;
    std::string text;
};

// One result of a batch: what SQLExecDirect or one SQLMoreResults gave.
struct ResultPart {
    SQLRETURN rc = SQL_SUCCESS;
    std::vector<Diagnostic> diagnostics;
    std::vector<std::string> columnNames;
    std::vector<SQLSMALLINT> columnTypes;
    std::vector<std::vector<std::optional<std::string>>> rows;
    SQLLEN rowCount = -1;

    bool hasState(const std::string &state) const
    {
        for (const auto &d : diagnostics)
            if (d.state == state) return true;
        return false;
    }
};

class OdbcClient {
public:
    OdbcClient()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~OdbcClient()
    {
        if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    OdbcClient(const OdbcClient &) = delete;
    OdbcClient &operator=(const OdbcClient &) = delete;

    static std::string connectionString(std::uint16_t port, const std::string &password = "mk9073zr",
                                        const std::string &version = "")
    {
        std::string text = "Driver={SQL Server};SERVER=127.0.0.1," + std::to_string(port) + ";UID=sa;PWD=" + password + ";";
        if (!version.empty()) text += "TDS_Version=" + version + ";";
        return text;
    }

    // Returns whether the connection opened; diagnostics() then tells why not.
    bool connect(const std::string &connectionString)
    {
        if (stmt_) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
            stmt_ = SQL_NULL_HSTMT;
        }
        if (connected_) SQLDisconnect(dbc_);
        std::vector<SQLCHAR> text(connectionString.begin(), connectionString.end());
        const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                                              nullptr, SQL_DRIVER_NOPROMPT);
        connectDiagnostics = diagnostics(SQL_HANDLE_DBC, dbc_);
        connected_ = SQL_SUCCEEDED(rc);
        if (connected_) SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return connected_;
    }

    // Runs a batch and walks all its results.
    std::vector<ResultPart> run(const std::string &sql, SQLULEN queryTimeoutSeconds = 0)
    {
        SQLSetStmtAttr(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(queryTimeoutSeconds), 0);
        auto text = wide(sql);
        std::vector<ResultPart> parts;
        SQLRETURN rc = SQLExecDirectW(stmt_, text.data(), static_cast<SQLINTEGER>(text.size()));
        for (int guard = 0; guard < 100; ++guard) {
            parts.push_back(readPart(rc));
            if (rc == SQL_NO_DATA || (rc == SQL_ERROR && parts.size() == 1)) break;
            rc = SQLMoreResults(stmt_);
            if (rc == SQL_NO_DATA) break;
        }
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return parts;
    }

    bool dead()
    {
        SQLUINTEGER state = SQL_CD_FALSE;
        SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &state, 0, nullptr);
        return state == SQL_CD_TRUE;
    }

    std::vector<Diagnostic> connectDiagnostics;

private:
    static std::vector<SQLWCHAR> wide(const std::string &utf8)
    {
        const auto units = tds::utf8ToUtf16(utf8);
        return std::vector<SQLWCHAR>(units.begin(), units.end());
    }

    static std::string narrow(const SQLWCHAR *units, std::size_t count)
    {
        return tds::utf16ToUtf8(std::u16string(units, units + count));
    }

    static std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle)
    {
        std::vector<Diagnostic> found;
        for (SQLSMALLINT record = 1;; ++record) {
            SQLWCHAR state[6] = {};
            SQLWCHAR text[1024] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT length = 0;
            if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length))) break;
            found.push_back({narrow(state, 5), native, narrow(text, std::min<SQLSMALLINT>(length, 1023))});
        }
        return found;
    }

    ResultPart readPart(SQLRETURN rc)
    {
        ResultPart part;
        part.rc = rc;
        part.diagnostics = diagnostics(SQL_HANDLE_STMT, stmt_);
        if (!SQL_SUCCEEDED(rc)) return part;
        SQLRowCount(stmt_, &part.rowCount);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt_, &columns);
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeColW(stmt_, c, name, 256, &nameLength, &type, &size, &digits, &nullable);
            part.columnNames.push_back(narrow(name, std::min<SQLSMALLINT>(nameLength, 255)));
            part.columnTypes.push_back(type);
        }
        while (columns > 0 && SQL_SUCCEEDED(SQLFetch(stmt_))) {
            std::vector<std::optional<std::string>> row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) row.push_back(cell(c));
            part.rows.push_back(std::move(row));
        }
        return part;
    }

    std::optional<std::string> cell(SQLUSMALLINT column)
    {
        std::u16string value;
        for (;;) {
            SQLWCHAR chunk[2048];
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) return "<error>";
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            const std::size_t capacity = sizeof chunk / sizeof(SQLWCHAR) - 1;
            const std::size_t units = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > capacity
                ? capacity
                : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
            value.append(chunk, chunk + units);
            if (rc == SQL_SUCCESS) break;
        }
        return tds::utf16ToUtf8(value);
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool connected_ = false;
};

} // namespace labsim::test
