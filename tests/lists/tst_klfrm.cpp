// The list window template built headless over a shared dataset: its components, the
// record count on opening, after an insert and after a delete, and the main grid's font.
#include "TestSupport.h"
#include "lists/klfrm.h"

#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

class TestKlfrm : public QObject {
    Q_OBJECT
private slots:
    void statusCountsRecords_data() { addBackendCases(); }
    void statusCountsRecords();
    void layoutAndFont();
};

void TestKlfrm::statusCountsRecords()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmKl frm({QStringLiteral("FrmKlOtdels"), QStringLiteral("Отделы предприятия"), dm->TblOtdel});
    QVERIFY(dm->TblOtdel->Active());
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 5 запись(сей)"));

    frm.DBNavigator1->BtnClick(DBNavigator::Insert);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 6 запись(сей)"));
    QCOMPARE(dm->TblOtdel->FieldByName("id")->AsInteger(), 17);
    // Insert puts the new row before the current one, the first.
    QCOMPARE(dm->TblOtdel->RecNo(), 1);
    QCOMPARE(frm.grid->currentIndex().row(), 0);
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(0, 0), QStringLiteral("Юридический")));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QCOMPARE(db.scalar("select name from otdel where id = 17").toString(), QStringLiteral("Юридический"));
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 6 запись(сей)"));

    dialogs.answers.enqueue(Dialogs::Ok);
    frm.DBNavigator1->BtnClick(DBNavigator::Delete);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 5 запись(сей)"));
    QCOMPARE(db.scalar("select count(*) from otdel").toInt(), 5);

    // The dataset stays open after the window.
    frm.close();
    QVERIFY(dm->TblOtdel->Active());
}

void TestKlfrm::layoutAndFont()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDBGrid mainGrid;
    QFont f(QStringLiteral("DejaVu Sans"), 13);
    f.setItalic(true);
    mainGrid.setFont(f);
    TDBGrid::setMainGrid(&mainGrid);
    db.query("delete from zajav");
    db.query("delete from izdel");
    db.query("delete from States");
    TFrmKl frm({QStringLiteral("FrmKlStates"), QStringLiteral("Справочник состояний"), dm->TblStates});
    TDBGrid::setMainGrid(nullptr);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("Справочник состояний"));
    QCOMPARE(frm.grid->font().pointSize(), 13);
    QVERIFY(frm.grid->font().italic());
    for (const char *name :
         {"Panel1", "DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnClose", "grid", "StatusBar", "DsLoc"})
        QVERIFY2(frm.findChild<QObject *>(QString::fromLatin1(name)), name);
    QCOMPARE(frm.BtnRep->toolTip(), QStringLiteral("Отчет в msWord"));
    QCOMPARE(frm.BtnSendToMail->toolTip(), QStringLiteral("Отправить по почте"));
    QCOMPARE(frm.BtnExport->toolTip(), QStringLiteral("Экспорт в файл..."));
    QCOMPARE(frm.BtnClose->toolTip(), QStringLiteral("Закрыть окно"));
    QVERIFY(!frm.DBNavigator1->isButtonVisible(DBNavigator::Refresh));
    // The grid shows the visible field with its label, 100 characters wide.
    QCOMPARE(frm.grid->columnCount(), 1);
    QCOMPARE(frm.grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Состояние"));
    QCOMPARE(frm.grid->columnWidthPixels(0), frm.grid->widthForChars(100, QStringLiteral("Состояние")));

    frm.show();
    QVERIFY(frm.isVisible());
    frm.BtnClose->click();
    QVERIFY(!frm.isVisible());
}

QTEST_MAIN(TestKlfrm)
#include "tst_klfrm.moc"
