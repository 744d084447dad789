#pragma once
// What the tests share: answered dialogs, a set clock, and a fresh database in a
// temporary program folder on either backend.
#include "core/Seams.h"
#include "data/Tdm.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QQueue>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

// Message boxes and dialogs answered by the test. Every message shown is recorded.
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        Icon icon;
        QString caption;
        QString text;
        int buttons;
    };
    ScriptedDialogs();   // installs itself
    ~ScriptedDialogs();  // restores the desktop dialogs

    QList<Message> messages;
    QQueue<int> answers;                            // buttons to press, in order
    QQueue<std::function<int(QDialog &)>> dialogs;  // handlers for modal dialogs, in order
    QStringList execLog;                            // objectName of every dialog run modally
    QQueue<QFont> fonts;                            // fonts to choose; empty = cancel
    QQueue<QColor> fontColors;                      // the colour chosen with each font; empty = kept
    QList<QColor> offeredFontColors;                // the colour each font dialog opened with
    QQueue<QString> saveNames;                      // file names to choose; empty = cancel
    QStringList saveTitles, saveFilters;

    QStringList texts() const;
    void clear();

    int message(Icon icon, const QString &caption, const QString &text, int buttons, int defaultButton) override;
    int exec(QDialog &dialog) override;
    bool chooseFont(QFont &font, QColor &color, QWidget *parent) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                         const QString &defaultSuffix) override;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(const QDateTime &t);  // installs itself
    ~FixedClock();
    QDateTime now() const override { return current; }
    QDateTime current;
};

// The process's local time zone (an IANA name, as TZ takes it) while the object lives.
class LocalTimeZone {
public:
    explicit LocalTimeZone(const char *tz);
    ~LocalTimeZone();

private:
    QByteArray m_old;
    bool m_wasSet;
};

// File permissions do not bind the superuser, and the tests run as root in CI. While an
// object of this class lives, this thread's file access is checked as an ordinary user's
// (Linux: the filesystem user id becomes "nobody", which also drops the override).
// Files the test makes for that user must be reachable by others (see openUp).
class AsOrdinaryUser {
public:
    AsOrdinaryUser();
    ~AsOrdinaryUser();
    bool ok() const { return m_ok; }
    // Lets others into a folder the test made (temporary folders are the owner's alone).
    static void openUp(const QString &folder);

private:
    bool m_switched = false;
    bool m_ok = true;
};

// The environment variable that names the test PostgreSQL server (a libpq connection
// string). The README's test command starts a throwaway server and sets it.
constexpr const char *PgServerVariable = "TAVRELL_TEST_PGSERVER";
QString testPgServer();
// Drops a database on a PostgreSQL server (by default the test server), whoever is connected.
void dropPgDatabase(const QString &name, const QString &server = testPgServer());

// A temporary program folder and a freshly created database, with the global `dm`
// connected to it. Backend "sqlite" (the embedded "(local)") or "postgres".
class TestDb {
public:
    explicit TestDb(const QString &backend = QStringLiteral("sqlite"));
    ~TestDb();

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    QString folder() const { return m_dir.path(); }
    const QString &serverName() const { return m_server; }
    bool isPostgres() const { return m_backend == QLatin1String("postgres"); }

    Tdm *module() const { return m_dm.get(); }
    QSqlQuery query(const QString &sql) const;  // runs it; QFAIL-style checks are the caller's
    QVariant scalar(const QString &sql) const;  // first column of the first row

    // The register's table with every column, the department as a lookup: the fixture of the
    // tests of the datasets, the grid and its editors (the program's shared item table keeps
    // only what its lookups show). On the data module's connection, not open.
    static std::unique_ptr<TDataSet> itemTable();

private:
    QString m_backend, m_server, m_error, m_dbName;
    QTemporaryDir m_dir;
    std::unique_ptr<Tdm> m_dm;
};

// Tables of cases run on both backends. A data-driven test declares the column "backend" first
// (addBackendColumn), then each case with addBackendCase: one row a backend, named
// "sqlite: <case>" and "postgres: <case>" ("sqlite" and "postgres" for a test that has no
// cases of its own), the backend first and then what `fill` adds. The PostgreSQL rows are
// always there; TAVRELL_TEST_DB skips them, or fails them under CI, when no server is given.
void addBackendColumn();
void addBackendCase(const char *name = "", const std::function<void(QTestData &)> &fill = {});
// The whole table of a test that only runs once on each backend.
inline void addBackendCases()
{
    addBackendColumn();
    addBackendCase();
}

// Without a test PostgreSQL server the shared-database cases skip on a developer's machine;
// under CI (the CI variable set) they fail, since the test command must run them there.
#define TAVRELL_NO_PG_SERVER()                                                                                         \
    do {                                                                                                               \
        if (qEnvironmentVariableIsSet("CI"))                                                                           \
            QFAIL("no test PostgreSQL server under CI (TAVRELL_TEST_PGSERVER is not set)");                            \
        QSKIP("no test PostgreSQL server (TAVRELL_TEST_PGSERVER is not set)");                                         \
    } while (false)

// A fresh database `var` on the named backend; ends the test when it cannot be made.
#define TAVRELL_TEST_DB_ON(var, backendName)                                                                           \
    if (QString(backendName) == QLatin1String("postgres") && testPgServer().isEmpty())                                 \
        TAVRELL_NO_PG_SERVER();                                                                                        \
    TestDb var(backendName);                                                                                           \
    QVERIFY2(var.ok(), qPrintable(var.error()))

// Use at the start of a data-driven test function whose rows come from addBackendCase().
#define TAVRELL_TEST_DB(var)                                                                                           \
    QFETCH(QString, backend);                                                                                          \
    TAVRELL_TEST_DB_ON(var, backend)
