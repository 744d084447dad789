#pragma once
// "Заявки": the service requests over the data module's request table, which outlives the
// window with its current row. Rows coloured by state, a filter by state, a closing stamp
// in the notes, the further data on two tabs, and the request card.
#include "lists/klfrm.h"

class DBEdit;
class DBLookupComboBox;
class DBMemo;
class QComboBox;
class QSplitter;
class QTabWidget;

class TFrmZajaw : public TFrmKl {
    Q_OBJECT
public:
    explicit TFrmZajaw(QWidget *parent = nullptr);

    // The filter choices, by position: "Все", "Не закрытые", "Закрытые", "Приостановленные".
    QComboBox *Combofilter;
    QToolButton *BtnCard;
    QSplitter *Splitter1;
    QTabWidget *PageControl1;
    DBEdit *EditFio;
    DBEdit *EditPhone;
    DBLookupComboBox *ComboOtdel;
    DBEdit *EditMayBy;
    DBMemo *MemoPrim;

    // The background of a row in a state; invalid for a state without a colour.
    static QColor stateColor(const QVariant &state);

protected:
    // Closing posts a changed request first (as leaving its row would); a request the
    // database refuses keeps the window open, in editing.
    bool closeQuery() override;
    void DsLocDataChange(TField *field) override;

private:
    static ListWindowDecl declaration();
    void buildTabs();
    void CheckFClick();
    void gridDrawColumnCell(TDBGrid::DrawCell &cell);
    void BtnCardClick();
    void FormClose();

    int m_filterPosition = 0;  // the choice the list is filtered by
};
