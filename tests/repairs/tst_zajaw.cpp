// The requests window: its parts, the closing stamp, the filter, the request card and the
// list report, the row colours, what closing does with a pending edit, the opening order,
// and the main window's "Заявки".
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "db/DBEditors.h"
#include "export/MSWord.h"
#include "export/RecordingSink.h"
#include "repairs/zajaw.h"

#include <QComboBox>
#include <QLayout>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

const QString Closed = QStringLiteral("Закрыта");
const QString Open = QStringLiteral("Открыта");
const QString Suspended = QStringLiteral("Приостановлена");

// Besides the seeded requests 4 (closed) and 5 (suspended): 6 open, 7 without a state.
void addRequests(const TestDb &db)
{
    db.query(QStringLiteral("insert into zajav (id, izd, Otdel, Opis, State) values (6, 102, 12, 'не печатает', 1)"));
    db.query(QStringLiteral("insert into zajav (id, izd, Otdel, Opis) values (7, 104, 13, 'без состояния')"));
}

// The keys of the requests the list shows, in its order.
QList<int> listedIds()
{
    QList<int> ids;
    const TField *id = dm->Tblzajav->FieldByName(QStringLiteral("id"));
    for (int p = 0; p < dm->Tblzajav->RecordCount(); ++p)
        ids << id->valueAt(dm->Tblzajav->rowIndexAt(p)).toInt();
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Chooses a state in the grid's "Состояние" column of a request, as the drop-down does.
bool chooseState(TFrmZajaw &frm, int id, const QString &state)
{
    const int row = dm->Tblzajav->findRow(QStringLiteral("id"), id);
    return row >= 0 && frm.grid->model()->setData(frm.grid->model()->index(row, 3), state);
}

QStringList inserts(const RecordingSink &sink)
{
    QStringList texts;
    for (const RecordingSink::Command &c : sink.commands)
        texts << (c.name == QLatin1String("Insert") ? c.args.value(0).toString() : c.name);
    return texts;
}

// Types a text key by key, as the user does (QTest::keyClicks takes Latin-1 only).
void type(QWidget *edit, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The colour drawn at the right end of a cell, halfway down (texts are left-aligned), clear
// of the frame the style draws around the current cell of a focused grid.
QColor cellColour(const TFrmZajaw &frm, int row, int column)
{
    const QRect r = frm.grid->visualRect(frm.grid->model()->index(row, column));
    const QImage img = frm.grid->viewport()->grab().toImage();
    return img.pixelColor(r.right() - 5, r.center().y());
}

}  // namespace

class TestZajaw : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup() { TMSWord::setSinkFactory({}); }
    void parts_data() { addBackendCases(); }
    void parts();
    void closingStamp_data();
    void closingStamp();
    void filter_data();
    void filter();
    void card_data() { addBackendCases(); }
    void card();
    void cardButton_data() { addBackendCases(); }
    void cardButton();
    void listReport_data();
    void listReport();
    void rowColours();
    void pendingEditOnClose_data() { addBackendCases(); }
    void pendingEditOnClose();
    void opening_data() { addBackendCases(); }
    void opening();
    void mainWindowOpensIt_data();
    void mainWindowOpensIt();
    void multiLineNotes_data() { addBackendCases(); }
    void multiLineNotes();
};

