// The embedded database's read of a select's rows: straight from SQLite's statement, each
// value as the driver would make it.
#include "storage/SqliteBackend.h"
#include "storage/TextPool.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <cstdint>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace {

// The text of a value's UTF-8 bytes when they hold only ASCII and well-formed two-byte
// sequences (Latin and Cyrillic texts): decoded here in one pass into `buffer`, the text
// made with one allocation. Anything else (three- and four-byte sequences, bytes that are not
// UTF-8) gives a null text, and the caller asks SQLite's own conversion, which the driver
// uses: a text read either way is the same.
QString decodeSimpleUtf8(const unsigned char *b, int size, std::vector<char16_t> &buffer)
{
    if (buffer.size() < size_t(size))
        buffer.resize(size_t(size));
    char16_t *out = buffer.data();
    int n = 0;
    for (int i = 0; i < size;) {
        // Eight ASCII bytes at a time (most of a name or a number).
        for (std::uint64_t w; i + 8 <= size; i += 8, n += 8) {
            std::memcpy(&w, b + i, 8);
            if (w & 0x8080808080808080ULL)
                break;
            for (int k = 0; k < 8; ++k)
                out[n + k] = b[i + k];
        }
        if (i >= size)
            break;
        const unsigned char c = b[i];
        if (c < 0x80) {
            out[n++] = c;
            ++i;
            continue;
        }
        // A lead of two bytes and its continuation; a continuation byte after it comes next
        // as a lead and gives up (SQLite would fold it into the same character).
        if (c < 0xC2 || c > 0xDF || i + 1 >= size || (b[i + 1] & 0xC0) != 0x80)
            return QString();
        out[n++] = char16_t(((c & 0x1F) << 6) | (b[i + 1] & 0x3F));
        i += 2;
    }
    return n ? QString(reinterpret_cast<const QChar *>(out), n) : QStringLiteral("");
}

}  // namespace

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
        const QString *s =
            v.metaType().id() == QMetaType::QString ? static_cast<const QString *>(v.constData()) : nullptr;
        if (s && s->size() == 23)
            if (const QDateTime dt = readStoredDate(*s); dt.isValid())
                v = QVariant(dt);
    };
    std::vector<TextPool> pools(size_t(std::max(n, 0)));
    std::vector<char16_t> wide;
    const QVariant nullText{QMetaType::fromType<QString>()};
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
        // Each value made in its place in the row.
        QVector<QVariant> row(n);
        QVariant *out = row.data();
        for (int c = 0; c < n; ++c) {
            const int i = columns[c].source;
            if (i < 0)
                continue;
            // The value itself, asked once: each sqlite3_column_* call would take the
            // connection's lock again (the statement is this thread's alone).
            sqlite3_value *v = sqlite3_column_value(st, i);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER: placeValue(out + c, qlonglong(sqlite3_value_int64(v))); break;
            case SQLITE_FLOAT: placeValue(out + c, sqlite3_value_double(v)); break;
            case SQLITE_NULL: placeValue(out + c, nullText); break;
            case SQLITE_BLOB: {
                const char *b = static_cast<const char *>(sqlite3_value_blob(v));
                placeValue(out + c, QByteArray(b, sqlite3_value_bytes(v)));
                break;
            }
            default: {
                const char *utf8 = reinterpret_cast<const char *>(sqlite3_value_text(v));
                const int size = sqlite3_value_bytes(v);
                if (columns[c].dateTime && size == 23) {
                    // Its own form, in ASCII: read without making the text first.
                    const QDateTime dt = readStoredDate(utf8, size);
                    if (dt.isValid()) {
                        placeValue(out + c, dt);
                        break;
                    }
                }
                // The same bytes make the same text: the pool is asked by them.
                placeValue(out + c, pools[size_t(c)].get(utf8, size, [&] {
                    QString text = decodeSimpleUtf8(reinterpret_cast<const unsigned char *>(utf8), size, wide);
                    if (text.isNull()) {
                        const auto *t = static_cast<const QChar *>(sqlite3_value_text16(v));
                        text = QString(t, sqlite3_value_bytes16(v) / int(sizeof(QChar)));
                    }
                    return text;
                }));
                break;
            }
            }
        }
        rows.push_back(std::move(row));
    }
    q.finish();
}
