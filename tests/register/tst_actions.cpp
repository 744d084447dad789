// The main window's actions, each as the user meets it: menu, caption, hints, shortcut,
// picture, and who may use it; and the windows of other folders that they open through
// the openers, after the checks the main window makes itself.
#include "RegisterTest.h"
#include "data/Tdm.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QToolBar>
#include <QtTest>

using namespace RegisterTest;

namespace {

// Every action of the window, as the user sees it. `users`: the type letters for which it
// is enabled once a user has logged in ("ADPR": everybody).
struct ActionCase {
    const char *name;
    const char *menu;
    const char *caption;
    const char *tooltip;
    const char *longHint;
    const char *shortcut;
    bool picture;
    const char *users;
};

// clang-format off
const ActionCase ActionCases[] = {
    {"Action10", "Файл", "Настройки пользователя", "Настройки пользователя", "Настройки пользователя", "", false, "A"},
    {"FileAdminUser", "Файл", "Администрирование пользователей", "Администрирование пользователей",
     "Администрирование пользователей", "", false, "A"},
    {"FileLogView", "Файл", "Лог работы пользователей", "Лог работы пользователей", "Лог работы пользователей", "",
     false, "A"},
    {"FileHistoryView", "Файл", "История изменений", "История изменений", "История изменений всех данных", "",
     false, "A"},
    {"ActExit", "Файл", "Выход", "Выход", "Выйти из программы", "Alt+F4", true, "ADPR"},
    {"ActAdd", "Оргтехника", "Добавить", "Добавить", "Добавить", "Ctrl+N", true, "AR"},
    {"ActEdit", "Оргтехника", "Редактировать", "Редактировать", "Редактировать", "F2", true, "AR"},
    {"ActDel", "Оргтехника", "Удалить", "Удалить", "Удалить", "", true, "AR"},
    {"ActHistory", "Оргтехника", "История изменений", "История изменений", "История изменений позиции", "", false,
     "ADPR"},
    {"FulltextFind", "Оргтехника", "Полнотекстовый поиск", "Полнотекстовый поиск", "Полнотекстовый поиск", "Ctrl+F",
     false, "ADPR"},
    {"SprVidRemont", "Справочники", "Виды ремонта", "Виды ремонта", "Виды ремонта", "", false, "A"},
    {"SprStates", "Справочники", "Состояния", "Состояния", "Состояния", "", false, "A"},
    {"SprResurs", "Справочники", "Ресурсы", "Ресурсы", "Ресурсы", "", false, "A"},
    {"Action14", "Справочники", "Классификатор операций", "Классификатор операций", "Классификатор операций", "",
     false, "A"},
    {"Action1", "Справочники", "Отделы", "Список отделов", "Список отделов", "", false, "A"},
    {"ObrZajaw", "Обработка", "Заявки", "Заявки", "Заявки", "", true, "AD"},
    {"ObrRemont", "Обработка", "История работ", "История работ", "История работ", "", true, "APR"},
    {"RepRashPerPeriod", "Обработка", "Расход материалов", "Расход материалов по периодам",
     "Расход материалов по периодам", "", false, "ADPR"},
    {"ExpToWord", "Экспорт", "Открыть в &Word", "Открыть в Word", "Открыть в Word", "", true, "ADPR"},
    {"ExpToMail", "Экспорт", "Отправить по почте", "Отправить по почте", "Отправить по почте", "", true, "ADPR"},
    {"ExpToExcel", "Экспорт", "Экспорт в &Excel", "Экспорт в Excel", "Экспорт в Excel", "", true, "ADPR"},
    {"ActPrintCard", "Экспорт", "Печать карточки", "Печать карточки", "Печать карточки", "", true, "ADPR"},
    {"ViewTechOnOtdel", "Экспорт", "Техника по отделам", "Техника по отделам", "Техника по отделам", "", false, "ADPR"},
    {"Arhive", "Архивация", "Архивация", "Архивация", "Архивация", "", false, "ADPR"},
    {"ActFont", "Вид", "Шрифт", "Шрифт", "Изменение шрифта", "", true, "ADPR"},
    {"ActFind", "Вид", "Панель поиска", "Поиск", "Открыть панель поиска", "", true, "ADPR"},
    {"ShowAdd", "Вид", "Дополнительная информация", "Показывать панель с дополнительной информацией",
     "Показывать панель с дополнительной информацией", "", true, "ADPR"},
    {"ViewSortPanel", "Вид", "Панель сортировки", "Панель сортировки", "Панель сортировки", "", true, "ADPR"},
    {"Action7", "Помощь", "О программе", "О программе", "Иноформация о прграмме", "F1", true, "ADPR"},
};
// clang-format on

// The actions that open a window of another folder, with the window each names.
struct OpenerCase {
    QAction *TFrmmain::*action;
    OpenedWindow window;
};

const OpenerCase OpenerCases[] = {
    {&TFrmmain::FulltextFind, OpenedWindow::Search},      {&TFrmmain::FileAdminUser, OpenedWindow::Users},
    {&TFrmmain::FileLogView, OpenedWindow::UserLog},      {&TFrmmain::FileHistoryView, OpenedWindow::History},
    {&TFrmmain::SprVidRemont, OpenedWindow::RepairKinds}, {&TFrmmain::SprStates, OpenedWindow::States},
    {&TFrmmain::SprResurs, OpenedWindow::Resources},      {&TFrmmain::Action14, OpenedWindow::Operations},
    {&TFrmmain::Action1, OpenedWindow::Departments},      {&TFrmmain::ObrZajaw, OpenedWindow::Requests},
    {&TFrmmain::ObrRemont, OpenedWindow::RepairHistory},  {&TFrmmain::RepRashPerPeriod, OpenedWindow::Consumption},
    {&TFrmmain::Arhive, OpenedWindow::Archive},
};

// While it lives, the main window's openers are these instead of the program's own.
class OpenersForTest {
public:
    explicit OpenersForTest(std::map<OpenedWindow, WindowOpeners::Open> openers) : m_saved(WindowOpeners::registry())
    {
        WindowOpeners::registry() = std::move(openers);
    }
    ~OpenersForTest() { WindowOpeners::registry() = m_saved; }

private:
    std::map<OpenedWindow, WindowOpeners::Open> m_saved;
};

// Openers for every window of OpenerCases that write down which action's window opened.
std::map<OpenedWindow, WindowOpeners::Open> recordingOpeners(QStringList &opened)
{
    std::map<OpenedWindow, WindowOpeners::Open> openers;
    for (const OpenerCase &c : OpenerCases)
        openers[c.window] = [&opened, c](TFrmmain &w) { opened << (w.*c.action)->objectName(); };
    return openers;
}

QString menuOf(TFrmmain &w, QAction *action)
{
    for (QAction *m : w.menuBar()->actions())
        if (m->menu() && m->menu()->actions().contains(action))
            return m->text();
    return QString();
}

}  // namespace

