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

#define COLLEAGUE_RUNS(colleague, sql)                                                                                 \
    do {                                                                                                               \
        const QString err_ = (colleague).exec(sql);                                                                    \
        QVERIFY2(err_.isEmpty(), qPrintable(err_));                                                                    \
    } while (false)
