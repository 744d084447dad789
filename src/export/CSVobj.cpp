#include "export/CSVobj.h"

#include "core/Cp1251.h"
#include "core/Errors.h"
#include "export/WholeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

const QChar Separator = QLatin1Char(';');

// Field k of line replaced in place (the work of CSVSetField); SetCell calls it once per
// cell, so the usual append of the next column must not copy the line.
void setFieldInPlace(QString &line, const QString &value, int k, QChar separator)
{
    if (k <= 0) {
        const int first = line.indexOf(separator);
        line.replace(0, first < 0 ? line.size() : first, value);
        return;
    }
    const int p = FindNthChar(line, 1, k, separator);
    if (p <= 0) {
        line.append(RepeatChar(separator, -p)).append(value);
        return;
    }
    const int q = FindNthChar(line, p + 1, 0, separator);
    line.replace(p, (q > 0 ? q - 1 : line.size()) - p, value);
}

QString absoluteName(const QString &fileName)
{
    return fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath();
}

FileError openError(const QString &fileName, const QString &reason)
{
    return FileError(
        QCoreApplication::translate("tCSV", "Не удается открыть файл \"%1\": %2").arg(absoluteName(fileName), reason));
}

FileError createError(const QString &fileName, const QString &reason)
{
    return FileError(
        QCoreApplication::translate("tCSV", "Не удается создать файл \"%1\": %2").arg(absoluteName(fileName), reason));
}

}  // namespace

tCSV::tCSV(const QString &fileName) : m_fileName(fileName)
{
    QFile f(m_fileName);
    if (m_fileName.isEmpty() || !f.exists())
        return;
    if (!f.open(QIODevice::ReadOnly))
        throw openError(m_fileName, f.errorString());
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw openError(m_fileName, f.errorString());
    m_lines = CSVSplitLines(bytes);
}

void tCSV::SetCell(int row, int column, const QString &value)
{
    // The callers count from 0; a negative cell would address no line at all.
    if (row < 0 || column < 0)
        throw TavrellError(
            QCoreApplication::translate("tCSV", "Неверная ячейка CSV: строка %1, столбец %2").arg(row).arg(column));
    while (m_lines.size() < row + 1)
        m_lines.append(QString());
    setFieldInPlace(m_lines[row], CSVEscape(value), column, Separator);
}

void tCSV::SetRow(int row, const QStringList &values)
{
    if (row < 0)
        throw TavrellError(
            QCoreApplication::translate("tCSV", "Неверная ячейка CSV: строка %1, столбец %2").arg(row).arg(0));
    while (m_lines.size() < row + 1)
        m_lines.append(QString());
    QString &line = m_lines[row];
    if (!line.isEmpty()) {
        for (int c = 0; c < values.size(); ++c)
            setFieldInPlace(line, CSVEscape(values.at(c)), c, Separator);
        return;
    }
    for (int c = 0; c < values.size(); ++c) {
        if (c > 0)
            line.append(Separator);
        line.append(CSVEscape(values.at(c)));
    }
}

void tCSV::Save() const
{
    QByteArray out;
    qsizetype size = 0;
    for (const QString &line : m_lines)
        size += line.size() + 2;
    out.reserve(size);
    for (const QString &line : m_lines) {
        Cp1251::encodeAppend(out, line);
        out.append("\r\n", 2);
    }
    // Written beside the file and moved over it, so a failure leaves the old file whole; in
    // a folder that takes no new file, an existing file is written in place.
    const QString reason = WholeFile::write(m_fileName, out, true);
    if (!reason.isEmpty())
        throw createError(m_fileName, reason);
}

QString CSVEscape(const QString &value)
{
    bool plain = true;
    for (const QChar c : value)
        if (c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            plain = false;
            break;
        }
    if (plain)
        return value;
    QString s = value;
    s.replace(QLatin1Char(';'), QLatin1String("<nfd>"));
    // Any run of double quotes ends as a single one; a single one stays.
    const QChar quote = QLatin1Char('"');
    if (s.contains(QLatin1String("\"\""))) {
        QString collapsed;
        collapsed.reserve(s.size());
        for (int i = 0; i < s.size(); ++i)
            if (s.at(i) != quote || i == 0 || s.at(i - 1) != quote)
                collapsed.append(s.at(i));
        s = collapsed;
    }
    s.remove(QLatin1Char('\n'));
    s.replace(QLatin1Char('\r'), QLatin1String("<nl>"));
    return s;
}

int FindNthChar(const QString &text, int start, int n, QChar ch)
{
    for (int i = qMax(start, 1); i <= text.size(); ++i) {
        if (text.at(i - 1) == ch) {
            --n;
            if (n <= 0)
                return i;
        }
    }
    return -n;
}

QString RepeatChar(QChar ch, int n) { return n <= 0 ? QString() : QString(n, ch); }

QString CSVSetField(const QString &line, const QString &value, int k, QChar separator)
{
    QString out = line;
    setFieldInPlace(out, value, k, separator);
    return out;
}

QStringList CSVSplitLines(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const qsizetype n = nul < 0 ? bytes.size() : nul;
    const char *data = bytes.constData();
    QStringList lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(Cp1251::decode(QByteArrayView(data + begin, i - begin)));
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    if (begin < n)
        lines.append(Cp1251::decode(QByteArrayView(data + begin, n - begin)));
    return lines;
}
