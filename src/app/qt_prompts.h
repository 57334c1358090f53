#pragma once

#include "app/prompts.h"

namespace hc::app {

// Message boxes and modal dialogs on screen, for the operator.
class QtPrompts : public Prompts {
public:
    void showMessage(QWidget *owner, const QString &text) override;
    void showModal(QWidget *owner, QDialog &dialog) override;
};

} // namespace hc::app
