// A report as a document at any size: its pages (PDF read back with pdftotext), its ODT,
// the two forms of the report window and the edits kept through them, the window's place
// on the screen, closing every report, and the temporary files at the program's end.
#include "RichTextReports.h"
#include "TestSupport.h"
#include "export/MSWord.h"
#include "export/ReportDocument.h"
#include "export/ReportOdt.h"
#include "export/ReportPages.h"
#include "export/ReportWindow.h"
#include "export/RichTextSink.h"
#include "export/TempFiles.h"

#include <QApplication>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

const QString Title = QStringLiteral("Список ведомственной оргтехники");

QStringList headers()
{
    return {QStringLiteral("№ п.п."),    QStringLiteral("Название"),     QStringLiteral("Номер"),
            QStringLiteral("Тип"),       QStringLiteral("Дата выпуска"), QStringLiteral("Серия"),
            QStringLiteral("Состояние"), QStringLiteral("Отдел"),        QStringLiteral("Формат"),
            QStringLiteral("Ресурс")};
}

// The value of the last column in row r: found on the page only when the column is.
QString lastValue(int r) { return QStringLiteral("Р%1").arg(r, 5, 10, QLatin1Char('0')); }

// A numbered ten-column report of `rows` rows made through the wrapper, as GridToWord makes
// it; widths as a list window's grid gives them (numbering 50 pt).
void buildReport(int rows, bool show, const QList<int> &widths = {50, 96, 60, 51, 64, 51, 80, 90, 40, 48})
{
    TMSWord word;
    QVERIFY(word.Open());
    word.NewDocument();
    word.InsertTitle(Title + QLatin1Char('\r'));
    word.InsertTable(10, 16);
    word.FillHeader(widths, headers());
    for (int r = 1; r <= rows; ++r)
        word.AddRow({QString::number(r), QStringLiteral("HP LaserJet %1").arg(r), QString::number(4321000 + r),
                     QStringLiteral("принтер"), QStringLiteral("05.03.2005"), QStringLiteral("В-%1").arg(r),
                     r % 7 ? QStringLiteral("исправен") : QStringLiteral("удовлетворительное, ждет ремонта"),
                     QStringLiteral("Бухгалтерия"), QStringLiteral("A4"), lastValue(r)});
    word.CloseTable();
    if (show)
        word.Show();
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

// The text of each page of a PDF.
QStringList pdfPages(const QString &path)
{
    QStringList pages =
        QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}))
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QString odtContent(const QString &path)
{
    return QString::fromUtf8(run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("content.xml")}));
}

}  // namespace

class TestReportPages : public QObject {
    Q_OBJECT

private:
    RichTextReports reports;
    QTemporaryDir dir;

    ReportWindow *window() { return reports.sink->window(); }

private slots:
    void init() { reports.install(); }
    void cleanup()
    {
        ReportWindow::setRichTextLimit(0);
        ReportWindow::setUrlOpener({});
        for (ReportWindow *w : ReportWindow::openReports())
            delete w;
        reports.remove();
    }

    // Every page holds the whole width of the table and its header row.
    void pdfPagesHoldTheWholeTable_data()
    {
        QTest::addColumn<bool>("tableForm");
        QTest::newRow("rich text") << false;
        QTest::newRow("table view") << true;
    }
    void pdfPagesHoldTheWholeTable()
    {
        QFETCH(bool, tableForm);
        ReportWindow::setRichTextLimit(tableForm ? 10 : 100000);
        buildReport(160, true);
        QVERIFY(window());
        QCOMPARE(window()->tableView() != nullptr, tableForm);
        const QString path = dir.filePath(QStringLiteral("ten.pdf"));
        QVERIFY(window()->savePdf(path));
        const QStringList pages = pdfPages(path);
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        QVERIFY(pages.at(0).contains(Title));
        QRegularExpression value(QStringLiteral("Р\\d{5}"));
        QSet<QString> seen;
        for (int p = 0; p < pages.size(); ++p) {
            const QString &text = pages.at(p);
            for (const QString &h : headers())
                QVERIFY2(text.contains(h), qPrintable(QStringLiteral("page %1 lacks \"%2\"").arg(p + 1).arg(h)));
            QVERIFY2(text.contains(QStringLiteral("Страница %1 из %2").arg(p + 1).arg(pages.size())),
                     qPrintable(QStringLiteral("page %1 has no number").arg(p + 1)));
            auto it = value.globalMatch(text);
            QVERIFY2(it.hasNext(), qPrintable(QStringLiteral("page %1 lacks the last column").arg(p + 1)));
            while (it.hasNext())
                seen.insert(it.next().captured());
        }
        // Every row's last cell is somewhere.
        QCOMPARE(seen.size(), 160);
    }

