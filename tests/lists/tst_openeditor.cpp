// A value typed into a grid cell whose editor is still open: whatever the user does next
// (a toolbar button, the search, a report, closing the window, the program ending), the
// value lands in the row it was typed in, and the grid's highlighted row is the dataset's
// current row. Drop-downs store the key of the entry chosen, never a look-up by its text.
// A list window opens with the keyboard in its grid.
#include "../repairs/RepairsTest.h"
#include "TestSupport.h"
#include "admin/Directories.h"
#include "core/Cp1251.h"
#include "export/MSWord.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/RecordingSink.h"
#include "lists/klfrm.h"
#include "repairs/oper.h"
#include "repairs/operAct.h"
#include "repairs/operitem.h"
#include "repairs/zajaw.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

// The windows of the table: which one, which column is typed into, and the key of the row.
enum class Window { Requests, Repairs, States };

struct Opened {
    std::unique_ptr<TFrmKl> window;
    QString table, keyColumn, column;  // where the typed value must end up
    int key = 0;
};

Opened open(Window which)
{
    Opened o;
    switch (which) {
    case Window::Requests:
        o.window = std::make_unique<TFrmZajaw>();
        o.table = QStringLiteral("zajav");
        o.column = QStringLiteral("Opis");
        break;
    case Window::Repairs:
        o.window = std::make_unique<TFrmOper>();
        o.table = QStringLiteral("remont");
        o.column = QStringLiteral("Prichina");
        break;
    case Window::States:
        o.window = std::make_unique<TFrmKl>(directoryWindow(Directory::KlStates));
        o.table = QStringLiteral("States");
        o.column = QStringLiteral("Name");
        break;
    }
    o.keyColumn = QStringLiteral("id");
    return o;
}

int columnOf(const TDBGrid *grid, const QString &field) { return int(grid->dataModel()->columns().indexOf(field)); }

TDataSet *dataSetOf(const TFrmKl &w) { return w.DsLoc->DataSet(); }

// Opens the cell's editor and types into it, leaving it open (the user has not left the cell).
bool typeInto(TDBGrid *grid, int row, const QString &field, const QString &text)
{
    const QModelIndex index = grid->model()->index(row, columnOf(grid, field));
    grid->setCurrentIndex(index);
    grid->edit(index);
    auto *edit = qobject_cast<QLineEdit *>(grid->openEditor());
    if (!edit)
        return false;
    edit->selectAll();
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    return edit->text() == text;
}

// The value the dataset holds for the row of this key (being edited or as stored).
QString heldValue(const TDataSet *ds, const QString &column, int key)
{
    const int position = ds->findRow(QStringLiteral("id"), key);
    if (position < 0)
        return QStringLiteral("<row not listed>");
    return TField::unpadded(ds->FieldByName(column)->valueAt(ds->rowIndexAt(position)).toString()).toString();
}

bool gridOnCurrentRow(const TFrmKl &w)
{
    const TDataSet *ds = dataSetOf(w);
    return ds && ds->Active() && w.grid->currentIndex().row() == ds->RecNo() - 1;
}

QStringList inserted(const RecordingSink &sink)
{
    QStringList texts;
    for (const RecordingSink::Command &c : sink.commands)
        if (c.name == QLatin1String("Insert"))
            texts << c.args.value(0).toString();
    return texts;
}

void showActive(QWidget &w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

const QString Typed = QStringLiteral("Замятие в узле фиксации");

}  // namespace

class TestOpenEditor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup()
    {
        TMSWord::setSinkFactory({});
        MailSender::setCurrent(nullptr);
    }
    void typedValueStaysInItsRow_data();
    void typedValueStaysInItsRow();
    void searchThenDeleteActsOnTheHighlightedRow_data() { addBackendCases(); }
    void searchThenDeleteActsOnTheHighlightedRow();
    void refusedValueStopsTheAction_data() { addBackendCases(); }
    void refusedValueStopsTheAction();
    void destroyedWithOpenEditor_data() { addBackendCases(); }
    void destroyedWithOpenEditor();
    void dropDownStoresTheChosenKey_data();
    void dropDownStoresTheChosenKey();
    void keyboardStartsInTheGrid_data();
    void keyboardStartsInTheGrid();
};

