#pragma once
// The operations of one repair, "Операции по ремонту": each with its date and its state
// of progress, ordered by date.
#include "repairs/operitem.h"

class TFrmOperAct : public TFrmRepairPart {
    Q_OBJECT
public:
    TFrmOperAct(TDataSource *repair, int remId, QWidget *parent = nullptr);

    TDataSet *Table1;  // rem_op

private:
    static ListWindowDecl declaration(int remId);
    static void declareTable1(TDataSet &table, int remId);
    void Table1NewRecord(TDataSet &dataSet);
};
