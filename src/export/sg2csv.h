#pragma once
// Export of a dataset to the system's CSV format (";" between fields, CR LF after every
// line, Windows-1251).
#include <QByteArray>
#include <QString>
#include <QStringList>

class PlainText;
class TDBGrid;
class TDataSet;

// The characters a writer could not put into Windows-1251 (each written as one "?"), by
// file and column in the order met, so that the user learns what a file lacks.
class LostCharacters {
public:
    void add(const QString &file, const QString &column, qsizetype count);
    // Everything of other, under the file name given.
    void addAll(const QString &file, const LostCharacters &other);
    qsizetype total() const;
    bool isEmpty() const { return m_entries.isEmpty(); }
    // For the user: how many characters, in which files and columns. Empty when none.
    QString text() const;

private:
    struct Entry {
        QString file, column;
        qsizetype count;
    };
    QList<Entry> m_entries;
};

// What a list window shows, to a file the user chooses: a header line of the grid's
// captions (with "№ п.п." first when Numbered), then one line per record with the values
// as they are (no escaping). The file is created or replaced whole once every record has
// been read; then the user is told the file, the number of lines and the characters
// Windows-1251 could not hold. A cancelled dialog does nothing. Raises FileError naming
// the file when it cannot be written.
void GridToCSV(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered);

// Every field of every record from the current one on, by field index, into fileName
// through tCSV (an existing file is updated in place). No dialog, header or message:
// returns the characters written as "?", by field name (the file name left empty).
LostCharacters DataSetToCSV(const QString &fileName, TDataSet *dataSet);

// The lines DataSetToCSV writes into a new file, appended to `bytes`: every field of every
// record from the current one on. A writer of one file in several parts passes the same
// `plain` to each, so that a date met again is not converted again.
LostCharacters AppendDataSetCSV(QByteArray &bytes, TDataSet *dataSet, const PlainText &plain);

// Appends the values joined by ";" and a CR LF, in Windows-1251, to the export's buffer;
// with `lost`, counts there what the code page lacks, under file and the column's name.
void AppendCSVLine(QByteArray &lines, const QStringList &values);
void AppendCSVLine(QByteArray &lines, const QStringList &values, LostCharacters &lost, const QString &file,
                   const QStringList &columns);
