// The client-side dataset on a freshly created database, on both backends: new-record
// keys, posting, cancelling, deleting with cascades, refused operations, filters, locate,
// lookups, fixed-width text and date-times.
#include "TestSupport.h"
#include "core/DayTime.h"
#include "db/TDataSet.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QtTest>

class TestDataSet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void newRecordKeys_data() { addBackendCases(); }
    void newRecordKeys();
    void newRecordHandlerErrorCancelsInsertion_data() { addBackendCases(); }
    void newRecordHandlerErrorCancelsInsertion();
    void postCancelEdit_data() { addBackendCases(); }
    void postCancelEdit();
    void deleteCascades_data() { addBackendCases(); }
    void deleteCascades();
    void refusedDeleteChangesNothing_data() { addBackendCases(); }
    void refusedDeleteChangesNothing();
    void refusedPostStaysInEditing_data() { addBackendCases(); }
    void refusedPostStaysInEditing();
    void movingOffChangedRowPosts_data() { addBackendCases(); }
    void movingOffChangedRowPosts();
    void tooLongTextRefused_data();
    void tooLongTextRefused();
    void filters_data();
    void filters();
    void filterOnKeyAndBadFilter_data() { addBackendCases(); }
    void filterOnKeyAndBadFilter();
    void locate_data();
    void locate();
    void locateFollowsChanges();
    void lookupThroughLookupFollowsKey_data() { addBackendCases(); }
    void lookupThroughLookupFollowsKey();
    void fixedCharPaddedAndFieldNames_data() { addBackendCases(); }
    void fixedCharPaddedAndFieldNames();
    void dateTimesRoundTrip_data() { addBackendCases(); }
    void dateTimesRoundTrip();
    void userTypeSetText_data();
    void userTypeSetText();
    void cursorAndRequery_data() { addBackendCases(); }
    void cursorAndRequery();
    void readOnlyDataSet_data() { addBackendCases(); }
    void readOnlyDataSet();
    void openGridHoldsNoLock();
    void queryWithParameters_data() { addBackendCases(); }
    void queryWithParameters();
};

namespace {

// A repairs dataset as the repair history declares it: its department comes through the
// item's own department lookup.
std::unique_ptr<TDataSet> repairs()
{
    auto ds = std::make_unique<TDataSet>();
    ds->setTableName(QStringLiteral("remont"));
    ds->addField(QStringLiteral("Nach_rem"), FieldType::DateTime);
    ds->addLookupField(QStringLiteral("Изделие"), QStringLiteral("Kod_izd"), dm->TblIsdel, QStringLiteral("id"),
                       QStringLiteral("Name"));
    ds->addLookupField(QStringLiteral("Отдел"), QStringLiteral("Kod_izd"), dm->TblIsdel, QStringLiteral("id"),
                       QStringLiteral("Отдел"));
    ds->addField(QStringLiteral("Prichina"), FieldType::String, 30);
    ds->addField(QStringLiteral("id"), FieldType::Integer);
    ds->addField(QStringLiteral("Kod_vida"), FieldType::Integer);
    ds->addField(QStringLiteral("Kod_izd"), FieldType::Integer);
    return ds;
}

int count(TestDb &db, const QString &sql) { return db.scalar(sql).toInt(); }

}  // namespace

