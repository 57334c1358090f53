#pragma once

#include "app/form_hardcopy.h"
#include "app/platform.h"
#include "support/scripted_connection.h"
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
    explicit WindowFixture(std::function<void(app::Platform &)> adjust = {});
    std::shared_ptr<ConnectionScript> db = std::make_shared<ConnectionScript>();
    ScriptedPrompts prompts;
    std::unique_ptr<app::Form_HardCopy> window;
};

// The platform WindowFixture builds its window on.
app::Platform scriptedPlatform(const std::shared_ptr<ConnectionScript> &db, ScriptedPrompts &prompts);

// The widget that a mouse press at a point of the control (its middle by
// default) reaches in the control's window, as a person's click would; null
// when the point lies outside the window.
QWidget *widgetAtPosition(QWidget *control, std::optional<QPoint> pointInControl = {});

// Clicks a control where a person would: at its position in its window. Fails
// the test, without clicking, when the point is outside the window or another
// widget lies on top of the control there.
bool clickByPosition(QWidget *control, std::optional<QPoint> pointInControl = {});

} // namespace hc::test
