#include "register/main.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "session/UserSett.h"
#include "session/about.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"
#include "export/ReportWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QFontMetricsF>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TFrmmain *frmmain = nullptr;

// The grid's columns with their least widths in pixels for a font of 5 pixels' average
// character width (the small dialog font they were made for); -1: from the field's
// display width.
const TFrmmain::ColumnWidth TFrmmain::GridColumns[TFrmmain::GridColumnCount] = {
    {"Name", 107}, {"Nomer", 70}, {"Proizvod", 80}, {"D_vup", -1}, {"Resurs", -1},
    {"Seria", 65}, {"Состояние", 100}, {"Отдел", 112}, {"form", -1},
};

void TFrmmain::applyColumnWidths()
{
    // The widths grow with the grid's font, so that a larger font does not cut the texts
    // the columns were made for.
    const qreal scale = qMax<qreal>(1.0, QFontMetricsF(Grid->font()).averageCharWidth() / 5.0);
    for (int i = 0; i < GridColumnCount && i < Grid->columnCount(); ++i)
        Grid->column(i).Width = GridColumns[i].width < 0 ? -1 : qRound(GridColumns[i].width * scale);
    Grid->updateColumns();
    fitColumnsToContents();
}

void TFrmmain::fitColumnsToContents()
{
    // A column is widened to show its longest value, up to twice its own width.
    for (int i = 0; i < GridColumnCount && i < Grid->columnCount(); ++i) {
        const int base = Grid->column(i).Width;
        if (base < 0)
            continue;
        const QFontMetrics fm(Grid->font());
        int fit = Grid->horizontalHeader()->sectionSizeHint(i);
        const int rows = qMin(Grid->model()->rowCount(), 2000);  // enough to judge by
        for (int r = 0; r < rows; ++r)
            fit = qMax(fit, fm.horizontalAdvance(Grid->model()->index(r, i).data().toString()) + 10);
        Grid->setColumnWidth(i, qBound(base, fit, 2 * base));
    }
}

