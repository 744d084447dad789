// Two copies of the program on one database: a row posted or deleted by this copy after a
// colleague changed it since this copy read it. A change of the same field (letter case
// included) or a deleted row is refused and the typing kept; other fields go through; and
// nobody changing anything never counts as a change, for any column type.
#include "Colleague.h"
#include "TestSupport.h"
#include "core/DayTime.h"
#include "db/TDataSet.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

const QString Conflict = QStringLiteral("Другой пользователь изменил или удалил эту запись после того, как она была "
                                        "прочитана. Обновите данные, чтобы увидеть её текущий вид.");

// Name and number of item 104 in the database; empty when it is gone.
QStringList item104(TestDb &db)
{
    QSqlQuery q = db.query(QStringLiteral("select Name, Nomer from izdel where id = 104"));
    return q.next() ? QStringList{q.value(0).toString(), q.value(1).toString()} : QStringList();
}

const QString EpsonName = QStringLiteral("Epson Perfection 1270");
const QString EpsonNumber = QStringLiteral("12345");

}  // namespace

class TestPostConflict : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void colleagueChangedRowBeforePost_data();
    void colleagueChangedRowBeforePost();
    void colleagueChangedRowBeforeDelete_data();
    void colleagueChangedRowBeforeDelete();
    void nobodyElseNoConflict_data();
    void nobodyElseNoConflict();
    void datasetOnItsOwnConnection_data() { addBackendCases(); }
    void datasetOnItsOwnConnection();
};

void TestPostConflict::colleagueChangedRowBeforePost_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("colleague");  // run after this copy read the row and typed
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("stored");  // name and number of the item afterwards
    const QString mine = QStringLiteral("Мой сканер");
    addBackendCase("same field", [&](QTestData &r) {
        r << QStringLiteral("update izdel set Name = 'Чужой' where id = 104") << true
          << QStringList{QStringLiteral("Чужой"), EpsonNumber};
    });
    // The columns compare without regard to case; a change of case is a change all the same.
    addBackendCase("same field, letter case only", [&](QTestData &r) {
        r << QStringLiteral("update izdel set Name = 'EPSON PERFECTION 1270' where id = 104") << true
          << QStringList{QStringLiteral("EPSON PERFECTION 1270"), EpsonNumber};
    });
    addBackendCase("another field", [&](QTestData &r) {
        r << QStringLiteral("update izdel set Nomer = '999' where id = 104") << false
          << QStringList{mine, QStringLiteral("999")};
    });
    addBackendCase("row deleted", [&](QTestData &r) {
        r << QStringLiteral("delete from izdel where id = 104") << true << QStringList();
    });
    addBackendCase("nobody else", [&](QTestData &r) { r << QString() << false << QStringList{mine, EpsonNumber}; });
}

void TestPostConflict::colleagueChangedRowBeforePost()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, colleague);
    QFETCH(bool, refused);
    QFETCH(QStringList, stored);
    Colleague other(db);
    QVERIFY2(other.error().isEmpty(), qPrintable(other.error()));
    // Every column of the register, the memo too.
    TDataSet items;
    items.setTableName(QStringLiteral("izdel"));
    TDataSet *t = &items;
    t->Open();
    QVERIFY(t->Locate("id", 104));
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Мой сканер"));
    if (!colleague.isEmpty())
        COLLEAGUE_RUNS(other, colleague);

    QString message;
    try {
        t->Post();
    } catch (const DbError &e) {
        message = e.message();
    }
    QCOMPARE(item104(db), stored);
    if (!refused) {
        QCOMPARE(message, QString());
        QCOMPARE(t->State(), DataSetState::Browse);
        return;
    }
    QCOMPARE(message, Conflict);
    // The row stays in editing with what the user typed; posting again is refused again.
    QCOMPARE(t->State(), DataSetState::Edit);
    QCOMPARE(t->FieldByName("Name")->AsString(), QStringLiteral("Мой сканер"));
    QVERIFY_THROWS_EXCEPTION(DbError, t->Post());
    QCOMPARE(item104(db), stored);
    // Cancelled and read again, it shows what the other user left.
    t->Cancel();
    QCOMPARE(t->FieldByName("Name")->AsString(), EpsonName);
    t->Refresh();
    if (stored.isEmpty()) {
        QVERIFY(!t->Locate("id", 104));
    } else {
        QVERIFY(t->Locate("id", 104));
        QCOMPARE(t->FieldByName("Name")->AsString(), stored.at(0));
        // Now the user's change goes in over what he has seen.
        t->Edit();
        t->FieldByName("Name")->setText(QStringLiteral("Мой сканер"));
        t->Post();
        QCOMPARE(item104(db).value(0), QStringLiteral("Мой сканер"));
    }
}

