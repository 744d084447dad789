#pragma once
// The windows of repairs and admin that the main window's actions open. Register may not
// include those folders: the program's top registers how each opens at start-up, and the
// action that opens one names it in its row.
#include <functional>
#include <map>

class TFrmmain;

enum class OpenedWindow {
    RepairKinds,
    States,
    Resources,
    Operations,
    Departments,
    Users,
    UserLog,
    History,
    Archive,
    RepairHistory,
    Requests,
    Consumption,
    Search,
};

namespace WindowOpeners {

using Open = std::function<void(TFrmmain &main)>;

// How each window opens, over the main window; src/app fills it at start-up and a test may
// put openers of its own in.
std::map<OpenedWindow, Open> &registry();

// Opens the window through its opener; nothing while it has none.
void open(OpenedWindow window, TFrmmain &main);

}  // namespace WindowOpeners