namespace {

// The toolbar pictures, by their number in the window's picture list: an icon of the
// desktop's theme, or a picture of the style where the theme has none.
QIcon actionImage(int image)
{
    struct Pic {
        int image;
        const char *theme;
        QStyle::StandardPixmap fallback;
    };
    static const Pic pics[] = {
        {0, "edit-delete", QStyle::SP_TrashIcon},
        {1, "document-properties", QStyle::SP_FileDialogDetailedView},
        {2, "list-add", QStyle::SP_FileDialogNewFolder},
        {3, "preferences-desktop-font", QStyle::SP_FileDialogInfoView},
        {5, "application-exit", QStyle::SP_DialogCloseButton},
        {6, "help-about", QStyle::SP_MessageBoxInformation},
        {7, "edit-find", QStyle::SP_FileDialogContentsView},
        {8, "accessories-text-editor", QStyle::SP_FileDialogListView},
        {9, "task-due", QStyle::SP_MessageBoxWarning},
        {10, "document-open-recent", QStyle::SP_BrowserReload},
        {11, "view-sort-ascending", QStyle::SP_ArrowDown},
        {12, "x-office-spreadsheet", QStyle::SP_DialogSaveButton},
        {13, "x-office-document", QStyle::SP_FileIcon},
        {14, "mail-send", QStyle::SP_CommandLink},
        {15, "document-print", QStyle::SP_DialogOpenButton},
    };
    static bool themeChosen = false;
    if (!themeChosen) {
        themeChosen = true;
        // Without a desktop session Qt knows no theme; the GNOME one ships with the system.
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }
    for (const Pic &p : pics)
        if (p.image == image) {
            const QIcon themed = QIcon::fromTheme(QString::fromLatin1(p.theme));
            return themed.isNull() ? QApplication::style()->standardIcon(p.fallback) : themed;
        }
    return QIcon();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Creation

TFrmmain::TFrmmain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Frmmain"));
    setWindowTitle(tr("Tavrell"));
    resize(762, 444);
    frmmain = this;

    declareQry();
    DataSource1 = new TDataSource(this, Qry);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    createActions();
    // Nobody has logged in yet: the actions of the rights table stay off until the
    // user's own rights are applied.
    applyRights(QString());
    createMenus();
    createToolBar();

    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    PanelFind = createFindPanel();
    PanelSort = createSortPanel();
    v->addWidget(PanelFind);
    v->addWidget(PanelSort);

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    declareGrid();
    Splitter1->addWidget(Grid);

    PanelAdd = new QWidget(Splitter1);
    PanelAdd->setObjectName(QStringLiteral("PanelAdd"));
    auto *addLayout = new QVBoxLayout(PanelAdd);
    addLayout->setContentsMargins(0, 0, 0, 0);
    DBMemo1 = new DBMemo(PanelAdd);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setReadOnly(true);
    DBMemo1->setDataSource(DataSource1);
    DBMemo1->setDataField(QStringLiteral("Info"));
    addLayout->addWidget(DBMemo1);
    // Notes are changed in the item editor only; the bound memo would offer editing
    // whenever it shows a new record.
    auto keepReadOnly = [this] { DBMemo1->setReadOnly(true); };
    connect(DataSource1, &TDataSource::dataChange, DBMemo1, keepReadOnly);
    connect(DataSource1, &TDataSource::stateChange, DBMemo1, keepReadOnly);
    Splitter1->addWidget(PanelAdd);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({height() - 145, 145});
    v->addWidget(Splitter1, 1);
    setCentralWidget(central);

    createStatusBar();

    connect(DataSource1, &TDataSource::dataChange, this, [this](TField *) { DataSource1DataChange(); });

    // FormCreate: the list opens now, before anybody has logged in.
    SecondSortField.clear();
    Qry->Open();
    showCount();
}

TFrmmain::~TFrmmain()
{
    if (frmmain == this)
        frmmain = nullptr;
    // There is one main window: its grid goes with it.
    TDBGrid::setMainGrid(nullptr);
}

void TFrmmain::declareQry()
{
    Qry = new TDataSet(this);
    Qry->setObjectName(QStringLiteral("Qry"));
    // By Name, the second column, in the program's text order.
    Qry->setSQL(QStringLiteral("select * from izdel\norder by ") + Qry->russianCi(QStringLiteral("2")));
    Qry->setUpdateTable(QStringLiteral("izdel"));
    Qry->setKeyFields({QStringLiteral("id")});
    Qry->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    Qry->addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(tr("Название"));
    Qry->addField(QStringLiteral("Nomer"), FieldType::String, 15).setDisplayLabel(tr("Номер"));
    Qry->addField(QStringLiteral("Proizvod"), FieldType::String, 30).setDisplayLabel(tr("Тип"));
    Qry->addField(QStringLiteral("D_vup"), FieldType::DateTime).setDisplayLabel(tr("Дата вып")).setDisplayWidth(10);
    Qry->addField(QStringLiteral("Seria"), FieldType::String, 12).setDisplayLabel(tr("Серия"));
    Qry->addLookupField(QStringLiteral("Состояние"), QStringLiteral("CurState"), dm->TblStates, QStringLiteral("id"),
                        QStringLiteral("Name"))
        .setDisplayLabel(tr("Состояние"));
    Qry->addField(QStringLiteral("CurState"), FieldType::Integer).setVisible(false);
    Qry->addLookupField(QStringLiteral("Отдел"), QStringLiteral("otdel"), dm->TblOtdel, QStringLiteral("id"),
                        QStringLiteral("Name"), 65)
        .setDisplayLabel(tr("Отдел"))
        .setDisplayWidth(20);
    Qry->addField(QStringLiteral("otdel"), FieldType::Integer).setVisible(false);
    for (const char *d : {"D_pred", "D_sled", "D_otpr", "D_poluh"})
        Qry->addField(QString::fromLatin1(d), FieldType::DateTime).setVisible(false);
    Qry->addField(QStringLiteral("form"), FieldType::FixedChar, 3).setDisplayLabel(tr("Формат"));
    Qry->addField(QStringLiteral("Info"), FieldType::Memo);
    Qry->addField(QStringLiteral("Resurs"), FieldType::FixedChar, 10).setDisplayLabel(tr("Ресурс"));
    Qry->OnNewRecord = [this](TDataSet &ds) { QryNewRecord(ds); };
}

void TFrmmain::declareGrid()
{
    Grid = new TDBGrid(Splitter1);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setDataSource(DataSource1);
    for (const ColumnWidth &c : GridColumns)
        Grid->addColumn(QString::fromUtf8(c.field));
    applyColumnWidths();
    Grid->setReadOnly(true);
    // One line per item: a series like "А - 67567879" must not break at its blanks.
    Grid->setWordWrap(false);
    // Reading the rows again sets the declared widths; the values decide again.
    connect(Grid->model(), &QAbstractItemModel::modelReset, this, [this] { fitColumnsToContents(); });
    setHint(Grid, tr("Таблица данных"));
    Grid->OnDrawColumnCell = [this](TDBGrid::DrawCell &cell) { GridDrawColumnCell(cell); };
    Guard::connect(Grid, &TDBGrid::titleClick, this, [this](int column) { GridTitleClick(column); });
    // The list windows copy this grid's font.
    TDBGrid::setMainGrid(Grid);
}

QAction *TFrmmain::makeAction(const char *name, const QString &caption, const QString &tooltip,
                              const QString &longHintText, const QKeySequence &shortcut, int image)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!tooltip.isEmpty())
        a->setToolTip(tooltip);
    a->setStatusTip(longHintText);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    if (image >= 0)
        a->setIcon(actionImage(image));
    return a;
}

