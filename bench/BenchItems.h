#pragma once
// What the benchmarks share: a large generated equipment list, and the main window's
// equipment list declared as the window declares it.
#include "BenchServer.h"
#include "core/Errors.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/TDataSet.h"
#include "storage/Backend.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace bench {

// Inserts `items` equipment items with keys from 1000 on (fixed seed: the same list each run).
inline void generate(QSqlDatabase db, int items)
{
    static const char *const models[] = {"HP LaserJet", "Canon",   "Epson Perfection", "Xerox", "Samsung ML",
                                         "Brother HL",  "Kyocera", "Лексмарк",         "Рикох", "Panasonic"};
    static const char *const kinds[] = {"принтер", "сканер", "ксерокс"};
    static const char *const forms[] = {"A4", "A3", "A2", "A1", "A0", "др."};
    QRandomGenerator rng(42);
    db.transaction();
    Insert q(db, "izdel",
             {QStringLiteral("id"), QStringLiteral("Name"), QStringLiteral("Proizvod"), QStringLiteral("D_vup"),
              QStringLiteral("Seria"), QStringLiteral("Nomer"), QStringLiteral("CurState"), QStringLiteral("otdel"),
              QStringLiteral("form"), QStringLiteral("Info"), QStringLiteral("Resurs")});
    const QDateTime base(QDate(1995, 1, 1), QTime(0, 0));
    for (int i = 0; i < items; ++i) {
        q.bindValue(0, 1000 + i);
        q.bindValue(1, QStringLiteral("%1 %2").arg(QString::fromUtf8(models[rng.bounded(10)])).arg(rng.bounded(10000)));
        q.bindValue(2, QString::fromUtf8(kinds[rng.bounded(3)]));
        q.bindValue(3, dm->backend().toDb(base.addDays(rng.bounded(10000))));
        q.bindValue(4, QStringLiteral("В-%1").arg(rng.bounded(1000000)));
        q.bindValue(5, QString::number(rng.bounded(100000000)));
        q.bindValue(6, 1 + rng.bounded(6));
        q.bindValue(7, 11 + rng.bounded(5));
        q.bindValue(8, QString::fromUtf8(forms[rng.bounded(6)]));
        q.bindValue(9, i % 5 ? QVariant() : QVariant(QStringLiteral("заправлен %1 раз").arg(rng.bounded(20))));
        q.bindValue(10, i % 3 ? QVariant(QString::number(rng.bounded(50000))) : QVariant());
        q.exec();
    }
    q.finish();
    db.commit();
}

// The main window's equipment list: the query, its fields and its two lookups.
inline std::unique_ptr<TDataSet> equipmentList(const QString &where)
{
    auto qry = std::make_unique<TDataSet>();
    qry->setSQL(QStringLiteral("select * from izdel %1\norder by 2").arg(where));
    qry->setUpdateTable(QStringLiteral("izdel"));
    qry->addField(QStringLiteral("id"), FieldType::Integer).setVisible(false);
    qry->addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(QStringLiteral("Название"));
    qry->addField(QStringLiteral("Nomer"), FieldType::String, 15).setDisplayLabel(QStringLiteral("Номер"));
    qry->addField(QStringLiteral("Proizvod"), FieldType::String, 30).setDisplayLabel(QStringLiteral("Тип"));
    qry->addField(QStringLiteral("D_vup"), FieldType::DateTime)
        .setDisplayLabel(QStringLiteral("Дата вып"))
        .setDisplayWidth(10);
    qry->addField(QStringLiteral("Seria"), FieldType::String, 12).setDisplayLabel(QStringLiteral("Серия"));
    qry->addLookupField(QStringLiteral("Состояние"), QStringLiteral("CurState"), dm->TblStates, QStringLiteral("id"),
                        QStringLiteral("Name"));
    qry->addField(QStringLiteral("CurState"), FieldType::Integer).setVisible(false);
    qry->addLookupField(QStringLiteral("Отдел"), QStringLiteral("otdel"), dm->TblOtdel, QStringLiteral("id"),
                        QStringLiteral("Name"), 65)
        .setDisplayWidth(20);
    qry->addField(QStringLiteral("otdel"), FieldType::Integer).setVisible(false);
    for (const char *d : {"D_pred", "D_sled", "D_otpr", "D_poluh"})
        qry->addField(QString::fromLatin1(d), FieldType::DateTime).setVisible(false);
    qry->addField(QStringLiteral("form"), FieldType::FixedChar, 3).setDisplayLabel(QStringLiteral("Формат"));
    qry->addField(QStringLiteral("Info"), FieldType::Memo).setVisible(false);
    qry->addField(QStringLiteral("Resurs"), FieldType::FixedChar, 10).setDisplayLabel(QStringLiteral("Ресурс"));
    return qry;
}

}  // namespace bench
