#pragma once
// A report table shown and edited in a table view: every row of the table, the header row
// first (in bold); an edit goes straight into the report model.
#include <QAbstractTableModel>
#include <memory>

struct ReportTable;

class ReportTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ReportTableModel(std::shared_ptr<ReportTable> table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

private:
    std::shared_ptr<ReportTable> m_table;
    bool m_modified = false;
};
