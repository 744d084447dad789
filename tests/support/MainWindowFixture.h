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
#include "LoggedIn.h"
#include "TestSupport.h"
#include "app/MainOpeners.h"
#include "core/Session.h"
#include "register/WindowOpeners.h"
#include "register/main.h"
#include "storage/IniFile.h"

#include <QDir>

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

}  // namespace MainWindowFixture

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
