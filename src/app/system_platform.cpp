#include "app/platform.h"

#include "app/qt_prompts.h"
#include "db/odbc_connection.h"
#include "printing/cups_print_queue.h"
#include "printing/web_engine_browser.h"

#include <chrono>

namespace hc::app {

Platform systemPlatform(const Configuration &configuration)
{
    static QtPrompts prompts;
    Platform platform;
    platform.configuration = configuration;
    platform.makeConnection = [] { return std::make_unique<db::OdbcConnection>(); };
    platform.prompts = &prompts;
    platform.makeBrowserEngine = [seconds = configuration.pageTimeoutSeconds](QWebEngineView &view) {
        return std::make_unique<printing::WebEngineBrowser>(view, std::chrono::seconds(seconds));
    };
    platform.makePrintQueue = [seconds = configuration.printTimeoutSeconds] {
        return std::make_unique<printing::CupsPrintQueue>(std::chrono::seconds(seconds));
    };
    return platform;
}

} // namespace hc::app
