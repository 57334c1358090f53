#include "app/qt_prompts.h"

#include <QDialog>
#include <QMessageBox>

namespace hc::app {

void QtPrompts::showMessage(QWidget *owner, const QString &text)
{
    // The texts break lines with CR LF; the box draws a line break for LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), shown, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtPrompts::showModal(QWidget *owner, QDialog &dialog)
{
    if (owner && dialog.parentWidget() != owner)
        dialog.setParent(owner, dialog.windowFlags() | Qt::Dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}

} // namespace hc::app