void TFrmmain::createActions()
{
    const QKeySequence none;
    ActAdd = makeAction("ActAdd", tr("Добавить"), tr("Добавить"), tr("Добавить"), QKeySequence(Qt::CTRL | Qt::Key_N), 2);
    ActEdit = makeAction("ActEdit", tr("Редактировать"), tr("Редактировать"), tr("Редактировать"), QKeySequence(Qt::Key_F2), 1);
    ActDel = makeAction("ActDel", tr("Удалить"), tr("Удалить"), tr("Удалить"), none, 0);
    FulltextFind = makeAction("FulltextFind", tr("Полнотекстовый поиск"), tr("Полнотекстовый поиск"),
                              tr("Полнотекстовый поиск"), QKeySequence(Qt::CTRL | Qt::Key_F), -1);
    Action10 = makeAction("Action10", tr("Настройки пользователя"), tr("Настройки пользователя"),
                          tr("Настройки пользователя"), none, -1);
    FileAdminUser = makeAction("FileAdminUser", tr("Администрирование пользователей"),
                               tr("Администрирование пользователей"), tr("Администрирование пользователей"), none, -1);
    FileLogView = makeAction("FileLogView", tr("Лог работы пользователей"), tr("Лог работы пользователей"),
                             tr("Лог работы пользователей"), none, -1);
    ActExit = makeAction("ActExit", tr("Выход"), tr("Выход"), tr("Выйти из программы"), QKeySequence(Qt::ALT | Qt::Key_F4), 5);
    SprVidRemont = makeAction("SprVidRemont", tr("Виды ремонта"), tr("Виды ремонта"), tr("Виды ремонта"), none, -1);
    SprStates = makeAction("SprStates", tr("Состояния"), tr("Состояния"), tr("Состояния"), none, -1);
    SprResurs = makeAction("SprResurs", tr("Ресурсы"), tr("Ресурсы"), tr("Ресурсы"), none, -1);
    Action14 = makeAction("Action14", tr("Классификатор операций"), tr("Классификатор операций"),
                          tr("Классификатор операций"), none, -1);
    Action1 = makeAction("Action1", tr("Отделы"), tr("Список отделов"), tr("Список отделов"), none, -1);
    ObrZajaw = makeAction("ObrZajaw", tr("Заявки"), tr("Заявки"), tr("Заявки"), none, 9);
    ObrRemont = makeAction("ObrRemont", tr("История работ"), tr("История работ"), tr("История работ"), none, 10);
    RepRashPerPeriod = makeAction("RepRashPerPeriod", tr("Расход материалов"), tr("Расход материалов по периодам"),
                                  tr("Расход материалов по периодам"), none, -1);
    ExpToWord = makeAction("ExpToWord", tr("Открыть в &Word"), tr("Открыть в Word"), tr("Открыть в Word"), none, 13);
    ExpToMail = makeAction("ExpToMail", tr("Отправить по почте"), tr("Отправить по почте"), tr("Отправить по почте"), none, 14);
    ExpToExcel = makeAction("ExpToExcel", tr("Экспорт в &Excel"), tr("Экспорт в Excel"), tr("Экспорт в Excel"), none, 12);
    ActPrintCard =
        makeAction("ActPrintCard", tr("Печать карточки"), tr("Печать карточки"), tr("Печать карточки"), none, 15);
    ViewTechOnOtdel = makeAction("ViewTechOnOtdel", tr("Техника по отделам"), tr("Техника по отделам"),
                                 tr("Техника по отделам"), none, -1);
    Arhive = makeAction("Arhive", tr("Архивация"), tr("Архивация"), tr("Архивация"), none, -1);
    ActFont = makeAction("ActFont", tr("Шрифт"), tr("Шрифт"), tr("Изменение шрифта"), none, 3);
    ActFind = makeAction("ActFind", tr("Панель поиска"), tr("Поиск"), tr("Открыть панель поиска"), none, 7);
    ShowAdd = makeAction("ShowAdd", tr("Дополнительная информация"), tr("Показывать панель с дополнительной информацией"),
                         tr("Показывать панель с дополнительной информацией"), none, 8);
    ViewSortPanel = makeAction("ViewSortPanel", tr("Панель сортировки"), tr("Панель сортировки"), tr("Панель сортировки"),
                               none, 11);
    Action7 = makeAction("Action7", tr("О программе"), tr("О программе"), tr("Иноформация о прграмме"),
                         QKeySequence(Qt::Key_F1), 6);

    ActFind->setCheckable(true);
    ViewSortPanel->setCheckable(true);
    ShowAdd->setCheckable(true);
    ShowAdd->setChecked(true);

    auto bind = [this](QAction *a, void (TFrmmain::*handler)()) {
        Guard::connect(a, &QAction::triggered, this, [this, handler](bool) { (this->*handler)(); });
    };
    bind(ActAdd, &TFrmmain::BtnAddClick);
    bind(ActEdit, &TFrmmain::BtnEditClick);
    bind(ActDel, &TFrmmain::BtnDelClick);
    bind(FulltextFind, &TFrmmain::FulltextFindExecute);
    bind(Action10, &TFrmmain::ActUserExecute);
    bind(FileAdminUser, &TFrmmain::FileAdminUserExecute);
    bind(FileLogView, &TFrmmain::FileLogViewExecute);
    bind(ActExit, &TFrmmain::ActExitExecute);
    bind(SprVidRemont, &TFrmmain::SprVidRemontExecute);
    bind(SprStates, &TFrmmain::SprStatesExecute);
    bind(SprResurs, &TFrmmain::SprResursExecute);
    bind(Action14, &TFrmmain::KLActionExecute);
    bind(Action1, &TFrmmain::Action1Execute);
    bind(ObrZajaw, &TFrmmain::ObrZajawExecute);
    bind(ObrRemont, &TFrmmain::ShowOperExecute);
    bind(RepRashPerPeriod, &TFrmmain::RepRashPerPeriodExecute);
    bind(ExpToWord, &TFrmmain::ExpToWordExecute);
    bind(ExpToMail, &TFrmmain::ExpToMailExecute);
    bind(ExpToExcel, &TFrmmain::ExpToExcelExecute);
    bind(ActPrintCard, &TFrmmain::ActPrintCardExecute);
    bind(ViewTechOnOtdel, &TFrmmain::ViewTechOnOtdelExecute);
    bind(Arhive, &TFrmmain::ArhiveExecute);
    bind(ActFont, &TFrmmain::BtnFontClick);
    bind(Action7, &TFrmmain::ActAboutExecute);
    // The check mark has toggled by the time these run.
    connect(ActFind, &QAction::toggled, this, [this](bool on) { PanelFind->setVisible(on); });
    connect(ViewSortPanel, &QAction::toggled, this, [this](bool on) { PanelSort->setVisible(on); });
    connect(ShowAdd, &QAction::toggled, this, [this](bool on) { PanelAdd->setVisible(on); });
}

