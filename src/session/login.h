#pragma once
// The login dialog: establishes who is working. Ends with OK only after the server has
// accepted the login and the password; the session state is set by then.
#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TDataSet;
class TFrmSplash;

class TFrmLogin : public QDialog {
    Q_OBJECT
public:
    // Fills the login list and hides the splash (may be null) after SplashDelayMs.
    explicit TFrmLogin(TFrmSplash *splash, QWidget *parent = nullptr);

    // How long the splash stays after the login list is ready (tests set 0).
    static int SplashDelayMs;

    // A last-login time as the dialog shows it: the system's short date and long time.
    static QString lastLoginText(const QDateTime &dt);

    QGroupBox *GroupBox1;
    QComboBox *ComboLog;
    QLineEdit *el;  // last login
    QLineEdit *ep;  // password
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    TDataSet *ViewLogins;

    void ComboLogChange();
    void BitBtn1Click();

private:
    void FormCreate();
    TFrmSplash *m_splash;
};
