#include "session/login.h"

#include "core/DayTime.h"
#include "core/DialogButtons.h"
#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"
#include "session/PasswordEdit.h"
#include "session/Splash.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QVBoxLayout>

int TFrmLogin::SplashDelayMs = 600;

TFrmLogin::TFrmLogin(TFrmSplash *splash, QWidget *parent) : QDialog(parent), m_splash(splash)
{
    setObjectName(QStringLiteral("FrmLogin"));
    setWindowTitle(tr("Регистрация"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    ViewLogins = new TDataSet(this);
    ViewLogins->setObjectName(QStringLiteral("ViewLogins"));
    ViewLogins->setTableName(QStringLiteral("ViewLogins"));
    ViewLogins->addField(QStringLiteral("login"), FieldType::String, 20);
    ViewLogins->setReadOnly(true);

    auto *layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *box = new QVBoxLayout(GroupBox1);

    auto *labelLogin = new QLabel(tr("Логин"), GroupBox1);
    labelLogin->setObjectName(QStringLiteral("Label1"));
    ComboLog = new QComboBox(GroupBox1);
    ComboLog->setObjectName(QStringLiteral("ComboLog"));
    ComboLog->setEditable(false);
    labelLogin->setBuddy(ComboLog);
    box->addWidget(labelLogin);
    box->addWidget(ComboLog);

    auto *labelLast = new QLabel(tr("Последний вход в систему"), GroupBox1);
    labelLast->setObjectName(QStringLiteral("Label2"));
    el = new QLineEdit(GroupBox1);
    el->setObjectName(QStringLiteral("el"));
    el->setReadOnly(true);
    el->setFocusPolicy(Qt::NoFocus);
    QPalette grey = el->palette();
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));
    el->setPalette(grey);
    box->addWidget(labelLast);
    box->addWidget(el);

    auto *labelPassw = new QLabel(tr("Введите пароль"), GroupBox1);
    labelPassw->setObjectName(QStringLiteral("Label3"));
    ep = new QLineEdit(GroupBox1);
    ep->setObjectName(QStringLiteral("ep"));
    makePasswordEdit(ep);
    labelPassw->setBuddy(ep);
    box->addWidget(labelPassw);
    box->addWidget(ep);
    layout->addWidget(GroupBox1);

    const OkCancelRow row = addOkCancelRow(this, layout);
    BitBtn1 = row.ok;
    BitBtn2 = row.cancel;

    // Escape rejects the dialog by QDialog's own handling.
    Guard::connect(BitBtn1, &QPushButton::clicked, this, [this](bool) { BitBtn1Click(); });
    Guard::connect(ComboLog, &QComboBox::activated, this, [this](int) { ComboLogChange(); });

    GroupBox1->setMinimumWidth(280);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ep->setFocus();

    FormCreate();
}

void TFrmLogin::FormCreate()
{
    Guard::run([this] {
        ViewLogins->Open();
        for (ViewLogins->First(); !ViewLogins->Eof(); ViewLogins->Next())
            ComboLog->addItem(ViewLogins->FieldByName(QStringLiteral("login"))->AsString());
        ViewLogins->Close();
    });
    ComboLog->setCurrentIndex(ComboLog->count() > 0 ? 0 : -1);
    Guard::run([this] { ComboLogChange(); });

    // The splash stays a moment after the list is ready; only paints get through meanwhile.
    if (SplashDelayMs > 0) {
        QDeadlineTimer deadline(SplashDelayMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
            QThread::msleep(quint64(qBound(qint64(0), deadline.remainingTime(), qint64(10))));
        }
    }
    if (m_splash)
        m_splash->hide();
}

QString TFrmLogin::lastLoginText(const QDateTime &dt)
{
    // The long time format without the time zone, which the stored local time does not have.
    QString time = QLocale().timeFormat(QLocale::LongFormat);
    time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    time.remove(QRegularExpression(QStringLiteral("^\\s*t+\\s*")));
    return QLocale().toString(dt.date(), DateText::shortDateFormat()) + QLatin1Char(' ') +
           QLocale().toString(dt.time(), time);
}

void TFrmLogin::ComboLogChange()
{
    el->setText(tr("(никогда)"));
    const QDateTime dt = dm->lastLogin(ComboLog->currentText());
    // A zero date-time (the day the calendar of stored dates starts) means never as well.
    if (dt.isValid() && DayTime::of(dt) != DayTime::of(QDate(1899, 12, 30)))
        el->setText(lastLoginText(dt));
}

void TFrmLogin::BitBtn1Click()
{
    const Tdm::LoginResult user = dm->login(ComboLog->currentText(), ep->text(), Seams::now());
    if (user.userId == 0) {
        ErrorBox(tr("Логин или пароль не правильные. Доступ запрещен."));
        return;
    }
    Session &s = session();
    s.CurrentUserId = user.userId;
    s.CurrentUserType = user.userType;
    s.CurrentLogin = ComboLog->currentText();
    s.CurrentPassword = ep->text();
    accept();
}
