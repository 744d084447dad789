#pragma once
// What the other copies of the program change in the tables the history of changes follows,
// as it arrives: which rows, made, changed or deleted. The shared server tells (a notice
// each committed change sends); on the embedded database a copy looks twice a second whether
// another connection has committed since, and reads what from the history. A copy's own
// changes never arrive.
#include <QList>
#include <QObject>
#include <QString>

struct RowChange {
    QString table;    // lower case, as the history names it
    QString key;      // as the history keeps it ("200/1")
    char action = 0;  // History::Insert, Update or Delete: the last change of the row
    bool operator==(const RowChange &o) const { return table == o.table && key == o.key && action == o.action; }
};

class ChangeFeed : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // How often the embedded database is looked at.
    static constexpr int PollMs = 500;

    // Looks at once (the embedded database; a server's notices come by themselves).
    virtual void poll() {}

signals:
    // The rows that changed since the last time, each once, in the order of their last change.
    void arrived(const QList<RowChange> &changes);

protected:
    // Several changes of a row as one, its last.
    static QList<RowChange> lastOfEach(const QList<RowChange> &changes);
};
