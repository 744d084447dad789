// Speed and memory of the repair history over a service with years of history: 200,000 repairs over 100,000 items, with
// 1,000,000 resource lines.
//   - opening "История работ" (its list with the lookups, into the grid model), as a ratio
//     to a bare QSqlQuery loop reading the same rows with their lookups (goal: at most 2);
//   - one search on "Причина", as a ratio to a bare QSqlQuery loop reading the search's own
//     query, and to one reading the whole join of the repairs with their lookups (goal: at
//     most 2);
//   - opening the resources of one repair (goal: under 50 ms);
//   - the peak memory of the program's state: the main list of every item open, then the
//     history, then one repair's resources (goal: at most 250 MB).
// Then the same on the shared server that TAVRELL_TEST_PGSERVER names, in a process of its
// own so that its peak memory is its own (bench_repairs --server measures the server alone);
// there the bare reads are also a libpq loop reading every value as text, with the same goals.
// Usage: bench_repairs [--server] [repairs]   (default 200000; half as many items, five resources each)
#include "BenchItems.h"
#include "core/Process.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "data/Tdm.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "repairs/oper.h"
#include "repairs/operitem.h"
#include "storage/Backend.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdio>
#include <functional>
#include <memory>

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

// Counts the messages shown: a benchmark that shows one measured the wrong thing.
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

qint64 best(int rounds, const std::function<void()> &run)
{
    qint64 out = -1;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.start();
        run();
        const qint64 e = t.nsecsElapsed();
        out = out < 0 ? e : std::min(out, e);
    }
    return out;
}