void TFrmmain::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [bar](const QString &title, std::initializer_list<QAction *> actions) {
        QMenu *m = bar->addMenu(title);
        for (QAction *a : actions) {
            if (a)
                m->addAction(a);
            else
                m->addSeparator();
        }
        return m;
    };
    menu(tr("Файл"), {Action10, FileAdminUser, FileLogView, nullptr, ActExit});
    menu(tr("Оргтехника"), {ActAdd, ActEdit, ActDel, nullptr, FulltextFind});
    menu(tr("Справочники"), {SprVidRemont, SprStates, SprResurs, Action14, nullptr, Action1});
    menu(tr("Обработка"), {ObrZajaw, ObrRemont, nullptr, RepRashPerPeriod});
    menu(tr("Экспорт"), {ExpToWord, ExpToMail, ExpToExcel, nullptr, ActPrintCard, ViewTechOnOtdel});
    menu(tr("Архивация"), {Arhive});
    menu(tr("Вид"), {ActFont, ActFind, ShowAdd, ViewSortPanel});
    menu(tr("Помощь"), {Action7});
}

void TFrmmain::createToolBar()
{
    ToolBar1 = addToolBar(tr("Панель инструментов"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(24, 24));
    for (QAction *a : {ActAdd, ActEdit, ActDel, (QAction *)nullptr, ObrZajaw, ObrRemont, (QAction *)nullptr, ActFont,
                       ActFind, ShowAdd, ViewSortPanel, (QAction *)nullptr, ExpToWord, ExpToMail, ExpToExcel, ActPrintCard,
                       (QAction *)nullptr, Action7, (QAction *)nullptr, ActExit}) {
        if (a)
            ToolBar1->addAction(a);
        else
            ToolBar1->addSeparator();
    }
}

QWidget *TFrmmain::createFindPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelFind"));
    auto *h = new QHBoxLayout(panel);
    h->setContentsMargins(4, 2, 4, 2);
    auto *label = new QLabel(tr("Строка поиска"), panel);
    label->setObjectName(QStringLiteral("Label1"));
    Edit = new QLineEdit(panel);
    Edit->setObjectName(QStringLiteral("Edit"));
    setHint(Edit, tr("Поиск|Слово для поиска"));
    label->setBuddy(Edit);
    BtnFulltext = new QToolButton(panel);
    BtnFulltext->setObjectName(QStringLiteral("BtnFulltext"));
    BtnFulltext->setDefaultAction(FulltextFind);
    BtnFulltext->setToolButtonStyle(Qt::ToolButtonTextOnly);
    BtnFulltext->setAutoRaise(true);
    BitBtn1 = new QPushButton(tr("Скрыть"), panel);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    setHint(BitBtn1, tr("Закрыть панель поиска|Закрыть панель поиска"));
    h->addWidget(label);
    h->addWidget(Edit, 1);
    h->addWidget(BtnFulltext);
    h->addStretch(0);
    h->addWidget(BitBtn1);
    Guard::connect(Edit, &QLineEdit::textChanged, this, [this](const QString &) { EditChange(); });
    Guard::connect(BitBtn1, &QPushButton::clicked, this, [this](bool) { BitBtn1Click(); });
    panel->hide();
    return panel;
}

