#pragma once
// The main window: the equipment register and the hub from which every other window is
// opened. Created at start-up with its list open, set up for the user after the login,
// shown modally for the whole working time.
#include <QMainWindow>
#include <QString>
#include <vector>

#include "db/TDBGrid.h"

class DBMemo;
enum class OpenedWindow;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;

class TFrmmain : public QMainWindow {
    Q_OBJECT
public:
    // Opens the equipment list (FormCreate).
    explicit TFrmmain(QWidget *parent = nullptr);
    ~TFrmmain() override;

    // ---- Components ----
    TDataSet *Qry;
    TDataSource *DataSource1;
    TDBGrid *Grid;
    QSplitter *Splitter1;
    QWidget *PanelAdd;
    DBMemo *DBMemo1;  // the current item's notes
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel0;  // the item count
    QLabel *StatusPanel1;  // the long hint
    QToolBar *ToolBar1;

    QWidget *PanelFind;  // quick find
    QLineEdit *Edit;
    QToolButton *BtnFulltext;
    QPushButton *BitBtn1;  // hides the quick-find panel

    QWidget *PanelSort;
    QComboBox *ComboSort1;
    QComboBox *ComboSort2;
    QPushButton *BitBtn2;  // hides the sort panel

    QAction *ActAdd, *ActEdit, *ActDel, *ActHistory, *FulltextFind;
    QAction *Action10, *FileAdminUser, *FileLogView, *FileHistoryView, *ActExit;
    QAction *SprVidRemont, *SprStates, *SprResurs, *Action14, *Action1;
    QAction *ObrZajaw, *ObrRemont, *RepRashPerPeriod;
    QAction *ExpToWord, *ExpToMail, *ExpToExcel, *ActPrintCard, *ViewTechOnOtdel;
    QAction *Arhive;
    QAction *ActFont, *ActFind, *ShowAdd, *ViewSortPanel;
    QAction *Action7;

    // ---- State other windows read ----
    // The key of the item the quick find found; -1 for none.
    int FoundId = -1;
    // What follows "order by " in the list's statement; empty until the first sort.
    QString SortFields;
    // The field of the second sort list; empty for "Нет".
    QString SecondSortField;
    // The items the search window lists while it is visible, by key in ascending order:
    // the grid highlights them. Given by the search window whenever they change.
    void setSearchResults(std::vector<int> sortedKeys);

    // ---- Operations ----
    void SetupForUser();
    void SaveUserSettings();
    // Sorts by a grid column, as a click on its title does.
    void GridTitleClick(int column);
    void ComboSort1Change();
    void EditChange();
    void BtnFontClick();
    void ViewSortPanelExecute();
    void ActFindExecute();
    void BitBtn1Click();
    void ShowAddExecute();
    void ActExitExecute();
    void ActUserExecute();
    void ActAboutExecute();
    void DataSource1DataChange();
    // Shows the long part of a hint in the second status panel.
    void ShowAppHint(const QString &hint);

    // Opens a window of repairs or admin (WindowOpeners.h) as its action does, after
    // asking the logged-in user's rights for it.
    void openWindow(OpenedWindow window);
    // Whether the logged-in user's type may use an action of the window.
    bool mayUse(const QAction *action) const;

    // Item editing (editu.cpp).
    void BtnAddClick();
    void BtnEditClick();
    void BtnDelClick();
    // The current item's history of changes.
    void ActHistoryExecute();
    void QryNewRecord(TDataSet &dataSet);

    // Equipment reports (mainreports.cpp).
    void ExpToWordExecute();
    void ExpToMailExecute();
    void ExpToExcelExecute();
    void ActPrintCardExecute();
    void ViewTechOnOtdelExecute();

    // The sort entries: label and field of entry `index`; empty for any other number.
    static QString SortFieldByIndex(int index);
    static QString SortLabelByIndex(int index);
    static constexpr int SortEntryCount = 8;

    // Whether the grid row of item `id` is drawn highlighted.
    bool isHighlighted(int id) const;
    // The grid column whose title is bold, or -1.
    int boldColumn() const;
    // The grid column showing a field, or -1.
    int columnOfField(const QString &fieldName) const;

    // The grid's columns and their widths before scaling to the grid's font.
    struct ColumnWidth {
        const char *field;
        int width;
    };
    static constexpr int GridColumnCount = 9;
    static const ColumnWidth GridColumns[GridColumnCount];
    void applyColumnWidths();
    void fitColumnsToContents();

    // Hint texts: "tooltip|long hint"; a hint without a bar serves as both.
    static QString shortHint(const QString &hint);
    static QString longHint(const QString &hint);
    static void setHint(QWidget *widget, const QString &hint);
    static void setHint(QAction *action, const QString &hint);

    // A grid text colour to and from its stored form: a signed 32-bit colour value, RGB
    // in the low three bytes (red lowest), or a system colour with the high byte 0xFF.
    static int colorToValue(const QColor &color);
    static QColor colorFromValue(int value);

signals:
    // The window has closed (its modal run ends).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    // From the action table (mainactions.cpp).
    void createActions();
    void createMenus();
    void createToolBar();
    QWidget *createFindPanel();
    QWidget *createSortPanel();
    void createStatusBar();
    void fitStatusPanels();
    void fitCountPanel();
    int statusPadding() const;
    void declareQry();
    void declareGrid();
    // Enables the actions of the rights table for a type letter ("" for nobody).
    void applyRights(const QString &userType);
    // The steps of restoring the view settings.
    void restoreGridFont();
    void restoreSortColumn();
    void restoreWindowPlace();
    void setGridFont(const QFont &font, const QColor &color);
    void showCount();
    // The lookup field of the list that shows this key field; null when none does.
    const TField *lookupOfKey(const QString &keyField) const;
    void GridDrawColumnCell(TDBGrid::DrawCell &cell);

    std::vector<int> m_searchResults;  // ascending
    bool m_settingSortList = false;
    bool m_userSetUp = false;
    bool m_closed = false;
    bool m_centred = false;
};

// The main window of the running program (null outside its lifetime).
extern TFrmmain *frmmain;
