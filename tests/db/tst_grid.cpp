// The grid model (checked by QAbstractItemModelTester through inserts, deletes, filters and
// reopening), the grid following the dataset both ways, in-place edits, the drawing hook,
// column widths, and the bound editors.
#include "TestSupport.h"
#include "core/DayTime.h"
#include "db/DBEditors.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QtTest>

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void modelStaysConsistent();
    void gridAndDataSetFollowEachOther();
    void inPlaceEditPostsOnLeavingRow();
    void refusedInPlaceEditStaysInEditing();
    void lookupColumnDropDown();
    void columnsWidthsTitlesAndHook();
    void dateColumnsFitTheLocalesDates_data();
    void dateColumnsFitTheLocalesDates();
    void editors();
    void dateEditRefusesBadDate();
};

void TestGrid::modelStaysConsistent()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    TDataSet *z = dm->Tblzajav;
    TDataSetModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDataSet(z);
    QCOMPARE(model.rowCount(), 0);
    z->Open();
    QCOMPARE(model.rowCount(), 2);
    // Visible fields in order: date, description, item, state.
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Изделие"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("HP deskjet 1220"));
    QCOMPARE(model.data(model.index(1, 3)).toString(), QStringLiteral("Приостановлена"));

    z->Append();
    QCOMPARE(model.rowCount(), 3);
    z->FieldByName("Opis")->setText(QStringLiteral("новая"));
    QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("новая"));
    z->Post();
    z->First();
    z->Insert();
    QCOMPARE(model.rowCount(), 4);
    z->Cancel();
    QCOMPARE(model.rowCount(), 3);
    z->setFilter(QStringLiteral("State = 2"));
    z->setFiltered(true);
    QCOMPARE(model.rowCount(), 1);
    z->setFiltered(false);
    z->Last();
    z->Delete();
    QCOMPARE(model.rowCount(), 2);
    // The lookup datasets change under the model.
    dm->TblZStates->Locate("id", 2);
    dm->TblZStates->Edit();
    dm->TblZStates->FieldByName("StateName")->setText(QStringLiteral("Ждёт"));
    dm->TblZStates->Post();
    QCOMPARE(model.data(model.index(1, 3)).toString(), QStringLiteral("Ждёт"));
    dm->TblIsdel->Close();
    dm->TblIsdel->Open();
    z->Requery();
    z->Close();
    QCOMPARE(model.rowCount(), 0);
    z->Open();
    QCOMPARE(model.rowCount(), 2);
}

void TestGrid::gridAndDataSetFollowEachOther()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TDataSource src(nullptr, dm->TblStates);
    TDBGrid grid;
    grid.setDataSource(&src);
    dm->TblStates->Open();
    grid.show();
    QCOMPARE(grid.currentIndex().row(), 0);
    dm->TblStates->setRecNo(4);
    QCOMPARE(grid.currentIndex().row(), 3);
    grid.setCurrentIndex(grid.model()->index(1, 0));
    QCOMPARE(dm->TblStates->RecNo(), 2);
    QCOMPARE(dm->TblStates->FieldByName("Name")->AsString(), QStringLiteral("Хорошее"));
    dm->TblStates->Append();
    QCOMPARE(grid.currentIndex().row(), 6);
    dm->TblStates->Cancel();
    QCOMPARE(grid.currentIndex().row(), 5);
}

void TestGrid::inPlaceEditPostsOnLeavingRow()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    TDataSource src(nullptr, dm->TblOtdel);
    TDBGrid grid;
    grid.setDataSource(&src);
    dm->TblOtdel->Open();
    QAbstractItemModel *m = grid.model();
    QVERIFY(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(m->setData(m->index(1, 0), QStringLiteral("Финансовый")));
    QCOMPARE(dm->TblOtdel->State(), DataSetState::Edit);
    QCOMPARE(dm->TblOtdel->RecNo(), 2);
    QCOMPARE(db.scalar("select name from otdel where id = 12").toString(), QStringLiteral("Экономический"));
    grid.setCurrentIndex(m->index(3, 0));
    QCOMPARE(dm->TblOtdel->State(), DataSetState::Browse);
    QCOMPARE(db.scalar("select name from otdel where id = 12").toString(), QStringLiteral("Финансовый"));
    QVERIFY(dialogs.messages.isEmpty());

    grid.setReadOnly(true);
    QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!m->setData(m->index(0, 0), QStringLiteral("x")));
}

