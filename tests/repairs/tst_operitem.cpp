// The windows of one repair, opened from the history: its header, only its rows, new rows
// carrying its key (and the moment, for an operation), a refused row kept in editing, and
// the repair posted before they open.
#include "ListWindowProbe.h"
#include "RepairsTest.h"
#include "db/DBEditors.h"
#include "repairs/oper.h"
#include "repairs/operAct.h"
#include "repairs/operitem.h"

#include <QLayout>
#include <QToolButton>
#include <QtTest>

using namespace RepairsTest;

namespace {

// The current row as the grid shows it.
QString currentRow(const TFrmKl &frm)
{
    const ListWindowProbe probe(frm);
    return probe.rows().value(probe.currentRow());
}

// Runs `check` on the window that the button opens, and says what it opened.
QString openedBy(QToolButton *button, ScriptedDialogs &dialogs, const std::function<void(TFrmRepairPart &)> &check)
{
    const int before = dialogs.execLog.size();
    dialogs.dialogs.enqueue([&](QDialog &w) {
        check(static_cast<TFrmRepairPart &>(w));
        return int(QDialog::Accepted);
    });
    button->click();
    if (dialogs.execLog.size() == before) {
        dialogs.dialogs.clear();
        return QString();
    }
    return dialogs.execLog.last();
}

}  // namespace

class TestOperItem : public QObject {
    Q_OBJECT
private slots:
    void windowsOfOneRepair_data() { addBackendCases(); }
    void windowsOfOneRepair();
    void newRepairPostedFirst_data() { addBackendCases(); }
    void newRepairPostedFirst();
    void refusedRowStaysInEditing_data();
    void refusedRowStaysInEditing();
    void operationsInDateOrder_data() { addBackendCases(); }
    void operationsInDateOrder();
};

// Each window shows the repair above and only its rows; a row inserted carries its key.
void TestOperItem::windowsOfOneRepair()
{
    TAVRELL_TEST_DB(db);
    addRepairs(db);
    db.query(QStringLiteral("insert into rem_op values (301, 1, '2024-03-01 09:00:00', 1)"));
    db.query(QStringLiteral("insert into rem_res values (301, 102, 2)"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2026, 3, 15), QTime(10, 20, 30, 250)));
    TFrmOper history;

    // Repair 200: its two resources and two operations, none of 301's.
    QVERIFY(history.TblRem->Locate(QStringLiteral("id"), 200));
    QStringList seen;
    QCOMPARE(openedBy(history.BtnItems, dialogs,
                      [&](TFrmRepairPart &w) {
                          seen << w.windowTitle() << ListWindowProbe(w).titles().join('|') << ListWindowProbe(w).rows();
                          seen << w.EditNach->text() + '|' + w.EditVid->text() + '|' + w.EditOtdel->text() + '|' +
                                      w.EditIzd->text();
                          seen << QString::number(w.EditIzd->isReadOnly()) + w.DsLoc->DataSet()->Filter();
                      }),
             QStringLiteral("FrmOperItem"));
    QCOMPARE(seen, (QStringList{"Комплектующие операции", "Ресурс|Количество|Ед. Изм", "Поршок для заправки|1|гр.",
                                "Нагреват. элемент|1|шт.",
                                DateText::format(QDateTime(QDate(2004, 6, 25), QTime(0, 0))) +
                                    "|Средний|Экономический|HP LaserJet 5100",
                                "1rem_id=200"}));
    seen.clear();
    QCOMPARE(openedBy(history.BtnOper, dialogs,
                      [&](TFrmRepairPart &w) {
                          seen << w.windowTitle() << ListWindowProbe(w).titles().join('|') << ListWindowProbe(w).rows();
                      }),
             QStringLiteral("FrmOperAct"));
    // In the list's own order, the same on every backend: the one without a date first.
    const QStringList operationsOf200{"|Замена картриджа|Выполнено",
                                      DateText::format(QDateTime(QDate(2005, 5, 18), QTime(10, 53, 28))) +
                                          "|Заправка картриджа|Выполняется"};
    QCOMPARE(seen, QStringList({"Операции по ремонту", "Дата|Операция|Состояние"}) + operationsOf200);

    // Repair 301: a new operation carries its key and the moment, to the second.
    QVERIFY(history.TblRem->Locate(QStringLiteral("id"), 301));
    QCOMPARE(openedBy(history.BtnOper, dialogs,
                      [&](TFrmRepairPart &w) {
                          auto &ops = static_cast<TFrmOperAct &>(w);
                          seen = ListWindowProbe(w).rows();
                          ops.DBNavigator1->BtnClick(DBNavigator::Insert);
                          seen << currentRow(w);
                          QVERIFY(ListWindowProbe(w).setCell(1, QStringLiteral("Заправка картриджа")));
                          QVERIFY(ListWindowProbe(w).setCell(2, QStringLiteral("Выполняется")));
                          ops.DBNavigator1->BtnClick(DBNavigator::Post);
                      }),
             QStringLiteral("FrmOperAct"));
    const QString now = DateText::format(QDateTime(QDate(2026, 3, 15), QTime(10, 20, 30)));
    QCOMPARE(seen, (QStringList{DateText::format(QDateTime(QDate(2024, 3, 1), QTime(9, 0))) +
                                    "|Замена картриджа|Еще не начато",
                                now + "||"}));
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    QCOMPARE(
        db.scalar(QStringLiteral("select count(*) from rem_op where rem_id = 301 and op_id = 2 and State = 2")).toInt(),
        1);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from rem_op where rem_id = 200")).toInt(), 2);

    // ... and a new resource its key.
    QCOMPARE(openedBy(history.BtnItems, dialogs,
                      [&](TFrmRepairPart &w) {
                          seen = ListWindowProbe(w).rows();
                          w.DBNavigator1->BtnClick(DBNavigator::Insert);
                          QVERIFY(ListWindowProbe(w).setCell(0, QStringLiteral("Чернила")));
                          QVERIFY(ListWindowProbe(w).setCell(1, QStringLiteral("2.5")));
                          seen << currentRow(w);
                          w.DBNavigator1->BtnClick(DBNavigator::Post);
                      }),
             QStringLiteral("FrmOperItem"));
    QCOMPARE(seen, (QStringList{"Картридж|2|шт.", "Чернила|2.5|гр."}));
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    QCOMPARE(db.scalar(QStringLiteral("select cnt from rem_res where rem_id = 301 and res_id = 101")).toDouble(), 2.5);
}

