#include "lists/klfrm.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "export/MSWord.h"
#include "export/sg2csv.h"
#include "export/sg2mail.h"
#include "export/sg2word.h"
#include "lists/HistoryWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &hint, const QIcon &icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setIcon(icon);
    return b;
}

QIcon standardIcon(QWidget *w, QStyle::StandardPixmap icon) { return w->style()->standardIcon(icon); }

}  // namespace

bool ListButton::hasRows(const TFrmKl &window)
{
    const TDataSet *ds = window.DsLoc->DataSet();
    return ds && ds->Active() && !ds->IsEmpty();
}

TFrmKl::TFrmKl(const ListWindowDecl &decl, QWidget *parent) : QDialog(parent), m_decl(decl)
{
    setObjectName(decl.Name);
    setWindowTitle(decl.Caption);
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    for (TDataSet *shared : decl.Reread) {
        shared->Close();
        shared->Open();
    }
    if (decl.OwnDataSet) {
        m_decl.DataSet = new TDataSet(this);
        decl.OwnDataSet(*m_decl.DataSet);
    }
    DsLoc = new TDataSource(this, m_decl.DataSet);
    DsLoc->setObjectName(decl.DataSourceName);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    m_bar = new QHBoxLayout(Panel1);
    m_bar->setContentsMargins(2, 2, 2, 2);
    m_bar->setSpacing(2);
    DBNavigator1 = new DBNavigator(Panel1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setVisibleButtons(decl.NavigatorButtons);
    DBNavigator1->setHints(decl.NavigatorHints);
    DBNavigator1->setDataSource(DsLoc);
    m_bar->addWidget(DBNavigator1);
    BtnRep = toolButton(Panel1, QStringLiteral("BtnRep"), tr("Отчет в msWord"),
                        standardIcon(this, QStyle::SP_FileDialogDetailedView));
    BtnSendToMail = toolButton(Panel1, QStringLiteral("BtnSendToMail"), tr("Отправить по почте"),
                               standardIcon(this, QStyle::SP_DialogOkButton));
    BtnExport = toolButton(Panel1, QStringLiteral("BtnExport"), tr("Экспорт в файл..."),
                           standardIcon(this, QStyle::SP_DialogSaveButton));
    BtnClose = toolButton(Panel1, decl.CloseName, decl.CloseHint, standardIcon(this, QStyle::SP_DialogCloseButton));
    for (QToolButton *b : {BtnRep, BtnSendToMail, BtnExport, BtnClose})
        m_bar->addWidget(b);
    m_bar->addStretch();

    grid = new TDBGrid(this);
    grid->setObjectName(decl.GridName);
    grid->setDataSource(DsLoc);
    grid->setReadOnly(!decl.GridEditable);

    StatusBar = nullptr;
    if (decl.HasStatusBar) {
        StatusBar = new QStatusBar(this);
        StatusBar->setObjectName(QStringLiteral("StatusBar"));
        StatusBar->setSizeGripEnabled(false);
    }

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(Panel1);
    m_layout->addWidget(grid, 1);
    if (StatusBar)
        m_layout->addWidget(StatusBar);

    // Each button stores a typed value first, also when it is pressed by other means than
    // the mouse (see eventFilter).
    Guard::connect(BtnRep, &QToolButton::clicked, this, [this](bool) {
        if (commitEdits())
            BtnRepClick();
    });
    Guard::connect(BtnSendToMail, &QToolButton::clicked, this, [this](bool) {
        if (commitEdits())
            BtnSendToMailClick();
    });
    Guard::connect(BtnExport, &QToolButton::clicked, this, [this](bool) {
        if (commitEdits())
            BtnExportClick();
    });
    Guard::connect(BtnClose, &QToolButton::clicked, this, [this](bool) { BtnCloseClick(); });
    connect(DsLoc, &TDataSource::dataChange, this, [this](TField *field) {
        if (m_destroying)
            return;
        Guard::run([&] { DsLocDataChange(field); });
        updateToolButtons();
    });
    connect(DsLoc, &TDataSource::stateChange, this, [this] {
        if (!m_destroying)
            updateToolButtons();
    });
    for (const ListButton &b : decl.Buttons)
        addToolButton(b);
    if (!decl.HistoryTable.isEmpty()) {
        const QString table = decl.HistoryTable;
        BtnHistory = addToolButton(ListButton(
                                       QStringLiteral("BtnHistory"), tr("История изменений"),
                                       [](TFrmKl &w) { w.BtnHistoryClick(); },
                                       QIcon::fromTheme(QStringLiteral("document-open-recent"),
                                                        standardIcon(this, QStyle::SP_FileDialogInfoView)))
                                       .at(ToolPlace::BeforeClose)
                                       .enabledWhen([table](const TFrmKl &w) {
                                           return ListButton::hasRows(w) && RowHistory::mayView(table);
                                       }));
    }

    resize(decl.Size);
    FormCreate();
    // Read-only after opening: a dataset that cannot be opened is left as it was.
    if (decl.ReadOnly && m_decl.DataSet && !m_decl.DataSet->ReadOnly()) {
        m_decl.DataSet->setReadOnly(true);
        m_madeReadOnly = true;
    }
    buildColumns();
    DsLocDataChange(nullptr);
    updateToolButtons();
    // Every control of the window stores a typed value before it acts (see eventFilter).
    qApp->installEventFilter(this);
}

TFrmKl::~TFrmKl()
{
    // Nothing of the window may run from here on: an editor still open is closed unstored
    // (closing the window stored it), and the data source lets go of the dataset, whose
    // signals would otherwise reach handlers of a half-destroyed window.
    m_destroying = true;
    qApp->removeEventFilter(this);
    for (TDBGrid *g : findChildren<TDBGrid *>())
        g->discardEditor();
    for (TDataSource *source : findChildren<TDataSource *>())
        disconnect(source, nullptr, this, nullptr);
    // A shared dataset must not stay read-only for the windows that follow.
    if (m_madeReadOnly)
        if (TDataSet *ds = DsLoc->DataSet())
            ds->setReadOnly(false);
}

void TFrmKl::buildColumns()
{
    for (const ListColumn &col : m_decl.Columns) {
        int width = -1;
        if (col.Width >= 0) {
            const TDataSet *ds = DsLoc->DataSet();
            const TField *f = ds ? ds->FindField(col.FieldName) : nullptr;
            const QString title = !col.Title.isEmpty() ? col.Title : f ? f->DisplayLabel() : col.FieldName;
            width = grid->widthForField(f, col.Width, title);
        }
        TColumn &c = grid->addColumn(col.FieldName, col.Title, width);
        c.ReadOnly = col.ReadOnly;
        c.PickList = col.PickList;
        c.ButtonStyle = col.Ellipsis ? TColumn::Ellipsis : TColumn::Auto;
    }
    if (!m_decl.Columns.isEmpty())
        grid->updateColumns();
}

QToolButton *TFrmKl::addToolButton(const ListButton &button)
{
    auto *b = toolButton(Panel1, button.Name, button.Text, button.Icon);
    if (button.Icon.isNull()) {
        b->setText(button.Text);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    if (button.OnClick) {
        const ListButton::Handler handler = button.OnClick;
        Guard::connect(b, &QToolButton::clicked, this, [this, handler](bool) {
            if (commitEdits())
                handler(*this);
        });
    }
    addToolWidget(b, button.Place);
    if (button.Enabled) {
        m_rules.append({b, button.Enabled});
        updateToolButtons();
    }
    return b;
}

void TFrmKl::addToolWidget(QWidget *widget, ToolPlace place)
{
    widget->setParent(Panel1);
    int at = m_bar->count() - 1;  // before the stretch
    if (place == ToolPlace::AfterNavigator)
        at = m_bar->indexOf(BtnRep);
    else if (place == ToolPlace::BeforeClose)
        at = m_bar->indexOf(BtnClose);
    m_bar->insertWidget(at, widget);
}

void TFrmKl::updateToolButtons()
{
    for (const auto &[button, rule] : m_rules) {
        bool on = true;
        Guard::run([&] { on = rule(*this); });
        button->setEnabled(on);
    }
}

bool TFrmKl::commitEdits()
{
    for (TDataSource *source : findChildren<TDataSource *>())
        if (TDataSet *ds = source->DataSet(); ds && ds->Active())
            if (!Guard::run([ds] { ds->UpdateRecord(); }))
                return false;
    return true;
}

bool TFrmKl::eventFilter(QObject *watched, QEvent *event)
{
    // A click on any control of the window other than the grid, or its shortcut: a button
    // that takes no focus would otherwise act while a cell editor still holds its text.
    const QEvent::Type type = event->type();
    if (m_destroying ||
        (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::Shortcut))
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || w->window() != this || w == grid || grid->isAncestorOf(w))
        return false;
    if (type != QEvent::Shortcut && static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
        return false;
    // A refused value keeps the user at it: the click does not act.
    return !commitEdits();
}

void TFrmKl::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The keyboard starts in the list: Insert, the arrows and typing work at once.
    grid->setFocus(Qt::OtherFocusReason);
}

void TFrmKl::finish()
{
    if (isVisible())
        done(QDialog::Rejected);
}

void TFrmKl::done(int result)
{
    if (!commitEdits())
        return;
    bool may = false;
    if (!Guard::run([&] { may = closeQuery(); }) || !may)
        return;
    QDialog::done(result);
    if (!m_decl.KeepOpen || m_decl.OwnDataSet)
        if (TDataSet *ds = DsLoc->DataSet())
            ds->Close();
}

void TFrmKl::FormCreate()
{
    if (TDataSet *ds = DsLoc->DataSet(); ds && m_decl.OpenOnCreate)
        ds->Open();
    grid->setFont(TDBGrid::mainGridFont());
}

void TFrmKl::DsLocDataChange(TField *)
{
    if (!StatusBar)
        return;
    const TDataSet *ds = DsLoc->DataSet();
    StatusBar->showMessage(tr("Всего %1 запись(сей)").arg(ds && ds->Active() ? ds->RecordCount() : 0));
}

QString TFrmKl::statusText() const { return StatusBar ? StatusBar->currentMessage() : QString(); }

void TFrmKl::BtnRepClick()
{
    TMSWord word;
    if (!word.Open()) {
        ErrorBox(tr("Не могу открыть msWord"));
        return;
    }
    word.NewDocument();
    word.InsertTitle(windowTitle() + QLatin1Char('\r'));
    if (m_decl.ReportHeadingOf) {
        const ReportHeading heading = m_decl.ReportHeadingOf(*this);
        if (!heading.Text.isEmpty())
            heading.Centred ? word.InsertTitle(heading.Text) : word.Insert(heading.Text);
    }
    GridToWord(grid, DsLoc->DataSet(), word, true);
    word.Show();
}

void TFrmKl::BtnSendToMailClick() { GridToMail(windowTitle(), grid, DsLoc->DataSet(), true); }

void TFrmKl::BtnExportClick() { GridToCSV(windowTitle(), grid, DsLoc->DataSet(), true); }

void TFrmKl::BtnCloseClick() { close(); }

void TFrmKl::BtnHistoryClick()
{
    const TDataSet *ds = DsLoc->DataSet();
    if (!ListButton::hasRows(*this) || m_decl.HistoryTable.isEmpty())
        return;
    QString key;
    if (m_decl.HistoryKeyOf) {
        key = m_decl.HistoryKeyOf(*ds);
    } else if (const TField *id = ds->FindField(QStringLiteral("id"))) {
        key = id->AsString();
    }
    QString name;
    if (m_decl.HistoryRowName) {
        name = m_decl.HistoryRowName(*ds);
    } else {
        for (const TField *f : ds->Fields())
            if (f->Visible()) {
                name = f->DisplayText();
                break;
            }
    }
    showRowHistory(m_decl.HistoryTable, key, name, this);
}

int showListWindow(const ListWindowDecl &decl, QWidget *parent) { return showModal<TFrmKl>(decl, parent); }
