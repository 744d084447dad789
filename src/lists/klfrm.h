#pragma once
// The list window template: a top bar with the record navigator and the report, mail,
// export and close buttons, a grid over the data source DsLoc, and a one-panel status bar
// that counts the records. It is built from one declaration (ListWindowDecl.h); a window
// with handlers of its own derives from it and adds them.
#include "core/Seams.h"
#include "db/DBNavigator.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "lists/ListWindowDecl.h"

#include <QDialog>
#include <utility>

class QHBoxLayout;
class QStatusBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

class TFrmKl : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate (the dataset is opened).
    explicit TFrmKl(const ListWindowDecl &decl, QWidget *parent = nullptr);
    ~TFrmKl() override;

    TDataSource *DsLoc;
    QWidget *Panel1;
    DBNavigator *DBNavigator1;
    QToolButton *BtnRep;
    QToolButton *BtnSendToMail;
    QToolButton *BtnExport;
    QToolButton *BtnClose;
    QToolButton *BtnHistory = nullptr;  // declared with a history table only
    TDBGrid *grid;
    QStatusBar *StatusBar;  // null when declared without one

    const ListWindowDecl &decl() const { return m_decl; }
    // The status text "Всего %d запись(сей)" as shown.
    QString statusText() const;

    // A further button (as declared in ListWindowDecl::Buttons); a window with handlers of
    // its own adds its buttons here, in its constructor.
    QToolButton *addToolButton(const ListButton &button);
    // Any further control on the top bar (a label, a choice, a check box).
    void addToolWidget(QWidget *widget, ToolPlace place);
    // Sets each further button's enabled state by its rule.
    void updateToolButtons();

    // Stores what the user typed into a control he has not left (a grid's cell editor, a
    // bound edit) in its row. The window does it before any of its controls acts and
    // before it closes; false when a value was refused (shown; the control keeps it).
    bool commitEdits();

    // Closing stores typed values first, then asks closeQuery(); a refusal keeps the window
    // open.
    void done(int result) override;
    // Closes the window through done() when it is still open (its modal loop was ended
    // from outside, as when the program ends).
    void finish();

protected:
    // The window's layout, top to bottom: Panel1, grid, StatusBar. A window inserts its own
    // panels here.
    QVBoxLayout *windowLayout() const { return m_layout; }
    // Opens the dataset (an open one stays as it is) and takes the main window's grid font.
    void FormCreate();
    // Sets the record count; runs on every change of the current row or the data.
    virtual void DsLocDataChange(TField *field);
    // The report, mail and export of the list toolbar, all titled with the caption.
    // The grid as a numbered table under the caption, shown in the report window.
    // A declared heading line stands between the caption and the table.
    void BtnRepClick();
    // The grid as TAB-separated lines in a new message of the mail client.
    void BtnSendToMailClick();
    // The grid as a CSV file the user chooses.
    void BtnExportClick();
    void BtnCloseClick();
    // The current row's history of changes.
    void BtnHistoryClick();
    // Whether the window may close now (a window that saves a pending row on closing does
    // it here); typed values are already stored in the row.
    virtual bool closeQuery() { return true; }

    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildColumns();
    ListWindowDecl m_decl;
    QHBoxLayout *m_bar;
    QVBoxLayout *m_layout;
    QList<std::pair<QToolButton *, ListButton::Rule>> m_rules;
    bool m_madeReadOnly = false;
    bool m_shown = false;
    bool m_destroying = false;
};

// Opens a declared list window modally and destroys it when it closes; returns the dialog's
// result. An error while opening (the dataset cannot be read) reaches the caller.
int showListWindow(const ListWindowDecl &decl, QWidget *parent = nullptr);

// The same for a window with handlers of its own: showModal<TFrmOper>(parent).
template <typename Window, typename... Args> int showModal(Args &&...args)
{
    Window window(std::forward<Args>(args)...);
    const int result = Seams::dialogs().exec(window);
    window.finish();
    return result;
}
