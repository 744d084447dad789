#include "export/XdgEmailSender.h"

#include "core/MsgBox.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

XdgEmailSender::XdgEmailSender(const QString &program) : m_program(program) {}

bool XdgEmailSender::fits(const QString &subject, const QString &body) const
{
    // Most characters take three bytes or six once encoded; a short text fits whatever it holds.
    if ((subject.size() + body.size()) * 6 + 64 <= MaxHandOver)
        return true;
    return QUrl::toPercentEncoding(subject).size() + QUrl::toPercentEncoding(body).size() + 64 <= MaxHandOver;
}

bool XdgEmailSender::send(const QString &subject, const QString &body, const QStringList &attachments)
{
    auto *process = new QProcess;
    process->setProgram(m_program);
    // Arguments are passed as UTF-8 whatever the locale says, so tell it.
    QStringList args{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject, QStringLiteral("--body"), body};
    for (const QString &file : attachments)
        args << QStringLiteral("--attach") << file;
    process->setArguments(args);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    // Starting takes a moment; what the client does then is not waited for.
    if (!process->waitForStarted(10000)) {
        delete process;
        return false;
    }
    process->closeWriteChannel();
    QObject::connect(process, &QProcess::finished, process, [process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            ErrorBox(QCoreApplication::translate("sg2mail", "Не вышло"));
    });
    return true;
}
