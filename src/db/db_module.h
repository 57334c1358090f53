#pragma once

#include "db/connection.h"

#include <QString>

#include <functional>
#include <memory>

namespace hc::db {

// The process's one database connection and the statement operations the
// service reaches it through: statements that time out are run again, and
// the errors left on the connection are shown after the next success.
class DbModule {
public:
    // showReport shows an error report in a modal box titled with the
    // application's title and returns when the operator closed it.
    DbModule(std::unique_ptr<Connection> connection, std::function<void(const QString &)> showReport);

    Connection &cnShared() { return *cnShared_; }
    QString sConnect;

    // Applies the time-outs and opens; raises hc::Failure when it cannot.
    void Open_DB_Connection(const QString &connectionString);
    // True when the statement succeeded.
    bool Exec_DB_Statement(const QString &statement, bool bShowErrors);
    // The statement's result, or a result set that was never opened when no
    // attempt succeeded.
    ResultSetPtr Get_Recordset_Client(const QString &statement, bool bShowErrors);
    ResultSetPtr Get_Recordset(const QString &statement, bool bShowErrors);
    qint16 Report_DB_Errors(Connection &connection, bool bShowErrors);

private:
    std::unique_ptr<Connection> cnShared_;
    std::function<void(const QString &)> showReport_;
};

} // namespace hc::db
