// Rows come in one order on both backends: a table without a declared order in its primary
// key's, also after the shared server moved a changed row; nulls first in ascending order
// and last in descending.
#include "TestSupport.h"
#include "db/TDataSet.h"

#include <QtTest>

namespace {

QList<int> ids(TDataSet &ds, const QString &key = QStringLiteral("id"))
{
    QList<int> out;
    const TField *f = ds.FieldByName(key);
    for (int p = 0; p < ds.RecordCount(); ++p)
        out << f->valueAt(ds.rowIndexAt(p)).toInt();
    return out;
}

}  // namespace

class TestRowOrder : public QObject {
    Q_OBJECT
private slots:
    void tableInKeyOrder_data() { addBackendCases(); }
    void tableInKeyOrder();
    void nullsFirst_data();
    void nullsFirst();
};

void TestRowOrder::tableInKeyOrder()
{
    TAVRELL_TEST_DB(db);
    TDataSet otdel;
    otdel.setTableName(QStringLiteral("otdel"));
    otdel.Open();
    const QList<int> before = ids(otdel);
    QVERIFY(before.size() > 2);
    QList<int> sorted = before;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(before, sorted);
    otdel.Close();
    // Changed rows: the shared server writes them anew at its table's end.
    db.query(QStringLiteral("update otdel set Name = Name || '!' where id = %1").arg(before.first()));
    db.query(QStringLiteral("update otdel set Name = Name || '!' where id = %1").arg(before.at(1)));
    otdel.Open();
    QCOMPARE(ids(otdel), before);
}

void TestRowOrder::nullsFirst_data()
{
    addBackendColumn();
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QList<int>>("order");
    addBackendCase("ascending", [&](QTestData &r) { r << false << QList<int>{301, 303, 302}; });
    addBackendCase("descending", [&](QTestData &r) { r << true << QList<int>{302, 303, 301}; });
}

void TestRowOrder::nullsFirst()
{
    TAVRELL_TEST_DB(db);
    QFETCH(bool, descending);
    QFETCH(QList<int>, order);
    db.query(QStringLiteral("delete from remont"));
    db.query(QStringLiteral("insert into remont (id, Nach_rem) values (302, '2024-03-02 00:00:00')"));
    db.query(QStringLiteral("insert into remont (id, Nach_rem) values (301, Null)"));
    db.query(QStringLiteral("insert into remont (id, Nach_rem) values (303, '2024-03-01 00:00:00')"));
    TDataSet rem;
    rem.setSQL(QStringLiteral("select id, Nach_rem from remont order by ") +
               TDataSet::orderTerm(QStringLiteral("Nach_rem"), descending));
    rem.Open();
    QCOMPARE(ids(rem), order);
    // A table read in a declared order.
    if (!descending) {
        TDataSet table;
        table.setTableName(QStringLiteral("remont"));
        table.setOrderBy(QStringLiteral("Nach_rem"));
        table.Open();
        QCOMPARE(ids(table), order);
    }
}

QTEST_MAIN(TestRowOrder)
#include "tst_roworder.moc"
