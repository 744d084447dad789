#include "storage/History.h"

namespace History {

const QList<Table> &tables()
{
    static const QList<Table> all{
        {QStringLiteral("izdel"), {QStringLiteral("id")}},
        {QStringLiteral("remont"), {QStringLiteral("id")}},
        {QStringLiteral("rem_op"), {QStringLiteral("rem_id"), QStringLiteral("op_id")}},
        {QStringLiteral("rem_res"), {QStringLiteral("rem_id"), QStringLiteral("res_id")}},
        {QStringLiteral("zajav"), {QStringLiteral("id")}},
        {QStringLiteral("vidu"), {QStringLiteral("id")}},
        {QStringLiteral("states"), {QStringLiteral("id")}},
        {QStringLiteral("resurs"), {QStringLiteral("id")}},
        {QStringLiteral("operations"), {QStringLiteral("id")}},
        {QStringLiteral("otdel"), {QStringLiteral("id")}},
        {QStringLiteral("users"), {QStringLiteral("id")}},
    };
    return all;
}

bool hidesValue(const QString &table, const QString &column)
{
    return table.compare(QLatin1String("users"), Qt::CaseInsensitive) == 0 &&
           column.compare(QLatin1String("passw"), Qt::CaseInsensitive) == 0;
}

bool ignores(const QString &table, const QString &column)
{
    return table.compare(QLatin1String("users"), Qt::CaseInsensitive) == 0 &&
           column.compare(QLatin1String("lastenter"), Qt::CaseInsensitive) == 0;
}

}  // namespace History
