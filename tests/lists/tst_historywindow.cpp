// The history of changes as windows show it: one row's changes made through the datasets,
// newest first, with labels, names instead of keys, dates and numbers as the locale writes
// them and a password only as changed; a repair with its operations and resources (and no
// other repair's); the administrator's filters; who may read which table; the list windows'
// button; the export writing what the window shows.
#include "ListWindowProbe.h"
#include "LoggedIn.h"
#include "MainWindowFixture.h"
#include "admin/Directories.h"
#include "admin/HistoryAll.h"
#include "core/Cp1251.h"
#include "lists/HistoryWindow.h"
#include "register/editu.h"
#include "repairs/oper.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

// The rows without their first column (the time, which is the database's clock).
QStringList withoutTime(const ListWindowProbe &probe)
{
    QStringList out;
    for (const QString &row : probe.rows())
        out << row.section(QLatin1Char('|'), 1);
    return out;
}

// Changes item 104 through the register's table: as SYS ADMIN four columns, then as R its
// date again, to a time of day.
void changeItem()
{
    std::unique_ptr<TDataSet> items = TestDb::itemTable();
    items->Open();
    QVERIFY(items->Locate("id", 104));
    {
        const auto user = LoggedIn::as("A", 1).scoped();
        items->Edit();
        items->FieldByName("Nomer")->setText(QStringLiteral("777"));
        items->FieldByName("D_vup")->setValue(QDateTime(QDate(2002, 3, 4), QTime(0, 0)));
        items->FieldByName("CurState")->setValue(5);
        items->FieldByName("otdel")->setValue(11);
        items->Post();
    }
    const auto user = LoggedIn::as("R", 4).scoped();
    items->Edit();
    items->FieldByName("D_vup")->setValue(QDateTime(QDate(2002, 3, 4), QTime(10, 15)));
    items->Post();
}

// The window a modal run shows, read by `read` while it runs.
void whenShown(ScriptedDialogs &dialogs, std::function<void(TFrmKl &)> read)
{
    dialogs.dialogs << [read](QDialog &d) {
        auto *w = qobject_cast<TFrmKl *>(&d);
        if (w)
            read(*w);
        return int(QDialog::Rejected);
    };
}

}  // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void init() { session() = Session(); }

    void itemRow_data() { addBackendCases(); }
    void itemRow();
    void insertChangeDeleteAndPassword_data() { addBackendCases(); }
    void insertChangeDeleteAndPassword();
    void repairWithItsLines_data() { addBackendCases(); }
    void repairWithItsLines();
    void adminFilters_data() { addBackendCases(); }
    void adminFilters();
    void rights_data();
    void rights();
    void listButton_data() { addBackendCases(); }
    void listButton();
    void exportWritesShownTexts_data() { addBackendCases(); }
    void exportWritesShownTexts();
    void mainWindowAndEditor_data() { addBackendCases(); }
    void mainWindowAndEditor();
};

void TestHistoryWindow::itemRow()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    changeItem();
    // A state that is gone since: its key as stored.
    db.query(QStringLiteral("insert into history (dt, usr, tblname, rowkey, action, field, was, became) "
                            "values ('2001-01-01 00:00:00.000', null, 'izdel', '104', 'U', 'curstate', '99', '3')"));
    const auto user = LoggedIn::as("P", 2).scoped();
    TFrmHistory w(QStringLiteral("izdel"), QStringLiteral("104"), QStringLiteral("Epson"));
    const ListWindowProbe probe(w);
    QCOMPARE(w.windowTitle(), QStringLiteral("История изменений"));
    QCOMPARE(probe.titles(), (QStringList{"Дата и время", "Пользователь", "Поле", "Было", "Стало"}));
    // The fixture row was written last: it is the newest. The columns of one change in their
    // table's order.
    QCOMPARE(withoutTime(probe), (QStringList{
                                     "|Состояние|99|Удовлетворительное",
                                     "R|Дата вып|04.03.2002|04.03.2002 10:15:00",
                                     "SYS ADMIN|Дата вып|15.09.2001|04.03.2002",
                                     "SYS ADMIN|Номер|12345|777",
                                     "SYS ADMIN|Состояние|Удовлетворительное|Списан",
                                     "SYS ADMIN|Отдел|Плановый|Административный",
                                 }));
    // When: the short date and the time the database's clock gave.
    const QDateTime shown = DateText::parse(probe.row(1).at(0));
    QVERIFY2(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 120, qPrintable(probe.row(1).at(0)));
    QVERIFY(!w.DBNavigator1->isButtonVisible(DBNavigator::Insert));
}

