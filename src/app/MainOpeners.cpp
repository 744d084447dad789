// The windows of repairs and admin that the main window opens. Register may not include
// those folders; the program's top may, so the table of openers lives here. A window is
// added by one row: the action whose handler opens it, and how it opens.
#include "register/main.h"

#include "admin/find.h"

#include "core/Seams.h"

#include <QDialog>
#include <QPointer>

namespace {

// Most of them: created over the main window, shown modally, destroyed when closed.
template <class Window>
void modal(TFrmmain &main)
{
    Window window(&main);
    Seams::dialogs().exec(window);
}

// The search window is the one exception: not modal, one for the whole run; the grid
// highlights its results while it is visible.
void fulltextFind(TFrmmain &main)
{
    main.SearchResultHas = [](int id) {
        const TFrmFind *find = FindWindow();
        return find && find->highlights(id);
    };
    ShowFindWindow(main.Qry, &main);
    QPointer<QWidget> grid = main.Grid->viewport();
    FindWindow()->OnHighlightChange = [grid] {
        if (grid)
            grid->update();
    };
    grid->update();
}

}  // namespace

QList<TFrmmain::Opener> &TFrmmain::openers()
{
    // For example {&TFrmmain::ObrRemont, modal<TFrmOper>}, with the window's header
    // included above.
    static QList<Opener> table = {
        {&TFrmmain::FulltextFind, fulltextFind},
    };
    return table;
}
