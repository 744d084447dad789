#pragma once
// The desktop sender: runs xdg-email, which opens the user's mail client with the
// message, and waits for it. Success only when it starts and exits with code 0.
#include "export/MailSender.h"

class XdgEmailSender : public MailSender {
public:
    explicit XdgEmailSender(const QString &program = QStringLiteral("xdg-email"));
    bool send(const QString &subject, const QString &body) override;

private:
    QString m_program;
};