// Tool bar, grid columns with their drop-downs, tabs with bound editors, splitter, status bar.
void TestZajaw::parts()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    TFrmZajaw frm;
    QCOMPARE(frm.objectName(), QStringLiteral("FrmZajaw"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("Заявки"));
    QCOMPARE(ListWindowProbe(frm).barOrder(),
             (QStringList{"DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnHistory", "BtnCard", "BtnClose",
                          "Label1", "Combofilter"}));
    QCOMPARE(frm.BtnCard->toolTip(), QStringLiteral("Печать карточки"));
    QVERIFY(!frm.DBNavigator1->isButtonVisible(DBNavigator::Refresh));
    QCOMPARE(frm.DBNavigator1->button(DBNavigator::Prior)->toolTip(), QStringLiteral("Предыдущая записи"));
    QCOMPARE(frm.Combofilter->currentIndex(), 0);
    QStringList choices;
    for (int i = 0; i < frm.Combofilter->count(); ++i)
        choices << frm.Combofilter->itemText(i);
    QCOMPARE(choices, (QStringList{"Все", "Не закрытые", "Закрытые", "Приостановленные"}));

    QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Дата", "Описание", "Изделие", "Состояние"}));
    // Item and state are chosen from drop-downs of the lookups' names.
    QVERIFY(dm->Tblzajav->FieldByName(QStringLiteral("Изделие"))->isLookup());
    QVERIFY(dm->Tblzajav->FieldByName(QStringLiteral("Состояние"))->isLookup());
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 2 запись(сей)"));

    QCOMPARE(frm.Splitter1->widget(0), frm.grid);
    QCOMPARE(frm.Splitter1->widget(1), frm.PageControl1);
    QCOMPARE(frm.PageControl1->count(), 2);
    QCOMPARE(frm.PageControl1->tabText(0), QStringLiteral("Дополнительные данные"));
    QCOMPARE(frm.PageControl1->tabText(1), QStringLiteral("Дополнительная текстовая информация"));

    // The editors show the current request (the seeded 4, closed, with its stamp).
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 4));
    QCOMPARE(frm.MemoPrim->toPlainText(), QStringLiteral("Закрыто :18.05.2005 10:16:52"));
    QCOMPARE(frm.ComboOtdel->currentText(), QStringLiteral("Плановый"));
    QVERIFY(frm.ComboOtdel->findText(QStringLiteral("Технический")) >= 0);
    // ... and are editable: a name typed and left reaches the database with the post.
    type(frm.EditFio, QStringLiteral("Иванов"));
    QVERIFY(frm.EditFio->commit());
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QCOMPARE(db.scalar(QStringLiteral("select fio from zajav where id = 4")).toString(), QStringLiteral("Иванов"));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestZajaw::closingStamp_data()
{
    addBackendColumn();
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QStringList>("steps");  // states chosen, "post" and "cancel"
    QTest::addColumn<QVariant>("prim");      // the notes in the database afterwards
    QTest::addColumn<int>("state");
    const QDateTime day(QDate(2005, 5, 18), QTime(10, 16, 52));
    const QString stamp = QStringLiteral("\r\nЗакрыто :18.05.2005 10:16:52");
    addBackendCase("closing an open request with empty notes", [&](QTestData &r) {
        r << day << QStringList{Closed, "post"} << QVariant(stamp) << 0;
    });
    addBackendCase("cancelling removes state and stamp", [&](QTestData &r) {
        r << day << QStringList{Closed, "cancel"} << QVariant() << 1;
    });
    addBackendCase("close, reopen, close: two stamps", [&](QTestData &r) {
        r << day << QStringList{Closed, "post", Open, "post", Closed, "post"} << QVariant(stamp + stamp) << 0;
    });
    addBackendCase("suspending adds none", [&](QTestData &r) {
        r << day << QStringList{Suspended, "post"} << QVariant() << 2;
    });
    addBackendCase("at exact midnight no time", [&](QTestData &r) {
        r << QDateTime(QDate(2005, 5, 19), QTime(0, 0)) << QStringList{Closed, "post"}
          << QVariant(QStringLiteral("\r\nЗакрыто :19.05.2005")) << 0;
    });
}

