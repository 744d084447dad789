#include "export/XdgEmailSender.h"

#include <QProcess>

XdgEmailSender::XdgEmailSender(const QString &program) : m_program(program) {}

bool XdgEmailSender::send(const QString &subject, const QString &body)
{
    QProcess process;
    process.setProgram(m_program);
    // Arguments are passed as UTF-8 whatever the locale says, so tell it.
    process.setArguments({QStringLiteral("--utf8"), QStringLiteral("--subject"), subject,
                          QStringLiteral("--body"), body});
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    // The mail call blocks the program until the client has the message, like the rest.
    process.closeWriteChannel();
    if (!process.waitForFinished(-1))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
