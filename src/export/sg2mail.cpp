#include "export/sg2mail.h"

#include "core/Errors.h"
#include "core/MsgBox.h"
#include "export/GridColumns.h"
#include "export/MailSender.h"
#include "export/TempFiles.h"
#include "export/WholeFile.h"
#include "export/sg2csv.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("sg2mail", text); }

// A file name made of the title: what a file system refuses becomes "_".
QString fileNameOf(const QString &title)
{
    QString name = title.trimmed();
    for (QChar &c : name)
        if (c < QChar(0x20) || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("список"));
    return name.left(100) + QStringLiteral(".csv");
}

}  // namespace

bool SendMail(const QString &subject, const QString &body, const QStringList &attachments)
{
    bool sent = false;
    try {
        sent = MailSender::current().send(subject, body, attachments);
    } catch (...) {
        sent = false;  // any failure of the client is the one message below
    }
    if (!sent)
        ErrorBox(tr("Не вышло"));
    return sent;
}

void AppendMailLine(QString &body, const QStringList &values)
{
    body += values.join(QLatin1Char('\t'));
    body += QLatin1String("\r\n");
}

bool GridToMail(const QString &title, TDBGrid *grid, TDataSet *dataSet, bool Numbered)
{
    const QList<GridColumn> columns = gridColumns(*grid, Numbered);
    QString body;
    QList<QStringList> rows;
    const QStringList captions = gridCaptions(columns);
    AppendMailLine(body, captions);
    walkGridRecords(*dataSet, columns, [&](const QStringList &values) {
        AppendMailLine(body, values);
        rows.append(values);
    });
    if (MailSender::current().fits(title, body))
        return SendMail(title, body);

    // Too long to hand over as the body: the same table as a CSV file that the message
    // carries, which the mail client attaches.
    QByteArray csv;
    LostCharacters lost;
    const QString name = fileNameOf(title);
    AppendCSVLine(csv, captions, lost, name, captions);
    for (const QStringList &r : std::as_const(rows))
        AppendCSVLine(csv, r, lost, name, captions);
    const QString path = QDir(TempFiles::makeMailFolder()).filePath(name);
    const QString reason = WholeFile::write(path, csv, false);
    if (!reason.isEmpty())
        throw FileError(tr("Не удается создать файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
    // The letter's text keeps every character, the file only those of its code page.
    if (!lost.isEmpty())
        InfoBox(tr("Список приложен к письму файлом %1.").arg(name) + QLatin1Char('\r') + lost.text());
    const QString shortBody = tr("Список слишком длинный для текста письма, он в приложенном файле %1 (строк: %2).")
                                  .arg(QDir(path).dirName())
                                  .arg(rows.size()) +
                              QStringLiteral("\r\n");
    return SendMail(title, shortBody, {path});
}