void TestPostConflict::colleagueChangedRowBeforeDelete_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("colleague");  // run after this copy read the row
    QTest::addColumn<bool>("editing");       // the row is being edited when deleted
    QTest::addColumn<bool>("refused");
    addBackendCase("a field changed", [&](QTestData &r) {
        r << QStringLiteral("update izdel set Nomer = '999' where id = 104") << false << true;
    });
    addBackendCase("a field changed, row in editing", [&](QTestData &r) {
        r << QStringLiteral("update izdel set Info = 'Чужая заметка' where id = 104") << true << true;
    });
    addBackendCase("row deleted",
                   [&](QTestData &r) { r << QStringLiteral("delete from izdel where id = 104") << false << true; });
    addBackendCase("nobody else", [&](QTestData &r) { r << QString() << false << false; });
    addBackendCase("nobody else, row in editing", [&](QTestData &r) { r << QString() << true << false; });
}

void TestPostConflict::colleagueChangedRowBeforeDelete()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, colleague);
    QFETCH(bool, editing);
    QFETCH(bool, refused);
    Colleague other(db);
    QVERIFY2(other.error().isEmpty(), qPrintable(other.error()));
    // Every column of the register, the memo too.
    TDataSet items;
    items.setTableName(QStringLiteral("izdel"));
    TDataSet *t = &items;
    t->Open();
    QVERIFY(t->Locate("id", 104));
    if (editing) {
        t->Edit();
        t->FieldByName("Name")->setText(QStringLiteral("Мой сканер"));
    }
    const QStringList before = item104(db);
    if (!colleague.isEmpty())
        COLLEAGUE_RUNS(other, colleague);
    const QStringList afterColleague = item104(db);

    QString message;
    try {
        t->Delete();
    } catch (const DbError &e) {
        message = e.message();
    }
    if (!refused) {
        QCOMPARE(message, QString());
        QCOMPARE(item104(db), QStringList());
        QVERIFY(!t->Locate("id", 104));
        return;
    }
    // Nothing that the user has not seen is deleted, and a row already gone is no success.
    QCOMPARE(message, Conflict);
    QCOMPARE(item104(db), afterColleague);
    QCOMPARE(t->State(), editing ? DataSetState::Edit : DataSetState::Browse);
    QCOMPARE(t->FieldByName("id")->AsInteger(), 104);
    t->Cancel();
    QCOMPARE(t->FieldByName("Nomer")->AsString(), before.value(1));
    t->Refresh();
    if (afterColleague.isEmpty()) {
        QVERIFY(!t->Locate("id", 104));
        return;
    }
    // Seen as it is now, it can be deleted.
    QVERIFY(t->Locate("id", 104));
    t->Delete();
    QCOMPARE(item104(db), QStringList());
}

