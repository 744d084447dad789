// The main window: the list, rights by type letter, the second rights check, hints,
// menus and toolbar, the highlight of found items, and closing.
#include "RegisterTest.h"
#include "core/DayTime.h"
#include "core/Errors.h"
#include "core/Guard.h"
#include "db/DBEditors.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QtTest>

using namespace RegisterTest;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { session() = Session(); }

    void listAndLayout();
    void rights_data();
    void rights();
    void emptyListDisablesEditAndDelete_data() { addBackendCases(); }
    void emptyListDisablesEditAndDelete();
    void adminWindowsCheckTheTypeAgain_data();
    void adminWindowsCheckTheTypeAgain();
    void hints();
    void menusAndToolbar();
    void actionsTable_data();
    void actionsTable();
    void highlight();
    void closingSavesThenLogs_data() { addBackendCases(); }
    void closingSavesThenLogs();
    void closingWhenTheLogFails();
    void failedSetupKeepsRightsAndClosing_data() { addBackendCases(); }
    void failedSetupKeepsRightsAndClosing();
    void statusBarAndRowNumbersFitTheirTexts_data();
    void statusBarAndRowNumbersFitTheirTexts();
};

void TestMainWindow::listAndLayout()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::nobody());
    QCOMPARE(w.windowTitle(), QStringLiteral("Tavrell"));
    QVERIFY(w.Qry->Active());
    QCOMPARE(w.Qry->RecordCount(), 7);
    // The initial order is by name.
    QCOMPARE(column(w.Qry, QStringLiteral("id")).first(), QStringLiteral("103"));
    QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Всего 7 компонента(ов)"));

    const QStringList fields = {QStringLiteral("Name"),      QStringLiteral("Nomer"),  QStringLiteral("Proizvod"),
                                QStringLiteral("D_vup"),     QStringLiteral("Resurs"), QStringLiteral("Seria"),
                                QStringLiteral("Состояние"), QStringLiteral("Отдел"),  QStringLiteral("form")};
    const QStringList titles = {QStringLiteral("Название"),  QStringLiteral("Номер"),  QStringLiteral("Тип"),
                                QStringLiteral("Дата вып"),  QStringLiteral("Ресурс"), QStringLiteral("Серия"),
                                QStringLiteral("Состояние"), QStringLiteral("Отдел"),  QStringLiteral("Формат")};
    QCOMPARE(w.Grid->columnCount(), fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(w.Grid->column(i).FieldName, fields.at(i));
        QCOMPARE(w.Grid->model()->headerData(i, Qt::Horizontal).toString(), titles.at(i));
    }
    // At least the given widths, and wide enough for every value.
    const QList<int> widths = {107, 70, 80, -1, -1, 65, 100, 112, -1};
    const QFontMetrics fm(w.Grid->font());
    for (int i = 0; i < widths.size(); ++i) {
        if (widths.at(i) < 0)
            continue;
        QVERIFY2(w.Grid->columnWidthPixels(i) >= widths.at(i), qPrintable(fields.at(i)));
        for (int r = 0; r < w.Qry->RecordCount(); ++r) {
            const QString text = w.Grid->model()->index(r, i).data().toString();
            QVERIFY2(w.Grid->columnWidthPixels(i) > fm.horizontalAdvance(text), qPrintable(text));
        }
    }
    // Lookups show the names of the state and the department.
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 103));
    QCOMPARE(w.Qry->FieldByName(QStringLiteral("Отдел"))->DisplayText(), QStringLiteral("Технический"));
    QVERIFY(!w.Qry->FieldByName(QStringLiteral("Состояние"))->DisplayText().isEmpty());
    // The notes panel shows the current item's notes and cannot be typed in.
    QCOMPARE(w.DBMemo1->toPlainText(), QStringLiteral("еле дышит пора сдавать в утиль"));
    QVERIFY(w.DBMemo1->isReadOnly());
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 101));
    QVERIFY(w.DBMemo1->isReadOnly());
    QCOMPARE(w.DBMemo1->toPlainText(), QString());
    QCOMPARE(w.Splitter1->indexOf(w.PanelAdd), 1);
    QVERIFY(!w.PanelAdd->isHidden());
    QVERIFY(w.PanelFind->isHidden());
    QVERIFY(w.PanelSort->isHidden());
    QVERIFY(w.ShowAdd->isChecked());
    w.ShowAddExecute();
    QVERIFY(w.PanelAdd->isHidden());
    QVERIFY(!w.ShowAdd->isChecked());
}

