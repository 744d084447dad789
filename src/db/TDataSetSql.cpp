// The SQL a dataset sends: the select that reads its rows, and the insert, update and delete
// of one row by its key, with bound values only.
#include "db/TDataSetParts.h"

#include "storage/Backend.h"

#include <QSqlQuery>
#include <QSqlRecord>

using DataSetParts::isText;
using DataSetParts::tr;

QString TDataSet::orderTerm(const QString &expr, bool descending) { return Backend::orderTerm(expr, descending); }

QSqlQuery TDataSet::runSelect()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isValid() || !db.isOpen())
        throw DbError(tr("Нет соединения с базой данных"));
    QString sql = m_sql;
    if (sql.isEmpty()) {
        if (m_tableName.isEmpty())
            throw TavrellError(tr("Dataset '%1' has neither a table nor a query").arg(objectName()));
        sql = QStringLiteral("SELECT * FROM ") + m_tableName;
        // Without an order the server gives its physical one, which on the shared server
        // changes with every update: the primary key keeps a list in one order everywhere.
        QStringList columns = m_orderBy.split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (columns.isEmpty())
            columns = m_keyColumns;
        if (columns.isEmpty())
            if (const Backend *b = backend())
                columns = b->primaryKey(m_tableName);
        if (!columns.isEmpty()) {
            for (QString &c : columns)
                c = Backend::orderTerm(c.trimmed());
            sql += QStringLiteral(" ORDER BY ") + columns.join(QStringLiteral(", "));
        }
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    Backend::prepare(q, sql);
    const Backend *b = backend();
    for (const auto &p : m_params) {
        // A date is compared with the column as the backend stores dates.
        if (b && p.second.metaType().id() == QMetaType::QDateTime)
            q.bindValue(p.first, b->toDb(p.second.toDateTime()));
        else
            q.bindValue(p.first, p.second);
    }
    Backend::exec(q);
    return q;
}

void TDataSet::resolveKeyColumns()
{
    m_keyStorage.clear();
    const QString table = postTable();
    QStringList keys = m_keyColumns;
    if (keys.isEmpty() && !table.isEmpty()) {
        if (const Backend *b = backend())
            keys = b->primaryKey(table);
        if (keys.isEmpty())
            keys.append(QStringLiteral("id"));
    }
    for (const QString &k : keys)
        for (int c = 0; c < m_columnNames.size(); ++c)
            if (m_columnNames.at(c).compare(k, Qt::CaseInsensitive) == 0) {
                m_keyStorage.append(c);
                break;
            }
    // Without its key among the fields a row is found by all its values.
    if (m_keyStorage.size() != keys.size()) {
        m_keyStorage.clear();
        for (int c = 0; c < m_columnNames.size(); ++c)
            if (m_columnTypes.at(c) != FieldType::Memo)
                m_keyStorage.append(c);
    }
}

void TDataSet::readRows(QSqlQuery &q)
{
    const QSqlRecord rec = q.record();
    QVector<Backend::ReadColumn> src;
    for (int c = 0; c < m_columnNames.size(); ++c)
        src.append({rec.indexOf(m_columnNames.at(c)), m_columnTypes.value(c) == FieldType::DateTime});
    m_rows.clear();
    // Released at the end either way: an open grid holds no lock.
    if (const Backend *b = backend())
        b->readRows(q, src, m_rows);
    else
        Backend::readRowsByDriver(q, src, m_rows);
}

void TDataSet::execWrite(QSqlQuery &q, const QVariantList &binds, const QString &sql) const
{
    // The history of changes names who wrote.
    if (const Backend *b = backend())
        b->identifyUser();
    Backend::prepare(q, sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds.at(i));
    Backend::exec(q);
}

QVariant TDataSet::asRead(const QVector<QVariant> &row, int column) const
{
    const QVariant &v = row.value(column);
    if (!v.isValid() || v.isNull())
        return QVariant();
    // A date-time was read as one, converted from the text this program writes, or set by
    // this copy; every other value is kept as the database gave it or as this copy stored it.
    return v.metaType().id() == QMetaType::QDateTime ? toDb(column, v) : v;
}

