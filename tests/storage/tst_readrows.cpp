// The rows a dataset reads come through the backend's own read loop: on the embedded
// database straight from SQLite, on the shared server through libpq. Either must give
// every value exactly as the driver's own loop does (type, null, text), so that nothing
// after the read can tell them apart.
#include "TestSupport.h"
#include "core/DayTime.h"
#include "core/Errors.h"
#include "db/TDataSet.h"
#include "storage/Backend.h"
#include "storage/PgBackend.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QtTest>
#include <cstring>
#include <ctime>
#include <functional>

namespace {

// What the driver's plain loop reads, value by value.
std::vector<QVector<QVariant>> driverRows(QSqlDatabase db, const QString &sql, const QVector<int> &columns)
{
    std::vector<QVector<QVariant>> rows;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return rows;
    while (q.next()) {
        QVector<QVariant> row(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            row[c] = q.value(columns[c]);
        rows.push_back(row);
    }
    return rows;
}

QString describe(const QVariant &v)
{
    return QStringLiteral("%1%2 %3").arg(QLatin1String(v.metaType().name() ? v.metaType().name() : "invalid"),
                                         v.isNull() ? QStringLiteral(" (null)") : QString(), v.toString());
}

// Exactly the same value: type, null-ness, a double to its last bit (NaN and -0 included),
// a date-time to its date, time, zone and validity (an invalid one keeps what was read).
bool same(const QVariant &a, const QVariant &e)
{
    if (a.metaType() != e.metaType() || a.isNull() != e.isNull() || a.isValid() != e.isValid())
        return false;
    if (a.metaType().id() == QMetaType::Double) {
        const double x = a.toDouble(), y = e.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.metaType().id() == QMetaType::QDateTime) {
        const QDateTime x = a.toDateTime(), y = e.toDateTime();
        return x.isValid() == y.isValid() && x.date() == y.date() && x.time() == y.time() &&
               x.timeSpec() == y.timeSpec() && x.offsetFromUtc() == y.offsetFromUtc();
    }
    return a == e;
}

QString describeFully(const QVariant &v)
{
    QString s = describe(v);
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        s += QStringLiteral(" [%1 %2 spec %3 offset %4 %5]")
                 .arg(dt.date().toString(Qt::ISODate), dt.time().toString(Qt::ISODateWithMs))
                 .arg(dt.timeSpec())
                 .arg(dt.offsetFromUtc())
                 .arg(QLatin1String(dt.isValid() ? "valid" : "invalid"));
    } else if (v.metaType().id() == QMetaType::Double) {
        s += QStringLiteral(" [%1]").arg(v.toDouble(), 0, 'g', 17);
    }
    return s;
}

// A value read for a date-time column against the driver's: the driver's own, or the day
// and time it read in no zone, which the dataset makes of it on first reading.
bool sameAsDate(const QVariant &a, const QVariant &e)
{
    if (same(a, e))
        return true;
    if (e.metaType().id() != QMetaType::QDateTime || a.metaType().id() != QMetaType::QDateTime)
        return false;
    const QDateTime x = a.toDateTime(), y = DayTime::of(e.toDateTime());
    return x.isValid() && x.timeSpec() == Qt::UTC && x == y && x.date() == y.date() && x.time() == y.time();
}

// The backend's read of `sql` against the driver's loop; how many rows it read through
// libpq goes to `direct`, how many in all to `count`. `asDates`: every column read as the
// dataset reads a date-time field's.
void compareWithDriver(QSqlDatabase db, const Backend &backend, const QString &sql, qint64 &direct, qint64 &rowCount,
                       bool asDates = false)
{
    QSqlQuery probe(db);
    QVERIFY2(probe.exec(sql), qPrintable(probe.lastError().text()));
    const int count = probe.record().count();
    probe.finish();
    // Every column, in another order too, and one twice.
    QVector<int> columns;
    for (int c = count - 1; c >= 0; --c)
        columns.append(c);
    columns.append(0);
    const std::vector<QVector<QVariant>> expected = driverRows(db, sql, columns);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY(q.exec(sql));
    QVector<Backend::ReadColumn> read;
    for (int c : columns)
        read.append({c, asDates});
    // A column the dataset has and the statement has not.
    read.append({-1, false});
    std::vector<QVector<QVariant>> got;
    const qint64 before = PgBackend::directRows();
    backend.readRows(q, read, got);
    direct = PgBackend::directRows() - before;
    rowCount = qint64(got.size());
    QVERIFY(!q.isActive());
    QCOMPARE(got.size(), expected.size());
    for (size_t r = 0; r < got.size(); ++r) {
        QVERIFY(!got[r].last().isValid());
        for (int c = 0; c < columns.size(); ++c) {
            const QVariant &a = got[r][c], &e = expected[r][c];
            QVERIFY2(asDates ? sameAsDate(a, e) : same(a, e),
                     qPrintable(QStringLiteral("row %1 column %2: %3, the driver: %4")
                                    .arg(r)
                                    .arg(columns[c])
                                    .arg(describeFully(a), describeFully(e))));
        }
    }
}

// The message of the DbError a read raises (empty: none).
QString readError(const std::function<void()> &read)
{
    try {
        read();
    } catch (const DbError &e) {
        return e.message();
    }
    return QString();
}

}  // namespace