void TestHistoryWindow::insertChangeDeleteAndPassword()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    const auto user = LoggedIn::as("A", 3).scoped();
    TDataSet *t = dm->TblOtdel;
    t->Open();
    t->Append();
    const QString id = t->FieldByName("id")->AsString();
    t->FieldByName("Name")->setText(QStringLiteral("Юридический"));
    t->Post();
    t->Edit();
    t->FieldByName("Name")->setText(QStringLiteral("Правовой"));
    t->Post();
    t->Delete();
    {
        TFrmHistory w(QStringLiteral("otdel"), id, QString());
        QCOMPARE(withoutTime(ListWindowProbe(w)), (QStringList{
                                                      QStringLiteral("D|id|%1|").arg(id),
                                                      "D|Название|Правовой|",
                                                      "D|Название|Юридический|Правовой",
                                                      QStringLiteral("D|id||%1").arg(id),
                                                      "D|Название||Юридический",
                                                  }));
    }

    TDataSet *users = dm->TblUsers;
    users->Open();
    QVERIFY(users->Locate("ID", 4));
    users->Edit();
    users->FieldByName("passw")->setText(QStringLiteral("тайна"));
    users->FieldByName("login")->setText(QStringLiteral("Инженер"));
    users->Post();
    TFrmHistory w(QStringLiteral("users"), QStringLiteral("4"), QString());
    QCOMPARE(withoutTime(ListWindowProbe(w)), (QStringList{"D|Логин|R|Инженер", "D|Пароль||изменён"}));
}

void TestHistoryWindow::repairWithItsLines()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    const auto user = LoggedIn::as("R", 4).scoped();
    TDataSet rem;
    rem.setTableName(QStringLiteral("remont"));
    rem.Open();
    QVERIFY(rem.Locate("id", 200));
    rem.Edit();
    rem.FieldByName("Prichina")->setText(QStringLiteral("Заправка"));
    rem.Post();
    // Repairs whose keys begin as 200's does: none of theirs is 200's.
    for (int other : {2000, 20}) {
        rem.Append();
        rem.FieldByName("id")->setValue(other);
        rem.Post();
    }
    TDataSet ops;
    ops.setTableName(QStringLiteral("rem_op"));
    ops.Open();
    QVERIFY(ops.Locate("rem_id;op_id", QVariantList{200, 1}));
    ops.Edit();
    ops.FieldByName("State")->setValue(2);
    ops.Post();
    for (int other : {2000, 20}) {
        ops.Append();
        ops.FieldByName("rem_id")->setValue(other);
        ops.FieldByName("op_id")->setValue(2);
        ops.Post();
    }
    TDataSet res;
    res.setTableName(QStringLiteral("rem_res"));
    res.Open();
    QVERIFY(res.Locate("res_id", 103));
    res.Edit();
    res.FieldByName("cnt")->setValue(2.5);
    res.Post();

    // Opened from the repair history's button for the current repair.
    TFrmOper frm;
    QVERIFY(frm.TblRem->Locate("id", 200));
    QVERIFY(frm.BtnHistory && frm.BtnHistory->isEnabled());
    QStringList shown;
    QString heading;
    whenShown(dialogs, [&](TFrmKl &w) {
        shown = withoutTime(ListWindowProbe(w));
        heading = w.decl().ReportHeadingOf(w).Text;
    });
    frm.BtnHistory->click();
    QCOMPARE(dialogs.execLog.last(), QStringLiteral("FrmHistory"));
    QCOMPARE(shown, (QStringList{
                        "R|Ресурс «Нагреват. элемент»: Количество|1|2,5",
                        "R|Операция «Замена картриджа»: Состояние|Выполнено|Выполняется",
                        "R|Причина|выход из стоя картриджа|Заправка",
                    }));
    QCOMPARE(heading, QStringLiteral("Ремонт: HP LaserJet 5100, 25.06.2004"));
}

