#pragma once
// TFrmUsers "Пользователи системы": the shared users table with its own four columns; the
// type column drops down the four types and stores the letter (TblUserstpSetText).
// TFrmLogList "Лог работы пользователей": the user log (VIEWLOG), read-only, oldest first.
// Both are opened by the main window for type "A" only; its handlers check the type again.
#include "lists/klfrm.h"

// The users window: a declaration, nothing of its own beyond it.
ListWindowDecl usersWindow();

class TFrmLogList : public TFrmKl {
public:
    explicit TFrmLogList(QWidget *parent = nullptr);
    TDataSet *ADOTable1;  // VIEWLOG, read into a table of the window's own
};
