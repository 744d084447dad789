// A day whose local midnight does not exist (daylight saving starting at midnight, as in
// Chile on 11.09.2022) is a day like any other: a new repair and a new request take it as
// their date, and the consumption report of that day lists its resources.
#include "RepairsTest.h"
#include "core/DayTime.h"
#include "db/DBNavigator.h"
#include "repairs/oper.h"
#include "repairs/rashrep.h"
#include "repairs/zajaw.h"

#include <QDateEdit>
#include <QSqlError>
#include <QtTest>

using namespace RepairsTest;

namespace {

constexpr const char *Zone = "America/Santiago";
const QDate GapDay(2022, 9, 11);

// The date a column holds, as the backend reads it.
QDateTime stored(const TestDb &db, const QString &sql) { return dm->backend().dateTimeFromDb(db.scalar(sql)); }

}  // namespace

class TestGapDay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void newRepairAndRequest_data() { addBackendCases(); }
    void newRepairAndRequest();
    void consumptionReport_data() { addBackendCases(); }
    void consumptionReport();
};

void TestGapDay::newRepairAndRequest()
{
    const LocalTimeZone zone(Zone);
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(GapDay, QTime(10, 20, 30)));

    {
        TFrmOper frm;
        frm.DBNavigator1->BtnClick(DBNavigator::Insert);
        QCOMPARE(frm.TblRem->FieldByName(QStringLiteral("Nach_rem"))->AsString(), QStringLiteral("11.09.2022"));
        frm.DBNavigator1->BtnClick(DBNavigator::Post);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
        const int id = frm.TblRem->FieldByName(QStringLiteral("id"))->AsInteger();
        QCOMPARE(stored(db, QStringLiteral("select Nach_rem from remont where id = %1").arg(id)), DayTime::of(GapDay));
        // Read back from the database, the day is the same.
        frm.TblRem->Close();
        frm.TblRem->Open();
        QVERIFY(frm.TblRem->Locate(QStringLiteral("id"), id));
        QCOMPARE(frm.TblRem->FieldByName(QStringLiteral("Nach_rem"))->AsString(), QStringLiteral("11.09.2022"));
        // ... and changed and posted again, it is still the row this copy read.
        frm.TblRem->Edit();
        frm.TblRem->FieldByName(QStringLiteral("Prichina"))->setText(QStringLiteral("не печатает"));
        frm.TblRem->Post();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    }
    {
        TFrmZajaw frm;
        frm.DBNavigator1->BtnClick(DBNavigator::Insert);
        QCOMPARE(dm->Tblzajav->FieldByName(QStringLiteral("Data"))->AsString(), QStringLiteral("11.09.2022"));
        dm->Tblzajav->FieldByName(QStringLiteral("Opis"))->setText(QStringLiteral("замятие"));
        frm.DBNavigator1->BtnClick(DBNavigator::Post);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
        QCOMPARE(stored(db, QStringLiteral("select Data from zajav where Opis = 'замятие'")), DayTime::of(GapDay));
        // A date typed for that day, and one at a time of day the local clock skipped.
        frm.DBNavigator1->BtnClick(DBNavigator::Edit);
        dm->Tblzajav->FieldByName(QStringLiteral("Data"))->setText(QStringLiteral("11.09.2022 0:30"));
        frm.DBNavigator1->BtnClick(DBNavigator::Post);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
        QCOMPARE(stored(db, QStringLiteral("select Data from zajav where Opis = 'замятие'")),
                 DayTime::of(GapDay, QTime(0, 30)));
    }
}

void TestGapDay::consumptionReport()
{
    const LocalTimeZone zone(Zone);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(GapDay, QTime(9, 0)));
    QSqlQuery q(dm->connection());
    q.prepare(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Nach_rem) values (500, 11, 101, ?)"));
    q.addBindValue(dm->backend().toDb(DayTime::of(GapDay)));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    db.query(QStringLiteral("insert into rem_res (rem_id, res_id, cnt) values (500, 100, 3)"));
    const QString name = db.scalar(QStringLiteral("select Name from resurs where id = 100")).toString();
    QVERIFY(!name.isEmpty());

    TFrmRashRep frm;
    // Opened on that day: the month up to it; then the day alone.
    for (const QDate &first : {GapDay.addMonths(-1), GapDay}) {
        frm.d0->setDate(first);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
        QVERIFY(frm.qry->Active());
        QCOMPARE(frm.qry->RecordCount(), 1);
        QCOMPARE(frm.qry->FieldByName(QStringLiteral("Name"))->AsString(), name);
        QCOMPARE(frm.qry->FieldByName(QStringLiteral("summ"))->AsFloat(), 3.0);
    }
    QCOMPARE(frm.d1->date(), GapDay);
}

QTEST_MAIN(TestGapDay)
#include "tst_gapday.moc"
