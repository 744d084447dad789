// The program's entry: start-up returns an outcome and the process ends here.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "core/Process.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Process::prepare();
    CommandLine::nameApplication();
    {
        // Help and version need no display and touch no file: they are answered before
        // the windowing application exists.
        QCoreApplication core(argc, argv);
        const CommandLine::Options early = CommandLine::parse(QCoreApplication::arguments(), false);
        if (early.exitNow)
            return early.exitCode;
    }
    QApplication app(argc, argv);
    // Qt's own options are gone from the arguments now: anything left unknown is an error.
    const CommandLine::Options options = CommandLine::parse(QCoreApplication::arguments(), true);
    if (options.exitNow)
        return options.exitCode;
    Startup::setServer(options.server);
    return Startup::run();
}
