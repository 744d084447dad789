#include "export/RecordingMailSender.h"

bool RecordingMailSender::send(const QString &subject, const QString &body)
{
    messages.append({subject, body});
    return succeed;
}
