// The consumption report: the opening period, the sums per resource name and unit over the
// repairs begun in the period, recomputing on every date change, the report with the period
// line, a database error while recomputing, a list that cannot be edited, and the main
// window's "Расход материалов".
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "export/MSWord.h"
#include "export/RecordingSink.h"
#include "repairs/rashrep.h"
#include "storage/Backend.h"

#include <QDateEdit>
#include <QLabel>
#include <QLayout>
#include <QSqlError>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

namespace {

// Repairs only as a test adds them; a resource line: "yyyy-MM-dd[ HH:mm];resource;quantity"
// (an empty quantity is a line without one), each line a repair of its own.
void addRepairs(const TestDb &db, const QStringList &lines)
{
    db.query(QStringLiteral("delete from remont"));
    int id = 500;
    for (const QString &line : lines) {
        const QStringList p = line.split(QLatin1Char(';'));
        QDateTime start = QDateTime::fromString(p.at(0), QStringLiteral("yyyy-MM-dd HH:mm"));
        if (!start.isValid())
            start = QDateTime(QDate::fromString(p.at(0), Qt::ISODate), QTime(0, 0));
        QSqlQuery q(dm->connection());
        q.prepare(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Nach_rem) values (?, 11, 101, ?)"));
        q.addBindValue(++id);
        q.addBindValue(dm->backend().toDb(start));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        q.prepare(QStringLiteral("insert into rem_res (rem_id, res_id, cnt) values (?, ?, ?)"));
        q.addBindValue(id);
        q.addBindValue(p.at(1).toInt());
        q.addBindValue(p.at(2).isEmpty() ? QVariant(QMetaType(QMetaType::Double)) : QVariant(p.at(2).toDouble()));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

// The list as "name|unit|sum", sorted (the server's order is its own).
QStringList listed(const TFrmRashRep &frm)
{
    QStringList rows;
    TDataSet *ds = frm.qry;
    if (!ds->Active())
        return rows;
    for (int p = 0; p < ds->RecordCount(); ++p) {
        const int r = ds->rowIndexAt(p);
        rows << QStringLiteral("%1|%2|%3")
                    .arg(ds->FieldByName(QStringLiteral("Name"))->valueAt(r).toString(),
                         ds->FieldByName(QStringLiteral("Ed_izmer"))->valueAt(r).toString(),
                         ds->FieldByName(QStringLiteral("summ"))
                             ->textOf(ds->FieldByName(QStringLiteral("summ"))->valueAt(r)));
    }
    rows.sort(Qt::CaseInsensitive);
    return rows;
}

void setPeriod(TFrmRashRep &frm, const QDate &first, const QDate &last)
{
    frm.d0->setDate(first);
    frm.d1->setDate(last);
}

}  // namespace

class TestRashRep : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup() { TMSWord::setSinkFactory({}); }
    void opening_data();
    void opening();
    void sums_data();
    void sums();
    void report_data() { addBackendCases(); }
    void report();
    void errorWhileRecomputing_data() { addBackendCases(); }
    void errorWhileRecomputing();
    void notEditable();
    void indexForPeriods_data() { addBackendCases(); }
    void indexForPeriods();
    void mainWindowOpensIt();
};

void TestRashRep::opening_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("first");
    QTest::newRow("the same day of last month") << QDate(2024, 5, 18) << QDate(2024, 4, 18);
    QTest::newRow("31 March, leap year") << QDate(2024, 3, 31) << QDate(2024, 2, 29);
    QTest::newRow("31 March") << QDate(2023, 3, 31) << QDate(2023, 2, 28);
    QTest::newRow("15 January") << QDate(2024, 1, 15) << QDate(2023, 12, 15);
    QTest::newRow("31 December") << QDate(2023, 12, 31) << QDate(2023, 11, 30);
}

