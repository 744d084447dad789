#pragma once
// The main window as a user finds it, for the tests of any folder that need it:
//
//     TAVRELL_TEST_DB(db);                                     // on this backend,
//     db.query(QStringLiteral("insert into izdel ..."));      // with these items,
//     TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D")); // logged in as D, the main window open
//
// The program is started on the test database as the start-up starts it (the settings file
// beside the program names the server, the data module connects), every message is answered
// by the test's ScriptedDialogs, the user logs in, and the window is built and set up for him.
// LoggedIn::nobody() leaves the window as it opens before the login: built, not set up.
#include "TestSupport.h"
#include "app/MainOpeners.h"
#include "core/Session.h"
#include "register/WindowOpeners.h"
#include "register/main.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QList>
#include <QPair>

namespace MainWindowFixture {

inline QString iniPath(const TestDb &db) { return QDir(db.folder()).filePath(QStringLiteral("remont.ini")); }

// Points the settings file at the test database, starts the data module on it and registers
// the windows the main window opens. Returns
// why the program did not start; empty when it did. A successful start shows nothing, so a
// message shown on the way is a failure too.
inline QString startProgram(TestDb &db, const ScriptedDialogs &dialogs)
{
    IniFile(iniPath(db)).writeString(QStringLiteral("main"), QStringLiteral("server"), db.serverName());
    registerWindowOpeners();
    const bool ready = db.module()->DataModule1Create() == Tdm::Outcome::Ready;
    if (ready && dialogs.messages.isEmpty())
        return QString();
    QString why = QStringLiteral("the data module did not start");
    if (!dialogs.messages.isEmpty())
        why += (ready ? QStringLiteral(": starting it showed: ") : QStringLiteral(": ")) +
               dialogs.texts().join(QStringLiteral(" | "));
    return why;
}

inline void logIn(int userId, const QString &type)
{
    session() = Session();
    session().CurrentUserId = userId;
    session().CurrentUserType = type;
    session().CurrentLogin = QStringLiteral("test");
}

}  // namespace MainWindowFixture

// Who uses the window: a user of a type (its letter decides the rights) with his id, and what
// his section of the settings file holds when he logs in.
class LoggedIn {
public:
    static LoggedIn as(const QString &type, int userId = 1) { return LoggedIn(true, type, userId); }
    static LoggedIn as(const char *type, int userId = 1) { return as(QString::fromUtf8(type), userId); }
    // The window as it opens before anybody has logged in.
    static LoggedIn nobody() { return LoggedIn(false, QString(), 0); }

    // A value in the user's section of the settings file, written as the program left it.
    LoggedIn &with(const QString &key, const QString &value)
    {
        m_settings.append({key, value});
        return *this;
    }

    // After the program has started on `db`: the settings written, the session set.
    void logIn(const TestDb &db) const
    {
        for (const auto &s : m_settings)
            db.module()->SettingsFile()->writeString(QString::number(m_userId), s.first, s.second);
        if (m_someone)
            MainWindowFixture::logIn(m_userId, m_type);
        else
            session() = Session();
    }
    // As the start-up does after the login.
    void setUp(TFrmmain &w) const
    {
        if (m_someone)
            w.SetupForUser();
    }

private:
    LoggedIn(bool someone, const QString &type, int userId) : m_someone(someone), m_type(type), m_userId(userId) {}
    bool m_someone;
    QString m_type;
    int m_userId;
    QList<QPair<QString, QString>> m_settings;
};

// The program started on `db` and `dialogs` (declared here) answering every message; ends the
// test when it does not start.
#define TAVRELL_PROGRAM(dialogs, db)                                                                                   \
    ScriptedDialogs dialogs;                                                                                           \
    do {                                                                                                               \
        const QString notStarted = MainWindowFixture::startProgram(db, dialogs);                                       \
        QVERIFY2(notStarted.isEmpty(), qPrintable(notStarted));                                                        \
    } while (false)

// ... and `user` (a LoggedIn) logged in, the main window `w` (declared here) built and set up
// for him.
#define TAVRELL_MAIN_WINDOW(w, dialogs, db, user)                                                                      \
    TAVRELL_PROGRAM(dialogs, db);                                                                                      \
    const LoggedIn w##User = (user);                                                                                   \
    w##User.logIn(db);                                                                                                 \
    TFrmmain w;                                                                                                        \
    w##User.setUp(w)
