#pragma once
// A list window as a declaration: everything TFrmKl builds a window from. A directory is one
// declaration and no class of its own:
//
//     ListWindowDecl("FrmKlvidrem", tr("Справочник видов ремонта"), dm->Tblvidu)
//
// A window that reads a query or a table of its own declares it too (OwnDataSet); the
// template makes it, owns it and opens it. A window with handlers of its own derives from
// TFrmKl, fills a declaration for its base and adds its handlers (and buttons with
// addToolButton).
#include "db/DBNavigator.h"

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class TDataSet;
class TFrmKl;

// One column of the grid. A lookup field drops down its lookup's names by itself.
struct ListColumn {
    ListColumn(const QString &fieldName, const QString &title = QString(), int width = -1)
        : FieldName(fieldName), Title(title), Width(width)
    {
    }

    QString FieldName;
    QString Title;          // empty: the field's label
    int Width = -1;         // in characters; -1: the field's display width
    bool ReadOnly = false;  // shown, not typed into
    QStringList PickList;   // a drop-down of fixed texts
    bool Ellipsis = false;  // a "…" button in the cell; pressing it emits TDBGrid::editButtonClick

    ListColumn &readOnly()
    {
        ReadOnly = true;
        return *this;
    }
    ListColumn &pickList(const QStringList &texts)
    {
        PickList = texts;
        return *this;
    }
    ListColumn &ellipsis()
    {
        Ellipsis = true;
        return *this;
    }
};

// Where a further control stands on the top bar: right after the navigator, between the
// export and the close button, or after the close button.
enum class ToolPlace { AfterNavigator, BeforeClose, AfterClose };

// A further button on the top bar.
struct ListButton {
    using Handler = std::function<void(TFrmKl &)>;
    using Rule = std::function<bool(const TFrmKl &)>;

    ListButton(const QString &name, const QString &text, Handler onClick, const QIcon &icon = QIcon())
        : Name(name), Text(text), Icon(icon), OnClick(std::move(onClick))
    {
    }

    QString Name;  // objectName ("BtnCard")
    QString Text;  // the hint; without an icon also the button's caption
    QIcon Icon;
    Handler OnClick;  // runs through the general error display
    Rule Enabled;     // asked on every change of the list; empty: always enabled
    ToolPlace Place = ToolPlace::AfterClose;

    ListButton &enabledWhen(Rule rule)
    {
        Enabled = std::move(rule);
        return *this;
    }
    ListButton &at(ToolPlace place)
    {
        Place = place;
        return *this;
    }

    // The rule "the list has rows" (buttons that act on the current row).
    static bool hasRows(const TFrmKl &window);
};

// A line the report writes between its title and the table (the period or the filter the
// list shows).
struct ReportHeading {
    QString Text;          // empty: no line
    bool Centred = false;  // centred as the title is
};

struct ListWindowDecl {
    ListWindowDecl() = default;
    ListWindowDecl(const QString &name, const QString &caption, TDataSet *dataSet,
                   const QList<ListColumn> &columns = {})
        : Name(name), Caption(caption), DataSet(dataSet), Columns(columns)
    {
    }

    QString Name = QStringLiteral("FrmKl");  // the window's objectName
    // The window's title; also the title of its report, mail and export.
    QString Caption = QCoreApplication::translate("TFrmKl", "Справочник");
    TDataSet *DataSet = nullptr;  // behind DsLoc; opened with the window (an open one stays as it is)
    // A dataset of the window's own instead of a shared one: the template makes it as its
    // child before anything else, has it declared here (its name, statement, fields; further
    // datasets it needs, such as a lookup's, as its children) and opens it as declared. It
    // closes when the window does and goes with the window.
    std::function<void(TDataSet &)> OwnDataSet;
    // Shared tables read again before the dataset opens, so that its lookups see the rows
    // added since they were last read.
    QList<TDataSet *> Reread;
    // The names of the data source and the grid.
    QString DataSourceName = QStringLiteral("DsLoc");
    QString GridName = QStringLiteral("grid");
    QList<ListColumn> Columns;  // empty: the dataset's visible fields, with their labels and widths
    QSize Size{500, 350};

    // The navigator: which buttons it shows and their ten hints (the last for refresh).
    DBNavigator::Buttons NavigatorButtons = DBNavigator::ListButtons();
    QStringList NavigatorHints = DBNavigator::russianHints();

    QList<ListButton> Buttons;  // further buttons, built in this order at their places
    // The close button's name and hint.
    QString CloseName = QStringLiteral("BtnClose");
    QString CloseHint = QCoreApplication::translate("TFrmKl", "Закрыть окно");

    // Nothing is inserted, changed or deleted through this window (the navigator's editing
    // buttons stay disabled); the dataset is read-only only while the window lives.
    bool ReadOnly = false;
    // The grid is typed into (a read-only grid may still leave the window's own buttons
    // to change the dataset).
    bool GridEditable = true;
    // The shared dataset stays open when the window closes (the data module's tables do).
    bool KeepOpen = true;
    // The template opens the dataset with the window; a window whose query needs its
    // parameters set first opens it itself.
    bool OpenOnCreate = true;
    // The one-panel status bar "Всего %d запись(сей)".
    bool HasStatusBar = true;
    // The report's line under its title, as the window shows it when the report is made.
    std::function<ReportHeading(const TFrmKl &)> ReportHeadingOf;

    // The history of changes of the rows: the table it names them by ("otdel"); empty for
    // none. The template then adds the button BtnHistory that opens the current row's.
    QString HistoryTable;
    // The current row's key in that history; empty: the row's "id".
    std::function<QString(const TDataSet &)> HistoryKeyOf;
    // What the history's report names the row by; empty: the row's first shown field.
    std::function<QString(const TDataSet &)> HistoryRowName;
};
