// Speed of the requests window and of the consumption report, measured side by side in one
// run over a large database:
//   - the consumption of one month: from a change of a date to the filled grid (goal: under
//     100 ms); of the whole history: as a ratio to the bare GROUP BY run through QSqlQuery
//     (goal: at most 2);
//   - opening "Заявки" (items read again, the requests read) as a ratio to a bare QSqlQuery
//     loop reading the same rows (goal: at most 2);
//   - switching the filter among its four choices (goal: under 50 ms each).
// First on the embedded database, then on the shared server that TAVRELL_TEST_PGSERVER names
// (bench_requests --server: the server alone), where the bare reads are also a libpq loop
// reading every value as text, with the same goals.
// Usage: bench_requests [--server] [items repairs lines requests]
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

// Repairs over ten years with their resource lines (a repair uses distinct resources), and
// requests in every state; fixed seed.
void generate(QSqlDatabase db, int items, int repairs, int lines, int requests)
{
    QRandomGenerator rng(7);
    db.transaction();
    bench::Insert res(db, "resurs", {QStringLiteral("id"), QStringLiteral("Name"), QStringLiteral("Ed_izmer")});
    for (int i = 0; i < Resources; ++i) {
        res.addBindValue(1000 + i);
        res.addBindValue(QStringLiteral("Ресурс %1").arg(i % 50));  // a few names twice
        res.addBindValue(i % 2 ? QStringLiteral("шт.") : QStringLiteral("гр."));
        res.exec();
    }
    res.finish();
    const QDate first(2015, 1, 1);
    bench::Insert rem(db, "remont",
                      {QStringLiteral("id"), QStringLiteral("Kod_vida"), QStringLiteral("Kod_izd"),
                       QStringLiteral("Otdel"), QStringLiteral("Prichina"), QStringLiteral("Nach_rem"),
                       QStringLiteral("Specialist")});
    for (int i = 0; i < repairs; ++i) {
        rem.addBindValue(1000 + i);
        rem.addBindValue(11);
        rem.addBindValue(1000 + rng.bounded(items));
        rem.addBindValue(QStringLiteral("Технический"));
        rem.addBindValue(QStringLiteral("замена"));
        rem.addBindValue(dm->backend().toDb(QDateTime(first.addDays(rng.bounded(3650)), QTime(0, 0))));
        rem.addBindValue(QStringLiteral("Петров"));
        rem.exec();
    }
    rem.finish();
    bench::Insert q(db, "rem_res", {QStringLiteral("rem_id"), QStringLiteral("res_id"), QStringLiteral("cnt")});
    const int perRepair = std::max(1, lines / std::max(1, repairs));
    for (int i = 0; i < repairs; ++i) {
        const int start = rng.bounded(Resources);
        for (int k = 0; k < perRepair && k < Resources; ++k) {
            q.addBindValue(1000 + i);
            q.addBindValue(1000 + (start + k) % Resources);
            q.addBindValue(k == 3 ? QVariant(QMetaType(QMetaType::Double)) : QVariant(1.0 + rng.bounded(20)));
            q.exec();
        }
    }
    q.finish();
    bench::Insert req(db, "zajav",
                      {QStringLiteral("id"), QStringLiteral("izd"), QStringLiteral("Otdel"), QStringLiteral("Opis"),
                       QStringLiteral("Data"), QStringLiteral("Prim"), QStringLiteral("State"), QStringLiteral("fio"),
                       QStringLiteral("Phone"), QStringLiteral("MayBy")});
    for (int i = 0; i < requests; ++i) {
        req.addBindValue(1000 + i);
        req.addBindValue(1000 + rng.bounded(items));
        req.addBindValue(11 + rng.bounded(5));
        req.addBindValue(QStringLiteral("не печатает %1").arg(i));
        req.addBindValue(dm->backend().toDb(QDateTime(first.addDays(rng.bounded(3650)), QTime(0, 0))));
        req.addBindValue(i % 4 ? QVariant(QMetaType(QMetaType::QString))
                               : QVariant(QStringLiteral("\r\nЗакрыто :01.02.2020")));
        req.addBindValue(i % 10 == 9 ? QVariant(QMetaType(QMetaType::Int)) : QVariant(rng.bounded(3)));
        req.addBindValue(QStringLiteral("Иванов И.И."));
        req.addBindValue(QStringLiteral("22-33-44"));
        req.addBindValue(QStringLiteral("картридж"));
        req.exec();
    }
    req.finish();
    db.commit();
}

// The fastest of some rounds, in ms.
template <class Fn> double best(int rounds, Fn fn)
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

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Process::prepare();
    const bench::Target target = bench::Target::of(argc, argv);
    QApplication app(argc, argv);
    if (!target.usable())
        return 0;
    target.heading();
    const int items = argc > 1 ? atoi(argv[1]) : 100000;
    const int repairs = argc > 2 ? atoi(argv[2]) : 200000;
    const int lines = argc > 3 ? atoi(argv[3]) : 1000000;
    const int requests = argc > 4 ? atoi(argv[4]) : 100000;
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    generate(db, items, repairs, lines, requests);
    bench::analyze(db, target);
    const QVector<bench::Floor> floors = bench::floors(db, target);

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
    const QVector<double> bareHistory =
        bench::floorTimes(floors, 3, rash.qry->SQL(),
                          {{QStringLiteral(":d0"), dm->backend().toDb(QDateTime(QDate(2000, 1, 1), QTime(0, 0)))},
                           {QStringLiteral(":d1"), dm->backend().toDb(QDateTime(QDate(2030, 1, 1), QTime(0, 0)))}});

    // ---- Opening "Заявки" ----
    QVector<double> bareOpen(floors.size(), 0);
    for (const char *sql : {"select * from izdel", "select * from zajav"}) {
        const QVector<double> one = bench::floorTimes(floors, 3, QString::fromLatin1(sql));
        for (int i = 0; i < floors.size(); ++i)
            bareOpen[i] += one[i];
    }
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
    for (int i = 0; i < floors.size(); ++i)
        printf("the bare GROUP BY, %-26s %.1f ms\n", floors[i].name, bareHistory[i]);
    printf("ratio (goal <= 2):                           %s\n",
           bench::ratios(history, bareHistory, floors).constData());
    printf("opening \"Заявки\":                            %.1f ms (%d requests)\n", open, dm->Tblzajav->RecordCount());
    for (int i = 0; i < floors.size(); ++i)
        printf("items and requests, %-25s %.1f ms\n", floors[i].name, bareOpen[i]);
    printf("ratio (goal <= 2):                           %s\n", bench::ratios(open, bareOpen, floors).constData());
    const char *names[] = {"Все", "Не закрытые", "Закрытые", "Приостановленные"};
    for (int c = 0; c < 4; ++c)
        printf("filter \"%s\" (goal < 50 ms): %.1f ms (%d rows)\n", names[c], filter[c], shown[c]);
    return target.thenOnServer(historyRows > 0 ? 0 : 1, argc, argv);
}
