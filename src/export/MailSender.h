#pragma once
// How a message reaches the desktop's mail client: its compose window opens with the
// subject and body filled in. The program uses the desktop sender; tests install their own.
#include <QString>

class MailSender {
public:
    virtual ~MailSender() = default;
    // True when the mail client took the message.
    virtual bool send(const QString &subject, const QString &body) = 0;

    static MailSender &current();
    // Installs another sender (not owned); nullptr restores the desktop one.
    static void setCurrent(MailSender *sender);
};
