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
    d.HistoryTable = QStringLiteral("users");
    return d;
}

namespace {

void declareLog(TDataSet &log)
{
    log.setObjectName(QStringLiteral("ADOTable1"));
    log.setTableName(QStringLiteral("VIEWLOG"));
    // The view's own order does not bind every server: ask for it.
    log.setOrderBy(QStringLiteral("dt"));
    log.addField(QStringLiteral("dt"), FieldType::DateTime)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Дата время"));
    log.addField(QStringLiteral("login"), FieldType::String, 20)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Имя пользователя"));
    log.addField(QStringLiteral("Name"), FieldType::String, 30)
        .setDisplayLabel(QCoreApplication::translate("TFrmLogList", "Событие"));
    log.setReadOnly(true);
}

ListWindowDecl logListWindow()
{
    ListWindowDecl d(QStringLiteral("FrmLogList"),
                     QCoreApplication::translate("TFrmLogList", "Лог работы пользователей"), nullptr);
    d.OwnDataSet = &declareLog;
    d.ReadOnly = true;
    d.GridEditable = false;
    return d;
}

}  // namespace

TFrmLogList::TFrmLogList(QWidget *parent) : TFrmKl(logListWindow(), parent), ADOTable1(DsLoc->DataSet()) {}
