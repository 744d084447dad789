#pragma once
// What the grid reports, the mail and the export share: the columns of a grid as they
// are written (an optional numbering column first), and the walk over the grid's records.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TDBGrid;
class TDataSet;

struct GridColumn {
    QString caption;
    QString fieldName;  // empty for the numbering column
    int widthPixels = 0;  // 0 for the numbering column, which is not on screen
    bool numbering = false;
};

// The numbering column "№ п.п." when numbered, then every grid column in grid order with
// its title as shown, its field name and its width on screen.
QList<GridColumn> gridColumns(const TDBGrid &grid, bool numbered);

// Walks the dataset from its first record to its end and hands over each record's values
// for the columns: the running number (from 1) for the numbering column, the field's plain
// text (null is "") for the others. A column whose field is missing raises the dataset's
// "Field '%s' not found" at the first record. The dataset is left at its end, standing on
// its last record, as a walk with Next leaves it.
void walkGridRecords(TDataSet &dataSet, const QList<GridColumn> &columns,
                     const std::function<void(const QStringList &values)> &row);

// The captions of the columns, in order.
QStringList gridCaptions(const QList<GridColumn> &columns);
