#pragma once
// What the equipment register's tests share: the data module started as the program
// starts it (settings file beside the program, connection), a logged-in session, and
// the list as the grid shows it.
#include "TestSupport.h"
#include "core/Session.h"
#include "storage/IniFile.h"
#include "register/main.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStringList>

namespace RegisterTest {

inline QString iniPath(const TestDb &db) { return QDir(db.folder()).filePath(QStringLiteral("remont.ini")); }

// Points the settings file at the test database and starts the data module on it.
inline bool startProgram(TestDb &db)
{
    IniFile(iniPath(db)).writeString(QStringLiteral("main"), QStringLiteral("server"), db.serverName());
    return db.module()->DataModule1Create() == Tdm::Outcome::Ready;
}

inline void logIn(int userId, const QString &type)
{
    session() = Session();
    session().CurrentUserId = userId;
    session().CurrentUserType = type;
    session().CurrentLogin = QStringLiteral("test");
}

// The values of one field in the list's order.
inline QStringList column(TDataSet *ds, const QString &fieldName)
{
    QStringList out;
    const TField *f = ds->FieldByName(fieldName);
    for (int pos = 0; pos < ds->RecordCount(); ++pos)
        out << f->valueAt(ds->rowIndexAt(pos)).toString();
    return out;
}

// Types a text as key presses (any script; QTest's key clicks take ASCII only).
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

inline int currentId(TDataSet *ds)
{
    return ds->IsEmpty() ? -1 : ds->FieldByName(QStringLiteral("id"))->AsInteger();
}

}  // namespace RegisterTest

#define TAVRELL_START_PROGRAM(db) QVERIFY2(RegisterTest::startProgram(db), "the data module did not start")