QWidget *TFrmmain::createSortPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelSort"));
    auto *h = new QHBoxLayout(panel);
    h->setContentsMargins(4, 2, 4, 2);
    auto *label1 = new QLabel(tr("Сортировать по"), panel);
    label1->setObjectName(QStringLiteral("Label2"));
    ComboSort1 = new QComboBox(panel);
    ComboSort1->setObjectName(QStringLiteral("ComboSort1"));
    auto *label2 = new QLabel(tr("Затем по"), panel);
    label2->setObjectName(QStringLiteral("Label3"));
    ComboSort2 = new QComboBox(panel);
    ComboSort2->setObjectName(QStringLiteral("ComboSort2"));
    ComboSort2->addItem(tr("Нет"));
    for (int i = 0; i < SortEntryCount; ++i) {
        ComboSort1->addItem(SortLabelByIndex(i));
        ComboSort2->addItem(SortLabelByIndex(i));
    }
    ComboSort1->setCurrentIndex(0);
    ComboSort2->setCurrentIndex(0);
    label1->setBuddy(ComboSort1);
    label2->setBuddy(ComboSort2);
    BitBtn2 = new QPushButton(tr("Скрыть"), panel);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    h->addWidget(label1);
    h->addWidget(ComboSort1);
    h->addSpacing(12);
    h->addWidget(label2);
    h->addWidget(ComboSort2);
    h->addStretch(1);
    h->addWidget(BitBtn2);
    Guard::connect(ComboSort1, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int) { ComboSort1Change(); });
    Guard::connect(ComboSort2, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int) { ComboSort1Change(); });
    Guard::connect(BitBtn2, &QPushButton::clicked, this, [this](bool) { ViewSortPanelExecute(); });
    panel->hide();
    return panel;
}

