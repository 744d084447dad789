// The program's entry: start-up returns an outcome and the process ends here.
#include "app/Process.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Process::prepare();
    QApplication app(argc, argv);
    return Startup::run();
}
