#pragma once
// The search window "Поиск": words typed here are looked for in every field of every item of
// the main window's list as it is held in memory. One window for the whole run, created on
// first use, hidden rather than destroyed, not modal; the main window moves to the first
// match and highlights every match while the window is visible.
#include "admin/findindex.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QVector>
#include <QWidget>
#include <functional>

class QAction;
class QLineEdit;
class QListView;
class QMenu;
class QToolButton;

// The items of `List`: the text "105 : Name,Proizvod" (display role) and the key (KeyRole).
class FindResultList : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole;
    using QAbstractListModel::QAbstractListModel;
    void setResults(QVector<FindResult> results, FindIndex *index);
    // Adds those of `results` beyond the ones listed (a search going on).
    void appendResults(const QVector<FindResult> &results);
    const QVector<FindResult> &results() const { return m_results; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Whether a key is among the items.
    bool hasKey(int id) const;
    // The items' keys, in ascending order.
    std::vector<int> sortedKeys() const;

private:
    QVector<FindResult> m_results;
    QStringList m_fieldNames;  // of the index the results came from
    mutable std::vector<int> m_keys;
    mutable bool m_keysSorted = false;
};

class TFrmFind : public QWidget {
    Q_OBJECT
public:
    explicit TFrmFind(QWidget *parent = nullptr);

    QWidget *Panel1;
    QLineEdit *Edit1;
    QToolButton *btn;  // the number of results; down: the list is shown
    QListView *List;
    FindResultList *ListItems;
    QMenu *PopupMenu1;
    QAction *N1;  // "Поверх всех окон"

    // The record set searched: owned by somebody else, never opened or closed here.
    void setDataSet(TDataSet *dataSet);
    TDataSet *dataSet() const { return m_list; }
    // Whether the window is visible and lists the item (the main window's grid colouring).
    bool highlights(int id) const;
    // Given what the main window is to highlight whenever it changes (results, shown,
    // hidden): the keys listed, in ascending order, while the window is visible; none else.
    std::function<void(std::vector<int> keys)> OnHighlightChange;
    // Gives it now (a main window that has just asked for the search).
    void highlightChanged();

    void Edit1Change();
    void ListClick();
    void btnClick();
    void N1Click();
    void FormResize();
    void FormCreate();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void follow(FindIndex *index);
    // More results of the running search, or its results changed.
    void searchProgressed();
    // Counts the results and, once a keystroke, moves the main window to the first match.
    void showResults(bool atKeystroke);
    QPointer<TDataSet> m_list;  // the main list searched
    QPointer<FindIndex> m_index;
    QMetaObject::Connection m_progress;
    quint64 m_epoch = 0;
    bool m_moved = true;  // the main window has been moved for the current text
    bool m_centred = false;
};

// Creates the window on its first call (it lives until the program ends), makes the record
// set the one to search and shows the window, not modally; later calls show it again with
// its text and results as they were. `owner`: the window it serves (the main window), which
// runs modally for the whole working time: the search window must belong to it to take
// input, and goes with it.
void ShowFindWindow(TDataSet *dataSet, QWidget *owner = nullptr);
// The window; null before the first ShowFindWindow.
TFrmFind *FindWindow();
// Destroys the window (at the program's end; tests start afresh with it).
void DestroyFindWindow();
