#include "export/RecordingMailSender.h"

bool RecordingMailSender::send(const QString &subject, const QString &body, const QStringList &attachments)
{
    messages.append({subject, body, attachments});
    return succeed;
}

bool RecordingMailSender::fits(const QString &subject, const QString &body) const
{
    return limit < 0 || subject.size() + body.size() <= limit;
}
