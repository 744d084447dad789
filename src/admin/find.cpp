#include "admin/find.h"

#include "core/Guard.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

// ---------------------------------------------------------------------------------------
// The result list

void FindResultList::setResults(QVector<FindResult> results, FindIndex *index)
{
    beginResetModel();
    m_results = std::move(results);
    m_fieldNames = index ? index->fieldNames() : QStringList();
    m_keys.clear();
    m_keysSorted = false;
    endResetModel();
}

void FindResultList::appendResults(const QVector<FindResult> &results)
{
    if (results.size() <= m_results.size())
        return;
    beginInsertRows(QModelIndex(), int(m_results.size()), int(results.size()) - 1);
    m_results += results.mid(m_results.size());
    m_keysSorted = false;
    endInsertRows();
}

int FindResultList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_results.size()); }

QVariant FindResultList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_results.size())
        return QVariant();
    const FindResult &r = m_results[index.row()];
    if (role == Qt::DisplayRole)
        return FindIndex::resultText(r, m_fieldNames);
    if (role == KeyRole)
        return r.id;
    return QVariant();
}

std::vector<int> FindResultList::sortedKeys() const
{
    hasKey(0);  // sorts them once
    return m_keys;
}

bool FindResultList::hasKey(int id) const
{
    if (!m_keysSorted) {
        m_keys.clear();
        m_keys.reserve(size_t(m_results.size()));
        for (const FindResult &r : m_results)
            m_keys.push_back(r.id);
        std::sort(m_keys.begin(), m_keys.end());
        m_keysSorted = true;
    }
    return std::binary_search(m_keys.begin(), m_keys.end(), id);
}

// ---------------------------------------------------------------------------------------
// The window

TFrmFind::TFrmFind(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FrmFind"));
    setWindowTitle(tr("Поиск"));

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    // Typing goes to the text box whenever the window has the keyboard.
    setFocusProxy(Edit1);
    btn = new QToolButton(Panel1);
    btn->setObjectName(QStringLiteral("btn"));
    btn->setCheckable(true);
    btn->setEnabled(false);
    // The bar is 21 pixels high, or as high as the text box needs in the user's font.
    const int barHeight = qMax(21, Edit1->sizeHint().height());
    Panel1->setFixedHeight(barHeight);
    Edit1->setFixedHeight(barHeight);
    btn->setFixedSize(20, barHeight);

    ListItems = new FindResultList(this);
    ListItems->setObjectName(QStringLiteral("ListItems"));
    List = new QListView(this);
    List->setObjectName(QStringLiteral("List"));
    List->setModel(ListItems);
    List->setUniformItemSizes(true);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->hide();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(tr("Поверх всех окон"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setCheckable(true);
    N1->setChecked(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu1->popup(mapToGlobal(at)); });

    Guard::connect(Edit1, &QLineEdit::textChanged, this, [this](const QString &) { Edit1Change(); });
    Guard::connect(List, &QListView::clicked, this, [this](const QModelIndex &) { ListClick(); });
    Guard::connect(btn, &QToolButton::clicked, this, [this](bool) { btnClick(); });
    Guard::connect(N1, &QAction::triggered, this, [this](bool) { N1Click(); });

    resize(300, barHeight);
    FormCreate();
}

void TFrmFind::setDataSet(TDataSet *dataSet)
{
    m_list = dataSet;
    // Its text is folded from now on while the program waits, ready for the first keystroke.
    if (dataSet)
        follow(FindIndex::of(dataSet));
}

void TFrmFind::follow(FindIndex *index)
{
    if (m_index == index)
        return;
    if (m_index)
        m_index->stopSearch();
    disconnect(m_progress);
    m_index = index;
    m_progress =
        connect(index, &FindIndex::searchProgressed, this, [this] { Guard::run([this] { searchProgressed(); }); });
}

bool TFrmFind::highlights(int id) const { return isVisible() && ListItems->hasKey(id); }

void TFrmFind::highlightChanged()
{
    if (OnHighlightChange)
        OnHighlightChange(isVisible() ? ListItems->sortedKeys() : std::vector<int>());
}

void TFrmFind::FormCreate()
{
    // The bar alone: the list opens with the button.
    resize(width(), Panel1->height());
}

void TFrmFind::FormResize()
{
    Panel1->setGeometry(0, 0, width(), Panel1->height());
    Edit1->setGeometry(0, 0, qMax(0, width() - btn->width() - 4), Edit1->height());
    btn->move(Edit1->geometry().x() + Edit1->width() + 2, 0);
    List->setGeometry(0, Panel1->height(), width(), qMax(0, height() - Panel1->height()));
}

void TFrmFind::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TFrmFind::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (QScreen *sc = screen()) {
            const QRect frame = frameGeometry();
            move(sc->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
        }
    }
    highlightChanged();
}

