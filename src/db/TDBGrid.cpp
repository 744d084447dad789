#include "db/TDBGrid.h"

#include "core/Guard.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

// ---------------------------------------------------------------------------------------
// TDataSetModel

TDataSetModel::TDataSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void TDataSetModel::setDataSet(TDataSet *ds)
{
    beginResetModel();
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_ds = ds;
    if (ds) {
        // While rows come and go, views must not move the dataset (m_changing).
        m_connections << connect(ds, &TDataSet::modelAboutToBeReset, this, [this] {
            m_changing = true;
            beginResetModel();
        });
        m_connections << connect(ds, &TDataSet::modelReset, this, [this] {
            effectiveColumns();
            endResetModel();
            m_changing = false;
        });
        m_connections << connect(ds, &TDataSet::rowAboutToBeInserted, this, [this](int pos) {
            m_changing = true;
            beginInsertRows(QModelIndex(), pos, pos);
        });
        m_connections << connect(ds, &TDataSet::rowInserted, this, [this](int) {
            endInsertRows();
            m_changing = false;
        });
        m_connections << connect(ds, &TDataSet::rowAboutToBeRemoved, this, [this](int pos) {
            m_changing = true;
            beginRemoveRows(QModelIndex(), pos, pos);
        });
        m_connections << connect(ds, &TDataSet::rowRemoved, this, [this](int) {
            endRemoveRows();
            m_changing = false;
        });
        m_connections << connect(ds, &TDataSet::rowChanged, this, [this](int pos) {
            if (pos >= 0 && pos < rowCount() && columnCount() > 0)
                emit dataChanged(index(pos, 0), index(pos, columnCount() - 1));
        });
        m_connections << connect(ds, &TDataSet::allRowsChanged, this, [this] {
            if (rowCount() > 0 && columnCount() > 0)
                emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        });
    }
    effectiveColumns();
    endResetModel();
}

void TDataSetModel::setColumns(const QStringList &fieldNames)
{
    beginResetModel();
    m_declared = fieldNames;
    effectiveColumns();
    endResetModel();
}

void TDataSetModel::effectiveColumns()
{
    if (!m_declared.isEmpty() || !m_ds) {
        m_columns = m_declared;
        return;
    }
    m_columns.clear();
    for (const TField *f : m_ds->Fields())
        if (f->Visible())
            m_columns.append(f->FieldName());
}

TField *TDataSetModel::fieldAt(int column) const
{
    if (!m_ds || column < 0 || column >= m_columns.size())
        return nullptr;
    return m_ds->FindField(m_columns.at(column));
}

int TDataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_ds || !m_ds->Active())
        return 0;
    return m_ds->RecordCount();
}

int TDataSetModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant TDataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_ds || index.row() >= rowCount())
        return QVariant();
    TField *f = fieldAt(index.column());
    if (!f)
        return QVariant();
    const int row = m_ds->rowIndexAt(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        TDataSet::ActiveRow active(m_ds, row);
        return f->DisplayText();
    }
    case Qt::EditRole: {
        TDataSet::ActiveRow active(m_ds, row);
        return f->isLookup() ? f->DisplayText() : f->AsString();
    }
    case Qt::TextAlignmentRole:
        if (!f->isLookup() && (f->DataType() == FieldType::Integer || f->DataType() == FieldType::Float))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default: return QVariant();
    }
}

bool TDataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    m_refused = false;
    if ((role != Qt::EditRole && role != LookupKeyRole) || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    TField *f = fieldAt(index.column());
    TDataSet *ds = m_ds;
    // The general error display shows a refused value; the row stays in editing.
    m_refused = !Guard::run([&] {
        if (ds->RecNo() != index.row() + 1)
            ds->setRecNo(index.row() + 1);
        if (role == LookupKeyRole && f->isLookup()) {
            // The key of the entry chosen, stored as it is.
            TField *key = ds->FieldByName(f->KeyFields());
            if (key->value() == value || (key->isNull() && !value.isValid()))
                return;
            if (!ds->isEditing())
                ds->Edit();
            key->setValue(value);
            return;
        }
        const QString text = value.toString();
        if (f->AsString() == text || (f->isLookup() && f->DisplayText() == text))
            return;
        if (!ds->isEditing())
            ds->Edit();
        f->setText(text);
    });
    return !m_refused;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        if (section < m_titles.size() && !m_titles.at(section).isEmpty())
            return m_titles.at(section);
        const TField *f = fieldAt(section);
        return f ? f->DisplayLabel() : m_columns.at(section);
    }
    if (role == Qt::FontRole && m_bold.value(section, false)) {
        QFont font = QApplication::font("QHeaderView");
        font.setBold(true);
        return font;
    }
    return QVariant();
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const TField *f = fieldAt(index.column());
    if (!m_readOnly && f && !f->ReadOnly() && !m_columnReadOnly.value(index.column(), false) && m_ds &&
        m_ds->CanModify())
        fl |= Qt::ItemIsEditable;
    return fl;
}

