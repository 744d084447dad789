#pragma once
// How a message reaches the desktop's mail client: its compose window opens with the
// subject and body filled in (and the files attached). The program uses the desktop
// sender; tests install their own.
#include <QString>
#include <QStringList>

class MailSender {
public:
    virtual ~MailSender() = default;
    // True when the mail client took the message (or, for a client that answers later,
    // was started with it: a later failure is the sender's to report).
    virtual bool send(const QString &subject, const QString &body, const QStringList &attachments = {}) = 0;
    // Whether the hand-over to the client can carry a message this long; a longer body
    // is sent as an attachment instead.
    virtual bool fits(const QString &subject, const QString &body) const;

    static MailSender &current();
    // Installs another sender (not owned); nullptr restores the desktop one.
    static void setCurrent(MailSender *sender);
};