void TestZajaw::closingStamp()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QDateTime, now);
    QFETCH(QStringList, steps);
    QFETCH(QVariant, prim);
    QFETCH(int, state);
    addRequests(db);
    ScriptedDialogs dialogs;
    FixedClock clock(now);
    TFrmZajaw frm;
    for (const QString &step : steps) {
        if (step == QLatin1String("post"))
            frm.DBNavigator1->BtnClick(DBNavigator::Post);
        else if (step == QLatin1String("cancel"))
            frm.DBNavigator1->BtnClick(DBNavigator::Cancel);
        else
            QVERIFY2(chooseState(frm, 6, step), qPrintable(step));
    }
    QVERIFY(dialogs.messages.isEmpty());
    const QVariant stored = db.scalar(QStringLiteral("select Prim from zajav where id = 6"));
    QCOMPARE(stored.isNull() ? QVariant() : QVariant(stored.toString()), prim);
    QCOMPARE(db.scalar(QStringLiteral("select State from zajav where id = 6")).toInt(), state);
    // The list holds what the database holds.
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 6));
    QCOMPARE(dm->Tblzajav->FieldByName(QStringLiteral("Prim"))->value(), prim);
}

void TestZajaw::filter_data()
{
    addBackendColumn();
    QTest::addColumn<int>("choice");
    QTest::addColumn<QList<int>>("ids");
    // A request without a state is not closed: "Не закрытые" lists it.
    const QList<QPair<const char *, QList<int>>> cases = {
        {"Все", {4, 5, 6, 7}}, {"Не закрытые", {5, 6, 7}}, {"Закрытые", {4}}, {"Приостановленные", {5}}};
    for (int i = 0; i < cases.size(); ++i)
        addBackendCase(cases[i].first, [&](QTestData &r) { r << i << cases[i].second; });
}

// Each choice: the rows, the first of them current, the count; "Все" again shows all; a
// window closed with a filter opens again with "Все" and the whole list.
void TestZajaw::filter()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, choice);
    QFETCH(QList<int>, ids);
    addRequests(db);
    ScriptedDialogs dialogs;
    {
        TFrmZajaw frm;
        dm->Tblzajav->Last();
        frm.Combofilter->setCurrentIndex(choice);
        QCOMPARE(listedIds(), ids);
        if (choice > 0)
            QCOMPARE(dm->Tblzajav->RecNo(), 1);
        QCOMPARE(frm.statusText(), QStringLiteral("Всего %1 запись(сей)").arg(ids.size()));
        if (choice == 2)
            for (int p = 0; p < dm->Tblzajav->RecordCount(); ++p)
                QCOMPARE(TFrmZajaw::stateColor(
                             dm->Tblzajav->FieldByName(QStringLiteral("State"))->valueAt(dm->Tblzajav->rowIndexAt(p))),
                         QColor(0, 128, 0));
        frm.Combofilter->setCurrentIndex(0);
        QCOMPARE(listedIds(), (QList<int>{4, 5, 6, 7}));
        QCOMPARE(frm.statusText(), QStringLiteral("Всего 4 запись(сей)"));
        frm.Combofilter->setCurrentIndex(choice);
        frm.show();
        frm.BtnClose->click();
        QVERIFY(!frm.isVisible());
    }
    QVERIFY(!dm->Tblzajav->Filtered());
    TFrmZajaw again;
    QCOMPARE(again.Combofilter->currentIndex(), 0);
    QCOMPARE(listedIds(), (QList<int>{4, 5, 6, 7}));
    QCOMPARE(again.statusText(), QStringLiteral("Всего 4 запись(сей)"));
    QVERIFY(dialogs.messages.isEmpty());
}

// The card of the seeded request 5, which has no telephone, line by line.
void TestZajaw::card()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    TFrmZajaw frm;
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 5));
    frm.BtnCard->click();
    QCOMPARE(inserts(*sink),
             (QStringList{"FileNew", "Filepagesetup", "CenterPara", "Заявка\r", "LeftPara", "Дата :18.05.2005\r",
                          "Отдел :Административный\r", "Описание :fghfgh\r", "Текущее состояние :Приостановлена\r",
                          "ФИО Заявившего :\r", "Телефон :\r\r", "Возможная причина :\r\r",
                          "Дополнительная информация :\r\r", "", "AppShow"}));
    // The notes go in unchanged, as the last insert.
    sink->commands.clear();
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 4));
    frm.BtnCard->click();
    QCOMPARE(inserts(*sink).mid(5, 1), QStringList{"Дата :12.01.2004\r"});
    QCOMPARE(inserts(*sink).value(13), QStringLiteral("Закрыто :18.05.2005 10:16:52"));
    QVERIFY(dialogs.messages.isEmpty());

    // No word processor: the message, and no document.
    TMSWord::setSinkFactory([] { return std::shared_ptr<DocumentSink>(); });
    frm.BtnCard->click();
    QCOMPARE(dialogs.texts(), QStringList{"Не могу открыть msWord"});
}

