// The dataset's own state: what it reads, opening and closing, the cursor, and editing.
// Its other jobs live beside it: TDataSetFields.cpp, TDataSetSql.cpp, TDataSetFind.cpp,
// DateText.cpp.
#include "db/TDataSetParts.h"

#include "storage/Backend.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

using DataSetParts::tr;

TDataSet::TDataSet(QObject *parent, const QString &connectionName, Backend *backend)
    : QObject(parent),
      m_connectionName(connectionName.isEmpty() ? QString::fromLatin1(Backend::MainConnection) : connectionName),
      m_backend(backend)
{
}

TDataSet::~TDataSet() = default;

Backend *TDataSet::backend() const
{
    if (m_backend)
        return m_backend;
    if (s_defaultBackend && s_defaultBackend->connectionName() == m_connectionName)
        return s_defaultBackend;
    // A connection of its own: the backend of its driver, so that values convert as they
    // would through the default one.
    if (!m_connectionBackend)
        m_connectionBackend = Backend::forConnection(m_connectionName);
    return m_connectionBackend;
}

Backend *TDataSet::s_defaultBackend = nullptr;

void TDataSet::setDefaultBackend(Backend *backend) { s_defaultBackend = backend; }

int TDataSet::columnSize(const QString &column) const
{
    const Backend *b = backend();
    return b ? b->columnSize(postTable(), column) : 0;
}

bool TDataSet::isDatabaseFile(const QString &path)
{
    // The embedded file is kept whatever this copy works on: a copy started on "(local)"
    // from the same folder has its data there.
    return (s_defaultBackend && s_defaultBackend->isDatabaseFile(path)) || Backend::isEmbeddedDatabaseFile(path);
}

QString TDataSet::russianCi(const QString &expr) const
{
    const Backend *b = backend();
    return b ? b->russianCi(expr) : expr;
}

void TDataSet::setTableName(const QString &table)
{
    m_tableName = table;
    m_sql.clear();
}

void TDataSet::setSQL(const QString &sql)
{
    m_sql = sql;
    m_tableName.clear();
}

void TDataSet::setParam(const QString &name, const QVariant &value)
{
    const QString n = name.startsWith(QLatin1Char(':')) ? name : QLatin1Char(':') + name;
    for (auto &p : m_params)
        if (p.first == n) {
            p.second = value;
            return;
        }
    m_params.append({n, value});
}

void TDataSet::checkActive() const
{
    if (!Active())
        throw TavrellError(tr("Cannot perform this operation on a closed dataset"));
}

void TDataSet::checkCanModify() const
{
    checkActive();
    if (!CanModify())
        throw TavrellError(tr("Cannot modify a read-only dataset"));
}

bool TDataSet::CanModify() const { return Active() && !m_readOnly && !postTable().isEmpty(); }

void TDataSet::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    if (readOnly && isEditing())
        Cancel();
    m_readOnly = readOnly;
    if (Active())
        emit stateChanged();
}

