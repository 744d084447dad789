#pragma once
// What differs between the embedded database and a shared server. The data module talks to
// the backend; everybody else reaches the database through the data module and the
// data-aware layer, on the one named connection.
#include "core/Errors.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

// "use" found no database of that name: the one case in which the creation script runs.
class DatabaseMissingError : public DbError {
public:
    using DbError::DbError;
};

// "use" found the database, and it holds no table at all: made for the program by an
// administrator who kept the right to create databases, the creation script may fill it.
class DatabaseEmptyError : public DbError {
public:
    using DbError::DbError;
};

class Backend {
public:
    // The program's one connection to its database.
    static constexpr const char *MainConnection = "ADOConnection1";

    virtual ~Backend() = default;

    // "(local)" (any letter case, blanks around it ignored) is the embedded database;
    // anything else a PostgreSQL server.
    static std::unique_ptr<Backend> forServer(const QString &serverName, const QString &connectionName);
    static bool isLocalServer(const QString &serverName);

    // The name that the creation script's "[org_tech]" stands for. Tests give each run a
    // database of its own on a shared server.
    static QString databaseName();
    static void setDatabaseName(const QString &name);

    virtual bool isEmbedded() const = 0;
    // The creation script of this dialect (resource path).
    virtual QString scriptResource() const = 0;

    // Connects to the server without choosing the program's database. Raises DbError.
    virtual void open() = 0;
    // Carries out one batch of the creation script: "CREATE DATABASE [x]", "use [x]", the
    // T-SQL session options, or a statement for the server. Raises DbError; a "use" of a
    // database that does not exist raises DatabaseMissingError.
    void execBatch(const QString &batch);
    // Whether the batch is a "CREATE DATABASE" or a "use": the batches after a failed one
    // would have no database to run in.
    static bool choosesDatabase(const QString &batch);
    // A creation script's batches in their order: the lines up to each line "GO", blank
    // lines left out, each line trimmed.
    static QStringList batchesOf(const QString &scriptText);
    // Around a whole creation script (the embedded database checks its keys at the end).
    virtual void beginScript();
    virtual void endScript();
    // The script's "CREATE DATABASE" finds the (empty) database there already and only
    // prepares it, so the rest of the script fills it.
    void setIntoExisting(bool intoExisting) { m_intoExisting = intoExisting; }

    QSqlDatabase connection() const;
    const QString &connectionName() const { return m_connectionName; }

    // The stored procedures: one interface on both backends. Each raises DbError with the
    // server's text.
    virtual int getId(const QString &name) = 0;
    virtual void addToLog(const QDateTime &dt, int action, int userId) = 0;
    virtual void changePassword(int userId, const QDateTime &dt, const QString &passw) = 0;
    virtual QVariant getLastLogin(const QString &login) = 0;
    // Returns @RES (0 when no user matches) and sets tp (null when none).
    virtual int login(const QString &login, const QString &passw, const QDateTime &dt, QVariant &tp) = 0;

    // An expression (a column, a placeholder, an ORDER BY term) compared and ordered as the
    // program's text is: without regard to case, Cyrillic included, alphabetically. The
    // shared server's columns do so already; the embedded file keeps SQLite's own
    // collations for other tools, so its queries name the program's collation.
    virtual QString russianCi(const QString &expr) const { return expr; }
    // An ORDER BY term that puts nulls where both backends agree: first in ascending order,
    // last in descending (a null is the smallest value). The shared server on its own puts
    // them the other way round.
    static QString orderTerm(const QString &expr, bool descending = false);
    // A condition that the column still holds a bound value ("?", never null), compared
    // exactly: for text, a change of letter case is a change.
    virtual QString holdsExactly(const QString &column, bool text) const = 0;

    // Starts following what the other copies change (see ChangeFeed), from now on.
    virtual std::unique_ptr<class ChangeFeed> watchChanges(QObject *parent = nullptr) const = 0;

    // Tells the database who is about to change rows (the session's user), where its history
    // of changes cannot ask the program itself. Every write of the data-aware layer comes
    // after it.
    virtual void identifyUser() const {}

