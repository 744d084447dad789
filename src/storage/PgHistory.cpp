// The history of changes on the shared server: a trigger function for every table it follows,
// made at the end of the creation script and, in a database an older version made, by the
// upgrade at start. The user comes from the session setting "tavrell.usr" that each copy sets
// before it writes; the time is the server's. Each change also tells the other copies which
// row it touched (channel tavrell_changes: "table action key"), once committed.
#include "core/Session.h"
#include "storage/History.h"
#include "storage/PgBackend.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <libpq-fe.h>

namespace {

struct Column {
    QString name, type;  // as information_schema names them
};

// A column's value as text, as the embedded database keeps it: date-times in the program's
// form, fixed-width text with its blanks, numbers in their shortest exact form.
QString textOf(const QString &row, const Column &c)
{
    const QString v = row + QLatin1Char('.') + c.name;
    if (c.type.startsWith(QLatin1String("timestamp")))
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS.MS')").arg(v);
    if (c.type == QLatin1String("character"))
        return QStringLiteral("CASE WHEN %1 IS NULL THEN NULL ELSE format('%s', %1) END").arg(v);
    return v + QStringLiteral("::text");
}

// The trigger function of one table: a history row per column the change touched, in the
// table's order. Written out per table: a general function (the row as json) made a post twice
// as slow.
QString functionOf(const History::Table &t, const QList<Column> &columns)
{
    // A change: a test a column, one short insert for each column changed (every column's
    // values made and compared in one statement cost as much again as the post).
    auto changes = [&] {
        QString out;
        for (const Column &c : columns) {
            if (History::ignores(t.name, c.name))
                continue;
            const bool hidden = History::hidesValue(t.name, c.name);
            const bool text = c.type == QLatin1String("character varying") || c.type == QLatin1String("character") ||
                              c.type == QLatin1String("text");
            // Exactly: the text columns compare without regard to case.
            const QString collate = text ? QStringLiteral(" COLLATE \"C\"") : QString();
            out += QStringLiteral(
                       "        IF OLD.%1%2 IS DISTINCT FROM NEW.%1%2 THEN\n"
                       "            INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became)\n"
                       "            VALUES (localtimestamp(3), u, '%3', k, 'U', '%1', %4, %5);\n"
                       "        END IF;\n")
                       .arg(c.name, collate, t.name, hidden ? QStringLiteral("NULL") : textOf(QStringLiteral("OLD"), c),
                            hidden ? QStringLiteral("NULL") : textOf(QStringLiteral("NEW"), c));
        }
        return out;
    };
    // An insert or a delete: the columns that hold a value, in one statement.
    auto rows = [&](const QString &action) {
        QStringList values;
        int n = 0;
        for (const Column &c : columns) {
            if (History::ignores(t.name, c.name))
                continue;
            const bool hidden = History::hidesValue(t.name, c.name);
            const QString was = action == QLatin1String("I") || hidden ? QStringLiteral("NULL::text")
                                                                       : textOf(QStringLiteral("OLD"), c);
            const QString became = action == QLatin1String("D") || hidden ? QStringLiteral("NULL::text")
                                                                          : textOf(QStringLiteral("NEW"), c);
            const QString touched =
                QStringLiteral("%1.%2 IS NOT NULL")
                    .arg(action == QLatin1String("I") ? QStringLiteral("NEW") : QStringLiteral("OLD"), c.name);
            values.append(QStringLiteral("(%1, '%2', %3, %4, %5)").arg(n++).arg(c.name, was, became, touched));
        }
        return QStringLiteral("        INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became)\n"
                              "        SELECT localtimestamp(3), u, '%1', k, '%2', v.f, v.w, v.b\n"
                              "        FROM (VALUES %3) AS v(n, f, w, b, t)\n"
                              "        WHERE v.t ORDER BY v.n;\n")
            .arg(t.name, action, values.join(QStringLiteral(",\n            ")));
    };
    auto key = [&](const QString &row) {
        QStringList parts;
        for (const QString &k : t.keys)
            parts.append(row + QLatin1Char('.') + k + QStringLiteral("::text"));
        return parts.join(QStringLiteral(" || '/' || "));
    };
    return QStringLiteral("CREATE OR REPLACE FUNCTION history_%1() RETURNS trigger\n"
                          "LANGUAGE plpgsql AS $$\n"
                          "DECLARE\n"
                          "    u integer := nullif(current_setting('tavrell.usr', true), '')::integer;\n"
                          "    k text;\n"
                          "BEGIN\n"
                          "    IF TG_OP = 'UPDATE' THEN\n"
                          "        k := %2;\n%3"
                          "    ELSIF TG_OP = 'INSERT' THEN\n"
                          "        k := %2;\n%4"
                          "    ELSE\n"
                          "        k := %5;\n%6"
                          "    END IF;\n"
                          "    IF FOUND THEN\n"
                          "        PERFORM pg_notify('tavrell_changes', '%1 ' || left(TG_OP, 1) || ' ' || k);\n"
                          "    END IF;\n"
                          "    RETURN NULL;\n"
                          "END\n$$")
        .arg(t.name, key(QStringLiteral("NEW")), changes(), rows(QStringLiteral("I")), key(QStringLiteral("OLD")),
             rows(QStringLiteral("D")));
}

// The function's text as the server keeps it: what stands between the $$.
QString bodyOf(const QString &function)
{
    const int from = function.indexOf(QLatin1String("$$")) + 2;
    return function.mid(from, function.lastIndexOf(QLatin1String("$$")) - from);
}

}  // namespace