void TestMainWindow::rights_data()
{
    // Enabled actions per type: user settings, administration, log, requests, history,
    // add/edit/delete, directories.
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("enabled");  // letters: U A L Z H E D
    // clang-format off
    QTest::newRow("A") << "A" << "UALZHED";
    QTest::newRow("D") << "D" << "Z";
    QTest::newRow("P") << "P" << "H";
    QTest::newRow("R") << "R" << "HE";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("unknown letter") << "X" << "";
    QTest::newRow("lower-case a") << "a" << "";
    QTest::newRow("first character counts") << "RA" << "HE";
    // clang-format on
}

void TestMainWindow::rights()
{
    QFETCH(QString, type);
    QFETCH(QString, enabled);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
    auto check = [&](QChar letter, std::initializer_list<QAction *> actions) {
        for (QAction *a : actions)
            QVERIFY2(a->isEnabled() == enabled.contains(letter), qPrintable(a->objectName()));
    };
    check(QLatin1Char('U'), {w.Action10});
    check(QLatin1Char('A'), {w.FileAdminUser});
    check(QLatin1Char('L'), {w.FileLogView});
    check(QLatin1Char('Z'), {w.ObrZajaw});
    check(QLatin1Char('H'), {w.ObrRemont});
    check(QLatin1Char('E'), {w.ActAdd, w.ActEdit, w.ActDel});
    check(QLatin1Char('D'), {w.Action14, w.SprVidRemont, w.SprStates, w.SprResurs, w.Action1});
    // Everything else is open to everybody.
    for (QAction *a :
         {w.FulltextFind, w.ActExit, w.RepRashPerPeriod, w.ExpToWord, w.ExpToMail, w.ExpToExcel, w.ActPrintCard,
          w.ViewTechOnOtdel, w.Arhive, w.ActFont, w.ActFind, w.ShowAdd, w.ViewSortPanel, w.Action7})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    // A disabled action does nothing, by shortcut or otherwise.
    w.ActDel->trigger();
    QCOMPARE(dialogs.messages.isEmpty(), !enabled.contains(QLatin1Char('E')));
}

void TestMainWindow::emptyListDisablesEditAndDelete()
{
    TAVRELL_TEST_DB(db);
    db.query(QStringLiteral("delete from zajav"));
    db.query(QStringLiteral("delete from izdel"));
    TAVRELL_PROGRAM(dialogs, db);
    for (const char *type : {"A", "R", "D"}) {
        LoggedIn::as(type).logIn();
        TFrmmain w;
        w.SetupForUser();
        QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Всего 0 компонента(ов)"));
        QVERIFY(!w.ActEdit->isEnabled());
        QVERIFY(!w.ActDel->isEnabled());
        QCOMPARE(w.ActAdd->isEnabled(), type[0] != 'D');
    }

    // The first item added enables them; deleting it disables them again.
    LoggedIn::as("A").logIn();
    TFrmmain w;
    w.SetupForUser();
    dialogs.dialogs.enqueue([](QDialog &d) {
        d.accept();
        return d.result();
    });
    w.ActAdd->trigger();
    QCOMPARE(w.Qry->RecordCount(), 1);
    QVERIFY(w.ActEdit->isEnabled());
    QVERIFY(w.ActDel->isEnabled());
    QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Всего 1 компонента(ов)"));
    dialogs.answers.enqueue(Dialogs::Yes);
    w.ActDel->trigger();
    QCOMPARE(w.Qry->RecordCount(), 0);
    QVERIFY(!w.ActEdit->isEnabled());
    QVERIFY(!w.ActDel->isEnabled());
}

