#pragma once
// The windows of one repair, opened from the repair history: its consumed resources
// ("Комплектующие операции", table rem_res) and its operations ("Операции по ремонту",
// table rem_op). Both show the repair above their list and read only that repair's rows.
#include "lists/klfrm.h"

class DBEdit;

// What the two windows share: the header of the current repair (read-only), and the key
// of the repair that each inserted row carries.
class TFrmRepairPart : public TFrmKl {
    Q_OBJECT
public:
    // `repair`: the history's data source, standing on the repair; `remId`: its key.
    TFrmRepairPart(const ListWindowDecl &decl, TDataSource *repair, int remId, QWidget *parent);

    int RemId;
    QWidget *PanelHead;
    DBEdit *EditNach;   // "Начало"
    DBEdit *EditVid;    // "Вид ремонта"
    DBEdit *EditOtdel;  // "Отдел"
    DBEdit *EditIzd;    // "Изделие"

protected:
    // Reads only the rows of the repair (the table is large, a repair has a few), and keeps
    // the list's filter "rem_id=<key>" as well; in `orderBy`'s columns' order (ascending,
    // nulls first).
    static void readRowsOf(TDataSet &dataSet, const QString &table, int remId, const QStringList &orderBy);
};

// The declaration the repair windows share: their own dataset, all ten navigator buttons
// with the standard hints, a close button without a hint, no status bar, read-only for the
// lead engineer.
ListWindowDecl repairListWindow(const QString &name, const QString &caption);

class TFrmOperItem : public TFrmRepairPart {
    Q_OBJECT
public:
    TFrmOperItem(TDataSource *repair, int remId, QWidget *parent = nullptr);

    TDataSet *Tbl;  // rem_res

private:
    static ListWindowDecl declaration(int remId);
    static void declareTbl(TDataSet &tbl, int remId);
    void Table1NewRecord(TDataSet &dataSet);
};
