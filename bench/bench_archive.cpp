// Speed of the archive "Полное" with many items, repairs and resource lines, and the peak
// memory of the process. On the embedded database against the sqlite3 shell writing the same
// eleven tables as CSV in one run (goal: at most 1.5); then on the shared server that
// TAVRELL_TEST_PGSERVER names (bench_archive --server: the server alone) against psql writing
// them with \copy in one run, and against a libpq loop reading every value as text (the same goal).
// Usage: bench_archive [--server] [items] [repairs] [lines]   (default 100000 200000 1000000)
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
#include <functional>
#include <memory>

namespace {

class BenchDialogs : public Dialogs {
public:
    int shown = 0;
    int message(Icon, const QString &, const QString &text, int, int) override
    {
        ++shown;
        fprintf(stderr, "message: %s\n", qPrintable(text));
        return Ok;
    }
    int exec(QDialog &) override { return 0; }
    bool chooseFont(QFont &, QColor &, QWidget *) override { return false; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
};

// Repairs of random items, each with five resource lines (of a hundred resources).
void generateRepairs(QSqlDatabase db, int items, int repairs, int lines)
{
    const int kinds[] = {11, 12, 13, 21, 22};
    QRandomGenerator rng(7);
    db.transaction();
    bench::Insert res(db, "resurs", {QStringLiteral("id"), QStringLiteral("Name"), QStringLiteral("Ed_izmer")});
    for (int r = 104; r < 200; ++r) {
        res.bindValue(0, r);
        res.bindValue(1, QStringLiteral("Ресурс %1").arg(r));
        res.bindValue(2, QStringLiteral("шт."));
        res.exec();
    }
    res.finish();
    bench::Insert q(db, "remont",
                    {QStringLiteral("id"), QStringLiteral("Kod_vida"), QStringLiteral("Kod_izd"),
                     QStringLiteral("Otdel"), QStringLiteral("Prichina"), QStringLiteral("Nach_rem"),
                     QStringLiteral("Okonh_rem"), QStringLiteral("Specialist")});
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
        q.exec();
    }
    q.finish();
    bench::Insert line(db, "rem_res", {QStringLiteral("rem_id"), QStringLiteral("res_id"), QStringLiteral("cnt")});
    for (int i = 0; i < lines; ++i) {
        const int repair = i / 5, k = i % 5;
        line.bindValue(0, 1000 + repair % repairs);
        line.bindValue(1, 100 + (repair * 7 + k * 13) % 100);
        line.bindValue(2, 0.5 * (1 + rng.bounded(10)));
        line.exec();
    }
    line.finish();
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

// Runs a program with a script on its standard input; false when it fails.
bool runScript(const QString &program, const QStringList &args, const QByteArray &script)
{
    QProcess p;
    p.start(program, args);
    p.write(script);
    p.closeWriteChannel();
    const bool ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        fprintf(stderr, "%s: %s\n", qPrintable(program), p.readAllStandardError().constData());
    return ok;
}

// What the archive is put against on each backend: each writes the eleven tables into
// `folder` (a file each, or nothing), or reads them, in one go.
struct Floor {
    const char *name;
    std::function<bool(const QString &folder)> run;
};

QVector<Floor> floors(const bench::Target &target, QSqlDatabase db, const bench::Database &database)
{
    auto fileOf = [](const QString &folder, const ArchivedTable &t) {
        return QDir(folder).filePath(QLatin1String(t.name) + QStringLiteral(".csv")).toUtf8();
    };
    if (!target.server)
        return {{"sqlite3 shell, .mode csv, 11 tables", [=](const QString &folder) {
                     QByteArray script = ".mode csv\n";
                     for (const ArchivedTable &t : archivedTables())
                         script += ".output " + fileOf(folder, t) + "\nselect * from " + t.name + ";\n";
                     return runScript(QStringLiteral("sqlite3"), {db.databaseName()}, script);
                 }}};
    return {{"psql \\copy ... csv, 11 tables",
             [=, conn = database.connectionString()](const QString &folder) {
                 QByteArray script;
                 for (const ArchivedTable &t : archivedTables())
                     script += "\\copy (select * from " + QByteArray(t.name) + ") to '" + fileOf(folder, t) + "' csv\n";
                 return runScript(QStringLiteral("psql"),
                                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                   QStringLiteral("ON_ERROR_STOP=1"), conn},
                                  script);
             }},
            {"bare libpq loop (as text), 11 tables", [=](const QString &) {
                 for (const ArchivedTable &t : archivedTables())
                     bench::libpqRead(db, QStringLiteral("select * from ") + QLatin1String(t.name), {});
                 return true;
             }}};
}

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
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    generateRepairs(db, items, repairs, lines);
    bench::analyze(db, target);
    BenchDialogs dialogs;
    Seams::setDialogs(&dialogs);
    const qint64 peakBefore = peakKb();

    struct Measured {
        const char *name;
        qint64 ns;
        qint64 bytes;
    };
    QVector<Measured> measured;
    QElapsedTimer timer;
    const QVector<Floor> steps = floors(target, db, *module);
    for (int i = 0; i < steps.size(); ++i) {
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("floor%1").arg(i));
        QDir().mkpath(folder);
        timer.start();
        if (!steps[i].run(folder)) {
            fprintf(stderr, "%s did not run\n", steps[i].name);
            return 1;
        }
        measured.append({steps[i].name, timer.nsecsElapsed(), folderBytes(folder)});
    }

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
    const QString folder = frm.TblExp->FieldByName(QStringLiteral("path"))->AsString();

    printf("items %d, repairs %d, resource lines %d\n", items, repairs, lines);
    for (const Measured &m : measured)
        printf("%-40s %9.1f ms  (%lld bytes)\n", m.name, m.ns / 1e6, m.bytes);
    printf("%-40s %9.1f ms  (%lld bytes)\n", "archive \"Полное\"", archiveNs / 1e6, folderBytes(folder));
    for (const Measured &m : measured)
        printf("archive / %s (goal <= 1.5): %.2f\n", m.name, double(archiveNs) / double(m.ns));
    printf("peak memory: %lld kB before the archive, %lld kB after\n", peakBefore, peakKb());
    printf("messages shown: %d\n", dialogs.shown);
    Seams::setDialogs(nullptr);
    db = QSqlDatabase();
    return target.thenOnServer(dialogs.shown == 0 ? 0 : 1, argc, argv);
}
