#include "app/CommandLine.h"

#include "core/Seams.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#ifndef TAVRELL_VERSION
#define TAVRELL_VERSION "1.0"
#endif

namespace CommandLine {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("CommandLine", text); }

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrell"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrell"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRELL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrell"));
}

QString versionText()
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
           QLatin1Char('\n');
}

QString helpText()
{
    // Only names the folder: asking for help makes and writes nothing.
    return tr("Использование: tavrell [параметры]\n"
              "Учет оргтехники, ее ремонтов и заявок.\n"
              "\n"
              "Параметры:\n"
              "  -h, --help         Показать эту справку и выйти.\n"
              "  -v, --version      Показать версию программы и выйти.\n"
              "  --server <сервер>  Работать в этот раз с другим сервером базы данных\n"
              "                     (\"(local)\" - встроенная база), не меняя remont.ini.\n"
              "\n"
              "Файл настроек remont.ini, встроенная база данных org_tech.sqlite и архивы\n"
              "этой копии программы хранятся в папке:\n"
              "%1\n")
        .arg(QDir::toNativeSeparators(Seams::dataFolder()));
}

Options parse(const QStringList &arguments, bool strict)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption server(QStringLiteral("server"), QString(), QStringLiteral("server"));
    parser.addOptions({help, version, server});
    const bool parsed = parser.parse(arguments);

    Options options;
    if (parser.isSet(help)) {
        print(stdout, helpText());
        options.exitNow = true;
    } else if (parser.isSet(version)) {
        print(stdout, versionText());
        options.exitNow = true;
    } else if (strict && (!parsed || !parser.positionalArguments().isEmpty())) {
        const QString problem =
            !parsed ? parser.errorText() : tr("Лишний аргумент: %1").arg(parser.positionalArguments().constFirst());
        print(stderr, problem + QLatin1Char('\n') + tr("Справка: tavrell --help\n"));
        options.exitNow = true;
        options.exitCode = 2;
    } else if (parser.isSet(server)) {
        options.server = parser.value(server).trimmed();
        if (strict && options.server.isEmpty()) {
            print(stderr, tr("После --server нужно имя сервера\n"));
            options.exitNow = true;
            options.exitCode = 2;
        }
    }
    return options;
}

}  // namespace CommandLine
