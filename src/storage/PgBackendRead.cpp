// The shared server's rows read straight through libpq from the driver's own pending result,
// each value made as the QPSQL driver makes it: its own loop costs a couple of microseconds a row.
#include "core/DayTime.h"
#include "storage/PgBackend.h"
#include "storage/TextPool.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QTime>
#include <atomic>
#include <libpq-fe.h>
#include <vector>

namespace {

std::atomic<qint64> directRowCount{0};

// The server's type numbers (pg_type) that are read here; any other column leaves the
// whole read to the driver.
enum TypeOid : unsigned {
    BoolOid = 16,
    ByteaOid = 17,
    CharOid = 18,
    NameOid = 19,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    TextOid = 25,
    Float4Oid = 700,
    Float8Oid = 701,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestamptzOid = 1184,
    NumericOid = 1700,
};

enum class Kind { Unknown, Bool, Int, Int8, Double, Text, Bytes, Date, Timestamp, TimestampTz };

Kind kindOf(Oid type)
{
    switch (type) {
    case BoolOid: return Kind::Bool;
    case ByteaOid: return Kind::Bytes;
    case CharOid:
    case NameOid:
    case TextOid:
    case BpcharOid:
    case VarcharOid: return Kind::Text;
    case Int8Oid: return Kind::Int8;
    case Int2Oid:
    case Int4Oid: return Kind::Int;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: return Kind::Double;
    case DateOid: return Kind::Date;
    case TimestampOid: return Kind::Timestamp;
    case TimestamptzOid: return Kind::TimestampTz;
    default: return Kind::Unknown;
    }
}

// A null as the driver makes it: of the column's type.
QMetaType nullType(Kind kind)
{
    switch (kind) {
    case Kind::Bool: return QMetaType::fromType<bool>();
    case Kind::Int: return QMetaType::fromType<int>();
    case Kind::Int8: return QMetaType::fromType<qlonglong>();
    case Kind::Double: return QMetaType::fromType<double>();
    case Kind::Bytes: return QMetaType::fromType<QByteArray>();
    case Kind::Date: return QMetaType::fromType<QDate>();
    case Kind::Timestamp:
    case Kind::TimestampTz: return QMetaType::fromType<QDateTime>();
    default: return QMetaType::fromType<QString>();
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digits(const char *s, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

bool allDigits(const char *s, std::initializer_list<int> at)
{
    for (int i : at)
        if (!isDigit(s[i]))
            return false;
    return true;
}

// "yyyy-mm-dd", the server's ISO form of a day of our era; anything else is left to Qt.
bool readDay(const char *s, int len, QDate &day)
{
    if (len < 10 || s[4] != '-' || s[7] != '-' || !allDigits(s, {0, 1, 2, 3, 5, 6, 8, 9}))
        return false;
    day = QDate(digits(s, 4), digits(s + 5, 2), digits(s + 8, 2));
    return day.isValid();
}

QVariant dateValue(const char *s, int len)
{
    QDate day;
    if (len == 10 && readDay(s, len, day))
        return QVariant(day);
    return QVariant(QDate::fromString(QString::fromLatin1(s, len), Qt::ISODate));
}

// "yyyy-mm-dd hh:mm:ss" with none to three digits of a second: milliseconds exactly.
struct Moment {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};

bool readMoment(const char *s, int len, Moment &m)
{
    if (len != 19 && (len < 21 || len > 23))
        return false;
    if (s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':' ||
        !allDigits(s, {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}))
        return false;
    m.msec = 0;
    if (len > 19) {
        if (s[19] != '.')
            return false;
        for (int i = 20, scale = 100; i < 23; ++i, scale /= 10) {
            if (i < len) {
                if (!isDigit(s[i]))
                    return false;
                m.msec += (s[i] - '0') * scale;
            }
        }
    }
    m.year = digits(s, 4);
    m.month = digits(s + 5, 2);
    m.day = digits(s + 8, 2);
    m.hour = digits(s + 11, 2);
    m.minute = digits(s + 14, 2);
    m.second = digits(s + 17, 2);
    return true;
}

bool fastTimestamp(const char *s, int len, QDate &day, QTime &time)
{
    Moment m;
    if (!readMoment(s, len, m))
        return false;
    day = QDate(m.year, m.month, m.day);
    time = QTime(m.hour, m.minute, m.second, m.msec);
    return day.isValid() && time.isValid();
}

// Local time, as the driver reads a timestamp (in a gap of the local clock invalid, but
// with the date and time read). No cache of the moments read: its table, grown amid the
// rows, keeps the allocator from reusing a closed list's memory for the next one.
QVariant timestampValue(const char *s, int len, bool withZone)
{
    QDate day;
    QTime time;
    if (!withZone && fastTimestamp(s, len, day, time))
        return QVariant(QDateTime(day, time));
    QDateTime dt = QDateTime::fromString(QString::fromLatin1(s, len), Qt::ISODate);
    if (withZone && dt.isValid())
        dt = dt.toLocalTime();
    return QVariant(dt);
}

// A timestamp of a date-time column as the dataset reads it on first reading: the day and
// time read, in no zone (DayTime). Counted straight from its parts; it never meets the local
// clock, whose conversions cost more than all the rest of a row.
QVariant dayTimeValue(const char *s, int len)
{
    Moment m;
    if (readMoment(s, len, m))
        if (const QDateTime dt = DayTime::ofParts(m.year, m.month, m.day, m.hour, m.minute, m.second, m.msec);
            dt.isValid())
            return QVariant(dt);
    return timestampValue(s, len, false);
}

QVariant intValue(const char *s)
{
    const bool negative = *s == '-';
    if (negative)
        ++s;
    // Counted wider than an int: the smallest int's digits are one more than the largest's.
    qint64 v = 0;
    for (; isDigit(*s); ++s)
        v = v * 10 + (*s - '0');
    return QVariant(int(negative ? -v : v));
}

// The driver gives a bigint that is not negative as an unsigned one.
QVariant int8Value(const char *s)
{
    const bool negative = *s == '-';
    if (negative)
        ++s;
    quint64 v = 0;
    for (; isDigit(*s); ++s)
        v = v * 10 + quint64(*s - '0');
    if (negative)
        return QVariant(qlonglong(0 - v));
    return QVariant(qulonglong(v));
}

// What the driver cannot make a double of (beyond its range, either way) is no value at all.
QVariant doubleValue(const char *s, int len)
{
    if (qstrcmp(s, "Infinity") == 0)
        return QVariant(qInf());
    if (qstrcmp(s, "-Infinity") == 0)
        return QVariant(-qInf());
    if (qstrcmp(s, "NaN") == 0)
        return QVariant(qQNaN());
    bool ok = false;
    const double d = QByteArray::fromRawData(s, len).toDouble(&ok);
    return ok ? QVariant(d) : QVariant();
}

QVariant bytesValue(const char *s)
{
    size_t len = 0;
    unsigned char *data = PQunescapeBytea(reinterpret_cast<const unsigned char *>(s), &len);
    if (!data)
        return QVariant(QByteArray());
    QVariant v(QByteArray(reinterpret_cast<const char *>(data), qsizetype(len)));
    PQfreemem(data);
    return v;
}

// The error as the driver reports a failed fetch.
QSqlError fetchError(PGconn *conn, const PGresult *r)
{
    QString text = QString::fromUtf8(PQerrorMessage(conn));
    QString code;
    if (r) {
        code = QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE));
        text += QStringLiteral("(%1)").arg(code);
    }
    return QSqlError(QStringLiteral("QPSQL: ") + QCoreApplication::translate("QPSQLResult", "Unable to get result"),
                     text, QSqlError::StatementError, code);
}

template <typename T> T *handleOf(const QVariant &h, const char *name, const char *alias)
{
    if (!h.isValid() || (qstrcmp(h.typeName(), name) != 0 && qstrcmp(h.typeName(), alias) != 0))
        return nullptr;
    return *static_cast<T *const *>(h.data());
}

}  // namespace

qint64 PgBackend::directRows() { return directRowCount.load(); }

void PgBackend::readRows(QSqlQuery &q, const QVector<ReadColumn> &columns, std::vector<QVector<QVariant>> &rows) const
{
    const int n = columns.size();
    // The first two rows come through the driver. It fetches the second only for the
    // statement whose results the connection still holds (running another one in between
    // discards them), so what the connection holds after it is this statement's.
    for (int k = 0; k < 2; ++k) {
        if (!q.next()) {
            readRowsByDriver(q, columns, rows);
            return;
        }
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c)
            if (columns[c].source >= 0)
                row[c] = q.value(columns[c].source);
        rows.push_back(std::move(row));
    }
    PGconn *conn = handleOf<PGconn>(q.driver() ? q.driver()->handle() : QVariant(), "pg_conn*", "PGconn*");
    const PGresult *current =
        handleOf<const PGresult>(q.result() ? q.result()->handle() : QVariant(), "pg_result*", "PGresult*");
    // The driver reads the rows one by one only in a forward-only statement; a scrollable
    // one, a precision other than the driver's default, a type not known here: its own loop.
    bool direct = conn && current && PQresultStatus(current) == PGRES_SINGLE_TUPLE &&
                  q.numericalPrecisionPolicy() == QSql::LowPrecisionDouble;
    QVector<Kind> kinds(n, Kind::Unknown);
    for (int c = 0; direct && c < n; ++c) {
        const int i = columns[c].source;
        if (i < 0)
            continue;
        if (i >= PQnfields(current) || PQfformat(current, i) != 0)
            direct = false;
        else
            kinds[c] = kindOf(PQftype(current, i));
        direct = direct && kinds[c] != Kind::Unknown;
    }
    if (!direct) {
        readRowsByDriver(q, columns, rows);
        return;
    }
    QVector<QVariant> nulls(n);
    for (int c = 0; c < n; ++c)
        nulls[c] = QVariant(nullType(kinds[c]));
    std::vector<TextPool> pools(static_cast<size_t>(n));
    QSqlError error;
    qint64 read = 0;
    while (PGresult *r = PQgetResult(conn)) {
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            // The rest is drained: the connection is ready for the next statement.
            if (!error.isValid())
                error = fetchError(conn, r);
            PQclear(r);
            continue;
        }
        const int count = PQntuples(r);
        for (int t = 0; t < count && !error.isValid(); ++t) {
            // Each value made in its place in the row.
            QVector<QVariant> row(n);
            QVariant *out = row.data();
            for (int c = 0; c < n; ++c) {
                const int i = columns[c].source;
                if (i < 0)
                    continue;
                if (PQgetisnull(r, t, i)) {
                    placeValue(out + c, nulls[c]);
                    continue;
                }
                const char *s = PQgetvalue(r, t, i);
                switch (kinds[c]) {
                case Kind::Bool: placeValue(out + c, s[0] == 't'); break;
                case Kind::Int: placeValue(out + c, intValue(s)); break;
                case Kind::Int8: placeValue(out + c, int8Value(s)); break;
                case Kind::Double: placeValue(out + c, doubleValue(s, PQgetlength(r, t, i))); break;
                case Kind::Bytes: placeValue(out + c, bytesValue(s)); break;
                case Kind::Date: placeValue(out + c, dateValue(s, PQgetlength(r, t, i))); break;
                case Kind::Timestamp:
                    placeValue(out + c, columns[c].dateTime ? dayTimeValue(s, PQgetlength(r, t, i))
                                                            : timestampValue(s, PQgetlength(r, t, i), false));
                    break;
                case Kind::TimestampTz: placeValue(out + c, timestampValue(s, PQgetlength(r, t, i), true)); break;
                default: {
                    const int size = PQgetlength(r, t, i);
                    placeValue(out + c, pools[size_t(c)].get(s, size, [&] { return QString::fromUtf8(s, size); }));
                    break;
                }
                }
            }
            rows.push_back(std::move(row));
            ++read;
        }
        PQclear(r);
    }
    directRowCount += read;
    q.finish();
    // A read that stops before its end is no shorter list.
    if (error.isValid())
        throw DbError(userText(error));
}
