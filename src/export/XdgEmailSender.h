#pragma once
// The desktop sender: runs xdg-email, which opens the user's mail client with the message.
// The program does not wait for it: the client may stay up as long as the user writes.
// A client that cannot be started fails at once; one that ends with an error later is
// reported then, with the same "Не вышло" (and a line more when no mail program is set up).
#include "export/MailSender.h"

class XdgEmailSender : public MailSender {
public:
    explicit XdgEmailSender(const QString &program = QStringLiteral("xdg-email"));
    bool send(const QString &subject, const QString &body, const QStringList &attachments = {}) override;
    // xdg-email hands the message to the client as one mailto: URL in one argument, and
    // the system passes no argument longer than 128 KiB (bench_report measures it): the
    // subject and body, percent-encoded as UTF-8, must stay within MaxHandOver bytes.
    bool fits(const QString &subject, const QString &body) const override;
    static constexpr int MaxHandOver = 100000;

    // The message as the mailto: URL given to xdg-email: every byte but the unreserved
    // ones percent-encoded, so that the script's shell never sees a backslash or a line
    // break of the text (its `echo` would act on them) and CR LF stays one line end.
    static QString mailtoUrl(const QString &subject, const QString &body);

private:
    QString m_program;
};
