#include "app/Startup.h"

#include "data/Tdm.h"

#include <QApplication>

namespace Startup {

int run()
{
    QApplication::setApplicationName(QStringLiteral("Tavrell"));
    QApplication::setQuitOnLastWindowClosed(false);
    Tdm module;
    dm = &module;
    if (module.DataModule1Create() == Tdm::Outcome::Exit)
        return module.exitCode();
    return 0;
}

}  // namespace Startup
