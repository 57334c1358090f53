#pragma once

#include "db/connection.h"

#include <QString>

#include <functional>
#include <memory>

namespace hc::db {

// The process's one database connection and the statement operations the
// service reaches it through: statements that time out are run again, and
// the errors left on the connection are shown after the next success.
//
// Not re-entrant: a statement operation must not be started from within one
// of its own calls (for instance from an event handled while the error
// report is open).
class DbModule {
public:
    // showReport shows an error report in a modal box titled with the
    // application's title and returns when the operator closed it.
    DbModule(std::unique_ptr<Connection> connection, std::function<void(const QString &)> showReport);

    Connection &cnShared() { return *cnShared_; }
    QString sConnect;

    // Applies the time-outs and opens; raises hc::Failure when it cannot.
    // The string is kept, so that a broken link is reopened with it.
    void Open_DB_Connection(const QString &connectionString);
    // True when the statement succeeded.
    bool Exec_DB_Statement(const QString &statement, bool bShowErrors);
    // The statement's result, or a result set that was never opened when no
    // attempt succeeded.
    ResultSetPtr Get_Recordset_Client(const QString &statement, bool bShowErrors);
    ResultSetPtr Get_Recordset(const QString &statement, bool bShowErrors);
    // Shows the entries of non-zero number in one report and clears the
    // list once shown; returns how many were shown (or would have been).
    qint16 Report_DB_Errors(Connection &connection, bool bShowErrors);

    static constexpr int kCommandTimeoutSeconds = 20;
    static constexpr int kConnectionTimeoutSeconds = 300;
    static constexpr qint16 kRetryLimit = 5;

private:
    // One operation's retry state, kept between its calls.
    struct RetryState {
        qint16 limit = 0;
        qint16 counter = 0;
    };

    // Runs the statement with retry on time-out; the result of the attempt
    // that succeeded, or nothing.
    ResultSetPtr runWithRetry(RetryState &state, const QString &statement, bool bShowErrors);
    void reopenIfBroken();

    std::unique_ptr<Connection> cnShared_;
    std::function<void(const QString &)> showReport_;
    QString openedWith_;
    bool linkLost_ = false;
    RetryState execState_;
    RetryState clientRecordsetState_;
    RetryState recordsetState_;
};

// The error report's text: every entry of non-zero number in list order,
// each "Error[" number "]" CR LF CR LF description CR LF CR LF.
QString errorReportText(const std::vector<DbError> &errors, qint16 *count = nullptr);

} // namespace hc::db
