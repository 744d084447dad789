#pragma once
// The list window template: a top bar with the record navigator and the report, mail,
// export and close buttons, a grid over the data source DsLoc, and a one-panel status bar
// that counts the records. Member windows derive from it, give it their dataset and
// caption, and add what differs.
#include "db/DBNavigator.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"

#include <QDialog>

class QStatusBar;
class QToolButton;
class QWidget;

class TFrmKl : public QDialog {
    Q_OBJECT
public:
    // Builds the window over the dataset and runs FormCreate (the dataset is opened).
    explicit TFrmKl(TDataSet *dataSet, const QString &caption = tr("Справочник"), QWidget *parent = nullptr);

    TDataSource *DsLoc;
    QWidget *Panel1;
    DBNavigator *DBNavigator1;
    QToolButton *BtnRep;
    QToolButton *BtnSendToMail;
    QToolButton *BtnExport;
    QToolButton *BtnClose;
    TDBGrid *grid;
    QStatusBar *StatusBar;

    // The status text "Всего %d запись(сей)" as shown.
    QString statusText() const;

protected:
    // Opens the dataset (an open one stays as it is) and takes the main window's grid font.
    void FormCreate();
    // Sets the record count; runs on every change of the current row or the data.
    virtual void DsLocDataChange(TField *field);
    // The report, mail and export of the list toolbar, all titled with the caption.
    // The grid as a numbered table under the caption, shown in the report window.
    virtual void BtnRepClick();
    // The grid as TAB-separated lines in a new message of the mail client.
    virtual void BtnSendToMailClick();
    // The grid as a CSV file the user chooses.
    virtual void BtnExportClick();
    virtual void BtnCloseClick();
};