void TestMainWindow::adminWindowsCheckTheTypeAgain_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("refused");
    // clang-format off
    QTest::newRow("A") << "A" << false;
    QTest::newRow("D") << "D" << true;
    QTest::newRow("R") << "R" << true;
    QTest::newRow("empty") << "" << true;
    // clang-format on
}

void TestMainWindow::adminWindowsCheckTheTypeAgain()
{
    QFETCH(QString, type);
    QFETCH(bool, refused);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as(type));
    // Called directly, as if the action were enabled.
    w.openWindow(OpenedWindow::Users);
    w.openWindow(OpenedWindow::UserLog);
    if (!refused) {
        QVERIFY(dialogs.messages.isEmpty());
        return;
    }
    QCOMPARE(dialogs.messages.size(), 2);
    for (const auto &m : dialogs.messages) {
        QCOMPARE(m.text, QStringLiteral("У Вас нет прав доступа"));
        QCOMPARE(m.caption, QStringLiteral("Ошибка"));
        QCOMPARE(m.icon, Dialogs::Icon::Critical);
    }
}

void TestMainWindow::hints()
{
    QCOMPARE(TFrmmain::shortHint(QStringLiteral("Поиск|Слово для поиска")), QStringLiteral("Поиск"));
    QCOMPARE(TFrmmain::longHint(QStringLiteral("Поиск|Слово для поиска")), QStringLiteral("Слово для поиска"));
    QCOMPARE(TFrmmain::shortHint(QStringLiteral("Таблица данных")), QStringLiteral("Таблица данных"));
    QCOMPARE(TFrmmain::longHint(QStringLiteral("Таблица данных")), QStringLiteral("Таблица данных"));
    QCOMPARE(TFrmmain::longHint(QStringLiteral("a|b|c")), QStringLiteral("b|c"));

    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::nobody());
    QCOMPARE(w.Edit->toolTip(), QStringLiteral("Поиск"));
    QCOMPARE(w.Edit->statusTip(), QStringLiteral("Слово для поиска"));
    QCOMPARE(w.Grid->toolTip(), QStringLiteral("Таблица данных"));
    QCOMPARE(w.BitBtn1->toolTip(), QStringLiteral("Закрыть панель поиска"));

    // Status tips go to the second panel; the count stays.
    const QString count = w.StatusPanel0->text();
    w.ActExit->showStatusText(&w);
    QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Выйти из программы"));
    QStatusTipEvent tip(w.Edit->statusTip());
    QCoreApplication::sendEvent(w.Edit, &tip);
    QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Слово для поиска"));
    w.ShowAppHint(QStringLiteral("Поиск|Слово для поиска"));
    QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Слово для поиска"));
    QCOMPARE(w.StatusPanel0->text(), count);
}

namespace {

QStringList actionNames(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return out;
}

}  // namespace

void TestMainWindow::menusAndToolbar()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::nobody());
    const QList<QPair<QString, QString>> menus = {
        {"Файл", "Action10 FileAdminUser FileLogView FileHistoryView - ActExit"},
        {"Оргтехника", "ActAdd ActEdit ActDel ActHistory - FulltextFind"},
        {"Справочники", "SprVidRemont SprStates SprResurs Action14 - Action1"},
        {"Обработка", "ObrZajaw ObrRemont - RepRashPerPeriod"},
        {"Экспорт", "ExpToWord ExpToMail ExpToExcel - ActPrintCard ViewTechOnOtdel"},
        {"Архивация", "Arhive"},
        {"Вид", "ActFont ActFind ShowAdd ViewSortPanel"},
        {"Помощь", "Action7"},
    };
    const QList<QAction *> bar = w.menuBar()->actions();
    QCOMPARE(bar.size(), menus.size());
    for (int i = 0; i < menus.size(); ++i) {
        QCOMPARE(bar.at(i)->text(), menus.at(i).first);
        QCOMPARE(actionNames(bar.at(i)->menu()->actions()).join(QLatin1Char(' ')), menus.at(i).second);
    }
    QCOMPARE(actionNames(w.ToolBar1->actions()).join(QLatin1Char(' ')),
             QStringLiteral("ActAdd ActEdit ActDel - ObrZajaw ObrRemont - ActFont ActFind ShowAdd ViewSortPanel - "
                            "ExpToWord ExpToMail ExpToExcel ActPrintCard - Action7 - ActExit"));
    QCOMPARE(w.ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // Every toolbar action has a picture.
    for (QAction *a : w.ToolBar1->actions())
        if (!a->isSeparator())
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
}

