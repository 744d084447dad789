// Speed and memory of the dataset over a large equipment list (embedded database):
//   - opening the equipment list with its two lookups and showing it in a grid model,
//     as a ratio to a bare QSqlQuery loop reading the same rows (goal: at most 2) and to
//     the sqlite3 C API reading every value of them as text (goal: at most 1.3);
//   - the peak memory of the program holding them (goal: under 150 MB);
//   - one case-insensitive prefix locate over them (goal: under 5 ms).
// Usage: bench_dataset [items]   (default 100000)
#include "BenchItems.h"
#include "core/Process.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "storage/Backend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace {

long peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Process::prepare();
    QApplication app(argc, argv);
    const int items = argc > 1 ? atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path());
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    {
        // The last item is the one the locate looks for.
        QSqlQuery u(db);
        u.exec(QStringLiteral("update izdel set Name = 'Юбилейный ZX' where id = %1").arg(1000 + items - 1));
    }
    dm->TblStates->Open();
    dm->TblOtdel->Open();
    const long rssBefore = peakRssKb();

    // A bare loop reading every value of the same rows.
    QElapsedTimer t;
    qint64 bare = 0;
    for (int round = 0; round < 3; ++round) {
        t.start();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(QStringLiteral("select * from izdel\norder by 2"));
        const int cols = q.record().count();
        qint64 n = 0;
        while (q.next())
            for (int c = 0; c < cols; ++c)
                n += q.value(c).isValid();
        const qint64 e = t.nsecsElapsed();
        bare = round == 0 ? e : std::min(bare, e);
        if (n == 0)
            return 1;
    }

    // The same rows straight from SQLite, every value as text: the floor under any reader.
    qint64 capi = 0;
    {
        const QVariant h = db.driver()->handle();
        sqlite3 *handle = *static_cast<sqlite3 *const *>(h.data());
        for (int round = 0; round < 3; ++round) {
            t.start();
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(handle, "select * from izdel\norder by 2", -1, &st, nullptr) != SQLITE_OK)
                return 1;
            const int cols = sqlite3_column_count(st);
            qint64 n = 0;
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int c = 0; c < cols; ++c)
                    n += sqlite3_column_text(st, c) != nullptr;
            sqlite3_finalize(st);
            const qint64 e = t.nsecsElapsed();
            capi = round == 0 ? e : std::min(capi, e);
            if (n == 0)
                return 1;
        }
    }

    // The dataset with its lookups, shown in a grid model (the rows a grid first paints).
    qint64 ours = 0;
    std::unique_ptr<TDataSet> qry;
    TDataSetModel model;
    for (int round = 0; round < 3; ++round) {
        model.setDataSet(nullptr);
        qry.reset();
        qry = bench::equipmentList(QString());
        t.start();
        model.setDataSet(qry.get());
        qry->Open();
        for (int r = 0; r < 40 && r < model.rowCount(); ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                model.data(model.index(r, c));
        const qint64 e = t.nsecsElapsed();
        ours = round == 0 ? e : std::min(ours, e);
    }
    const long rssAfter = peakRssKb();

    // One case-insensitive prefix locate from the top. The first one also folds the names
    // once; later ones (the quick find, keystroke after keystroke) reuse that.
    qry->First();
    t.start();
    qry->Locate(QStringLiteral("Name"), QStringLiteral("юБИЛ"), CaseInsensitive | PartialKey);
    const qint64 first = t.nsecsElapsed();
    qint64 best = -1;
    bool found = false;
    for (int round = 0; round < 5; ++round) {
        qry->First();
        t.start();
        found = qry->Locate(QStringLiteral("Name"), QStringLiteral("юБИЛ"), CaseInsensitive | PartialKey);
        const qint64 e = t.nsecsElapsed();
        best = best < 0 ? e : std::min(best, e);
    }
    // No match: the locate reads every row.
    qint64 miss = -1;
    bool missing = false;
    for (int round = 0; round < 5; ++round) {
        t.start();
        missing = qry->Locate(QStringLiteral("Name"), QStringLiteral("нет такого"), CaseInsensitive | PartialKey);
        const qint64 e = t.nsecsElapsed();
        miss = miss < 0 ? e : std::min(miss, e);
    }

    printf("items:                         %d (rows read: %d)\n", items, qry->RecordCount());
    printf("bare QSqlQuery loop:           %.1f ms\n", bare / 1e6);
    printf("dataset + lookups + model:     %.1f ms\n", ours / 1e6);
    printf("ratio (goal <= 2):             %.2f\n", double(ours) / double(bare));
    printf("sqlite3 C API loop (as text):  %.1f ms\n", capi / 1e6);
    printf("ratio to it (goal <= 1.3):     %.2f\n", double(ours) / double(capi));
    printf("peak memory (goal < 150 MB):   %.1f MB (%.1f MB before the list was read)\n", rssAfter / 1024.0,
           rssBefore / 1024.0);
    printf("prefix locate, found (goal < 5 ms): %.2f ms (%s, RecNo %d)\n", best / 1e6, found ? "found" : "NOT FOUND",
           qry->RecNo());
    printf("prefix locate, first one:      %.2f ms\n", first / 1e6);
    printf("prefix locate, no match:       %.2f ms (%s)\n", miss / 1e6, missing ? "found?!" : "none");
    qry.reset();
    db = QSqlDatabase();
    module.reset();
    dm = nullptr;
    return found && !missing ? 0 : 1;
}
