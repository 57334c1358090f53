#pragma once

#include "db/result_set.h"

#include <QString>

#include <vector>

namespace hc::db {

// One entry of a connection's error list.
// Informational messages (a change of database context, PRINT) have number
// 0, so that the error report leaves them out; nativeError keeps the
// server's own number of every entry.
struct DbError {
    qint32 number = 0;
    QString description;
    QString sqlState;
    qint32 nativeError = 0;
    bool operator==(const DbError &) const = default;
};

// The number of the entry that marks a statement which ran past the command
// time-out; the only number on which a statement is run again.
inline constexpr qint32 kTimeoutErrorNumber = -2147217871; // 0x80040E31

// The number of an error entry for which the driver gave no number of its
// own (a lost link, a connection that is not open), so that it is shown.
inline constexpr qint32 kGeneralErrorNumber = -2147467259; // 0x80004005

// A database connection as the service uses it.
//
// The error list follows one rule: an operation that reports errors or
// warnings replaces the whole list with them; an operation that reports none
// leaves the list as it was.
class Connection {
public:
    virtual ~Connection() = default;

    virtual void setCommandTimeout(int seconds) = 0;
    virtual void setConnectionTimeout(int seconds) = 0;

    // Opens with the whole connection string; raises hc::Failure (whose text
    // is the driver's message) when the connection cannot be opened.
    virtual void open(const QString &connectionString) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Runs a statement batch. Returns the first result of the batch that has
    // columns, fully fetched, or an open result set without columns when no
    // result has any. Raises hc::Failure when the batch failed; the error list
    // then holds the reasons.
    virtual ResultSetPtr execute(const QString &statement) = 0;

    // True when the link to the server is broken, so that only a new open
    // can make statements work again.
    virtual bool isBroken() const = 0;

    virtual const std::vector<DbError> &errors() const = 0;
    virtual void clearErrors() = 0;
};

} // namespace hc::db