void TDataSet::setState(DataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

void TDataSet::Open()
{
    if (Active())
        return;
    // The connection may have been made again since, on another driver.
    m_connectionBackend = nullptr;
    for (TField *f : m_fieldList)
        if (f->m_kind == FieldKind::Lookup && f->m_lookupDataSet && f->m_lookupDataSet != this)
            f->m_lookupDataSet->Open();
    QSqlQuery q = runSelect();
    bindFields(q.record());
    emit modelAboutToBeReset();
    readRows(q);
    q.clear();
    // Only now: a server may keep one result at a time on the connection.
    try {
        resolveKeyColumns();
    } catch (...) {
        m_rows.clear();
        emit modelReset();
        throw;
    }
    m_order.resize(int(m_rows.size()));
    for (int i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    m_state = DataSetState::Browse;
    m_modified = false;
    m_editRow = -1;
    touch();
    try {
        rebuildVisible();
    } catch (...) {
        m_state = DataSetState::Inactive;
        m_rows.clear();
        m_order.clear();
        m_visible.clear();
        emit modelReset();
        throw;
    }
    m_cur = m_visible.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.isEmpty();
    emit modelReset();
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    emit modelAboutToBeReset();
    m_rows.clear();
    m_order.clear();
    m_visible.clear();
    m_backup.clear();
    m_cur = -1;
    m_editRow = -1;
    m_modified = false;
    m_eof = m_bof = true;
    m_state = DataSetState::Inactive;
    touch();
    emit modelReset();
    emit stateChanged();
    emit currentChanged(-1);
    emit dataChanged(nullptr);
}

QVector<QVariant> TDataSet::keyOf(int rowIndex) const
{
    QVector<QVariant> k;
    if (rowIndex < 0)
        return k;
    for (int c : m_keyStorage)
        k.append(storedAsNormalized(rowIndex, c));
    return k;
}

void TDataSet::Requery()
{
    checkActive();
    CheckBrowseMode();
    const QVector<QVariant> key = keyOf(currentRowIndex());
    const int oldPos = m_cur;
    QSqlQuery q = runSelect();
    emit modelAboutToBeReset();
    try {
        readRows(q);
    } catch (...) {
        emit modelReset();
        throw;
    }
    q.clear();
    m_order.resize(int(m_rows.size()));
    for (int i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    touch();
    rebuildVisible();
    m_cur = -1;
    if (!key.isEmpty())
        for (int p = 0; p < m_visible.size(); ++p)
            if (keyOf(m_visible[p]) == key) {
                m_cur = p;
                break;
            }
    if (m_cur < 0 && !m_visible.isEmpty())
        m_cur = std::clamp(oldPos, 0, int(m_visible.size()) - 1);
    m_bof = m_cur <= 0;
    m_eof = m_visible.isEmpty();
    emit modelReset();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

// ---- Cursor -------------------------------------------------------------------------------

bool TDataSet::Eof() const { return !Active() || m_visible.isEmpty() || m_eof; }
bool TDataSet::Bof() const { return !Active() || m_visible.isEmpty() || m_bof; }

void TDataSet::afterMove()
{
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
    if (AfterScroll)
        AfterScroll(*this);
}

void TDataSet::moveTo(int position)
{
    checkActive();
    const int target = m_visible.value(position, -1);
    CheckBrowseMode();
    if (m_visible.isEmpty())
        return;
    // Posting the row being left may have moved rows; look the target up only then.
    int pos = -1;
    if (target >= 0)
        pos = m_visible.value(position, -1) == target ? position : int(m_visible.indexOf(target));
    if (pos < 0)
        pos = std::clamp(position, 0, int(m_visible.size()) - 1);
    if (pos == m_cur)
        return;
    m_cur = pos;
    afterMove();
}

void TDataSet::First()
{
    moveTo(0);
    m_bof = true;
    m_eof = m_visible.isEmpty();
}

void TDataSet::Last()
{
    moveTo(int(m_visible.size()) - 1);
    m_eof = true;
    m_bof = m_visible.isEmpty();
}

void TDataSet::Next()
{
    checkActive();
    CheckBrowseMode();
    if (m_cur < m_visible.size() - 1) {
        moveTo(m_cur + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    checkActive();
    CheckBrowseMode();
    if (m_cur > 0) {
        moveTo(m_cur - 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

void TDataSet::MoveBy(int distance)
{
    checkActive();
    if (m_visible.isEmpty())
        return;
    const int target = m_cur + distance;
    moveTo(std::clamp(target, 0, int(m_visible.size()) - 1));
    m_eof = target >= m_visible.size();
    m_bof = target < 0;
}

void TDataSet::setRecNo(int recNo)
{
    checkActive();
    if (m_visible.isEmpty())
        return;
    moveTo(std::clamp(recNo - 1, 0, int(m_visible.size()) - 1));
    m_bof = m_eof = false;
}

// ---- Editing ------------------------------------------------------------------------------

void TDataSet::startInsert(bool append)
{
    checkCanModify();
    CheckBrowseMode();
    const int ncols = m_columnNames.size();
    const int rowIndex = int(m_rows.size());
    m_rows.push_back(QVector<QVariant>(ncols));
    const int pos = append || m_cur < 0 ? int(m_visible.size()) : m_cur;
    const int orderPos = append || m_cur < 0 ? int(m_order.size()) : int(m_order.indexOf(m_visible[m_cur]));

    // The new-record handler fills the row before anybody sees it; its error cancels the
    // insertion.
    m_state = DataSetState::Insert;
    m_editRow = rowIndex;
    m_changed = QVector<bool>(ncols, true);
    m_inNewRecord = true;
    try {
        ActiveRow active(this, rowIndex);
        if (OnNewRecord)
            OnNewRecord(*this);
    } catch (...) {
        m_inNewRecord = false;
        m_state = DataSetState::Browse;
        m_editRow = -1;
        m_rows.pop_back();
        throw;
    }
    m_inNewRecord = false;
    m_modified = false;
    touch();
    emit rowAboutToBeInserted(pos);
    m_order.insert(orderPos, rowIndex);
    m_visible.insert(pos, rowIndex);
    m_cur = pos;
    m_bof = m_eof = false;
    emit rowInserted(pos);
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::Append() { startInsert(true); }
void TDataSet::Insert() { startInsert(false); }

void TDataSet::Edit()
{
    checkActive();
    if (isEditing())
        return;
    checkCanModify();
    if (m_visible.isEmpty()) {
        Append();
        return;
    }
    m_editRow = currentRowIndex();
    m_backup = m_rows[m_editRow];
    m_changed = QVector<bool>(m_columnNames.size(), false);
    m_modified = false;
    setState(DataSetState::Edit);
}

void TDataSet::UpdateRecord()
{
    if (m_updatingRecord || !Active())
        return;
    bool stored = true;
    m_updatingRecord = true;
    emit updateRecord(&stored);
    m_updatingRecord = false;
    if (!stored)
        throw ShownError();
}

void TDataSet::Post()
{
    checkActive();
    UpdateRecord();
    if (!isEditing())
        return;
    if (BeforePost)
        BeforePost(*this);
    if (m_state == DataSetState::Insert)
        postInsert();
    else
        postUpdate();
    m_modified = false;
    m_editRow = -1;
    m_backup.clear();
    touch();
    setState(DataSetState::Browse);
    emit rowChanged(m_cur);
    emit dataChanged(nullptr);
    if (AfterPost)
        AfterPost(*this);
}

void TDataSet::removeFromView(int rowIndex)
{
    const int pos = int(m_visible.indexOf(rowIndex));
    if (pos >= 0) {
        emit rowAboutToBeRemoved(pos);
        m_visible.remove(pos);
        m_order.removeOne(rowIndex);
        m_rows[rowIndex].clear();
        emit rowRemoved(pos);
        if (m_cur >= m_visible.size())
            m_cur = int(m_visible.size()) - 1;
    } else {
        m_order.removeOne(rowIndex);
        m_rows[rowIndex].clear();
    }
    touch();
}

void TDataSet::Cancel()
{
    if (!isEditing())
        return;
    const int row = m_editRow;
    const bool inserting = m_state == DataSetState::Insert;
    // Browse before anybody hears of the change: listeners may move the cursor.
    m_state = DataSetState::Browse;
    m_editRow = -1;
    m_modified = false;
    if (inserting) {
        removeFromView(row);
    } else {
        m_rows[row] = m_backup;
        touch();
        emit rowChanged(m_cur);
    }
    m_backup.clear();
    emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

void TDataSet::CheckBrowseMode()
{
    UpdateRecord();
    if (!isEditing())
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

void TDataSet::Delete()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    checkCanModify();
    if (m_visible.isEmpty())
        throw TavrellError(tr("Cannot perform this operation on an empty dataset"));
    if (BeforeDelete)
        BeforeDelete(*this);
    const int row = currentRowIndex();
    // A row being edited is deleted by the key it was read with, and only as it was read:
    // the user confirmed deleting the row he saw (the cascade takes its repairs along).
    deleteInDb(m_state == DataSetState::Edit ? m_backup : m_rows[row]);
    const bool wasEditing = isEditing();
    m_state = DataSetState::Browse;
    m_editRow = -1;
    m_backup.clear();
    m_modified = false;
    removeFromView(row);
    m_eof = m_visible.isEmpty();
    m_bof = m_visible.isEmpty();
    if (wasEditing)
        emit stateChanged();
    emit currentChanged(m_cur);
    emit dataChanged(nullptr);
}

// ---------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(QObject *parent, TDataSet *dataSet) : QObject(parent) { setDataSet(dataSet); }

void TDataSource::setDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataSet = dataSet;
    if (dataSet) {
        m_connections.append(connect(dataSet, &TDataSet::dataChanged, this, &TDataSource::dataChange));
        m_connections.append(connect(dataSet, &TDataSet::stateChanged, this, &TDataSource::stateChange));
        m_connections.append(connect(dataSet, &TDataSet::updateRecord, this, &TDataSource::updateRecord));
    }
    emit dataSetChanged();
}