void TestGrid::refusedInPlaceEditStaysInEditing()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    TDataSource src(nullptr, dm->TblOtdel);
    TDBGrid grid;
    grid.setDataSource(&src);
    dm->TblOtdel->Open();
    QAbstractItemModel *m = grid.model();
    // Too long: the field refuses, the error is shown, nothing changes.
    QVERIFY(!m->setData(m->index(0, 0), QString(66, QLatin1Char('x'))));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
    QCOMPARE(dm->TblOtdel->FieldByName("Name")->AsString(), QStringLiteral("Административный"));

    // The server refuses the post when the grid leaves the row: it stays on it, editing.
    dm->TblOtdel->Append();
    dm->TblOtdel->FieldByName("id")->setValue(11);
    QVERIFY(m->setData(m->index(5, 0), QStringLiteral("Дубль")));
    dialogs.clear();
    grid.setCurrentIndex(m->index(0, 0));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dm->TblOtdel->State(), DataSetState::Insert);
    QCOMPARE(grid.currentIndex().row(), 5);
    QCOMPARE(dm->TblOtdel->RecNo(), 6);
}

void TestGrid::lookupColumnDropDown()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    TDataSource src(nullptr, dm->Tblzajav);
    TDBGrid grid;
    grid.setDataSource(&src);
    dm->Tblzajav->Open();
    grid.show();
    const QModelIndex state = grid.model()->index(0, 3);
    QWidget *editor = grid.itemDelegate()->createEditor(grid.viewport(), QStyleOptionViewItem(), state);
    auto *combo = qobject_cast<QComboBox *>(editor);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    grid.itemDelegate()->setEditorData(combo, state);
    QCOMPARE(combo->currentText(), QStringLiteral("Закрыта"));
    combo->setCurrentIndex(combo->findText(QStringLiteral("Открыта")));
    grid.itemDelegate()->setModelData(combo, grid.model(), state);
    QCOMPARE(dm->Tblzajav->FieldByName("State")->AsInteger(), 1);
    dm->Tblzajav->Post();
    QCOMPARE(db.scalar("select state from zajav where id = 4").toInt(), 1);
    delete editor;

    // A pick-list column offers its own texts.
    TColumn &c = grid.addColumn(QStringLiteral("Opis"));
    c.PickList = QStringList{QStringLiteral("не печатает"), QStringLiteral("мажет")};
    grid.updateColumns();
    editor = grid.itemDelegate()->createEditor(grid.viewport(), QStyleOptionViewItem(), grid.model()->index(0, 0));
    combo = qobject_cast<QComboBox *>(editor);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    delete editor;
}

