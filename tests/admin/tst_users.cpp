// The users window and the user log viewer: the users' own columns, the type cell storing
// its letter, duplicate logins and empty passwords, a deleted user's log rows, the read-only
// log in time order, and the type checked again by both handlers.
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "admin/users.h"
#include "lists/klfrm.h"

#include <QAction>
#include <QToolButton>
#include <QtTest>

namespace {

void addLogRow(const TestDb &db, const QString &dt, int user, int action)
{
    db.query(
        QStringLiteral("insert into UserLog (dt, usr, LogAction) values ('%1', %2, %3)").arg(dt).arg(user).arg(action));
}

}  // namespace

class TestUsers : public QObject {
    Q_OBJECT
private slots:
    void init() { session() = Session(); }
    void typeCell_data();
    void typeCell();
    void loginsAndPasswordsAsTyped_data() { addBackendCases(); }
    void loginsAndPasswordsAsTyped();
    void deletedUserLeavesTheLog_data() { addBackendCases(); }
    void deletedUserLeavesTheLog();
    void handlersCheckTheType_data();
    void handlersCheckTheType();
    void emptyPasswordLogsIn_data() { addBackendCases(); }
    void emptyPasswordLogsIn();
    void typeOutsideTheBasicPlane_data() { addBackendCases(); }
    void typeOutsideTheBasicPlane();
    void loginsDifferingInCase_data();
    void loginsDifferingInCase();
};

void TestUsers::typeCell_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    const struct {
        const char *tag, *typed, *stored;
    } cases[] = {
        {"picked dispatcher", "D - Диспетчер", "D"},
        {"picked administrator", "A - Админитратор", "A"},
        {"picked lead engineer", "P - Ведущ. инж.", "P"},
        {"picked engineer", "R - Инженер", "R"},
        {"lower-case r", "r", "R"},
        {"unknown Latin letter", "x-ray", "X"},
        {"unknown Cyrillic letter", "ж", "ж"},
        {"digit", "7", "7"},
    };
    for (const auto &c : cases)
        addBackendCase(c.tag, [&](QTestData &r) { r << QString::fromUtf8(c.typed) << QString::fromUtf8(c.stored); });
}

// The four columns of the window, the pick list, and the first letter stored.
void TestUsers::typeCell()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm(usersWindow());
    QCOMPARE(frm.objectName(), QStringLiteral("FrmUsers"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("Пользователи системы"));
    QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Логин", "Пароль", "Тип", "Посл. вход"}));
    QCOMPARE(frm.grid->column(2).PickList,
             (QStringList{"A - Админитратор", "D - Диспетчер", "P - Ведущ. инж.", "R - Инженер"}));
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 4 запись(сей)"));

    frm.DBNavigator1->button(DBNavigator::Insert)->click();
    const int id = dm->TblUsers->FieldByName(QStringLiteral("ID"))->AsInteger();
    QCOMPARE(id, 5);
    const int row = dm->TblUsers->RecNo() - 1;
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(row, 0), QStringLiteral("Петров")));
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(row, 2), typed));
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select tp from users where ID = %1").arg(id)).toString(), stored);
    QCOMPARE(frm.grid->model()->index(row, 2).data().toString().trimmed(), stored);
    QVERIFY(db.scalar(QStringLiteral("select LastEnter from users where ID = %1").arg(id)).isNull());
}

// Nothing makes logins unique or passwords required: a user without one has an empty one.
void TestUsers::loginsAndPasswordsAsTyped()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm(usersWindow());
    for (int i = 0; i < 2; ++i) {
        frm.DBNavigator1->button(DBNavigator::Insert)->click();
        const int row = dm->TblUsers->RecNo() - 1;
        QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(row, 0), QStringLiteral("D")));
        QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(row, 2), QStringLiteral("D - Диспетчер")));
        frm.DBNavigator1->button(DBNavigator::Post)->click();
    }
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from users where login = 'D'")).toInt(), 3);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from users where login = 'D' and passw = ''")).toInt(), 2);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 6 запись(сей)"));
    QVERIFY(dm->TblUsers->Active());
}

