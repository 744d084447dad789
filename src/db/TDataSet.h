#pragma once
// The data-aware layer: client-side datasets with fields, lookups, filters and locate,
// and the data sources that windows listen to.
//
// A window declares a dataset like this:
//
//     TblRem = new TDataSet(this);                 // on the program's connection
//     TblRem->setObjectName("TblRem");
//     TblRem->setTableName("remont");               // or setSQL(...) / setUpdateTable(...)
//     TblRem->addField("Nach_rem", FieldType::DateTime).setDisplayLabel(tr("Начало")).setDisplayWidth(10);
//     TblRem->addLookupField("Вид ремонта", "Kod_vida", kinds, "id", "Name", 30)  // kinds: a TDataSet
//            .setDisplayLabel(tr("Вид работ"));
//     TblRem->addField("id", FieldType::Integer).setVisible(false);
//     TblRem->OnNewRecord = [this](TDataSet &ds) { ... };
//     TblRem->Open();
//
// Reading fetches every row into the dataset and releases the query at once, so an open
// grid never holds a lock on the database. Append/Insert/Edit/Post/Cancel/Delete reach the
// database at once, one row by its key, with bound parameters only; a row changes or goes
// only while the columns concerned still hold what this copy read. Errors are raised as
// DbError (with the server's text) or TavrellError; the dataset's state never changes on a
// failed operation (a refused post leaves the row in editing).
#include "core/Errors.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

class Backend;
class QSqlQuery;
class QSqlRecord;
class TDataSet;

enum class FieldType {
    Integer,
    Float,
    String,     // varchar: as stored
    FixedChar,  // char(n): always blank-padded to its size, on every backend
    DateTime,
    Memo,  // long text (text), no size limit
    Boolean,
};

enum class FieldKind { Data, Lookup };

enum class DataSetState { Inactive, Browse, Edit, Insert };

// Options of TDataSet::Locate.
enum LocateOption { NoLocateOptions = 0, CaseInsensitive = 0x1, PartialKey = 0x2 };

class TField {
public:
    // Handler that gives the text a field shows (grids, editors, reports).
    using GetTextHandler = std::function<QString(const TField &field)>;
    // Handler that stores a text the user typed (set the value with setValue()).
    using SetTextHandler = std::function<void(TField &field, const QString &text)>;

    const QString &FieldName() const { return m_name; }
    // The column title; the field name when no label is set.
    QString DisplayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    int Size() const { return m_size; }
    FieldType DataType() const { return m_type; }
    FieldKind Kind() const { return m_kind; }
    bool isLookup() const { return m_kind == FieldKind::Lookup; }
    bool Visible() const { return m_visible; }
    bool ReadOnly() const { return m_readOnly; }
    // Width in characters a grid gives the column by default. A date has room at least for
    // the running locale's date text; undeclared, for its date and time.
    int DisplayWidth() const;
    // The grid sizes the column to the longest text it shows, at most the window's width
    // (a path whose column may hold hundreds of characters).
    bool FitToContent() const { return m_fitToContent; }
    int Index() const { return m_index; }
    TDataSet *DataSet() const { return m_dataSet; }

    // Declaration setters, chainable.
    TField &setDisplayLabel(const QString &label)
    {
        m_label = label;
        return *this;
    }
    TField &setVisible(bool visible)
    {
        m_visible = visible;
        return *this;
    }
    TField &setReadOnly(bool readOnly)
    {
        m_readOnly = readOnly;
        return *this;
    }
    TField &setDisplayWidth(int chars)
    {
        m_displayWidth = chars;
        return *this;
    }
    TField &setFitToContent(bool fit = true)
    {
        m_fitToContent = fit;
        return *this;
    }
    TField &setSize(int size)
    {
        m_size = size;
        return *this;
    }
    TField &setOnGetText(GetTextHandler h)
    {
        m_onGetText = std::move(h);
        return *this;
    }
    TField &setOnSetText(SetTextHandler h)
    {
        m_onSetText = std::move(h);
        return *this;
    }