class TestActions : public QObject {
    Q_OBJECT
private slots:
    void init() { session() = Session(); }

    void everyActionAsTheUserSeesIt();
    void handlersOpenTheirOwnWindows();
    void adminWindowsOpenForTheAdministratorOnly_data();
    void adminWindowsOpenForTheAdministratorOnly();
    void requestsSeeItemsAddedInThisRun_data() { addBackendCases(); }
    void requestsSeeItemsAddedInThisRun();
};

void TestActions::everyActionAsTheUserSeesIt()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TAVRELL_START_PROGRAM(db);
    ScriptedDialogs dialogs;  // every message is answered, none waits

    // Before anybody has logged in, and for a type that is no user type's, only what is
    // everybody's is enabled.
    const QStringList types = {QStringLiteral("A"),           QStringLiteral("D"), QStringLiteral("P"),
                               QStringLiteral("R"),           QString(),           QStringLiteral("X"),
                               QStringLiteral("before login")};
    for (const QString &type : types) {
        LoggedIn::as(type == QLatin1String("before login") ? QString() : type).logIn();
        TFrmmain w;
        if (type != QLatin1String("before login"))
            w.SetupForUser();
        QCOMPARE(w.findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly).size(), int(std::size(ActionCases)));
        for (const ActionCase &c : ActionCases) {
            const QString where = type + QLatin1Char('/') + QLatin1String(c.name);
            auto *a = w.findChild<QAction *>(QString::fromLatin1(c.name));
            QVERIFY2(a, qPrintable(where));
            QCOMPARE(a->text(), QString::fromUtf8(c.caption));
            QCOMPARE(a->toolTip(), QString::fromUtf8(c.tooltip));
            QCOMPARE(a->statusTip(), QString::fromUtf8(c.longHint));
            QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(c.shortcut)));
            QVERIFY2(a->icon().isNull() != c.picture, qPrintable(where));
            QCOMPARE(w.ToolBar1->actions().contains(a), c.picture);
            QCOMPARE(menuOf(w, a), QString::fromUtf8(c.menu));
            const bool everybody = QByteArray(c.users) == "ADPR";
            const bool enabled = everybody || (type.size() == 1 && QString::fromLatin1(c.users).contains(type));
            QVERIFY2(a->isEnabled() == enabled, qPrintable(where));
        }
    }
}

