#pragma once
// Another copy of the program on a test's database: its own connection to the same database,
// opened as the program opens it, running the statements a test gives it.
#include "TestSupport.h"
#include "storage/PgBackend.h"
#include "storage/SqliteBackend.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <memory>

class Colleague {
public:
    explicit Colleague(const TestDb &db)
    {
        m_db = QSqlDatabase::addDatabase(db.isPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), Name);
        try {
            if (db.isPostgres()) {
                m_db.setConnectOptions(PgBackend::connectionString(db.serverName(), Backend::databaseName()));
                if (!m_db.open())
                    m_error = m_db.lastError().text();
            } else {
                SqliteBackend::openFile(m_db, SqliteBackend::fileFor(Backend::databaseName()), true);
            }
        } catch (const TavrellError &e) {
            m_error = e.message();
        }
    }
    ~Colleague()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(Name);
    }
    const QString &error() const { return m_error; }
    QSqlDatabase &connection() { return m_db; }
    // Runs a statement; the error text, or empty.
    QString exec(const QString &sql)
    {
        QSqlQuery q(m_db);
        return q.exec(sql) ? QString() : q.lastError().text();
    }

private:
    static constexpr const char *Name = "colleague";
    QSqlDatabase m_db;
    QString m_error;
};

// Another copy of the program opened through its backend, as the program opens its database:
// on the embedded one with its own triggers of the history, so that its changes are recorded
// as a copy's are. COLLEAGUE_RUNS runs its statements too.
class OtherSeat {
public:
    explicit OtherSeat(const TestDb &db) : m_backend(Backend::forServer(db.serverName(), QStringLiteral("seat_b")))
    {
        try {
            m_backend->open();
            m_backend->execBatch(QStringLiteral("use [org_tech]"));
        } catch (const TavrellError &e) {
            m_error = e.message();
        }
    }
    ~OtherSeat()
    {
        m_backend->connection().close();
        m_backend.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("seat_b"));
    }
    const QString &error() const { return m_error; }
    QString exec(const QString &sql)
    {
        QSqlQuery q(m_backend->connection());
        return q.exec(sql) ? QString() : q.lastError().text();
    }

private:
    std::unique_ptr<Backend> m_backend;
    QString m_error;
};

#define COLLEAGUE_RUNS(colleague, sql)                                                                                 \
    do {                                                                                                               \
        const QString err_ = (colleague).exec(sql);                                                                    \
        QVERIFY2(err_.isEmpty(), qPrintable(err_));                                                                    \
    } while (false)