void TestDataSet::newRecordKeys()
{
    TAVRELL_TEST_DB(db);
    FixedClock clock(DayTime::of(QDate(2024, 3, 5), QTime(14, 25, 7)));
    TDataSet *t = dm->TblOtdel;
    t->Open();
    QCOMPARE(t->RecordCount(), 5);

    // The key is there the moment the record starts, before anything is typed.
    t->Append();
    QCOMPARE(t->State(), DataSetState::Insert);
    QCOMPARE(t->FieldByName("id")->AsInteger(), 17);
    QVERIFY(!t->Modified());
    t->Cancel();
    QCOMPARE(t->RecordCount(), 5);
    QCOMPARE(count(db, "select count(*) from otdel"), 5);

    // The cancelled key is gone for good.
    t->Insert();
    QCOMPARE(t->FieldByName("ID")->AsInteger(), 18);
    t->FieldByName("Name")->setText(QStringLiteral("Юридический"));
    t->Post();
    QCOMPARE(t->State(), DataSetState::Browse);
    QCOMPARE(db.scalar("select name from otdel where id = 18").toString(), QStringLiteral("Юридический"));

    // A request: next "ZAJAV" key and today's date without time.
    TDataSet *z = dm->Tblzajav;
    z->Open();
    QVERIFY(dm->TblIsdel->Active());
    QVERIFY(dm->TblZStates->Active());
    z->Append();
    QCOMPARE(z->FieldByName("id")->AsInteger(), 6);
    QCOMPARE(z->FieldByName("Data")->AsDateTime(), DayTime::of(QDate(2024, 3, 5), QTime(0, 0)));
    QCOMPARE(z->FieldByName("Data")->DisplayText(), QStringLiteral("05.03.2024"));
    z->FieldByName("Opis")->setText(QStringLiteral("не печатает"));
    z->Post();
    QCOMPARE(count(db, "select count(*) from zajav where id = 6"), 1);
    QCOMPARE(dm->backend().dateTimeFromDb(db.scalar("select data from zajav where id = 6")),
             DayTime::of(QDate(2024, 3, 5), QTime(0, 0)));

    // The user table's key column is "ID": found regardless of case.
    dm->TblUsers->Open();
    dm->TblUsers->Append();
    QCOMPARE(dm->TblUsers->FieldByName("ID")->AsInteger(), 5);
    dm->TblUsers->Cancel();
}

void TestDataSet::newRecordHandlerErrorCancelsInsertion()
{
    TAVRELL_TEST_DB(db);
    TDataSet *t = dm->TblStates;
    t->Open();
    t->Last();
    const auto saved = t->OnNewRecord;
    t->OnNewRecord = [](TDataSet &) { throw DbError(QStringLiteral("counter unavailable")); };
    QVERIFY_THROWS_EXCEPTION(DbError, t->Append());
    QCOMPARE(t->State(), DataSetState::Browse);
    QCOMPARE(t->RecordCount(), 6);
    QCOMPARE(t->RecNo(), 6);
    t->OnNewRecord = saved;
}

void TestDataSet::postCancelEdit()
{
    TAVRELL_TEST_DB(db);
    TDataSet *t = dm->Tblresurs;
    t->Open();
    QVERIFY(t->Locate("id", 102));
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Картридж HP"));
    t->FieldByName("Ed_izmer")->setText(QStringLiteral("штук"));
    QVERIFY(t->Modified());
    QCOMPARE(db.scalar("select name from resurs where id = 102").toString(), QStringLiteral("Картридж"));
    t->Post();
    QCOMPARE(db.scalar("select name from resurs where id = 102").toString(), QStringLiteral("Картридж HP"));
    QCOMPARE(db.scalar("select ed_izmer from resurs where id = 102").toString(), QStringLiteral("штук"));

    // Cancel puts back what was read and sends nothing.
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Тонер"));
    t->Cancel();
    QCOMPARE(t->FieldByName("Name")->AsString(), QStringLiteral("Картридж HP"));
    QCOMPARE(db.scalar("select name from resurs where id = 102").toString(), QStringLiteral("Картридж HP"));

    // A field set outside editing is refused.
    QVERIFY_THROWS_EXCEPTION(TavrellError, t->FieldByName("Name")->setValue(QStringLiteral("x")));

    // An empty text stores null.
    t->Edit();
    t->FieldByName("Ed_izmer")->setText(QString());
    t->Post();
    QVERIFY(db.scalar("select ed_izmer from resurs where id = 102").isNull());
}

