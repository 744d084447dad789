#include "admin/users.h"

#include "data/Tdm.h"

ListWindowDecl usersWindow()
{
    const QStringList types{QCoreApplication::translate("TFrmUsers", "A - Админитратор"),
                            QCoreApplication::translate("TFrmUsers", "D - Диспетчер"),
                            QCoreApplication::translate("TFrmUsers", "P - Ведущ. инж."),
                            QCoreApplication::translate("TFrmUsers", "R - Инженер")};
    ListWindowDecl d(QStringLiteral("FrmUsers"), QCoreApplication::translate("TFrmUsers", "Пользователи системы"),
                     dm->TblUsers,
                     {ListColumn(QStringLiteral("login")), ListColumn(QStringLiteral("passw")),
                      ListColumn(QStringLiteral("tp")).pickList(types), ListColumn(QStringLiteral("LastEnter"))});
    d.Size = QSize(620, 350);  // the four columns side by side
    return d;
}

LogListTable::LogListTable()
{
    ADOTable1.setObjectName(QStringLiteral("ADOTable1"));
    ADOTable1.setTableName(QStringLiteral("VIEWLOG"));
    // The view's own order does not bind every server: ask for it.
    ADOTable1.setOrderBy(QStringLiteral("dt"));
    ADOTable1.addField(QStringLiteral("dt"), FieldType::DateTime)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Дата время"));
    ADOTable1.addField(QStringLiteral("login"), FieldType::String, 20)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Имя пользователя"));
    ADOTable1.addField(QStringLiteral("Name"), FieldType::String, 30)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Событие"));
    ADOTable1.setReadOnly(true);
}

namespace {

ListWindowDecl logListWindow(TDataSet *table)
{
    ListWindowDecl d(QStringLiteral("FrmLogList"),
                     QCoreApplication::translate("TFrmLogList", "Лог работы пользователей"), table);
    d.ReadOnly = true;
    d.GridEditable = false;
    d.KeepOpen = false;
    return d;
}

}  // namespace

TFrmLogList::TFrmLogList(QWidget *parent) : LogListTable(), TFrmKl(logListWindow(&ADOTable1), parent) {}
