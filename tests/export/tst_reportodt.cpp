// The ODT laid out as the printed pages: its columns are the pages' columns, rows stay whole,
// grid lines are single, the foot numbers the pages; and, where LibreOffice is installed, the
// document it prints keeps every word whole and numbers its pages.
#include "RichTextReports.h"
#include "export/MSWord.h"
#include "export/ReportDocument.h"
#include "export/ReportOdt.h"
#include "export/ReportPages.h"
#include "export/RichTextSink.h"

#include <QFontInfo>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <map>

namespace {

const QString Title = QStringLiteral("Список ведомственной оргтехники");

struct Column {
    QString caption;
    int width;  // points, as a list window's grid gives them
};

// A report as a list window's grid makes it: narrow columns for long words ("Формат" is 42 pt
// wide, "Состояние" 50 pt for "Удовлетворительное"), and rows of notes of several paragraphs
// that start with "Н-r" and end with "К-r", so a row split between pages shows.
const QList<Column> Columns = {{QStringLiteral("№ п.п."), 30},    {QStringLiteral("Название"), 84},
                               {QStringLiteral("Номер"), 50},     {QStringLiteral("Состояние"), 50},
                               {QStringLiteral("Отдел"), 60},     {QStringLiteral("Формат"), 42},
                               {QStringLiteral("Примечание"), 70}};

QStringList rowOf(int r)
{
    static const QStringList states = {QStringLiteral("Удовлетворительное"), QStringLiteral("Исправное"),
                                       QStringLiteral("Неудовлетворительное")};
    static const QStringList departments = {QStringLiteral("Бухгалтерия"), QStringLiteral("Канцелярия"),
                                            QStringLiteral("Склад")};
    // Notes of 1, 4, 6 and 8 lines in turn.
    QString note = QStringLiteral("Н-%1").arg(r);
    for (int k = 0; k < r % 4; ++k)
        note += QStringLiteral("\rзаправка\rкартриджа");
    note += (r % 4 ? QStringLiteral("\rК-%1") : QStringLiteral(" К-%1")).arg(r);
    return {QString::number(r),
            QStringLiteral("HP LaserJet %1").arg(r),
            QString::number(4321000 + r),
            states.at(r % 3),
            departments.at(r % 4 % 3),
            r % 5 ? QStringLiteral("A4") : QStringLiteral("A3"),
            note};
}

// Builds the report through the wrapper into the sink's model.
void buildReport(int rows, const QList<Column> &columns = Columns)
{
    TMSWord word;
    QVERIFY(word.Open());
    word.NewDocument();
    word.InsertTitle(Title + QLatin1Char('\r'));
    word.InsertTable(int(columns.size()), 16);
    QList<int> widths;
    QStringList captions;
    for (const Column &c : columns) {
        widths << c.width;
        captions << c.caption;
    }
    word.FillHeader(widths, captions);
    for (int r = 1; r <= rows; ++r)
        word.AddRow(rowOf(r).mid(0, columns.size()));
    word.CloseTable();
}

const ReportTable &firstTable(const ReportDocument &doc)
{
    for (const ReportBlock &b : doc.blocks)
        if (b.isTable())
            return *b.table;
    qFatal("no table");
}

// What the tests read of an ODT part: the properties of each style, the column styles of the
// table, and each row's style with its cells' styles.
struct Odt {
    std::map<QString, QXmlStreamAttributes> properties;  // "style" -> its *-properties
    QStringList columns;
    struct Row {
        QString style;
        QStringList cells;
        bool header = false;
    };
    std::vector<Row> rows;
    QString footer;  // the foot's text with "<N>" and "<M>" for the fields
    bool ok = true;