void TestHistoryWindow::adminFilters()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    changeItem();
    {
        const auto user = LoggedIn::as("A", 1).scoped();
        dm->TblOtdel->Open();
        QVERIFY(dm->TblOtdel->Locate("id", 12));
        dm->TblOtdel->Edit();
        dm->TblOtdel->FieldByName("Name")->setText(QStringLiteral("Финансовый"));
        dm->TblOtdel->Post();
    }
    // Long ago: outside the last 30 days.
    db.query(QStringLiteral("insert into history (dt, usr, tblname, rowkey, action, field, was, became) "
                            "values ('2020-01-05 10:00:00.000', 3, 'zajav', '7', 'U', 'opis', 'a', 'b')"));
    db.query(QStringLiteral("insert into history (dt, usr, tblname, rowkey, action, field, was, became) "
                            "values ('2020-02-01 00:00:00.000', 3, 'zajav', '8', 'U', 'opis', 'c', 'd')"));

    const auto user = LoggedIn::as("A", 1).scoped();
    TFrmHistoryAll w;
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('|')));
    const ListWindowProbe probe(w);
    QCOMPARE(probe.titles(),
             (QStringList{"Дата и время", "Пользователь", "Таблица", "Запись", "Поле", "Было", "Стало"}));
    QCOMPARE(w.DateFrom->date(), QDate::currentDate().addDays(-30));
    QCOMPARE(w.DateTo->date(), QDate::currentDate());
    QCOMPARE(w.statusText(), QStringLiteral("Всего 6 запись(сей)"));
    QCOMPARE(probe.row(0).mid(1),
             (QStringList{"SYS ADMIN", "Отделы", "12", "Название", "Экономический", "Финансовый"}));

    w.ComboUser->setCurrentIndex(w.ComboUser->findText(QStringLiteral("R")));
    QCOMPARE(withoutTime(probe), QStringList{"R|Оргтехника|104|Дата вып|04.03.2002|04.03.2002 10:15:00"});
    w.ComboUser->setCurrentIndex(0);
    w.ComboTable->setCurrentIndex(w.ComboTable->findText(QStringLiteral("Отделы")));
    QCOMPARE(probe.column(2), QStringList{"Отделы"});
    w.ComboTable->setCurrentIndex(0);

    // The period's days whole, its last one included.
    w.DateFrom->setDate(QDate(2020, 1, 5));
    w.DateTo->setDate(QDate(2020, 1, 31));
    QCOMPARE(withoutTime(probe), QStringList{"D|Заявки|7|Описание|a|b"});
    w.DateTo->setDate(QDate(2020, 2, 1));
    QCOMPARE(probe.column(3), (QStringList{"8", "7"}));
    w.ComboTable->setCurrentIndex(w.ComboTable->findText(QStringLiteral("Оргтехника")));
    QCOMPARE(probe.rows(), QStringList());
}

void TestHistoryWindow::rights_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("may");
    const struct {
        const char *type, *table;
        bool may;
    } cases[] = {
        {"A", "izdel", true},   {"D", "izdel", true},    {"P", "izdel", true},  {"R", "izdel", true},
        {"", "izdel", false},   {"A", "remont", true},   {"P", "rem_op", true}, {"R", "rem_res", true},
        {"D", "remont", false}, {"D", "rem_res", false}, {"A", "zajav", true},  {"D", "zajav", true},
        {"P", "zajav", false},  {"R", "zajav", false},   {"A", "otdel", true},  {"A", "users", true},
        {"D", "vidu", false},   {"R", "states", false},  {"P", "users", false}, {"R", "operations", false},
        {"D", "resurs", false}, {"A", "ids", false},
    };
    for (const auto &c : cases)
        QTest::addRow("%s %s", *c.type ? c.type : "nobody", c.table)
            << QString::fromLatin1(c.type) << QString::fromLatin1(c.table) << c.may;
}

// Whoever may see a table may read its history; the others are told so and see nothing.
void TestHistoryWindow::rights()
{
    QFETCH(QString, type);
    QFETCH(QString, table);
    QFETCH(bool, may);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    ScriptedDialogs dialogs;
    const auto user = (type.isEmpty() ? LoggedIn::nobody() : LoggedIn::as(type)).scoped();
    QCOMPARE(RowHistory::mayView(table), may);
    showRowHistory(table, QStringLiteral("1"), QString());
    QCOMPARE(dialogs.execLog, may ? QStringList{"FrmHistory"} : QStringList());
    QCOMPARE(dialogs.texts(), may ? QStringList() : QStringList{"У Вас нет прав доступа"});

    dialogs.clear();
    TFrmHistoryAll all;
    QCOMPARE(dialogs.texts(), type == QLatin1String("A") ? QStringList() : QStringList{"У Вас нет прав доступа"});
}

