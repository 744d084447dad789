// The main window's actions as one table: what the user sees of each (menu, caption,
// hints, shortcut, picture), what it runs and who may use it; the menus and the toolbar
// built from it; and the handlers that open other windows.
#include "register/WindowOpeners.h"
#include "register/main.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Session.h"
#include "session/UserSett.h"
#include "session/about.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace {

// The menus of the menu bar, in their order.
enum class Menu { File, Equipment, Directories, Processing, Export, Archive, View, Help };

// clang-format off
const char *const MenuTitles[] = {
    QT_TRANSLATE_NOOP("TFrmmain", "Файл"),
    QT_TRANSLATE_NOOP("TFrmmain", "Оргтехника"),
    QT_TRANSLATE_NOOP("TFrmmain", "Справочники"),
    QT_TRANSLATE_NOOP("TFrmmain", "Обработка"),
    QT_TRANSLATE_NOOP("TFrmmain", "Экспорт"),
    QT_TRANSLATE_NOOP("TFrmmain", "Архивация"),
    QT_TRANSLATE_NOOP("TFrmmain", "Вид"),
    QT_TRANSLATE_NOOP("TFrmmain", "Помощь"),
};
// clang-format on

// Where an action stands in its menu: after a separator or not.
enum class Sep { No, Before };

// A toolbar picture: an icon of the desktop's theme, or a picture of the style where the
// theme has none. No theme name: no picture.
struct Picture {
    const char *theme = nullptr;
    QStyle::StandardPixmap fallback = QStyle::SP_CustomBase;
};

// What an action runs: a handler, a window of another folder it opens, or, for a check
// mark, the panel shown while it is set.
struct Runs {
    Runs(void (TFrmmain::*h)()) : handler(h) {}
    Runs(OpenedWindow w) : window(w), opens(true) {}
    Runs(QWidget *TFrmmain::*p, bool on) : panel(p), checked(on) {}
    void (TFrmmain::*handler)() = nullptr;
    OpenedWindow window{};
    bool opens = false;
    QWidget *TFrmmain::*panel = nullptr;
    bool checked = false;
};

// A check mark showing a panel; the mark is set at start when the panel is shown at start.
Runs shows(QWidget *TFrmmain::*panel, bool atStart) { return Runs(panel, atStart); }

struct ActionRow {
    QAction *TFrmmain::*action;
    const char *name;  // objectName
    Menu menu;
    Sep sep;
    const char *caption;
    const char *tooltip;
    const char *longHint;
    const char *shortcut;  // in the portable text form; empty for none
    Picture picture;
    Runs runs;
    const char *rights;  // the user types that may use it (Rights); null: everybody
};