void TestGrid::columnsWidthsTitlesAndHook()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    TDataSource src(nullptr, items.get());
    TDBGrid grid;
    grid.setDataSource(&src);
    grid.addColumn(QStringLiteral("Name"), QString(), 107);
    grid.addColumn(QStringLiteral("Nomer"), QString(), 70);
    grid.addColumn(QStringLiteral("Отдел"), QStringLiteral("Подразделение"));
    TColumn &ell = grid.addColumn(QStringLiteral("Seria"));
    ell.ButtonStyle = TColumn::Ellipsis;
    items->Open();
    QCOMPARE(grid.columnCount(), 4);
    QCOMPARE(grid.columnWidthPixels(0), 107);
    QCOMPARE(grid.columnWidthPixels(1), 70);
    // Without a width: the field's display width in the grid's font.
    QCOMPARE(grid.columnWidthPixels(2), grid.widthForChars(65, QStringLiteral("Подразделение")));
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Номер"));
    QCOMPARE(grid.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Подразделение"));
    QCOMPARE(grid.model()->data(grid.model()->index(0, 2)).toString(), QStringLiteral("Плановый"));

    QSignalSpy titles(&grid, &TDBGrid::titleClick);
    emit grid.horizontalHeader()->sectionClicked(2);
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.at(0).at(0).toInt(), 2);
    grid.setTitleBold(2, true);
    QVERIFY(grid.model()->headerData(2, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    QVERIFY(!grid.model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());

    // The hook sees the row being drawn through the fields.
    QSet<int> drawnIds;
    int selectedCells = 0;
    grid.OnDrawColumnCell = [&](TDBGrid::DrawCell &cell) {
        drawnIds.insert(items->FieldByName("id")->AsInteger());
        if (cell.selected)
            ++selectedCells;
        if (items->FieldByName("id")->AsInteger() == 103)
            cell.painter->fillRect(cell.rect, Qt::red);
    };
    grid.resize(600, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QImage img(grid.viewport()->size(), QImage::Format_ARGB32);
    grid.viewport()->render(&img);
    QCOMPARE(drawnIds.size(), 7);
    QVERIFY(selectedCells >= 1);
    QCOMPARE(items->RecNo(), 1);  // painting leaves the current record alone

    // The font change keeps pixel widths that were given.
    QFont f = grid.font();
    f.setPointSize(f.pointSize() + 6);
    grid.setFont(f);
    QCOMPARE(grid.columnWidthPixels(0), 107);
    QCOMPARE(grid.columnWidthPixels(2), grid.widthForChars(65, QStringLiteral("Подразделение")));

    // The ellipsis button of the current cell.
    QSignalSpy ellipsis(&grid, &TDBGrid::editButtonClick);
    grid.setCurrentIndex(grid.model()->index(0, 3));
    QTest::keyClick(&grid, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(ellipsis.count(), 1);
}

void TestGrid::dateColumnsFitTheLocalesDates_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("declared");  // the field's display width; 0: none
    QTest::addColumn<QFont>("font");    // the grid's font; no family: as it is
    QTest::addColumn<QString>("text");  // the longest text the column shows
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    const QFont as;
    const QFont serif(QStringLiteral("DejaVu Serif"), 12);
    const QFont bold(QStringLiteral("DejaVu Sans"), 11, QFont::Bold);
    QTest::newRow("Russian date") << ru << 10 << as << QStringLiteral("21.09.2003");
    QTest::newRow("Russian date and time") << ru << 0 << as << QStringLiteral("28.12.2022 23:59:59");
    QTest::newRow("Russian date, serif") << ru << 10 << serif << QStringLiteral("21.09.2003");
    // A short date of eleven characters, with letters wider than digits.
    QTest::newRow("C date") << c << 10 << as << QStringLiteral("21 Sep 2003");
    QTest::newRow("C date and time") << c << 0 << as << QStringLiteral("28 Dec 2022 23:59:59");
    QTest::newRow("C date, wider declared") << c << 15 << as << QStringLiteral("21 Sep 2003");
    QTest::newRow("C date, serif") << c << 10 << serif << QStringLiteral("21 Sep 2003");
    QTest::newRow("C date and time, serif") << c << 0 << serif << QStringLiteral("28 Dec 2022 23:59:59");
    QTest::newRow("C date, bold") << c << 10 << bold << QStringLiteral("21 Sep 2003");
    QTest::newRow("C date and time, bold") << c << 0 << bold << QStringLiteral("28 Dec 2022 23:59:59");
}

// A date column shows its dates whole in the running locale and the grid's font, however
// its width was declared.
void TestGrid::dateColumnsFitTheLocalesDates()
{
    QFETCH(QLocale, locale);
    QFETCH(int, declared);
    QFETCH(QFont, font);
    QFETCH(QString, text);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QLocale::setDefault(locale);
    auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); });
    const QDateTime when = text.contains(QLatin1Char(':')) ? QDateTime(QDate(2022, 12, 28), QTime(23, 59, 59))
                                                           : QDateTime(QDate(2003, 9, 21), QTime(0, 0));
    QCOMPARE(DateText::format(when), text);

    TDataSet t;
    t.setTableName(QStringLiteral("izdel"));
    t.addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    TField &date = t.addField(QStringLiteral("D_vup"), FieldType::DateTime).setDisplayLabel(QStringLiteral("Д"));
    if (declared > 0)
        date.setDisplayWidth(declared);
    TDataSource src(nullptr, &t);
    TDBGrid grid;
    if (!font.family().isEmpty())
        grid.setFont(font);
    grid.setDataSource(&src);
    t.Open();
    QCOMPARE(grid.columnCount(), 1);
    // The cell's text keeps the delegate's margin on both sides.
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    const int room = grid.columnWidthPixels(0) - 2 * margin;
    const int needed = QFontMetrics(grid.font()).horizontalAdvance(text);
    QVERIFY2(room >= needed, qPrintable(QStringLiteral("%1 px for %2 px").arg(room).arg(needed)));
}

