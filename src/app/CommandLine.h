#pragma once
// The program's names and its command line, read before any window, file or database.
#include <QString>
#include <QStringList>

namespace CommandLine {
// Names the application: the names decide the user's data folder
// (AppDataLocation: ~/.local/share/Tavrell/Tavrell on Linux) and let the desktop group the
// windows under tavrell.desktop.
void nameApplication();

struct Options {
    bool exitNow = false;  // help, version or a wrong argument was printed: end with exitCode
    int exitCode = 0;
    QString server;  // --server: a server for this run alone
};

// Reads the arguments (the program's own name first). Help and version are printed to
// standard output, an error to standard error. Unknown options are an error only when
// `strict`: before the application object exists, options meant for Qt are still there.
Options parse(const QStringList &arguments, bool strict);

// The --help text; it ends with the folder of this copy's settings, database and archives.
QString helpText();
QString versionText();
}  // namespace CommandLine
