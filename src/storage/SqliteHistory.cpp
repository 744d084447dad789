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

// One trigger: a history row per column the change touched, in the columns' order. `row`
// is NEW or OLD, the row whose key is recorded.
QString triggerOf(const History::Table &t, const QStringList &columns, char action)
{
    const QString row = action == History::Delete ? QStringLiteral("OLD") : QStringLiteral("NEW");
    QStringList keyParts;
    for (const QString &k : t.keys)
        keyParts.append(row + QLatin1Char('.') + k);
    QStringList selects;
    int n = 0;
    for (const QString &c : columns) {
        if (History::ignores(t.name, c))
            continue;
        const bool hidden = History::hidesValue(t.name, c);
        // A number with a fraction written as the server writes it ("1", not "1.0").
        auto value = [&](const QString &row) {
            return QStringLiteral("CASE typeof(%1.%2) WHEN 'real' THEN printf('%.15g', %1.%2) ELSE %1.%2 END")
                .arg(row, c);
        };
        const QString oldValue =
            action == History::Insert || hidden ? QStringLiteral("NULL") : value(QStringLiteral("OLD"));
        const QString newValue =
            action == History::Delete || hidden ? QStringLiteral("NULL") : value(QStringLiteral("NEW"));
        // Compared exactly: the text columns compare without regard to case.
        QString touched;
        if (action == History::Insert)
            touched = QStringLiteral("NEW.%1 IS NOT NULL").arg(c);
        else if (action == History::Delete)
            touched = QStringLiteral("OLD.%1 IS NOT NULL").arg(c);
        else
            touched = QStringLiteral("OLD.%1 IS NOT NEW.%1 COLLATE BINARY").arg(c);
        selects.append(QStringLiteral("SELECT %1 AS n, %2 AS f, %3 AS w, %4 AS b WHERE %5")
                           .arg(n++)
                           .arg(quoted(c.toLower()), oldValue, newValue, touched));
    }
    const QString kind = QString(QLatin1Char(action));
    const QString suffix = kind.toLower();
    const QString event = action == History::Insert   ? QStringLiteral("INSERT")
                          : action == History::Update ? QStringLiteral("UPDATE")
                                                      : QStringLiteral("DELETE");
    return QStringLiteral(
               "CREATE TEMP TRIGGER IF NOT EXISTS history_%1_%2 AFTER %3 ON main.%1 BEGIN "
               "INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became) "
               "SELECT strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), tavrell_user(), %4, %5, %6, f, w, b "
               "FROM (%7) ORDER BY n; END")
        .arg(t.name, suffix, event, quoted(t.name), keyParts.join(QStringLiteral(" || '/' || ")), quoted(kind),
             selects.join(QStringLiteral(" UNION ALL ")));
}

}  // namespace

void SqliteBackend::registerHistoryFunctions(sqlite3 *handle)
{
    sqlite3_create_function_v2(handle, "tavrell_user", 0, SQLITE_UTF8, nullptr, currentUser, nullptr, nullptr, nullptr);
}

void SqliteBackend::installHistoryTriggers(QSqlDatabase &db)
{
    for (const History::Table &t : History::tables()) {
        const QStringList columns = columnsOf(db, t.name);
        // A table the file does not have (a damaged or foreign file) gets none.
        if (columns.isEmpty())
            continue;
        for (char action : {History::Insert, History::Update, History::Delete}) {
            QSqlQuery q(db);
            if (!q.exec(triggerOf(t, columns, action)))
                throw DbError(userText(q.lastError()));
        }
    }
}
