#pragma once
// What a list window (the toolbar's template) shows, read as the user sees it: the tool bar's
// controls in order, the grid's column titles and the display texts of its rows.
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "lists/klfrm.h"

#include <QAbstractItemModel>
#include <QLayout>
#include <QStringList>

class ListWindowProbe {
public:
    explicit ListWindowProbe(const TFrmKl &w) : m_w(w) {}

    // The objectNames of the tool bar's controls, left to right.
    QStringList barOrder() const
    {
        QStringList names;
        QLayout *bar = m_w.Panel1->layout();
        for (int i = 0; i < bar->count(); ++i)
            if (QWidget *w = bar->itemAt(i)->widget())
                names << w->objectName();
        return names;
    }
    QStringList titles() const
    {
        QStringList out;
        for (int c = 0; c < model()->columnCount(); ++c)
            out << model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    // The texts of a row's cells, column by column.
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < model()->columnCount(); ++c)
            cells << model()->index(r, c).data().toString();
        return cells;
    }
    // Every row, its cells joined by '|'.
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r)
            out << row(r).join(QLatin1Char('|'));
        return out;
    }
    // The texts of one column, row by row.
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r)
            out << model()->index(r, c).data().toString();
        return out;
    }
    // The grid row of the list's current record.
    int currentRow() const { return m_w.DsLoc->DataSet()->RecNo() - 1; }
    // Types a value into a cell of the current row, as the grid's editor stores it.
    bool setCell(int column, const QString &text) const
    {
        return model()->setData(model()->index(currentRow(), column), text);
    }

private:
    QAbstractItemModel *model() const { return m_w.grid->model(); }
    const TFrmKl &m_w;
};
