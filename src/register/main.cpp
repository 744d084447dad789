#include "register/main.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/DBEditors.h"
#include "export/ReportWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TFrmmain *frmmain = nullptr;

// The grid's columns with their least widths in pixels for a font of 5 pixels' average
// character width (the small dialog font they were made for); -1: from the field's
// display width.
const TFrmmain::ColumnWidth TFrmmain::GridColumns[TFrmmain::GridColumnCount] = {
    {"Name", 107}, {"Nomer", 70},      {"Proizvod", 80}, {"D_vup", -1}, {"Resurs", -1},
    {"Seria", 65}, {"Состояние", 100}, {"Отдел", 112},   {"form", -1},
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
    Qry->setSQL(QStringLiteral("select * from izdel\norder by ") +
                TDataSet::orderTerm(Qry->russianCi(QStringLiteral("2"))) + QStringLiteral(",id"));
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
    // The key spelt as the list is sorted by it; field names ignore case.
    Qry->addLookupField(QStringLiteral("Отдел"), QStringLiteral("Otdel"), dm->TblOtdel, QStringLiteral("id"),
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
    Guard::connect(ComboSort1, qOverload<int>(&QComboBox::currentIndexChanged), this,
                   [this](int) { ComboSort1Change(); });
    Guard::connect(ComboSort2, qOverload<int>(&QComboBox::currentIndexChanged), this,
                   [this](int) { ComboSort1Change(); });
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
    // Sized in the panels' own font, so that no font cuts their texts: the hint panel has
    // room for the longest hint of the window.
    fitCountPanel();
    const int padding = statusPadding();
    int longest = 0;
    const QFontMetrics hintFm(StatusPanel1->font());
    for (const QAction *a : findChildren<QAction *>())
        longest = qMax(longest, hintFm.horizontalAdvance(a->statusTip()));
    for (const QWidget *w : findChildren<QWidget *>())
        longest = qMax(longest, hintFm.horizontalAdvance(w->statusTip()));
    StatusPanel1->setMinimumWidth(longest + padding);
}

int TFrmmain::statusPadding() const
{
    return 2 * (StatusPanel0->frameWidth() + StatusPanel0->margin()) +
           QFontMetrics(StatusPanel0->font()).horizontalAdvance(QLatin1Char(' '));
}

void TFrmmain::fitCountPanel()
{
    // Room for a five-digit count at least, so that the panel does not jump while the list
    // grows, and for the count it shows.
    const QFontMetrics fm(StatusPanel0->font());
    const int text = qMax(fm.horizontalAdvance(FormatText(tr("Всего %d компонента(ов)"), {99999})),
                          fm.horizontalAdvance(StatusPanel0->text()));
    StatusPanel0->setFixedWidth(text + statusPadding());
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

void TFrmmain::DataSource1DataChange()
{
    // The count follows the list, so that it never shows items that are gone.
    showCount();
    if (!m_userSetUp)
        return;
    const bool hasItems = Qry->Active() && !Qry->IsEmpty();
    ActEdit->setEnabled(hasItems && mayUse(ActEdit));
    ActDel->setEnabled(hasItems && mayUse(ActDel));
    ActHistory->setEnabled(hasItems && mayUse(ActHistory));
}

void TFrmmain::showCount()
{
    StatusPanel0->setText(FormatText(tr("Всего %d компонента(ов)"), {Qry->RecordCount()}));
    fitCountPanel();
}

bool TFrmmain::isHighlighted(int id) const
{
    return (FoundId != -1 && id == FoundId) || std::binary_search(m_searchResults.begin(), m_searchResults.end(), id);
}

void TFrmmain::setSearchResults(std::vector<int> sortedKeys)
{
    m_searchResults = std::move(sortedKeys);
    Grid->viewport()->update();
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
            Guard::run([] { dm->addToLog(Seams::now(), LogAction::Logout, session().CurrentUserId); });
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
