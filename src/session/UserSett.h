#pragma once
// The user settings dialog: the user's login, and his password with the button that
// changes it.
#include <QDialog>

class QLineEdit;
class QPushButton;
class QToolButton;

class TFrmSett : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSett(QWidget *parent = nullptr);

    QLineEdit *LabeledEdit1;    // "login"
    QLineEdit *LabeledEdit2;    // "Пароль"
    QToolButton *SpeedButton1;  // ">"
    QPushButton *BitBtn1;       // OK
    QPushButton *BitBtn2;       // Cancel

    void SpeedButton1Click();
};

// The main window's "Настройки пользователя" action: shows the dialog with the current
// login and password; on OK stores the password (again, when unchanged), which writes log
// action 3, and closes the shared users table so that it is read afresh. A database error
// is shown by the general error display.
void RunUserSettings(QWidget *parent = nullptr);