void TFrmFind::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    highlightChanged();
}

void TFrmFind::Edit1Change()
{
    List->clearSelection();
    ListItems->setResults({}, nullptr);
    if (m_index)
        m_index->stopSearch();
    TDataSet *ds = m_list && m_list->Active() ? m_list.data() : nullptr;
    const QString text = Edit1->text();
    if (text.isEmpty()) {
        m_moved = true;
        if (ds)
            ds->First();
        btn->setText(QString());
        highlightChanged();
        return;
    }
    m_moved = false;
    if (ds) {
        // The first slice at once; the rest come from the event loop (searchProgressed).
        FindIndex *index = FindIndex::of(ds);
        follow(index);
        index->startSearch(FindIndex::words(text));
        m_epoch = index->runEpoch();
        ListItems->setResults(index->runResults(), index);
    }
    showResults(true);
}

void TFrmFind::searchProgressed()
{
    FindIndex *index = m_index;
    if (!index || Edit1->text().isEmpty())
        return;
    if (index->runEpoch() != m_epoch) {
        m_epoch = index->runEpoch();
        ListItems->setResults(index->runResults(), index);
    } else {
        ListItems->appendResults(index->runResults());
    }
    showResults(false);
}

void TFrmFind::showResults(bool atKeystroke)
{
    TDataSet *ds = m_list && m_list->Active() ? m_list.data() : nullptr;
    const int count = ListItems->rowCount();
    btn->setEnabled(count > 0);
    btn->setText(QString::number(count));
    // A large count would not fit the button's 20 pixels.
    btn->setFixedWidth(qMax(20, btn->fontMetrics().horizontalAdvance(btn->text()) + 8));
    FormResize();
    highlightChanged();
    // The main window ends on the first match, or on its last item when there is none: the
    // first result found is the first one, none is known only at the end.
    const bool complete = !m_index || !m_index->searching();
    if (m_moved || (!count && !complete))
        return;
    m_moved = true;
    // A row the user began writing since the keystroke is not taken from him.
    if (ds && (atKeystroke || !ds->isEditing())) {
        const int first = count ? ListItems->results().first().id : 0;
        const int firstPosition = count ? ListItems->results().first().position : -1;
        // Where the search found it, which a locate by key would find at the cost of a walk.
        const TField *id = ds->FindField(QStringLiteral("id"));
        if (!count)
            ds->Last();
        else if (id && firstPosition >= 0 && id->valueAt(ds->rowIndexAt(firstPosition)).toInt() == first)
            ds->setRecNo(firstPosition + 1);
        else
            ds->Locate(QStringLiteral("id"), first);
    }
}

void TFrmFind::ListClick()
{
    const QModelIndex at = List->currentIndex();
    if (!at.isValid() || !List->selectionModel()->isSelected(at) || !m_list || !m_list->Active())
        return;
    m_list->Locate(QStringLiteral("id"), at.data(FindResultList::KeyRole));
}

void TFrmFind::btnClick()
{
    if (btn->isChecked()) {
        resize(width(), 200);
        List->show();
    } else {
        List->hide();
        resize(width(), Edit1->height());
    }
}

void TFrmFind::N1Click()
{
    const bool shown = isVisible();
    const QRect place = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, N1->isChecked());
    // Changing the flags hides the window.
    if (shown) {
        setGeometry(place);
        show();
    }
}

// ---------------------------------------------------------------------------------------
// The one window

namespace {
QPointer<TFrmFind> s_window;
}

TFrmFind *FindWindow() { return s_window; }

void DestroyFindWindow() { delete s_window.data(); }

void ShowFindWindow(TDataSet *dataSet, QWidget *owner)
{
    if (s_window && s_window->parentWidget() != owner)
        s_window->setParent(owner, s_window->windowFlags());
    if (!s_window) {
        s_window = new TFrmFind(owner);
        static bool routineAdded = false;
        if (!routineAdded) {
            // Without an owner it goes before the application does.
            qAddPostRoutine(DestroyFindWindow);
            routineAdded = true;
        }
    }
    s_window->setDataSet(dataSet);
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
}
