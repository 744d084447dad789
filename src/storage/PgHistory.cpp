// The history of changes on the shared server: one trigger function for every table it
// follows (the table's key columns its arguments), made with the tables and, in a database
// an older version made, by the upgrade at start. The user comes from the session setting
// "tavrell.usr" that each copy sets before it writes; the time is the server's. Each change
// also tells the other copies which row it touched (channel tavrell_changes: "table action
// key"), once committed.
#include "core/Session.h"
#include "storage/History.h"
#include "storage/PgBackend.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <libpq-fe.h>

namespace {

// The columns are walked in the table's order (json keeps it); values are compared as text,
// exactly (a change of letter case is a change). The trigger's arguments: the key columns and
// the date-time columns, each a list with commas.
QString functionText()
{
    QStringList hidden, ignored;
    for (const History::Table &t : History::tables())
        for (const QString &c : {QStringLiteral("passw"), QStringLiteral("lastenter")}) {
            if (History::hidesValue(t.name, c))
                hidden.append(QStringLiteral("'%1.%2'").arg(t.name, c));
            if (History::ignores(t.name, c))
                ignored.append(QStringLiteral("'%1.%2'").arg(t.name, c));
        }
    return QStringLiteral(R"(CREATE OR REPLACE FUNCTION history_record() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    o json := CASE WHEN TG_OP <> 'INSERT' THEN to_json(OLD) END;
    n json := CASE WHEN TG_OP <> 'DELETE' THEN to_json(NEW) END;
    act char(1) := left(TG_OP, 1);
    keys text[] := string_to_array(TG_ARGV[0], ',');
    dates text[] := string_to_array(TG_ARGV[1], ',');
    k text;
BEGIN
    SELECT string_agg(coalesce(n, o) ->> a.c, '/' ORDER BY a.i) INTO k
    FROM unnest(keys) WITH ORDINALITY AS a(c, i);
    INSERT INTO history (dt, usr, tblname, rowkey, action, field, was, became)
    SELECT localtimestamp(3), nullif(current_setting('tavrell.usr', true), '')::integer,
           TG_TABLE_NAME, k, act, v.key,
           CASE WHEN v.hidden THEN NULL
                WHEN v.key = ANY (dates) THEN to_char(v.was::timestamp, 'YYYY-MM-DD HH24:MI:SS.MS')
                ELSE v.was END,
           CASE WHEN v.hidden THEN NULL
                WHEN v.key = ANY (dates) THEN to_char(v.became::timestamp, 'YYYY-MM-DD HH24:MI:SS.MS')
                ELSE v.became END
    FROM (SELECT f.key, f.i, o ->> f.key AS was, n ->> f.key AS became,
                 TG_TABLE_NAME || '.' || f.key IN (%1) AS hidden
          FROM json_each(coalesce(n, o)) WITH ORDINALITY AS f(key, value, i)) v
    WHERE v.was IS DISTINCT FROM v.became COLLATE "C"
      AND TG_TABLE_NAME || '.' || v.key NOT IN (%2)
    ORDER BY v.i;
    IF FOUND THEN
        PERFORM pg_notify('tavrell_changes', TG_TABLE_NAME || ' ' || act || ' ' || k);
    END IF;
    RETURN NULL;
END
$$)")
        .arg(hidden.join(QStringLiteral(", ")), ignored.join(QStringLiteral(", ")));
}

}  // namespace

void PgBackend::installHistoryTriggers()
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    // Nothing to do when this version's function and every trigger are there: a start
    // takes no lock on the tables another copy works in.
    const QString function = functionText();
    exec(q, QStringLiteral(
                "SELECT 'CREATE OR REPLACE FUNCTION history_record() RETURNS trigger\nLANGUAGE plpgsql AS $$' || "
                "prosrc || '$$' FROM pg_proc WHERE proname = 'history_record'"));
    const bool current = q.next() && q.value(0).toString() == function;
    q.finish();
    exec(q, QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgname LIKE 'history\\_%' AND NOT tgisinternal"));
    const bool complete = q.next() && q.value(0).toInt() == History::tables().size();
    q.finish();
    if (current && complete)
        return;
    if (!db.transaction())
        throw DbError(userText(db.lastError()));
    try {
        exec(q, function);
        for (const History::Table &t : History::tables()) {
            // Its date-time columns, written in the program's own form ("2005-03-01
            // 09:00:00.000", as the embedded database keeps them), not json's.
            q.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                     "WHERE table_schema = current_schema() AND table_name = :t "
                                     "AND data_type LIKE 'timestamp%' ORDER BY ordinal_position"));
            q.bindValue(QStringLiteral(":t"), t.name);
            exec(q);
            QStringList dates;
            while (q.next())
                dates.append(q.value(0).toString());
            q.finish();
            exec(q, QStringLiteral("DROP TRIGGER IF EXISTS history_%1 ON %1").arg(t.name));
            exec(q, QStringLiteral("CREATE TRIGGER history_%1 AFTER INSERT OR UPDATE OR DELETE ON %1 "
                                   "FOR EACH ROW EXECUTE FUNCTION history_record('%2', '%3')")
                        .arg(t.name, t.keys.join(QLatin1Char(',')), dates.join(QLatin1Char(','))));
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
