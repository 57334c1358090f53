#pragma once

#include "app/form_hardcopy.h"
#include "app/platform.h"
#include "support/scripted_browser.h"
#include "support/scripted_connection.h"
#include "support/scripted_print_queue.h"
#include "support/scripted_prompts.h"

#include <QPoint>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace hc::test {

// A Form_HardCopy on scripted parts, after Form_Load, on the offscreen screen.
// adjust may change the platform before the window is built (configuration,
// clock, browser engine, print queue).
struct WindowFixture {
    // Whether the window gets a browser and a print queue: none, as a
    // platform without them, or the scripted ones on `browser` and `printer`.
    enum class Printing { None, Scripted };
    explicit WindowFixture(std::function<void(app::Platform &)> adjust = {}, Printing printing = Printing::None);
    std::shared_ptr<ConnectionScript> db = std::make_shared<ConnectionScript>();
    // The browser and the print queue write one trace, so that a test sees
    // navigations and prints in their order.
    std::shared_ptr<BrowserScript> browser = std::make_shared<BrowserScript>();
    std::shared_ptr<PrintScript> printer = std::make_shared<PrintScript>();
    ScriptedPrompts prompts;
    std::unique_ptr<app::Form_HardCopy> window;
};

// The platform WindowFixture builds its window on.
app::Platform scriptedPlatform(const std::shared_ptr<ConnectionScript> &db, ScriptedPrompts &prompts);
// Makes the platform open this connection string through the real ODBC
// driver manager in place of the scripted connection.
void connectThroughOdbc(app::Platform &platform, const QString &connectionString);
// Gives the platform a scripted browser and print queue on these scripts.
void addScriptedPrinting(app::Platform &platform, const std::shared_ptr<BrowserScript> &browser,
                         const std::shared_ptr<PrintScript> &printer);

// The widget that a mouse press at a point of the control (its middle by
// default) reaches in the control's window, as a person's click would; null
// when the point lies outside the window.
QWidget *widgetAtPosition(QWidget *control, std::optional<QPoint> pointInControl = {});

// Clicks a control where a person would: at its position in its window. Fails
// the test, without clicking, when the point is outside the window or another
// widget lies on top of the control there.
bool clickByPosition(QWidget *control, std::optional<QPoint> pointInControl = {});

} // namespace hc::test
