// The history of changes on both backends: an insert, a change and a delete leave a row per
// column touched with the values before and after, who and when; a post that is refused
// leaves nothing; a password is recorded as changed, never its value; a database an older
// version made gets the history at start; the embedded file stays writable for other tools.
#include "Colleague.h"
#include "LoggedIn.h"
#include "TestSupport.h"
#include "db/TDataSet.h"

#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtTest>
#include <algorithm>

namespace {

// The history of one row as "action field: was -> became" (null as "-"), oldest change first;
// the columns of one change (its rows share the time and the action) by name, since the
// embedded database's triggers of one change fire in no set order.
QStringList historyOf(TestDb &db, const QString &table, const QString &key)
{
    QSqlQuery q = db.query(QStringLiteral("select dt, action, field, was, became from history "
                                          "where tblname = '%1' and rowkey = '%2' order by id")
                               .arg(table, key));
    QStringList rows;
    auto text = [](const QVariant &v) { return v.isNull() ? QStringLiteral("-") : v.toString(); };
    QString change;
    qsizetype changeStart = 0;
    while (q.next()) {
        const QString thisChange = q.value(0).toString() + q.value(1).toString();
        if (thisChange != change) {
            std::sort(rows.begin() + changeStart, rows.end());
            changeStart = rows.size();
            change = thisChange;
        }
        rows << QStringLiteral("%1 %2: %3 -> %4")
                    .arg(q.value(1).toString().trimmed(), q.value(2).toString(), text(q.value(3)), text(q.value(4)));
    }
    std::sort(rows.begin() + changeStart, rows.end());
    return rows;
}

int historyRows(TestDb &db) { return db.scalar(QStringLiteral("select count(*) from history")).toInt(); }

}  // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void insertChangeDelete_data() { addBackendCases(); }
    void insertChangeDelete();
    void compositeKeyAndOnlyTouchedColumns_data() { addBackendCases(); }
    void compositeKeyAndOnlyTouchedColumns();
    void refusedPostRecordsNothing_data();
    void refusedPostRecordsNothing();
    void passwordNeverRecorded_data() { addBackendCases(); }
    void passwordNeverRecorded();
    void olderDatabaseGetsTheHistory_data() { addBackendCases(); }
    void olderDatabaseGetsTheHistory();
    void fileStaysWritableForTheShell();
};

void TestHistory::insertChangeDelete()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("A", 3).scoped();
    TDataSet *t = dm->TblOtdel;
    t->Open();
    QCOMPARE(historyRows(db), 0);  // the seed rows are nobody's change

    t->Append();
    const int id = t->FieldByName("id")->AsInteger();
    t->FieldByName("Name")->setText(QStringLiteral("Юридический"));
    t->Post();
    t->Edit();
    // A change of letter case is a change.
    t->FieldByName("Name")->setText(QStringLiteral("юридический"));
    t->Post();
    t->Delete();

    const QString key = QString::number(id);
    QCOMPARE(historyOf(db, "otdel", key), (QStringList{
                                              QStringLiteral("I id: - -> %1").arg(id),
                                              QStringLiteral("I name: - -> Юридический"),
                                              QStringLiteral("U name: Юридический -> юридический"),
                                              QStringLiteral("D id: %1 -> -").arg(id),
                                              QStringLiteral("D name: юридический -> -"),
                                          }));
    QCOMPARE(db.scalar(QStringLiteral("select count(distinct usr) from history")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select min(usr) from history")).toInt(), 3);
    // When: by the database's clock, now.
    const QDateTime when = dm->backend().dateTimeFromDb(db.scalar(QStringLiteral("select max(dt) from history")));
    QVERIFY2(qAbs(when.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(when.toString(Qt::ISODate)));
}

void TestHistory::compositeKeyAndOnlyTouchedColumns()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R", 4).scoped();
    // A resource line of repair 200: its key is the repair's and the resource's.
    TDataSet lines;
    lines.setTableName(QStringLiteral("rem_res"));
    lines.Open();
    QVERIFY(lines.Locate("res_id", 103));
    lines.Edit();
    lines.FieldByName("cnt")->setValue(2.5);
    lines.Post();
    QCOMPARE(historyOf(db, "rem_res", "200/103"), QStringList{QStringLiteral("U cnt: 1 -> 2.5")});

    // An item changed in two of its columns, a date among them: the others are not recorded;
    // posting with nothing changed records nothing.
    std::unique_ptr<TDataSet> items = TestDb::itemTable();
    items->Open();
    QVERIFY(items->Locate("id", 104));
    items->Edit();
    items->FieldByName("Nomer")->setText(QStringLiteral("777"));
    items->FieldByName("D_vup")->setValue(QDateTime(QDate(2002, 3, 4), QTime(0, 0)));
    items->Post();
    items->Edit();
    items->Post();
    const QStringList item = historyOf(db, "izdel", "104");
    QCOMPARE(item.size(), 2);
    QVERIFY2(item.at(0).startsWith(QLatin1String("U d_vup: 2001-09-15")), qPrintable(item.at(0)));
    QVERIFY2(item.at(0).contains(QLatin1String("-> 2002-03-04")), qPrintable(item.at(0)));
    QCOMPARE(item.at(1), QStringLiteral("U nomer: 12345 -> 777"));
}

void TestHistory::refusedPostRecordsNothing_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("how");
    addBackendCase("key taken", [](QTestData &r) { r << QStringLiteral("key"); });
    // Its cascade reaches an item that has requests: nothing of it is kept, nor recorded.
    addBackendCase("delete refused by its cascade", [](QTestData &r) { r << QStringLiteral("cascade"); });
    addBackendCase("colleague changed the field", [](QTestData &r) { r << QStringLiteral("conflict"); });
}

