#pragma once

#include "db/connection.h"

#include <QStringView>

#include <memory>

namespace hc::db {

// The error list's number for one diagnostic record: the time-out state of a
// statement becomes kTimeoutErrorNumber; the cancel that comes with it and
// the records of a call that succeeded are informational (0); every record
// of a failed call is an error, with its native number or, lacking one,
// kGeneralErrorNumber, so that the reason of a failure is always shown (the
// driver manager reports a driver it cannot load as 01000 without a number).
qint32 diagnosticNumber(QStringView sqlState, qint32 nativeError, bool callSucceeded, bool duringStatement);

// A connection through the ODBC driver manager (unixODBC). One statement
// handle per execution; every result of a batch is consumed, the first one
// with columns is fetched whole.
class OdbcConnection : public Connection {
public:
    OdbcConnection();
    ~OdbcConnection() override;
    OdbcConnection(const OdbcConnection &) = delete;
    OdbcConnection &operator=(const OdbcConnection &) = delete;

    void setCommandTimeout(int seconds) override { commandTimeout_ = seconds; }
    void setConnectionTimeout(int seconds) override { connectionTimeout_ = seconds; }
    void open(const QString &connectionString) override;
    bool isOpen() const override { return open_; }
    void close() override;
    ResultSetPtr execute(const QString &statement) override;
    bool isBroken() const override { return open_ && broken_; }
    const std::vector<DbError> &errors() const override { return errors_; }
    void clearErrors() override { errors_.clear(); }

private:
    struct Handles;

    void replaceErrors(std::vector<DbError> entries);
    [[noreturn]] void fail(std::vector<DbError> entries, const char *fallbackMessage);
    bool connectionDead(const std::vector<DbError> &entries) const;

    std::unique_ptr<Handles> handles_;
    int commandTimeout_ = 30;
    int connectionTimeout_ = 15;
    bool open_ = false;
    bool broken_ = false;
    std::vector<DbError> errors_;
};

} // namespace hc::db
