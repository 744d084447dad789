#include "repairs/operAct.h"

#include "core/Seams.h"
#include "data/Tdm.h"

TFrmOperAct::TFrmOperAct(TDataSource *repair, int remId, QWidget *parent)
    : TFrmRepairPart(declaration(remId), repair, remId, parent)
{
    Table1 = DsLoc->DataSet();
    Table1->OnNewRecord = [this](TDataSet &ds) { Table1NewRecord(ds); };
}

ListWindowDecl TFrmOperAct::declaration(int remId)
{
    ListWindowDecl d = repairListWindow(QStringLiteral("FrmOperAct"), tr("Операции по ремонту"));
    d.OwnDataSet = [remId](TDataSet &table) { declareTable1(table, remId); };
    d.DataSourceName = QStringLiteral("dsLoc");
    d.GridName = QStringLiteral("Grid");
    // The date with its time of day in full.
    d.Columns = {ListColumn(QStringLiteral("dt"), QString(), 19), ListColumn(QString::fromUtf8("Операция")),
                 ListColumn(QString::fromUtf8("Состояние"))};
    return d;
}

void TFrmOperAct::declareTable1(TDataSet &table, int remId)
{
    table.setObjectName(QStringLiteral("Table1"));
    // In the order of the table's index IX_rem_op: by date, those without one first; the key
    // decides between equal dates.
    readRowsOf(table, QStringLiteral("rem_op"), remId, {QStringLiteral("dt"), QStringLiteral("op_id")});
    table.addField(QStringLiteral("dt"), FieldType::DateTime).setDisplayLabel(tr("Дата")).setDisplayWidth(15);
    table.addField(QStringLiteral("rem_id"), FieldType::Integer).setVisible(false);
    table.addField(QStringLiteral("op_id"), FieldType::Integer).setVisible(false);
    table
        .addLookupField(QStringLiteral("Операция"), QStringLiteral("op_id"), dm->TblOperations, QStringLiteral("id"),
                        QStringLiteral("Name"), 30)
        .setDisplayLabel(tr("Операция"));
    table.addField(QStringLiteral("State"), FieldType::Integer).setVisible(false);
    table
        .addLookupField(QStringLiteral("Состояние"), QStringLiteral("State"), dm->TableRemOpState, QStringLiteral("id"),
                        QStringLiteral("StateName"), 15)
        .setDisplayLabel(tr("Состояние"));
}

void TFrmOperAct::Table1NewRecord(TDataSet &dataSet)
{
    dataSet.FieldByName(QStringLiteral("rem_id"))->setValue(RemId);
    // To the second, as shown: a value the user cannot see is one he cannot find again.
    QDateTime now = Seams::now();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    dataSet.FieldByName(QStringLiteral("dt"))->setValue(now);
}
