#pragma once
// tCSV: the writer of the system's CSV files. A file is a list of lines, one row per line,
// fields separated by ";", never quoted; every line ends with CR LF; the bytes are
// Windows-1251. The writer addresses the file cell by cell and writes it back whole, so
// an existing file keeps the rows and fields that were not written.
#include <QString>
#include <QStringList>

class tCSV {
public:
    // Binds the list to fileName and loads that file's lines when it exists. A file that
    // exists but cannot be read raises FileError.
    explicit tCSV(const QString &fileName);

    // Replaces field `column` of line `row` (both from 0) by the escaped value, appending
    // empty lines until the row exists. Other fields and lines stay as they are. A negative
    // row or column raises TavrellError and changes nothing.
    void SetCell(int row, int column, const QString &value);

    // Writes the values into cells 0, 1, 2, ... of line `row`, as SetCell would one by one;
    // a new or empty line is simply the escaped values joined by ";".
    void SetRow(int row, const QStringList &values);

    // Writes every line, followed by CR LF, to the bound file, creating or replacing it whole.
    // On failure raises FileError and leaves the file as it was.
    void Save() const;

    // Destroying the object writes nothing: what was set after the last Save is dropped.
    ~tCSV() = default;

    const QStringList &lines() const { return m_lines; }
    const QString &fileName() const { return m_fileName; }

private:
    QStringList m_lines;
    QString m_fileName;
};

// The escaping of one value: ";" becomes "<nfd>", a run of double quotes becomes one, LF is
// dropped and CR becomes "<nl>". The result never holds ";", CR or LF.
QString CSVEscape(const QString &value);

// line with field k (from 0) replaced by value; a line with too few fields is padded with
// separators first.
QString CSVSetField(const QString &line, const QString &value, int k, QChar separator);

// Scans text from position start (from 1) and returns the position of the n-th ch found;
// n of 0 or less means the first. When the end comes first, returns minus the number of
// occurrences still missing (0 when n was 0 and there was none).
int FindNthChar(const QString &text, int start, int n, QChar ch);

// n copies of ch; empty when n is 0 or less.
QString RepeatChar(QChar ch, int n);

// The lines of a CSV file's bytes: decoded from Windows-1251, ended by CR LF, a lone CR or
// a lone LF; a final line break makes no extra line and a NUL byte ends the text.
QStringList CSVSplitLines(const QByteArray &bytes);