// Deleting a user takes his log rows; the log shows the rest, oldest first, and cannot be
// changed.
void TestUsers::deletedUserLeavesTheLog()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    addLogRow(db, QStringLiteral("2005-05-18 13:33:38"), 1, 1);
    addLogRow(db, QStringLiteral("2005-05-17 09:00:00"), 3, 1);
    addLogRow(db, QStringLiteral("2005-05-19 18:00:00"), 3, 2);
    addLogRow(db, QStringLiteral("2005-05-16 08:00:00"), 2, 3);
    {
        TFrmLogList log;
        QCOMPARE(log.objectName(), QStringLiteral("FrmLogList"));
        QCOMPARE(log.windowTitle(), QStringLiteral("Лог работы пользователей"));
        QCOMPARE(ListWindowProbe(log).titles(), (QStringList{"Дата время", "Имя пользователя", "Событие"}));
        QCOMPARE(ListWindowProbe(log).column(1), (QStringList{"P", "D", "SYS ADMIN", "D"}));
        QCOMPARE(ListWindowProbe(log).column(2),
                 (QStringList{"Смена пароля", "Вход в систему", "Вход в систему", "Выход из системы"}));
        QCOMPARE(log.statusText(), QStringLiteral("Всего 4 запись(сей)"));
        for (DBNavigator::Button b :
             {DBNavigator::Insert, DBNavigator::Delete, DBNavigator::Edit, DBNavigator::Post, DBNavigator::Cancel})
            QVERIFY2(!log.DBNavigator1->button(b)->isEnabled(), qPrintable(QString::number(b)));
        QVERIFY(!(log.grid->model()->flags(log.grid->model()->index(0, 1)) & Qt::ItemIsEditable));
        QVERIFY(!log.grid->model()->setData(log.grid->model()->index(0, 1), QStringLiteral("X")));
        QTest::keyClick(log.grid, Qt::Key_Insert);
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from UserLog")).toInt(), 4);
    }
    dialogs.clear();

    TFrmKl users(usersWindow());
    QVERIFY(dm->TblUsers->Locate(QStringLiteral("ID"), 3));
    dialogs.answers << Dialogs::Ok;
    users.DBNavigator1->button(DBNavigator::Delete)->click();
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Delete record?")});
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from UserLog")).toInt(), 2);

    TFrmLogList log;
    QCOMPARE(ListWindowProbe(log).column(1), (QStringList{"P", "SYS ADMIN"}));
}

void TestUsers::handlersCheckTheType_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("D") << QStringLiteral("D");
    QTest::newRow("P") << QStringLiteral("P");
    QTest::newRow("R") << QStringLiteral("R");
    QTest::newRow("lower-case a") << QStringLiteral("a");
}

// A user of another type is refused by both handlers and nothing opens; "A" opens both
// windows, and the archive opens for everybody.
void TestUsers::handlersCheckTheType()
{
    QFETCH(QString, type);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    {
        TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
        QVERIFY(!w.FileAdminUser->isEnabled());
        QVERIFY(!w.FileLogView->isEnabled());
        w.openWindow(OpenedWindow::Users);
        w.openWindow(OpenedWindow::UserLog);
        QCOMPARE(dialogs.texts(), (QStringList{"У Вас нет прав доступа", "У Вас нет прав доступа"}));
        QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
        QVERIFY(dialogs.execLog.isEmpty());
        QVERIFY(w.Arhive->isEnabled());
        w.Arhive->trigger();
        QCOMPARE(dialogs.execLog, QStringList{"FrmArchive"});
    }
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    w.FileAdminUser->trigger();
    w.FileLogView->trigger();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(dialogs.execLog, (QStringList{"FrmUsers", "FrmLogList"}));
}

namespace {

// The login procedure's answer: the user's key, 0 when none matches. Each login is logged
// a minute after the one before (the log is keyed by its moment).
int loginAs(const QString &login, const QString &password)
{
    static int minute = 0;
    return dm->login(login, password, QDateTime(QDate(2024, 5, 1), QTime(9, 0)).addSecs(60 * ++minute)).userId;
}

// Adds a user in the window as it is typed into the grid; false when the post is refused.
bool addUser(TFrmKl &frm, const QString &login, const QString &password)
{
    frm.DBNavigator1->button(DBNavigator::Insert)->click();
    const int row = dm->TblUsers->RecNo() - 1;
    QAbstractItemModel *m = frm.grid->model();
    if (!m->setData(m->index(row, 0), login) || !m->setData(m->index(row, 1), password) ||
        !m->setData(m->index(row, 2), QStringLiteral("R - Инженер")))
        return false;
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    return dm->TblUsers->State() == DataSetState::Browse;
}

}  // namespace

// A password typed and cleared, or never typed: stored as an empty text, it logs in with
// an empty entry; the password change to an empty one as well.
void TestUsers::emptyPasswordLogsIn()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm(usersWindow());
    QVERIFY(addUser(frm, QStringLiteral("Петров"), QString()));
    const int cleared = dm->TblUsers->FieldByName(QStringLiteral("ID"))->AsInteger();
    frm.DBNavigator1->button(DBNavigator::Insert)->click();
    QVERIFY(
        frm.grid->model()->setData(frm.grid->model()->index(dm->TblUsers->RecNo() - 1, 0), QStringLiteral("Сидоров")));
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    const int untouched = dm->TblUsers->FieldByName(QStringLiteral("ID"))->AsInteger();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    for (int id : {cleared, untouched}) {
        QVERIFY(!db.scalar(QStringLiteral("select passw from users where ID = %1").arg(id)).isNull());
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from users where ID = %1 and passw = ''").arg(id)).toInt(),
                 1);
    }
    QCOMPARE(loginAs(QStringLiteral("Петров"), QString()), cleared);
    QCOMPARE(loginAs(QStringLiteral("Сидоров"), QStringLiteral("")), untouched);
    QCOMPARE(loginAs(QStringLiteral("Петров"), QStringLiteral("x")), 0);

    // The password changed to an empty one.
    dm->changePassword(4, QDateTime(QDate(2024, 5, 2), QTime(9, 0)), QString());
    QCOMPARE(loginAs(QStringLiteral("R"), QString()), 4);
}