// The card button acts on the current request: off while the list shows none.
void TestZajaw::cardButton()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    db.query(QStringLiteral("delete from zajav where id = 5"));
    {
        TFrmZajaw frm;
        QVERIFY(frm.BtnCard->isEnabled());
        frm.Combofilter->setCurrentIndex(3);  // nothing suspended
        QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
        QVERIFY(!frm.BtnCard->isEnabled());
        frm.Combofilter->setCurrentIndex(2);
        QVERIFY(frm.BtnCard->isEnabled());
        // Deleting the last shown request empties the list.
        dialogs.answers.enqueue(Dialogs::Ok);
        frm.DBNavigator1->BtnClick(DBNavigator::Delete);
        QVERIFY(!frm.BtnCard->isEnabled());
        frm.Combofilter->setCurrentIndex(0);
        QVERIFY(!frm.BtnCard->isEnabled());
        // A new request makes it available.
        frm.DBNavigator1->BtnClick(DBNavigator::Insert);
        QVERIFY(frm.BtnCard->isEnabled());
        frm.DBNavigator1->BtnClick(DBNavigator::Cancel);
        QVERIFY(!frm.BtnCard->isEnabled());
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from zajav")).toInt(), 0);
}

void TestZajaw::listReport_data()
{
    addBackendColumn();
    QTest::addColumn<int>("choice");
    QTest::addColumn<QStringList>("filterLine");
    QTest::addColumn<int>("rows");
    addBackendCase("Все: no filter line", [](QTestData &r) { r << 0 << QStringList() << 4; });
    addBackendCase("Не закрытые", [](QTestData &r) { r << 1 << QStringList{"Фильтр: Не закрытые"} << 3; });
    addBackendCase("Приостановленные", [](QTestData &r) { r << 3 << QStringList{"Фильтр: Приостановленные"} << 1; });
}

// The list report: the caption, the filter line right before the table only when a filter
// is chosen, the rows the list shows.
void TestZajaw::listReport()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, choice);
    QFETCH(QStringList, filterLine);
    QFETCH(int, rows);
    addRequests(db);
    ScriptedDialogs dialogs;
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    TFrmZajaw frm;
    frm.Combofilter->setCurrentIndex(choice);
    frm.BtnRep->click();
    const QStringList texts = inserts(*sink);
    QCOMPARE(texts.mid(0, 5), (QStringList{"FileNew", "Filepagesetup", "CenterPara", "Заявки\r", "LeftPara"}));
    QCOMPARE(texts.mid(5, filterLine.size()), filterLine);
    QCOMPARE(texts.value(5 + filterLine.size()), QStringLiteral("TableInsertTable"));
    QCOMPARE(sink->commands.at(5 + filterLine.size()).args,
             (QVariantList{0, 5, 2, 50, 0, 16}));  // "№ п.п." and the four columns
    QCOMPARE(texts.count(QStringLiteral("TableInsertRow")), rows);
    QVERIFY(!texts.contains(QStringLiteral("Фильтр: Все")));
    QCOMPARE(texts.last(), QStringLiteral("AppShow"));
}

