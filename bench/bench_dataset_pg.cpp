// Speed of the dataset over a large equipment list on the shared server (the test server
// that TAVRELL_TEST_PGSERVER names; a throwaway database made by the creation script):
//   - a bare QSqlQuery loop, and a bare libpq loop reading every value as text (the floor
//     under any reader, holding the whole result at once); the same libpq loop row by row and
//     in batches from a server cursor, the two ways of reading without holding it all;
//   - the backend's read of the rows alone, against the driver's loop doing the same;
//   - opening the equipment list with its two lookups and showing it in a grid model, as a
//     ratio to the libpq loop (goal: at most 1.3).
// Each figure is the best of three runs: the time it took, and in brackets the processor time
// this program spent (the server's work and a busy machine's waits left out).
// Usage: TAVRELL_TEST_PGSERVER="host=127.0.0.1 port=5432" bench_dataset_pg [items]   (default 100000)
#include "BenchItems.h"
#include "core/Process.h"
#include "db/TDBGrid.h"
#include "storage/PgBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <ctime>
#include <functional>

namespace {

const QString Sql = QStringLiteral("select * from izdel\norder by 2");

struct Figure {
    double ms = -1;     // elapsed
    double cpuMs = -1;  // this process's processor time
};

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The best of three runs; what a run leaves is freed by `clear`, untimed.
Figure best(
    const std::function<void()> &run, const std::function<void()> &clear = [] {})
{
    Figure b;
    for (int round = 0; round < 3; ++round) {
        clear();
        QElapsedTimer t;
        const double cpu = cpuMs();
        t.start();
        run();
        const double e = t.nsecsElapsed() / 1e6, c = cpuMs() - cpu;
        b.ms = b.ms < 0 ? e : std::min(b.ms, e);
        b.cpuMs = b.cpuMs < 0 ? c : std::min(b.cpuMs, c);
    }
    return b;
}

void print(const char *what, const Figure &f) { printf("%-34s %7.1f ms (%6.1f ms)\n", what, f.ms, f.cpuMs); }

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Process::prepare();
    QApplication app(argc, argv);
    bench::Target target;
    target.server = true;
    target.name = qEnvironmentVariable("TAVRELL_TEST_PGSERVER");
    if (!target.usable())
        return 0;
    target.heading();
    const int items = argc > 1 ? atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    auto database = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    bench::analyze(db, target);
    dm->TblStates->Open();
    dm->TblOtdel->Open();

    qint64 n = 0;
    const Figure bare = best([&] {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(Sql);
        const int cols = q.record().count();
        while (q.next())
            for (int c = 0; c < cols; ++c)
                n += q.value(c).isValid();
    });

    const Figure libpq = best([&] { n += bench::libpqRead(db, Sql, {}); });
    const Figure singleRows = best([&] { n += bench::libpqReadSingleRows(db, Sql); });
    const int batches[] = {1000, 10000};
    Figure cursor[2];
    for (int i = 0; i < 2; ++i)
        cursor[i] = best([&] { n += bench::libpqReadCursor(db, Sql, batches[i]); });

    // The read alone, as a dataset asks for it: every column.
    std::vector<QVector<QVariant>> rows;
    auto readWith = [&](bool driver) {
        return best(
            [&] {
                QSqlQuery q(db);
                q.setForwardOnly(true);
                q.exec(Sql);
                QVector<Backend::ReadColumn> columns;
                for (int c = 0; c < q.record().count(); ++c)
                    columns.append({c, false});
                if (driver)
                    Backend::readRowsByDriver(q, columns, rows);
                else
                    dm->backend().readRows(q, columns, rows);
                n += qint64(rows.size());
            },
            [&] { std::vector<QVector<QVariant>>().swap(rows); });
    };
    const Figure byDriver = readWith(true);
    const Figure byBackend = readWith(false);

    std::unique_ptr<TDataSet> qry;
    TDataSetModel model;
    const Figure ours = best(
        [&] {
            model.setDataSet(qry.get());
            qry->Open();
            for (int r = 0; r < 40 && r < model.rowCount(); ++r)
                for (int c = 0; c < model.columnCount(); ++c)
                    model.data(model.index(r, c));
        },
        [&] {
            model.setDataSet(nullptr);
            qry.reset();
            qry = bench::equipmentList(QString());
        });
    const int read = qry->RecordCount();

    printf("items: %d (rows read: %d)\n", items, read);
    print("bare QSqlQuery loop:", bare);
    print("bare libpq loop (as text):", libpq);
    print("  row by row (single-row mode):", singleRows);
    print("  cursor, FETCH 1000:", cursor[0]);
    print("  cursor, FETCH 10000:", cursor[1]);
    print("read, the driver's loop:", byDriver);
    print("read, the backend's:", byBackend);
    print("dataset + lookups + model:", ours);
    printf("ratio to the libpq loop (<= 1.3):  %.2f (%.2f)\n", ours.ms / libpq.ms, ours.cpuMs / libpq.cpuMs);
    printf("ratio to the row-by-row libpq loop: %.2f (%.2f)\n", ours.ms / singleRows.ms, ours.cpuMs / singleRows.cpuMs);
    printf("ratio to the QSqlQuery loop:       %.2f (%.2f)\n", ours.ms / bare.ms, ours.cpuMs / bare.cpuMs);
    printf("backend's read / driver's loop:    %.2f (%.2f)\n", byBackend.ms / byDriver.ms,
           byBackend.cpuMs / byDriver.cpuMs);
    qry.reset();
    model.setDataSet(nullptr);
    db = QSqlDatabase();
    database.reset();
    return read == items && n > 0 ? 0 : 1;
}
