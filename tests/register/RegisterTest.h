#pragma once
// What the equipment register's tests share: the logged-in main window (MainWindowFixture.h)
// and the list as the grid shows it.
#include "MainWindowFixture.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QStringList>

namespace RegisterTest {

using MainWindowFixture::iniPath;

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

inline int currentId(TDataSet *ds) { return ds->IsEmpty() ? -1 : ds->FieldByName(QStringLiteral("id"))->AsInteger(); }

}  // namespace RegisterTest

// The program started on `db` without a window; its messages are answered while it starts.
#define TAVRELL_START_PROGRAM(db)                                                                                      \
    do {                                                                                                               \
        ScriptedDialogs startDialogs;                                                                                  \
        const QString notStarted = MainWindowFixture::startProgram(db, startDialogs);                                  \
        QVERIFY2(notStarted.isEmpty(), qPrintable(notStarted));                                                        \
    } while (false)