void TestActions::handlersOpenTheirOwnWindows()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TAVRELL_START_PROGRAM(db);
    ScriptedDialogs dialogs;  // every message is answered, none waits
    QStringList opened;
    OpenersForTest openers(recordingOpeners(opened));
    LoggedIn::as("A").logIn();
    TFrmmain w;
    w.SetupForUser();
    for (const OpenerCase &c : OpenerCases) {
        QAction *a = w.*c.action;
        // As the user runs it, and as other code opens the window.
        opened.clear();
        a->trigger();
        QCOMPARE(opened, QStringList{a->objectName()});
        opened.clear();
        w.openWindow(c.window);
        QCOMPARE(opened, QStringList{a->objectName()});
    }
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));

    // An action without an opener yet opens nothing and says nothing.
    WindowOpeners::registry().clear();
    opened.clear();
    w.ObrRemont->trigger();
    QVERIFY(opened.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
}

void TestActions::adminWindowsOpenForTheAdministratorOnly_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("opens");
    QTest::newRow("A") << "A" << true;
    QTest::newRow("D") << "D" << false;
    QTest::newRow("P") << "P" << false;
    QTest::newRow("R") << "R" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("lower-case a") << "a" << false;
}

void TestActions::adminWindowsOpenForTheAdministratorOnly()
{
    QFETCH(QString, type);
    QFETCH(bool, opens);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    TAVRELL_START_PROGRAM(db);
    ScriptedDialogs dialogs;  // every message is answered, none waits
    QStringList opened;
    OpenersForTest openers(recordingOpeners(opened));
    LoggedIn::as(type).logIn();
    TFrmmain w;
    w.SetupForUser();
    // Called directly, as if the actions were enabled: the window opens only after the check.
    w.openWindow(OpenedWindow::Users);
    w.openWindow(OpenedWindow::UserLog);
    if (opens) {
        QCOMPARE(opened, QStringList({QStringLiteral("FileAdminUser"), QStringLiteral("FileLogView")}));
        QVERIFY(dialogs.messages.isEmpty());
    } else {
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QLatin1Char(' '))));
        QCOMPARE(dialogs.texts(),
                 QStringList({QStringLiteral("У Вас нет прав доступа"), QStringLiteral("У Вас нет прав доступа")}));
    }
}

void TestActions::requestsSeeItemsAddedInThisRun()
{
    TAVRELL_TEST_DB(db);
    TAVRELL_START_PROGRAM(db);
    ScriptedDialogs dialogs;  // every message is answered, none waits
    dm->TblIsdel->Open();
    QVERIFY(!dm->TblIsdel->Locate(QStringLiteral("id"), 300));
    // Added after the shared table was read, as another copy of the program would.
    db.query(QStringLiteral("insert into izdel (id, Name) values (300, 'Added later')"));

    // The program's own opener: the window finds the item when it opens.
    bool seen = false;
    dialogs.dialogs.enqueue([&](QDialog &) {
        seen = dm->TblIsdel->Active() && dm->TblIsdel->Locate(QStringLiteral("id"), 300);
        return int(QDialog::Rejected);
    });
    LoggedIn::as("D", 3).logIn();
    TFrmmain w;
    w.SetupForUser();
    QVERIFY(w.ObrZajaw->isEnabled());
    w.ObrZajaw->trigger();
    QCOMPARE(dialogs.execLog, QStringList{"FrmZajaw"});
    QVERIFY2(seen, "the requests window opened before the items were read again");
}

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
