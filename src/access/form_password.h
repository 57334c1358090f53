#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace hc::access {

// The password dialog of the login. It is made for one use: the caller shows
// it modally, reads password and destroys it.
class Form_Password : public QDialog {
    Q_OBJECT
public:
    explicit Form_Password(QWidget *owner = nullptr);

    // The text typed, or empty when the dialog was left in any other way than
    // with Ok.
    QString password;

    void Form_Load();
    // 0 is Ok, 1 is Cancel; both end the modal wait.
    void cmd_bttn_Click(qint16 index);

    QLabel *lbl_Prompt = nullptr;
    QLineEdit *txt_password = nullptr;
    std::array<QPushButton *, 2> cmd_bttn{};
};

} // namespace hc::access