// Each row: a window, an action taken while the cell editor is still open, and whether the
// value is then in the database ("posted") or only in the row ("held").
void TestOpenEditor::typedValueStaysInItsRow_data()
{
    addBackendColumn();
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("posted");
    struct Case {
        const char *name;
        Window window;
        const char *action;
        bool posted;
    };
    const Case cases[] = {
        // Closing the requests posts a pending request; so does the program ending. A report,
        // mail or export walks the list, which saves the row it leaves.
        {"requests, close button", Window::Requests, "close", true},
        {"requests, program ends", Window::Requests, "exit", true},
        {"requests, report", Window::Requests, "report", true},
        {"requests, mail", Window::Requests, "mail", true},
        {"requests, export", Window::Requests, "export", true},
        {"requests, card", Window::Requests, "card", false},
        // The repair history saves a repair before its resources open; closing it does not
        // save a row in editing.
        {"repairs, resources", Window::Repairs, "resources", true},
        {"repairs, works", Window::Repairs, "works", true},
        {"repairs, report", Window::Repairs, "report", true},
        {"repairs, close button", Window::Repairs, "close", false},
        {"repairs, program ends", Window::Repairs, "exit", false},
        {"states, report", Window::States, "report", true},
        {"states, export", Window::States, "export", true},
        {"states, close button", Window::States, "close", false},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) { r << int(c.window) << QString::fromLatin1(c.action) << c.posted; });
}

void TestOpenEditor::typedValueStaysInItsRow()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, window);
    QFETCH(QString, action);
    QFETCH(bool, posted);
    const auto user = LoggedIn::as("A").scoped();
    RepairsTest::addRepairs(db);
    ScriptedDialogs dialogs;
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    RecordingMailSender mail;
    MailSender::setCurrent(&mail);

    Opened o = open(Window(window));
    TFrmKl &w = *o.window;
    showActive(w);
    TDataSet *ds = dataSetOf(w);
    // The second row: a move back to the first would show.
    QVERIFY(ds->RecordCount() >= 2);
    const int row = 1;
    const int key = ds->FieldByName(o.keyColumn)->valueAt(ds->rowIndexAt(row)).toInt();
    const QString before =
        db.scalar(QStringLiteral("select %1 from %2 where id = %3").arg(o.column, o.table).arg(key)).toString();
    QVERIFY(typeInto(w.grid, row, o.column, Typed));
    QVERIFY(ds->State() != DataSetState::Insert);

    const QString csv = QDir(db.folder()).filePath(QStringLiteral("list.csv"));
    auto click = [&](const char *name) {
        auto *b = w.findChild<QAbstractButton *>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QVERIFY2(b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton);
    };
    if (action == QLatin1String("close")) {
        click(w.BtnClose->objectName().toLatin1());
        QVERIFY(!w.isVisible());
    } else if (action == QLatin1String("exit")) {
        // Ending the session closes every window, as the desktop does when it logs out.
        QApplication::closeAllWindows();
        QVERIFY(!w.isVisible());
    } else if (action == QLatin1String("report")) {
        click("BtnRep");
        QVERIFY2(inserted(*sink).contains(Typed), qPrintable(inserted(*sink).join(QLatin1Char('|'))));
    } else if (action == QLatin1String("mail")) {
        click("BtnSendToMail");
        QCOMPARE(mail.messages.size(), 1);
        QVERIFY(mail.messages.constFirst().body.contains(Typed));
    } else if (action == QLatin1String("export")) {
        dialogs.saveNames.enqueue(csv);
        click("BtnExport");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains(Cp1251::encode(Typed)));
    } else if (action == QLatin1String("card")) {
        click("BtnCard");
        QVERIFY2(inserted(*sink).contains(QStringLiteral("Описание :") + Typed + QLatin1Char('\r')),
                 qPrintable(inserted(*sink).join(QLatin1Char('|'))));
    } else if (action == QLatin1String("resources") || action == QLatin1String("works")) {
        click(action == QLatin1String("resources") ? "BtnItems" : "BtnOper");
        QCOMPARE(dialogs.execLog.size(), 1);
    }
    QVERIFY(!w.grid->openEditor());
    if (ds->Active()) {
        QCOMPARE(heldValue(ds, o.column, key), Typed);
        QVERIFY(gridOnCurrentRow(w));
    }
    const QString stored =
        db.scalar(QStringLiteral("select %1 from %2 where id = %3").arg(o.column, o.table).arg(key)).toString();
    QCOMPARE(TField::unpadded(stored).toString(), posted ? Typed : TField::unpadded(before).toString());
    if (ds->Active() && ds->isEditing())
        ds->Cancel();
}

