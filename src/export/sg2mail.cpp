#include "export/sg2mail.h"

#include "app/MsgBox.h"
#include "export/MailSender.h"

#include <QCoreApplication>

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

// GridToMail goes here.
