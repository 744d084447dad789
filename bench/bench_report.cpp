// What the report window's choices rest on, printed (not a test):
//   - how long the text editor takes to open a report table as rich text, by its size,
//     against the table view over the model (the rich-text limit of ReportWindow);
//   - the pages: PDF of a report of n rows of ten columns (wall and processor time: the
//     machine is shared, the processor time is what the work itself takes);
//   - the mail hand-over: the longest single argument the system passes to a program.
// Usage: bench_report [pdf-rows]   (default 10000)
#include "core/Process.h"
#include "export/ReportDocument.h"
#include "export/ReportOdt.h"
#include "export/ReportPages.h"
#include "export/ReportWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

// A report as a list window makes it: a title, then a numbered table of ten columns.
std::shared_ptr<ReportDocument> report(int rows)
{
    auto doc = std::make_shared<ReportDocument>();
    doc->blocks[0].paragraph.alignment = Qt::AlignHCenter;
    doc->blocks[0].paragraph.insert(0, QStringLiteral("Список ведомственной оргтехники"), false);
    ReportBlock b;
    b.table = std::make_shared<ReportTable>();
    b.table->widths = {50, 120, 60, 45, 60, 50, 80, 90, 30, 40};
    b.table->rows.push_back({QStringLiteral("№ п.п."), QStringLiteral("Название"), QStringLiteral("Номер"),
                             QStringLiteral("Тип"), QStringLiteral("Дата вып"), QStringLiteral("Серия"),
                             QStringLiteral("Состояние"), QStringLiteral("Отдел"), QStringLiteral("Формат"),
                             QStringLiteral("Ресурс")});
    static const char *const states[] = {"Отлично", "Хорошо", "Удовлетворительное", "Еле дышит", "Списан"};
    static const char *const depts[] = {"Административный", "Технический", "Плановый", "Экономический"};
    for (int r = 1; r <= rows; ++r)
        b.table->rows.push_back({QString::number(r), QStringLiteral("HP LaserJet %1").arg(r * 37 % 10000),
                                 QString::number(10000000 + r * 7919 % 90000000), QStringLiteral("принтер"),
                                 QStringLiteral("12.03.2005"), QStringLiteral("В-%1").arg(r * 13 % 1000000),
                                 QString::fromUtf8(states[r % 5]), QString::fromUtf8(depts[r % 4]),
                                 QStringLiteral("A4"), QString::number(r * 31 % 50000)});
    doc->blocks.insert(doc->blocks.begin() + 1, std::move(b));
    return doc;
}

double ms(qint64 ns) { return ns / 1e6; }

// Opens the report window and waits for it to be painted at its end; milliseconds.
double openWindow(int rows, qint64 limit)
{
    ReportWindow::setRichTextLimit(limit);
    auto doc = report(rows);
    QElapsedTimer t;
    t.start();
    auto *w = new ReportWindow(doc);
    w->showReport();
    QApplication::processEvents();
    if (w->tableView())
        w->tableView()->scrollToBottom();
    else
        w->editor()->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    const double out = ms(t.nsecsElapsed());
    delete w;
    ReportWindow::setRichTextLimit(0);
    return out;
}

// The longest single argument that a program started by this one receives.
qint64 longestArgument()
{
    qint64 good = 0, bad = 8 << 20;
    while (bad - good > 1024) {
        const qint64 mid = (good + bad) / 2;
        QProcess p;
        p.start(QStringLiteral("/bin/true"), {QString(int(mid), QLatin1Char('x'))});
        const bool ok = p.waitForStarted(5000) && p.waitForFinished(5000) && p.exitCode() == 0;
        (ok ? good : bad) = mid;
    }
    return good;
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Process::prepare();
    QApplication app(argc, argv);
    const int pdfRows = argc > 1 ? atoi(argv[1]) : 10000;
    QTemporaryDir dir;

    printf("report window, table of ten columns, until painted at its end (ms):\n");
    printf("%8s %8s %12s %12s\n", "rows", "cells", "rich text", "table view");
    for (int rows : {50, 100, 150, 200, 400, 800}) {
        const double rich = openWindow(rows, qint64(1) << 40);
        const double view = openWindow(rows, 1);
        printf("%8d %8d %12.1f %12.1f\n", rows, rows * 10, rich, view);
        fflush(stdout);
    }
    printf("rich-text limit in use: %lld cells\n", ReportWindow::richTextLimit());

    auto doc = report(pdfRows);
    const QString pdfFile = dir.filePath(QStringLiteral("r.pdf"));
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu = std::clock();
    int pages = 0;
    {
        QPdfWriter pdf(pdfFile);
        pdf.setResolution(600);
        pdf.setPageLayout(ReportPages::pageLayout(*doc));
        pages = ReportPages::paint(*doc, pdf);
    }
    printf("PDF of %d rows: %.1f ms (%.1f ms of processor time), %d pages (%s)\n", pdfRows, ms(t.nsecsElapsed()),
           1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC, pages,
           ReportPages::pageLayout(*doc).orientation() == QPageLayout::Landscape ? "landscape" : "portrait");
    t.start();
    const QByteArray odt = ReportOdt::package(*doc);
    printf("ODT of %d rows: %.1f ms, %lld bytes\n", pdfRows, ms(t.nsecsElapsed()), qint64(odt.size()));

    printf("longest single argument passed to a program: %lld bytes\n", longestArgument());
    return 0;
}
