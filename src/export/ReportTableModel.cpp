#include "export/ReportTableModel.h"

#include "export/ReportDocument.h"

#include <QBrush>
#include <QFont>
#include <QPalette>

ReportTableModel::ReportTableModel(std::shared_ptr<ReportTable> table, QObject *parent)
    : QAbstractTableModel(parent), m_table(std::move(table))
{
}

int ReportTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_table->rows.size());
}

int ReportTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_table->columns(); }

QVariant ReportTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole: return m_table->rows[size_t(index.row())].value(index.column());
    case Qt::FontRole:
        if (index.row() == 0 || m_table->bold) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return QVariant();
    case Qt::BackgroundRole:
        if (index.row() == 0)
            return QBrush(QPalette().color(QPalette::AlternateBase).darker(105));
        return QVariant();
    default: return QVariant();
    }
}

bool ReportTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return false;
    QStringList &row = m_table->rows[size_t(index.row())];
    while (row.size() <= index.column())
        row.append(QString());
    const QString text = value.toString();
    if (row.at(index.column()) == text)
        return true;
    row[index.column()] = text;
    m_modified = true;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    // Rows are counted as the document has them; columns by their letter, as a table editor does.
    if (orientation == Qt::Vertical)
        return section + 1;
    QString name;
    for (int n = section + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

Qt::ItemFlags ReportTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
