#pragma once
// "История изменений" of the whole database, for the administrator: every change, newest
// first, filtered by user, table and period (the last 30 days when it opens), with the table
// and the row's key of each. It reads again whenever a filter changes.
#include "lists/HistoryWindow.h"

class QComboBox;
class QDateEdit;

class TFrmHistoryAll : public TFrmKl {
    Q_OBJECT
public:
    explicit TFrmHistoryAll(QWidget *parent = nullptr);

    QWidget *PanelFilter;
    QComboBox *ComboUser;   // "Все" or a login (the user's id as its data)
    QComboBox *ComboTable;  // "Все" or a table by its Russian name (the table's as its data)
    QDateEdit *DateFrom;
    QDateEdit *DateTo;

    // Reads the history the filters choose.
    void FilterChange();

private:
    static ListWindowDecl declaration(const std::shared_ptr<HistoryTexts> &texts);
    QWidget *createFilterPanel();
};
