// Speed of the requests window and of the consumption report (embedded database), measured
// side by side in one run over a large database:
//   - the consumption of one month: from a change of a date to the filled grid (goal: under
//     100 ms); of the whole history: as a ratio to the bare GROUP BY run through QSqlQuery
//     (goal: at most 2);
//   - opening "Заявки" (items read again, the requests read) as a ratio to a bare QSqlQuery
//     loop reading the same rows (goal: at most 2);
//   - switching the filter among its four choices (goal: under 50 ms each).
// Usage: bench_requests [items repairs lines requests]
//        (default 100000 200000 1000000 100000)
#include "BenchItems.h"
#include "core/Process.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "repairs/rashrep.h"
#include "repairs/zajaw.h"
#include "storage/Backend.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Resources = 60;

bool run(QSqlQuery &q)
{
    if (q.exec())
        return true;
    fprintf(stderr, "insert failed: %s\n", qPrintable(q.lastError().text()));
    return false;
}

// Repairs over ten years with their resource lines (a repair uses distinct resources), and
// requests in every state; fixed seed.
bool generate(QSqlDatabase db, int items, int repairs, int lines, int requests)
{
    QRandomGenerator rng(7);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into resurs (id, Name, Ed_izmer) values (?, ?, ?)"));
    for (int i = 0; i < Resources; ++i) {
        q.addBindValue(1000 + i);
        q.addBindValue(QStringLiteral("Ресурс %1").arg(i % 50));  // a few names twice
        q.addBindValue(i % 2 ? QStringLiteral("шт.") : QStringLiteral("гр."));
        if (!run(q))
            return false;
    }
    const QDate first(2015, 1, 1);
    q.prepare(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Otdel, Prichina, Nach_rem, Specialist) "
                             "values (?, 11, ?, 'Технический', 'замена', ?, 'Петров')"));
    for (int i = 0; i < repairs; ++i) {
        q.addBindValue(1000 + i);
        q.addBindValue(1000 + rng.bounded(items));
        q.addBindValue(dm->backend().toDb(QDateTime(first.addDays(rng.bounded(3650)), QTime(0, 0))));
        if (!run(q))
            return false;
    }
    q.prepare(QStringLiteral("insert into rem_res (rem_id, res_id, cnt) values (?, ?, ?)"));
    const int perRepair = std::max(1, lines / std::max(1, repairs));
    for (int i = 0; i < repairs; ++i) {
        const int start = rng.bounded(Resources);
        for (int k = 0; k < perRepair && k < Resources; ++k) {
            q.addBindValue(1000 + i);
            q.addBindValue(1000 + (start + k) % Resources);
            q.addBindValue(k == 3 ? QVariant(QMetaType(QMetaType::Double)) : QVariant(1.0 + rng.bounded(20)));
            if (!run(q))
                return false;
        }
    }
    q.prepare(QStringLiteral("insert into zajav (id, izd, Otdel, Opis, Data, Prim, State, fio, Phone, MayBy) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < requests; ++i) {
        q.addBindValue(1000 + i);
        q.addBindValue(1000 + rng.bounded(items));
        q.addBindValue(11 + rng.bounded(5));
        q.addBindValue(QStringLiteral("не печатает %1").arg(i));
        q.addBindValue(dm->backend().toDb(QDateTime(first.addDays(rng.bounded(3650)), QTime(0, 0))));
        q.addBindValue(i % 4 ? QVariant(QMetaType(QMetaType::QString)) : QVariant(QStringLiteral("\r\nЗакрыто :01.02.2020")));
        q.addBindValue(i % 10 == 9 ? QVariant(QMetaType(QMetaType::Int)) : QVariant(rng.bounded(3)));
        q.addBindValue(QStringLiteral("Иванов И.И."));
        q.addBindValue(QStringLiteral("22-33-44"));
        q.addBindValue(QStringLiteral("картридж"));
        if (!run(q))
            return false;
    }
    return db.commit();
}

// The fastest of some rounds, in ms.
template <class Fn>
double best(int rounds, Fn fn)
{
    double b = -1;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        const double e = t.nsecsElapsed() / 1e6;
        b = b < 0 ? e : std::min(b, e);
    }
    return b;
}

