#include "admin/Directories.h"

#include "data/Tdm.h"

namespace {

struct DirectoryRow {
    Directory directory;
    const char *name;
    const char *caption;
    TDataSet *SharedDataSets::*table;
};

const DirectoryRow Directories[] = {
    {Directory::KlVidrem, "FrmKlvidrem", QT_TRANSLATE_NOOP("TFrmKl", "Справочник видов ремонта"),
     &SharedDataSets::Tblvidu},
    {Directory::KlStates, "FrmKlStates", QT_TRANSLATE_NOOP("TFrmKl", "Справочник состояний"),
     &SharedDataSets::TblStates},
    {Directory::Resurs, "FrmResurs", QT_TRANSLATE_NOOP("TFrmKl", "Ресурсы"), &SharedDataSets::Tblresurs},
    {Directory::KlAct, "FrmKlAct", QT_TRANSLATE_NOOP("TFrmKl", "Справочник операций"), &SharedDataSets::TblOperations},
    {Directory::KlOtdels, "FrmKlOtdels", QT_TRANSLATE_NOOP("TFrmKl", "Отделы предприятия"), &SharedDataSets::TblOtdel},
};

}  // namespace

ListWindowDecl directoryWindow(Directory directory)
{
    for (const DirectoryRow &row : Directories)
        if (row.directory == directory)
            return {QLatin1String(row.name), QCoreApplication::translate("TFrmKl", row.caption), dm->*row.table};
    return {};
}