// The backend's read of `sql` gives exactly what the driver's loop gives.
void compareWithDriver(const TestDb &db, const QString &sql, const QVector<int> &columns)
{
    const std::vector<QVector<QVariant>> expected = driverRows(db.module()->connection(), sql, columns);
    QSqlQuery q(db.module()->connection());
    q.setForwardOnly(true);
    QVERIFY(q.exec(sql));
    QVector<Backend::ReadColumn> read;
    for (int c : columns)
        read.append({c, false});
    std::vector<QVector<QVariant>> got;
    db.module()->backend().readRows(q, read, got);
    QVERIFY(!q.isActive());
    QCOMPARE(got.size(), expected.size());
    for (size_t r = 0; r < got.size(); ++r)
        for (int c = 0; c < columns.size(); ++c) {
            const QVariant &a = got[r][c], &e = expected[r][c];
            const bool same = a.metaType() == e.metaType() && a.isNull() == e.isNull() && a == e;
            QVERIFY2(same, qPrintable(QStringLiteral("row %1 column %2: %3, the driver: %4")
                                          .arg(r)
                                          .arg(columns[c])
                                          .arg(describe(a), describe(e))));
        }
}

class TestReadRows : public QObject {
    Q_OBJECT
private slots:
    // A zone with a gap, a doubled hour and old local mean time: the driver reads a
    // timestamp as local time, and so must any other reader.
    void initTestCase()
    {
        qputenv("TZ", "Europe/Moscow");
        tzset();
        QVERIFY(!QDateTime(QDate(2003, 3, 30), QTime(2, 30)).isValid());
    }

    void cleanup() { Backend::setDatabaseName(QStringLiteral("org_tech")); }

