// Speed of the list exports over a large equipment list, the list open in a shown list window
// as the user has it:
//   - GridToCSV and DataSetToCSV of every item, each as a ratio to the sqlite3 shell's
//     CSV export of the same table (goal: at most 1.5); on the shared server to psql's \copy
//     of it as CSV and to a libpq loop reading the list's query, every value as text;
//   - GridToWord of 10,000 items and of every item into the default document until its
//     report window is shown and scrolled to its end, as a ratio to GridToCSV of the same
//     items (goal: at most 3), and the PDF of that report (goal for 10,000: under 3 s).
// First on the embedded database, then on the shared server that TAVRELL_TEST_PGSERVER names
// (bench_export --server: the server alone), with the same goals.
// Usage: bench_export [--server] [items [csv]]   (default 100000; "csv": the CSV exports alone)
#include "BenchItems.h"
#include "core/Errors.h"
#include "core/Process.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/MSWord.h"
#include "export/ReportDocument.h"
#include "export/ReportWindow.h"
#include "export/RichTextSink.h"
#include "export/sg2csv.h"
#include "export/sg2word.h"
#include "lists/klfrm.h"
#include "storage/Backend.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

// Answers the save dialog with a set name and every message with OK.
class BenchDialogs : public Dialogs {
public:
    QString fileName;
    int shown = 0;  // other than the note that a CSV export ends with
    int message(Icon, const QString &, const QString &text, int, int) override
    {
        if (!text.startsWith(QStringLiteral("Экспорт завершен"))) {
            ++shown;
            fprintf(stderr, "message: %s\n", qPrintable(text));
        }
        return Ok;
    }
    int exec(QDialog &) override { return 0; }
    bool chooseFont(QFont &, QColor &, QWidget *) override { return false; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return fileName; }
};

// The best of `rounds` runs, in nanoseconds.
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

qint64 fileSize(const QString &path) { return QFileInfo(path).size(); }