// "Комплектующие" on a repair not yet saved saves it first and opens its empty list; a repair
// the database refuses opens nothing and stays in editing.
void TestOperItem::newRepairPostedFirst()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime(QDate(2026, 3, 15), QTime(10, 20, 30)));
    TFrmOper history;
    history.DBNavigator1->BtnClick(DBNavigator::Insert);
    const int id = history.TblRem->FieldByName(QStringLiteral("id"))->AsInteger();
    int rows = -1, remId = 0;
    QString start;
    QCOMPARE(openedBy(history.BtnItems, dialogs,
                      [&](TFrmRepairPart &w) {
                          rows = w.DsLoc->DataSet()->RecordCount();
                          remId = w.RemId;
                          start = w.EditNach->text();
                      }),
             QStringLiteral("FrmOperItem"));
    QCOMPARE(rows, 0);
    QCOMPARE(remId, id);
    QCOMPARE(start, DateText::format(QDateTime(QDate(2026, 3, 15), QTime(0, 0))));
    QCOMPARE(history.TblRem->State(), DataSetState::Browse);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from remont where id = %1").arg(id)).toInt(), 1);

    // A kind of repair that does not exist: the server's refusal, no window, still editing.
    history.DBNavigator1->BtnClick(DBNavigator::Insert);
    history.TblRem->FieldByName(QStringLiteral("Kod_vida"))->setValue(9999);
    QCOMPARE(openedBy(history.BtnOper, dialogs, [](TFrmRepairPart &) {}), QString());
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QCOMPARE(history.TblRem->State(), DataSetState::Insert);
    QCOMPARE(history.TblRem->FieldByName(QStringLiteral("Kod_vida"))->AsInteger(), 9999);
}

void TestOperItem::refusedRowStaysInEditing_data()
{
    addBackendColumn();
    QTest::addColumn<bool>("operations");
    QTest::addColumn<QString>("choice");  // empty: none chosen
    // clang-format off
    addBackendCase("resource listed already", [](QTestData &r) { r << false << "Нагреват. элемент"; });
    addBackendCase("no resource", [](QTestData &r) { r << false << ""; });
    addBackendCase("operation listed already", [](QTestData &r) { r << true << "Замена картриджа"; });
    addBackendCase("no operation", [](QTestData &r) { r << true << ""; });
    // clang-format on
}

