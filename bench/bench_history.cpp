// Speed of a post with its history of changes over a large register (100,000 items, 1,000,000
// history rows): a post from the main list with its history against the same post without it
// (the register's triggers taken away for those rounds), goal at most 1.2. One row's history
// opening in its window: bench_historywindow.
// First on the embedded database, then on the shared server that TAVRELL_TEST_PGSERVER names
// (bench_history --server: the server alone).
// Usage: bench_history [--server] [items history posts]   (default 100000 1000000 500)
#include "BenchItems.h"
#include "core/Process.h"
#include "core/Session.h"
#include "db/TDataSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// History rows for random items of the register, several columns a change (fixed seed).
void generateHistory(QSqlDatabase db, int items, int rows)
{
    static const char *const fields[] = {"name", "nomer", "seria", "curstate", "otdel", "info"};
    QRandomGenerator rng(11);
    db.transaction();
    bench::Insert h(db, "history",
                    {QStringLiteral("dt"), QStringLiteral("usr"), QStringLiteral("tblname"), QStringLiteral("rowkey"),
                     QStringLiteral("action"), QStringLiteral("field"), QStringLiteral("was"),
                     QStringLiteral("became")});
    const QDateTime base(QDate(2020, 1, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        h.addBindValue(dm->backend().toDb(base.addSecs(i * 60)));
        h.addBindValue(1 + rng.bounded(4));
        h.addBindValue(QStringLiteral("izdel"));
        h.addBindValue(QString::number(1000 + rng.bounded(items)));
        h.addBindValue(QStringLiteral("U"));
        h.addBindValue(QString::fromLatin1(fields[rng.bounded(6)]));
        h.addBindValue(QStringLiteral("было %1").arg(rng.bounded(1000)));
        h.addBindValue(QStringLiteral("стало %1").arg(rng.bounded(1000)));
        h.exec();
    }
    h.finish();
    db.commit();
}

// The register's triggers of the history on or off (the embedded database's are the
// connection's own: made again by opening the database once more).
void recordItems(bool on, bool server)
{
    if (server) {
        QSqlQuery q(dm->connection());
        q.exec(QStringLiteral("ALTER TABLE izdel %1 TRIGGER history_izdel").arg(on ? "ENABLE" : "DISABLE"));
    } else if (on) {
        dm->backend().execBatch(QStringLiteral("use [org_tech]"));
    } else {
        QSqlQuery q(dm->connection());
        q.exec(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE type = 'trigger' AND tbl_name = 'izdel'"));
        QStringList names;
        while (q.next())
            names << q.value(0).toString();
        q.finish();
        for (const QString &name : names)
            q.exec(QStringLiteral("DROP TRIGGER temp.") + name);
    }
}

qint64 historyRows()
{
    QSqlQuery q(dm->connection());
    q.exec(QStringLiteral("select count(*) from history"));
    return q.next() ? q.value(0).toLongLong() : -1;
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
    const int rows = argc > 2 ? atoi(argv[2]) : 1000000;
    const int posts = argc > 3 ? atoi(argv[3]) : 500;
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    generateHistory(db, items, rows);
    bench::analyze(db, target);
    session().CurrentUserId = 1;

    // ---- Posts from the main list, with and without the history, rounds alternating ----
    auto list = bench::equipmentList(QString());
    list->Open();
    int round = 0;
    auto postRound = [&] {
        list->setRecNo(1 + (round++ * posts) % std::max(1, list->RecordCount() - posts));
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < posts; ++i) {
            list->Edit();
            const QString name = list->FieldByName(QStringLiteral("Nomer"))->AsString();
            list->FieldByName(QStringLiteral("Nomer"))
                ->setText(name.endsWith(QLatin1Char('x')) ? name.chopped(1) : name + QLatin1Char('x'));
            list->Post();
            list->Next();
        }
        return t.nsecsElapsed() / 1e6 / posts;
    };
    double without = -1, with = -1;
    const qint64 before = historyRows();
    for (int r = 0; r < 3; ++r) {
        recordItems(false, target.server);
        const double a = postRound();
        recordItems(true, target.server);
        const double b = postRound();
        without = without < 0 ? a : std::min(without, a);
        with = with < 0 ? b : std::min(with, b);
    }
    const qint64 recorded = historyRows() - before;

    printf("items: %d, history rows: %d, posts a round: %d (history rows they wrote: %lld)\n", items, rows, posts,
           recorded);
    printf("a post without the history:        %7.3f ms\n", without);
    printf("a post with it:                    %7.3f ms\n", with);
    printf("ratio (<= 1.2):                    %7.2f\n", with / without);
    list.reset();
    db = QSqlDatabase();
    module.reset();
    return target.thenOnServer(recorded == qint64(3) * posts ? 0 : 1, argc, argv);
}