// Repairs 1000.. over the items 1000.. (two per item), five resources each; the last
// repair's cause is the one the search looks for.
void generateRepairs(QSqlDatabase db, int repairs, int items)
{
    static const char *const causes[] = {
        "выход из строя картриджа", "замена барабана", "замятие бумаги", "не включается",
        "полосы при печати",        "профилактика",    "чистка"};
    static const char *const people[] = {"Сидоренко", "Петров", "Иванова", "Ким", "Шевчук"};
    static const int kinds[] = {11, 12, 13, 21, 22};
    QRandomGenerator rng(7);
    db.transaction();
    bench::Insert res(db, "resurs", {QStringLiteral("id"), QStringLiteral("Name"), QStringLiteral("Ed_izmer")});
    for (int r = 200; r < 220; ++r) {
        res.bindValue(0, r);
        res.bindValue(1, QStringLiteral("Деталь %1").arg(r));
        res.bindValue(2, QStringLiteral("шт."));
        res.exec();
    }
    res.finish();
    bench::Insert q(db, "remont",
                    {QStringLiteral("id"), QStringLiteral("Kod_vida"), QStringLiteral("Kod_izd"),
                     QStringLiteral("Prichina"), QStringLiteral("Nach_rem"), QStringLiteral("Okonh_rem"),
                     QStringLiteral("Specialist")});
    bench::Insert line(db, "rem_res", {QStringLiteral("rem_id"), QStringLiteral("res_id"), QStringLiteral("cnt")});
    const QDateTime base(QDate(2000, 1, 1), QTime(0, 0));
    for (int i = 0; i < repairs; ++i) {
        const int id = 1000 + i;
        const QDateTime start = base.addDays(rng.bounded(9000));
        q.bindValue(0, id);
        q.bindValue(1, kinds[rng.bounded(5)]);
        q.bindValue(2, 1000 + rng.bounded(items));
        q.bindValue(3,
                    i == repairs - 1 ? QStringLiteral("Юбилейная поломка") : QString::fromUtf8(causes[rng.bounded(7)]));
        q.bindValue(4, dm->backend().toDb(start));
        q.bindValue(5, i % 10 ? dm->backend().toDb(start.addDays(rng.bounded(30))) : QVariant());
        q.bindValue(6, QString::fromUtf8(people[rng.bounded(5)]));
        q.exec();
        const int first = rng.bounded(20);
        for (int k = 0; k < 5; ++k) {
            line.bindValue(0, id);
            line.bindValue(1, 200 + (first + k * 3) % 20);
            line.bindValue(2, 1 + rng.bounded(5));
            line.exec();
        }
    }
    q.finish();
    line.finish();
    db.commit();
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
    const int repairs = argc > 1 ? atoi(argv[1]) : 200000;
    const int items = std::max(1, repairs / 2);
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    generateRepairs(db, repairs, items);
    bench::analyze(db, target);
    const QVector<bench::Floor> floors = bench::floors(db, target);
    BenchDialogs dialogs;
    Seams::setDialogs(&dialogs);
    session().CurrentUserType = QStringLiteral("R");
    printf("%d repairs over %d items, %d resource lines\n", repairs, items, repairs * 5);

    // The list with its lookups: the repairs and, for each, what the grid shows of its kind,
    // item, series, number and department.
    const QString listSql = QStringLiteral(
        "select r.Nach_rem, v.Name, i.Name, i.Seria, i.Nomer, o.Name, r.Prichina, r.id, r.Kod_vida, r.Kod_izd, "
        "r.Okonh_rem, r.Specialist from remont r left join vidu v on v.id = r.Kod_vida "
        "left join izdel i on i.id = r.Kod_izd left join otdel o on o.id = i.otdel");
    const QVector<double> bareList = bench::floorTimes(floors, 3, listSql);
    // The main window's list stays open under the history, as in the program.
    dm->TblStates->Open();
    dm->TblOtdel->Open();
    const std::unique_ptr<TDataSet> mainList = bench::equipmentList(QString());
    mainList->Open();
    const long rssBefore = peakRssKb();
    std::unique_ptr<TFrmOper> window;
    const qint64 ours = best(3, [&] {
        window.reset();
        window = std::make_unique<TFrmOper>();
        QAbstractItemModel *m = window->grid->model();
        for (int r = 0; r < 40 && r < m->rowCount(); ++r)
            for (int c = 0; c < m->columnCount(); ++c)
                m->data(m->index(r, c));
    });
    const long rssOpen = peakRssKb();
    for (int i = 0; i < floors.size(); ++i)
        printf("%-56s %9.1f ms\n",
               qPrintable(QStringLiteral("%1 of the list with its lookups").arg(QLatin1String(floors[i].name))),
               bareList[i]);
    printf("%-56s %9.1f ms  (%s; goal at most 2x)\n", "opening the history into the grid model", ours / 1e6,
           bench::ratios(ours / 1e6, bareList, floors).constData());

    // One search on "Причина" for the last repair's cause, against a bare read of the join
    // the search makes, and of the whole join of every repair with its kind, item and
    // department (what a search reading everything would read).
    const QString wholeJoin = QStringLiteral(
        "SELECT remont.id AS id, vidu.Name AS a1, izdel.Name AS a2, izdel.Seria AS a3, izdel.Nomer AS a4, "
        "otdel.Name AS a5, remont.Prichina AS a6, remont.Nach_rem AS a7, remont.Okonh_rem AS a8 "
        "FROM remont LEFT OUTER JOIN izdel ON remont.Kod_izd = izdel.id LEFT OUTER JOIN vidu ON "
        "remont.Kod_vida = vidu.id LEFT OUTER JOIN otdel ON izdel.otdel = otdel.id");
    const QString text = QStringLiteral("юбил");
    window->ComboBox1->setCurrentIndex(5);
    window->EditFind->setText(text);
    const qint64 find = best(3, [&] {
        window->TblRem->First();
        window->SpeedButton2->click();
    });
    const bool found = window->TblRem->FieldByName(QStringLiteral("id"))->AsInteger() == 1000 + repairs - 1;
    // The resources of the repair in the middle.
    window->TblRem->setRecNo(repairs / 2);
    const int remId = window->TblRem->FieldByName(QStringLiteral("id"))->AsInteger();
    int lines = 0;
    const qint64 items1 = best(5, [&] {
        TFrmOperItem part(window->DsLoc, remId, window.get());
        lines = part.Tbl->RecordCount();
    });
    // The program's peak, before the bare reads of the search's statements hold their rows.
    const long peak = peakRssKb();

    const QString findSql = window->QryFind->SQL();
    const QVector<double> bareFind = bench::floorTimes(floors, 3, findSql, {{QStringLiteral(":text"), text}});
    const QVector<double> bareWhole = bench::floorTimes(floors, 3, wholeJoin);
    for (int i = 0; i < floors.size(); ++i) {
        const QString name = QLatin1String(floors[i].name);
        printf("%-56s %9.1f ms\n", qPrintable(name + QStringLiteral(" of the search's own query")), bareFind[i]);
        printf("%-56s %9.1f ms\n", qPrintable(name + QStringLiteral(" of the whole join")), bareWhole[i]);
    }
    printf("%-56s %9.1f ms  (its own query: %s; the whole join: %s; goal at most 2x)%s\n", "one search on \"Причина\"",
           find / 1e6, bench::ratios(find / 1e6, bareFind, floors).constData(),
           bench::ratios(find / 1e6, bareWhole, floors).constData(), found ? "" : "  NOT FOUND");
    printf("%-56s %9.1f ms  (%d lines, goal under 50 ms)\n", "opening the resources of one repair", items1 / 1e6,
           lines);
    printf("%-56s %9.1f MB  (%.1f MB with the main list of %d items, %.1f MB with the history open; "
           "goal at most 250 MB)\n",
           "peak memory: main list, history, one repair's lines", peak / 1024.0, rssBefore / 1024.0,
           mainList->RecordCount(), rssOpen / 1024.0);
    window.reset();
    Seams::setDialogs(nullptr);
    return target.thenOnServer(dialogs.shown == 0 && found ? 0 : 1, argc, argv);
}
