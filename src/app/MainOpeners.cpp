// The windows of repairs and admin that the main window opens. Register may not include
// those folders; the program's top may, so it registers here how each opens. A window is
// added by one row here and the action row that names it.
#include "app/MainOpeners.h"

#include "admin/Directories.h"
#include "admin/HistoryAll.h"
#include "admin/arh.h"
#include "admin/find.h"
#include "admin/users.h"
#include "core/Seams.h"
#include "register/WindowOpeners.h"
#include "register/main.h"
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

void registerWindowOpeners()
{
    using W = OpenedWindow;
    WindowOpeners::registry() = {
        {W::RepairKinds, directoryWindowOf<Directory::KlVidrem>},
        {W::States, directoryWindowOf<Directory::KlStates>},
        {W::Resources, directoryWindowOf<Directory::Resurs>},
        {W::Operations, directoryWindowOf<Directory::KlAct>},
        {W::Departments, directoryWindowOf<Directory::KlOtdels>},
        {W::Users, declared<usersWindow>},
        {W::UserLog, modal<TFrmLogList>},
        {W::History, modal<TFrmHistoryAll>},
        {W::Archive, modal<TFrmArchive>},
        {W::RepairHistory, modal<TFrmOper>},
        {W::Requests, modal<TFrmZajaw>},
        {W::Consumption, modal<TFrmRashRep>},
        {W::Search, fulltextFind},
    };
}
