// The change-password dialog, the user settings action on a real database, and the about box.
#include "LoggedIn.h"
#include "TestSupport.h"
#include "core/DayTime.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"
#include "session/ChPassw.h"
#include "session/UserSett.h"
#include "session/about.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>
#include <QtTest>

namespace {

const QDateTime LoginTime = DayTime::of(QDate(2024, 4, 1), QTime(8, 0, 0));

// The seeded administrator.
const LoggedIn Admin = LoggedIn::as("A").named(QStringLiteral("SYS ADMIN"), QStringLiteral("a"));

QString storedPassword(const TestDb &db)
{
    return db.scalar(QStringLiteral("SELECT passw FROM users WHERE ID = 1")).toString();
}

// Types a text key by key (QTest::keyClicks takes Latin-1 only).
void type(QWidget *edit, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

int logRows(const TestDb &db, int action)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM UserLog WHERE usr = 1 AND LogAction = %1").arg(action))
        .toInt();
}

}  // namespace

class TestSessionDialogs : public QObject {
    Q_OBJECT
private slots:
    void okEnabling_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("equal") << "secret"
                               << "secret" << true;
        QTest::newRow("equal, one character") << "x"
                                              << "x" << true;
        QTest::newRow("equal, Cyrillic") << "пароль"
                                         << "пароль" << true;
        QTest::newRow("last character differs") << "secret"
                                                << "secreT" << false;
        QTest::newRow("one character more") << "secret"
                                            << "secret1" << false;
        QTest::newRow("both empty") << ""
                                    << "" << false;
        QTest::newRow("first empty") << ""
                                     << "secret" << false;
        QTest::newRow("second empty") << "secret"
                                      << "" << false;
        QTest::newRow("blank after it") << "secret"
                                        << "secret " << false;
    }
    void okEnabling()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, enabled);
        TFrmChPassw dlg;
        QVERIFY(!dlg.BitBtn1->isEnabled());
        // Typed in either order: the check runs on every change of either edit.
        type(dlg.LabeledEdit1, first);
        type(dlg.LabeledEdit2, second);
        QCOMPARE(dlg.BitBtn1->isEnabled(), enabled);
        TFrmChPassw reversed;
        type(reversed.LabeledEdit2, second);
        type(reversed.LabeledEdit1, first);
        QCOMPARE(reversed.BitBtn1->isEnabled(), enabled);
    }

    void okFollowsEdits()
    {
        TFrmChPassw dlg;
        type(dlg.LabeledEdit1, QStringLiteral("abc"));
        type(dlg.LabeledEdit2, QStringLiteral("abc"));
        QVERIFY(dlg.BitBtn1->isEnabled());
        QTest::keyClick(dlg.LabeledEdit1, Qt::Key_Backspace);
        QVERIFY(!dlg.BitBtn1->isEnabled());
        dlg.LabeledEdit2->clear();
        dlg.LabeledEdit1->clear();
        QVERIFY(!dlg.BitBtn1->isEnabled());
    }

    // users.passw holds 20 characters: longer input is cut where it is typed.
    void passwordLength()
    {
        TFrmChPassw dlg;
        const QString typed(25, QLatin1Char('z'));
        type(dlg.LabeledEdit1, typed);
        type(dlg.LabeledEdit2, typed);
        QCOMPARE(dlg.LabeledEdit1->text(), QString(20, QLatin1Char('z')));
        QVERIFY(dlg.BitBtn1->isEnabled());
        QCOMPARE(dlg.LabeledEdit1->echoMode(), QLineEdit::Password);
        QCOMPARE(dlg.LabeledEdit2->echoMode(), QLineEdit::Password);
    }

    void okWithoutChange_data() { addBackendCases(); }
    void okWithoutChange()
    {
        TAVRELL_TEST_DB(db);
        Admin.logIn();
        FixedClock clock(LoginTime);
        ScriptedDialogs d;
        d.dialogs << [](QDialog &dlg) {
            auto &sett = static_cast<TFrmSett &>(dlg);
            if (sett.LabeledEdit1->text() != QLatin1String("SYS ADMIN") ||
                sett.LabeledEdit2->text() != QLatin1String("a") || !sett.LabeledEdit1->isReadOnly() ||
                !sett.LabeledEdit2->isReadOnly() || sett.LabeledEdit2->echoMode() != QLineEdit::Password)
                return int(QDialog::Rejected);
            return int(QDialog::Accepted);
        };
        RunUserSettings();
        QCOMPARE(d.execLog, QStringList{"FrmSett"});
        QVERIFY2(d.messages.isEmpty(), qPrintable(d.texts().join('|')));
        QCOMPARE(logRows(db, 3), 1);
        QCOMPARE(db.module()->backend().dateTimeFromDb(db.scalar(QStringLiteral("SELECT dt FROM UserLog"))), LoginTime);
        QCOMPARE(storedPassword(db), QStringLiteral("a"));
        QCOMPARE(session().CurrentPassword, QStringLiteral("a"));
    }

    void cancelWritesNothing_data() { addBackendCases(); }
    void cancelWritesNothing()
    {
        TAVRELL_TEST_DB(db);
        Admin.logIn();
        ScriptedDialogs d;
        dm->TblUsers->Open();
        // A new password typed, then the settings cancelled.
        d.dialogs << [](QDialog &dlg) {
            static_cast<TFrmSett &>(dlg).SpeedButton1->click();
            return int(QDialog::Rejected);
        };
        d.dialogs << [](QDialog &dlg) {
            auto &ch = static_cast<TFrmChPassw &>(dlg);
            ch.LabeledEdit1->setText(QStringLiteral("new"));
            ch.LabeledEdit2->setText(QStringLiteral("new"));
            return int(QDialog::Accepted);
        };
        RunUserSettings();
        QCOMPARE(d.execLog, QStringList({"FrmSett", "FrmChPassw"}));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 0);
        QCOMPARE(storedPassword(db), QStringLiteral("a"));
        QCOMPARE(session().CurrentPassword, QStringLiteral("a"));
        QVERIFY(dm->TblUsers->Active());
    }

    void changePassword_data() { addBackendCases(); }
    void changePassword()
    {
        TAVRELL_TEST_DB(db);
        Admin.logIn();
        FixedClock clock(LoginTime);
        ScriptedDialogs d;
        dm->TblUsers->Open();
        QString shownAfterChange, shownAfterCancel;
        d.dialogs << [&](QDialog &dlg) {
            auto &sett = static_cast<TFrmSett &>(dlg);
            sett.SpeedButton1->click();  // new password, OK
            shownAfterChange = sett.LabeledEdit2->text();
            sett.SpeedButton1->click();  // another one, Cancel
            shownAfterCancel = sett.LabeledEdit2->text();
            return int(QDialog::Accepted);
        };
        bool okWasEnabled = false;
        d.dialogs << [&](QDialog &dlg) {
            auto &ch = static_cast<TFrmChPassw &>(dlg);
            type(ch.LabeledEdit1, QStringLiteral("Новый1"));
            type(ch.LabeledEdit2, QStringLiteral("Новый1"));
            okWasEnabled = ch.BitBtn1->isEnabled();
            ch.BitBtn1->click();
            return ch.result();
        };
        d.dialogs << [](QDialog &dlg) {
            auto &ch = static_cast<TFrmChPassw &>(dlg);
            ch.LabeledEdit1->setText(QStringLiteral("other"));
            ch.LabeledEdit2->setText(QStringLiteral("other"));
            return int(QDialog::Rejected);
        };
        RunUserSettings();
        QVERIFY2(d.messages.isEmpty(), qPrintable(d.texts().join('|')));
        QVERIFY(okWasEnabled);
        QCOMPARE(shownAfterChange, QStringLiteral("Новый1"));
        QCOMPARE(shownAfterCancel, QStringLiteral("Новый1"));
        QCOMPARE(session().CurrentPassword, QStringLiteral("Новый1"));
        QCOMPARE(storedPassword(db), QStringLiteral("Новый1"));
        QCOMPARE(logRows(db, 3), 1);
        // The shared users table is read afresh by the next window that opens it.
        QVERIFY(!dm->TblUsers->Active());
        dm->TblUsers->Open();
        QVERIFY(dm->TblUsers->Locate(QStringLiteral("ID"), 1));
        QCOMPARE(dm->TblUsers->FieldByName(QStringLiteral("passw"))->AsString(), QStringLiteral("Новый1"));

        // The server now takes the new password, in any letter case, and not the old one.
        for (const auto &[password, accepted] : {std::pair{"a", false}, std::pair{"новый1", true}}) {
            QCOMPARE(
                dm->login(QStringLiteral("SYS ADMIN"), QString::fromUtf8(password), LoginTime.addSecs(60)).userId != 0,
                accepted);
        }
    }

    // A refused change: the error is shown, the stored password stays; the session already
    // holds the new text.
    void databaseError_data() { addBackendCases(); }
    void databaseError()
    {
        TAVRELL_TEST_DB(db);
        Admin.logIn();
        ScriptedDialogs d;
        db.query(QStringLiteral("DROP VIEW ViewLog"));
        db.query(QStringLiteral("DROP TABLE UserLog"));
        d.dialogs << [](QDialog &dlg) {
            static_cast<TFrmSett &>(dlg).SpeedButton1->click();
            return int(QDialog::Accepted);
        };
        d.dialogs << [](QDialog &dlg) {
            auto &ch = static_cast<TFrmChPassw &>(dlg);
            ch.LabeledEdit1->setText(QStringLiteral("new"));
            ch.LabeledEdit2->setText(QStringLiteral("new"));
            return int(QDialog::Accepted);
        };
        RunUserSettings();
        QCOMPARE(d.messages.size(), 1);
        QCOMPARE(d.messages[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(!d.messages[0].text.isEmpty());
        QCOMPARE(storedPassword(db), QStringLiteral("a"));
        QCOMPARE(session().CurrentPassword, QStringLiteral("new"));
    }

    // Every password edit shows "*" for each character, whatever the desktop's style
    // would put there.
    void passwordsShowStars_data()
    {
        QTest::addColumn<QString>("style");
        QTest::newRow("Fusion") << "Fusion";
        QTest::newRow("Windows") << "Windows";
    }
    void passwordsShowStars()
    {
        QFETCH(QString, style);
        QStyle *previous = QApplication::style();
        const QString previousName = previous->name();
        auto restore = qScopeGuard([&] { QApplication::setStyle(previousName); });
        QVERIFY(QApplication::setStyle(style));
        TFrmChPassw dlg;
        type(dlg.LabeledEdit1, QStringLiteral("пароль"));
        type(dlg.LabeledEdit2, QStringLiteral("abc"));
        QCOMPARE(dlg.LabeledEdit1->displayText(), QStringLiteral("******"));
        QCOMPARE(dlg.LabeledEdit2->displayText(), QStringLiteral("***"));
        TFrmSett sett;
        sett.LabeledEdit2->setText(QStringLiteral("a1"));
        QCOMPARE(sett.LabeledEdit2->displayText(), QStringLiteral("**"));
        QCOMPARE(sett.LabeledEdit2->echoMode(), QLineEdit::Password);
    }

    void aboutBox()
    {
        ScriptedDialogs d;
        QString title, product, version, comments;
        bool bold = false, isDefault = false, closed = false;
        d.dialogs << [&](QDialog &dlg) {
            auto &box = static_cast<TAboutBox &>(dlg);
            title = box.windowTitle();
            product = box.ProductName->text();
            version = box.Version->text();
            comments = box.Comments->text();
            bold = box.Comments->font().bold();
            isDefault = box.OKButton->isDefault();
            box.OKButton->click();
            closed = box.result() == QDialog::Accepted;
            return box.result();
        };
        ShowAboutBox();
        QCOMPARE(d.execLog, QStringList{"AboutBox"});
        QCOMPARE(title, QStringLiteral("О программе"));
        QCOMPARE(product, QStringLiteral("Tavrell"));
        QCOMPARE(version, QStringLiteral("1.0"));
        QCOMPARE(comments, QStringLiteral("Tavrell.  База данных ms SQL 2000. ADO "));
        QVERIFY(bold);
        QVERIFY(isDefault);
        QVERIFY(closed);
    }
};

QTEST_MAIN(TestSessionDialogs)
#include "tst_sessiondialogs.moc"