    explicit Odt(const QByteArray &xml)
    {
        QXmlStreamReader r(xml);
        QString style;
        bool inHeader = false, inFooter = false;
        while (!r.atEnd()) {
            r.readNext();
            const QStringView name = r.name();
            if (r.isEndElement()) {
                if (name == u"table-header-rows")
                    inHeader = false;
                else if (name == u"footer")
                    inFooter = false;
                continue;
            }
            if (inFooter && r.isCharacters()) {
                footer += r.text();
                continue;
            }
            if (!r.isStartElement())
                continue;
            const QXmlStreamAttributes a = r.attributes();
            if (name == u"style") {
                style = a.value(QStringLiteral("style:name")).toString();
            } else if (name.endsWith(u"-properties") && !style.isEmpty()) {
                for (const QXmlStreamAttribute &p : a)
                    properties[style].append(p);
            } else if (name == u"table-column") {
                columns << a.value(QStringLiteral("table:style-name")).toString();
            } else if (name == u"table-header-rows") {
                inHeader = true;
            } else if (name == u"table-row") {
                rows.push_back({a.value(QStringLiteral("table:style-name")).toString(), {}, inHeader});
            } else if (name == u"table-cell" && !rows.empty()) {
                rows.back().cells << a.value(QStringLiteral("table:style-name")).toString();
            } else if (name == u"footer") {
                inFooter = true;
            } else if (inFooter && name == u"s") {
                footer += QString(qMax(1, a.value(QStringLiteral("text:c")).toInt()), QLatin1Char(' '));
            } else if (inFooter && name == u"page-number") {
                footer += QStringLiteral("<N>");
                r.readElementText();
            } else if (inFooter && name == u"page-count") {
                footer += QStringLiteral("<M>");
                r.readElementText();
            }
        }
        ok = !r.hasError();
    }

    QString property(const QString &style, const QString &name) const
    {
        const auto it = properties.find(style);
        return it == properties.end() ? QString() : it->second.value(name).toString();
    }
};

double points(const QString &length)
{
    return length.endsWith(QLatin1String("pt")) ? length.chopped(2).toDouble() : -1;
}

QByteArray run(const QString &program, const QStringList &args, const QString &dir = QString())
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        p.kill();
        p.waitForFinished();
        return QByteArray();
    }
    return p.readAllStandardOutput();
}

// The text of each page of a PDF, as pdftotext lays it out.
QStringList pdfPages(const QString &path)
{
    QStringList pages =
        QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}))
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// How many times each word of the data (six letters or more) stands whole in the report's
// cells, and how many times it stands whole on the pages: a word broken at a line's end
// becomes two other words.
void checkWordsWhole(const ReportTable &t, const QStringList &pages)
{
    const QRegularExpression space(QStringLiteral("\\s+"));
    std::map<QString, int> expected, seen;
    for (size_t r = 1; r < t.rows.size(); ++r)
        for (const QString &cell : t.rows[r])
            for (const QString &word : cell.split(space, Qt::SkipEmptyParts))
                if (word.size() >= 6)
                    ++expected[word];
    // The header's words, once on every page.
    for (const QString &caption : t.rows[0])
        for (const QString &word : caption.split(space, Qt::SkipEmptyParts))
            if (word.size() >= 6)
                expected[word] += int(pages.size());
    for (const QString &page : pages)
        for (const QString &word : page.split(space, Qt::SkipEmptyParts))
            if (expected.count(word))
                ++seen[word];
    for (const auto &[word, count] : expected)
        QVERIFY2(seen[word] == count,
                 qPrintable(QStringLiteral("\"%1\" whole %2 times of %3").arg(word).arg(seen[word]).arg(count)));
}

// Every page ends with "Страница N из M", N its number and M the number of pages.
void checkFooters(const QStringList &pages)
{
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList lines = pages.at(p).trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.last().trimmed(), ReportPages::footerText().arg(p + 1).arg(pages.size()));
    }
}

}  // namespace

class TestReportOdt : public QObject {
    Q_OBJECT

private:
    RichTextReports reports;

    const ReportDocument &doc() { return *reports.sink->model(); }

private slots:
    void init() { reports.install(); }
    void cleanup() { reports.remove(); }