QString TDataSet::whereByKey(const QVector<QVariant> &row, QVariantList &binds) const
{
    QStringList parts;
    for (int c : m_keyStorage) {
        const QVariant v = asRead(row, c);
        if (!v.isValid()) {
            parts.append(m_columnNames.at(c) + QStringLiteral(" IS NULL"));
        } else {
            parts.append(m_columnNames.at(c) + QStringLiteral(" = ?"));
            binds.append(v);
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

QString TDataSet::unchangedSince(const QVector<QVariant> &row, const QList<int> &columns, QVariantList &binds) const
{
    const Backend *b = backend();
    QStringList parts;
    for (int c : columns) {
        const QString &name = m_columnNames.at(c);
        const QVariant v = asRead(row, c);
        if (!v.isValid()) {
            parts.append(name + QStringLiteral(" IS NULL"));
            continue;
        }
        // Text columns compare without regard to letter case; a colleague's change of case
        // is a change all the same.
        const bool text = isText(m_columnTypes.at(c)) && v.metaType().id() == QMetaType::QString;
        parts.append(b ? b->holdsExactly(name, text) : name + QStringLiteral(" = ?"));
        binds.append(v);
    }
    return parts.join(QStringLiteral(" AND "));
}

DbError TDataSet::changedByAnotherUser()
{
    return DbError(tr("Другой пользователь изменил или удалил эту запись после того, как она была прочитана. "
                      "Обновите данные, чтобы увидеть её текущий вид."));
}

void TDataSet::postInsert()
{
    QStringList cols, marks;
    QVariantList binds;
    const QVector<QVariant> &row = m_rows[m_editRow];
    for (int c = 0; c < m_columnNames.size(); ++c) {
        const QVariant v = storedAsNormalized(m_editRow, c);
        if (!v.isValid())
            continue;
        cols.append(m_columnNames.at(c));
        marks.append(QStringLiteral("?"));
        binds.append(toDb(c, v));
    }
    (void)row;
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    const QString sql = cols.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(postTable())
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(postTable(), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    execWrite(q, binds, sql);
}

bool TDataSet::postUpdate()
{
    QStringList sets;
    QVariantList binds;
    QList<int> changed;
    for (int c = 0; c < m_columnNames.size(); ++c) {
        if (!m_changed.value(c))
            continue;
        sets.append(m_columnNames.at(c) + QStringLiteral(" = ?"));
        binds.append(toDb(c, storedAsNormalized(m_editRow, c)));
        changed.append(c);
    }
    if (sets.isEmpty())
        return true;
    // Only while the changed columns still hold what this copy read: a colleague's change
    // made since is never overwritten unseen, and his changes of other columns stay.
    // The key's marks come first: bound in that order.
    QString where = whereByKey(m_backup, binds);
    where += QStringLiteral(" AND ") + unchangedSince(m_backup, changed, binds);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    execWrite(q, binds,
              QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(postTable(), sets.join(QStringLiteral(", ")), where));
    if (q.numRowsAffected() == 0)
        throw changedByAnotherUser();
    return true;
}

QList<int> TDataSet::postTableColumns() const
{
    const Backend *b = backend();
    const QSqlRecord rec =
        b ? b->tableRecord(postTable()) : QSqlDatabase::database(m_connectionName, false).record(postTable());
    QList<int> columns;
    for (int c = 0; c < m_columnNames.size(); ++c)
        if (rec.indexOf(m_columnNames.at(c)) >= 0)  // case-insensitive
            columns.append(c);
    return columns;
}

void TDataSet::deleteInDb(const QVector<QVariant> &stored)
{
    QVariantList binds;
    QString where = whereByKey(stored, binds);
    const QList<int> columns = postTableColumns();
    if (!columns.isEmpty())
        where += QStringLiteral(" AND ") + unchangedSince(stored, columns, binds);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    execWrite(q, binds, QStringLiteral("DELETE FROM %1 WHERE %2").arg(postTable(), where));
    // Nothing deleted is no success.
    if (q.numRowsAffected() == 0)
        throw changedByAnotherUser();
}