// The template's button: beside the close button, enabled on a current row the user may read.
void TestHistoryWindow::listButton()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    {
        const auto user = LoggedIn::as("A").scoped();
        TFrmKl w(directoryWindow(Directory::KlOtdels));
        QVERIFY(w.BtnHistory);
        QCOMPARE(ListWindowProbe(w).barOrder(),
                 (QStringList{"DBNavigator1", "BtnRep", "BtnSendToMail", "BtnExport", "BtnHistory", "BtnClose"}));
        QCOMPARE(w.BtnHistory->toolTip(), QStringLiteral("История изменений"));
        QVERIFY(!w.BtnHistory->icon().isNull());
        QVERIFY(w.BtnHistory->isEnabled());
        QVERIFY(dm->TblOtdel->Locate("id", 13));
        whenShown(dialogs, [](TFrmKl &h) { QCOMPARE(h.decl().ReportHeadingOf(h).Text, QStringLiteral("Плановый")); });
        w.BtnHistory->click();
        QCOMPARE(dialogs.execLog, QStringList{"FrmHistory"});
    }
    {
        // No current row.
        const auto user = LoggedIn::as("A").scoped();
        ListWindowDecl d(QStringLiteral("FrmEmpty"), QStringLiteral("Пусто"), nullptr);
        d.OwnDataSet = [](TDataSet &ds) { ds.setSQL(QStringLiteral("select id, Name from otdel where id < 0")); };
        d.HistoryTable = QStringLiteral("otdel");
        TFrmKl w(d);
        QVERIFY(!w.BtnHistory->isEnabled());
    }
    // Not his table: disabled.
    const auto user = LoggedIn::as("D").scoped();
    TFrmKl w(directoryWindow(Directory::KlOtdels));
    QVERIFY(!w.BtnHistory->isEnabled());
    // A list declared without a history has no button.
    ListWindowDecl plain(QStringLiteral("FrmPlain"), QStringLiteral("Список"), dm->TblOtdel);
    TFrmKl other(plain);
    QVERIFY(!other.BtnHistory);
    QVERIFY(!other.findChild<QToolButton *>(QStringLiteral("BtnHistory")));
}

void TestHistoryWindow::exportWritesShownTexts()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    changeItem();
    const auto user = LoggedIn::as("R", 4).scoped();
    TFrmHistory w(QStringLiteral("izdel"), QStringLiteral("104"), QString());
    const QString path = QDir(db.folder()).filePath(QStringLiteral("history.csv"));
    dialogs.saveNames << path;
    w.BtnExport->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = Cp1251::decode(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("№ п.п.;Дата и время;Пользователь;Поле;Было;Стало"));
    QStringList expected;
    const ListWindowProbe probe(w);
    for (int r = 0; r < 5; ++r)
        expected << QString::number(r + 1) + QLatin1Char(';') + probe.row(r).join(QLatin1Char(';'));
    QCOMPARE(lines.mid(1), expected);
    QVERIFY2(lines.at(3).endsWith(QStringLiteral(";SYS ADMIN;Номер;12345;777")), qPrintable(lines.at(3)));
}

// The main window's menu item and the item editor's button open the current item's history.
void TestHistoryWindow::mainWindowAndEditor()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("P", 2));
    QList<QAction *> menu;
    for (QObject *o : w.ActDel->associatedObjects())
        if (auto *m = qobject_cast<QMenu *>(o))
            menu = m->actions();
    QVERIFY(menu.indexOf(w.ActDel) >= 0);
    QCOMPARE(menu.indexOf(w.ActHistory), menu.indexOf(w.ActDel) + 1);
    QVERIFY(menu.at(menu.indexOf(w.ActHistory) + 1)->isSeparator());
    QCOMPARE(w.ActHistory->text(), QStringLiteral("История изменений"));
    QVERIFY(w.ActHistory->isEnabled());
    QVERIFY(!w.FileHistoryView->isEnabled());
    QVERIFY(w.Qry->Locate("id", 104));
    QString heading;
    whenShown(dialogs, [&](TFrmKl &h) { heading = h.decl().ReportHeadingOf(h).Text; });
    w.ActHistory->trigger();
    QCOMPARE(dialogs.execLog.last(), QStringLiteral("FrmHistory"));
    QCOMPARE(heading, QStringLiteral("Epson Perfection 1270, серия S - 234567, номер 12345"));

    TFrmEdit editor(w.DataSource1);
    QVERIFY(editor.BtnHistory->isEnabled());
    w.Qry->Append();
    QVERIFY(!editor.BtnHistory->isEnabled());
    w.Qry->Cancel();
    QVERIFY(editor.BtnHistory->isEnabled());
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
