// The embedded database's read of a select's rows: straight from SQLite's statement, each
// value as the driver would make it.
#include "storage/SqliteBackend.h"
#include "storage/TextPool.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <sqlite3.h>
#include <vector>

void SqliteBackend::readRows(QSqlQuery &q, const QVector<ReadColumn> &columns,
                             std::vector<QVector<QVariant>> &rows) const
{
    const QVariant h = q.result() ? q.result()->handle() : QVariant();
    sqlite3_stmt *st = h.isValid() && qstrcmp(h.typeName(), "sqlite3_stmt*") == 0
                           ? *static_cast<sqlite3_stmt *const *>(h.data())
                           : nullptr;
    if (!st || !q.isSelect()) {
        Backend::readRowsByDriver(q, columns, rows);
        return;
    }
    const int n = columns.size();
    auto dateOf = [](QVariant &v) {
        const QString *s = v.metaType().id() == QMetaType::QString ? static_cast<const QString *>(v.constData()) : nullptr;
        if (s && s->size() == 23)
            if (const QDateTime dt = readStoredDate(*s); dt.isValid())
                v = QVariant(dt);
    };
    std::vector<TextPool> pools(size_t(std::max(n, 0)));
    // The driver has read the first row already: taken from it, the rest straight from
    // the statement, each value as the driver makes it.
    if (!q.next()) {
        const QSqlError error = q.lastError();
        q.finish();
        if (error.isValid())
            throw DbError(userText(error));
        return;
    }
    {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c)
            if (columns[c].source >= 0) {
                row[c] = q.value(columns[c].source);
                if (columns[c].dateTime)
                    dateOf(row[c]);
            }
        rows.push_back(std::move(row));
    }
    for (;;) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            const QString text = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st)));
            q.finish();
            throw DbError(userText(QSqlError(text, text, QSqlError::StatementError, QString::number(rc))));
        }
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c) {
            const int i = columns[c].source;
            if (i < 0)
                continue;
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER:
                row[c] = QVariant(qlonglong(sqlite3_column_int64(st, i)));
                break;
            case SQLITE_FLOAT:
                row[c] = QVariant(sqlite3_column_double(st, i));
                break;
            case SQLITE_NULL:
                row[c] = QVariant(QMetaType::fromType<QString>());
                break;
            case SQLITE_BLOB: {
                const char *b = static_cast<const char *>(sqlite3_column_blob(st, i));
                row[c] = QVariant(QByteArray(b, sqlite3_column_bytes(st, i)));
                break;
            }
            default: {
                if (columns[c].dateTime && sqlite3_column_bytes(st, i) == 23) {
                    // Its own form, in ASCII: read without making the text first.
                    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
                    char16_t wide[23];
                    for (int k = 0; k < 23; ++k)
                        wide[k] = char16_t(static_cast<unsigned char>(t[k]));
                    const QDateTime dt = readStoredDate(QStringView(wide, 23));
                    if (dt.isValid()) {
                        row[c] = QVariant(dt);
                        break;
                    }
                }
                // The same bytes make the same text: the pool is asked by them.
                const char *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
                const int size = sqlite3_column_bytes(st, i);
                row[c] = QVariant(pools[size_t(c)].get(utf8, size, [&] {
                    const auto *t = static_cast<const QChar *>(sqlite3_column_text16(st, i));
                    return QString(t, sqlite3_column_bytes16(st, i) / int(sizeof(QChar)));
                }));
                break;
            }
            }
        }
        rows.push_back(std::move(row));
    }
    q.finish();
}
