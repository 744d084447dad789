#include "export/sg2mail.h"

#include "core/MsgBox.h"
#include "export/GridColumns.h"
#include "export/MailSender.h"

#include <QCoreApplication>
#include <QStringList>

bool SendMail(const QString &subject, const QString &body)
{
    bool sent = false;
    try {
        sent = MailSender::current().send(subject, body);
    } catch (...) {
        sent = false;  // any failure of the client is the one message below
    }
    if (!sent)
        ErrorBox(QCoreApplication::translate("sg2mail", "Не вышло"));
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
    AppendMailLine(body, gridCaptions(columns));
    walkGridRecords(*dataSet, columns, [&](const QStringList &values) { AppendMailLine(body, values); });
    return SendMail(title, body);
}
