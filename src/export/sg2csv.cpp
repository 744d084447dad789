#include "export/sg2csv.h"

#include "core/Cp1251.h"
#include "core/Errors.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/CSVobj.h"
#include "export/GridColumns.h"
#include "export/WholeFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <charconv>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("sg2csv", text); }

FileError createError(const QString &fileName, const QString &reason)
{
    return FileError(tr("Не удается создать файл \"%1\": %2").arg(QFileInfo(fileName).absoluteFilePath(), reason));
}

// Writes the bytes as the whole new content of the file. Written beside it and moved over
// it, so a failure leaves the old file as it was (a read-only one is refused, not
// replaced); in a folder that takes no new file, an existing file is written in place.
void writeWhole(const QString &fileName, const QByteArray &bytes)
{
    const QString reason = WholeFile::write(fileName, bytes, true);
    if (!reason.isEmpty())
        throw createError(fileName, reason);
}

}  // namespace

void LostCharacters::add(const QString &file, const QString &column, qsizetype count)
{
    if (count <= 0)
        return;
    for (Entry &e : m_entries)
        if (e.file == file && e.column == column) {
            e.count += count;
            return;
        }
    m_entries.append({file, column, count});
}

void LostCharacters::addAll(const QString &file, const LostCharacters &other)
{
    for (const Entry &e : other.m_entries)
        add(file, e.column, e.count);
}

qsizetype LostCharacters::total() const
{
    qsizetype n = 0;
    for (const Entry &e : m_entries)
        n += e.count;
    return n;
}

QString LostCharacters::text() const
{
    if (m_entries.isEmpty())
        return QString();
    QString s = tr("Символов, которых нет в кодировке Windows-1251, не удалось записать: %1. "
                   "Вместо каждого из них в файле стоит знак \"?\".")
                    .arg(total());
    for (const Entry &e : m_entries)
        s += QLatin1Char('\r') + (e.file.isEmpty() ? tr("столбец %1: %2").arg(e.column).arg(e.count)
                                                   : tr("файл %1, столбец %2: %3").arg(e.file, e.column).arg(e.count));
    return s;
}

void AppendCSVLine(QByteArray &lines, const QStringList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            lines.append(';');
        Cp1251::encodeAppend(lines, values.at(i));
    }
    lines.append("\r\n", 2);
}

void AppendCSVLine(QByteArray &lines, const QStringList &values, LostCharacters &lost, const QString &file,
                   const QStringList &columns)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            lines.append(';');
        if (const qsizetype n = Cp1251::encodeAppend(lines, values.at(i)))
            lost.add(file, columns.value(i), n);
    }
    lines.append("\r\n", 2);
}

void GridToCSV(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered)
{
    const QString filter = tr("Текстовые файлы с разделителями ") + QStringLiteral("\";\" (*.csv)");
    const QString fileName = Seams::dialogs().saveFileName(
        grid ? grid->window() : nullptr, tr("Выберите файл для сохранения. ") + title, filter, QStringLiteral("csv"));
    if (fileName.isEmpty())
        return;

    const QList<GridColumn> columns = gridColumns(*grid, Numbered);
    const QStringList captions = gridCaptions(columns);
    QByteArray lines;
    lines.reserve(qsizetype(dataSet->RecordCount() + 1) * 16 * columns.size());
    int count = 1;
    LostCharacters lost;
    AppendCSVLine(lines, captions, lost, QString(), captions);
    walkGridRecords(*dataSet, columns, [&](const QStringList &values) {
        AppendCSVLine(lines, values, lost, QString(), captions);
        ++count;
    });

    writeWhole(fileName, lines);
    QString done = tr("Экспорт завершен\rФайл ") + fileName + tr("\rВсего строк ") + QString::number(count);
    if (!lost.isEmpty())
        done += QLatin1Char('\r') + lost.text();
    InfoBox(done);
}

namespace {

// Every field in its column, by field index.
QList<TField *> fieldsByIndex(const TDataSet &dataSet)
{
    QList<TField *> fields = dataSet.Fields();
    std::stable_sort(fields.begin(), fields.end(),
                     [](const TField *a, const TField *b) { return a->Index() < b->Index(); });
    return fields;
}

// The records from the current one on, each made active in turn (read in place, as the
// grid walk does); the cursor ends past the last record.
template <typename Row> void walkOn(TDataSet &dataSet, Row row)
{
    const int count = dataSet.RecordCount();
    const int first = dataSet.Eof() ? count : dataSet.RecNo() - 1;
    for (int position = first, n = 0; position < count; ++position, ++n) {
        TDataSet::ActiveRow active(&dataSet, dataSet.rowIndexAt(position));
        row(n);
    }
    if (first < count) {
        dataSet.Last();
        dataSet.Next();
    }
}

void checkActive(TDataSet *dataSet)
{
    if (!dataSet->Active())
        throw TavrellError(tr("Cannot perform this operation on a closed dataset"));
    dataSet->CheckBrowseMode();  // a row being edited is written as posted
}

}  // namespace

LostCharacters AppendDataSetCSV(QByteArray &bytes, TDataSet *dataSet, const PlainText &plain)
{
    checkActive(dataSet);
    const QList<TField *> fields = fieldsByIndex(*dataSet);
    const int columns = fields.isEmpty() ? 0 : fields.last()->Index() + 1;
    LostCharacters lost;
    bytes.reserve(bytes.size() + qsizetype(dataSet->RecordCount()) * (columns * 8 + 2));
    walkOn(*dataSet, [&](int) {
        int column = 0;
        for (const TField *f : fields) {
            for (; column < f->Index(); ++column)
                if (column > 0)
                    bytes.append(';');
            if (column > 0)
                bytes.append(';');
            if (int whole; plain.wholeNumber(*f, whole)) {
                // Its digits straight into the line: the same text, without making it first.
                char digits[16];
                const auto end = std::to_chars(digits, digits + sizeof digits, whole).ptr;
                bytes.append(digits, end - digits);
            } else if (const qsizetype n = Cp1251::encodeAppend(bytes, CSVEscape(plain(*f)))) {
                lost.add(QString(), f->FieldName(), n);
            }
            column = f->Index() + 1;
        }
        bytes.append("\r\n", 2);
    });
    return lost;
}

LostCharacters DataSetToCSV(const QString &fileName, TDataSet *dataSet)
{
    checkActive(dataSet);
    tCSV csv(fileName);
    const PlainText plain;
    if (csv.lines().isEmpty()) {
        // A new file: the lines encoded as they are made, written whole.
        QByteArray bytes;
        const LostCharacters lost = AppendDataSetCSV(bytes, dataSet, plain);
        writeWhole(fileName, bytes);
        return lost;
    }
    // An existing file keeps what is not written over: cell by cell through the writer.
    const QList<TField *> fields = fieldsByIndex(*dataSet);
    const int columns = fields.isEmpty() ? 0 : fields.last()->Index() + 1;
    LostCharacters lost;
    QStringList values;
    walkOn(*dataSet, [&](int row) {
        values = QStringList(columns, QString());
        for (const TField *f : fields) {
            values[f->Index()] = plain(*f);
            lost.add(QString(), f->FieldName(), Cp1251::unencodable(CSVEscape(values.at(f->Index()))));
        }
        csv.SetRow(row, values);
    });
    csv.Save();
    return lost;
}
