#include "app/qt_prompts.h"
#include "support/scripted_prompts.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

namespace hc::app {
namespace {

TEST(QtPrompts, MessageBoxIsModalWithTheTitleAnOkButtonAndNoIcon)
{
    QWidget owner;
    QString title, text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::Warning;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = int(box->buttons().size());
        icon = box->icon();
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    QtPrompts().showMessage(&owner, QStringLiteral("Error[208]\r\n\r\nInvalid object name 'x'.\r\n\r\n"));
    EXPECT_EQ(title, QString::fromLatin1(kApplicationTitle));
    EXPECT_EQ(text, QStringLiteral("Error[208]\n\nInvalid object name 'x'.\n\n"));
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_TRUE(modal);
}

TEST(QtPrompts, ModalDialogReturnsOnceTheDialogIsHidden)
{
    QWidget owner;
    QDialog dialog;
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::hide);
    QWidget *shownModal = nullptr;
    QTimer::singleShot(0, [&] {
        shownModal = QApplication::activeModalWidget();
        ok->click();
    });
    QtPrompts().showModal(&owner, dialog);
    EXPECT_EQ(shownModal, &dialog);
    EXPECT_EQ(dialog.parentWidget(), &owner);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ScriptedPrompts, AnswersDialogsInOrderAndFailsOnesWithoutAnswer)
{
    test::ScriptedPrompts prompts;
    QStringList answered;
    prompts.answerNextDialog([&](QDialog &dialog) {
        answered << dialog.windowTitle();
        dialog.accept();
    });
    QDialog first;
    first.setWindowTitle(QStringLiteral("first"));
    prompts.showModal(nullptr, first);
    EXPECT_EQ(answered, QStringList{QStringLiteral("first")});
    EXPECT_EQ(first.result(), QDialog::Accepted);

    QDialog unexpected;
    EXPECT_NONFATAL_FAILURE(prompts.showModal(nullptr, unexpected), "no answer queued");
    EXPECT_EQ(unexpected.result(), QDialog::Rejected);

    prompts.answerNextDialog([](QDialog &) {});
    QDialog leftOpen;
    EXPECT_NONFATAL_FAILURE(prompts.showModal(nullptr, leftOpen), "left open");
    EXPECT_FALSE(leftOpen.isVisible());
}

} // namespace
} // namespace hc::app
