// The windows of repairs and admin that the main window opens. Register may not include
// those folders; the program's top may, so the table of openers lives here. A window is
// added by one row: the action whose handler opens it, and how it opens.
#include "register/main.h"

#include "admin/Directories.h"
#include "admin/arh.h"
#include "admin/find.h"
#include "admin/users.h"
#include "core/Seams.h"
#include "repairs/oper.h"
#include "repairs/rashrep.h"
#include "repairs/zajaw.h"

#include <QDialog>
#include <QPointer>

namespace {

// Most of them: created over the main window, shown modally, destroyed when closed.
template <class Window> void modal(TFrmmain &main)
{
    Window window(&main);
    Seams::dialogs().exec(window);
}

// A window that is a declaration alone.
template <ListWindowDecl (*declaration)()> void declared(TFrmmain &main) { showListWindow(declaration(), &main); }

template <Directory directory> void directoryWindowOf(TFrmmain &main)
{
    showListWindow(directoryWindow(directory), &main);
}

// The search window is the one exception: not modal, one for the whole run; the grid
// highlights its results while it is visible (the window hands them over as they change).
void fulltextFind(TFrmmain &main)
{
    ShowFindWindow(main.Qry, &main);
    QPointer<TFrmmain> to = &main;
    FindWindow()->OnHighlightChange = [to](std::vector<int> keys) {
        if (to)
            to->setSearchResults(std::move(keys));
    };
    FindWindow()->highlightChanged();
}

}  // namespace

QList<TFrmmain::Opener> &TFrmmain::openers()
{
    static QList<Opener> table = {
        {&TFrmmain::SprVidRemont, directoryWindowOf<Directory::KlVidrem>},
        {&TFrmmain::SprStates, directoryWindowOf<Directory::KlStates>},
        {&TFrmmain::SprResurs, directoryWindowOf<Directory::Resurs>},
        {&TFrmmain::Action14, directoryWindowOf<Directory::KlAct>},
        {&TFrmmain::Action1, directoryWindowOf<Directory::KlOtdels>},
        {&TFrmmain::FileAdminUser, declared<usersWindow>},
        {&TFrmmain::FileLogView, modal<TFrmLogList>},
        {&TFrmmain::Arhive, modal<TFrmArchive>},
        {&TFrmmain::ObrRemont, modal<TFrmOper>},
        {&TFrmmain::ObrZajaw, modal<TFrmZajaw>},
        {&TFrmmain::RepRashPerPeriod, modal<TFrmRashRep>},
        {&TFrmmain::FulltextFind, fulltextFind},
    };
    return table;
}
