#pragma once
// Grids over datasets: a table model that shows a dataset's rows (one column per grid
// column), and the grid widget with its columns, drop-downs, ellipsis button, cell-drawing
// hook, clickable titles and font.
//
//     grid = new TDBGrid(this);
//     grid->setObjectName("Grid");
//     grid->setDataSource(DsLoc);
//     grid->addColumn("Nach_rem");                          // title from the field's label
//     grid->addColumn("Изделие").ButtonStyle = TColumn::Ellipsis;
//     grid->setReadOnly(true);                              // or edited in place
//     connect(grid, &TDBGrid::editButtonClick, ...);
//     grid->OnDrawColumnCell = [](TDBGrid::DrawCell &cell) { ... };
//
// Without added columns the grid shows every visible field, in the dataset's order,
// with the field's label as title and its display width.
#include "db/TDataSet.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <functional>

class QPainter;

// One column of a grid.
struct TColumn {
    enum Style { Auto, Ellipsis };
    QString FieldName;
    QString Title;  // empty: the field's label
    bool TitleBold = false;
    int Width = -1;  // pixels; -1: from the field's display width and the font
    bool ReadOnly = false;
    QStringList PickList;  // a drop-down of fixed texts
    Style ButtonStyle = Auto;
    bool Visible = true;
};

// The rows of a dataset as a table; columns are field names. Edits go through the fields'
// set-text handlers; an edit the field refuses is shown by the general error display and
// the row stays in editing.
class TDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDataSetModel(QObject *parent = nullptr);
    void setDataSet(TDataSet *dataSet);
    TDataSet *dataSet() const { return m_ds; }
    // The fields shown, in order; empty: the dataset's visible fields.
    void setColumns(const QStringList &fieldNames);
    QStringList columns() const { return m_columns; }
    // The column titles (defaults: field labels).
    void setTitles(const QStringList &titles)
    {
        m_titles = titles;
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    void setBoldTitles(const QList<bool> &bold)
    {
        m_bold = bold;
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setColumnReadOnly(const QList<bool> &readOnly) { m_columnReadOnly = readOnly; }
    TField *fieldAt(int column) const;
    // Rows are being inserted, removed or reset.
    bool isChanging() const { return m_changing; }
    // The role a lookup cell's drop-down stores by: the key of the entry chosen, never
    // its text (two entries may share a name).
    static constexpr int LookupKeyRole = Qt::UserRole + 1;
    // The last setData was refused (the error is shown).
    bool lastEditRefused() const { return m_refused; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void effectiveColumns();
    QPointer<TDataSet> m_ds;
    QStringList m_columns, m_declared, m_titles;
    QList<bool> m_bold, m_columnReadOnly;
    bool m_readOnly = false;
    bool m_changing = false;
    bool m_refused = false;
    QList<QMetaObject::Connection> m_connections;
};

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);

    void setDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    TDataSet *dataSet() const { return m_source ? m_source->DataSet() : nullptr; }
    TDataSetModel *dataModel() const { return m_model; }

    // Columns: declared ones, or every visible field.
    TColumn &addColumn(const QString &fieldName, const QString &title = QString(), int widthPixels = -1);
    void clearColumns();
    int columnCount() const { return int(m_columns.size()); }
    const TColumn &column(int i) const { return m_columns.at(i); }
    TColumn &column(int i) { return m_columns[i]; }
    // Width of a column in pixels as shown.
    int columnWidthPixels(int i) const { return columnWidth(i); }
    // Applies changed column declarations (titles, bold, widths, read-only).
    void updateColumns();
    void setTitleBold(int column, bool bold);

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // The cell-drawing hook: called for every data cell before its text is drawn, with the
    // dataset's field values referring to the cell's row. Paint a background, or change
    // the option (colours, font); set `handled` to draw everything yourself.
    struct DrawCell {
        QPainter *painter;
        QRect rect;
        int column;  // grid column
        TField *field;
        bool selected;  // the grid's current or selected cell
        QStyleOptionViewItem &option;
        bool handled;
    };
    std::function<void(DrawCell &)> OnDrawColumnCell;

    // The font of the main window's grid, copied into every list window's grid.
    static QFont mainGridFont();
    static void setMainGrid(TDBGrid *grid);

    // Width in pixels of a column of `chars` characters in the grid's font.
    int widthForChars(int chars, const QString &title = QString()) const;
    // Width in pixels of a column of `chars` characters that shows the field; a date's has
    // room for the running locale's date text (and time, when wider than a date).
    int widthForField(const TField *field, int chars, const QString &title = QString()) const;
    // Width in pixels of a column that shows `text` whole.
    int widthForText(const QString &text) const;

    // Stores what is typed into an open cell editor in the current row and closes the
    // editor; false when the value is refused (the error is shown, the editor stays open).
    // The dataset asks for it before every post and move (TDataSet::UpdateRecord).
    bool commitEditor();
    // Closes an open cell editor without storing its text.
    void discardEditor();
    // The open cell editor, if any.
    QWidget *openEditor() const;

signals:
    void titleClick(int column);
    void editButtonClick();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    friend class TDBGridDelegate;
    void rebuild();
    // The width of a column that fits its texts and its title, at most the window's width.
    int contentWidth(int column, const QString &title) const;
    void followDataSet(int position);
    QPointer<TDataSource> m_source;
    TDataSetModel *m_model;
    QList<TColumn> m_columns;
    bool m_autoColumns = true;
    bool m_readOnly = false;
    bool m_syncing = false;
};