void TestDataSet::deleteCascades()
{
    TAVRELL_TEST_DB(db);
    TDataSet *t = dm->TblOtdel;
    t->Open();
    QVERIFY(t->Locate("Name", QStringLiteral("Экономический")));
    t->Delete();
    QCOMPARE(t->RecordCount(), 4);
    QVERIFY(!t->Locate("id", 12));
    QCOMPARE(count(db, "select count(*) from otdel where id = 12"), 0);
    // The department took its item, the item its repair, the repair its lines.
    QCOMPARE(count(db, "select count(*) from izdel where id = 102"), 0);
    QCOMPARE(count(db, "select count(*) from remont where id = 200"), 0);
    QCOMPARE(count(db, "select count(*) from rem_op where rem_id = 200"), 0);
    QCOMPARE(count(db, "select count(*) from rem_res where rem_id = 200"), 0);
    QCOMPARE(count(db, "select count(*) from izdel"), 6);
}

void TestDataSet::refusedDeleteChangesNothing()
{
    TAVRELL_TEST_DB(db);
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    TDataSet *t = items.get();
    t->Open();
    QVERIFY(t->Locate("id", 101));
    try {
        t->Delete();
        QFAIL("deleting an item that has requests must fail");
    } catch (const DbError &e) {
        QVERIFY(!e.message().isEmpty());
    }
    QCOMPARE(t->State(), DataSetState::Browse);
    QCOMPARE(t->RecordCount(), 7);
    QCOMPARE(t->FieldByName("id")->AsInteger(), 101);
    QCOMPARE(count(db, "select count(*) from izdel"), 7);

    // A department whose cascade reaches such an item is refused as a whole.
    dm->TblOtdel->Open();
    QVERIFY(dm->TblOtdel->Locate("id", 13));
    QVERIFY_THROWS_EXCEPTION(DbError, dm->TblOtdel->Delete());
    QCOMPARE(count(db, "select count(*) from otdel where id = 13"), 1);
    QCOMPARE(count(db, "select count(*) from izdel where otdel = 13"), 3);
}

void TestDataSet::refusedPostStaysInEditing()
{
    TAVRELL_TEST_DB(db);
    TDataSet *t = dm->TblOtdel;
    t->Open();
    t->Append();
    t->FieldByName("id")->setValue(11);  // taken
    t->FieldByName("Name")->setText(QStringLiteral("Дубль"));
    QVERIFY_THROWS_EXCEPTION(DbError, t->Post());
    QCOMPARE(t->State(), DataSetState::Insert);
    QCOMPARE(t->FieldByName("Name")->AsString(), QStringLiteral("Дубль"));
    QCOMPARE(t->RecordCount(), 6);
    // Moving away tries to post again and is refused the same way; the row stays.
    QVERIFY_THROWS_EXCEPTION(DbError, t->First());
    QCOMPARE(t->State(), DataSetState::Insert);
    // Corrected, it goes in.
    t->FieldByName("id")->setValue(40);
    t->Post();
    QCOMPARE(db.scalar("select name from otdel where id = 40").toString(), QStringLiteral("Дубль"));

    // An update the server refuses keeps the edit too.
    QVERIFY(t->Locate("id", 40));
    t->Edit();
    t->FieldByName("id")->setValue(11);
    QVERIFY_THROWS_EXCEPTION(DbError, t->Post());
    QCOMPARE(t->State(), DataSetState::Edit);
    t->Cancel();
    QCOMPARE(t->FieldByName("id")->AsInteger(), 40);
}

void TestDataSet::movingOffChangedRowPosts()
{
    TAVRELL_TEST_DB(db);
    TDataSet *t = dm->Tblvidu;
    t->Open();
    t->First();
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Текущий ремонт"));
    t->Next();
    QCOMPARE(t->State(), DataSetState::Browse);
    QCOMPARE(db.scalar("select name from vidu where id = 11").toString(), QStringLiteral("Текущий ремонт"));

    // An untouched new row is dropped when the user moves away.
    t->Append();
    t->First();
    QCOMPARE(t->RecordCount(), 5);
    QCOMPARE(count(db, "select count(*) from vidu"), 5);
}