// A cell of an open, a suspended and a closed request in its colour, a request without a
// state in the grid's own, and the current cell in the selection colour.
void TestZajaw::rowColours()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    addRequests(db);
    ScriptedDialogs dialogs;
    TFrmZajaw frm;
    frm.resize(900, 600);
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    auto rowOf = [](int id) { return dm->Tblzajav->findRow(QStringLiteral("id"), id); };
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 7));
    frm.grid->setCurrentIndex(frm.grid->model()->index(rowOf(7), 1));
    QCOMPARE(cellColour(frm, rowOf(6), 1), QColor(255, 0, 0));
    QCOMPARE(cellColour(frm, rowOf(5), 0), QColor(255, 255, 0));
    QCOMPARE(cellColour(frm, rowOf(4), 3), QColor(0, 128, 0));
    const QColor base = cellColour(frm, rowOf(7), 2);
    for (const QColor &c : {QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 128, 0)})
        QVERIFY(base != c);

    // The current cell of an open request: the selection colour; the rest of its row red.
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 6));
    frm.grid->setCurrentIndex(frm.grid->model()->index(rowOf(6), 1));
    QCOMPARE(frm.grid->currentIndex().row(), rowOf(6));
    const QColor selection = frm.grid->palette().color(QPalette::Active, QPalette::Highlight);
    // The style shades the current cell of the focused grid by a step or two.
    const QColor current = cellColour(frm, rowOf(6), 1);
    QVERIFY2(qAbs(current.red() - selection.red()) + qAbs(current.green() - selection.green()) +
                     qAbs(current.blue() - selection.blue()) <=
                 12,
             qPrintable(current.name() + QStringLiteral(" is not the selection colour ") + selection.name()));
    QCOMPARE(cellColour(frm, rowOf(6), 2), QColor(255, 0, 0));
}

// A request still being edited when the window closes is posted, as leaving its row would;
// an untouched new one goes; one the database refuses keeps the window open, in editing.
void TestZajaw::pendingEditOnClose()
{
    TAVRELL_TEST_DB(db);
    addRequests(db);
    ScriptedDialogs dialogs;
    {
        TFrmZajaw frm;
        frm.show();
        QVERIFY(chooseState(frm, 7, Suspended));
        frm.BtnClose->click();
        QVERIFY(!frm.isVisible());
    }
    QCOMPARE(db.scalar(QStringLiteral("select State from zajav where id = 7")).toInt(), 2);
    QCOMPARE(dm->Tblzajav->State(), DataSetState::Browse);
    {
        // With a filter chosen too.
        TFrmZajaw frm;
        frm.show();
        frm.Combofilter->setCurrentIndex(1);
        QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 6));
        // Typed and not yet left: the editor's text counts.
        type(frm.EditPhone, QStringLiteral("22-33"));
        frm.BtnClose->click();
        QVERIFY(!frm.isVisible());
    }
    QCOMPARE(db.scalar(QStringLiteral("select Phone from zajav where id = 6")).toString(), QStringLiteral("22-33"));
    QCOMPARE(dm->Tblzajav->State(), DataSetState::Browse);
    QVERIFY(!dm->Tblzajav->Filtered());

    const int before = db.scalar(QStringLiteral("select count(*) from zajav")).toInt();
    {
        TFrmZajaw frm;
        frm.show();
        frm.DBNavigator1->BtnClick(DBNavigator::Insert);
        frm.reject();
        QVERIFY(!frm.isVisible());
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from zajav")).toInt(), before);
    QCOMPARE(dm->Tblzajav->State(), DataSetState::Browse);

    // Another user deleted the request meanwhile: the post is refused and shown.
    TFrmZajaw frm;
    frm.show();
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 7));
    db.query(QStringLiteral("delete from zajav where id = 7"));
    QVERIFY(chooseState(frm, 7, Open));
    // Choosing a filter saves first: refused, the choice stays with the list's filter.
    frm.Combofilter->setCurrentIndex(2);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(frm.Combofilter->currentIndex(), 0);
    QVERIFY(!dm->Tblzajav->Filtered());
    QCOMPARE(dm->Tblzajav->State(), DataSetState::Edit);
    frm.BtnClose->click();
    QVERIFY(frm.isVisible());
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages.at(1).caption, QStringLiteral("Ошибка"));
    QCOMPARE(dm->Tblzajav->State(), DataSetState::Edit);
    // Cancelled by the user, the window closes.
    frm.DBNavigator1->BtnClick(DBNavigator::Cancel);
    frm.BtnClose->click();
    QVERIFY(!frm.isVisible());
}

