// Speed of the history of one row over a large history (goal: under 50 ms from the click to
// the filled window): an item's, read by the index (tblname, rowkey, id), and a repair's,
// which also reads its operations' and resources' lines. First on the embedded database,
// then on the shared server that TAVRELL_TEST_PGSERVER names (bench_historywindow --server: the
// server alone).
// Usage: bench_historywindow [--server] [history rows] (default 1000000)
#include "BenchItems.h"
#include "core/Process.h"
#include "core/Session.h"
#include "lists/HistoryWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// Changes spread over 20000 items, 20000 repairs with their lines, and the directories;
// fixed seed.
void generate(QSqlDatabase db, int rows)
{
    QRandomGenerator rng(11);
    db.transaction();
    bench::Insert q(db, "history",
                    {QStringLiteral("dt"), QStringLiteral("usr"), QStringLiteral("tblname"), QStringLiteral("rowkey"),
                     QStringLiteral("action"), QStringLiteral("field"), QStringLiteral("was"),
                     QStringLiteral("became")});
    const QDateTime first(QDate(2015, 1, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        const int kind = rng.bounded(10);
        QString table, key, field, was, became;
        if (kind < 4) {
            table = QStringLiteral("izdel");
            key = QString::number(1000 + rng.bounded(20000));
            field = QStringLiteral("curstate");
            was = QString::number(1 + rng.bounded(6));
            became = QString::number(1 + rng.bounded(6));
        } else if (kind < 6) {
            table = QStringLiteral("remont");
            key = QString::number(1000 + rng.bounded(20000));
            field = QStringLiteral("prichina");
            was = QStringLiteral("замена");
            became = QStringLiteral("заправка");
        } else if (kind < 8) {
            table = kind == 6 ? QStringLiteral("rem_op") : QStringLiteral("rem_res");
            key = QStringLiteral("%1/%2").arg(1000 + rng.bounded(20000)).arg(kind == 6 ? 1 + rng.bounded(2) : 100);
            field = kind == 6 ? QStringLiteral("state") : QStringLiteral("cnt");
            was = QStringLiteral("1");
            became = QStringLiteral("2.5");
        } else {
            table = QStringLiteral("otdel");
            key = QString::number(11 + rng.bounded(5));
            field = QStringLiteral("name");
            was = QStringLiteral("Отдел %1").arg(i);
            became = QStringLiteral("Отдел %1").arg(i + 1);
        }
        q.addBindValue(dm->backend().toDb(first.addSecs(i * 60)));
        q.addBindValue(1 + rng.bounded(4));
        q.addBindValue(table);
        q.addBindValue(key);
        q.addBindValue(QStringLiteral("U"));
        q.addBindValue(field);
        q.addBindValue(was);
        q.addBindValue(became);
        q.exec();
    }
    q.finish();
    db.commit();
}

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
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    generate(db, rows);
    bench::analyze(db, target);
    session().CurrentUserType = QStringLiteral("A");

    int itemRows = 0, repairRows = 0;
    const double item = best(5, [&] {
        TFrmHistory w(QStringLiteral("izdel"), QStringLiteral("1234"), QString());
        itemRows = w.DsLoc->DataSet()->RecordCount();
    });
    const double repair = best(5, [&] {
        TFrmHistory w(QStringLiteral("remont"), QStringLiteral("1234"), QString());
        repairRows = w.DsLoc->DataSet()->RecordCount();
    });
    printf("history rows %d\n", rows);
    printf("an item's history (goal < 50 ms):   %.1f ms (%d rows)\n", item, itemRows);
    printf("a repair's history (goal < 50 ms):  %.1f ms (%d rows)\n", repair, repairRows);
    return 0;
}
