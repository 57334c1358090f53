#include "access/form_password.h"

#include "app/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hc::access {

Form_Password::Form_Password(QWidget *owner) : QDialog(owner)
{
    app::setGeometryTwips(this, {0, 0, 4005, 1065});

    lbl_Prompt = new QLabel(QStringLiteral("Enter your LIMS password : "), this);
    app::setGeometryTwips(lbl_Prompt, {60, 120, 2145, 255});

    txt_password = new QLineEdit(this);
    txt_password->setEchoMode(QLineEdit::Password);
    txt_password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    app::setGeometryTwips(txt_password, {120, 420, 1335, 315});

    cmd_bttn[0] = new QPushButton(QStringLiteral("&Ok"), this);
    app::setGeometryTwips(cmd_bttn[0], {2550, 120, 1305, 345});
    cmd_bttn[1] = new QPushButton(QStringLiteral("&Cancel"), this);
    app::setGeometryTwips(cmd_bttn[1], {2550, 570, 1305, 345});
    cmd_bttn[0]->setDefault(true);

    setTabOrder(txt_password, cmd_bttn[0]);
    setTabOrder(cmd_bttn[0], cmd_bttn[1]);
    txt_password->setFocus();

    for (std::size_t i = 0; i < cmd_bttn.size(); ++i)
        connect(cmd_bttn[i], &QPushButton::clicked, this, [this, i] { cmd_bttn_Click(qint16(i)); });

    Form_Load();
}

void Form_Password::Form_Load()
{
    setWindowTitle(QStringLiteral("Distribution Access Security"));
    password.clear();
}

void Form_Password::cmd_bttn_Click(qint16 index)
{
    if (index == 0) {
        password = txt_password->text();
        accept();
    } else {
        password.clear();
        reject();
    }
}

} // namespace hc::access
