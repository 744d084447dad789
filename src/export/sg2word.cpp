#include "export/sg2word.h"

#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/GridColumns.h"
#include "export/MSWord.h"

#include <QtMath>

namespace {

// Points from the pixels shown (96 per inch against 72 points per inch).
int widthPoints(int pixels) { return qRound(pixels / 1.25); }

const int NumberingWidth = 50;

}  // namespace

void GridToWord(TDBGrid *grid, TDataSet *dataSet, TMSWord &word, bool Numbered)
{
    const QList<GridColumn> columns = gridColumns(*grid, Numbered);
    QList<int> widths;
    widths.reserve(columns.size());
    for (const GridColumn &c : columns)
        widths.append(c.numbering ? NumberingWidth : widthPoints(c.widthPixels));

    word.InsertTable(int(columns.size()), 16);
    word.FillHeader(widths, gridCaptions(columns));
    walkGridRecords(*dataSet, columns, [&](const QStringList &values) { word.AddRow(values); });
    word.CloseTable();
}

void FieldToWord(TMSWord &word, const TField *field, bool lineBreak)
{
    word.Insert(field->DisplayLabel() + QStringLiteral(" : ") + field->DisplayText());
    if (lineBreak)
        word.Insert(QStringLiteral("\r"));
}
