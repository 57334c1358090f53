#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace hc::app {

// The program's configuration, read from the environment only.
struct Configuration {
    QString dbServer = QStringLiteral("127.0.0.1");   // HARDCOPY_DB_SERVER
    QString dbConnect;                                // HARDCOPY_DB_CONNECT, replaces the built-in string
    QString reportServer = QStringLiteral("127.0.0.1:8080"); // HARDCOPY_REPORT_SERVER
    QString reportUrl;                                // HARDCOPY_REPORT_URL, replaces the built-in address
    int pageTimeoutSeconds = 120;                     // HARDCOPY_PAGE_TIMEOUT
    int printTimeoutSeconds = 300;                    // HARDCOPY_PRINT_TIMEOUT
};

Configuration readConfiguration(const QProcessEnvironment &environment);

// The built-in connection string with the configured server, or the
// configured replacement.
QString connectionString(const Configuration &configuration);

} // namespace hc::app
