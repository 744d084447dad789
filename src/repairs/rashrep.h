#pragma once
// "Сумма израсходованных средств": how much of each resource the repairs begun within a
// period consumed, one row per resource name and unit. The rows are sums: nothing is edited.
#include "lists/klfrm.h"

class QDateEdit;

class TFrmRashRep : public TFrmKl {
    Q_OBJECT
public:
    explicit TFrmRashRep(QWidget *parent = nullptr);

    TDataSet *qry;
    QWidget *Panel2;  // the second row of the tool bar: the period
    QDateEdit *d0;    // the first day
    QDateEdit *d1;    // the last day

    // The opening period's first day: a calendar month before `today` (the month's last day
    // when it is shorter).
    static QDate monthBefore(const QDate &today);

private:
    static ListWindowDecl declaration();
    static void declareQuery(TDataSet &query);
    // Runs the query for the chosen period again.
    void d0Change();
};
