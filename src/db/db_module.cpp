#include "db/db_module.h"

#include <algorithm>
#include <limits>

namespace hc::db {

QString errorReportText(const std::vector<DbError> &errors, qint16 *count)
{
    static const QString lineBreaks = QStringLiteral("\r\n\r\n");
    QString message;
    qint16 shown = 0;
    for (const DbError &entry : errors) {
        if (entry.number == 0)
            continue;
        if (shown == std::numeric_limits<qint16>::max())
            throw Failure("Overflow");
        ++shown;
        message += QLatin1String("Error[") + QString::number(entry.number) + u']' + lineBreaks + entry.description +
                   lineBreaks;
    }
    if (count)
        *count = shown;
    return message;
}

DbModule::DbModule(std::unique_ptr<Connection> connection, std::function<void(const QString &)> showReport)
    : cnShared_(std::move(connection)), showReport_(std::move(showReport))
{
}

void DbModule::Open_DB_Connection(const QString &connectionString)
{
    cnShared_->setCommandTimeout(kCommandTimeoutSeconds);
    cnShared_->setConnectionTimeout(kConnectionTimeoutSeconds);
    openedWith_ = connectionString;
    cnShared_->open(connectionString);
}

bool DbModule::Exec_DB_Statement(const QString &statement, bool bShowErrors)
{
    return runWithRetry(execState_, statement, bShowErrors) != nullptr;
}

ResultSetPtr DbModule::Get_Recordset_Client(const QString &statement, bool bShowErrors)
{
    if (ResultSetPtr result = runWithRetry(clientRecordsetState_, statement, bShowErrors))
        return result;
    return std::make_shared<ResultSet>();
}

ResultSetPtr DbModule::Get_Recordset(const QString &statement, bool bShowErrors)
{
    if (ResultSetPtr result = runWithRetry(recordsetState_, statement, bShowErrors))
        return result;
    return std::make_shared<ResultSet>();
}

qint16 DbModule::Report_DB_Errors(Connection &connection, bool bShowErrors)
{
    if (connection.errors().empty())
        return 0;
    qint16 count = 0;
    const QString message = errorReportText(connection.errors(), &count);
    if (!message.isEmpty() && bShowErrors) {
        // Cleared before the box opens, so that a statement run from an
        // event during the box cannot show the same entries again.
        connection.clearErrors();
        showReport_(message);
    }
    return count;
}

void DbModule::reopenIfBroken()
{
    if (!linkLost_ && !cnShared_->isBroken())
        return;
    // Stays lost until an open succeeds, so that a reopen that failed is
    // tried again before the next attempt.
    linkLost_ = true;
    cnShared_->close();
    cnShared_->open(openedWith_);
    linkLost_ = false;
}

ResultSetPtr DbModule::runWithRetry(RetryState &state, const QString &statement, bool bShowErrors)
{
    struct CounterReset {
        RetryState &state;
        ~CounterReset() { state.counter = 0; }
    } counterReset{state};

    if (state.counter == 0)
        state.counter = 1;
    for (;;) {
        state.limit = kRetryLimit;
        bool timedOut = false;
        ResultSetPtr result;
        try {
            reopenIfBroken();
            result = cnShared_->execute(statement);
            if (!result)
                result = std::make_shared<ResultSet>(QStringList(), std::vector<ResultSet::Row>());
        } catch (const Failure &) {
            const auto &errors = cnShared_->errors();
            const auto timeouts = std::count_if(errors.begin(), errors.end(),
                                                [](const DbError &e) { return e.number == kTimeoutErrorNumber; });
            timedOut = timeouts > 0;
            state.counter = qint16(std::min<qint64>(state.counter + timeouts, std::numeric_limits<qint16>::max()));
        }
        if (result) {
            Report_DB_Errors(*cnShared_, bShowErrors);
            return result;
        }
        if (!timedOut || state.counter > state.limit)
            return nullptr;
    }
}

} // namespace hc::db