// ---------------------------------------------------------------------------------------
// Cell drawing and in-place editors

class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QRect buttonRect(const QRect &cell) const
    {
        const int w = qMin(cell.height(), 18);
        return QRect(cell.right() - w + 1, cell.top(), w, cell.height());
    }

    bool hasEllipsis(const QModelIndex &index) const
    {
        return index.column() < m_grid->m_columns.size() &&
               m_grid->m_columns.at(index.column()).ButtonStyle == TColumn::Ellipsis;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        TDataSet *ds = m_grid->dataSet();
        TField *field = m_grid->m_model->fieldAt(index.column());
        const bool current = index == m_grid->currentIndex();
        const bool selected = (option.state & QStyle::State_Selected) || current;
        bool handled = false;
        if (m_grid->OnDrawColumnCell && ds && ds->Active()) {
            TDataSet::ActiveRow active(ds, ds->rowIndexAt(index.row()));
            TDBGrid::DrawCell cell{painter, option.rect, index.column(), field, selected, opt, false};
            m_grid->OnDrawColumnCell(cell);
            handled = cell.handled;
        }
        if (!handled) {
            QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        }
        if (current && hasEllipsis(index) && !m_grid->m_readOnly) {
            QStyleOptionButton b;
            b.rect = buttonRect(option.rect);
            b.text = QStringLiteral("…");
            b.state = QStyle::State_Enabled | QStyle::State_Raised;
            QApplication::style()->drawControl(QStyle::CE_PushButton, &b, painter);
        }
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        if (event->type() == QEvent::MouseButtonPress && hasEllipsis(index) && !m_grid->m_readOnly &&
            index == m_grid->currentIndex()) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (buttonRect(option.rect).contains(me->position().toPoint())) {
                emit m_grid->editButtonClick();
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        TField *f = m_grid->m_model->fieldAt(index.column());
        const QStringList pick =
            index.column() < m_grid->m_columns.size() ? m_grid->m_columns.at(index.column()).PickList : QStringList();
        if (f && (f->isLookup() || !pick.isEmpty())) {
            auto *combo = new QComboBox(parent);
            combo->setEditable(false);
            if (!pick.isEmpty())
                combo->addItems(pick);
            else
                fillLookupChoices(combo, f);
            return combo;
        }
        QWidget *w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *le = qobject_cast<QLineEdit *>(w))
            if (f && f->Size() > 0 && (f->DataType() == FieldType::String || f->DataType() == FieldType::FixedChar))
                le->setMaxLength(f->Size());
        return w;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            TField *f = m_grid->m_model->fieldAt(index.column());
            if (f && f->isLookup() && isLookupCombo(combo)) {
                // The entry of the row's key: names may repeat, keys do not.
                TDataSet::ActiveRow active(f->DataSet(), f->DataSet()->rowIndexAt(index.row()));
                const TField *key = f->DataSet()->FindField(f->KeyFields());
                combo->setCurrentIndex(key && !key->isNull() ? combo->findData(key->value()) : -1);
                return;
            }
            const QString text = index.data(Qt::EditRole).toString().trimmed();
            combo->setCurrentIndex(combo->findText(text));
            return;
        }
        if (auto *le = qobject_cast<QLineEdit *>(editor)) {
            QString text = index.data(Qt::EditRole).toString();
            TField *f = m_grid->m_model->fieldAt(index.column());
            if (f && f->DataType() == FieldType::FixedChar)
                text.truncate(TField::unpadded(text).size());
            le->setText(text);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            if (combo->currentIndex() < 0)
                return;
            if (isLookupCombo(combo))
                model->setData(index, combo->currentData(), TDataSetModel::LookupKeyRole);
            else
                model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        if (auto *le = qobject_cast<QLineEdit *>(editor)) {
            model->setData(index, le->text(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    static constexpr const char *LookupProperty = "tavrellLookup";
    static bool isLookupCombo(const QComboBox *combo) { return combo->property(LookupProperty).toBool(); }

    // The lookup's entries in the lookup dataset's order, each with its key. An entry
    // shows its name, then the details the field declares (an item's series and number);
    // names that still repeat get their key, so that every entry can be told apart.
    static void fillLookupChoices(QComboBox *combo, const TField *f)
    {
        combo->setProperty(LookupProperty, true);
        TDataSet *lds = f->LookupDataSet();
        if (!lds || !lds->Active())
            return;
        const TField *result = lds->FindField(f->LookupResultField());
        const TField *key = lds->FindField(f->LookupKeyFields());
        if (!result || !key)
            return;
        QList<const TField *> details;
        for (const QString &name : f->LookupDetail())
            if (const TField *d = lds->FindField(name))
                details.append(d);
        QStringList texts;
        QVariantList keys;
        QHash<QString, int> count;
        for (int p = 0; p < lds->RecordCount(); ++p) {
            const int row = lds->rowIndexAt(p);
            TDataSet::ActiveRow active(lds, row);
            QString text = result->DisplayText().trimmed();
            QStringList parts;
            for (const TField *d : details)
                if (const QString t = d->DisplayText().trimmed(); !t.isEmpty())
                    parts.append(t);
            if (!parts.isEmpty())
                text += QStringLiteral(" — ") + parts.join(QStringLiteral(", "));
            texts.append(text);
            keys.append(key->value());
            ++count[text];
        }
        for (int i = 0; i < texts.size(); ++i) {
            if (count.value(texts.at(i)) > 1)
                texts[i] += QStringLiteral(" [%1]").arg(keys.at(i).toString());
            combo->addItem(texts.at(i), keys.at(i));
        }
    }

    TDBGrid *m_grid;
};

// ---------------------------------------------------------------------------------------
// TDBGrid

namespace {
QPointer<TDBGrid> g_mainGrid;
}

QFont TDBGrid::mainGridFont() { return g_mainGrid ? g_mainGrid->font() : QApplication::font(); }
void TDBGrid::setMainGrid(TDBGrid *grid) { g_mainGrid = grid; }

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent), m_model(new TDataSetModel(this))
{
    setModel(m_model);
    setItemDelegate(new TDBGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // The row numbers: the header takes the width of the longest one in its font.
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGrid::titleClick);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        rebuild();
        if (TDataSet *ds = dataSet())
            followDataSet(ds->RecNo() - 1);
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (TDataSet *ds = dataSet())
            followDataSet(ds->RecNo() - 1);
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (TDataSet *ds = dataSet())
            followDataSet(ds->RecNo() - 1);
    });
}

