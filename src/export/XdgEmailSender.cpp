#include "export/XdgEmailSender.h"

#include "core/MsgBox.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("sg2mail", text); }

// xdg-email's own exit codes for "no way to open a mailto: URL" (3) and "the desktop's
// opener failed" (4): both mean that no mail program answers on this desktop.
bool noMailProgram(int code) { return code == 3 || code == 4; }

}  // namespace

XdgEmailSender::XdgEmailSender(const QString &program) : m_program(program) {}

QString XdgEmailSender::mailtoUrl(const QString &subject, const QString &body)
{
    return QStringLiteral("mailto:?subject=") + QString::fromLatin1(QUrl::toPercentEncoding(subject)) +
           QStringLiteral("&body=") + QString::fromLatin1(QUrl::toPercentEncoding(body));
}

bool XdgEmailSender::fits(const QString &subject, const QString &body) const
{
    // Most characters take three bytes or six once encoded; a short text fits whatever it holds.
    if ((subject.size() + body.size()) * 6 + 64 <= MaxHandOver)
        return true;
    return mailtoUrl(subject, body).size() <= MaxHandOver;
}

bool XdgEmailSender::send(const QString &subject, const QString &body, const QStringList &attachments)
{
    auto *process = new QProcess;
    process->setProgram(m_program);
    // The text goes inside a ready URL, never through --subject or --body: the script would
    // pass those through `echo` (cutting the text at "\c") and turn each line end into CR LF
    // once more. File names are passed as UTF-8 whatever the locale says, so tell it.
    QStringList args{QStringLiteral("--utf8")};
    for (const QString &file : attachments)
        args << QStringLiteral("--attach") << file;
    args << mailtoUrl(subject, body);
    process->setArguments(args);
    // What the script and the browsers it tries print is not the user's to read on a terminal.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    // Starting takes a moment; what the client does then is not waited for.
    if (!process->waitForStarted(10000)) {
        delete process;
        return false;
    }
    process->closeWriteChannel();
    QObject::connect(process, &QProcess::finished, process, [process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status != QProcess::NormalExit || code != 0) {
            QString text = tr("Не вышло");
            if (status == QProcess::NormalExit && noMailProgram(code))
                text += QLatin1Char('\n') + tr("На рабочем столе не настроена программа для электронной почты.");
            ErrorBox(text);
        }
    });
    return true;
}