void line(const char *what, qint64 ns, const QString &path)
{
    printf("%-46s %9.1f ms  (%lld bytes)\n", what, ns / 1e6, fileSize(path));
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
    const int reportItems = std::min(items, 10000);
    QTemporaryDir dir;
    auto module = bench::freshDatabase(dir.path(), target);
    QSqlDatabase db = dm->connection();
    bench::generate(db, items);
    bench::analyze(db, target);
    BenchDialogs dialogs;
    Seams::setDialogs(&dialogs);
    const QDir out(dir.path());

    // What the exports are put against: the database's own shell writing the whole table as
    // CSV, and on the server also a libpq loop reading the list's query.
    struct Floor {
        const char *name;
        std::function<bool()> run;
        qint64 ns = 0;
    };
    const QString shellFile = out.filePath(QStringLiteral("shell.csv"));
    auto shellRun = [&](const QString &program, const QStringList &args) {
        return [=] {
            QProcess p;
            p.setStandardOutputFile(shellFile);
            p.start(program, args);
            return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        };
    };
    QVector<Floor> floors;
    if (!target.server) {
        floors.append({"sqlite3 -csv, whole table",
                       shellRun(QStringLiteral("sqlite3"),
                                {QStringLiteral("-csv"), db.databaseName(), QStringLiteral("select * from izdel")})});
    } else {
        floors.append(
            {"psql \\copy csv, whole table",
             shellRun(QStringLiteral("psql"),
                      {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                       QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                       QStringLiteral("\\copy (select * from izdel) to stdout csv"), module->connectionString()})});
        floors.append(
            {"bare libpq loop (as text), the list's query",
             [&, sql = bench::equipmentList(QString())->SQL()] { return bench::libpqRead(db, sql, {}) > 0; }});
    }
    for (Floor &f : floors) {
        bool ran = true;
        f.ns = best(3, [&] { ran = f.run() && ran; });
        if (!ran) {
            fprintf(stderr, "%s did not run\n", f.name);
            return 1;
        }
    }

    // The whole list in a shown list window.
    std::unique_ptr<TDataSet> list = bench::equipmentList(QString());
    auto window =
        std::make_unique<TFrmKl>(ListWindowDecl(QStringLiteral("FrmKl"), QStringLiteral("Список"), list.get()));
    window->show();
    QApplication::processEvents();

    const QString gridFile = out.filePath(QStringLiteral("grid.csv"));
    dialogs.fileName = gridFile;
    const qint64 grid = best(3, [&] { GridToCSV(window->windowTitle(), window->grid, list.get(), true); });

    const QString dataSetFile = out.filePath(QStringLiteral("dataset.csv"));
    const qint64 dataSet = best(3, [&] {
        QFile::remove(dataSetFile);  // a new file each time, as the archive writes
        list->First();
        DataSetToCSV(dataSetFile, list.get());
    });
    if (list->RecordCount() != items) {
        fprintf(stderr, "the list holds %d items, not %d\n", list->RecordCount(), items);
        return 1;
    }
    window.reset();
    list.reset();

    // The report of `count` items until its window is shown and scrolled to its end,
    // against GridToCSV of the same items; then the report's PDF.
    struct ReportFigures {
        int items = 0;
        qint64 csv = 0, report = 0, built = 0, pdf = 0, pdfCpu = 0;
        int rows = 0, pages = 0;
        bool tableForm = false;
        qint64 pdfBytes = 0;
    };
    auto measureReport = [&](int count) {
        ReportFigures f;
        f.items = count;
        std::unique_ptr<TDataSet> part = bench::equipmentList(QStringLiteral("where id < %1").arg(1000 + count));
        auto partWindow =
            std::make_unique<TFrmKl>(ListWindowDecl(QStringLiteral("FrmKl"), QStringLiteral("Список"), part.get()));
        partWindow->show();
        QApplication::processEvents();
        const QString partFile = out.filePath(QStringLiteral("part.csv"));
        dialogs.fileName = partFile;
        f.csv = best(3, [&] { GridToCSV(partWindow->windowTitle(), partWindow->grid, part.get(), true); });
        TMSWord::setSinkFactory({});
        QPointer<ReportWindow> shown;
        f.report = best(1, [&] {
            QElapsedTimer t;
            t.start();
            {
                TMSWord word;
                if (!word.Open()) {
                    fprintf(stderr, "no report document\n");
                    exit(1);
                }
                word.NewDocument();
                word.InsertTitle(partWindow->windowTitle() + QLatin1Char('\r'));
                GridToWord(partWindow->grid, part.get(), word, true);
                f.built = t.nsecsElapsed();
                word.Show();
                shown = static_cast<RichTextSink *>(word.Word())->window();
            }
            QApplication::processEvents();  // the window's first paint
            // Scrolled to the end and painted there.
            if (shown && shown->tableView())
                shown->tableView()->scrollToBottom();
            else if (shown)
                shown->editor()->moveCursor(QTextCursor::End);
            QApplication::processEvents();
        });
        if (shown) {
            const ReportDocument &doc = shown->report();
            const int i = doc.largestTable();
            f.rows = i < 0 ? 0 : int(doc.blocks[size_t(i)].table->rows.size());
            f.tableForm = shown->tableView() != nullptr;
            const QString pdfFile = out.filePath(QStringLiteral("report.pdf"));
            QElapsedTimer t;
            t.start();
            const std::clock_t cpu = std::clock();
            shown->savePdf(pdfFile);
            f.pdf = t.nsecsElapsed();
            f.pdfCpu = qint64(1e9 * double(std::clock() - cpu) / CLOCKS_PER_SEC);
            f.pdfBytes = fileSize(pdfFile);
            // BENCH_KEEP=folder keeps the PDFs to look at.
            if (qEnvironmentVariableIsSet("BENCH_KEEP"))
                QFile::copy(
                    pdfFile,
                    QDir(qEnvironmentVariable("BENCH_KEEP")).filePath(QStringLiteral("report-%1.pdf").arg(count)));
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {pdfFile});
            info.waitForFinished(-1);
            for (const QByteArray &l : info.readAllStandardOutput().split('\n'))
                if (l.startsWith("Pages:"))
                    f.pages = l.mid(6).trimmed().toInt();
            delete shown.data();
        }
        partWindow.reset();
        part.reset();
        return f;
    };
    // "bench_export N csv" measures the CSV exports alone.
    const bool csvOnly = argc > 2 && QByteArray(argv[2]) == "csv";
    const ReportFigures small = csvOnly ? ReportFigures() : measureReport(reportItems);
    const ReportFigures whole = csvOnly ? ReportFigures() : measureReport(items);

    printf("items: %d (report: %d)\n", items, reportItems);
    for (const Floor &f : floors)
        line(f.name, f.ns, f.name == floors.first().name ? shellFile : QString());
    line("GridToCSV, whole list", grid, gridFile);
    line("DataSetToCSV, whole list", dataSet, dataSetFile);
    for (const Floor &f : floors) {
        printf("GridToCSV / %s (goal <= 1.5): %.2f\n", f.name, double(grid) / double(f.ns));
        printf("DataSetToCSV / %s (goal <= 1.5): %.2f\n", f.name, double(dataSet) / double(f.ns));
    }
    for (const ReportFigures &f : {small, whole}) {
        if (f.items == 0)
            continue;
        printf("-- report of %d items (%s form)\n", f.items, f.tableForm ? "table" : "rich text");
        printf("%-46s %9.1f ms\n", "  GridToCSV of the same items", f.csv / 1e6);
        printf("%-46s %9.1f ms  (%d table rows)\n", "  GridToWord until shown and scrolled", f.report / 1e6, f.rows);
        printf("%-46s %9.1f ms\n", "    of which the table", f.built / 1e6);
        printf("  GridToWord / GridToCSV (goal <= 3):           %.2f\n", double(f.report) / double(f.csv));
        printf("%-46s %9.1f ms  (%.1f ms of processor time; %d pages, %lld bytes)\n", "  PDF of the report",
               f.pdf / 1e6, f.pdfCpu / 1e6, f.pages, f.pdfBytes);
    }
    printf("messages shown: %d\n", dialogs.shown);
    Seams::setDialogs(nullptr);
    db = QSqlDatabase();
    return target.thenOnServer(dialogs.shown == 0 ? 0 : 1, argc, argv);
}
