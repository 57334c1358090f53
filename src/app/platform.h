#pragma once

#include "app/configuration.h"

#include <QDateTime>

#include <functional>
#include <memory>

class QWebEngineView;

namespace hc::db {
class Connection;
}
namespace hc::printing {
class BrowserEngine;
class PrintQueue;
}

namespace hc::app {

class Prompts;

// What the main window is given from outside: the real components in the
// program, scripted ones in tests.
struct Platform {
    Configuration configuration;
    std::function<std::unique_ptr<db::Connection>()> makeConnection;
    Prompts *prompts = nullptr;
    // Builds the browser engine over the window's browser view.
    std::function<std::unique_ptr<printing::BrowserEngine>(QWebEngineView &view)> makeBrowserEngine;
    std::function<std::unique_ptr<printing::PrintQueue>()> makePrintQueue;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

// The real components: ODBC, message boxes, Qt WebEngine, CUPS.
Platform systemPlatform(const Configuration &configuration);

} // namespace hc::app
