#pragma once
// The history of changes: the tables whose inserts, changes and deletes it keeps, with the
// columns that make a row's key in it ("rem_id/op_id" as "200/1"), and what of a row it
// leaves out. Each backend writes it with triggers of its own, in the change's own
// transaction, so that no path of the program can change a row without it.
#include <QList>
#include <QString>
#include <QStringList>

namespace History {

struct Table {
    QString name;  // lower case, as the history names it
    QStringList keys;
};

// The register, the repairs with their operations and resources, the requests, the five
// directories and the users.
const QList<Table> &tables();

// A column whose changes are kept without its values: only that it changed.
bool hidesValue(const QString &table, const QString &column);
// A column whose changes are not kept: the login's own bookkeeping (the user log has it).
bool ignores(const QString &table, const QString &column);

// The kinds of change (history.action).
inline constexpr char Insert = 'I';
inline constexpr char Update = 'U';
inline constexpr char Delete = 'D';

}  // namespace History