void TDBGrid::setDataSource(TDataSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    auto attach = [this] {
        TDataSet *ds = dataSet();
        m_model->setDataSet(ds);
        if (ds)
            connect(ds, &TDataSet::currentChanged, this, &TDBGrid::followDataSet, Qt::UniqueConnection);
        rebuild();
        if (ds)
            followDataSet(ds->RecNo() - 1);
    };
    if (source) {
        connect(source, &TDataSource::dataSetChanged, this, attach);
        connect(source, &TDataSource::updateRecord, this, [this](bool *stored) {
            if (!commitEditor())
                *stored = false;
        });
    }
    attach();
}

QWidget *TDBGrid::openEditor() const
{
    if (state() != QAbstractItemView::EditingState)
        return nullptr;
    return indexWidget(currentIndex());
}

bool TDBGrid::commitEditor()
{
    QWidget *editor = openEditor();
    if (!editor)
        return true;
    commitData(editor);
    if (m_model->lastEditRefused())
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void TDBGrid::discardEditor()
{
    if (QWidget *editor = openEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

TColumn &TDBGrid::addColumn(const QString &fieldName, const QString &title, int widthPixels)
{
    if (m_autoColumns) {
        m_columns.clear();
        m_autoColumns = false;
    }
    TColumn c;
    c.FieldName = fieldName;
    c.Title = title;
    c.Width = widthPixels;
    m_columns.append(c);
    rebuild();
    return m_columns.last();
}

void TDBGrid::clearColumns()
{
    m_columns.clear();
    m_autoColumns = true;
    rebuild();
}

void TDBGrid::updateColumns() { rebuild(); }

void TDBGrid::setTitleBold(int column, bool bold)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_columns[column].TitleBold = bold;
    QList<bool> b;
    for (const TColumn &c : m_columns)
        b.append(c.TitleBold);
    m_model->setBoldTitles(b);
}

void TDBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    viewport()->update();
}

int TDBGrid::widthForChars(int chars, const QString &title) const
{
    const QFontMetrics fm(font());
    const int w = chars * fm.horizontalAdvance(QLatin1Char('0')) + 4;
    const int t = QFontMetrics(horizontalHeader()->font()).horizontalAdvance(title) + 8;
    return qMax(w, t);
}

int TDBGrid::widthForField(const TField *field, int chars, const QString &title) const
{
    const int w = widthForChars(chars, title);
    if (!field || field->DataType() != FieldType::DateTime)
        return w;
    // Counted in characters a date may still not fit: "Sep" is wider than "09". A column
    // wider than a date has room for the time as well.
    return qMax(w, widthForText(DateText::sample(chars > DateText::sample(false).size())));
}

int TDBGrid::widthForText(const QString &text) const
{
    // The delegate keeps a margin on each side of a cell's text, and a grid line.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return QFontMetrics(font()).horizontalAdvance(text) + 2 * margin + 1;
}

int TDBGrid::contentWidth(int column, const QString &title) const
{
    int w = widthForChars(1, title);
    for (int r = 0; r < m_model->rowCount(); ++r)
        w = qMax(w, widthForText(m_model->index(r, column).data().toString()));
    // At most the visible width (before the grid is shown: the window's, beside the row
    // numbers): scrolled to, the column and its title are in sight whole.
    const int room =
        isVisible() ? viewport()->width() : window()->width() - verticalHeader()->width() - 2 * frameWidth();
    return qMin(w, qMax(room, widthForChars(10, title)));
}

void TDBGrid::rebuild()
{
    TDataSet *ds = dataSet();
    if (m_autoColumns) {
        // The dataset's visible fields, each with its label and display width.
        QList<TColumn> cols;
        if (ds)
            for (const TField *f : ds->Fields())
                if (f->Visible()) {
                    TColumn c;
                    c.FieldName = f->FieldName();
                    // Keep what was set on a column of the same field (a bold title).
                    for (const TColumn &old : m_columns)
                        if (old.FieldName == c.FieldName)
                            c = old;
                    cols.append(c);
                }
        m_columns = cols;
    }
    QStringList names, titles;
    QList<bool> bold, ro;
    for (const TColumn &c : m_columns) {
        names.append(c.FieldName);
        titles.append(c.Title);
        bold.append(c.TitleBold);
        ro.append(c.ReadOnly);
    }
    const bool same = m_model->columns() == names;
    if (!same)
        m_model->setColumns(names);
    m_model->setTitles(titles);
    m_model->setBoldTitles(bold);
    m_model->setColumnReadOnly(ro);
    for (int i = 0; i < m_columns.size(); ++i) {
        const TColumn &c = m_columns.at(i);
        int w = c.Width;
        if (w < 0) {
            const TField *f = ds ? ds->FindField(c.FieldName) : nullptr;
            const QString title = c.Title.isEmpty() ? (f ? f->DisplayLabel() : c.FieldName) : c.Title;
            w = widthForField(f, f ? f->DisplayWidth() : 10, title);
            if (f && f->FitToContent())
                w = contentWidth(i, title);
        }
        setColumnWidth(i, w);
        setColumnHidden(i, !c.Visible);
    }
}

void TDBGrid::followDataSet(int position)
{
    if (m_syncing || position < 0 || position >= m_model->rowCount())
        return;
    const int col = qMax(0, currentIndex().column());
    const QModelIndex idx = m_model->index(position, qMin(col, qMax(0, m_model->columnCount() - 1)));
    if (idx == currentIndex())
        return;
    // The dataset stores a typed value before it moves (UpdateRecord); an editor still open
    // here belongs to a row the dataset has left, and committing it now would move the
    // dataset back under the grid. It is closed unstored.
    discardEditor();
    m_syncing = true;
    setCurrentIndex(idx);
    m_syncing = false;
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    viewport()->update();
    TDataSet *ds = dataSet();
    if (m_syncing || m_model->isChanging() || !ds || !ds->Active() || !current.isValid())
        return;
    if (current.row() == ds->RecNo() - 1)
        return;
    // Leaving a changed row posts it; a refused post keeps the grid on that row.
    Guard::run([&] { ds->setRecNo(current.row() + 1); });
    if (ds->RecNo() - 1 != current.row())
        followDataSet(ds->RecNo() - 1);
}

void TDBGrid::changeEvent(QEvent *e)
{
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        rebuild();
    }
}

void TDBGrid::showEvent(QShowEvent *e)
{
    QTableView::showEvent(e);
    // Columns that fit their texts take the visible width as their limit once it is known.
    TDataSet *ds = dataSet();
    for (const TColumn &c : std::as_const(m_columns))
        if (const TField *f = ds && c.Width < 0 ? ds->FindField(c.FieldName) : nullptr; f && f->FitToContent()) {
            rebuild();
            return;
        }
}

void TDBGrid::keyPressEvent(QKeyEvent *e)
{
    TDataSet *ds = dataSet();
    if (ds && ds->Active() && state() != QAbstractItemView::EditingState) {
        if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier && !m_readOnly) {
            Guard::run([&] { ds->Insert(); });
            return;
        }
        if (e->key() == Qt::Key_Escape && ds->isEditing()) {
            ds->Cancel();
            return;
        }
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ControlModifier) &&
            !m_readOnly && currentIndex().column() < m_columns.size() &&
            m_columns.at(currentIndex().column()).ButtonStyle == TColumn::Ellipsis) {
            emit editButtonClick();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}
