#include "app/configuration.h"

namespace hc::app {

namespace {

int positiveSeconds(const QProcessEnvironment &environment, const QString &name, int fallback)
{
    bool ok = false;
    const int seconds = environment.value(name).trimmed().toInt(&ok);
    return ok && seconds > 0 ? seconds : fallback;
}

QString nonEmpty(const QProcessEnvironment &environment, const QString &name, const QString &fallback)
{
    const QString value = environment.value(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

Configuration readConfiguration(const QProcessEnvironment &environment)
{
    Configuration configuration;
    configuration.dbServer = nonEmpty(environment, QStringLiteral("HARDCOPY_DB_SERVER"), configuration.dbServer);
    configuration.dbConnect = environment.value(QStringLiteral("HARDCOPY_DB_CONNECT"));
    configuration.reportServer =
        nonEmpty(environment, QStringLiteral("HARDCOPY_REPORT_SERVER"), configuration.reportServer);
    configuration.reportUrl = environment.value(QStringLiteral("HARDCOPY_REPORT_URL"));
    configuration.pageTimeoutSeconds =
        positiveSeconds(environment, QStringLiteral("HARDCOPY_PAGE_TIMEOUT"), configuration.pageTimeoutSeconds);
    configuration.printTimeoutSeconds =
        positiveSeconds(environment, QStringLiteral("HARDCOPY_PRINT_TIMEOUT"), configuration.printTimeoutSeconds);
    return configuration;
}

QString connectionString(const Configuration &configuration)
{
    if (!configuration.dbConnect.isEmpty())
        return configuration.dbConnect;
    return QStringLiteral("Driver={SQL Server};SERVER=") + configuration.dbServer +
           QStringLiteral(";UID=sa;PWD=mk9073zr;");
}

} // namespace hc::app
