// The windows of repairs and admin that the main window opens. Register may not include
// those folders; the program's top may, so the table of openers lives here. A window is
// added by one row: the action whose handler opens it, and how it opens.
#include "register/main.h"

#include "core/Seams.h"
#include "repairs/rashrep.h"
#include "repairs/zajaw.h"

#include <QDialog>

namespace {

// Most of them: created over the main window, shown modally, destroyed when closed.
template <class Window>
void modal(TFrmmain &main)
{
    Window window(&main);
    Seams::dialogs().exec(window);
}

}  // namespace

QList<TFrmmain::Opener> &TFrmmain::openers()
{
    // For example {&TFrmmain::ObrRemont, modal<TFrmOper>}, with the window's header
    // included above.
    static QList<Opener> table = {
        {&TFrmmain::ObrZajaw, modal<TFrmZajaw>},
        {&TFrmmain::RepRashPerPeriod, modal<TFrmRashRep>},
    };
    return table;
}