void TestMainWindow::actionsTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("longHint");
    QTest::addColumn<QKeySequence>("shortcut");
    // clang-format off
    QTest::newRow("ActAdd") << "ActAdd" << "Добавить" << "Добавить" << "Добавить" << QKeySequence(Qt::CTRL | Qt::Key_N);
    QTest::newRow("ActEdit") << "ActEdit" << "Редактировать" << "Редактировать" << "Редактировать" << QKeySequence(Qt::Key_F2);
    QTest::newRow("ActDel") << "ActDel" << "Удалить" << "Удалить" << "Удалить" << QKeySequence();
    QTest::newRow("FulltextFind") << "FulltextFind" << "Полнотекстовый поиск" << "Полнотекстовый поиск"
                                  << "Полнотекстовый поиск" << QKeySequence(Qt::CTRL | Qt::Key_F);
    QTest::newRow("ActExit") << "ActExit" << "Выход" << "Выход" << "Выйти из программы" << QKeySequence(Qt::ALT | Qt::Key_F4);
    QTest::newRow("Action1") << "Action1" << "Отделы" << "Список отделов" << "Список отделов" << QKeySequence();
    QTest::newRow("RepRashPerPeriod") << "RepRashPerPeriod" << "Расход материалов" << "Расход материалов по периодам"
                                      << "Расход материалов по периодам" << QKeySequence();
    QTest::newRow("ExpToWord") << "ExpToWord" << "Открыть в &Word" << "Открыть в Word" << "Открыть в Word" << QKeySequence();
    QTest::newRow("ExpToExcel") << "ExpToExcel" << "Экспорт в &Excel" << "Экспорт в Excel" << "Экспорт в Excel" << QKeySequence();
    QTest::newRow("ActPrintCard") << "ActPrintCard" << "Печать карточки" << "Печать карточки" << "Печать карточки"
                                  << QKeySequence();
    QTest::newRow("ActFont") << "ActFont" << "Шрифт" << "Шрифт" << "Изменение шрифта" << QKeySequence();
    QTest::newRow("ActFind") << "ActFind" << "Панель поиска" << "Поиск" << "Открыть панель поиска" << QKeySequence();
    QTest::newRow("ShowAdd") << "ShowAdd" << "Дополнительная информация" << "Показывать панель с дополнительной информацией"
                             << "Показывать панель с дополнительной информацией" << QKeySequence();
    QTest::newRow("Action7") << "Action7" << "О программе" << "О программе" << "Иноформация о прграмме" << QKeySequence(Qt::Key_F1);
    // clang-format on
}

void TestMainWindow::actionsTable()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    QFETCH(QString, longHint);
    QFETCH(QKeySequence, shortcut);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::nobody());
    auto *a = w.findChild<QAction *>(name);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->toolTip(), tooltip);
    QCOMPARE(a->statusTip(), longHint);
    QCOMPARE(a->shortcut(), shortcut);
}