void TestDataSet::tooLongTextRefused_data()
{
    addBackendColumn();
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("accepted");
    addBackendCase("65", [&](QTestData &r) { r << 65 << true; });
    addBackendCase("66", [&](QTestData &r) { r << 66 << false; });
}

void TestDataSet::tooLongTextRefused()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, length);
    QFETCH(bool, accepted);
    TDataSet *t = dm->TblOtdel;
    t->Open();
    QVERIFY(t->Locate("id", 11));
    t->Edit();
    const QString text(length, QChar(0x0416));  // Cyrillic: sizes count characters
    if (accepted) {
        t->FieldByName("Name")->setText(text);
        t->Post();
        QCOMPARE(db.scalar("select name from otdel where id = 11").toString(), text);
    } else {
        try {
            t->FieldByName("Name")->setText(text);
            QFAIL("a text longer than the field must be refused");
        } catch (const TavrellError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("65")), qPrintable(e.message()));
        }
        QCOMPARE(t->FieldByName("Name")->AsString(), QStringLiteral("Административный"));
        QCOMPARE(db.scalar("select name from otdel where id = 11").toString(), QStringLiteral("Административный"));
    }
}

void TestDataSet::filters_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("ids");
    // Request 7 has no state: it is not closed.
    addBackendCase("not closed", [&](QTestData &r) { r << "State <> 0" << QList<int>{5, 6, 7}; });
    addBackendCase("closed", [&](QTestData &r) { r << "State = 0" << QList<int>{4}; });
    addBackendCase("suspended", [&](QTestData &r) { r << "State = 2" << QList<int>{5}; });
    addBackendCase("two terms", [&](QTestData &r) { r << "State >= 1 and id < 6" << QList<int>{5}; });
    addBackendCase("text", [&](QTestData &r) { r << "Opis = 'FGHFGH'" << QList<int>{5}; });
    addBackendCase("lookup", [&](QTestData &r) { r << "[Состояние] = 'Открыта'" << QList<int>{6}; });
}

void TestDataSet::filters()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, filter);
    QFETCH(QList<int>, ids);
    db.query("insert into zajav (id, izd, opis, state) values (6, 102, 'open one', 1)");
    db.query("insert into zajav (id, izd, opis) values (7, 104, 'no state')");
    TDataSet *z = dm->Tblzajav;
    z->Open();
    QCOMPARE(z->RecordCount(), 4);
    z->setFilter(filter);
    QCOMPARE(z->RecordCount(), 4);  // not filtered until the flag is set
    z->setFiltered(true);
    QCOMPARE(z->RecordCount(), ids.size());
    QList<int> seen;
    for (z->First(); !z->Eof(); z->Next())
        seen << z->FieldByName("id")->AsInteger();
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, ids);
    z->setFiltered(false);
    QCOMPARE(z->RecordCount(), 4);
}

void TestDataSet::filterOnKeyAndBadFilter()
{
    TAVRELL_TEST_DB(db);
    db.query("insert into remont (id, kod_vida, kod_izd) values (201, 11, 104)");
    db.query("insert into rem_op (rem_id, op_id, state) values (201, 1, 1)");
    TDataSet ops;
    ops.setTableName(QStringLiteral("rem_op"));
    ops.setOrderBy(QStringLiteral("dt"));
    ops.setFilter(QStringLiteral("rem_id=") + QString::number(200));
    ops.setFiltered(true);
    ops.Open();
    QCOMPARE(ops.RecordCount(), 2);
    // A row inserted under the filter carries its key and stays in view.
    ops.Append();
    ops.FieldByName("rem_id")->setValue(200);
    ops.FieldByName("op_id")->setValue(2);
    QVERIFY_THROWS_EXCEPTION(DbError, ops.Post());  // (200, 2) exists: the key refuses it
    ops.Cancel();
    ops.setFilter(QStringLiteral("rem_id=201"));
    QCOMPARE(ops.RecordCount(), 1);
    QCOMPARE(ops.FieldByName("op_id")->AsInteger(), 1);

    QVERIFY_THROWS_EXCEPTION(TavrellError, ops.setFilter(QStringLiteral("rem_id ~ 3")));
    QCOMPARE(ops.Filter(), QStringLiteral("rem_id=201"));
    QVERIFY_THROWS_EXCEPTION(TavrellError, ops.setFilter(QStringLiteral("nosuch = 1")));
}

