#pragma once
// How the main window opens the windows of repairs and admin (register/WindowOpeners.h).

// Puts every window's opener in the registry; the program does it at start-up.
void registerWindowOpeners();
