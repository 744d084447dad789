#pragma once
// The repair history "История работ": every repair with its kind, item (and the item's
// series, number and department), cause, specialist and dates; the item is chosen in the
// equipment picker; the list is searched on one of eight criteria; "Комплектующие" and
// "Работы" open the resources and the operations of the current repair.
#include "lists/klfrm.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;

class TFrmOper : public TFrmKl {
    Q_OBJECT
public:
    explicit TFrmOper(QWidget *parent = nullptr);

    TDataSet *TblRem;  // remont, with its lookups
    // The repairs with the column searched (their kind, item, department, cause or dates),
    // made for each search and closed after it.
    TDataSet *QryFind = nullptr;
    QToolButton *BtnItems;
    QToolButton *BtnOper;
    QCheckBox *CheckBox1;
    QWidget *PanelFind;
    QComboBox *ComboBox1;
    QLineEdit *EditFind;
    QToolButton *SpeedButton2;

    // The search choices, in the order of the columns a1..a8 they search.
    static QStringList findChoices();

    void GridEditButtonClick();
    void BtnItemsClick();
    void BtnOperClick();
    void SpeedButton2Click();

private:
    static ListWindowDecl declaration();
    static void declareTblRem(TDataSet &rem);
    void declareQryFind(int choice, const QString &text);
    QWidget *createFindPanel();
    void TblRemNewRecord(TDataSet &dataSet);
    static QString TblRemSerGetText(const TField &field);
    // Posts a repair being edited, so that its details have a repair to belong to.
    void postCurrent();
    // Moves the list to the first repair of QryFind whose column matches; false when none
    // does. Repairs that are not in this window's list are passed over.
    bool locateFound(const QString &column, const QVariant &value, int options);
};