// Opening: the items are read again (an item added since shows in the lookup), the request
// table is opened once and keeps its rows and current row between openings.
void TestZajaw::opening()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    {
        TFrmZajaw frm;
        QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 5));
    }
    db.query(QStringLiteral("insert into izdel (id, Name, otdel) values (120, 'Brother HL-1110', 11)"));
    addRequests(db);
    TFrmZajaw frm;
    QCOMPARE(dm->Tblzajav->FieldByName(QStringLiteral("id"))->AsInteger(), 5);
    QCOMPARE(listedIds(), (QList<int>{4, 5}));
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 2 запись(сей)"));
    const int row = dm->Tblzajav->findRow(QStringLiteral("id"), 5);
    QVERIFY(frm.grid->model()->setData(frm.grid->model()->index(row, 2), QStringLiteral("Brother HL-1110")));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(db.scalar(QStringLiteral("select izd from zajav where id = 5")).toInt(), 120);
}

void TestZajaw::mainWindowOpensIt_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("opens");
    for (const char *type : {"A", "D"})
        addBackendCase(type, [&](QTestData &r) { r << QString::fromLatin1(type) << true; });
    addBackendCase("R", [&](QTestData &r) { r << QStringLiteral("R") << false; });
}

// "Заявки" opens the window modally for the types the rights give, with the items read again.
void TestZajaw::mainWindowOpensIt()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, type);
    QFETCH(bool, opens);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
    db.query(QStringLiteral("insert into izdel (id, Name, otdel) values (120, 'Brother HL-1110', 11)"));
    QString seen;
    dialogs.dialogs.enqueue([&](QDialog &d) {
        auto *frm = qobject_cast<TFrmZajaw *>(&d);
        if (frm)
            seen = frm->grid->model()->headerData(2, Qt::Horizontal).toString() + QLatin1Char('|') +
                   QString::number(dm->TblIsdel->findRow(QStringLiteral("id"), 120) >= 0);
        return int(QDialog::Accepted);
    });
    QCOMPARE(w.ObrZajaw->isEnabled(), opens);
    if (!opens)
        return;
    w.ObrZajaw->trigger();
    QCOMPARE(dialogs.execLog, QStringList{"FrmZajaw"});
    QCOMPARE(seen, QStringLiteral("Изделие|1"));
}

void TestZajaw::multiLineNotes()
{
    // A line typed into notes that already break lines with CR LF: stored with CR LF too.
    TAVRELL_TEST_DB(db);
    db.query(QStringLiteral("update zajav set Prim = 'первая' || char(13) || char(10) || 'вторая' where id = 4")
                 .replace(QLatin1String("char("), db.isPostgres() ? QStringLiteral("chr(") : QStringLiteral("char(")));
    ScriptedDialogs dialogs;
    TFrmZajaw frm;
    frm.show();
    QVERIFY(dm->Tblzajav->Locate(QStringLiteral("id"), 4));
    QCOMPARE(frm.MemoPrim->toPlainText(), QStringLiteral("первая\nвторая"));
    frm.MemoPrim->moveCursor(QTextCursor::End);
    QTest::keyClick(frm.MemoPrim, Qt::Key_Return);
    type(frm.MemoPrim, QStringLiteral("третья"));
    QVERIFY(frm.MemoPrim->commit());
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QCOMPARE(db.scalar(QStringLiteral("select Prim from zajav where id = 4")).toString(),
             QStringLiteral("первая\r\nвторая\r\nтретья"));
    QVERIFY(dialogs.messages.isEmpty());
}

QTEST_MAIN(TestZajaw)
#include "tst_zajaw.moc"
