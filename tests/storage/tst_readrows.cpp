// The rows a dataset reads come through the backend's own read loop: on the embedded
// database straight from SQLite, on the shared server from the driver. Either must give
// every value exactly as the driver's own loop does (type, null, text), so that nothing
// after the read can tell them apart.
#include "TestSupport.h"
#include "core/Errors.h"
#include "db/TDataSet.h"
#include "storage/Backend.h"

#include <QSqlRecord>
#include <QtTest>

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
    return QStringLiteral("%1%2 %3")
        .arg(QLatin1String(v.metaType().name() ? v.metaType().name() : "invalid"),
             v.isNull() ? QStringLiteral(" (null)") : QString(), v.toString());
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
                                          .arg(r).arg(columns[c]).arg(describe(a), describe(e))));
        }
}

class TestReadRows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Backend::setDatabaseName(QStringLiteral("org_tech")); }

    // Every kind of value a column may hold, columns read in another order and twice, and
    // the results of no row, one row and many rows.
    void sameValuesAsTheDriver_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("where");
        for (const char *b : {"sqlite", "postgres"}) {
            QTest::addRow("%s: every row", b) << b << "";
            QTest::addRow("%s: one row", b) << b << "where id = 3";
            QTest::addRow("%s: no row", b) << b << "where id < 0";
        }
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
        }
        const QString sql = QStringLiteral("select * from kinds %1 order by id").arg(where);
        const QVector<int> columns = {5, 0, 3, 1, 2, 4, 3};
        compareWithDriver(db, sql, columns);
    }

    // Thousands of rows: texts that recur in a column and texts that mostly differ, long
    // and short, in the same read.
    void manyRowsSameAsTheDriver_data() { TestDb::addBackendRows(); }

    void manyRowsSameAsTheDriver()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("create table texts (id integer primary key, few varchar(70), most varchar(70), "
                                "halves varchar(70))"));
        QSqlDatabase c = db.module()->connection();
        c.transaction();
        QSqlQuery ins(c);
        ins.prepare(QStringLiteral("insert into texts values (?, ?, ?, ?)"));
        const QString longText = QStringLiteral("Очень длинная причина ремонта, которая не помещается в короткий текст");
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
        QCOMPARE(db.scalar(QStringLiteral("select note from days where id = 2")).toString(), QStringLiteral("записано"));
        QCOMPARE(db.scalar(QStringLiteral("select d from days where id = 2")).toString(), text);
    }

    // A dataset over a list longer than one read of the driver's: every row, in order, and
    // its edits posted as before.
    void datasetReadsEveryRow_data() { TestDb::addBackendRows(); }

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
};

QTEST_MAIN(TestReadRows)
#include "tst_readrows.moc"