// The search moves the list while a cause is typed into the first repair: the cause is saved
// into that repair, the list and the grid both stand on the repair found, and Delete deletes
// that one, not the one typed into.
void TestOpenEditor::searchThenDeleteActsOnTheHighlightedRow()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R").scoped();
    RepairsTest::addRepairs(db);
    ScriptedDialogs dialogs;
    TFrmOper w;
    showActive(w);
    TDataSet *ds = w.TblRem;
    const int typedKey = ds->FieldByName(QStringLiteral("id"))->valueAt(ds->rowIndexAt(0)).toInt();
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QVERIFY(w.PanelFind->isVisible());
    w.ComboBox1->setCurrentIndex(5);  // "Причина"
    w.EditFind->setText(QStringLiteral("замена"));
    QVERIFY(typeInto(w.grid, 0, QStringLiteral("Prichina"), QStringLiteral("Профилактика узла")));
    // "Найти" takes no focus: the cell editor is still open when it acts.
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(ds->FieldByName(QStringLiteral("id"))->AsInteger(), 301);
    QVERIFY(gridOnCurrentRow(w));
    QCOMPARE(db.scalar(QStringLiteral("select Prichina from remont where id = %1").arg(typedKey)).toString(),
             QStringLiteral("Профилактика узла"));

    dialogs.answers.enqueue(Dialogs::Ok);
    w.DBNavigator1->BtnClick(DBNavigator::Delete);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from remont where id = 301")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from remont where id = %1").arg(typedKey)).toInt(), 1);
    QVERIFY(gridOnCurrentRow(w));
}

// A value the field refuses (too long for a date) is shown once; the click that followed does
// not act, the editor keeps the text and the row does not change.
void TestOpenEditor::refusedValueStopsTheAction()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper w;
    showActive(w);
    QVERIFY(typeInto(w.grid, 0, QStringLiteral("Nach_rem"), QStringLiteral("не дата")));
    QTest::mouseClick(w.BtnItems, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.execLog.isEmpty());
    auto *edit = qobject_cast<QLineEdit *>(w.grid->openEditor());
    QVERIFY(edit);
    QCOMPARE(edit->text(), QStringLiteral("не дата"));
    QVERIFY(gridOnCurrentRow(w));
    w.grid->discardEditor();
}

// Destroying a window whose cell editor is open runs none of its handlers and stores nothing.
void TestOpenEditor::destroyedWithOpenEditor()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    auto w = std::make_unique<TFrmZajaw>();
    showActive(*w);
    QVERIFY(typeInto(w->grid, 0, QStringLiteral("Opis"), Typed));
    QSignalSpy changes(dm->Tblzajav, &TDataSet::dataChanged);
    w.reset();
    QCOMPARE(changes.count(), 0);
    QVERIFY(!dm->Tblzajav->isEditing());
}

// Two entries of a drop-down share a name: choosing the second stores the second's key, the
// drop-down tells them apart, and the cell shows the plain name.
void TestOpenEditor::dropDownStoresTheChosenKey_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("what");
    for (const char *what : {"request item", "resource", "repair kind", "operation", "request state"})
        addBackendCase(what, [&](QTestData &r) { r << QString::fromLatin1(what); });
}

