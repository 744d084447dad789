// What another copy changes reaches this one, on both backends: within the two seconds a
// user may wait, each row once with its last change, and never this copy's own changes, even
// when they come between the other copy's.
#include "Colleague.h"
#include "LoggedIn.h"
#include "TestSupport.h"
#include "db/TDataSet.h"
#include "storage/ChangeFeed.h"
#include "storage/History.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

Q_DECLARE_METATYPE(RowChange)

namespace {

QStringList texts(const QList<RowChange> &changes)
{
    QStringList out;
    for (const RowChange &c : changes)
        out << QStringLiteral("%1 %2 %3").arg(c.table, QString(QLatin1Char(c.action)), c.key);
    return out;
}

// What arrived, each batch's changes in one list; waits up to two seconds for the first.
QStringList arrivedWithin2s(QSignalSpy &spy)
{
    if (spy.isEmpty())
        spy.wait(2000);
    // Whatever else is on its way.
    QTest::qWait(100);
    QStringList out;
    for (const QList<QVariant> &call : spy)
        out << texts(call.at(0).value<QList<RowChange>>());
    spy.clear();
    return out;
}

}  // namespace

class TestChangeFeed : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<QList<RowChange>>();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void otherSeatsChangesArrive_data() { addBackendCases(); }
    void otherSeatsChangesArrive();
    void ownChangesNeverArrive_data() { addBackendCases(); }
    void ownChangesNeverArrive();
};

void TestChangeFeed::otherSeatsChangesArrive()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("A", 1).scoped();
    OtherSeat seatB(db);
    QVERIFY2(seatB.error().isEmpty(), qPrintable(seatB.error()));
    const std::unique_ptr<ChangeFeed> feed = dm->backend().watchChanges();
    QSignalSpy spy(feed.get(), &ChangeFeed::arrived);

    COLLEAGUE_RUNS(seatB, QStringLiteral("update otdel set name = 'Плановый отдел' where id = 13"));
    QCOMPARE(arrivedWithin2s(spy), QStringList{QStringLiteral("otdel U 13")});

    // A new row changed again before anyone looked, and a resource line of a repair (its key
    // is two columns'): each row once, with its last change.
    COLLEAGUE_RUNS(seatB, QStringLiteral("insert into otdel (id, name) values (50, 'Новый')"));
    COLLEAGUE_RUNS(seatB, QStringLiteral("update otdel set name = 'Новый отдел' where id = 50"));
    COLLEAGUE_RUNS(seatB, QStringLiteral("update rem_res set cnt = 3 where rem_id = 200 and res_id = 100"));
    feed->poll();
    QCOMPARE(arrivedWithin2s(spy), (QStringList{QStringLiteral("otdel U 50"), QStringLiteral("rem_res U 200/100")}));

    COLLEAGUE_RUNS(seatB, QStringLiteral("delete from otdel where id = 50"));
    QCOMPARE(arrivedWithin2s(spy), QStringList{QStringLiteral("otdel D 50")});
    // Nothing more without a change.
    feed->poll();
    QCOMPARE(arrivedWithin2s(spy), QStringList());
}

void TestChangeFeed::ownChangesNeverArrive()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("A", 1).scoped();
    OtherSeat seatB(db);
    QVERIFY2(seatB.error().isEmpty(), qPrintable(seatB.error()));
    const std::unique_ptr<ChangeFeed> feed = dm->backend().watchChanges();
    QSignalSpy spy(feed.get(), &ChangeFeed::arrived);

    // This copy's change alone, then one of each between the other's.
    TDataSet *t = dm->TblOtdel;
    t->Open();
    QVERIFY(t->Locate("id", 12));
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Экономический отдел"));
    t->Post();
    feed->poll();
    QCOMPARE(arrivedWithin2s(spy), QStringList());

    COLLEAGUE_RUNS(seatB, QStringLiteral("update otdel set name = 'Техотдел' where id = 14"));
    QVERIFY(t->Locate("id", 11));
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Администрация"));
    t->Post();
    COLLEAGUE_RUNS(seatB, QStringLiteral("update otdel set name = 'Издательство' where id = 15"));
    feed->poll();
    QCOMPARE(arrivedWithin2s(spy), (QStringList{QStringLiteral("otdel U 14"), QStringLiteral("otdel U 15")}));
}

QTEST_MAIN(TestChangeFeed)
#include "tst_changefeed.moc"