    // Lookup declaration (see TDataSet::addLookupField).
    const QString &KeyFields() const { return m_keyFields; }
    TDataSet *LookupDataSet() const { return m_lookupDataSet; }
    const QString &LookupKeyFields() const { return m_lookupKeyFields; }
    const QString &LookupResultField() const { return m_lookupResultField; }
    // Fields of the lookup row a drop-down shows beside the result, so that rows sharing
    // a name can be told apart there (an item's series and number).
    const QStringList &LookupDetail() const { return m_lookupDetail; }
    TField &setLookupDetail(const QStringList &fields)
    {
        m_lookupDetail = fields;
        return *this;
    }

    // The value of the dataset's active record (the current one, or the row a grid or a
    // report is drawing). Integer: int; Float: double; String/FixedChar/Memo: QString;
    // DateTime: QDateTime; Boolean: bool; null: an invalid QVariant.
    QVariant value() const;
    // Stores a value in the current record; the dataset must be in Edit or Insert state.
    // Converts text to the field's type; raises TavrellError when the value does not
    // convert or a text is longer than the field's size. Setting a lookup field stores the
    // key of the lookup row whose result equals the value.
    void setValue(const QVariant &v);
    void Clear() { setValue(QVariant()); }
    bool isNull() const { return !value().isValid(); }

    // The plain text form: null is "", numbers and dates in their default text form.
    QString AsString() const;
    // What the field shows: the get-text handler's text, or AsString.
    QString DisplayText() const;
    // Stores a text the user typed, through the set-text handler when there is one.
    // An empty text stores null. Raises TavrellError for a read-only field.
    void setText(const QString &text);
    int AsInteger() const { return value().toInt(); }
    double AsFloat() const { return value().toDouble(); }
    QDateTime AsDateTime() const { return value().toDateTime(); }
    bool AsBoolean() const { return value().toBool(); }

    // The value in a given row of the dataset's storage (see TDataSet::rowIndexAt).
    QVariant valueAt(int rowIndex) const;
    // The active record's value as the database gave it, not converted to the field's type
    // (a date may still be the text the embedded database keeps). For writers of many rows
    // that keep the text of each distinct stored value; null for a lookup field.
    QVariant storedValue() const;
    // The default text of a value of this field's type.
    QString textOf(const QVariant &v) const;
    // Converts a value or a text to this field's type; raises TavrellError when it does not.
    QVariant convert(const QVariant &v) const;
    // A char(n) text without the blanks that pad it to its size.
    static QStringView unpadded(QStringView s);

private:
    friend class TDataSet;
    TField() = default;
    QVariant normalize(const QVariant &raw) const;
    QVariant lookupValueAt(int rowIndex) const;

    TDataSet *m_dataSet = nullptr;
    QString m_name, m_label;
    FieldType m_type = FieldType::String;
    FieldKind m_kind = FieldKind::Data;
    int m_size = 0;
    int m_displayWidth = 0;
    bool m_fitToContent = false;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_index = -1;
    int m_column = -1;  // storage column of a data field
    GetTextHandler m_onGetText;
    SetTextHandler m_onSetText;

    QString m_keyFields, m_lookupKeyFields, m_lookupResultField;
    QStringList m_lookupDetail;
    QPointer<TDataSet> m_lookupDataSet;
};

// Text forms of dates shared by the layer and the windows.
namespace DateText {
// The system's short date format, always with a four-digit year.
QString shortDateFormat();
// Short date, then a blank and the time (hh:mm:ss) only when it is not midnight.
QString format(const QDateTime &dt);
// The text of a sample date (21.09.2003), or of a date and time (28.12.2022 23:59:59), in the
// running locale: what a column of dates needs room for.
QString sample(bool withTime);
// Reads a date typed in the short date format, optionally followed by a time; also ISO.
// An invalid QDateTime when it does not parse.
QDateTime parse(const QString &text);
}  // namespace DateText

class TDataSet : public QObject {
    Q_OBJECT
public:
    // The connection's name, and the backend that knows its database (null: the default
    // backend when it is on the same connection, else the backend of the connection's
    // driver; see backend()).
    explicit TDataSet(QObject *parent = nullptr, const QString &connectionName = QString(), Backend *backend = nullptr);
    ~TDataSet() override;

