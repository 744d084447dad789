// The other copies' changes on the embedded database. SQLite tells a connection whether
// another one has committed since it last asked (PRAGMA data_version, a read of the file's
// header); only then the history is read from where it was read last. Its keys grow with
// every change, one writer at a time: nothing committed is passed over. This copy's own
// changes are those its triggers noted (temp.own_changes).
#include "storage/ChangeFeed.h"
#include "storage/History.h"
#include "storage/SqliteBackend.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

namespace {

char actionOf(const QVariant &v)
{
    const QByteArray a = v.toString().toLatin1();
    return a.isEmpty() ? char(0) : a.at(0);
}

class SqliteChangeFeed : public ChangeFeed {
public:
    SqliteChangeFeed(const QString &connectionName, QObject *parent)
        : ChangeFeed(parent), m_connectionName(connectionName)
    {
        m_version = dataVersion();
        QSqlQuery q(db());
        if (q.exec(QStringLiteral("SELECT ifnull(max(id), 0) FROM history")) && q.next())
            m_lastId = q.value(0).toLongLong();
        connect(&m_timer, &QTimer::timeout, this, &SqliteChangeFeed::poll);
        m_timer.start(PollMs);
    }

    void poll() override
    {
        // A database gone (the connection closed, a file that cannot be read): nothing comes.
        const qint64 version = dataVersion();
        if (version < 0 || version == m_version)
            return;
        m_version = version;
        QSqlQuery q(db());
        q.prepare(QStringLiteral("SELECT h.id, h.tblname, h.rowkey, h.action, h.dt, o.id IS NOT NULL "
                                 "FROM history h LEFT JOIN temp.own_changes o ON o.id = h.id "
                                 "WHERE h.id > ? ORDER BY h.id"));
        q.addBindValue(m_lastId);
        if (!q.exec())
            return;
        struct Row {
            RowChange change;
            QString when;
            bool own;
        };
        QList<Row> rows;
        while (q.next()) {
            m_lastId = q.value(0).toLongLong();
            rows.append({{q.value(1).toString(), q.value(2).toString(), actionOf(q.value(3))},
                         q.value(4).toString(),
                         q.value(5).toBool()});
        }
        q.finish();
        // A change of this copy's is noted by its last row; its other rows share its row,
        // action and time.
        QSet<QString> own;
        for (const Row &r : rows)
            if (r.own)
                own.insert(r.change.table + QLatin1Char(' ') + r.change.key + QLatin1Char(' ') +
                           QLatin1Char(r.change.action) + QLatin1Char(' ') + r.when);
        QList<RowChange> theirs;
        for (const Row &r : rows)
            if (!own.contains(r.change.table + QLatin1Char(' ') + r.change.key + QLatin1Char(' ') +
                              QLatin1Char(r.change.action) + QLatin1Char(' ') + r.when))
                theirs.append(r.change);
        QSqlQuery forget(db());
        forget.prepare(QStringLiteral("DELETE FROM temp.own_changes WHERE id <= ?"));
        forget.addBindValue(m_lastId);
        forget.exec();
        if (!theirs.isEmpty())
            emit arrived(lastOfEach(theirs));
    }

private:
    QSqlDatabase db() const { return QSqlDatabase::database(m_connectionName, false); }

    qint64 dataVersion() const
    {
        QSqlDatabase d = db();
        if (!d.isOpen())
            return -1;
        QSqlQuery q(d);
        return q.exec(QStringLiteral("PRAGMA data_version")) && q.next() ? q.value(0).toLongLong() : -1;
    }

    QString m_connectionName;
    QTimer m_timer;
    qint64 m_version = -1;
    qint64 m_lastId = 0;
};

}  // namespace

std::unique_ptr<ChangeFeed> SqliteBackend::watchChanges(QObject *parent) const
{
    return std::make_unique<SqliteChangeFeed>(m_connectionName, parent);
}
