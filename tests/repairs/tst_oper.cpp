// The repair history: its window as it opens, a new repair, the lead engineer's read-only
// window, the series and number of the item, the search on its eight criteria (repairs
// without a kind, an item or a department included), the equipment picker, and the opening
// from the main window.
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "RepairsTest.h"
#include "core/Cp1251.h"
#include "core/DayTime.h"
#include "export/MSWord.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/RecordingSink.h"
#include "repairs/SelTech.h"
#include "repairs/oper.h"
#include "repairs/operAct.h"
#include "repairs/operitem.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

using namespace RepairsTest;

namespace {

// The current repair as the grid shows it.
QStringList rowTexts(const TFrmOper &frm)
{
    const ListWindowProbe probe(frm);
    return probe.row(probe.currentRow());
}

int currentId(const TFrmOper &frm) { return frm.TblRem->FieldByName(QStringLiteral("id"))->AsInteger(); }

void find(TFrmOper &frm, int choice, const QString &text)
{
    frm.ComboBox1->setCurrentIndex(choice);
    frm.EditFind->setText(text);
    frm.SpeedButton2->click();
}

QString day(int y, int m, int d) { return DateText::format(DayTime::of(QDate(y, m, d), QTime(0, 0))); }

}  // namespace

class TestOper : public QObject {
    Q_OBJECT
private slots:
    void window();
    void emptyHistoryAndNewRepair_data() { addBackendCases(); }
    void emptyHistoryAndNewRepair();
    void leadEngineerReadsOnly_data() { addBackendCases(); }
    void leadEngineerReadsOnly();
    void seriesAndNumber_data();
    void seriesAndNumber();
    void search_data();
    void search();
    void searchPassesOverRepairsNotListed_data() { addBackendCases(); }
    void searchPassesOverRepairsNotListed();
    void searchPassesOverSeveralNotListed_data();
    void searchPassesOverSeveralNotListed();
    void picker_data() { addBackendCases(); }
    void picker();
    void pickerOnEmptyList();
    void reportMailAndExport_data() { addBackendCases(); }
    void reportMailAndExport();
    void openedFromMainWindow_data();
    void openedFromMainWindow();
};

// What the user finds: caption, tool bar, hidden search panel, columns, navigator.
void TestOper::window()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    QCOMPARE(frm.objectName(), QStringLiteral("FrmOper"));
    QCOMPARE(frm.windowTitle(), QStringLiteral("История работ"));
    QCOMPARE(ListWindowProbe(frm).barOrder(),
             (QStringList{"DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnHistory", "SpeedButton1",
                          "BtnItems", "BtnOper", "CheckBox1"}));
    QCOMPARE(frm.BtnItems->text(), QStringLiteral("Комплектующие"));
    QCOMPARE(frm.BtnOper->text(), QStringLiteral("Работы"));
    QCOMPARE(frm.CheckBox1->text(), QStringLiteral("Панель поиска"));
    QVERIFY(frm.BtnClose->toolTip().isEmpty());
    QVERIFY(!frm.StatusBar);
    for (const char *name : {"Grid", "dsLoc", "TblRem", "PanelFind", "ComboBox1", "EditFind", "SpeedButton2"})
        QVERIFY2(frm.findChild<QObject *>(QString::fromLatin1(name)), name);
    for (int i = 0; i < DBNavigator::ButtonCount; ++i)
        QVERIFY(frm.DBNavigator1->isButtonVisible(DBNavigator::Button(i)));
    QCOMPARE(frm.DBNavigator1->hints(), DBNavigator::standardHints());

    QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Начало", "Вид работ", "Изделие", "Серия(номер)", "Отдел",
                                                         "Причина", "Специалист", "Окончание"}));
    QCOMPARE(frm.grid->column(2).ButtonStyle, TColumn::Ellipsis);
    QCOMPARE(rowTexts(frm), (QStringList{day(2004, 6, 25), "Средний", "HP LaserJet 5100", "В- 45678(543767)",
                                         "Экономический", "выход из стоя картриджа", "Сидоренко", day(2004, 7, 12)}));
    QCOMPARE(frm.ComboBox1->count(), 8);
    QCOMPARE(frm.ComboBox1->itemText(5), QStringLiteral("Причина"));
    QCOMPARE(frm.ComboBox1->currentIndex(), 0);

    // The check box shows and hides the search panel; the list stays where it is.
    frm.show();
    QVERIFY(!frm.PanelFind->isVisible());
    frm.CheckBox1->click();
    QVERIFY(frm.PanelFind->isVisible());
    QCOMPARE(currentId(frm), 200);
    frm.CheckBox1->click();
    QVERIFY(!frm.PanelFind->isVisible());
    QVERIFY(dialogs.messages.isEmpty());
}