void TestDataSet::locate_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariant>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("found");  // id, or 0 for none
    const int ci = CaseInsensitive, pk = PartialKey;
    addBackendCase("exact", [&](QTestData &r) { r << "Name" << QVariant("Xerox 5915") << 0 << 106; });
    addBackendCase("exact wrong case", [&](QTestData &r) { r << "Name" << QVariant("xerox 5915") << 0 << 0; });
    addBackendCase("exact ci", [&](QTestData &r) { r << "Name" << QVariant("xerox 5915") << ci << 106; });
    addBackendCase("prefix latin", [&](QTestData &r) { r << "Name" << QVariant("hp s") << (ci | pk) << 105; });
    addBackendCase("prefix cyrillic", [&](QTestData &r) { r << "Proizvod" << QVariant("СКАН") << (ci | pk) << 104; });
    addBackendCase("cyrillic look-alike",
                   [&](QTestData &r) { r << "Seria" << QVariant(QStringLiteral("в-5")) << (ci | pk) << 105; });
    addBackendCase("latin is not cyrillic", [&](QTestData &r) { r << "Seria" << QVariant("B-5") << (ci | pk) << 0; });
    addBackendCase("prefix case-sensitive", [&](QTestData &r) { r << "Proizvod" << QVariant("СКАН") << pk << 0; });
    addBackendCase("inside, not at start", [&](QTestData &r) { r << "Name" << QVariant("jet") << (ci | pk) << 0; });
    addBackendCase("integer", [&](QTestData &r) { r << "CurState" << QVariant(4) << 0 << 103; });
    addBackendCase("integer as text", [&](QTestData &r) { r << "otdel" << QVariant("15") << 0 << 106; });
    addBackendCase("integer bad text", [&](QTestData &r) { r << "otdel" << QVariant("x") << 0 << 0; });
    addBackendCase("two fields", [&](QTestData &r) {
        r << "Proizvod;CurState" << QVariant(QVariantList{"сканер", 6}) << ci << 107;
    });
    addBackendCase("fixed char", [&](QTestData &r) { r << "form" << QVariant("A3") << 0 << 106; });
    addBackendCase("lookup", [&](QTestData &r) { r << "Отдел" << QVariant(QStringLiteral("плановый")) << ci << 101; });
    addBackendCase("lookup found",
                   [&](QTestData &r) { r << "Отдел" << QVariant(QStringLiteral("издат")) << (ci | pk) << 106; });
    addBackendCase("date", [&](QTestData &r) {
        r << "D_vup" << QVariant(DayTime::of(QDate(2003, 9, 21), QTime(0, 0))) << 0 << 103;
    });
}

void TestDataSet::locate()
{
    TAVRELL_TEST_DB(db);
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    QFETCH(QString, fields);
    QFETCH(QVariant, values);
    QFETCH(int, options);
    QFETCH(int, found);
    TDataSet *t = items.get();
    t->Open();
    t->Last();
    const int before = t->RecNo();
    QCOMPARE(t->Locate(fields, values, options), found != 0);
    if (found)
        QCOMPARE(t->FieldByName("id")->AsInteger(), found);
    else
        QCOMPARE(t->RecNo(), before);
}

