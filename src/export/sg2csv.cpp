#include "export/sg2csv.h"

#include "core/Errors.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "core/Cp1251.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/CSVobj.h"
#include "export/GridColumns.h"
#include "export/WholeFile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("sg2csv", text); }

FileError createError(const QString &fileName, const QString &reason)
{
    return FileError(tr("Не удается создать файл \"%1\": %2")
                         .arg(QFileInfo(fileName).absoluteFilePath(), reason));
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

void AppendCSVLine(QByteArray &lines, const QStringList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            lines.append(';');
        Cp1251::encodeAppend(lines, values.at(i));
    }
    lines.append("\r\n", 2);
}

void GridToCSV(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered)
{
    const QString filter = tr("Текстовые файлы с разделителями ") + QStringLiteral("\";\" (*.csv)");
    const QString fileName = Seams::dialogs().saveFileName(grid ? grid->window() : nullptr,
                                                           tr("Выберите файл для сохранения. ") + title,
                                                           filter, QStringLiteral("csv"));
    if (fileName.isEmpty())
        return;

    const QList<GridColumn> columns = gridColumns(*grid, Numbered);
    QByteArray lines;
    lines.reserve(qsizetype(dataSet->RecordCount() + 1) * 16 * columns.size());
    int count = 1;
    AppendCSVLine(lines, gridCaptions(columns));
    walkGridRecords(*dataSet, columns, [&](const QStringList &values) {
        AppendCSVLine(lines, values);
        ++count;
    });

    writeWhole(fileName, lines);
    InfoBox(tr("Экспорт завершен\rФайл ") + fileName + tr("\rВсего строк ") + QString::number(count));
}

void DataSetToCSV(const QString &fileName, TDataSet *dataSet)
{
    if (!dataSet->Active())
        throw TavrellError(tr("Cannot perform this operation on a closed dataset"));
    tCSV csv(fileName);
    dataSet->CheckBrowseMode();  // a row being edited is written as posted
    // Every field in its column, by field index.
    QList<TField *> fields = dataSet->Fields();
    std::stable_sort(fields.begin(), fields.end(), [](const TField *a, const TField *b) { return a->Index() < b->Index(); });
    const int columns = fields.isEmpty() ? 0 : fields.last()->Index() + 1;
    const PlainText plain;
    const int count = dataSet->RecordCount();
    const int first = dataSet->Eof() ? count : dataSet->RecNo() - 1;
    // Read in place, as the grid walk does; the cursor ends past the last record.
    auto finish = [&] {
        if (first < count) {
            dataSet->Last();
            dataSet->Next();
        }
    };

    if (!csv.lines().isEmpty()) {
        // An existing file keeps what is not written over: cell by cell through the writer.
        QStringList values;
        for (int position = first, row = 0; position < count; ++position, ++row) {
            TDataSet::ActiveRow active(dataSet, dataSet->rowIndexAt(position));
            values = QStringList(columns, QString());
            for (const TField *f : std::as_const(fields))
                values[f->Index()] = plain(*f);
            csv.SetRow(row, values);
        }
        finish();
        csv.Save();
        return;
    }

    // A new file (what the archive writes): the same lines, encoded as they are made.
    QByteArray bytes;
    bytes.reserve(qsizetype(count - first) * (columns * 8 + 2));
    for (int position = first; position < count; ++position) {
        TDataSet::ActiveRow active(dataSet, dataSet->rowIndexAt(position));
        int column = 0;
        for (const TField *f : std::as_const(fields)) {
            for (; column < f->Index(); ++column)
                if (column > 0)
                    bytes.append(';');
            if (column > 0)
                bytes.append(';');
            Cp1251::encodeAppend(bytes, CSVEscape(plain(*f)));
            column = f->Index() + 1;
        }
        bytes.append("\r\n", 2);
    }
    finish();
    writeWhole(fileName, bytes);
}