// Reads every value of a query's rows.
qint64 readAll(QSqlQuery &q)
{
    const int cols = q.record().count();
    qint64 n = 0;
    while (q.next())
        for (int c = 0; c < cols; ++c)
            n += q.value(c).isValid();
    return n;
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Process::prepare();
    QApplication app(argc, argv);
    const int items = argc > 1 ? atoi(argv[1]) : 100000;
    const int repairs = argc > 2 ? atoi(argv[2]) : 200000;
    const int lines = argc > 3 ? atoi(argv[3]) : 1000000;
    const int requests = argc > 4 ? atoi(argv[4]) : 100000;
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path());
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    if (!generate(db, items, repairs, lines, requests))
        return 1;

    // ---- The consumption report ----
    TFrmRashRep rash;
    const QDate month(2020, 6, 15);
    {
        const QSignalBlocker b(rash.d0);
        rash.d0->setDate(month.addMonths(-1));
    }
    bool flip = false;
    // Each round a date change (alternating days, so that it is a change).
    const double oneMonth = best(5, [&] {
        rash.d1->setDate(month.addDays(flip ? 1 : 0));
        flip = !flip;
    });
    const int monthRows = rash.qry->RecordCount();
    {
        const QSignalBlocker b(rash.d0);
        rash.d0->setDate(QDate(2000, 1, 1));
    }
    flip = false;
    const double history = best(3, [&] {
        rash.d1->setDate(QDate(2030, 1, 1).addDays(flip ? 1 : 0));
        flip = !flip;
    });
    const int historyRows = rash.qry->RecordCount();
    qint64 n = 0;
    const double bareHistory = best(3, [&] {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(rash.qry->SQL());
        q.bindValue(QStringLiteral(":d0"), dm->backend().toDb(QDateTime(QDate(2000, 1, 1), QTime(0, 0))));
        q.bindValue(QStringLiteral(":d1"), dm->backend().toDb(QDateTime(QDate(2030, 1, 1), QTime(0, 0))));
        q.exec();
        n += readAll(q);
    });

    // ---- Opening "Заявки" ----
    const double bareOpen = best(3, [&] {
        for (const char *sql : {"select * from izdel", "select * from zajav"}) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.exec(QString::fromLatin1(sql));
            n += readAll(q);
        }
    });
    const double open = best(3, [&] {
        dm->Tblzajav->Close();
        TFrmZajaw frm;
    });

    // ---- The filter ----
    TFrmZajaw zajaw;
    zajaw.resize(900, 600);
    double filter[4] = {-1, -1, -1, -1};
    int shown[4] = {0, 0, 0, 0};
    for (int round = 0; round < 3; ++round)
        for (int choice : {1, 2, 3, 0}) {
            QElapsedTimer t;
            t.start();
            zajaw.Combofilter->setCurrentIndex(choice);
            const double e = t.nsecsElapsed() / 1e6;
            filter[choice] = filter[choice] < 0 ? e : std::min(filter[choice], e);
            shown[choice] = dm->Tblzajav->RecordCount();
        }

    printf("items %d, repairs %d, resource lines %d, requests %d\n", items, repairs, lines, requests);
    printf("consumption, one month (goal < 100 ms):      %.1f ms (%d rows)\n", oneMonth, monthRows);
    printf("consumption, whole history:                  %.1f ms (%d rows)\n", history, historyRows);
    printf("bare GROUP BY through QSqlQuery:             %.1f ms\n", bareHistory);
    printf("ratio (goal <= 2):                           %.2f\n", history / bareHistory);
    printf("opening \"Заявки\":                            %.1f ms (%d requests)\n", open, dm->Tblzajav->RecordCount());
    printf("bare QSqlQuery read of items and requests:   %.1f ms\n", bareOpen);
    printf("ratio (goal <= 2):                           %.2f\n", open / bareOpen);
    const char *names[] = {"Все", "Не закрытые", "Закрытые", "Приостановленные"};
    for (int c = 0; c < 4; ++c)
        printf("filter \"%s\" (goal < 50 ms): %.1f ms (%d rows)\n", names[c], filter[c], shown[c]);
    db = QSqlDatabase();
    return n > 0 ? 0 : 1;
}