// On opening the period runs from a calendar month back to today, and the list is filled.
void TestRashRep::opening()
{
    QFETCH(QDate, today);
    QFETCH(QDate, first);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(today, QTime(15, 40, 12)));
    const QString day = QStringLiteral("yyyy-MM-dd");
    addRepairs(db, {first.toString(day) + ";102;1", today.toString(day) + ";102;2",
                    first.addDays(-1).toString(day) + ";102;4", today.addDays(1).toString(day) + ";102;8"});
    TFrmRashRep frm;
    QCOMPARE(frm.d1->date(), today);
    QCOMPARE(frm.d0->date(), first);
    QCOMPARE(TFrmRashRep::monthBefore(today), first);
    QCOMPARE(listed(frm), QStringList{"Картридж|шт.|3"});
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 1 запись(сей)"));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestRashRep::sums_data()
{
    addBackendColumn();
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("resources");  // further resources "id;name;unit"
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<QStringList>("rows");
    const QDate mar1(2024, 3, 1), mar31(2024, 3, 31);
    addBackendCase("1 and 2 units of one resource: one row with 3", [&](QTestData &r) {
        r << QStringList{"2024-03-05;102;1", "2024-03-06;102;2"} << QStringList() << mar1 << mar31
          << QStringList{"Картридж|шт.|3"};
    });
    addBackendCase("begun the day before the first: not counted; on it: counted", [&](QTestData &r) {
        r << QStringList{"2024-02-29;102;1", "2024-03-01;102;2"} << QStringList() << mar1 << mar31
          << QStringList{"Картридж|шт.|2"};
    });
    addBackendCase("the last day at midnight counts, later on it does not", [&](QTestData &r) {
        r << QStringList{"2024-03-31;100;5", "2024-03-31 10:00;100;7", "2024-04-01;100;9"} << QStringList() << mar1
          << mar31 << QStringList{"Поршок для заправки|гр.|5"};
    });
    addBackendCase("first date after the last: no rows", [&](QTestData &r) {
        r << QStringList{"2024-03-05;102;1"} << QStringList() << QDate(2024, 3, 6) << QDate(2024, 3, 4)
          << QStringList();
    });
    addBackendCase("two resources of one name and unit: one row", [&](QTestData &r) {
        r << QStringList{"2024-03-05;102;1", "2024-03-06;120;2.5"} << QStringList{"120;Картридж;шт."} << mar1 << mar31
          << QStringList{"Картридж|шт.|3,5"};
    });
    addBackendCase("names compared as the program compares texts", [&](QTestData &r) {
        r << QStringList{"2024-03-05;102;1", "2024-03-06;121;2"} << QStringList{"121;КАРТРИДЖ;ШТ."} << mar1 << mar31
          << QStringList{"Картридж|шт.|3"};
    });
    addBackendCase("one name, two units: two rows", [&](QTestData &r) {
        r << QStringList{"2024-03-05;102;1", "2024-03-06;122;2"} << QStringList{"122;Картридж;кор."} << mar1 << mar31
          << QStringList{"Картридж|кор.|2", "Картридж|шт.|1"};
    });
    addBackendCase("lines without quantity: left out of the sum, or an empty sum", [&](QTestData &r) {
        r << QStringList{"2024-03-05;101;", "2024-03-06;102;", "2024-03-07;102;4"} << QStringList() << mar1 << mar31
          << QStringList{"Картридж|шт.|4", "Чернила|гр.|"};
    });
}

// The sums per name and unit over the repairs begun in the period, recomputed on each change
// of a date; the count follows.
void TestRashRep::sums()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, resources);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(QStringList, rows);
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2024, 1, 10), QTime(9, 0)));
    for (const QString &r : resources) {
        const QStringList p = r.split(QLatin1Char(';'));
        db.query(
            QStringLiteral("insert into resurs (id, Name, Ed_izmer) values (%1, '%2', '%3')").arg(p[0], p[1], p[2]));
    }
    addRepairs(db, lines);
    TFrmRashRep frm;
    QCOMPARE(listed(frm), QStringList());
    setPeriod(frm, first, last);
    QStringList lower;
    for (const QString &r : listed(frm))
        lower << r.toLower();
    QStringList expected;
    for (const QString &r : rows)
        expected << r.toLower();
    QCOMPARE(lower, expected);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего %1 запись(сей)").arg(rows.size()));
    QVERIFY(dialogs.messages.isEmpty());
}

// The report: the caption, then the period centred below it, then the numbered table.
void TestRashRep::report()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2024, 3, 31), QTime(9, 0)));
    addRepairs(db, {"2024-03-05;102;1", "2024-03-06;100;2"});
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    TFrmRashRep frm;
    frm.d0->setDate(QDate(2024, 3, 1));
    frm.BtnRep->click();
    using C = RecordingSink::Command;
    QVERIFY(sink->commands.size() > 10);
    QCOMPARE(sink->commands.mid(2, 7), (QList<C>{{"CenterPara", {}},
                                                 {"Insert", {QStringLiteral("Сумма израсходованных средств\r")}},
                                                 {"LeftPara", {}},
                                                 {"CenterPara", {}},
                                                 {"Insert", {QStringLiteral("На период с 01.03.2024 по 31.03.2024\r")}},
                                                 {"LeftPara", {}},
                                                 {"TableInsertTable", {0, 4, 2, 50, 0, 16}}}));
    QCOMPARE(sink->commands.count(C{"TableInsertRow", {}}), 2);
    QVERIFY(sink->commands.contains(C{"Insert", {QStringLiteral("Израсходовано")}}));
    QCOMPARE(sink->commands.last().name, QStringLiteral("AppShow"));
    QVERIFY(dialogs.messages.isEmpty());

    TMSWord::setSinkFactory([] { return std::shared_ptr<DocumentSink>(); });
    frm.BtnRep->click();
    QCOMPARE(dialogs.texts(), QStringList{"Не могу открыть msWord"});
}