void TestPostConflict::nobodyElseNoConflict_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("where");   // the one row the case works on
    QTest::addColumn<QString>("stored");  // how another tool left the row before it was read
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("typed");  // posted one after another
    const auto izdel = [](const char *field, FieldType type, int size, const QString &stored,
                          const QStringList &typed) {
        return std::make_tuple(QStringLiteral("izdel"), QStringLiteral("id = 104"), stored, QString::fromLatin1(field),
                               int(type), size, typed);
    };
    const auto remRes = [](const QString &stored, const QStringList &typed) {
        return std::make_tuple(QStringLiteral("rem_res"), QStringLiteral("rem_id = 200 and res_id = 100"), stored,
                               QStringLiteral("cnt"), int(FieldType::Float), 0, typed);
    };
    const auto upd = [](const char *set) {
        return QStringLiteral("update izdel set %1 where id = 104").arg(QLatin1String(set));
    };
    const QStringList dates = {QStringLiteral("18.05.2005 10:16:52"), QStringLiteral("19.05.2005")};
    const std::vector<std::pair<const char *, std::tuple<QString, QString, QString, QString, int, int, QStringList>>>
        cases = {
            {"integer",
             izdel("CurState", FieldType::Integer, 0, QString(), {QStringLiteral("3"), QStringLiteral("5")})},
            {"integer, null", izdel("CurState", FieldType::Integer, 0, upd("CurState = NULL"), {QStringLiteral("3")})},
            {"float as seeded", remRes(QString(), {QStringLiteral("2,5"), QStringLiteral("0,3")})},
            {"float with a long fraction",
             remRes(QStringLiteral("update rem_res set cnt = 0.1 where rem_id = 200 and res_id = 100"),
                    {QStringLiteral("0,7"), QStringLiteral("1")})},
            {"varchar", izdel("Name", FieldType::String, 30, QString(),
                              {QStringLiteral("Мой сканер"), QStringLiteral("мой СКАНЕР")})},
            {"varchar, null", izdel("Seria", FieldType::String, 12, upd("Seria = NULL"), {QStringLiteral("С-1")})},
            {"char(n) as seeded",
             izdel("form", FieldType::FixedChar, 3, QString(), {QStringLiteral("A3"), QStringLiteral("a3")})},
            {"char(n) stored padded",
             izdel("form", FieldType::FixedChar, 3, upd("form = 'A4 '"), {QStringLiteral("A3")})},
            {"char(n) stored without padding",
             izdel("form", FieldType::FixedChar, 3, upd("form = 'A4'"), {QStringLiteral("A3")})},
            {"char(n), null",
             izdel("Resurs", FieldType::FixedChar, 10, QString(), {QStringLiteral("15000"), QStringLiteral("20000 ")})},
            {"datetime as seeded", izdel("D_vup", FieldType::DateTime, 0, QString(), dates)},
            {"datetime without milliseconds",
             izdel("D_vup", FieldType::DateTime, 0, upd("D_vup = '2004-01-05 10:20:30'"), dates)},
            {"datetime with milliseconds",
             izdel("D_vup", FieldType::DateTime, 0, upd("D_vup = '2004-01-05 10:20:30.123'"), dates)},
            {"date only", izdel("D_vup", FieldType::DateTime, 0, upd("D_vup = '2004-01-05'"), dates)},
            {"datetime, null", izdel("D_pred", FieldType::DateTime, 0, QString(), dates)},
            {"memo",
             izdel("Info", FieldType::Memo, 0, upd("Info = 'Старая заметка'"),
                   {QStringLiteral("Первая строка\nвторая строка"), QStringLiteral("первая СТРОКА\nвторая строка")})},
            {"memo, null", izdel("Info", FieldType::Memo, 0, QString(), {QStringLiteral("Заметка")})},
            {"bit",
             std::make_tuple(QStringLiteral("flags"), QStringLiteral("id = 1"), QString(), QStringLiteral("ok"),
                             int(FieldType::Boolean), 0, QStringList{QStringLiteral("False"), QStringLiteral("True")})},
        };
    for (const auto &[name, c] : cases) {
        const auto &[table, where, stored, field, type, size, typed] = c;
        addBackendCase(name, [&](QTestData &r) { r << table << where << stored << field << type << size << typed; });
    }
}

