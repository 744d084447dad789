// The record navigator: which buttons are enabled in each state and position, the
// confirmation before a delete, hints, and errors shown without losing the edit.
#include "TestSupport.h"
#include "db/DBNavigator.h"
#include "db/TDataSet.h"

#include <QToolButton>
#include <QtTest>

class TestNavigator : public QObject {
    Q_OBJECT
private slots:
    void enabledByStateAndPosition_data();
    void enabledByStateAndPosition();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void refusedPostShownAndKept();
    void buttonsAndHints();
};

namespace {
// First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh
QString enabledPattern(const DBNavigator &nav)
{
    QString s;
    for (int i = 0; i < DBNavigator::ButtonCount; ++i)
        s += nav.button(DBNavigator::Button(i))->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}
}  // namespace

void TestNavigator::enabledByStateAndPosition_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("pattern");
    // clang-format off
    QTest::newRow("closed") << "closed" << "0000000000";
    QTest::newRow("first row") << "first" << "0011111001";
    QTest::newRow("middle row") << "middle" << "1111111001";
    QTest::newRow("last row") << "last" << "1100111001";
    QTest::newRow("editing") << "edit" << "1111110110";
    QTest::newRow("inserting") << "insert" << "1100110110";
    QTest::newRow("empty") << "empty" << "0000101001";
    QTest::newRow("read-only") << "readonly" << "1111000001";
    QTest::newRow("single row") << "single" << "0000111001";
    // clang-format on
}

void TestNavigator::enabledByStateAndPosition()
{
    QFETCH(QString, situation);
    QFETCH(QString, pattern);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDataSet *t = dm->TblStates;
    TDataSource src(nullptr, t);
    DBNavigator nav;
    nav.setDataSource(&src);
    if (situation == QLatin1String("empty") || situation == QLatin1String("single")) {
        db.query("delete from zajav");
        db.query("delete from izdel");
        db.query(situation == QLatin1String("empty") ? "delete from States" : "delete from States where id > 1");
    }
    if (situation != QLatin1String("closed"))
        t->Open();
    if (situation == QLatin1String("middle") || situation == QLatin1String("edit") ||
        situation == QLatin1String("readonly"))
        t->setRecNo(3);
    if (situation == QLatin1String("last") || situation == QLatin1String("insert"))
        t->Last();
    if (situation == QLatin1String("edit"))
        t->Edit();
    if (situation == QLatin1String("insert"))
        t->Append();
    if (situation == QLatin1String("readonly"))
        t->setReadOnly(true);
    QCOMPARE(enabledPattern(nav), pattern);
    t->setReadOnly(false);
}

void TestNavigator::deleteAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("OK") << int(Dialogs::Ok) << true;
    QTest::newRow("Cancel") << int(Dialogs::Cancel) << false;
}

void TestNavigator::deleteAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, deleted);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    dialogs.answers.enqueue(answer);
    TDataSet *t = dm->Tblvidu;
    TDataSource src(nullptr, t);
    DBNavigator nav;
    nav.setDataSource(&src);
    t->Open();
    QVERIFY(t->Locate("id", 21));
    nav.BtnClick(DBNavigator::Delete);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Confirm"));
    QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("Delete record?"));
    QCOMPARE(dialogs.messages.at(0).buttons, int(Dialogs::Ok | Dialogs::Cancel));
    QCOMPARE(db.scalar("select count(*) from vidu where id = 21").toInt(), deleted ? 0 : 1);
    QCOMPARE(t->RecordCount(), deleted ? 4 : 5);
}

void TestNavigator::refusedPostShownAndKept()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    ScriptedDialogs dialogs;
    TDataSet *t = dm->TblOtdel;
    TDataSource src(nullptr, t);
    DBNavigator nav;
    nav.setDataSource(&src);
    t->Open();
    nav.BtnClick(DBNavigator::Insert);
    QCOMPARE(t->State(), DataSetState::Insert);
    QCOMPARE(t->FieldByName("id")->AsInteger(), 17);
    t->FieldByName("id")->setValue(12);
    t->FieldByName("Name")->setText(QStringLiteral("Дубль"));
    nav.BtnClick(DBNavigator::Post);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(!dialogs.messages.at(0).text.isEmpty());
    QCOMPARE(t->State(), DataSetState::Insert);
    QVERIFY(nav.button(DBNavigator::Post)->isEnabled());
    nav.BtnClick(DBNavigator::Cancel);
    QCOMPARE(t->State(), DataSetState::Browse);
    QCOMPARE(t->RecordCount(), 5);

    // A refused delete is shown and changes nothing.
    dialogs.clear();
    items->Open();
    src.setDataSet(items.get());
    QVERIFY(items->Locate("id", 103));
    nav.BtnClick(DBNavigator::Delete);
    QCOMPARE(dialogs.messages.size(), 2);  // the question, then the server's refusal
    QCOMPARE(dialogs.messages.at(1).icon, Dialogs::Icon::Critical);
    QCOMPARE(db.scalar("select count(*) from izdel where id = 103").toInt(), 1);
    QCOMPARE(items->RecordCount(), 7);
}

void TestNavigator::buttonsAndHints()
{
    DBNavigator nav;
    QCOMPARE(nav.hints().size(), 10);
    QCOMPARE(nav.button(DBNavigator::First)->toolTip(), QStringLiteral("К первой записи"));
    QCOMPARE(nav.button(DBNavigator::Prior)->toolTip(), QStringLiteral("Предыдущая записи"));
    QCOMPARE(nav.button(DBNavigator::Refresh)->toolTip(), QStringLiteral("Обновить данные"));
    nav.setVisibleButtons(DBNavigator::ListButtons());
    QVERIFY(!nav.isButtonVisible(DBNavigator::Refresh));
    QVERIFY(nav.isButtonVisible(DBNavigator::Cancel));
    nav.setVisibleButtons(DBNavigator::MoveButtons());
    QVERIFY(nav.isButtonVisible(DBNavigator::Last));
    QVERIFY(!nav.isButtonVisible(DBNavigator::Insert));
    nav.setHints(DBNavigator::standardHints());
    QCOMPARE(nav.button(DBNavigator::Post)->toolTip(), QStringLiteral("Post edit"));
    QCOMPARE(nav.button(DBNavigator::Refresh)->toolTip(), QStringLiteral("Refresh data"));
}

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