void TFrmmain::createStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    fitStatusPanels();
}

void TFrmmain::fitStatusPanels()
{
    // Sized in the panels' own font, so that no font cuts their texts: the count has room
    // for a five-digit number, the hint panel for the longest hint of the window.
    const QFontMetrics fm(StatusPanel0->font());
    const int padding =
        2 * (StatusPanel0->frameWidth() + StatusPanel0->margin()) + fm.horizontalAdvance(QLatin1Char(' '));
    StatusPanel0->setFixedWidth(fm.horizontalAdvance(FormatText(tr("Всего %d компонента(ов)"), {99999})) + padding);
    int longest = 0;
    const QFontMetrics hintFm(StatusPanel1->font());
    for (const QAction *a : findChildren<QAction *>())
        longest = qMax(longest, hintFm.horizontalAdvance(a->statusTip()));
    for (const QWidget *w : findChildren<QWidget *>())
        longest = qMax(longest, hintFm.horizontalAdvance(w->statusTip()));
    StatusPanel1->setMinimumWidth(longest + padding);
}

// ---------------------------------------------------------------------------------------
// Hints

QString TFrmmain::shortHint(const QString &hint) { return hint.section(QLatin1Char('|'), 0, 0); }

QString TFrmmain::longHint(const QString &hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void TFrmmain::setHint(QWidget *widget, const QString &hint)
{
    widget->setToolTip(shortHint(hint));
    widget->setStatusTip(longHint(hint));
}

void TFrmmain::setHint(QAction *action, const QString &hint)
{
    action->setToolTip(shortHint(hint));
    action->setStatusTip(longHint(hint));
}

void TFrmmain::ShowAppHint(const QString &hint) { StatusPanel1->setText(longHint(hint)); }

bool TFrmmain::event(QEvent *event)
{
    // Status tips of actions and controls go to the hint panel, not over the count.
    if (event->type() == QEvent::StatusTip) {
        ShowAppHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    if (event->type() == QEvent::FontChange && StatusBar1) {
        const bool done = QMainWindow::event(event);
        fitStatusPanels();
        return done;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------
// Rights and the list

void TFrmmain::SetupForUser()
{
    // The rights come first and cannot fail: whatever goes wrong below, the user never
    // works with actions that are not his. From here on closing saves the settings and
    // writes the log, even when a later step has failed.
    applyRights(session().CurrentUserType);
    m_userSetUp = true;
    // Each step on its own: a failed re-sort must not keep the window's size or the
    // edit rights from being restored.
    Guard::run([this] { restoreGridFont(); });
    Guard::run([this] { restoreSortColumn(); });
    Guard::run([this] { restoreWindowPlace(); });
    Guard::run([this] { DataSource1DataChange(); });
}

void TFrmmain::applyRights(const QString &userType)
{
    Session s;
    s.CurrentUserType = userType;
    const bool admin = s.typeIn(QStringLiteral("A"));
    Action10->setEnabled(admin);
    FileAdminUser->setEnabled(admin);
    FileLogView->setEnabled(admin);
    ObrZajaw->setEnabled(s.typeIn(QStringLiteral("AD")));
    ObrRemont->setEnabled(s.typeIn(QStringLiteral("APR")));
    const bool editor = s.typeIn(QStringLiteral("AR"));
    ActAdd->setEnabled(editor);
    ActEdit->setEnabled(editor);
    ActDel->setEnabled(editor);
    for (QAction *a : {Action14, SprVidRemont, SprStates, SprResurs, Action1})
        a->setEnabled(admin);
}

void TFrmmain::DataSource1DataChange()
{
    // The count follows the list, so that it never shows items that are gone.
    showCount();
    if (!m_userSetUp)
        return;
    const bool canChange = Qry->Active() && !Qry->IsEmpty() && session().typeIn(QStringLiteral("AR"));
    ActEdit->setEnabled(canChange);
    ActDel->setEnabled(canChange);
}

void TFrmmain::showCount()
{
    StatusPanel0->setText(FormatText(tr("Всего %d компонента(ов)"), {Qry->RecordCount()}));
}

bool TFrmmain::isHighlighted(int id) const
{
    return (FoundId != -1 && id == FoundId) || (SearchResultHas && SearchResultHas(id));
}

void TFrmmain::GridDrawColumnCell(TDBGrid::DrawCell &cell)
{
    TField *id = Qry->FindField(QStringLiteral("id"));
    if (!id || id->isNull() || !isHighlighted(id->AsInteger()))
        return;
    const QColor hot = palette().color(QPalette::Link);
    cell.painter->save();
    cell.painter->fillRect(cell.rect, hot);
    cell.painter->drawRect(cell.rect.adjusted(0, 0, -1, -1));
    cell.painter->restore();
    // The text goes over the highlight in the colour text has on a highlight, so that it
    // stays readable on the dark link colour.
    cell.option.palette.setColor(QPalette::Highlight, hot);
    cell.option.palette.setColor(QPalette::Text, palette().color(QPalette::HighlightedText));
    cell.option.backgroundBrush = Qt::NoBrush;
}

// ---------------------------------------------------------------------------------------
// Actions whose windows open from here

void TFrmmain::ActExitExecute() { close(); }

void TFrmmain::ShowAddExecute() { ShowAdd->trigger(); }

void TFrmmain::ViewSortPanelExecute() { ViewSortPanel->trigger(); }

void TFrmmain::ActFindExecute() { ActFind->trigger(); }

void TFrmmain::BitBtn1Click()
{
    PanelFind->hide();
    ActFind->setChecked(false);
}

void TFrmmain::FulltextFindExecute()
{
    // The search window opens here, over this list.
}

void TFrmmain::ActUserExecute() { RunUserSettings(this); }

void TFrmmain::ActAboutExecute() { ShowAboutBox(this); }

void TFrmmain::FileAdminUserExecute()
{
    if (!session().typeIn(QStringLiteral("A"))) {
        ErrorBox(tr("У Вас нет прав доступа"));
        return;
    }
    // The user administration window opens here.
}

void TFrmmain::FileLogViewExecute()
{
    if (!session().typeIn(QStringLiteral("A"))) {
        ErrorBox(tr("У Вас нет прав доступа"));
        return;
    }
    // The user log window opens here.
}

void TFrmmain::ObrZajawExecute()
{
    // The requests window looks items up in the shared table: items added in this run
    // must be there.
    dm->TblIsdel->Close();
    dm->TblIsdel->Open();
    // The requests window opens here.
}

void TFrmmain::ShowOperExecute()
{
    // The repair history window opens here.
}

void TFrmmain::RepRashPerPeriodExecute()
{
    // The consumption report window opens here.
}

void TFrmmain::SprVidRemontExecute()
{
    // The directory of kinds of repair opens here.
}

void TFrmmain::SprStatesExecute()
{
    // The directory of states opens here.
}

void TFrmmain::SprResursExecute()
{
    // The directory of resources opens here.
}

void TFrmmain::KLActionExecute()
{
    // The directory of operations opens here.
}

void TFrmmain::Action1Execute()
{
    // The directory of departments opens here.
}

void TFrmmain::ArhiveExecute()
{
    // The archive window opens here.
}

// ---------------------------------------------------------------------------------------
// Closing and placement

void TFrmmain::closeEvent(QCloseEvent *event)
{
    // Open reports first, each asking about its unsaved edits; one kept open keeps the program.
    if (!m_closed && !closeAllReports()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        if (m_userSetUp) {
            // Each step reports its own failure; the window closes all the same.
            Guard::run([this] { SaveUserSettings(); });
            Qry->Close();
            Guard::run([] {
                dm->ProcAddToLog.setParam(QStringLiteral("@dt"), Seams::now());
                dm->ProcAddToLog.setParam(QStringLiteral("@action"), 2);
                dm->ProcAddToLog.setParam(QStringLiteral("@UserId"), session().CurrentUserId);
                dm->ProcAddToLog.ExecProc();
            });
        } else {
            Qry->Close();
        }
    }
    event->accept();
    emit closed();
}

void TFrmmain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (QScreen *sc = screen()) {
        const QRect area = sc->availableGeometry();
        const QRect frame = frameGeometry();
        move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
}
