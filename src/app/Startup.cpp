#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/MainOpeners.h"
#include "app/QtTexts.h"
#include "core/Errors.h"
#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "export/TempFiles.h"
#include "register/main.h"
#include "session/Splash.h"
#include "session/login.h"

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <memory>

// The icons live in the static library: nothing else refers to them, so they are pulled in by name.
static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace Startup {

namespace {

// Shows the main window application-modal and returns when it has closed: the whole
// working time runs inside this loop.
void showModal(TFrmmain &window)
{
    QEventLoop loop;
    QObject::connect(&window, &TFrmmain::closed, &loop, &QEventLoop::quit);
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    window.activateWindow();
    loop.exec();
}

int runSteps();

// The program's icon in every size the resource carries; each window shows it.
QIcon programIcon()
{
    initIcons();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tavrell-%1.png").arg(size));
    return icon;
}

// The server named on the command line for this run; empty: the settings file's.
QString g_server;

}  // namespace

int run()
{
    QApplication::setWindowIcon(programIcon());
    // Nothing may end the process from here on as an exception: a start that fails shows
    // one message and ends with a code that says so.
    try {
        return runSteps();
    } catch (const TavrellError &e) {
        dm = nullptr;
        ErrorBox(e.message());
    } catch (const std::exception &e) {
        dm = nullptr;
        ErrorBox(QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

namespace {

int runSteps()
{
    CommandLine::nameApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    QtTexts::install(qApp);
    // Attachments of mails written a week ago or more: their compose windows are gone by now.
    TempFiles::removeOldMail(Seams::now());

    // The splash is the first window; the connection work follows without waiting for it.
    auto splash = std::make_unique<TFrmSplash>();
    splash->showNow();

    Tdm module;
    dm = &module;
    module.setServerOverride(g_server);
    if (module.DataModule1Create() == Tdm::Outcome::Exit) {
        splash.reset();
        dm = nullptr;
        return module.exitCode();
    }

    registerWindowOpeners();
    // The main window opens its list now, before anybody has logged in.
    std::unique_ptr<TFrmmain> mainWindow;
    if (!Guard::run([&] { mainWindow = std::make_unique<TFrmmain>(); })) {
        splash.reset();
        dm = nullptr;
        return 1;
    }

    std::unique_ptr<TFrmLogin> login;
    if (Guard::run([&] { login = std::make_unique<TFrmLogin>(splash.get()); }) &&
        Seams::dialogs().exec(*login) == QDialog::Accepted) {
        Guard::run([&] { mainWindow->SetupForUser(); });
        showModal(*mainWindow);
    }
    // A cancelled login ends here: nothing was shown, saved or logged.

    mainWindow.reset();
    login.reset();
    splash.reset();
    dm = nullptr;
    return 0;
}

}  // namespace

void setServer(const QString &server) { g_server = server; }

}  // namespace Startup