void TestGrid::editors()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    ScriptedDialogs dialogs;
    TDataSource src(nullptr, items.get());
    items->Open();
    QVERIFY(items->Locate("id", 101));

    DBEdit name;
    name.setDataSource(&src);
    name.setDataField(QStringLiteral("Name"));
    QCOMPARE(name.text(), QStringLiteral("HP deskjet 1220"));
    QCOMPARE(name.maxLength(), 30);

    DBComboBox form;
    form.addItems({"A4", "A3", "A2", "A1", "A0", QStringLiteral("др.")});
    form.setDataSource(&src);
    form.setDataField(QStringLiteral("form"));
    QCOMPARE(form.currentText(), QStringLiteral("A4"));  // the stored "A4 " shows as its entry

    DBLookupComboBox otdel;
    otdel.setDataSource(&src);
    otdel.setDataField(QStringLiteral("Отдел"));
    QCOMPARE(otdel.count(), 5);
    QCOMPARE(otdel.currentText(), QStringLiteral("Плановый"));

    DBMemo info;
    info.setDataSource(&src);
    info.setDataField(QStringLiteral("Info"));
    DBText text;
    text.setDataSource(&src);
    text.setDataField(QStringLiteral("Отдел"));
    QCOMPARE(text.text(), QStringLiteral("Плановый"));

    // Moving follows.
    QVERIFY(items->Locate("id", 103));
    QCOMPARE(name.text(), QStringLiteral("Canon 5530 D"));
    QCOMPARE(info.toPlainText(), QStringLiteral("еле дышит пора сдавать в утиль"));
    QCOMPARE(otdel.currentText(), QStringLiteral("Технический"));

    // Typing puts the dataset into editing; leaving stores.
    QTest::keyClicks(&name, QStringLiteral("X"));
    QCOMPARE(items->State(), DataSetState::Edit);
    QVERIFY(name.commit());
    QCOMPARE(items->FieldByName("Name")->AsString(), QStringLiteral("Canon 5530 DX"));
    emit otdel.activated(otdel.findText(QStringLiteral("Издательский")));
    QCOMPARE(items->FieldByName("otdel")->AsInteger(), 15);
    QCOMPARE(text.text(), QStringLiteral("Издательский"));
    emit form.activated(form.findText(QStringLiteral("A0")));
    QCOMPARE(items->FieldByName("form")->AsString(), QStringLiteral("A0 "));
    items->Post();
    QCOMPARE(db.scalar("select otdel from izdel where id = 103").toInt(), 15);
    QCOMPARE(db.scalar("select name from izdel where id = 103").toString(), QStringLiteral("Canon 5530 DX"));
    QVERIFY(dialogs.messages.isEmpty());

    // Read-only dataset: editors do not edit.
    items->setReadOnly(true);
    QVERIFY(name.isReadOnly());
    items->setReadOnly(false);
}

void TestGrid::dateEditRefusesBadDate()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const std::unique_ptr<TDataSet> items = TestDb::itemTable();
    ScriptedDialogs dialogs;
    TDataSource src(nullptr, items.get());
    items->Open();
    QVERIFY(items->Locate("id", 101));
    QWidget window;
    auto *date = new DBDateEdit(&window);
    auto *other = new QLineEdit(&window);
    date->setDataSource(&src);
    date->setDataField(QStringLiteral("D_vup"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(date->text(), QStringLiteral("20.05.1999"));
    date->setFocus();
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("31.02.2005"));
    other->setFocus();
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages.at(0).text.contains(QStringLiteral("31.02.2005")));
    QVERIFY(date->hasFocus());
    QCOMPARE(items->FieldByName("D_vup")->AsDateTime(), DayTime::of(QDate(1999, 5, 20), QTime(0, 0)));
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("21.02.2005"));
    other->setFocus();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(items->FieldByName("D_vup")->AsDateTime(), DayTime::of(QDate(2005, 2, 21), QTime(0, 0)));
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