void TestDataSet::locateFollowsChanges()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDataSet *t = dm->TblOtdel;
    t->Open();
    const int opts = CaseInsensitive | PartialKey;
    QVERIFY(t->Locate("Name", QStringLiteral("изд"), opts));
    QCOMPARE(t->FieldByName("id")->AsInteger(), 15);
    // Renamed, inserted and deleted rows are found (or not) at once.
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Типография"));
    t->Post();
    QVERIFY(!t->Locate("Name", QStringLiteral("изд"), opts));
    QVERIFY(t->Locate("Name", QStringLiteral("ТИПО"), opts));
    t->Append();
    t->FieldByName("Name")->setText(QStringLiteral("Ёлочный"));
    t->Post();
    QVERIFY(t->Locate("Name", QStringLiteral("ёл"), opts));
    QCOMPARE(t->FieldByName("id")->AsInteger(), 17);
    t->Delete();
    QVERIFY(!t->Locate("Name", QStringLiteral("ёл"), opts));
    // Fewer characters than the compared prefix, and a longer needle than any name.
    QVERIFY(t->Locate("Name", QStringLiteral("т"), opts));
    QVERIFY(!t->Locate("Name", QStringLiteral("Типография и ещё"), opts));
}

void TestDataSet::lookupThroughLookupFollowsKey()
{
    TAVRELL_TEST_DB(db);
    auto rem = repairs();
    rem->Open();
    QVERIFY(dm->TblIsdel->Active());
    QVERIFY(dm->TblOtdel->Active());  // opened by the item table's own lookup
    QVERIFY(rem->Locate("id", 200));
    QCOMPARE(rem->FieldByName("Изделие")->DisplayText(), QStringLiteral("HP LaserJet 5100"));
    QCOMPARE(rem->FieldByName("Отдел")->DisplayText(), QStringLiteral("Экономический"));

    // A changed key shows at once, before the row is posted.
    rem->Edit();
    rem->FieldByName("Kod_izd")->setValue(103);
    QCOMPARE(rem->FieldByName("Изделие")->AsString(), QStringLiteral("Canon 5530 D"));
    QCOMPARE(rem->FieldByName("Отдел")->AsString(), QStringLiteral("Технический"));
    rem->Post();
    QCOMPARE(db.scalar("select kod_izd from remont where id = 200").toInt(), 103);

    // Setting the lookup stores the key of the row that shows the text.
    rem->Edit();
    rem->FieldByName("Изделие")->setText(QStringLiteral("Xerox 5915"));
    QCOMPARE(rem->FieldByName("Kod_izd")->AsInteger(), 106);
    QVERIFY_THROWS_EXCEPTION(TavrellError, rem->FieldByName("Изделие")->setText(QStringLiteral("нет такого")));
    rem->Cancel();

    // A renamed department shows through both lookups.
    dm->TblOtdel->Locate("id", 14);
    dm->TblOtdel->Edit();
    dm->TblOtdel->FieldByName("Name")->setText(QStringLiteral("Техотдел"));
    dm->TblOtdel->Post();
    QCOMPARE(rem->FieldByName("Отдел")->AsString(), QStringLiteral("Техотдел"));

    // No key, or a key with no row: empty.
    rem->Edit();
    rem->FieldByName("Kod_izd")->Clear();
    QVERIFY(rem->FieldByName("Отдел")->isNull());
    rem->FieldByName("Kod_izd")->setValue(999);
    QCOMPARE(rem->FieldByName("Изделие")->DisplayText(), QString());
    rem->Cancel();
}