void TestPostConflict::nobodyElseNoConflict()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, table);
    QFETCH(QString, where);
    QFETCH(QString, stored);
    QFETCH(QString, field);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QStringList, typed);
    Colleague other(db);
    QVERIFY2(other.error().isEmpty(), qPrintable(other.error()));
    if (table == QLatin1String("flags")) {
        // No bit column in the schema: a table of its own.
        COLLEAGUE_RUNS(other, QStringLiteral("create table flags (id integer primary key, ok %1)")
                                  .arg(db.isPostgres() ? "boolean" : "bit"));
        COLLEAGUE_RUNS(other, QStringLiteral("insert into flags values (1, %1)").arg(db.isPostgres() ? "true" : "1"));
    }
    if (!stored.isEmpty())
        COLLEAGUE_RUNS(other, stored);
    const QString count = QStringLiteral("select count(*) from %1 where %2").arg(table, where);

    TDataSet t;
    t.setSQL(QStringLiteral("select * from %1 where %2").arg(table, where));
    t.setUpdateTable(table);
    for (const QString &term : where.split(QStringLiteral(" and ")))
        t.addField(term.section(QLatin1Char(' '), 0, 0), FieldType::Integer);
    t.addField(field, FieldType(type), size);
    // A grid shows the row: every value is read (and converted) before the user edits.
    const auto show = [&t] {
        t.Open();
        for (const TField *f : t.Fields())
            f->DisplayText();
    };
    show();
    QCOMPARE(t.RecordCount(), 1);

    // The row as another tool left it deletes (kept here by rolling the deletion back).
    QVERIFY(dm->connection().transaction());
    t.Delete();
    QCOMPARE(db.scalar(count).toInt(), 0);
    QVERIFY(dm->connection().rollback());
    t.Close();
    show();
    QCOMPARE(t.RecordCount(), 1);

    // Each post compares with what was read, then with what the post before it stored.
    for (const QString &text : typed) {
        t.Edit();
        t.FieldByName(field)->setText(text);
        t.Post();
        QCOMPARE(t.State(), DataSetState::Browse);
    }
    t.Delete();
    QCOMPARE(db.scalar(count).toInt(), 0);
}

// A dataset on a connection the data module does not own (given no backend) reads and
// writes dates as the data module's datasets do, and refuses a colleague's change of
// letter case as they do.
void TestPostConflict::datasetOnItsOwnConnection()
{
    TAVRELL_TEST_DB(db);
    Colleague other(db);
    QVERIFY2(other.error().isEmpty(), qPrintable(other.error()));
    TDataSet own(nullptr, QStringLiteral("colleague"));
    own.setTableName(QStringLiteral("izdel"));
    own.addField(QStringLiteral("id"), FieldType::Integer);
    own.addField(QStringLiteral("Name"), FieldType::String, 30);
    own.addField(QStringLiteral("D_vup"), FieldType::DateTime);
    own.Open();
    QVERIFY(own.backend());
    // A dataset of the data module's connection beside it.
    TDataSet module;
    module.setTableName(QStringLiteral("izdel"));
    module.addField(QStringLiteral("id"), FieldType::Integer);
    module.addField(QStringLiteral("Name"), FieldType::String, 30);
    module.addField(QStringLiteral("D_vup"), FieldType::DateTime);
    QVERIFY(own.backend() != module.backend());
    QCOMPARE(own.backend()->isEmbedded(), module.backend()->isEmbedded());
    QVERIFY(own.Locate("id", 104));
    QCOMPARE(own.FieldByName("D_vup")->AsDateTime(), DayTime::of(QDate(2001, 9, 15), QTime(0, 0)));

    // A date posted here reads back the same through the data module, and the other way round.
    const QDateTime mine = DayTime::of(QDate(2024, 3, 5), QTime(14, 30, 15, 250));
    own.Edit();
    own.FieldByName("D_vup")->setValue(mine);
    own.Post();
    module.Open();
    QVERIFY(module.Locate("id", 104));
    QCOMPARE(module.FieldByName("D_vup")->AsDateTime(), mine);
    const QDateTime theirs = DayTime::of(QDate(2025, 1, 2), QTime(8, 0));
    module.Edit();
    module.FieldByName("D_vup")->setValue(theirs);
    module.Post();
    own.Refresh();
    QVERIFY(own.Locate("id", 104));
    QCOMPARE(own.FieldByName("D_vup")->AsDateTime(), theirs);
    // Read again, it posts over what it has seen.
    own.Edit();
    own.FieldByName("D_vup")->setValue(mine);
    own.Post();
    QCOMPARE(own.State(), DataSetState::Browse);

    // Only the letter case changed by the data module's connection: a change all the same.
    own.Edit();
    own.FieldByName("Name")->setText(QStringLiteral("Мой сканер"));
    QCOMPARE(
        db.query(QStringLiteral("update izdel set Name = 'EPSON PERFECTION 1270' where id = 104")).numRowsAffected(),
        1);
    QVERIFY_THROWS_EXCEPTION(DbError, own.Post());
    QCOMPARE(item104(db).value(0), QStringLiteral("EPSON PERFECTION 1270"));
    own.Cancel();
    own.Close();
}

QTEST_MAIN(TestPostConflict)
#include "tst_postconflict.moc"