    // Every kind of value a column may hold, columns read in another order and twice, and
    // the results of no row, one row and many rows.
    void sameValuesAsTheDriver_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("where");
        addBackendCase("every row", [&](QTestData &r) { r << ""; });
        addBackendCase("one row", [&](QTestData &r) { r << "where id = 3"; });
        addBackendCase("no row", [&](QTestData &r) { r << "where id < 0"; });
    }

    void sameValuesAsTheDriver()
    {
        QFETCH(QString, where);
        TAVRELL_TEST_DB(db);
        const bool pg = db.isPostgres();
        db.query(QStringLiteral("create table kinds (id integer primary key, i bigint, r %1, t varchar(40), "
                                "d %2, b %3)")
                     .arg(pg ? "double precision" : "real", pg ? "timestamp(3)" : "datetime", pg ? "bytea" : "blob"));
        const QStringList values = {
            "1, 42, 1.5, 'Удовлетворительное', '2003-09-21 10:11:12.345', null",
            "2, null, null, null, null, null",
            "3, -9007199254740993, -0.25, '', '1899-12-30 00:00:00.000', null",
            "4, 0, 1e300, 'a\\\\b \"q\" 🙂', null, null",
        };
        for (const QString &v : values)
            db.query(QStringLiteral("insert into kinds values (%1)").arg(v));
        if (!pg) {
            // The embedded file keeps whatever a column is given: text in a number column,
            // a number in a text one, a blob.
            db.query(QStringLiteral("insert into kinds values (5, 'не число', 7, 12, 3.25, x'00ff10')"));
            // Text that is not valid UTF-8 (another tool's bytes), an overlong form, a lone
            // surrogate, a NUL inside, a two-byte letter with a stray continuation after it or
            // ASCII in its place, a lone continuation; and valid two-, three- and four-byte
            // letters at the edges of their forms: each as the driver reads it.
            for (const char *bytes :
                 {"41c328ff42", "c0af", "eda080", "610062", "d0", "d09f80", "d041", "80", "c1bf", "d09fd180d0b8",
                  "c280dfbf", "e282ac41", "f09f9880", "efbfbe", "414243444546474849d09f",
                  "4142434445464748c32841424344454647484950", "d09f4142434445464748ff"})
                db.query(QStringLiteral("insert into kinds (id, t) values ((select max(id) + 1 from kinds), "
                                        "CAST(x'%1' AS TEXT))")
                             .arg(QLatin1String(bytes)));
        }
        const QString sql = QStringLiteral("select * from kinds %1 order by id").arg(where);
        const QVector<int> columns = {5, 0, 3, 1, 2, 4, 3};
        compareWithDriver(db, sql, columns);
    }

    // Thousands of rows: texts that recur in a column and texts that mostly differ, long
    // and short, in the same read.
    void manyRowsSameAsTheDriver_data() { addBackendCases(); }

    void manyRowsSameAsTheDriver()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("create table texts (id integer primary key, few varchar(70), most varchar(70), "
                                "halves varchar(70))"));
        QSqlDatabase c = db.module()->connection();
        c.transaction();
        QSqlQuery ins(c);
        ins.prepare(QStringLiteral("insert into texts values (?, ?, ?, ?)"));
        const QString longText =
            QStringLiteral("Очень длинная причина ремонта, которая не помещается в короткий текст");
        for (int i = 0; i < 6000; ++i) {
            ins.bindValue(0, i);
            ins.bindValue(1, i % 7 == 6 ? QVariant() : QVariant(QStringLiteral("Принтер %1").arg(i % 7)));
            ins.bindValue(2, i % 11 == 0 ? longText : QStringLiteral("Серия %1").arg(i));
            ins.bindValue(3, i % 2 ? QStringLiteral("Отдел %1").arg(i % 3) : QStringLiteral("№%1").arg(i));
            QVERIFY(ins.exec());
        }
        c.commit();
        compareWithDriver(db, QStringLiteral("select * from texts order by id"), {1, 2, 3, 0});
    }

    // A column of date-times on the embedded database: the program's own form comes as the
    // date-time it stands for (what the dataset would make of it on first reading), any
    // other text as the driver gives it, to be read and written back as it was.
    void embeddedDatesComeAsDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asDate");
        QTest::newRow("own form") << "2003-09-21 10:11:12.345" << true;
        QTest::newRow("own form, midnight") << "1899-12-30 00:00:00.000" << true;
        QTest::newRow("own form, year 1") << "0001-01-01 00:00:00.000" << true;
        QTest::newRow("day only") << "2003-09-21" << false;
        QTest::newRow("without milliseconds") << "2003-09-21 10:11:12" << false;
        QTest::newRow("ISO with T") << "2003-09-21T10:11:12.345" << false;
        QTest::newRow("no such day") << "2003-02-30 00:00:00.000" << false;
        QTest::newRow("hour 24") << "2003-09-21 24:00:00.000" << false;
        QTest::newRow("year 0") << "0000-01-01 00:00:00.000" << false;
        QTest::newRow("23 letters") << "Двадцать три буквы тут." << false;
        QTest::newRow("23 bytes, not ASCII") << "2003-09-21 10:11:12.3ё" << false;
    }

    void embeddedDatesComeAsDates()
    {
        QFETCH(QString, text);
        QFETCH(bool, asDate);
        TAVRELL_TEST_DB_ON(db, "sqlite");
        db.query(QStringLiteral("create table days (id integer primary key, d datetime)"));
        QSqlQuery ins(db.module()->connection());
        ins.prepare(QStringLiteral("insert into days values (?, ?)"));
        // Twice: the first row comes through the driver, the others straight from SQLite.
        for (int id : {1, 2}) {
            ins.bindValue(0, id);
            ins.bindValue(1, text);
            QVERIFY(ins.exec());
        }
        QSqlQuery q(db.module()->connection());
        q.setForwardOnly(true);
        QVERIFY(q.exec(QStringLiteral("select d from days order by id")));
        std::vector<QVector<QVariant>> got;
        db.module()->backend().readRows(q, {{0, true}}, got);
        QCOMPARE(got.size(), size_t(2));
        for (const QVector<QVariant> &row : got) {
            const QVariant &v = row.at(0);
            if (asDate) {
                QCOMPARE(v.metaType().id(), int(QMetaType::QDateTime));
                QCOMPARE(v.toDateTime(), db.module()->backend().dateTimeFromDb(text));
                QCOMPARE(v.toDateTime().timeSpec(), Qt::UTC);
                QCOMPARE(db.module()->backend().toDb(v.toDateTime()).toString(), text);
            } else {
                QCOMPARE(v.metaType().id(), int(QMetaType::QString));
                QCOMPARE(v.toString(), text);
            }
        }
        // Through a dataset: the value the field shows, and a post of another column that
        // finds the row as it was read.
        db.query(QStringLiteral("alter table days add column note varchar(10)"));
        TDataSet ds;
        ds.setTableName(QStringLiteral("days"));
        ds.Open();
        ds.Last();
        const QVariant shown = ds.FieldByName(QStringLiteral("d"))->value();
        QCOMPARE(shown.toDateTime(), db.module()->backend().dateTimeFromDb(text));
        ds.Edit();
        ds.FieldByName(QStringLiteral("note"))->setValue(QStringLiteral("записано"));
        ds.Post();
        QCOMPARE(db.scalar(QStringLiteral("select note from days where id = 2")).toString(),
                 QStringLiteral("записано"));
        QCOMPARE(db.scalar(QStringLiteral("select d from days where id = 2")).toString(), text);
    }

    // A dataset over a list longer than one read of the driver's: every row, in order, and
    // its edits posted as before.
    void datasetReadsEveryRow_data() { addBackendCases(); }

    void datasetReadsEveryRow()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("create table many (id integer primary key, name varchar(20))"));
        db.module()->connection().transaction();
        QSqlQuery ins(db.module()->connection());
        ins.prepare(QStringLiteral("insert into many values (?, ?)"));
        for (int i = 0; i < 3000; ++i) {
            ins.bindValue(0, i);
            ins.bindValue(1, QStringLiteral("Строка %1").arg(i));
            QVERIFY(ins.exec());
        }
        db.module()->connection().commit();
        TDataSet ds;
        ds.setTableName(QStringLiteral("many"));
        ds.Open();
        QCOMPARE(ds.RecordCount(), 3000);
        ds.Last();
        QCOMPARE(ds.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("Строка 2999"));
        ds.Edit();
        ds.FieldByName(QStringLiteral("name"))->setValue(QStringLiteral("Последняя"));
        ds.Post();
        QCOMPARE(db.scalar(QStringLiteral("select name from many where id = 2999")).toString(),
                 QStringLiteral("Последняя"));
    }

    // Each type of column the program's tables have and the server's other common ones,
    // every value three times among others (the first two rows come through the driver,
    // the rest through libpq), and nulls.
    void serverValuesAsTheDriver_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<bool>("direct");
        const QStringList texts = {"''",           "'Удовлетворительное'", "'ЁЛКА ёлка'", "'a\\b \"q\" ''x'''",
                                   "'🙂 emoji'", "' пробелы '",          "'x'",         "E'строка\\r\\nвторая'"};
        QTest::newRow("integer") << "integer" << QStringList{"0", "1", "-1", "2147483647", "-2147483647", "42"} << true;
        QTest::newRow("smallint") << "smallint" << QStringList{"0", "-32767", "32767", "7"} << true;
        QTest::newRow("bigint") << "bigint" << QStringList{"0",         "9223372036854775807", "-9223372036854775807",
                                                           "-1",        "9007199254740993",    "-9007199254740993",
                                                           "4294967296"}
                                << true;
        QTest::newRow("varchar ci") << "varchar(40) COLLATE ci" << texts << true;
        QTest::newRow("char(3) ci") << "char(3) COLLATE ci" << QStringList{"''", "'A4'", "'др.'", "'🙂'", "'abc'"}
                                    << true;
        QTest::newRow("char(10) ci") << "char(10) COLLATE ci" << QStringList{"''", "'12345'", "'Ресурс'", "' x'"}
                                     << true;
        QTest::newRow("text ci") << "text COLLATE ci" << texts << true;
        QTest::newRow("timestamp(3)") << "timestamp(3)"
                                      << QStringList{"'2003-09-21 10:11:12.345'",
                                                     "'2003-09-21 10:11:12'",
                                                     "'2003-09-21 10:11:12.3'",
                                                     "'2003-09-21 10:11:12.34'",
                                                     "'2003-09-21 10:11:12.001'",
                                                     "'1899-12-30 00:00:00'",
                                                     "'1899-12-30 00:00:00.5'",
                                                     "'1919-07-01 00:30:00'",
                                                     "'0001-01-01'",
                                                     "'0999-12-31 23:59:59.999'",
                                                     "'9999-12-31 23:59:59.999'",
                                                     "'2003-03-30 02:30:00'",
                                                     "'2003-10-26 02:30:00'",
                                                     "'2038-01-19 03:14:08'",
                                                     "'10000-01-01'",
                                                     "'0044-03-15 BC'",
                                                     "'infinity'",
                                                     "'-infinity'"}
                                      << true;
        QTest::newRow("timestamp, microseconds")
            << "timestamp"
            << QStringList{"'2003-09-21 10:11:12.345678'", "'2003-09-21 10:11:12.9996'", "'2003-09-21 23:59:59.9996'",
                           "'2003-09-21 10:11:12.0005'", "'2003-03-30 02:30:00.5'"}
            << true;
        QTest::newRow("timestamp with time zone")
            << "timestamptz"
            << QStringList{"'2003-09-21 10:11:12.345+00'", "'2003-03-30 02:30:00+00'", "'1899-12-30 01:00:00+00'",
                           "'9999-12-31 23:59:59+00'",     "'0044-03-15 BC'",          "'infinity'"}
            << true;
        QTest::newRow("date") << "date" << QStringList{"'2003-09-21'",    "'1899-12-30'", "'0001-01-01'",
                                                       "'0999-01-01'",    "'9999-12-31'", "'10000-01-01'",
                                                       "'0044-03-15 BC'", "'infinity'",   "'-infinity'"}
                              << true;
        QTest::newRow("double precision")
            << "double precision"
            << QStringList{"0",           "1.5",   "-0.25",  "1e300", "-1e-300", "'Infinity'",
                           "'-Infinity'", "'NaN'", "5e-324", "0.1",   "'-0'",    "123456789.123456789",
                           "1e-310"}
            << true;
        QTest::newRow("real") << "real" << QStringList{"0.1", "4.5", "3.4e38", "-1e-30", "'NaN'"} << true;
        QTest::newRow("numeric") << "numeric" << QStringList{"0",          "123456789012345678901234567890.123456789",
                                                             "-0.5",       "12345678901234567890",
                                                             "0.1",        "1e308",
                                                             "1e400",      "-1e400",
                                                             "1e-400",     "'NaN'",
                                                             "'Infinity'", "'-Infinity'"}
                                 << true;
        QTest::newRow("numeric(10,2)") << "numeric(10,2)" << QStringList{"1.50", "-3.25", "0", "99999999.99"} << true;
        QTest::newRow("boolean") << "boolean" << QStringList{"true", "false"} << true;
        QTest::newRow("bytea") << "bytea" << QStringList{"'\\x00ff10'", "''", "'\\x5c27'", "'\\x00'"} << true;
        // Types no table of the program has: read by the driver itself.
        QTest::newRow("interval") << "interval" << QStringList{"'1 day'", "'-1 hour'"} << false;
        QTest::newRow("time") << "time" << QStringList{"'10:11:12'", "'23:59:59.999'"} << false;
        QTest::newRow("integer array") << "integer[]" << QStringList{"'{1,2}'", "'{}'"} << false;
    }

    void serverValuesAsTheDriver()
    {
        QFETCH(QString, type);
        QFETCH(QStringList, values);
        QFETCH(bool, direct);
        TAVRELL_TEST_DB_ON(db, "postgres");
        db.query(QStringLiteral("create table vals (id serial primary key, v %1)").arg(type));
        int rows = 0;
        for (int round = 0; round < 3; ++round) {
            for (const QString &v : values) {
                QSqlQuery q = db.query(QStringLiteral("insert into vals (v) values (%1)").arg(v));
                QVERIFY2(!q.lastError().isValid(), qPrintable(v));
                ++rows;
            }
            db.query(QStringLiteral("insert into vals (v) values (null)"));
            ++rows;
        }
        // As any column, and as a date-time field's.
        for (const bool asDates : {false, true}) {
            qint64 read = 0, all = 0;
            compareWithDriver(db.module()->connection(), db.module()->backend(),
                              QStringLiteral("select v, id, v is null as none from vals order by id"), read, all,
                              asDates);
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(all, qint64(rows));
            QCOMPARE(read, direct ? all - 2 : qint64(0));
        }
    }

    // What statements make of the values: counts, sums and averages, expressions without a
    // table, a literal null, the program's own table; and the results shorter than the two
    // rows the driver reads first.
    void serverQueriesAsTheDriver_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("direct");
        QTest::newRow("aggregates")
            << "select g % 5 as k, count(*), count(t), sum(g), avg(g), sum(g * 1.5::float8), sum(g::numeric / 7), "
               "max(d), min(t), bool_and(g > 2) from (select g, timestamp '2003-09-21 10:11:12.345' "
               "+ g * interval '1 day 1.5 second' as d, 'Ы' || g as t from generate_series(1, 40) g) x "
               "group by g % 5 order by 1"
            << true;
        QTest::newRow("expressions without a table")
            << "select g, null, null::integer, 'буква' || g, g > 2, 1.5, 'a\\b', '\\x00ff'::bytea, "
               "date '1899-12-30' + g, g::bigint - 5, g * 2.5::float8, cast(null as timestamp(3)), "
               "timestamp '2003-09-21 10:11:12' + g * interval '1 millisecond' from generate_series(1, 6) g"
            << true;
        QTest::newRow("the program's table") << "select * from izdel order by id" << true;
        QTest::newRow("a list over two tables")
            << "select a.id, a.name || ' : ' || coalesce(b.name, '') as izd, a.d_vup, a.form, a.resurs "
               "from izdel a left join otdel b on b.id = a.otdel order by 2"
            << true;
        QTest::newRow("an unknown type among them")
            << "select g, g * interval '1 minute' from generate_series(1, 5) g" << false;
        QTest::newRow("no row") << "select g from generate_series(1, 0) g" << true;
        QTest::newRow("one row") << "select g from generate_series(1, 1) g" << true;
        QTest::newRow("two rows") << "select g from generate_series(1, 2) g" << true;
        QTest::newRow("three rows") << "select g from generate_series(1, 3) g" << true;
    }

    void serverQueriesAsTheDriver()
    {
        QFETCH(QString, sql);
        QFETCH(bool, direct);
        TAVRELL_TEST_DB_ON(db, "postgres");
        QSqlQuery ins = db.query(QStringLiteral(
            "insert into izdel (id, name, proizvod, d_vup, seria, nomer, curstate, otdel, d_pred, form, info, resurs) "
            "values (1, 'HP LaserJet 1', 'принтер', '2003-09-21 10:11:12.345', 'В-1', '123', 1, 11, null, 'A4', "
            "E'заправлен\\r\\nдважды', '5000'), "
            "(2, 'Лексмарк', 'сканер', '1899-12-30', null, '', 2, null, '2004-01-01', 'A3', null, null), "
            "(3, 'a\\b \"q\"', null, null, '🙂', null, null, 12, null, null, '', ''), "
            "(4, '', 'ксерокс', '2003-03-30 02:30', 'x', 'y', 3, 13, '9999-12-31 23:59:59.999', 'др.', 'ё', '1'), "
            "(5, 'Z', 'принтер', '0001-01-01', 'В-2', '7', 4, 14, null, 'A0', null, '0'), "
            "(6, 'z', null, '2003-09-21 10:11:12', null, null, 5, 15, null, null, null, null)"));
        QVERIFY(!ins.lastError().isValid());
        qint64 read = 0, all = 0;
        compareWithDriver(db.module()->connection(), db.module()->backend(), sql, read, all);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(read, direct ? std::max(all - 2, qint64(0)) : qint64(0));
    }

    // A read the server stops with an error, before and after the rows libpq reads: the
    // same message as the driver's, and the connection usable at once (in a transaction,
    // after it is rolled back).
    void serverErrorDuringTheRead_data()
    {
        QTest::addColumn<int>("failingRow");
        QTest::addColumn<bool>("inTransaction");
        for (bool tx : {false, true}) {
            QTest::addRow("second row%s", tx ? ", in a transaction" : "") << 2 << tx;
            QTest::addRow("third row%s", tx ? ", in a transaction" : "") << 3 << tx;
            QTest::addRow("row 3000%s", tx ? ", in a transaction" : "") << 3000 << tx;
        }
    }

    void serverErrorDuringTheRead()
    {
        QFETCH(int, failingRow);
        QFETCH(bool, inTransaction);
        TAVRELL_TEST_DB_ON(db, "postgres");
        QSqlDatabase conn = db.module()->connection();
        const QString sql =
            QStringLiteral("select g, 'строка ' || g, 1 / (%1 - g) from generate_series(1, 5000) g").arg(failingRow);
        QString messages[2];
        size_t counts[2] = {0, 0};
        for (int way = 0; way < 2; ++way) {
            if (inTransaction)
                QVERIFY(conn.transaction());
            QSqlQuery q(conn);
            q.setForwardOnly(true);
            QVERIFY(q.exec(sql));
            std::vector<QVector<QVariant>> rows;
            const QVector<Backend::ReadColumn> columns = {{0, false}, {1, false}, {2, false}};
            messages[way] = readError([&] {
                if (way == 0)
                    Backend::readRowsByDriver(q, columns, rows);
                else
                    db.module()->backend().readRows(q, columns, rows);
            });
            counts[way] = rows.size();
            QVERIFY(!q.isActive());
            if (inTransaction)
                QVERIFY(conn.rollback());
            // The connection goes on: a statement, and a dataset over a table.
            QCOMPARE(db.scalar(QStringLiteral("select 7")).toInt(), 7);
            TDataSet ds;
            ds.setTableName(QStringLiteral("states"));
            ds.Open();
            QVERIFY(ds.RecordCount() > 0);
        }
        QVERIFY2(messages[0].contains(QStringLiteral("division by zero")), qPrintable(messages[0]));
        QCOMPARE(messages[1], messages[0]);
        QCOMPARE(counts[1], counts[0]);
    }

    // Another statement run on the connection after the one being read: the driver has
    // dropped the rest of the first one's rows, and the results the connection holds now
    // are another's, which no read of the first may take.
    void serverAnotherStatementInBetween_data()
    {
        QTest::addColumn<bool>("otherPending");
        QTest::newRow("the other one read to its end") << false;
        QTest::newRow("the other one still being read") << true;
    }

    void serverAnotherStatementInBetween()
    {
        QFETCH(bool, otherPending);
        TAVRELL_TEST_DB_ON(db, "postgres");
        QSqlDatabase conn = db.module()->connection();
        const QString first = QStringLiteral("select g from generate_series(1, 50) g");
        const QString second = QStringLiteral("select -g from generate_series(1, 70) g");
        QString messages[2];
        size_t counts[2] = {0, 0};
        // The driver says so, either way.
        for (int way = 0; way < 2; ++way)
            QTest::ignoreMessage(QtWarningMsg, "QPSQLDriver::getResult: Query results lost - probably discarded on "
                                               "executing another SQL query.");
        for (int way = 0; way < 2; ++way) {
            QSqlQuery q(conn), other(conn);
            q.setForwardOnly(true);
            other.setForwardOnly(true);
            QVERIFY(q.exec(first));
            QVERIFY(other.exec(second));
            if (!otherPending)
                while (other.next()) {
                }
            std::vector<QVector<QVariant>> rows;
            messages[way] = readError([&] {
                if (way == 0)
                    Backend::readRowsByDriver(q, {{0, false}}, rows);
                else
                    db.module()->backend().readRows(q, {{0, false}}, rows);
            });
            counts[way] = rows.size();
            if (otherPending) {
                int n = 0;
                while (other.next())
                    QCOMPARE(other.value(0).toInt(), -++n);
                QCOMPARE(n, 70);
                QVERIFY(!other.lastError().isValid());
            }
            QCOMPARE(db.scalar(QStringLiteral("select 7")).toInt(), 7);
        }
        QCOMPARE(messages[1], messages[0]);
        QCOMPARE(counts[1], counts[0]);
    }
};

QTEST_MAIN(TestReadRows)
#include "tst_readrows.moc"
