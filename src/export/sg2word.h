#pragma once
// Grid reports through the report wrapper: a grid as a table, a field as a labelled line.
class QString;
class TDBGrid;
class TDataSet;
class TField;
class TMSWord;

// The grid's columns and its dataset's records as a table at the insertion point: a header
// row of captions (with "№ п.п." 50 points wide first when Numbered; other widths are the
// columns' pixels / 1.25), then one row per record. Leaves the dataset at its end.
void GridToWord(TDBGrid *grid, TDataSet *dataSet, TMSWord &word, bool Numbered);

// The field's label, " : " and its display text in one insert; then a paragraph end when
// lineBreak.
void FieldToWord(TMSWord &word, const TField *field, bool lineBreak);