// A row the database refuses shows the server's text; the row stays in editing with what
// the user typed, and can be corrected and saved.
void TestOperItem::refusedRowStaysInEditing()
{
    TAVRELL_TEST_DB(db);
    QFETCH(bool, operations);
    QFETCH(QString, choice);
    db.query(QStringLiteral("insert into Operations values (3, 'Чистка')"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper history;
    QVERIFY(history.TblRem->Locate(QStringLiteral("id"), 200));
    QString state;
    QStringList typed;
    const QString correct = operations ? QStringLiteral("Чистка") : QStringLiteral("Чернила");
    // The resource's quantity or the operation's state: the second column typed in.
    const QString other = operations ? QStringLiteral("Выполнено") : QStringLiteral("3");
    const int otherColumn = operations ? 2 : 1, choiceColumn = operations ? 1 : 0;
    QToolButton *button = operations ? history.BtnOper : history.BtnItems;
    openedBy(button, dialogs, [&](TFrmRepairPart &w) {
        w.DBNavigator1->BtnClick(DBNavigator::Insert);
        if (!choice.isEmpty())
            QVERIFY(ListWindowProbe(w).setCell(choiceColumn, choice));
        QVERIFY(ListWindowProbe(w).setCell(otherColumn, other));
        w.DBNavigator1->BtnClick(DBNavigator::Post);
        state =
            w.DsLoc->DataSet()->State() == DataSetState::Insert ? QStringLiteral("insert") : QStringLiteral("other");
        typed = ListWindowProbe(w).rows();
        typed << currentRow(w);
        // Corrected, it is saved.
        QVERIFY(ListWindowProbe(w).setCell(choiceColumn, correct));
        w.DBNavigator1->BtnClick(DBNavigator::Post);
        if (w.DsLoc->DataSet()->State() != DataSetState::Browse)
            state += QStringLiteral(", not saved when corrected");
    });
    QCOMPARE(state, QStringLiteral("insert"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY(!dialogs.messages.at(0).text.isEmpty());
    QCOMPARE(typed.size(), 4);
    QVERIFY2(typed.last().contains(other) && (choice.isEmpty() || typed.last().contains(choice)),
             qPrintable(typed.last()));
    const QString table = operations ? QStringLiteral("rem_op") : QStringLiteral("rem_res");
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from %1 where rem_id = 200").arg(table)).toInt(), 3);
}

// The operations of a repair by date, those without one first, equal dates by the
// operation's key: one order on both backends, also after a row changed (the shared server
// then keeps it elsewhere).
void TestOperItem::operationsInDateOrder()
{
    TAVRELL_TEST_DB(db);
    addRepairs(db);
    for (int op = 3; op <= 5; ++op)
        db.query(QStringLiteral("insert into Operations values (%1, 'Операция %1')").arg(op));
    db.query(QStringLiteral("insert into rem_op values (301, 3, Null, 1)"));
    db.query(QStringLiteral("insert into rem_op values (301, 1, '2024-03-02 00:00:00', 1)"));
    db.query(QStringLiteral("insert into rem_op values (301, 4, Null, 1)"));
    db.query(QStringLiteral("insert into rem_op values (301, 5, '2024-03-01 00:00:00', 1)"));
    db.query(QStringLiteral("insert into rem_op values (301, 2, '2024-03-01 00:00:00', 1)"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper history;
    QVERIFY(history.TblRem->Locate(QStringLiteral("id"), 301));
    const QString first = DateText::format(QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    const QString second = DateText::format(QDateTime(QDate(2024, 3, 2), QTime(0, 0)));
    const QStringList expected{"|Операция 3", "|Операция 4", first + "|Заправка картриджа", first + "|Операция 5",
                               second + "|Замена картриджа"};
    auto operations = [&] {
        QStringList rows;
        openedBy(history.BtnOper, dialogs, [&](TFrmRepairPart &w) {
            for (const QString &r : ListWindowProbe(w).rows())
                rows << r.section(QLatin1Char('|'), 0, 1);
        });
        return rows;
    };
    QCOMPARE(operations(), expected);
    db.query(QStringLiteral("update rem_op set State = 2 where rem_id = 301 and op_id = 3"));
    db.query(QStringLiteral("update rem_op set State = 2 where rem_id = 301 and op_id = 2"));
    QCOMPARE(operations(), expected);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
}

QTEST_MAIN(TestOperItem)
#include "tst_operitem.moc"
