#pragma once
// The embedded database: the file "<name>.sqlite" in the program's folder. Several copies
// of the program may share it: connections wait a few seconds for each other's writes (with
// a busy cursor) before they give up, and the procedures take the write lock at their start.
// The file uses SQLite's own collations only; the program's Russian text order is the
// collation RussianCi, registered on each of its connections and named in its queries.
#include "storage/Backend.h"
#include "storage/ChangeFeed.h"

class SqliteBackend : public Backend {
public:
    explicit SqliteBackend(const QString &connectionName);
    ~SqliteBackend() override;

    bool isEmbedded() const override { return true; }
    QString scriptResource() const override { return QStringLiteral(":/sql/create_sqlite.sql"); }
    void open() override;
    void beginScript() override;
    void endScript() override;

    int getId(const QString &name) override;
    void addToLog(const QDateTime &dt, int action, int userId) override;
    void changePassword(int userId, const QDateTime &dt, const QString &passw) override;
    QVariant getLastLogin(const QString &login) override;
    int login(const QString &login, const QString &passw, const QDateTime &dt, QVariant &tp) override;

    QString russianCi(const QString &expr) const override;
    QString holdsExactly(const QString &column, bool text) const override
    {
        return column + (text ? QStringLiteral(" IS ? COLLATE BINARY") : QStringLiteral(" IS ?"));
    }

    QVariant toDb(const QDateTime &dt) const override;
    QDateTime dateTimeFromDb(const QVariant &v) const override;

    // The driver reads every column as it happens to hold its value: the table's declared
    // types tell what a column is.
    QHash<QString, QString> declaredTypes(const QString &table, const QSqlRecord &columns) const override;

    bool isDatabaseFile(const QString &path) const override { return isEmbeddedDatabaseFile(path); }
    std::unique_ptr<ChangeFeed> watchChanges(QObject *parent = nullptr) const override;

    // Straight from SQLite: the driver's loop costs as much again as the reading. A date in
    // the program's own form comes as a date-time: as text it takes eight times the memory.
    void readRows(QSqlQuery &q, const QVector<ReadColumn> &columns,
                  std::vector<QVector<QVariant>> &rows) const override;

    // The file of a database of that name in the program's folder.
    static QString fileFor(const QString &name);
    // Opens an existing database file on a connection, with the settings every Tavrell
    // connection to the embedded database uses. A file made before its indexes followed
    // SQLite's own collations is re-indexed (once: the file records it).
    static void openFile(QSqlDatabase &db, const QString &file, bool enforceKeys);

    // A date in the form this program stores it (also its date alone, or without the
    // milliseconds), read by hand: the general parser costs microseconds a date. Anything
    // else gives an invalid date-time.
    static QDateTime readStoredDate(QStringView text);
    // The same over the bytes as stored (a text of other than ASCII is no date of ours).
    static QDateTime readStoredDate(const char *bytes, qsizetype size);

    // The name of the program's collation.
    static constexpr const char *RussianCi = "RU_CI";

    static constexpr const char *DateTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";

protected:
    void createDatabase(const QString &name) override;
    void useDatabase(const QString &name) override;
    void execStatement(const QString &sql) override;
    std::vector<std::function<void()>> upgradeSteps() override;

private:
    // Makes the register of archives hold 255 characters of path (it held 50).
    void widenArchivePaths();
    static int fileVersion(QSqlDatabase &db);
    // The history of changes (SqliteHistory.cpp): the function the triggers ask for the user,
    // on every connection; the triggers, on the program's connection to its database.
    static void registerHistoryFunctions(struct sqlite3 *handle);
    static void installHistoryTriggers(QSqlDatabase &db);
    static void reindexOldFile(QSqlDatabase &db);

    // Runs `body` inside BEGIN IMMEDIATE ... COMMIT; rolls back and raises on error.
    template <typename Fn> void writeTransaction(Fn body);

    bool m_inScript = false;
};