    // How long a statement waits for a database or a row that another copy is changing
    // before it gives up with the busy message.
    static constexpr int BusyWaitMs = 5000;

    // How a date-time is sent to this backend as a bound value.
    virtual QVariant toDb(const QDateTime &dt) const = 0;
    // A value read from the database converted back to a date-time (null stays null).
    virtual QDateTime dateTimeFromDb(const QVariant &v) const = 0;

    // What the data-aware layer asks of a table or a query's columns.
    // The columns of a table (empty when there is no such table).
    virtual QSqlRecord tableRecord(const QString &table) const;
    // The names of a table's primary key columns (empty when it has none).
    virtual QStringList primaryKey(const QString &table) const;
    // The declared type of each column a query read (lower-case name -> type as written in
    // the creation script, such as "char(3)" or "text"), where the driver does not tell it
    // by the column's value type. `table`: the table the rows come from, if known.
    virtual QHash<QString, QString> declaredTypes(const QString &table, const QSqlRecord &columns) const;
    // One column a read keeps: its position in the result (-1: none), and whether it holds
    // date-times (a backend that keeps them as text may hand its own form over as the
    // date-time dateTimeFromDb gives, which the dataset would make of it on first reading).
    struct ReadColumn {
        int source = -1;
        bool dateTime = false;
    };
    // Reads every row of an executed select into `rows`: of each, the values of `columns`,
    // as the driver's own loop gives them. The statement is finished afterwards; a failure
    // raises DbError.
    virtual void readRows(QSqlQuery &q, const QVector<ReadColumn> &columns, std::vector<QVector<QVariant>> &rows) const;
    // The same through the driver's loop, for a connection without a backend of ours.
    static void readRowsByDriver(QSqlQuery &q, const QVector<ReadColumn> &columns,
                                 std::vector<QVector<QVariant>> &rows);
    // The characters a text column holds, as the database declares it (0: not known).
    int columnSize(const QString &table, const QString &column) const;

    // Brings the tables of a database made by an earlier version up to the creation
    // script's (run at start, in the chosen database), one step after another. A step that
    // fails is left for a later start: a user who may not change the schema (not the owner
    // of a shared database), or a database busy with another copy, works on without it.
    void upgradeTables();

    // Whether the path names one of this database's files (the database and the files its
    // engine keeps beside it), links resolved: nothing the program writes may land on them.
    // A server's database has no file here.
    virtual bool isDatabaseFile(const QString &path) const = 0;
    // The same for the embedded database in the program's folder, whatever this copy works
    // on: another copy started on "(local)" keeps its data there.
    static bool isEmbeddedDatabaseFile(const QString &path);

    // A backend for a connection that was opened without one (by its driver), kept while the
    // program runs; null when the connection does not exist or its driver is not ours.
    static Backend *forConnection(const QString &connectionName);

    // Prepares a statement; raises DbError with the user's text on failure.
    static void prepare(QSqlQuery &q, const QString &sql);
    // Runs a statement (the prepared one when `what` is null) and raises DbError with the
    // user's text (ErrorText::forUser) on failure.
    static void exec(QSqlQuery &q, const QString &what = QString());

protected:
    explicit Backend(const QString &connectionName) : m_connectionName(connectionName) {}
    virtual void createDatabase(const QString &name) = 0;
    // What a database needs before its tables can be made (a new one gets it from
    // createDatabase).
    virtual void prepareDatabase(const QString &name);
    virtual void useDatabase(const QString &name) = 0;
    virtual void execStatement(const QString &sql) = 0;
    // The steps of upgradeTables in the order they run, each bringing one thing a database
    // made by an earlier version lacks; a step raises DbError when it cannot.
    virtual std::vector<std::function<void()>> upgradeSteps() = 0;
    // The upgrade step that adds the history of changes (its table and indexes as the
    // creation script makes them), in one transaction.
    void addHistoryTable();

public:
    // The server's own text of an error.
    static QString serverText(const class QSqlError &e);
    // What the user reads about an error: the cause in Russian, then the server's text.
    static QString userText(const class QSqlError &e);

protected:
    QString m_connectionName;
    bool m_intoExisting = false;
};
