#pragma once
// Export of a dataset to the system's CSV format (";" between fields, CR LF after every
// line, Windows-1251).
#include <QByteArray>
#include <QString>
#include <QStringList>

class TDBGrid;
class TDataSet;

// What a list window shows, to a file the user chooses: a header line of the grid's
// captions (with "№ п.п." first when Numbered), then one line per record with the values
// as they are (no escaping). The file is created or replaced whole once every record has
// been read; then the user is told the file and the number of lines. A cancelled dialog
// does nothing. Raises FileError naming the file when it cannot be written.
void GridToCSV(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered);

// Every field of every record from the current one on, by field index, into fileName
// through tCSV (an existing file is updated in place). No dialog, header or message.
void DataSetToCSV(const QString &fileName, TDataSet *dataSet);

// Appends the values joined by ";" and a CR LF, in Windows-1251, to the export's buffer.
void AppendCSVLine(QByteArray &lines, const QStringList &values);