    // Pages follow the table's width: portrait while it fits, narrowed a little at most;
    // landscape when portrait would squeeze it; always the page margins once.
    void pageLayout_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("fits a portrait page") << QList<int>{50, 51, 51, 51, 51, 51, 51, 51, 51, 51} << false;
        QTest::newRow("a little too wide") << QList<int>{50, 60, 60, 50, 50, 50, 50, 50, 50, 50} << false;
        QTest::newRow("far too wide") << QList<int>{50, 200, 120, 120, 64, 51, 100, 160, 40, 80} << true;
    }
    void pageLayout()
    {
        QFETCH(QList<int>, widths);
        QFETCH(bool, landscape);
        buildReport(3, false, widths);
        const QPageLayout layout = ReportPages::pageLayout(*reports.sink->model());
        QCOMPARE(layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(layout.orientation() == QPageLayout::Landscape, landscape);
        QCOMPARE(layout.margins(QPageLayout::Millimeter), QMarginsF(15, 15, 15, 15));
        // The widest table fits the page, all its columns included (the last column's values
        // are read back from every page above).
        const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
        QVERIFY(total * ReportPages::fitFactor(total, layout) <= layout.paintRect(QPageLayout::Point).width() + 0.01);
    }

    // The ODT: widths in points as the pages fit them (these two columns need no more than
    // given), no empty paragraph between the title and the table, the header row repeated.
    void odtWidthsAndParagraphs()
    {
        buildReport(3, true);
        const QString path = dir.filePath(QStringLiteral("ten.odt"));
        window()->saveOdt(path);
        const QString xml = odtContent(path);
        QVERIFY(!xml.isEmpty());
        QVERIFY2(xml.contains(
                     QLatin1String("style:name=\"T1.C1\" style:family=\"table-column\"><style:table-column-properties "
                                   "style:column-width=\"50pt\"/>")),
                 qPrintable(xml.left(4000)));
        QVERIFY(xml.contains(QLatin1String("style:column-width=\"96pt\"")));
        const int body = xml.indexOf(QLatin1String("<office:text>"));
        const int title = xml.indexOf(Title, body);
        const int table = xml.indexOf(QLatin1String("<table:table "), body);
        QVERIFY(body > 0 && title > body && table > title);
        // Between the title's paragraph and the table: nothing but the title's end.
        QCOMPARE(xml.mid(title + Title.size(), table - title - Title.size()), QStringLiteral("</text:p>"));
        QVERIFY(xml.contains(QLatin1String("<table:table-header-rows><table:table-row table:style-name=\"TR\">")));
        const QString mimetype =
            QString::fromUtf8(run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("mimetype")}));
        QCOMPARE(mimetype, QStringLiteral("application/vnd.oasis.opendocument.text"));
        QVERIFY(run(QStringLiteral("unzip"), {QStringLiteral("-t"), path}).contains("No errors"));
    }

    // A large report opens in the table form at once; the user's edits there and in the
    // title reach the ODT and the PDF.
    void editsOfALargeReportAreSaved()
    {
        ScriptedDialogs dialogs;
        buildReport(10000, true);
        ReportWindow *w = window();
        QVERIFY(w && w->isVisible());
        QTableView *view = w->tableView();
        QVERIFY(view);
        QCOMPARE(view->model()->rowCount(), 10001);
        QVERIFY(!w->isModified());
        QVERIFY(view->model()->setData(view->model()->index(9990, 1), QStringLiteral("Правка 9990")));
        QTextCursor c(w->document());
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral(" (проверено)"));
        QVERIFY(w->isModified());

        const QString odt = dir.filePath(QStringLiteral("large.odt"));
        w->saveOdt(odt);
        QVERIFY(!w->isModified());
        const QString xml = odtContent(odt);
        QVERIFY(xml.contains(QStringLiteral("Правка 9990")));
        QVERIFY(!xml.contains(QStringLiteral("HP LaserJet 9990<")));
        QVERIFY(xml.contains(Title + QStringLiteral(" (проверено)")));

        const QString pdf = dir.filePath(QStringLiteral("large.pdf"));
        QVERIFY(w->savePdf(pdf));
        const QStringList pages = pdfPages(pdf);
        QVERIFY(pages.size() > 100);
        QVERIFY(pages.first().contains(QStringLiteral("(проверено)")));
        const QString all = pages.join(QString());
        QVERIFY(all.contains(QStringLiteral("Правка 9990")));
        QVERIFY(!all.contains(QStringLiteral("HP LaserJet 9990 ")));
        QVERIFY(all.contains(QStringLiteral("HP LaserJet 9989 ")));
        QVERIFY(dialogs.messages.isEmpty());
    }

    // The small form is rich text; an edit in a cell reaches the ODT.
    void editsOfARichReportAreSaved()
    {
        buildReport(3, true);
        ReportWindow *w = window();
        QVERIFY(!w->tableView());
        QTextCursor c = w->document()->find(QStringLiteral("HP LaserJet 2"));
        QVERIFY(!c.isNull());
        c.insertText(QStringLiteral("Canon 5530 D"));
        const QString odt = dir.filePath(QStringLiteral("small.odt"));
        w->saveOdt(odt);
        const QString xml = odtContent(odt);
        QVERIFY(xml.contains(QStringLiteral("Canon 5530 D")));
        QVERIFY(!xml.contains(QStringLiteral("HP LaserJet 2<")));
        QVERIFY(xml.contains(QStringLiteral("HP LaserJet 3")));
    }

    // Within the screen's free area, centred over the window it was made from.
    void windowFitsTheScreen_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("rich text") << 3;
        QTest::newRow("table view") << 3000;
    }
    void windowFitsTheScreen()
    {
        QFETCH(int, rows);
        QWidget program;
        program.setObjectName(QStringLiteral("FrmMain"));
        program.resize(400, 300);
        const QRect area = program.screen()->availableGeometry();
        program.move(area.left() + 20, area.top() + 30);
        program.show();
        QApplication::setActiveWindow(&program);
        buildReport(rows, true);
        ReportWindow *w = window();
        const QRect r = w->frameGeometry();
        QVERIFY2(area.contains(r), qPrintable(QStringLiteral("%1,%2 %3x%4 outside %5x%6")
                                                  .arg(r.x())
                                                  .arg(r.y())
                                                  .arg(r.width())
                                                  .arg(r.height())
                                                  .arg(area.width())
                                                  .arg(area.height())));
        // As near the program's centre as the screen lets it be.
        const QPoint c = program.frameGeometry().center();
        const QPoint wanted(std::clamp(c.x(), area.left() + r.width() / 2, area.right() - r.width() / 2),
                            std::clamp(c.y(), area.top() + r.height() / 2, area.bottom() - r.height() / 2));
        QVERIFY((r.center() - wanted).manhattanLength() <= 2);
    }

    // Closing every report: each asks about its edits; one kept keeps the rest open.
    void closeAllReportsAsks()
    {
        ScriptedDialogs dialogs;
        buildReport(2, true);
        QPointer<ReportWindow> edited = window();
        edited->editor()->textCursor().insertText(QStringLiteral("правка"));
        init();
        buildReport(2, true);
        QPointer<ReportWindow> plain = window();
        QCOMPARE(ReportWindow::openReports().size(), 2);

        dialogs.answers << Dialogs::No;
        QVERIFY(!closeAllReports());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Question);
        QVERIFY(edited && edited->isVisible());
        QVERIFY(plain);

        dialogs.answers << Dialogs::Yes;
        QVERIFY(closeAllReports());
        QCOMPARE(dialogs.messages.size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!edited);
        QVERIFY(!plain);
        QVERIFY(ReportWindow::openReports().isEmpty());
    }

    // Long page work can be cancelled; a cancelled PDF writes nothing.
    void pagesCanBeCancelled()
    {
        buildReport(2000, false);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(ReportPages::pageLayout(*reports.sink->model()));
        qint64 calls = 0;
        QCOMPARE(ReportPages::paint(*reports.sink->model(), pdf,
                                    [&calls](qint64 done, qint64 total) {
                                        ++calls;
                                        return done < total / 4;
                                    }),
                 0);
        QVERIFY(calls > 0);
    }

    // The word processor's copy is removed when the program ends: a copy of this test
    // program makes one and ends; the file must be gone.
    void temporaryFilesGoAtTheEnd()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TAVRELL_TEMPFILE_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith(QLatin1String("opened ")));
        const QString path = lines.at(0).mid(7);
        QVERIFY(path.endsWith(QLatin1String(".odt")));
        QCOMPARE(lines.at(1), QStringLiteral("existed while running"));
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    }
};

// The child of temporaryFilesGoAtTheEnd: opens a report in the "word processor" and ends.
static int temporaryFileChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString path;
    ReportWindow::setUrlOpener([&path](const QUrl &url) {
        path = url.toLocalFile();
        return true;
    });
    {
        TMSWord word;
        if (!word.Open())
            return 2;
        word.NewDocument();
        word.InsertTitle(Title + QLatin1Char('\r'));
        word.Show();
        auto *sink = dynamic_cast<RichTextSink *>(word.Word());
        if (!sink || !sink->window())
            return 3;
        sink->window()->openInWordProcessor();
    }
    printf("opened %s\n%s\n", qPrintable(path), QFile::exists(path) ? "existed while running" : "missing");
    fflush(stdout);
    return 0;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TAVRELL_TEMPFILE_CHILD"))
        return temporaryFileChild(argc, argv);
    QApplication app(argc, argv);
    TestReportPages t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_reportpages.moc"