void TestOpenEditor::dropDownStoresTheChosenKey()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, what);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    // Each case: the second entry of the name (its key), the window, the column.
    int second = 0;
    QString name, column, keyField, expectedText;
    std::unique_ptr<TFrmKl> w;
    std::unique_ptr<TFrmOper> history;
    if (what == QLatin1String("request item")) {
        db.query(QStringLiteral(
            "insert into izdel (id, Name, Seria, Nomer, otdel) values (901, 'HP LaserJet 5100', 'CN-9', '901', 13)"));
        name = QStringLiteral("HP LaserJet 5100");
        second = 901;
        column = QStringLiteral("Изделие");
        keyField = QStringLiteral("izd");
        w = std::make_unique<TFrmZajaw>();
    } else if (what == QLatin1String("request state")) {
        db.query(QStringLiteral("insert into zaj_states (id, StateName) values (9, 'Открыта')"));
        name = QStringLiteral("Открыта");
        second = 9;
        column = QStringLiteral("Состояние");
        keyField = QStringLiteral("State");
        w = std::make_unique<TFrmZajaw>();
    } else if (what == QLatin1String("repair kind")) {
        db.query(QStringLiteral("insert into vidu (id, Name) values (901, 'Средний')"));
        name = QStringLiteral("Средний");
        second = 901;
        column = QStringLiteral("Вид ремонта");
        keyField = QStringLiteral("Kod_vida");
        w = std::make_unique<TFrmOper>();
    } else {
        // The windows of repair 200.
        history = std::make_unique<TFrmOper>();
        QVERIFY(history->TblRem->Locate(QStringLiteral("id"), 200));
        if (what == QLatin1String("resource")) {
            db.query(QStringLiteral("insert into resurs (id, Name, Ed_izmer) values (901, 'Картридж', 'шт.')"));
            db.query(QStringLiteral("insert into resurs (id, Name, Ed_izmer) values (902, 'Картридж', 'кор.')"));
            db.query(QStringLiteral("insert into rem_res (rem_id, res_id, cnt) values (200, 901, 1)"));
            dm->Tblresurs->Close();  // read again with the window
            name = QStringLiteral("Картридж");
            second = 902;
            column = QStringLiteral("Ресурс");
            keyField = QStringLiteral("res_id");
            w = std::make_unique<TFrmOperItem>(history->DsLoc, 200);
        } else {
            db.query(QStringLiteral("insert into operations (id, Name) values (901, 'Чистка')"));
            db.query(QStringLiteral("insert into operations (id, Name) values (902, 'Чистка')"));
            db.query(QStringLiteral("insert into rem_op (rem_id, op_id, dt) values (200, 901, '2024-01-01 10:00:00')"));
            dm->TblOperations->Close();
            name = QStringLiteral("Чистка");
            second = 902;
            column = QStringLiteral("Операция");
            keyField = QStringLiteral("op_id");
            w = std::make_unique<TFrmOperAct>(history->DsLoc, 200);
        }
    }
    showActive(*w);
    TDataSet *ds = dataSetOf(*w);
    QVERIFY(ds->RecordCount() > 0);
    // A row that holds another entry of the name, or none.
    const QModelIndex index = w->grid->model()->index(0, columnOf(w->grid, column));
    w->grid->setCurrentIndex(index);
    w->grid->edit(index);
    auto *combo = qobject_cast<QComboBox *>(w->grid->openEditor());
    QVERIFY(combo);
    QStringList entries;
    int chosen = -1;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).startsWith(name))
            entries << combo->itemText(i);
        if (combo->itemData(i).toInt() == second)
            chosen = i;
    }
    QVERIFY2(entries.size() >= 2, qPrintable(entries.join(QLatin1Char('|'))));
    QCOMPARE(QSet<QString>(entries.begin(), entries.end()).size(), entries.size());
    QVERIFY(chosen >= 0);
    combo->setCurrentIndex(chosen);
    QVERIFY(w->grid->commitEditor());
    QCOMPARE(ds->FieldByName(keyField)->AsInteger(), second);
    QCOMPARE(index.data().toString().trimmed(), name);
    ds->Post();
    QCOMPARE(ds->FieldByName(keyField)->AsInteger(), second);
}

void TestOpenEditor::keyboardStartsInTheGrid_data()
{
    addBackendColumn();
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("key");
    addBackendCase("states, Down", [&](QTestData &r) { r << int(Window::States) << int(Qt::Key_Down); });
    addBackendCase("repairs, Insert", [&](QTestData &r) { r << int(Window::Repairs) << int(Qt::Key_Insert); });
    addBackendCase("requests, Down", [&](QTestData &r) { r << int(Window::Requests) << int(Qt::Key_Down); });
}

void TestOpenEditor::keyboardStartsInTheGrid()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, window);
    QFETCH(int, key);
    const auto user = LoggedIn::as("A").scoped();
    RepairsTest::addRepairs(db);
    ScriptedDialogs dialogs;
    Opened o = open(Window(window));
    TFrmKl &w = *o.window;
    TDataSet *ds = dataSetOf(w);
    ds->First();
    showActive(w);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.grid));
    const int count = ds->RecordCount();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    if (key == Qt::Key_Insert) {
        QCOMPARE(ds->State(), DataSetState::Insert);
        QCOMPARE(ds->RecordCount(), count + 1);
        ds->Cancel();
    } else {
        QCOMPARE(ds->RecNo(), 2);
    }
    QVERIFY(gridOnCurrentRow(w));
}

QTEST_MAIN(TestOpenEditor)
#include "tst_openeditor.moc"
