// Speed of the archive "Полное" on the embedded database with many items, repairs and
// resource lines, against the sqlite3 shell writing the same eleven tables as CSV in one
// run (goal: at most 1.5), and the peak memory of the process.
// Usage: bench_archive [items] [repairs] [lines]   (default 100000 200000 1000000)
#include "BenchItems.h"
#include "admin/arh.h"
#include "core/Errors.h"
#include "core/Process.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "storage/Backend.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

class BenchDialogs : public Dialogs {
public:
    int message(Icon, const QString &, const QString &text, int, int) override
    {
        fprintf(stderr, "message: %s\n", qPrintable(text));
        return Ok;
    }
    int exec(QDialog &) override { return 0; }
    bool chooseFont(QFont &, QColor &, QWidget *) override { return false; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
};

void exec(QSqlQuery &q)
{
    if (!q.exec()) {
        fprintf(stderr, "insert failed: %s\n", qPrintable(q.lastError().text()));
        exit(1);
    }
}

// Repairs of random items, each with five resource lines (of a hundred resources).
void generateRepairs(QSqlDatabase db, int items, int repairs, int lines)
{
    const int kinds[] = {11, 12, 13, 21, 22};
    QRandomGenerator rng(7);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into resurs (id, Name, Ed_izmer) values (?, ?, ?)"));
    for (int r = 104; r < 200; ++r) {
        q.bindValue(0, r);
        q.bindValue(1, QStringLiteral("Ресурс %1").arg(r));
        q.bindValue(2, QStringLiteral("шт."));
        exec(q);
    }
    q.prepare(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Otdel, Prichina, Nach_rem, Okonh_rem, Specialist) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime base(QDate(2000, 1, 1), QTime(9, 0));
    for (int i = 0; i < repairs; ++i) {
        q.bindValue(0, 1000 + i);
        q.bindValue(1, kinds[rng.bounded(5)]);
        q.bindValue(2, 1000 + rng.bounded(items));
        q.bindValue(3, QStringLiteral("Плановый"));
        q.bindValue(4, QStringLiteral("замятие бумаги %1").arg(rng.bounded(100)));
        q.bindValue(5, dm->backend().toDb(base.addDays(rng.bounded(8000))));
        q.bindValue(6, i % 4 ? QVariant(dm->backend().toDb(base.addDays(8000 + rng.bounded(30)))) : QVariant());
        q.bindValue(7, QStringLiteral("Иванов"));
        exec(q);
    }
    q.prepare(QStringLiteral("insert into rem_res (rem_id, res_id, cnt) values (?, ?, ?)"));
    for (int i = 0; i < lines; ++i) {
        const int repair = i / 5, k = i % 5;
        q.bindValue(0, 1000 + repair % repairs);
        q.bindValue(1, 100 + (repair * 7 + k * 13) % 100);
        q.bindValue(2, 0.5 * (1 + rng.bounded(10)));
        exec(q);
    }
    db.commit();
}

qint64 peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

qint64 folderBytes(const QString &folder)
{
    qint64 n = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext())
        n += QFileInfo(it.next()).size();
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
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path());
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    generateRepairs(db, items, repairs, lines);
    const QString dbFile = db.databaseName();
    BenchDialogs dialogs;
    Seams::setDialogs(&dialogs);
    const qint64 peakBefore = peakKb();

    // The sqlite3 shell: the eleven tables as CSV files in one run.
    const QString shellFolder = QDir(dir.path()).filePath(QStringLiteral("shell"));
    QDir().mkpath(shellFolder);
    QByteArray script = ".mode csv\n";
    for (const ArchivedTable &t : archivedTables())
        script += ".output " + QDir(shellFolder).filePath(QLatin1String(t.name) + QStringLiteral(".csv")).toUtf8()
                  + "\nselect * from " + t.name + ";\n";
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {dbFile});
    shell.write(script);
    shell.closeWriteChannel();
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
        fprintf(stderr, "the sqlite3 shell did not run\n");
        return 1;
    }
    const qint64 shellNs = timer.nsecsElapsed();

    TFrmArchive frm;
    frm.ComboBox1->setCurrentIndex(int(ArchiveKind::Full));
    timer.start();
    bool ok = false;
    try {
        ok = frm.MakeArhiveClick();
    } catch (const TavrellError &e) {
        fprintf(stderr, "archive: %s\n", qPrintable(e.message()));
        return 1;
    }
    const qint64 archiveNs = timer.nsecsElapsed();
    if (!ok) {
        fprintf(stderr, "the archive was not made\n");
        return 1;
    }
    const QString folder = frm.TblExp.FieldByName(QStringLiteral("path"))->AsString();

    printf("items %d, repairs %d, resource lines %d\n", items, repairs, lines);
    printf("%-40s %9.1f ms  (%lld bytes)\n", "sqlite3 shell, .mode csv, 11 tables", shellNs / 1e6,
           folderBytes(shellFolder));
    printf("%-40s %9.1f ms  (%lld bytes)\n", "archive \"Полное\"", archiveNs / 1e6, folderBytes(folder));
    printf("archive / sqlite3 (goal <= 1.5):         %.2f\n", double(archiveNs) / double(shellNs));
    printf("peak memory: %lld kB before the archive, %lld kB after\n", peakBefore, peakKb());
    Seams::setDialogs(nullptr);
    db = QSqlDatabase();
    return 0;
}
