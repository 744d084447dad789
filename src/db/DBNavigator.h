#pragma once
// The record navigator: ten buttons that move through and edit a data source's dataset,
// each enabled by the dataset's state and position. Delete asks first ("Delete record?",
// caption "Confirm", OK and Cancel). Every button enters through the general error display.
//
//     DBNavigator1 = new DBNavigator(Panel1);
//     DBNavigator1->setDataSource(DsLoc);
//     DBNavigator1->setVisibleButtons(DBNavigator::ListButtons);  // nine, no refresh
//     DBNavigator1->setHints(DBNavigator::russianHints());        // the default
#include "db/TDataSet.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QToolButton;

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;
    using Buttons = QList<Button>;
    static Buttons AllButtons();
    // The list windows' navigator: all but refresh.
    static Buttons ListButtons();
    // Moving only: first, prior, next, last.
    static Buttons MoveButtons();

    // The hints of the list windows (ten, the last for the refresh button).
    static QStringList russianHints();
    // The standard hints ("First record" ... "Refresh data").
    static QStringList standardHints();

    explicit DBNavigator(QWidget *parent = nullptr);
    void setDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }

    void setVisibleButtons(const Buttons &buttons);
    bool isButtonVisible(Button b) const;
    void setHints(const QStringList &hints);
    QStringList hints() const { return m_hints; }
    // Whether Delete asks first (it does by default).
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }

    QToolButton *button(Button b) const { return m_buttons[b]; }
    // Presses a button as the user would (through the general error display).
    void BtnClick(Button b);

signals:
    // After a button's action ran (also when it failed).
    void clicked(DBNavigator::Button button);

public slots:
    void updateButtons();

private:
    void act(Button b);
    QPointer<TDataSource> m_source;
    QToolButton *m_buttons[ButtonCount];
    QStringList m_hints;
    bool m_confirmDelete = true;
};
