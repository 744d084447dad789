// The login dialog on a real database: the login list, the last login, LOGIN and the
// session state, wrong passwords, an empty user table and database errors.
#include "TestSupport.h"
#include "core/DayTime.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "session/Splash.h"
#include "session/login.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString WrongText = QStringLiteral("Логин или пароль не правильные. Доступ запрещен.");

int logRows(const TestDb &db, int action)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM UserLog WHERE LogAction = %1").arg(action)).toInt();
}

void pick(TFrmLogin &dlg, const QString &login)
{
    const int i = dlg.ComboLog->findText(login);
    QVERIFY2(i >= 0, qPrintable(login));
    dlg.ComboLog->setCurrentIndex(i);
    emit dlg.ComboLog->activated(i);
}

}  // namespace

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        TFrmLogin::SplashDelayMs = 0;
    }
    void init() { session() = Session{}; }

    void listAndLastLogin_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("shown");
        // clang-format off
        addBackendCase("R never logged in", [&](QTestData &r) { r << "R" << "(никогда)"; });
        addBackendCase("SYS ADMIN", [&](QTestData &r) { r << "SYS ADMIN" << "18.05.2005 13:33:38"; });
        addBackendCase("P never logged in", [&](QTestData &r) { r << "P" << "(никогда)"; });
        // clang-format on
    }
    void listAndLastLogin()
    {
        TAVRELL_TEST_DB(db);
        QFETCH(QString, login);
        QFETCH(QString, shown);
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        QVERIFY(d.messages.isEmpty());
        QStringList logins;
        for (int i = 0; i < dlg.ComboLog->count(); ++i)
            logins << dlg.ComboLog->itemText(i);
        QCOMPARE(logins, QStringList({"SYS ADMIN", "P", "D", "R"}));
        QVERIFY(!dlg.ComboLog->isEditable());
        // The first login is chosen and its last login shown before anyone picks.
        QCOMPARE(dlg.ComboLog->currentText(), QStringLiteral("SYS ADMIN"));
        QCOMPARE(dlg.el->text(), QStringLiteral("18.05.2005 13:33:38"));
        QVERIFY(dlg.el->isReadOnly());
        QCOMPARE(dlg.ep->echoMode(), QLineEdit::Password);
        // Each typed character shows as "*", not as the style's own mark.
        QTest::keyClicks(dlg.ep, QStringLiteral("d1"));
        QCOMPARE(dlg.ep->displayText(), QStringLiteral("**"));
        dlg.ep->clear();

        pick(dlg, QStringLiteral("R"));
        pick(dlg, login);
        QCOMPARE(dlg.el->text(), shown);
    }

    // The time as the system writes it, without a time zone the stored time does not have.
    void lastLoginText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("ru") << QLocale(QLocale::Russian, QLocale::Russia) << "18.05.2005 13:33:38";
        QTest::newRow("de") << QLocale(QLocale::German, QLocale::Germany) << "18.05.2005 13:33:38";
        QTest::newRow("en_US, four-digit year")
            << QLocale(QLocale::English, QLocale::UnitedStates)
            << QLocale(QLocale::English, QLocale::UnitedStates).toString(QTime(13, 33, 38), QStringLiteral("'5/18/2005 'h:mm:ss AP"));
        // clang-format on
    }
    void lastLoginText()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        const QLocale old;
        QLocale::setDefault(locale);
        const QString shown = TFrmLogin::lastLoginText(DayTime::of(QDate(2005, 5, 18), QTime(13, 33, 38)));
        QLocale::setDefault(old);
        QCOMPARE(shown.simplified(), text.simplified());
    }

    void attempt_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("userId");  // 0: refused
        QTest::addColumn<QString>("type");
        // clang-format off
        addBackendCase("admin", [&](QTestData &r) { r << "SYS ADMIN" << "a" << 1 << "A"; });
        addBackendCase("admin, other letter case", [&](QTestData &r) { r << "SYS ADMIN" << "A" << 1 << "A"; });
        addBackendCase("engineer", [&](QTestData &r) { r << "R" << "r" << 4 << "R"; });
        addBackendCase("dispatcher, other letter case", [&](QTestData &r) { r << "D" << "D" << 3 << "D"; });
        addBackendCase("wrong password", [&](QTestData &r) { r << "P" << "x" << 0 << ""; });
        addBackendCase("another user's password", [&](QTestData &r) { r << "R" << "p" << 0 << ""; });
        addBackendCase("empty password", [&](QTestData &r) { r << "P" << "" << 0 << ""; });
        addBackendCase("password with a blank after it", [&](QTestData &r) { r << "P" << "p " << 0 << ""; });
        // clang-format on
    }
    void attempt()
    {
        TAVRELL_TEST_DB(db);
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(int, userId);
        QFETCH(QString, type);
        const QDateTime at = DayTime::of(QDate(2024, 3, 5), QTime(9, 15, 42));
        FixedClock clock(at);
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        pick(dlg, login);
        dlg.ep->setText(password);
        dlg.BitBtn1->click();

        if (userId == 0) {
            QCOMPARE(d.texts(), QStringList{WrongText});
            QCOMPARE(d.messages[0].caption, QStringLiteral("Ошибка"));
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            // Nothing in the dialog changes, nothing is stored, nobody is logged in.
            QCOMPARE(dlg.ComboLog->currentText(), login);
            QCOMPARE(dlg.ep->text(), password);
            QCOMPARE(session().CurrentUserId, 0);
            QVERIFY(session().CurrentLogin.isEmpty());
            QCOMPARE(logRows(db, 1), 0);
            return;
        }
        QVERIFY2(d.messages.isEmpty(), qPrintable(d.texts().join('|')));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(session().CurrentUserId, userId);
        QCOMPARE(session().CurrentUserType, type);
        QCOMPARE(session().CurrentLogin, login);
        QCOMPARE(session().CurrentPassword, password);
        QCOMPARE(logRows(db, 1), 1);
        QCOMPARE(db.scalar(QStringLiteral("SELECT usr FROM UserLog")).toInt(), userId);
        const QDateTime stored = db.module()->backend().dateTimeFromDb(
            db.scalar(QStringLiteral("SELECT LastEnter FROM users WHERE ID = %1").arg(userId)));
        QCOMPARE(stored, at);

        // The next opening of the dialog shows the new last login.
        TFrmLogin again(nullptr);
        pick(again, login);
        QCOMPARE(again.el->text(), QStringLiteral("05.03.2024 09:15:42"));
    }

    void wrongThenRight_data() { addBackendCases(); }
    void wrongThenRight()
    {
        TAVRELL_TEST_DB(db);
        FixedClock clock(DayTime::of(QDate(2024, 3, 5), QTime(10, 0, 0)));
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        pick(dlg, QStringLiteral("P"));
        for (const char *wrong : {"q", "pp", ""}) {
            dlg.ep->setText(QString::fromLatin1(wrong));
            dlg.BitBtn1->click();
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            clock.current = clock.current.addSecs(1);
        }
        QCOMPARE(d.texts(), QStringList({WrongText, WrongText, WrongText}));
        dlg.ep->setText(QStringLiteral("p"));
        dlg.BitBtn1->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(d.messages.size(), 3);
        QCOMPARE(session().CurrentUserId, 2);
        QCOMPARE(session().CurrentUserType, QStringLiteral("P"));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 1);
        QCOMPARE(logRows(db, 1), 1);
    }

    void noUsers_data() { addBackendCases(); }
    void noUsers()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("DELETE FROM users"));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM users")).toInt(), 0);
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        QVERIFY(d.messages.isEmpty());
        QCOMPARE(dlg.ComboLog->count(), 0);
        QCOMPARE(dlg.ComboLog->currentIndex(), -1);
        QCOMPARE(dlg.el->text(), QStringLiteral("(никогда)"));
        for (const char *p : {"a", "", "p"}) {
            dlg.ep->setText(QString::fromLatin1(p));
            dlg.BitBtn1->click();
        }
        QCOMPARE(d.texts(), QStringList({WrongText, WrongText, WrongText}));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(session().CurrentUserId, 0);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 0);
    }

    // A database error is shown with the server's text and the dialog stays; the stored
    // last login does not move.
    void databaseErrorOnLogin_data() { addBackendCases(); }
    void databaseErrorOnLogin()
    {
        TAVRELL_TEST_DB(db);
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        db.query(QStringLiteral("DROP VIEW ViewLog"));
        db.query(QStringLiteral("DROP TABLE UserLog"));
        dlg.ep->setText(QStringLiteral("a"));
        dlg.BitBtn1->click();
        QCOMPARE(d.messages.size(), 1);
        QCOMPARE(d.messages[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(d.messages[0].text != WrongText);
        QVERIFY(!d.messages[0].text.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(session().CurrentUserId, 0);
        QCOMPARE(db.module()->backend().dateTimeFromDb(
                     db.scalar(QStringLiteral("SELECT LastEnter FROM users WHERE ID = 1"))),
                 DayTime::of(QDate(2005, 5, 18), QTime(13, 33, 38)));
    }

    void databaseErrorOnCreation_data() { addBackendCases(); }
    void databaseErrorOnCreation()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("DROP VIEW ViewLogins"));
        ScriptedDialogs d;
        TFrmSplash splash;
        splash.showNow();
        TFrmLogin dlg(&splash);
        QCOMPARE(d.messages.size(), 1);
        QCOMPARE(d.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(dlg.ComboLog->count(), 0);
        QCOMPARE(dlg.el->text(), QStringLiteral("(никогда)"));
        // Start-up goes on: the splash goes and the dialog can still be cancelled.
        QVERIFY(!splash.isVisible());
    }

    void splashAndDialog_data() { addBackendCases(); }
    void splashAndDialog()
    {
        TAVRELL_TEST_DB(db);
        ScriptedDialogs d;
        TFrmSplash splash;
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(qRound(splash.windowOpacity() * 255), 100);
        splash.showNow();
        QVERIFY(splash.isVisible());
        QCOMPARE(splash.Label1->text(), QStringLiteral("Tavrell"));
        QCOMPARE(splash.Label2->text(), QStringLiteral("Версия 1.0"));

        TFrmLogin dlg(&splash);
        QVERIFY(!splash.isVisible());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Регистрация"));

        // The dialog opens with the focus in the password; Escape cancels and writes nothing.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dlg.ep));
        QTest::keyClicks(dlg.ep, QStringLiteral("a"));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QVERIFY(d.messages.isEmpty());
        QCOMPARE(session().CurrentUserId, 0);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 0);
    }

    // Return in the password edit is the OK button.
    void returnLogsIn_data() { addBackendCases(); }
    void returnLogsIn()
    {
        TAVRELL_TEST_DB(db);
        ScriptedDialogs d;
        TFrmLogin dlg(nullptr);
        pick(dlg, QStringLiteral("D"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClicks(dlg.ep, QStringLiteral("d"));
        QTest::keyClick(dlg.ep, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(session().CurrentUserId, 3);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
