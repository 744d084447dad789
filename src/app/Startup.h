#pragma once
// The start-up order of the program and its end.
namespace Startup {
// Runs the program from the splash to the end of the main window; returns the exit code.
int run();
}