void PgBackend::installHistoryTriggers()
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    QStringList functions;
    for (const History::Table &t : History::tables()) {
        q.prepare(
            QStringLiteral("SELECT column_name, data_type FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name = :t ORDER BY ordinal_position"));
        q.bindValue(QStringLiteral(":t"), t.name);
        exec(q);
        QList<Column> columns;
        while (q.next())
            columns.append({q.value(0).toString(), q.value(1).toString()});
        q.finish();
        functions.append(columns.isEmpty() ? QString() : functionOf(t, columns));
    }
    // Nothing to do when this version's functions and every trigger are there: a start takes
    // no lock on the tables another copy works in.
    QHash<QString, QString> made;
    exec(q, QStringLiteral("SELECT proname, prosrc FROM pg_proc WHERE proname LIKE 'history\\_%'"));
    while (q.next())
        made.insert(q.value(0).toString(), q.value(1).toString());
    q.finish();
    exec(q, QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgname LIKE 'history\\_%' AND NOT tgisinternal"));
    bool current = q.next() && q.value(0).toInt() == History::tables().size();
    q.finish();
    for (int i = 0; current && i < functions.size(); ++i)
        current = functions.at(i).isEmpty() ||
                  made.value(QStringLiteral("history_") + History::tables().at(i).name) == bodyOf(functions.at(i));
    if (current)
        return;
    if (!db.transaction())
        throw DbError(userText(db.lastError()));
    try {
        // The general function of an earlier version, with its triggers.
        exec(q, QStringLiteral("DROP FUNCTION IF EXISTS history_record() CASCADE"));
        for (int i = 0; i < functions.size(); ++i) {
            // A table the database does not have gets none.
            if (functions.at(i).isEmpty())
                continue;
            const QString &name = History::tables().at(i).name;
            exec(q, functions.at(i));
            exec(q, QStringLiteral("DROP TRIGGER IF EXISTS history_%1 ON %1").arg(name));
            exec(q, QStringLiteral("CREATE TRIGGER history_%1 AFTER INSERT OR UPDATE OR DELETE ON %1 "
                                   "FOR EACH ROW EXECUTE FUNCTION history_%1()")
                        .arg(name));
        }
        if (!db.commit())
            throw DbError(userText(db.lastError()));
    } catch (...) {
        db.rollback();
        throw;
    }
}

void PgBackend::identifyUser() const
{
    QSqlDatabase db = connection();
    PGconn *conn = nullptr;
    if (const QVariant h = db.driver() ? db.driver()->handle() : QVariant(); h.isValid())
        conn = *static_cast<PGconn *const *>(h.data());
    const int id = session().CurrentUserId;
    // Inside a transaction the setting would end with it (a rollback takes it back): there it
    // is set for the transaction, every time.
    const bool idle = conn && PQtransactionStatus(conn) == PQTRANS_IDLE;
    if (idle && id == m_identifiedUser)
        return;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT set_config('tavrell.usr', :usr, :local)"));
    q.bindValue(QStringLiteral(":usr"), id > 0 ? QString::number(id) : QString(QLatin1String("")));
    q.bindValue(QStringLiteral(":local"), !idle);
    exec(q);
    if (idle)
        m_identifiedUser = id;
}
