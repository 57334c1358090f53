#include "app/platform.h"

#include "app/qt_prompts.h"
#include "db/odbc_connection.h"

namespace hc::app {

Platform systemPlatform(const Configuration &configuration)
{
    static QtPrompts prompts;
    Platform platform;
    platform.configuration = configuration;
    platform.makeConnection = [] { return std::make_unique<db::OdbcConnection>(); };
    platform.prompts = &prompts;
    return platform;
}

} // namespace hc::app
