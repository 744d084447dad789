#include "register/WindowOpeners.h"

namespace WindowOpeners {

std::map<OpenedWindow, Open> &registry()
{
    static std::map<OpenedWindow, Open> openers;
    return openers;
}

void open(OpenedWindow window, TFrmmain &main)
{
    const auto found = registry().find(window);
    if (found != registry().end() && found->second)
        found->second(main);
}

}  // namespace WindowOpeners
