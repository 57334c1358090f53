#pragma once

#include "app/prompts.h"

#include <QStringList>

#include <deque>
#include <functional>

namespace hc::test {

// Message boxes are recorded; dialogs are answered in order by handlers the
// test queued. A dialog with no handler fails the test and is cancelled, and
// so is a dialog its handler left open; a handler never used fails the test
// when the prompts go away.
class ScriptedPrompts : public app::Prompts {
public:
    ~ScriptedPrompts() override;

    QStringList messages; // every message box text, in order
    // The handler is given the dialog shown (modeless, on the offscreen
    // screen) and answers it as the operator would, e.g. by clicking OK.
    void answerNextDialog(std::function<void(QDialog &)> handler);

    void showMessage(QWidget *owner, const QString &text) override;
    void showModal(QWidget *owner, QDialog &dialog) override;

private:
    std::deque<std::function<void(QDialog &)>> dialogHandlers_;
};

} // namespace hc::test
