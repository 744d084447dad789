// A database that another copy of the program is writing to: a post waits a few seconds with
// a busy cursor, then gives up with the Russian busy message and keeps the row in editing;
// it goes through once the other copy is done. On both backends.
#include "TestSupport.h"
#include "core/Errors.h"
#include "db/TDataSet.h"
#include "storage/PgBackend.h"
#include "storage/SqliteBackend.h"

#include <QSemaphore>
#include <QSqlError>
#include <QThread>
#include <QtTest>

namespace {

// Another copy of the program in the middle of a change: its own connection holds the
// embedded file's write lock, or the server's lock on item 101, until released or until
// `holdMs` has passed.
class OtherCopy : public QThread {
public:
    OtherCopy(const TestDb &db, int holdMs) : m_postgres(db.isPostgres()), m_holdMs(holdMs)
    {
        m_target = m_postgres ? PgBackend::connectionString(db.serverName(), Backend::databaseName().toLower())
                              : SqliteBackend::fileFor(Backend::databaseName());
    }
    ~OtherCopy() override
    {
        released.release();
        wait();
    }

    // Starts and returns once the lock is held; false (with `error`) when it could not be.
    bool hold()
    {
        start();
        locked.acquire();
        return error.isEmpty();
    }

    QSemaphore released;
    QString error;

protected:
    void run() override
    {
        const QString name = QStringLiteral("other_copy");
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(m_postgres ? "QPSQL" : "QSQLITE", name);
            if (m_postgres)
                c.setConnectOptions(m_target);
            else
                c.setDatabaseName(m_target);
            if (!c.open()) {
                error = c.lastError().text();
            } else {
                QSqlQuery q(c);
                const bool ok = m_postgres
                                    ? q.exec(QStringLiteral("BEGIN")) &&
                                          q.exec(QStringLiteral("SELECT id FROM izdel WHERE id = 101 FOR UPDATE"))
                                    : q.exec(QStringLiteral("BEGIN IMMEDIATE"));
                if (!ok)
                    error = q.lastError().text();
            }
            locked.release();
            released.tryAcquire(1, m_holdMs);
            if (c.isOpen()) {
                QSqlQuery(c).exec(QStringLiteral("ROLLBACK"));
                c.close();
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    bool m_postgres;
    int m_holdMs;
    QString m_target;
    QSemaphore locked;
};

class RecordingBusyCursor : public BusyCursor {
public:
    RecordingBusyCursor() { Seams::setBusyCursor(this); }
    ~RecordingBusyCursor() override { Seams::setBusyCursor(nullptr); }
    void show() override { ++shown; }
    void restore() override { ++restored; }
    int shown = 0, restored = 0;
};

}  // namespace

class TestBusy : public QObject {
    Q_OBJECT
private slots:
    void postGivesUpAndKeepsTheRow_data() { addBackendCases(); }
    void postGivesUpAndKeepsTheRow();
    void shortHoldIsWaitedOut_data() { addBackendCases(); }
    void shortHoldIsWaitedOut();
};

void TestBusy::postGivesUpAndKeepsTheRow()
{
    TAVRELL_TEST_DB(db);
    RecordingBusyCursor cursor;
    TDataSet items;
    items.setTableName(QStringLiteral("izdel"));
    items.Open();
    QVERIFY(items.Locate(QStringLiteral("id"), 101));
    items.Edit();
    items.FieldByName(QStringLiteral("Name"))->setText(QStringLiteral("Новое имя"));

    // Held far longer than the program may wait: before giving up it would freeze.
    OtherCopy other(db, 30000);
    QVERIFY2(other.hold(), qPrintable(other.error));
    QString message;
    try {
        items.Post();
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("База данных занята: другой пользователь сейчас сохраняет свои "
                                               "изменения. Ничего не потеряно")),
             qPrintable(message));
    QCOMPARE(items.State(), DataSetState::Edit);
    QCOMPARE(items.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Новое имя"));
    if (!db.isPostgres()) {
        QCOMPARE(cursor.shown, 1);
        QCOMPARE(cursor.restored, 1);
    }

    other.released.release();
    other.wait();
    items.Post();
    QCOMPARE(items.State(), DataSetState::Browse);
    QCOMPARE(db.scalar(QStringLiteral("SELECT Name FROM izdel WHERE id = 101")).toString(),
             QStringLiteral("Новое имя"));
}

void TestBusy::shortHoldIsWaitedOut()
{
    TAVRELL_TEST_DB(db);
    RecordingBusyCursor cursor;
    TDataSet items;
    items.setTableName(QStringLiteral("izdel"));
    items.Open();
    QVERIFY(items.Locate(QStringLiteral("id"), 101));
    items.Edit();
    items.FieldByName(QStringLiteral("Nomer"))->setText(QStringLiteral("777"));

    OtherCopy other(db, 300);
    QVERIFY2(other.hold(), qPrintable(other.error));
    items.Post();
    QCOMPARE(items.State(), DataSetState::Browse);
    QCOMPARE(db.scalar(QStringLiteral("SELECT Nomer FROM izdel WHERE id = 101")).toString(), QStringLiteral("777"));
    if (!db.isPostgres()) {
        // Shown while waiting; gone once the program is back in its event loop.
        QCOMPARE(cursor.shown, 1);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(cursor.restored, 1);
    }
}

QTEST_MAIN(TestBusy)
#include "tst_busy.moc"
