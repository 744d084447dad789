#pragma once
// A shared PostgreSQL server. The server name is a host, "host:port", or a libpq
// connection string; authentication is libpq's own (the OS user, ~/.pgpass, PG* variables).
#include "storage/Backend.h"
#include "storage/ChangeFeed.h"

class PgBackend : public Backend {
public:
    PgBackend(const QString &serverName, const QString &connectionName);

    bool isEmbedded() const override { return false; }
    QString scriptResource() const override { return QStringLiteral(":/sql/create_pg.sql"); }
    void open() override;
    void beginScript() override { m_inScript = true; }
    void endScript() override;

    int getId(const QString &name) override;
    void addToLog(const QDateTime &dt, int action, int userId) override;
    void changePassword(int userId, const QDateTime &dt, const QString &passw) override;
    QVariant getLastLogin(const QString &login) override;
    int login(const QString &login, const QString &passw, const QDateTime &dt, QVariant &tp) override;

    // The character columns compare without regard to case; "C" compares exactly.
    QString holdsExactly(const QString &column, bool text) const override
    {
        return column + (text ? QStringLiteral(" COLLATE \"C\" IS NOT DISTINCT FROM ?")
                              : QStringLiteral(" IS NOT DISTINCT FROM ?"));
    }

    QVariant toDb(const QDateTime &dt) const override;
    QDateTime dateTimeFromDb(const QVariant &v) const override;

    // Unquoted names are folded to lower case by the server: a table named in another case
    // is looked up as the server keeps it.
    QSqlRecord tableRecord(const QString &table) const override;
    QStringList primaryKey(const QString &table) const override;
    // The driver reads char(n) and text as strings alike: told apart by the column's type.
    QHash<QString, QString> declaredTypes(const QString &table, const QSqlRecord &columns) const override;

    bool isDatabaseFile(const QString &) const override { return false; }

    void identifyUser() const override;
    std::unique_ptr<ChangeFeed> watchChanges(QObject *parent = nullptr) const override;

    // Past the first two rows, straight from the driver's connection through libpq; a column
    // of a type not known here leaves the read to the driver.
    void readRows(QSqlQuery &q, const QVector<ReadColumn> &columns,
                  std::vector<QVector<QVariant>> &rows) const override;
    // The rows read that way while the program runs (tests tell by it which way a read took).
    static qint64 directRows();

    // The libpq connection string for a server name, with the database to open.
    static QString connectionString(const QString &serverName, const QString &database);

protected:
    void createDatabase(const QString &name) override;
    void prepareDatabase(const QString &name) override;
    void useDatabase(const QString &name) override;
    void execStatement(const QString &sql) override;
    std::vector<std::function<void()>> upgradeSteps() override;

private:
    // Makes the register of archives hold 255 characters of path (it held 50).
    void widenArchivePaths();
    void openOn(const QString &database);
    // The history of changes (PgHistory.cpp): its function and a trigger on each table.
    void installHistoryTriggers();
    QString m_serverName;
    bool m_inScript = false;
    // The user the connection's session setting names (-1: not set since it was opened).
    mutable int m_identifiedUser = -1;
};
