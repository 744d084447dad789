#pragma once
// A sender that keeps the messages it is given, for tests; `succeed` decides its answer and
// `limit` (when not negative) the longest subject and body it takes in one message.
#include "export/MailSender.h"

#include <QList>

class RecordingMailSender : public MailSender {
public:
    struct Message {
        QString subject;
        QString body;
        QStringList attachments;
    };

    bool send(const QString &subject, const QString &body, const QStringList &attachments = {}) override;
    bool fits(const QString &subject, const QString &body) const override;

    QList<Message> messages;
    bool succeed = true;
    qsizetype limit = -1;
};
