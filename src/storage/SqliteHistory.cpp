// The history of changes on the embedded database: triggers of the program's connection
// alone (TEMP), made each time it opens the file. The file's schema keeps no trigger, so
// every SQLite tool can still write the file (nothing there calls the program's function
// for the user); what the program writes is recorded whatever path it takes. Without the
// history table (a file an older copy made, not yet upgraded) a change fails instead of
// going unrecorded.
#include "core/Session.h"
#include "storage/History.h"
#include "storage/SqliteBackend.h"

#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {

// tavrell_user(): the user logged in on this copy, null before a login.
void currentUser(sqlite3_context *context, int, sqlite3_value **)
{
    const int id = session().CurrentUserId;
    if (id > 0)
        sqlite3_result_int(context, id);
    else
        sqlite3_result_null(context);
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// The columns of a table as the file declares them, in their order.
QStringList columnsOf(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM pragma_table_info(%1) ORDER BY cid").arg(quoted(table))))
        throw DbError(Backend::userText(q.lastError()));
    QStringList columns;
    while (q.next())
        columns.append(q.value(0).toString());
    return columns;
}

const QString Now = QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')");
// This connection's own changes, by the last history row each wrote: the copy's follower of
// the other copies' changes passes them over.
const QString NotedAsOwn = QStringLiteral("INSERT INTO own_changes VALUES (last_insert_rowid());");

// A column's value as the history keeps it: a number with a fraction written as the server
// writes it ("1", not "1.0"); a password not at all.
QString valueOf(const History::Table &t, const QString &row, const QString &column)
{
    if (History::hidesValue(t.name, column))
        return QStringLiteral("NULL");
    return QStringLiteral("CASE typeof(%1.%2) WHEN 'real' THEN printf('%.15g', %1.%2) ELSE %1.%2 END").arg(row, column);
}

QString keyOf(const History::Table &t, const QString &row)
{
    QStringList parts;
    for (const QString &k : t.keys)
        parts.append(row + QLatin1Char('.') + k);
    return parts.join(QStringLiteral(" || '/' || "));
}

// An insert or a delete: a history row per column that holds a value, in the columns' order.
QString wholeRowTrigger(const History::Table &t, const QStringList &columns, char action)
{
    const bool insert = action == History::Insert;
    const QString row = insert ? QStringLiteral("NEW") : QStringLiteral("OLD");
    QStringList selects;
    int n = 0;
    for (const QString &c : columns) {
        if (History::ignores(t.name, c))
            continue;
        const QString value = valueOf(t, row, c);
        selects.append(QStringLiteral("SELECT %1 AS n, %2 AS f, %3 AS w, %4 AS b WHERE %5.%6 IS NOT NULL")
                           .arg(n++)
                           .arg(quoted(c.toLower()), insert ? QStringLiteral("NULL") : value,
                                insert ? value : QStringLiteral("NULL"), row, c));
    }
    return QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS history_%1_%2 AFTER %3 ON main.%1 BEGIN "
                          "INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became) "
                          "SELECT %4, tavrell_user(), %5, %6, %7, f, w, b FROM (%8) ORDER BY n; %9 END")
        .arg(t.name, insert ? QStringLiteral("i") : QStringLiteral("d"),
             insert ? QStringLiteral("INSERT") : QStringLiteral("DELETE"), Now, quoted(t.name), keyOf(t, row),
             quoted(QString(QLatin1Char(action))), selects.join(QStringLiteral(" UNION ALL ")), NotedAsOwn);
}

// A change of one column. One trigger a column: a statement is compiled with the triggers of
// the columns it sets alone, and the program's posts set only what was typed (one trigger for
// all columns made a post several times slower). Compared exactly: the text columns compare
// without regard to case.
QString columnTrigger(const History::Table &t, const QString &column)
{
    return QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS history_%1_u_%2 AFTER UPDATE OF %3 ON main.%1 "
                          "WHEN OLD.%3 IS NOT NEW.%3 COLLATE BINARY BEGIN "
                          "INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became) "
                          "VALUES (%4, tavrell_user(), %5, %6, 'U', %7, %8, %9); %10 END")
        .arg(t.name, column.toLower(), column, Now, quoted(t.name), keyOf(t, QStringLiteral("NEW")),
             quoted(column.toLower()), valueOf(t, QStringLiteral("OLD"), column),
             valueOf(t, QStringLiteral("NEW"), column), NotedAsOwn);
}

}  // namespace

void SqliteBackend::registerHistoryFunctions(sqlite3 *handle)
{
    sqlite3_create_function_v2(handle, "tavrell_user", 0, SQLITE_UTF8, nullptr, currentUser, nullptr, nullptr, nullptr);
}

void SqliteBackend::installHistoryTriggers(QSqlDatabase &db)
{
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS own_changes (id integer PRIMARY KEY)")))
            throw DbError(userText(q.lastError()));
    }
    for (const History::Table &t : History::tables()) {
        const QStringList columns = columnsOf(db, t.name);
        // A table the file does not have (a damaged or foreign file) gets none.
        if (columns.isEmpty())
            continue;
        QStringList statements{wholeRowTrigger(t, columns, History::Insert),
                               wholeRowTrigger(t, columns, History::Delete)};
        // They fire in the order they were made: the columns of one change are recorded in
        // the table's order.
        for (const QString &c : columns)
            if (!History::ignores(t.name, c))
                statements.append(columnTrigger(t, c));
        for (const QString &sql : statements) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                throw DbError(userText(q.lastError()));
        }
    }
}