    // ---- What the dataset reads and where it posts ----
    // A table: reads "SELECT * FROM table [ORDER BY ...]" and posts to it by its primary key.
    void setTableName(const QString &table);
    const QString &TableName() const { return m_tableName; }
    // The characters a text column of the table holds, as the database declares it (0: not
    // known): a field declared before the database was widened may hold fewer.
    int columnSize(const QString &column) const;
    // The columns a table is read in order of, separated by commas, ascending, nulls first
    // (the server sorts); empty for the order of the table's primary key.
    void setOrderBy(const QString &orderBy) { m_orderBy = orderBy; }
    // A query (or a view) with named parameters (":d0"). Read-only unless an update table
    // is set.
    void setSQL(const QString &sql);
    const QString &SQL() const { return m_sql; }
    // An expression for the statement, compared and ordered as the program's text is
    // (Backend::russianCi of the dataset's backend; as it is when none is known).
    QString russianCi(const QString &expr) const;
    // An ORDER BY term with nulls first in ascending order on every backend (Backend::orderTerm).
    static QString orderTerm(const QString &expr, bool descending = false);
    void setParam(const QString &name, const QVariant &value);
    // The table rows of a query are posted to (by that table's primary key).
    void setUpdateTable(const QString &table) { m_updateTable = table; }
    // Key columns used to post; by default the table's primary key.
    void setKeyFields(const QStringList &keys) { m_keyColumns = keys; }
    void setConnectionName(const QString &name) { m_connectionName = name; }
    const QString &ConnectionName() const { return m_connectionName; }

    // ---- Fields, declared in order before opening ----
    // Without data field declarations, opening creates one field per column read.
    TField &addField(const QString &name, FieldType type, int size = 0);
    // A lookup field: shows `resultField` of the row of `lookupDataSet` whose `lookupKey`
    // equals this dataset's `keyField`. The result may itself be a lookup field.
    TField &addLookupField(const QString &name, const QString &keyField, TDataSet *lookupDataSet,
                           const QString &lookupKey, const QString &resultField, int size = 0);
    const QList<TField *> &Fields() const { return m_fieldList; }
    int FieldCount() const { return m_fieldList.size(); }
    // Case-insensitive; FieldByName raises TavrellError "Field '%s' not found".
    TField *FindField(const QString &name) const;
    TField *FieldByName(const QString &name) const;