void TestDataSet::fixedCharPaddedAndFieldNames()
{
    TAVRELL_TEST_DB(db);
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    TDataSet *t = items.get();
    t->Open();
    QVERIFY(t->Locate("id", 104));
    QCOMPARE(t->FieldByName("form")->AsString(), QStringLiteral("др."));
    QVERIFY(t->Locate("id", 101));
    QCOMPARE(t->FieldByName("FORM")->AsString(), QStringLiteral("A4 "));
    QVERIFY(t->FieldByName("Resurs")->isNull());
    t->Edit();
    t->FieldByName("Resurs")->setText(QStringLiteral("15000"));
    t->FieldByName("form")->setText(QStringLiteral("A3 "));  // its own padding does not count
    t->Post();
    QCOMPARE(t->FieldByName("Resurs")->AsString(), QStringLiteral("15000     "));
    t->Close();
    t->Open();
    QVERIFY(t->Locate("id", 101));
    QCOMPARE(t->FieldByName("Resurs")->AsString(), QStringLiteral("15000     "));
    QCOMPARE(t->FieldByName("form")->AsString(), QStringLiteral("A3 "));

    QCOMPARE(t->FindField("nomer"), t->FieldByName("Nomer"));
    QVERIFY(!t->FindField("nosuch"));
    try {
        t->FieldByName("nosuch");
        QFAIL("an unknown field must raise");
    } catch (const TavrellError &e) {
        QCOMPARE(e.message(), QStringLiteral("Field 'nosuch' not found"));
    }
    // The columns without a declaration take their type from the schema.
    dm->TblZStates->Open();
    QCOMPARE(dm->TblZStates->FieldCount(), 2);
    QCOMPARE(dm->TblZStates->FieldByName("id")->DataType(), FieldType::Integer);
    QVERIFY(dm->TblZStates->Locate("id", 2));
    QCOMPARE(dm->TblZStates->FieldByName("StateName")->AsString(), QStringLiteral("Приостановлена"));
}

void TestDataSet::dateTimesRoundTrip()
{
    TAVRELL_TEST_DB(db);
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    TDataSet *t = items.get();
    t->Open();
    QVERIFY(t->Locate("id", 101));
    QCOMPARE(t->FieldByName("D_vup")->AsDateTime(), DayTime::of(QDate(1999, 5, 20), QTime(0, 0)));
    QCOMPARE(t->FieldByName("D_vup")->DisplayText(), QStringLiteral("20.05.1999"));
    t->Edit();
    t->FieldByName("D_vup")->setText(QStringLiteral("18.5.2005 10:16:52"));
    QVERIFY_THROWS_EXCEPTION(TavrellError, t->FieldByName("D_pred")->setText(QStringLiteral("32.13.2005")));
    t->Post();
    t->Close();
    t->Open();
    QVERIFY(t->Locate("id", 101));
    QCOMPARE(t->FieldByName("D_vup")->AsDateTime(), DayTime::of(QDate(2005, 5, 18), QTime(10, 16, 52)));
    QCOMPARE(t->FieldByName("D_vup")->DisplayText(), QStringLiteral("18.05.2005 10:16:52"));
    QCOMPARE(t->FieldByName("D_pred")->AsDateTime(), DayTime::of(QDate(2004, 1, 21), QTime(0, 0)));
}

void TestDataSet::userTypeSetText_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored");
    addBackendCase("admin", [&](QTestData &r) { r << "admin" << QVariant("A"); });
    addBackendCase("r", [&](QTestData &r) { r << "r" << QVariant("R"); });
    addBackendCase("cyrillic", [&](QTestData &r) { r << QStringLiteral("дисп") << QVariant(QStringLiteral("д")); });
    addBackendCase("empty", [&](QTestData &r) { r << "" << QVariant(); });
}

void TestDataSet::userTypeSetText()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    TDataSet *u = dm->TblUsers;
    u->Open();
    QVERIFY(u->Locate("login", "R"));
    u->Edit();
    u->FieldByName("tp")->setText(typed);
    u->Post();
    const QVariant v = db.scalar("select tp from users where login = 'R'");
    if (stored.isValid())
        QCOMPARE(v.toString().trimmed(), stored.toString());
    else
        QVERIFY(v.isNull());
    // The last login is shown, not typed.
    u->Edit();
    QVERIFY_THROWS_EXCEPTION(TavrellError, u->FieldByName("LastEnter")->setText(QStringLiteral("01.01.2020")));
    u->Cancel();
}

