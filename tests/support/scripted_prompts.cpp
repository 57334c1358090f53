#include "support/scripted_prompts.h"

#include <QDialog>

#include <gtest/gtest.h>

namespace hc::test {

ScriptedPrompts::~ScriptedPrompts()
{
    if (!dialogHandlers_.empty())
        ADD_FAILURE() << dialogHandlers_.size() << " dialog answer(s) queued for dialogs that never appeared";
}

void ScriptedPrompts::answerNextDialog(std::function<void(QDialog &)> handler)
{
    dialogHandlers_.push_back(std::move(handler));
}

void ScriptedPrompts::showMessage(QWidget *, const QString &text)
{
    messages.append(text);
}

void ScriptedPrompts::showModal(QWidget *owner, QDialog &dialog)
{
    if (owner && dialog.parentWidget() != owner)
        dialog.setParent(owner, dialog.windowFlags() | Qt::Dialog);
    if (dialogHandlers_.empty()) {
        ADD_FAILURE() << "dialog \"" << dialog.windowTitle().toStdString() << "\" appeared with no answer queued";
        dialog.reject();
        return;
    }
    const auto handler = std::move(dialogHandlers_.front());
    dialogHandlers_.pop_front();
    dialog.show();
    handler(dialog);
    if (dialog.isVisible()) {
        ADD_FAILURE() << "dialog \"" << dialog.windowTitle().toStdString() << "\" was left open by its answer";
        dialog.reject();
    }
}

} // namespace hc::test
