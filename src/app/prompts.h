#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace hc::app {

// The title of every message box of the program.
inline constexpr const char *kApplicationTitle = "HardCopy";

// Every message box and modal dialog of the program is shown through this
// seam, so that a test can answer it and nothing blocks a test run.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal box with an OK button and no icon, titled kApplicationTitle;
    // returns when the operator closed it.
    virtual void showMessage(QWidget *owner, const QString &text) = 0;
    // Shows the dialog modally, owned by owner; returns once it is hidden.
    virtual void showModal(QWidget *owner, QDialog &dialog) = 0;
};

} // namespace hc::app