    // ---- Opening ----
    // Opens the datasets its lookups use, then reads all rows. Raises DbError.
    void Open();
    // Discards a pending edit or insert.
    void Close();
    bool Active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active) { active ? Open() : Close(); }
    // Reads the rows again and goes back to the current record (by key) when it is still there.
    void Requery();
    void Refresh() { Requery(); }

    // ---- Cursor ----
    void First();
    void Prior();
    void Next();
    void Last();
    void MoveBy(int distance);
    // True after Next on the last record (or Last), on an empty dataset, when closed.
    bool Eof() const;
    // True after Prior on the first record (or First, or opening), on an empty dataset.
    bool Bof() const;
    // Position of the current record among the filtered rows, from 1; 0 when empty.
    int RecNo() const { return m_cur + 1; }
    void setRecNo(int recNo);
    int RecordCount() const { return m_visible.size(); }
    bool IsEmpty() const { return m_visible.isEmpty(); }
    bool isFirst() const { return m_cur <= 0; }
    bool isLast() const { return m_cur >= m_visible.size() - 1; }

    // ---- Editing ----
    DataSetState State() const { return m_state; }
    bool isEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether rows can be inserted, changed and deleted.
    bool CanModify() const;
    // New row at the end / before the current row; runs OnNewRecord.
    void Append();
    void Insert();
    void Edit();
    // Writes the row at once; on failure raises and stays in Edit/Insert. A change is
    // refused when another user changed one of the changed columns or deleted the row since
    // it was read.
    void Post();
    void Cancel();
    // Deletes the current row in the database at once (cancels an insert); refused when
    // another user changed or deleted it since it was read.
    void Delete();
    // Posts a changed row, cancels an untouched new one (done before every move).
    void CheckBrowseMode();
    // Asks the bound controls (a grid's open cell editor, a bound edit) to store what the
    // user typed and has not yet left; done before every post and move, so that a typed
    // value always lands in the row it was typed in. Raises ShownError when a control's
    // value was refused (the refusal is already shown, the control keeps the text).
    void UpdateRecord();
    bool Modified() const { return m_modified; }

    // ---- Filter and locate ----
    // "field op literal [AND ...]" with =, <>, <, >, <=, >=; a literal is a number, a
    // 'quoted text' or a word. Raises TavrellError for an expression it cannot read.
    void setFilter(const QString &filter);
    const QString &Filter() const { return m_filter; }
    void setFiltered(bool filtered);
    bool Filtered() const { return m_filtered; }
    // Finds the first row (among the filtered ones) whose fields match; fields as one name or
    // a ";"-separated list, values one value or a QVariantList. Moves to it and returns true,
    // or returns false and stays.
    bool Locate(const QString &fields, const QVariant &values, int options = NoLocateOptions);
    // Position (from 0, among the filtered rows) Locate would move to, or -1.
    int findRow(const QString &fields, const QVariant &values, int options = NoLocateOptions) const;

    // ---- Handlers ----
    std::function<void(TDataSet &)> OnNewRecord;  // runs when insertion starts
    std::function<void(TDataSet &)> BeforePost;
    std::function<void(TDataSet &)> AfterPost;
    std::function<void(TDataSet &)> BeforeDelete;
    std::function<void(TDataSet &)> AfterScroll;

    // ---- Storage access for grids and reports ----
    // Storage row of a position among the filtered rows.
    int rowIndexAt(int position) const { return m_visible.value(position, -1); }
    int currentRowIndex() const { return m_cur >= 0 ? m_visible[m_cur] : -1; }
    // The row that field values refer to: the current one, or the one being drawn.
    int activeRowIndex() const { return m_activeOverride >= 0 ? m_activeOverride : currentRowIndex(); }
    // Makes field values refer to another row while it lives (painting a grid row).
    class ActiveRow {
    public:
        ActiveRow(const TDataSet *ds, int rowIndex) : m_ds(const_cast<TDataSet *>(ds)), m_old(ds->m_activeOverride)
        {
            m_ds->m_activeOverride = rowIndex;
        }
        ~ActiveRow() { m_ds->m_activeOverride = m_old; }

    private:
        TDataSet *m_ds;
        int m_old;
    };
    // Storage row whose field equals the value (for lookups); -1 when none.
    int findRowIndexByKey(const TField *field, const QVariant &key) const;
    // Grows with every change of the rows; lookups rebuild their index when it moves.
    quint64 generation() const { return m_generation; }
    // What differs between the databases (date formats, column types, keys) is asked of it.
    // The one given at creation, else the default one when the connection is its own,
    // else one for the connection's driver (null only without such a connection).
    Backend *backend() const;
    // The backend of datasets created without one, when their connection is its own: the
    // data layer's owner sets it while it is connected.
    static void setDefaultBackend(Backend *backend);
    // Whether the path names a file of the program's database (the default backend's, or
    // the embedded one in the program's folder, which another copy may have open).
    static bool isDatabaseFile(const QString &path);

signals:
    // Open, close, requery, filter: every row may have changed.
    void modelAboutToBeReset();
    void modelReset();
    void rowAboutToBeInserted(int position);
    void rowInserted(int position);
    void rowAboutToBeRemoved(int position);
    void rowRemoved(int position);
    void rowChanged(int position);
    // The values a lookup shows changed (its lookup dataset changed).
    void allRowsChanged();
    void currentChanged(int position);
    // Data source events: a field changed (field set) or the row, position or data (null).
    void dataChanged(TField *field);
    void stateChanged();
    // UpdateRecord: a control that holds a typed value stores it now; one whose value is
    // refused sets *stored to false.
    void updateRecord(bool *stored);

