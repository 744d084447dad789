#pragma once
// The start-up order of the program and its end.
#include <QString>

namespace Startup {
// Runs the program from the splash to the end of the main window; returns the exit code.
int run();
// A server for the next run alone (the command line's --server); empty: the settings' own.
void setServer(const QString &server);
}  // namespace Startup