#define T(text) QT_TRANSLATE_NOOP("TFrmmain", text)
using F = TFrmmain;
using W = OpenedWindow;
// clang-format off
const ActionRow Actions[] = {
    {&F::Action10, "Action10", Menu::File, Sep::No,
     T("Настройки пользователя"), T("Настройки пользователя"), T("Настройки пользователя"), "",
     {}, &F::ActUserExecute, Rights::Administration},
    {&F::FileAdminUser, "FileAdminUser", Menu::File, Sep::No,
     T("Администрирование пользователей"), T("Администрирование пользователей"),
     T("Администрирование пользователей"), "",
     {}, W::Users, Rights::Administration},
    {&F::FileLogView, "FileLogView", Menu::File, Sep::No,
     T("Лог работы пользователей"), T("Лог работы пользователей"), T("Лог работы пользователей"), "",
     {}, W::UserLog, Rights::Administration},
    {&F::FileHistoryView, "FileHistoryView", Menu::File, Sep::No,
     T("История изменений"), T("История изменений"), T("История изменений всех данных"), "",
     {}, W::History, Rights::Administration},
    {&F::ActExit, "ActExit", Menu::File, Sep::Before,
     T("Выход"), T("Выход"), T("Выйти из программы"), "Alt+F4",
     {"application-exit", QStyle::SP_DialogCloseButton}, &F::ActExitExecute, nullptr},

    {&F::ActAdd, "ActAdd", Menu::Equipment, Sep::No,
     T("Добавить"), T("Добавить"), T("Добавить"), "Ctrl+N",
     {"list-add", QStyle::SP_FileDialogNewFolder}, &F::BtnAddClick, Rights::EditItems},
    {&F::ActEdit, "ActEdit", Menu::Equipment, Sep::No,
     T("Редактировать"), T("Редактировать"), T("Редактировать"), "F2",
     {"document-properties", QStyle::SP_FileDialogDetailedView}, &F::BtnEditClick, Rights::EditItems},
    {&F::ActDel, "ActDel", Menu::Equipment, Sep::No,
     T("Удалить"), T("Удалить"), T("Удалить"), "",
     {"edit-delete", QStyle::SP_TrashIcon}, &F::BtnDelClick, Rights::EditItems},
    {&F::ActHistory, "ActHistory", Menu::Equipment, Sep::No,
     T("История изменений"), T("История изменений"), T("История изменений позиции"), "",
     {}, &F::ActHistoryExecute, nullptr},
    {&F::FulltextFind, "FulltextFind", Menu::Equipment, Sep::Before,
     T("Полнотекстовый поиск"), T("Полнотекстовый поиск"), T("Полнотекстовый поиск"), "Ctrl+F",
     {}, W::Search, nullptr},

    {&F::SprVidRemont, "SprVidRemont", Menu::Directories, Sep::No,
     T("Виды ремонта"), T("Виды ремонта"), T("Виды ремонта"), "",
     {}, W::RepairKinds, Rights::Administration},
    {&F::SprStates, "SprStates", Menu::Directories, Sep::No,
     T("Состояния"), T("Состояния"), T("Состояния"), "",
     {}, W::States, Rights::Administration},
    {&F::SprResurs, "SprResurs", Menu::Directories, Sep::No,
     T("Ресурсы"), T("Ресурсы"), T("Ресурсы"), "",
     {}, W::Resources, Rights::Administration},
    {&F::Action14, "Action14", Menu::Directories, Sep::No,
     T("Классификатор операций"), T("Классификатор операций"), T("Классификатор операций"), "",
     {}, W::Operations, Rights::Administration},
    {&F::Action1, "Action1", Menu::Directories, Sep::Before,
     T("Отделы"), T("Список отделов"), T("Список отделов"), "",
     {}, W::Departments, Rights::Administration},

    {&F::ObrZajaw, "ObrZajaw", Menu::Processing, Sep::No,
     T("Заявки"), T("Заявки"), T("Заявки"), "",
     {"task-due", QStyle::SP_MessageBoxWarning}, W::Requests, Rights::Requests},
    {&F::ObrRemont, "ObrRemont", Menu::Processing, Sep::No,
     T("История работ"), T("История работ"), T("История работ"), "",
     {"document-open-recent", QStyle::SP_BrowserReload}, W::RepairHistory, Rights::RepairHistory},
    {&F::RepRashPerPeriod, "RepRashPerPeriod", Menu::Processing, Sep::Before,
     T("Расход материалов"), T("Расход материалов по периодам"), T("Расход материалов по периодам"), "",
     {}, W::Consumption, nullptr},

    {&F::ExpToWord, "ExpToWord", Menu::Export, Sep::No,
     T("Открыть в &Word"), T("Открыть в Word"), T("Открыть в Word"), "",
     {"x-office-document", QStyle::SP_FileIcon}, &F::ExpToWordExecute, nullptr},
    {&F::ExpToMail, "ExpToMail", Menu::Export, Sep::No,
     T("Отправить по почте"), T("Отправить по почте"), T("Отправить по почте"), "",
     {"mail-send", QStyle::SP_CommandLink}, &F::ExpToMailExecute, nullptr},
    {&F::ExpToExcel, "ExpToExcel", Menu::Export, Sep::No,
     T("Экспорт в &Excel"), T("Экспорт в Excel"), T("Экспорт в Excel"), "",
     {"x-office-spreadsheet", QStyle::SP_DialogSaveButton}, &F::ExpToExcelExecute, nullptr},
    {&F::ActPrintCard, "ActPrintCard", Menu::Export, Sep::Before,
     T("Печать карточки"), T("Печать карточки"), T("Печать карточки"), "",
     {"document-print", QStyle::SP_DialogOpenButton}, &F::ActPrintCardExecute, nullptr},
    {&F::ViewTechOnOtdel, "ViewTechOnOtdel", Menu::Export, Sep::No,
     T("Техника по отделам"), T("Техника по отделам"), T("Техника по отделам"), "",
     {}, &F::ViewTechOnOtdelExecute, nullptr},

    {&F::Arhive, "Arhive", Menu::Archive, Sep::No,
     T("Архивация"), T("Архивация"), T("Архивация"), "",
     {}, W::Archive, nullptr},

    {&F::ActFont, "ActFont", Menu::View, Sep::No,
     T("Шрифт"), T("Шрифт"), T("Изменение шрифта"), "",
     {"preferences-desktop-font", QStyle::SP_FileDialogInfoView}, &F::BtnFontClick, nullptr},
    {&F::ActFind, "ActFind", Menu::View, Sep::No,
     T("Панель поиска"), T("Поиск"), T("Открыть панель поиска"), "",
     {"edit-find", QStyle::SP_FileDialogContentsView}, shows(&F::PanelFind, false), nullptr},
    {&F::ShowAdd, "ShowAdd", Menu::View, Sep::No,
     T("Дополнительная информация"), T("Показывать панель с дополнительной информацией"),
     T("Показывать панель с дополнительной информацией"), "",
     {"accessories-text-editor", QStyle::SP_FileDialogListView}, shows(&F::PanelAdd, true), nullptr},
    {&F::ViewSortPanel, "ViewSortPanel", Menu::View, Sep::No,
     T("Панель сортировки"), T("Панель сортировки"), T("Панель сортировки"), "",
     {"view-sort-ascending", QStyle::SP_ArrowDown}, shows(&F::PanelSort, false), nullptr},

    {&F::Action7, "Action7", Menu::Help, Sep::No,
     T("О программе"), T("О программе"), T("Иноформация о прграмме"), "F1",
     {"help-about", QStyle::SP_MessageBoxInformation}, &F::ActAboutExecute, nullptr},
};