private:
    friend class TField;
    struct FilterTerm;
    void checkActive() const;
    void checkCanModify() const;
    void setState(DataSetState s);
    QSqlQuery runSelect();
    void bindFields(const QSqlRecord &rec);
    void readRows(QSqlQuery &q);
    void resolveKeyColumns();
    void rebuildVisible();
    bool rowMatchesFilter(int rowIndex) const;
    void moveTo(int position);
    void afterMove();
    void startInsert(bool append);
    void removeFromView(int rowIndex);
    void postInsert();
    bool postUpdate();
    QString whereByKey(const QVector<QVariant> &row, QVariantList &binds) const;
    // The value of a column in a row as read (or as this copy last stored it), as bound to
    // compare it with what the database holds.
    QVariant asRead(const QVector<QVariant> &row, int column) const;
    // "These columns still hold what the row held when read": null-safe and exact.
    QString unchangedSince(const QVector<QVariant> &row, const QList<int> &columns, QVariantList &binds) const;
    // Storage columns that belong to the table rows are posted to.
    QList<int> postTableColumns() const;
    static DbError changedByAnotherUser();
    // Deletes the row as `stored` holds it; raises when it is no longer so in the database.
    void deleteInDb(const QVector<QVariant> &stored);
    void execWrite(QSqlQuery &q, const QVariantList &binds, const QString &sql) const;
    void setFieldValue(TField *f, const QVariant &normalized);
    QVariant toDb(int column, const QVariant &v) const;
    QVariant storedAsNormalized(int rowIndex, int column) const;
    QString postTable() const { return m_updateTable.isEmpty() ? m_tableName : m_updateTable; }
    void lookupSourceChanged();
    void touch() { ++m_generation; }
    QVector<QVariant> keyOf(int rowIndex) const;

    QString m_connectionName;
    Backend *m_backend = nullptr;
    mutable Backend *m_connectionBackend = nullptr;  // found by the connection's driver
    static Backend *s_defaultBackend;
    QString m_tableName, m_orderBy, m_sql, m_updateTable;
    QList<QPair<QString, QVariant>> m_params;
    QStringList m_keyColumns;  // declared keys
    QList<int> m_keyStorage;   // storage columns of the keys in use
    bool m_readOnly = false;

    QList<TField *> m_fieldList;
    std::vector<std::unique_ptr<TField>> m_fields;
    QHash<QString, TField *> m_byName;  // lower-case name
    bool m_autoFields = false;          // fields made from the columns at open
    QStringList m_columnNames;          // database column name per storage column
    QVector<FieldType> m_columnTypes;   // type per storage column
    QVector<TField *> m_columnField;    // field per storage column
    // Rows keep their storage index for the dataset's whole opening: deleted rows are
    // emptied, never erased, so an index always names the same row.
    std::vector<QVector<QVariant>> m_rows;
    QVector<int> m_order;    // live rows in display order
    QVector<int> m_visible;  // the rows of m_order that pass the filter
    int m_cur = -1;          // position in m_visible
    int m_activeOverride = -1;
    bool m_eof = true, m_bof = true;

    DataSetState m_state = DataSetState::Inactive;
    int m_editRow = -1;
    bool m_modified = false;
    bool m_inNewRecord = false;
    bool m_updatingRecord = false;
    QVector<QVariant> m_backup;  // the row before Edit
    QVector<bool> m_changed;     // storage columns changed in Edit
    QString m_filter;
    bool m_filtered = false;
    std::vector<FilterTerm> m_filterTerms;
    quint64 m_generation = 0;
    mutable QHash<const TField *, QPair<quint64, QHash<QString, int>>> m_keyIndex;
    // Case-folded first four characters of a text field per storage row (locate).
    const QVector<quint64> &foldedPrefixes(const TField *field) const;
    mutable QHash<const TField *, QPair<quint64, QVector<quint64>>> m_prefixIndex;
};

// Connects a dataset to grids, navigators, editors and a window's handlers.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr, TDataSet *dataSet = nullptr);
    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet);

signals:
    // field: the field whose value changed; null when the current row, the rows, or the
    // whole data changed (open, scroll, insert, post, delete, refresh, filter).
    void dataChange(TField *field);
    void stateChange();
    // The dataset behind the source was replaced.
    void dataSetChanged();
    // Relayed from TDataSet::updateRecord.
    void updateRecord(bool *stored);

private:
    QPointer<TDataSet> m_dataSet;
    QList<QMetaObject::Connection> m_connections;
};
