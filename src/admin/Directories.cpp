#include "admin/Directories.h"

#include "data/Tdm.h"

namespace {

struct DirectoryRow {
    Directory directory;
    const char *name;
    const char *caption;
    TDataSet *SharedDataSets::*table;
    const char *history;  // the table's name in the history of changes
};

const DirectoryRow Directories[] = {
    {Directory::KlVidrem, "FrmKlvidrem", QT_TRANSLATE_NOOP("TFrmKl", "Справочник видов ремонта"),
     &SharedDataSets::Tblvidu, "vidu"},
    {Directory::KlStates, "FrmKlStates", QT_TRANSLATE_NOOP("TFrmKl", "Справочник состояний"),
     &SharedDataSets::TblStates, "states"},
    {Directory::Resurs, "FrmResurs", QT_TRANSLATE_NOOP("TFrmKl", "Ресурсы"), &SharedDataSets::Tblresurs, "resurs"},
    {Directory::KlAct, "FrmKlAct", QT_TRANSLATE_NOOP("TFrmKl", "Справочник операций"), &SharedDataSets::TblOperations,
     "operations"},
    {Directory::KlOtdels, "FrmKlOtdels", QT_TRANSLATE_NOOP("TFrmKl", "Отделы предприятия"), &SharedDataSets::TblOtdel,
     "otdel"},
};

}  // namespace

ListWindowDecl directoryWindow(Directory directory)
{
    for (const DirectoryRow &row : Directories)
        if (row.directory == directory) {
            ListWindowDecl d(QLatin1String(row.name), QCoreApplication::translate("TFrmKl", row.caption),
                             dm->*row.table);
            d.HistoryTable = QLatin1String(row.history);
            return d;
        }
    return {};
}
