#include "storage/ChangeFeed.h"

#include <QHash>

QList<RowChange> ChangeFeed::lastOfEach(const QList<RowChange> &changes)
{
    QHash<QString, qsizetype> last;
    for (qsizetype i = 0; i < changes.size(); ++i)
        last.insert(changes.at(i).table + QLatin1Char(' ') + changes.at(i).key, i);
    QList<RowChange> out;
    for (qsizetype i = 0; i < changes.size(); ++i)
        if (last.value(changes.at(i).table + QLatin1Char(' ') + changes.at(i).key) == i)
            out.append(changes.at(i));
    return out;
}
