#pragma once
// A sender that keeps the messages it is given, for tests; `succeed` decides its answer.
#include "export/MailSender.h"

#include <QList>

class RecordingMailSender : public MailSender {
public:
    struct Message {
        QString subject;
        QString body;
    };

    bool send(const QString &subject, const QString &body) override;

    QList<Message> messages;
    bool succeed = true;
};