    // The ODT's columns are the pages' columns: widened for the long words when the page has
    // room, narrowed as the pages narrow them when it has not; the table in the pages' font.
    void columnsAreThePagesColumns_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("narrow columns, room on the page") << QList<int>{30, 84, 50, 50, 60, 42, 70} << false;
        QTest::newRow("wider than a landscape page") << QList<int>{60, 300, 120, 150, 160, 42, 200} << true;
    }
    void columnsAreThePagesColumns()
    {
        QFETCH(QList<int>, widths);
        QFETCH(bool, landscape);
        QList<Column> columns = Columns;
        for (int c = 0; c < columns.size(); ++c)
            columns[c].width = widths.at(c);
        buildReport(30, columns);
        const QPageLayout layout = ReportPages::pageLayout(doc());
        QCOMPARE(layout.orientation() == QPageLayout::Landscape, landscape);
        const QVector<double> fitted = ReportPages::columnWidths(firstTable(doc()), ReportPages::textWidth(layout));
        const Odt odt(ReportOdt::content(doc()));
        QVERIFY(odt.ok);
        QCOMPARE(odt.columns.size(), columns.size());
        double total = 0;
        for (int c = 0; c < columns.size(); ++c) {
            const double w = points(odt.property(odt.columns.at(c), QStringLiteral("style:column-width")));
            QVERIFY2(
                qAbs(w - fitted.at(c)) < 0.01,
                qPrintable(QStringLiteral("column %1: %2 pt, the pages' %3 pt").arg(c + 1).arg(w).arg(fitted.at(c))));
            total += w;
        }
        QVERIFY(total <= ReportPages::textWidth(layout) + 0.05);
        // The grid's 42 pt would break "Формат" in the header: the page gives it more.
        QVERIFY2(fitted.at(5) > 42, qPrintable(QString::number(fitted.at(5))));
        if (!landscape)
            QVERIFY2(fitted.at(3) > 50, qPrintable(QString::number(fitted.at(3))));

        // The cells' text in the pages' font and size.
        const QFont font = ReportPages::tableFont(false);
        const QString xml = QString::fromUtf8(ReportOdt::content(doc()));
        QVERIFY(xml.contains(QStringLiteral("svg:font-family=\"%1\"").arg(QFontInfo(font).family())));
        QCOMPARE(odt.property(QStringLiteral("TP"), QStringLiteral("fo:font-size")), QStringLiteral("9pt"));
        QCOMPARE(odt.property(QStringLiteral("TP"), QStringLiteral("style:font-name")), QStringLiteral("FT"));
    }

    // Each row is kept on one page; the header row repeats.
    void rowsKeptWhole()
    {
        buildReport(12);
        const Odt odt(ReportOdt::content(doc()));
        QVERIFY(odt.ok);
        QCOMPARE(odt.rows.size(), size_t(13));
        QVERIFY(odt.rows.front().header);
        for (const Odt::Row &row : odt.rows) {
            QVERIFY(!row.style.isEmpty());
            QCOMPARE(odt.property(row.style, QStringLiteral("fo:keep-together")), QStringLiteral("always"));
        }
        QVERIFY(!odt.rows.back().header);
    }

    // One line between neighbours: a cell draws its right and bottom lines, the first column
    // also its left, the first row also its top; the text as far from the lines as on the pages.
    void gridLinesAreSingle_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("header and rows") << 4;
        QTest::newRow("header alone") << 0;
    }
    void gridLinesAreSingle()
    {
        QFETCH(int, rows);
        buildReport(rows);
        const Odt odt(ReportOdt::content(doc()));
        QVERIFY(odt.ok);
        QCOMPARE(odt.rows.size(), size_t(rows + 1));
        const QString line = QStringLiteral("0.5pt solid #000000");
        for (size_t r = 0; r < odt.rows.size(); ++r) {
            QCOMPARE(odt.rows[r].cells.size(), Columns.size());
            for (int c = 0; c < Columns.size(); ++c) {
                const QString s = odt.rows[r].cells.at(c);
                const QString at = QStringLiteral("row %1, column %2 (%3)").arg(r).arg(c).arg(s);
                auto border = [&](const char *side) {
                    const QString b = odt.property(s, QStringLiteral("fo:border-") + QLatin1String(side));
                    return b == QLatin1String("none") ? QString() : b;
                };
                QVERIFY2(odt.property(s, QStringLiteral("fo:border")).isEmpty(), qPrintable(at));
                QVERIFY2(border("right") == line && border("bottom") == line, qPrintable(at));
                QVERIFY2(border("left") == (c == 0 ? line : QString()), qPrintable(at));
                QVERIFY2(border("top") == (r == 0 ? line : QString()), qPrintable(at));
                // Text width inside the lines as on the pages: the cell less twice the padding.
                const double inside = points(odt.property(s, QStringLiteral("fo:padding-left"))) +
                                      points(odt.property(s, QStringLiteral("fo:padding-right"))) + 0.5 +
                                      (c == 0 ? 0.5 : 0);
                QVERIFY2(qAbs(inside - 2 * ReportPages::PadXPt) < 0.001, qPrintable(at));
            }
        }
    }

    // The foot of every page: the pages' words with the page's number and the page count as
    // fields, not as fixed text.
    void footerNumbersThePages()
    {
        buildReport(3);
        const Odt styles(ReportOdt::styles(doc()));
        QVERIFY(styles.ok);
        QCOMPARE(styles.footer, ReportPages::footerText().arg(QStringLiteral("<N>"), QStringLiteral("<M>")));
        QCOMPARE(styles.footer, QStringLiteral("Страница <N> из <M>"));
        const QString xml = QString::fromUtf8(ReportOdt::styles(doc()));
        QVERIFY(xml.contains(
            QLatin1String("<style:master-page style:name=\"Standard\" style:page-layout-name=\"PM\"><style:footer>")));
    }

    // The program's own PDF keeps every word of the report whole and numbers its pages: the
    // ground the ODT is held to below.
    void pagesKeepWordsWhole()
    {
        buildReport(150);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        {
            QPdfWriter pdf(path);
            pdf.setResolution(600);
            pdf.setPageLayout(ReportPages::pageLayout(doc()));
            QVERIFY(ReportPages::paint(doc(), pdf) > 1);
        }
        const QStringList pages = pdfPages(path);
        qInfo("the program's pages: %d", int(pages.size()));
        QVERIFY(pages.size() > 1);
        checkWordsWhole(firstTable(doc()), pages);
        if (QTest::currentTestFailed())
            return;
        checkFooters(pages);
        if (QTest::currentTestFailed())
            return;
    }

    // LibreOffice prints the ODT with every word whole, rows whole, the header on every page
    // and "Страница N из M" at every foot.
    void libreOfficePrintsTheOdtAsThePages()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("soffice is missing under CI (scripts/install-deps.sh installs libreoffice-writer-nogui)");
            QSKIP("soffice is missing (libreoffice-writer-nogui)");
        }
        buildReport(150);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString odt = dir.filePath(QStringLiteral("report.odt"));
        {
            QFile f(odt);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write(ReportOdt::package(doc())) > 0);
        }
        // A profile of its own: copies of LibreOffice running side by side do not share one.
        const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
        run(soffice,
            {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
             QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), odt},
            dir.path());
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY2(QFile::exists(pdf), "LibreOffice made no PDF");
        const QStringList pages = pdfPages(pdf);
        qInfo("LibreOffice: %d pages", int(pages.size()));
        QVERIFY(pages.size() > 1);
        checkWordsWhole(firstTable(doc()), pages);
        if (QTest::currentTestFailed())
            return;
        checkFooters(pages);
        if (QTest::currentTestFailed())
            return;
        // A row's note starts and ends on the same page.
        for (int r = 1; r <= 150; ++r) {
            const QString start = QStringLiteral("Н-%1").arg(r), end = QStringLiteral("К-%1").arg(r);
            const QRegularExpression startAt(QStringLiteral("(^|\\s)%1(\\s|$)").arg(start));
            const QRegularExpression endAt(QStringLiteral("(^|\\s)%1(\\s|$)").arg(end));
            int startPage = -1, endPage = -1;
            for (int p = 0; p < pages.size(); ++p) {
                if (pages.at(p).contains(startAt))
                    startPage = p;
                if (pages.at(p).contains(endAt))
                    endPage = p;
            }
            QVERIFY2(
                startPage >= 0 && startPage == endPage,
                qPrintable(QStringLiteral("row %1 on pages %2 and %3").arg(r).arg(startPage + 1).arg(endPage + 1)));
        }
    }
};

QTEST_MAIN(TestReportOdt)
#include "tst_reportodt.moc"