void TestMainWindow::highlight()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    w.resize(900, 500);
    QVERIFY(w.Qry->Locate(QStringLiteral("id"), 103));  // the first row is current

    // The colour at the right end of a row's "Формат" cell (its text is short).
    const int formColumn = w.columnOfField(QStringLiteral("form"));
    auto cellColour = [&](int id) {
        const int pos = column(w.Qry, QStringLiteral("id")).indexOf(QString::number(id));
        const QRect r = w.Grid->visualRect(w.Grid->model()->index(pos, formColumn));
        const QImage img = w.Grid->viewport()->grab().toImage();
        return img.pixelColor(r.right() - 4, r.center().y());
    };
    const QColor hot = w.palette().color(QPalette::Link);
    QVERIFY(cellColour(105) != hot);

    w.FoundId = 105;
    QVERIFY(w.isHighlighted(105));
    QCOMPARE(cellColour(105), hot);
    QVERIFY(cellColour(106) != hot);

    // The search window's results: only while it gives them.
    w.setSearchResults({106, 107});
    QCOMPARE(cellColour(106), hot);
    QCOMPARE(cellColour(107), hot);
    QCOMPARE(cellColour(105), hot);
    w.setSearchResults({});
    QVERIFY(cellColour(106) != hot);
    QCOMPARE(cellColour(105), hot);
    w.FoundId = -1;
    QVERIFY(!w.isHighlighted(105));
    QVERIFY(cellColour(105) != hot);
}

void TestMainWindow::closingSavesThenLogs()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_PROGRAM(dialogs, db);
    FixedClock clock(DayTime::of(QDate(2024, 3, 5), QTime(9, 30, 0)));
    LoggedIn::as("R", 2).logIn();
    const int before = db.scalar(QStringLiteral("select count(*) from UserLog")).toInt();
    {
        TFrmmain w;
        w.SetupForUser();
        QSignalSpy closed(&w, &TFrmmain::closed);
        w.ActExit->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!w.Qry->Active());
        // Once only, however often the window is asked to close.
        w.close();
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from UserLog")).toInt(), before + 1);
    QSqlQuery q = db.query(QStringLiteral("select usr, LogAction, dt from UserLog order by dt desc"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QCOMPARE(q.value(1).toInt(), 2);
    QCOMPARE(db.module()->backend().dateTimeFromDb(q.value(2)), clock.current);
    IniFile ini(iniPath(db));
    QVERIFY(ini.valueExists(QStringLiteral("2"), QStringLiteral("fontname")));
    QVERIFY(ini.valueExists(QStringLiteral("2"), QStringLiteral("top")));
}

void TestMainWindow::closingWhenTheLogFails()
{
    TAVRELL_TEST_DB_ON(db, "sqlite");
    // A user the log cannot name: the log row is refused by its foreign key.
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A", 999));
    QSignalSpy closed(&w, &TFrmmain::closed);
    w.close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().icon, Dialogs::Icon::Critical);
    QVERIFY(!dialogs.messages.first().text.isEmpty());
    // The settings were saved before.
    QVERIFY(IniFile(iniPath(db)).valueExists(QStringLiteral("999"), QStringLiteral("width")));
}

namespace {

// The actions of the rights table.
QList<QAction *> rightsActions(const TFrmmain &w)
{
    return {w.Action10, w.FileAdminUser, w.FileLogView,  w.ObrZajaw,  w.ObrRemont, w.ActAdd, w.ActEdit,
            w.ActDel,   w.Action14,      w.SprVidRemont, w.SprStates, w.SprResurs, w.Action1};
}

}  // namespace

