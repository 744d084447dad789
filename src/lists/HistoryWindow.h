#pragma once
// The history of changes as a reader reads it: "История изменений" of one row (an item, a
// repair with its operations and resources, a request, a directory's row, a user), and the
// pieces the administrator's view of the whole history shares with it. Its values are shown
// as the program's own windows show them: labels of the columns, names instead of keys,
// dates and numbers in the running locale's form.
#include "lists/klfrm.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace RowHistory {

// The tables the history keeps, in the order a user picks them from.
QStringList tables();
// A table's name for a user ("Оргтехника"); the name itself for one it does not know.
QString tableTitle(const QString &table);
// Whether the logged-in user may read the history of a table: whoever may see the table.
bool mayView(const QString &table);
// The label the program's windows give a column ("Дата вып"); the column's name without one.
QString fieldLabel(const QString &table, const QString &field);

}  // namespace RowHistory

// The texts of history rows: what a column's label and a stored value read as. The names the
// values stand for are read once for the rows a dataset holds (load), never per row.
class HistoryTexts {
public:
    // Reads the directories' names and the names of the items the rows name.
    void load(TDataSet &rows);
    // The column's label; a repair's operation or resource line names which one it is.
    QString label(const QString &table, const QString &rowKey, const QString &field) const;
    // A stored value as a reader reads it; `stored` null for none.
    QString value(const QString &table, const QString &field, const QVariant &stored) const;

private:
    QString nameOf(const QString &source, const QString &key) const;
    QHash<QString, QHash<QString, QString>> m_names;  // by source ("states", "izdel"), then key
};

// Declares the fields of a history query: when, who, the column's label, before and after;
// with `tableAndKey` also the table's name and the row's key (the whole history).
void declareHistoryFields(TDataSet &ds, const std::shared_ptr<HistoryTexts> &texts, bool tableAndKey);
// The select list and joins of a history query, each row's user by his login.
QString historySelect();
// The order of one row's history: the newest change first, the columns of one change in their
// table's order (the embedded database records them in no set order). A change: the rows of
// one row with one time, user and action.
QString changeOrder();

// The history of one row, newest first. A repair's includes its operations and resources.
class TFrmHistory : public TFrmKl {
    Q_OBJECT
public:
    // `rowName` is what the report's heading names the row by.
    TFrmHistory(const QString &table, const QString &key, const QString &rowName, QWidget *parent = nullptr);

private:
    static ListWindowDecl declaration(const QString &table, const QString &key, const QString &rowName,
                                      const std::shared_ptr<HistoryTexts> &texts);
};

// Opens the history of one row modally; tells a user who may not read it so instead.
void showRowHistory(const QString &table, const QString &key, const QString &rowName, QWidget *parent = nullptr);

// What names an item for a user: its name, series and number.
QString itemTitle(const QString &name, const QString &series, const QString &number);