// The toolbar, in its order; null: a separator.
QAction *TFrmmain::*const ToolBarActions[] = {
    &F::ActAdd, &F::ActEdit, &F::ActDel, nullptr,
    &F::ObrZajaw, &F::ObrRemont, nullptr,
    &F::ActFont, &F::ActFind, &F::ShowAdd, &F::ViewSortPanel, nullptr,
    &F::ExpToWord, &F::ExpToMail, &F::ExpToExcel, &F::ActPrintCard, nullptr,
    &F::Action7, nullptr,
    &F::ActExit,
};
// clang-format on
#undef T

QIcon pictureIcon(const Picture &picture)
{
    if (!picture.theme)
        return QIcon();
    static bool themeChosen = false;
    if (!themeChosen) {
        themeChosen = true;
        // Without a desktop session Qt knows no theme; the GNOME one ships with the system.
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(picture.theme));
    return themed.isNull() ? QApplication::style()->standardIcon(picture.fallback) : themed;
}

bool allowed(const ActionRow &row, const Session &s) { return !row.rights || s.typeIn(row.rights); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Creation from the table

void TFrmmain::createActions()
{
    for (const ActionRow &row : Actions) {
        auto *a = new QAction(tr(row.caption), this);
        a->setObjectName(QString::fromLatin1(row.name));
        a->setToolTip(tr(row.tooltip));
        a->setStatusTip(tr(row.longHint));
        if (*row.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut), QKeySequence::PortableText));
        a->setIcon(pictureIcon(row.picture));
        this->*row.action = a;
        if (row.runs.panel) {
            a->setCheckable(true);
            a->setChecked(row.runs.checked);
            // The check mark has toggled by the time this runs.
            connect(a, &QAction::toggled, this,
                    [this, panel = row.runs.panel](bool on) { (this->*panel)->setVisible(on); });
        } else if (row.runs.opens) {
            Guard::connect(a, &QAction::triggered, this,
                           [this, window = row.runs.window](bool) { openWindow(window); });
        } else {
            Guard::connect(a, &QAction::triggered, this,
                           [this, handler = row.runs.handler](bool) { (this->*handler)(); });
        }
    }
}

void TFrmmain::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QList<QMenu *> menus;
    for (const char *title : MenuTitles)
        menus << bar->addMenu(tr(title));
    for (const ActionRow &row : Actions) {
        QMenu *m = menus.at(int(row.menu));
        if (row.sep == Sep::Before)
            m->addSeparator();
        m->addAction(this->*row.action);
    }
}

void TFrmmain::createToolBar()
{
    ToolBar1 = addToolBar(tr("Панель инструментов"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(24, 24));
    for (QAction *TFrmmain::*action : ToolBarActions) {
        if (action)
            ToolBar1->addAction(this->*action);
        else
            ToolBar1->addSeparator();
    }
}

// ---------------------------------------------------------------------------------------
// Rights

void TFrmmain::applyRights(const QString &userType)
{
    Session s;
    s.CurrentUserType = userType;
    for (const ActionRow &row : Actions)
        if (row.rights)
            (this->*row.action)->setEnabled(allowed(row, s));
}

bool TFrmmain::mayUse(const QAction *action) const
{
    for (const ActionRow &row : Actions)
        if (this->*row.action == action)
            return allowed(row, session());
    return false;
}

// ---------------------------------------------------------------------------------------
// The windows opened from here

void TFrmmain::openWindow(OpenedWindow window)
{
    // Asked here too, not only through the action's enabled state: other code opens windows.
    for (const ActionRow &row : Actions)
        if (row.runs.opens && row.runs.window == window && !allowed(row, session())) {
            ErrorBox(tr("У Вас нет прав доступа"));
            return;
        }
    WindowOpeners::open(window, *this);
}

void TFrmmain::ActExitExecute() { close(); }

void TFrmmain::ShowAddExecute() { ShowAdd->trigger(); }

void TFrmmain::ViewSortPanelExecute() { ViewSortPanel->trigger(); }

void TFrmmain::ActFindExecute() { ActFind->trigger(); }

void TFrmmain::BitBtn1Click()
{
    PanelFind->hide();
    ActFind->setChecked(false);
}

void TFrmmain::ActUserExecute() { RunUserSettings(this); }

void TFrmmain::ActAboutExecute() { ShowAboutBox(this); }