void TestMainWindow::failedSetupKeepsRightsAndClosing()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_PROGRAM(dialogs, db);
    FixedClock clock(DayTime::of(QDate(2024, 3, 6), QTime(10, 15, 0)));
    IniFile &ini = *dm->SettingsFile();
    ini.writeString(QStringLiteral("3"), QStringLiteral("SortField"), QStringLiteral("Seria"));
    ini.writeInteger(QStringLiteral("3"), QStringLiteral("width"), 910);
    LoggedIn::as("D", 3).logIn();
    const QString countLog = QStringLiteral("select count(*) from UserLog where LogAction = 2 and usr = 3");
    QCOMPARE(db.scalar(countLog).toInt(), 0);
    {
        TFrmmain w;
        // Before the set-up nobody's rights apply, not everybody's.
        for (QAction *a : rightsActions(w))
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));

        // The re-sort to the stored column cannot read the list any more.
        db.query(QStringLiteral("alter table izdel rename to izdel_gone"));
        // As the start-up runs it: an error that escapes is shown there.
        Guard::run([&] { w.SetupForUser(); });
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.first().icon, Dialogs::Icon::Critical);
        QVERIFY(!w.Qry->Active());
        // A dispatcher all the same: requests only.
        for (QAction *a : rightsActions(w))
            QVERIFY2(a->isEnabled() == (a == w.ObrZajaw), qPrintable(a->objectName()));
        // The steps after the failed one ran.
        QCOMPARE(w.width(), 910);

        dialogs.clear();
        ini.writeInteger(QStringLiteral("3"), QStringLiteral("width"), 0);
        w.resize(940, 420);
        QSignalSpy closed(&w, &TFrmmain::closed);
        w.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    }
    // Closing saved the settings and wrote its one log row.
    QCOMPARE(IniFile(iniPath(db)).readInteger(QStringLiteral("3"), QStringLiteral("width"), 0), 940);
    QCOMPARE(db.scalar(countLog).toInt(), 1);
}

void TestMainWindow::statusBarAndRowNumbersFitTheirTexts_data()
{
    QTest::addColumn<int>("pointSize");  // of the application's font; 0: as it is
    QTest::addColumn<int>("added");      // items added to the seven of the fixture
    QTest::newRow("default font") << 0 << 6;
    QTest::newRow("12 points") << 12 << 6;
    // More items than a five-digit count.
    QTest::newRow("100007 items") << 0 << 100000;
}

void TestMainWindow::statusBarAndRowNumbersFitTheirTexts()
{
    QFETCH(int, pointSize);
    QFETCH(int, added);
    const QFont appFont = QApplication::font();
    auto restoreFont = qScopeGuard([&] { QApplication::setFont(appFont); });
    if (pointSize > 0) {
        QFont f = appFont;
        f.setPointSize(pointSize);
        QApplication::setFont(f);
    }
    TAVRELL_TEST_DB_ON(db, "sqlite");
    db.query(QStringLiteral("with recursive n(id) as (select 120 union all select id + 1 from n where id < %1) "
                            "insert into izdel (id, Name) select id, 'Item ' || id from n")
                 .arg(120 + added - 1));
    const int count = 7 + added;
    TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // The count, whole.
    QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Всего %1 компонента(ов)").arg(count));
    const QFontMetrics panelFm(w.StatusPanel0->font());
    QVERIFY2(w.StatusPanel0->contentsRect().width() >= panelFm.horizontalAdvance(w.StatusPanel0->text()),
             qPrintable(QStringLiteral("%1 px").arg(w.StatusPanel0->width())));
    // The hint panel has room for the longest hint of the window's actions.
    int longest = 0;
    for (QAction *a : w.findChildren<QAction *>())
        longest = qMax(longest, QFontMetrics(w.StatusPanel1->font()).horizontalAdvance(a->statusTip()));
    QVERIFY(longest > 0);
    QVERIFY2(w.StatusPanel1->minimumWidth() >= longest, qPrintable(QString::number(w.StatusPanel1->minimumWidth())));
    w.resize(w.minimumSizeHint().width(), w.height());
    QVERIFY(w.StatusPanel1->contentsRect().width() >= longest);

    // The row numbers, whole.
    QHeaderView *rows = w.Grid->verticalHeader();
    const QString last = QString::number(count);
    QCOMPARE(rows->count(), count);
    QCOMPARE(w.Grid->model()->headerData(count - 1, Qt::Vertical).toString(), last);
    const int margin = rows->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, rows);
    QVERIFY2(rows->width() - 2 * margin >= QFontMetrics(rows->font()).horizontalAdvance(last),
             qPrintable(QStringLiteral("%1 px").arg(rows->width())));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