// A database error while recomputing: the general error display, an empty list, and the next
// change of a date tries again.
void TestRashRep::errorWhileRecomputing()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2024, 3, 31), QTime(9, 0)));
    addRepairs(db, {"2024-03-05;102;1"});
    TFrmRashRep frm;
    frm.show();
    QCOMPARE(listed(frm), QStringList{"Картридж|шт.|1"});
    db.query(QStringLiteral("alter table rem_res rename to rem_res_away"));
    frm.d0->setDate(QDate(2024, 3, 2));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY(!frm.qry->Active());
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
    QCOMPARE(frm.grid->model()->rowCount(), 0);
    QVERIFY(frm.isVisible());
    db.query(QStringLiteral("alter table rem_res_away rename to rem_res"));
    frm.d0->setDate(QDate(2024, 3, 1));
    QCOMPARE(listed(frm), QStringList{"Картридж|шт.|1"});
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 1 запись(сей)"));
    QCOMPARE(dialogs.messages.size(), 1);
}

// The rows are sums: nothing is inserted, changed or deleted; the tool bar has its two rows.
void TestRashRep::notEditable()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2024, 3, 31), QTime(9, 0)));
    addRepairs(db, {"2024-03-05;102;1"});
    {
        TFrmRashRep frm;
        QCOMPARE(frm.objectName(), QStringLiteral("FrmRashRep"));
        QCOMPARE(frm.windowTitle(), QStringLiteral("Сумма израсходованных средств"));
        QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Название", "Ед. изм.", "Израсходовано"}));
        QCOMPARE(frm.layout()->indexOf(frm.Panel2), 1);
        QStringList second;
        for (int i = 0; i < frm.Panel2->layout()->count(); ++i) {
            QWidget *w = frm.Panel2->layout()->itemAt(i)->widget();
            if (auto *l = qobject_cast<QLabel *>(w))
                second << l->text();
            else if (w)
                second << w->objectName();
        }
        QCOMPARE(second, (QStringList{"C", "d0", "По", "d1"}));
        QVERIFY(!frm.DBNavigator1->isButtonVisible(DBNavigator::Refresh));
        for (DBNavigator::Button b : {DBNavigator::Insert, DBNavigator::Delete, DBNavigator::Edit})
            QVERIFY(!frm.DBNavigator1->button(b)->isEnabled());
        QVERIFY(!(frm.grid->model()->flags(frm.grid->model()->index(0, 2)) & Qt::ItemIsEditable));
        QTest::keyClick(frm.grid, Qt::Key_Insert);
        QCOMPARE(frm.qry->RecordCount(), 1);
        QCOMPARE(frm.qry->State(), DataSetState::Browse);
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from rem_res")).toInt(), 1);
}

// The repairs of a period are found by an index: made with every new database, and added
// to a database made before it when the program starts on it.
void TestRashRep::indexForPeriods()
{
    TAVRELL_TEST_DB(db);
    const QString exists =
        db.isPostgres()
            ? QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname = 'remont_nach'")
            : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'remont_nach'");
    QCOMPARE(db.scalar(exists).toInt(), 1);
    db.query(QStringLiteral("DROP INDEX remont_nach"));
    QCOMPARE(db.scalar(exists).toInt(), 0);
    TAVRELL_PROGRAM(dialogs, db);
    QCOMPARE(db.scalar(exists).toInt(), 1);
    // Starting again changes nothing and says nothing.
    TAVRELL_PROGRAM(again, db);
    QCOMPARE(db.scalar(exists).toInt(), 1);
}

// "Расход материалов" opens the window modally for every type.
void TestRashRep::mainWindowOpensIt()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    for (const char *type : {"A", "D", "P", "R"}) {
        TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
        QString seen;
        dialogs.dialogs.enqueue([&](QDialog &d) {
            if (auto *frm = qobject_cast<TFrmRashRep *>(&d))
                seen = frm->statusText();
            return int(QDialog::Accepted);
        });
        QVERIFY(w.RepRashPerPeriod->isEnabled());
        w.RepRashPerPeriod->trigger();
        QCOMPARE(dialogs.execLog, QStringList{"FrmRashRep"});
        QVERIFY2(seen.startsWith(QStringLiteral("Всего ")), type);
    }
}

QTEST_MAIN(TestRashRep)
#include "tst_rashrep.moc"
