#pragma once
// The equipment picker "Выбор техники": every item, ordered by name, series and number,
// read anew each time the dialog is made. The caller may move its cursor before showing it
// and reads the chosen item after OK; the dialog itself changes nothing.
#include <QDialog>
#include <QVariant>

class QPushButton;
class TDataSet;
class TDataSource;
class TDBGrid;

class TFrmSelTech : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSelTech(QWidget *parent = nullptr);

    TDataSet *ADOQuery1;
    TDataSource *DataSource1;
    TDBGrid *DBGrid1;
    QPushButton *BitBtn1;  // OK
    QPushButton *BitBtn2;  // Cancel

    // The key of the current item; null when the list is empty.
    QVariant chosenId() const;

private:
    void FormCreate();
};