// An empty history keeps "Комплектующие" and "Работы" off until the first repair; a new
// repair takes the next key of "remont" and today's date, nothing else.
void TestOper::emptyHistoryAndNewRepair()
{
    TAVRELL_TEST_DB(db);
    db.query(QStringLiteral("delete from remont"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    FixedClock clock(DayTime::of(QDate(2026, 3, 15), QTime(10, 20, 30)));
    TFrmOper frm;
    QVERIFY(frm.TblRem->IsEmpty());
    QVERIFY(!frm.BtnItems->isEnabled());
    QVERIFY(!frm.BtnOper->isEnabled());

    const int lastKey = db.scalar(QStringLiteral("select LastId from ids where TblName = 'REMONT'")).toInt();
    frm.DBNavigator1->BtnClick(DBNavigator::Insert);
    QVERIFY(frm.BtnItems->isEnabled());
    QVERIFY(frm.BtnOper->isEnabled());
    QCOMPARE(currentId(frm), lastKey + 1);
    QCOMPARE(frm.TblRem->FieldByName(QStringLiteral("Nach_rem"))->AsDateTime(),
             DayTime::of(QDate(2026, 3, 15), QTime(0, 0)));
    QCOMPARE(rowTexts(frm), (QStringList{day(2026, 3, 15), "", "", "", "", "", "", ""}));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    QCOMPARE(
        db.scalar(QStringLiteral("select count(*) from remont where id = %1 and Kod_izd is null and Prichina is null")
                      .arg(lastKey + 1))
            .toInt(),
        1);
}

// The lead engineer reads everything and changes nothing: the history and both windows of
// a repair open read-only, and a confirmed picker changes nothing.
void TestOper::leadEngineerReadsOnly()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("P").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    const DBNavigator::Buttons editing{DBNavigator::Insert, DBNavigator::Delete, DBNavigator::Edit, DBNavigator::Post,
                                       DBNavigator::Cancel};
    for (DBNavigator::Button b : editing)
        QVERIFY(!frm.DBNavigator1->button(b)->isEnabled());
    QVERIFY(!frm.TblRem->CanModify());
    QVERIFY(frm.BtnItems->isEnabled());

    QStringList opened;
    auto readOnly = [&](QDialog &w) {
        auto &part = static_cast<TFrmRepairPart &>(w);
        bool off = !part.DsLoc->DataSet()->CanModify() && part.DsLoc->DataSet()->RecordCount() == 2;
        for (DBNavigator::Button b : editing)
            off = off && !part.DBNavigator1->button(b)->isEnabled();
        opened << w.objectName() + (off ? QStringLiteral(" read-only") : QStringLiteral(" writable"));
        return int(QDialog::Rejected);
    };
    dialogs.dialogs.enqueue(readOnly);
    frm.BtnItems->click();
    dialogs.dialogs.enqueue(readOnly);
    frm.BtnOper->click();
    QCOMPARE(opened, (QStringList{"FrmOperItem read-only", "FrmOperAct read-only"}));

    // The picker confirmed on another item: the error display says why, nothing changes.
    dialogs.dialogs.enqueue([](QDialog &w) {
        static_cast<TFrmSelTech &>(w).ADOQuery1->Locate(QStringLiteral("id"), 104);
        return int(QDialog::Accepted);
    });
    frm.grid->editButtonClick();
    QCOMPARE(dialogs.execLog.last(), QStringLiteral("FrmSelTech"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(frm.TblRem->State(), DataSetState::Browse);
    QCOMPARE(frm.TblRem->FieldByName(QStringLiteral("Kod_izd"))->AsInteger(), 102);
    QCOMPARE(db.scalar(QStringLiteral("select Kod_izd from remont where id = 200")).toInt(), 102);
}

void TestOper::seriesAndNumber_data()
{
    addBackendColumn();
    QTest::addColumn<QVariant>("series");
    QTest::addColumn<QVariant>("number");
    QTest::addColumn<QString>("shown");
    // clang-format off
    addBackendCase("series and number", [](QTestData &r) { r << QVariant("В-64 21") << QVariant("134567") << "В-64 21(134567)"; });
    addBackendCase("series without number", [](QTestData &r) { r << QVariant("В-64 21") << QVariant() << "В-64 21()"; });
    addBackendCase("no series", [](QTestData &r) { r << QVariant() << QVariant("134567") << ""; });
    addBackendCase("empty series", [](QTestData &r) { r << QVariant("") << QVariant("134567") << ""; });
    // clang-format on
}

// "Серия(номер)": the series with the number in parentheses; nothing without a series.
void TestOper::seriesAndNumber()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QVariant, series);
    QFETCH(QVariant, number);
    QFETCH(QString, shown);
    QSqlQuery q(db.module()->connection());
    q.prepare(QStringLiteral("insert into izdel (id, Name, Seria, Nomer) values (310, 'Brother HL', ?, ?)"));
    q.addBindValue(series.isValid() ? series : QVariant(QMetaType(QMetaType::QString)));
    q.addBindValue(number.isValid() ? number : QVariant(QMetaType(QMetaType::QString)));
    QVERIFY(q.exec());
    db.query(QStringLiteral("insert into remont (id, Kod_izd) values (310, 310)"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    QVERIFY(frm.TblRem->Locate(QStringLiteral("id"), 310));
    QCOMPARE(rowTexts(frm).at(3), shown);
    QCOMPARE(rowTexts(frm).at(2), QStringLiteral("Brother HL"));
}

void TestOper::search_data()
{
    addBackendColumn();
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found");  // 0: "Не найдено"
    struct Case {
        const char *name;
        int choice;
        QString text;
        int found;
    };
    const Case cases[] = {
        {"cause, small letters", 5, QStringLiteral("вых"), 200},
        {"cause, capitals", 5, QStringLiteral("ВЫХ"), 200},
        {"cause, whole value", 5, QStringLiteral("Выход из стоя картриджа"), 200},
        {"cause, only inside the value", 5, QStringLiteral("из стоя"), 0},
        {"cause, longer than any", 5, QStringLiteral("выход из стоя картриджа и барабана"), 0},
        {"cause, with a quote", 5, QStringLiteral("вых'"), 0},
        {"cause, empty text finds an empty cause only", 5, QString(), 304},
        {"kind", 0, QStringLiteral("сред"), 200},
        {"item name", 1, QStringLiteral("hp laser"), 200},
        {"series", 2, QStringLiteral("в- 45"), 200},
        {"number", 3, QStringLiteral("5437"), 200},
        {"department", 4, QStringLiteral("ЭКОНОМ"), 200},
        {"start date", 6, day(2004, 6, 25), 200},
        {"end date", 7, day(2004, 7, 12), 200},
        {"start date of another day", 6, day(2004, 6, 26), 0},
        {"a date that is no date", 6, QStringLiteral("вчера"), 0},
        {"item without department, by its cause", 5, QStringLiteral("замена"), 301},
        {"item without department, by its series", 2, QStringLiteral("r-1"), 301},
        {"no kind and no item, by its cause", 5, QStringLiteral("проф"), 302},
        {"no kind and no item, by its start", 6, day(2024, 3, 2), 302},
    };
    for (const Case &c : cases)
        addBackendCase(c.name, [&](QTestData &r) { r << c.choice << c.text << c.found; });
}

// The first repair whose value begins with the text (letters in any case) or equals the
// date becomes current, from wherever the list stood; again, it stays there. Repairs without
// a kind, an item or a department are found by what they have.
void TestOper::search()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, choice);
    QFETCH(QString, text);
    QFETCH(int, found);
    addRepairs(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    frm.TblRem->Last();
    const int before = currentId(frm);
    find(frm, choice, text);
    if (found == 0) {
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не найдено")});
        QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
        QCOMPARE(currentId(frm), before);
        return;
    }
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    QCOMPARE(currentId(frm), found);
    find(frm, choice, text);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(currentId(frm), found);
    QVERIFY(!frm.QryFind->Active());
}

// Repairs a colleague entered after the list was read are not in it: the search finds the
// listed one after them, or says that nothing was found.
void TestOper::searchPassesOverRepairsNotListed()
{
    TAVRELL_TEST_DB(db);
    addRepairs(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    db.query(QStringLiteral("insert into remont (id, Prichina) values (150, 'замена ролика')"));
    db.query(QStringLiteral("insert into remont (id, Prichina) values (151, 'уникальная')"));
    find(frm, 5, QStringLiteral("замена"));
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(currentId(frm), 301);
    find(frm, 5, QStringLiteral("уник"));
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не найдено")});
    QCOMPARE(currentId(frm), 301);
}

// Repairs entered after the list was read that match one after another are all passed over:
// the search goes on to the listed one behind them, or says it found none.
void TestOper::searchPassesOverSeveralNotListed_data()
{
    addBackendColumn();
    QTest::addColumn<int>("unlisted");  // entered after the list was read, matching
    QTest::addColumn<bool>("listed");   // the listed repair 301 matches too, read after them
    // clang-format off
    addBackendCase("two, then the listed one", [](QTestData &r) { r << 2 << true; });
    addBackendCase("three, then the listed one", [](QTestData &r) { r << 3 << true; });
    addBackendCase("two and no other", [](QTestData &r) { r << 2 << false; });
    // clang-format on
}

void TestOper::searchPassesOverSeveralNotListed()
{
    TAVRELL_TEST_DB(db);
    QFETCH(int, unlisted);
    QFETCH(bool, listed);
    addRepairs(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    const int start = currentId(frm);
    // Repair 301 stored again after the new ones: either server reads them before it.
    db.query(QStringLiteral("delete from remont where id = 301"));
    for (int i = 0; i < unlisted; ++i)
        db.query(QStringLiteral("insert into remont (id, Prichina) values (%1, 'замена ролика')").arg(150 + i));
    if (listed)
        db.query(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Prichina, Nach_rem) "
                                "values (301, 11, 301, 'замена барабана', '2024-03-01 00:00:00')"));
    find(frm, 5, QStringLiteral("замена"));
    if (listed) {
        QCOMPARE(dialogs.texts(), QStringList());
        QCOMPARE(currentId(frm), 301);
    } else {
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не найдено")});
        QCOMPARE(currentId(frm), start);
    }
}

// The picker lists every item by name, series and number (letter case aside), starts on the
// repair's item or on the first item, and OK sets the item; Cancel changes nothing.
void TestOper::picker()
{
    TAVRELL_TEST_DB(db);
    addRepairs(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    QStringList names;
    int startedOn = 0;
    bool readOnly = false;
    auto look = [&](int chooseId, int result) {
        return [&, chooseId, result](QDialog &w) {
            auto &picker = static_cast<TFrmSelTech &>(w);
            names.clear();
            for (int p = 0; p < picker.ADOQuery1->RecordCount(); ++p)
                names << picker.ADOQuery1->FieldByName(QStringLiteral("Name"))
                             ->valueAt(picker.ADOQuery1->rowIndexAt(p))
                             .toString();
            startedOn = picker.chosenId().toInt();
            readOnly = picker.DBGrid1->ReadOnly() && w.windowTitle() == QStringLiteral("Выбор техники");
            if (chooseId)
                picker.ADOQuery1->Locate(QStringLiteral("id"), chooseId);
            return result;
        };
    };

    // On the repair's item; cancelled: nothing changes.
    QVERIFY(frm.TblRem->Locate(QStringLiteral("id"), 200));
    dialogs.dialogs.enqueue(look(104, QDialog::Rejected));
    frm.grid->editButtonClick();
    QCOMPARE(dialogs.execLog, QStringList{"FrmSelTech"});
    QVERIFY(readOnly);
    QCOMPARE(startedOn, 102);
    QCOMPARE(names, (QStringList{"Canon 5530 D", "Canon FC 336", "Epson Perfection 1270", "HP deskjet 1220",
                                 "HP LaserJet 5100", "HP ScanJet 3690C", "Ricoh SP 100", "Xerox 5915"}));
    QCOMPARE(frm.TblRem->State(), DataSetState::Browse);
    QCOMPARE(rowTexts(frm).at(2), QStringLiteral("HP LaserJet 5100"));

    // OK: the row enters editing with the new item, its series and department following.
    dialogs.dialogs.enqueue(look(104, QDialog::Accepted));
    frm.grid->editButtonClick();
    QCOMPARE(frm.TblRem->State(), DataSetState::Edit);
    QCOMPARE(rowTexts(frm).mid(2, 3), (QStringList{"Epson Perfection 1270", "S - 234567(12345)", "Плановый"}));
    frm.DBNavigator1->BtnClick(DBNavigator::Post);
    QCOMPARE(db.scalar(QStringLiteral("select Kod_izd from remont where id = 200")).toInt(), 104);

    // A repair without an item: the picker starts on the first item in order.
    QVERIFY(frm.TblRem->Locate(QStringLiteral("id"), 302));
    dialogs.dialogs.enqueue(look(301, QDialog::Accepted));
    frm.grid->editButtonClick();
    QCOMPARE(startedOn, 103);
    QCOMPARE(rowTexts(frm).mid(2, 3), (QStringList{"Ricoh SP 100", "R-1(77)", ""}));
    QVERIFY(dialogs.messages.isEmpty());
}

// OK on an empty picker chooses nothing: the repair stays as it was.
void TestOper::pickerOnEmptyList()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.query(QStringLiteral("delete from zajav"));
    db.query(QStringLiteral("delete from izdel"));
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    TFrmOper frm;
    QVERIFY(frm.TblRem->IsEmpty());
    frm.DBNavigator1->BtnClick(DBNavigator::Insert);
    frm.TblRem->FieldByName(QStringLiteral("Prichina"))->setValue(QStringLiteral("замена"));
    dialogs.dialogs.enqueue([](QDialog &) { return int(QDialog::Accepted); });
    frm.grid->editButtonClick();
    QCOMPARE(dialogs.execLog, QStringList{"FrmSelTech"});
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(frm.TblRem->State(), DataSetState::Insert);
    QVERIFY(frm.TblRem->FieldByName(QStringLiteral("Kod_izd"))->isNull());
    QCOMPARE(frm.TblRem->FieldByName(QStringLiteral("Prichina"))->AsString(), QStringLiteral("замена"));
}

// The list goes to the report, the mail and the CSV file under "История работ", numbered,
// with the grid's columns and each value in its plain text form (the series alone under
// "Серия(номер)"); a repair's report carries its grid, not its header.
void TestOper::reportMailAndExport()
{
    TAVRELL_TEST_DB(db);
    const auto user = LoggedIn::as("R").scoped();
    ScriptedDialogs dialogs;
    auto sink = std::make_shared<RecordingSink>();
    TMSWord::setSinkFactory([sink] { return sink; });
    const auto restore = qScopeGuard([] {
        TMSWord::setSinkFactory({});
        MailSender::setCurrent(nullptr);
    });
    RecordingMailSender sender;
    MailSender::setCurrent(&sender);
    TFrmOper frm;

    frm.BtnRep->click();
    QVERIFY(sink->commands.contains(RecordingSink::Command{"Insert", {QStringLiteral("История работ\r")}}));
    for (const char *text : {"№ п.п.", "Серия(номер)", "Окончание", "В- 45678", "Экономический"})
        QVERIFY2(sink->commands.contains(RecordingSink::Command{"Insert", {QString::fromUtf8(text)}}), text);
    QCOMPARE(sink->commands.last().name, QStringLiteral("AppShow"));

    frm.BtnSendToMail->click();
    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(sender.messages.at(0).subject, QStringLiteral("История работ"));
    QVERIFY(sender.messages.at(0).body.contains(QStringLiteral("выход из стоя картриджа")));

    const QString path = QDir(db.folder()).filePath(QStringLiteral("remont.csv"));
    dialogs.saveNames << path;
    frm.BtnExport->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = Cp1251::decode(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0),
             QStringLiteral("№ п.п.;Начало;Вид работ;Изделие;Серия(номер);Отдел;Причина;Специалист;Окончание"));
    QCOMPARE(lines.value(1), QStringLiteral("1;%1;Средний;HP LaserJet 5100;В- 45678;Экономический;"
                                            "выход из стоя картриджа;Сидоренко;%2")
                                 .arg(day(2004, 6, 25), day(2004, 7, 12)));

    // The operations' report: the grid of the repair's rows under its caption.
    sink->commands.clear();
    dialogs.dialogs.enqueue([](QDialog &w) {
        static_cast<TFrmKl &>(w).BtnRep->click();
        return int(QDialog::Accepted);
    });
    frm.BtnOper->click();
    QVERIFY(sink->commands.contains(RecordingSink::Command{"Insert", {QStringLiteral("Операции по ремонту\r")}}));
    QVERIFY(sink->commands.contains(RecordingSink::Command{"Insert", {QStringLiteral("Заправка картриджа")}}));
    QVERIFY(!sink->commands.contains(RecordingSink::Command{"Insert", {QStringLiteral("HP LaserJet 5100")}}));
}

void TestOper::openedFromMainWindow_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("readOnly");
    // clang-format off
    addBackendCase("R", [](QTestData &r) { r << "R" << false; });
    addBackendCase("P", [](QTestData &r) { r << "P" << true; });
    addBackendCase("A", [](QTestData &r) { r << "A" << false; });
    // clang-format on
}

// "История работ" opens the history modally over the main window, with every repair.
void TestOper::openedFromMainWindow()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, type);
    QFETCH(bool, readOnly);
    addRepairs(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
    QString seen;
    dialogs.dialogs.enqueue([&](QDialog &d) {
        auto &frm = static_cast<TFrmOper &>(d);
        seen = QStringLiteral("%1 %2 %3")
                   .arg(frm.windowTitle())
                   .arg(frm.TblRem->RecordCount())
                   .arg(!frm.TblRem->CanModify());
        return int(QDialog::Accepted);
    });
    QVERIFY(w.ObrRemont->isEnabled());
    w.ObrRemont->trigger();
    QCOMPARE(dialogs.execLog, QStringList{"FrmOper"});
    QCOMPARE(seen, QStringLiteral("История работ 5 %1").arg(readOnly));
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    session() = Session();
}

QTEST_MAIN(TestOper)
#include "tst_oper.moc"