void TestHistory::refusedPostRecordsNothing()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, how);
    const auto user = LoggedIn::as("A", 1).scoped();
    Colleague other(db);
    QVERIFY2(other.error().isEmpty(), qPrintable(other.error()));
    TDataSet *t = dm->TblOtdel;
    t->Open();
    const int before = historyRows(db);
    if (how == QLatin1String("key")) {
        t->Append();
        t->FieldByName("id")->setValue(11);
        t->FieldByName("Name")->setText(QStringLiteral("Дубль"));
    } else if (how == QLatin1String("conflict")) {
        QVERIFY(t->Locate("id", 12));
        t->Edit();
        t->FieldByName("Name")->setText(QStringLiteral("Мой"));
        COLLEAGUE_RUNS(other, QStringLiteral("update otdel set name = 'Чужой' where id = 12"));
    }
    // The colleague's own change (on the shared server, where every connection records).
    const int colleagues = historyRows(db) - before;
    if (how == QLatin1String("cascade")) {
        QVERIFY(t->Locate("id", 13));
        QVERIFY_THROWS_EXCEPTION(TavrellError, t->Delete());
    } else {
        QVERIFY_THROWS_EXCEPTION(TavrellError, t->Post());
        t->Cancel();
    }
    QCOMPARE(historyRows(db) - before, colleagues);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from history where usr = 1")).toInt(), 0);
}

void TestHistory::passwordNeverRecorded()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("A", 1).scoped();
    // The user's own change through the procedure, and an administrator's in the users' table.
    const QDateTime now = QDateTime::currentDateTime();
    dm->changePassword(2, now, QStringLiteral("тайна1"));
    TDataSet *u = dm->TblUsers;
    u->Open();
    QVERIFY(u->Locate("id", 3));
    u->Edit();
    u->FieldByName("passw")->setText(QStringLiteral("тайна2"));
    u->FieldByName("tp")->setText(QStringLiteral("R"));
    u->Post();
    // A login stamps the user's last entry: the user log has it, the history does not. (The
    // log's key is its time: a second later than the change's row there.)
    QVERIFY(dm->login(QStringLiteral("R"), QStringLiteral("r"), now.addSecs(1)).userId > 0);

    QCOMPARE(historyOf(db, "users", "2"), QStringList{QStringLiteral("U passw: - -> -")});
    QCOMPARE(historyOf(db, "users", "3"),
             (QStringList{QStringLiteral("U passw: - -> -"), QStringLiteral("U tp: D -> R")}));
    QCOMPARE(historyOf(db, "users", "4"), QStringList());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from history where was like '%тайна%' or became like '%тайна%'"))
                 .toInt(),
             0);
}

void TestHistory::olderDatabaseGetsTheHistory()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("A", 1).scoped();
    // As an earlier version left it: no table (and on the server no triggers).
    if (db.isPostgres())
        db.query(QStringLiteral("do $$ declare f text; begin "
                                "for f in select proname from pg_proc where proname like 'history\\_%' loop "
                                "execute 'drop function ' || f || '() cascade'; end loop; end $$"));
    db.query(QStringLiteral("drop table history"));
    TDataSet *t = dm->TblStates;
    t->Open();
    QVERIFY(t->Locate("id", 2));
    if (!db.isPostgres()) {
        // The embedded database's triggers are there from the start: a change that cannot be
        // recorded is not made.
        t->Edit();
        t->FieldByName("Name")->setText(QStringLiteral("Нормальное"));
        QVERIFY_THROWS_EXCEPTION(TavrellError, t->Post());
        t->Cancel();
    }
    dm->backend().upgradeTables();
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Нормальное"));
    t->Post();
    QCOMPARE(historyOf(db, "states", "2"), QStringList{QStringLiteral("U name: Хорошее -> Нормальное")});
    // Again at the next start: nothing made twice.
    dm->backend().upgradeTables();
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Хорошее"));
    t->Post();
    QCOMPARE(historyOf(db, "states", "2").size(), 2);
}

void TestHistory::fileStaysWritableForTheShell()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("no sqlite3 shell under CI");
        QSKIP("no sqlite3 shell");
    }
    QProcess p;
    p.start(shell,
            {SqliteBackend::fileFor(Backend::databaseName()),
             QStringLiteral("update otdel set name = 'Плановый отдел' where id = 13; "
                            "pragma integrity_check; select count(*) from sqlite_master where type = 'trigger';")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("ok"), QStringLiteral("0")}));
    QCOMPARE(db.scalar(QStringLiteral("select name from otdel where id = 13")).toString(),
             QStringLiteral("Плановый отдел"));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
