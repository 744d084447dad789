#pragma once
// The item editor: its controls are bound to the current record of the main window's
// equipment list; the main window stores or discards the record when it closes.
#include <QDialog>
#include <functional>

class DBComboBox;
class DBDateEdit;
class DBEdit;
class DBLookupComboBox;
class DBMemo;
class QPushButton;
class TDataSource;

class TFrmEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFrmEdit(TDataSource *source, QWidget *parent = nullptr);

    DBEdit *EditName;
    DBEdit *EditProizvod;
    DBEdit *EditResurs;
    DBComboBox *ComboForm;
    DBDateEdit *EditD_vup;
    DBEdit *EditSeria;
    DBEdit *EditNomer;
    DBLookupComboBox *ComboState;
    DBLookupComboBox *ComboOtdel;
    DBMemo *MemoInfo;
    QPushButton *BtnHistory;  // the item's history of changes; not for one not yet stored
    QPushButton *BtnOK;
    QPushButton *BtnCancel;

    // Run by OK after the editors have stored their texts: stores the record. When it
    // raises, the error is shown and the editor stays open with everything typed.
    std::function<void()> OnOk;

    // Stores what the editors hold into the record; false (error shown) when a field
    // refuses a text, with the focus on that editor.
    bool commitEditors();

    // Opens the history of the item edited (a new one has none yet).
    void BtnHistoryClick();

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TDataSource *m_source;
};