// A type beginning with a character outside the Basic Multilingual Plane keeps that whole
// character, and the user stays one that can be changed and deleted.
void TestUsers::typeOutsideTheBasicPlane()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm(usersWindow());
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");  // U+1D11E, a surrogate pair
    frm.DBNavigator1->button(DBNavigator::Insert)->click();
    const int id = dm->TblUsers->FieldByName(QStringLiteral("ID"))->AsInteger();
    const int row = dm->TblUsers->RecNo() - 1;
    QAbstractItemModel *m = frm.grid->model();
    QVERIFY(m->setData(m->index(row, 0), QStringLiteral("Нотный")));
    QVERIFY(m->setData(m->index(row, 2), clef + QStringLiteral(" ключ")));
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select tp from users where ID = %1").arg(id)).toString().trimmed(), clef);

    dm->TblUsers->Close();
    dm->TblUsers->Open();
    QVERIFY(dm->TblUsers->Locate(QStringLiteral("ID"), id));
    QVERIFY(m->setData(m->index(dm->TblUsers->RecNo() - 1, 1), QStringLiteral("секрет")));
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select passw from users where ID = %1").arg(id)).toString(),
             QStringLiteral("секрет"));
    dialogs.answers << Dialogs::Ok;
    frm.DBNavigator1->button(DBNavigator::Delete)->click();
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Delete record?")});
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from users where ID = %1").arg(id)).toInt(), 0);
}

void TestUsers::loginsDifferingInCase_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("refused");
    const struct {
        const char *tag, *first, *second;
        bool refused;
    } cases[] = {
        {"Cyrillic in capitals", "Иван", "ИВАН", true}, {"Cyrillic mixed case", "Иван", "иВАН", true},
        {"Cyrillic yo", "Ёлкин", "ёлкин", true},        {"Latin", "Ivan", "IVAN", true},
        {"another login", "Иван", "Иванов", false},     {"e and yo differ", "Ёлкин", "Елкин", false},
    };
    for (const auto &c : cases)
        addBackendCase(
            c.tag, [&](QTestData &r) { r << QString::fromUtf8(c.first) << QString::fromUtf8(c.second) << c.refused; });
}

// The login compares logins without regard to case: a second login that differs from
// another only so is refused with a message naming both, and nothing is stored. A user's
// own login may change its case.
void TestUsers::loginsDifferingInCase()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, refused);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm(usersWindow());
    QVERIFY(addUser(frm, first, QStringLiteral("1")));
    const int firstId = dm->TblUsers->FieldByName(QStringLiteral("ID"))->AsInteger();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));

    QCOMPARE(addUser(frm, second, QStringLiteral("1")), !refused);
    const QString count = QStringLiteral("select count(*) from users where ID > 4");
    if (refused) {
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.at(0).text.contains(QStringLiteral("«%1»").arg(second)),
                 qPrintable(dialogs.texts().join('|')));
        QVERIFY2(dialogs.messages.at(0).text.contains(QStringLiteral("регистр")),
                 qPrintable(dialogs.texts().join('|')));
        QCOMPARE(db.scalar(count).toInt(), 1);
        // The row stays in editing with what was typed; cancelled, nothing is left.
        QCOMPARE(dm->TblUsers->FieldByName(QStringLiteral("login"))->AsString(), second);
        frm.DBNavigator1->button(DBNavigator::Cancel)->click();
        // Changing another user's login to it is refused as well.
        dialogs.clear();
        QVERIFY(dm->TblUsers->Locate(QStringLiteral("ID"), 4));
        QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(dm->TblUsers->RecNo() - 1, 0), second));
        frm.DBNavigator1->button(DBNavigator::Post)->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(db.scalar(QStringLiteral("select login from users where ID = 4")).toString(), QStringLiteral("R"));
        frm.DBNavigator1->button(DBNavigator::Cancel)->click();
    } else {
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
        QCOMPARE(db.scalar(count).toInt(), 2);
    }
    // The user's own login in other letter case.
    dialogs.clear();
    QVERIFY(dm->TblUsers->Locate(QStringLiteral("ID"), firstId));
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(dm->TblUsers->RecNo() - 1, 0), first.toUpper()));
    frm.DBNavigator1->button(DBNavigator::Post)->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select login from users where ID = %1").arg(firstId)).toString(),
             first.toUpper());
}

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