void TestDataSet::cursorAndRequery()
{
    TAVRELL_TEST_DB(db);
    TDataSet t;
    t.setTableName(QStringLiteral("States"));
    t.setOrderBy(QStringLiteral("id"));
    QVERIFY(t.Eof() && t.Bof());
    t.Open();
    QVERIFY(t.Bof());
    QVERIFY(!t.Eof());
    QCOMPARE(t.RecNo(), 1);
    t.Prior();
    QVERIFY(t.Bof());
    int n = 0;
    for (t.First(); !t.Eof(); t.Next())
        ++n;
    QCOMPARE(n, 6);
    QCOMPARE(t.RecNo(), 6);
    t.Last();
    QVERIFY(t.Eof());
    QCOMPARE(t.FieldByName("Name")->AsString(), QStringLiteral("Еще не открыли"));
    t.setRecNo(3);
    QCOMPARE(t.FieldByName("id")->AsInteger(), 3);

    // Rows written by somebody else appear on requery; the current row stays.
    db.query("insert into States values (8, 'Новый')");
    db.query("delete from States where id = 1");
    t.Requery();
    QCOMPARE(t.RecordCount(), 6);
    QCOMPARE(t.FieldByName("id")->AsInteger(), 3);
    QVERIFY(t.Locate("id", 8));

    // A dataset over a table without declared fields posts by the table's key.
    t.Edit();
    t.FieldByName("Name")->setText(QStringLiteral("Новое"));
    t.Post();
    QCOMPARE(db.scalar("select name from States where id = 8").toString(), QStringLiteral("Новое"));

    t.Close();
    QVERIFY(!t.Active());
    QVERIFY_THROWS_EXCEPTION(TavrellError, t.Next());
}

void TestDataSet::readOnlyDataSet()
{
    TAVRELL_TEST_DB(db);
    TDataSet log;
    log.setSQL(QStringLiteral("select * from VIEWLOG"));
    log.Open();
    QVERIFY(!log.CanModify());
    QVERIFY_THROWS_EXCEPTION(TavrellError, log.Append());
    QVERIFY_THROWS_EXCEPTION(TavrellError, log.Edit());

    TDataSet *t = dm->TblOtdel;
    t->Open();
    t->setReadOnly(true);
    QVERIFY(!t->CanModify());
    QVERIFY_THROWS_EXCEPTION(TavrellError, t->Delete());
    QCOMPARE(count(db, "select count(*) from otdel"), 5);
    t->setReadOnly(false);
    QVERIFY(t->CanModify());
}

void TestDataSet::openGridHoldsNoLock()
{
    TestDb db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    TDataSet *t = items.get();
    t->Open();
    t->setRecNo(3);
    // A second program on the same file writes while this one shows the list.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(dm->connection().databaseName());
        other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY2(q.exec(QStringLiteral("update izdel set name = 'Другой' where id = 101")),
                 qPrintable(q.lastError().text()));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QCOMPARE(t->RecordCount(), 7);
}

void TestDataSet::queryWithParameters()
{
    TAVRELL_TEST_DB(db);
    TDataSet q;
    q.setSQL(QStringLiteral("select id, Name, Seria from izdel where otdel = :d0 order by id"));
    q.setParam(QStringLiteral(":d0"), 13);
    q.Open();
    QCOMPARE(q.RecordCount(), 3);
    QCOMPARE(q.FieldByName("name")->AsString(), QStringLiteral("HP deskjet 1220"));
    q.Close();
    // A text parameter is bound, never pasted into the statement.
    q.setParam(QStringLiteral("d0"), QStringLiteral("13' or 1=1 --"));
    try {
        q.Open();
        QCOMPARE(q.RecordCount(), 0);
    } catch (const DbError &) {
        // PostgreSQL refuses the text for an integer column: also no rows.
    }
    q.Close();

    // A query posts to its update table.
    TDataSet u;
    u.setSQL(QStringLiteral("select * from izdel order by 2"));
    u.setUpdateTable(QStringLiteral("izdel"));
    u.Open();
    QVERIFY(u.Locate("id", 107));
    u.Edit();
    u.FieldByName("Nomer")->setText(QStringLiteral("77"));
    u.Post();
    QCOMPARE(db.scalar("select nomer from izdel where id = 107").toString(), QStringLiteral("77"));
}

QTEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
