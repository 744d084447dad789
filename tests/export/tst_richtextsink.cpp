// The rich-text document that the default sink builds, and its report window.
#include "RichTextReports.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "export/MSWord.h"
#include "export/ReportWindow.h"
#include "export/RichTextSink.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextTable>
#include <QtTest>

namespace {

const QString Caption = QStringLiteral("История работ");

QTextTable *firstTable(QTextDocument *doc)
{
    for (QTextFrame *f : doc->rootFrame()->childFrames())
        if (auto *t = qobject_cast<QTextTable *>(f))
            return t;
    return nullptr;
}

QStringList cellParagraphs(QTextTable *t, int row, int column)
{
    QStringList out;
    const QTextTableCell cell = t->cellAt(row, column);
    for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it)
        if (it.currentBlock().isValid())
            out << it.currentBlock().text();
    return out;
}

QString cellText(QTextTable *t, int row, int column) { return cellParagraphs(t, row, column).join(QLatin1Char('|')); }

// Text of the blocks outside any table, in order.
QStringList outerParagraphs(QTextDocument *doc)
{
    QStringList out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (!QTextCursor(b).currentTable())
            out << b.text();
    return out;
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

}  // namespace

class TestRichTextSink : public QObject {
    Q_OBJECT

private:
    RichTextReports reports;
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QTextDocument>> rendered;

    // The sink's document as the report window's editor gets it.
    QTextDocument *richText()
    {
        if (!reports.sink->model())
            return nullptr;
        rendered.push_back(std::make_unique<QTextDocument>());
        reports.sink->model()->toTextDocument(*rendered.back());
        return rendered.back().get();
    }

    // The report as the list toolbar makes it: a numbered table of the given rows.
    void buildReport(const QList<QStringList> &rows, bool show = false)
    {
        TMSWord word;
        QVERIFY(word.Open());
        word.NewDocument();
        word.InsertTitle(Caption + QLatin1Char('\r'));
        word.InsertTable(3, 16);
        word.FillHeader({50, 80, 100}, {QStringLiteral("№ п.п."), QStringLiteral("Модель"), QStringLiteral("Отдел")});
        for (const QStringList &r : rows)
            word.AddRow(r);
        word.CloseTable();
        if (show)
            word.Show();
    }

    void closeAll()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<ReportWindow *>(w))
                w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void init() { reports.install(); }
    void cleanup()
    {
        ReportWindow::setUrlOpener({});
        rendered.clear();
        closeAll();
        reports.remove();
    }

    // Without a test factory the wrapper writes to the rich-text sink.
    void defaultSinkIsRichText()
    {
        TMSWord::setSinkFactory({});
        TMSWord word;
        QVERIFY(word.Open());
        QVERIFY(dynamic_cast<RichTextSink *>(word.Word()));
    }

    void titleIsCentredAndFollowedByLeftParagraph()
    {
        buildReport({});
        QTextDocument *doc = richText();
        QVERIFY(doc);
        const QTextBlock title = doc->begin();
        QCOMPARE(title.text(), Caption);
        QCOMPARE(title.blockFormat().alignment(), Qt::AlignHCenter);
        // Every paragraph after the title is left-aligned again.
        for (QTextBlock b = title.next(); b.isValid(); b = b.next())
            QVERIFY2(!(b.blockFormat().alignment() & Qt::AlignHCenter), qPrintable(b.text()));
    }

    void tableRowsAndColumns_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("two records") << QList<QStringList>{
            {QStringLiteral("1"), QStringLiteral("Canon 5530 D"), QStringLiteral("Бухгалтерия")},
            {QStringLiteral("2"), QStringLiteral("HP LaserJet"), QString()}};
        QTest::newRow("empty list") << QList<QStringList>{};
    }
    void tableRowsAndColumns()
    {
        QFETCH(QList<QStringList>, rows);
        buildReport(rows);
        QTextTable *t = firstTable(richText());
        QVERIFY(t);
        // Header, then one row per record; the spare row is gone.
        QCOMPARE(t->rows(), rows.size() + 1);
        QCOMPARE(t->columns(), 3);
        QCOMPARE(cellText(t, 0, 0), QStringLiteral("№ п.п."));
        QCOMPARE(cellText(t, 0, 1), QStringLiteral("Модель"));
        QCOMPARE(cellText(t, 0, 2), QStringLiteral("Отдел"));
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 3; ++c)
                QCOMPARE(cellText(t, r + 1, c), rows.at(r).at(c));

        const QList<QTextLength> widths = t->format().columnWidthConstraints();
        QCOMPARE(widths.size(), 3);
        const int points[] = {50, 80, 100};
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(widths.at(c).type(), QTextLength::FixedLength);
            QCOMPARE(widths.at(c).rawValue(), RichTextSink::pointsToPixels(points[c]));
        }
        // The CR after the table goes after it, not into a cell.
        TMSWord word;
        QVERIFY(word.Open());
        word.Insert(QStringLiteral("Итого"));
        QCOMPARE(outerParagraphs(richText()).last(), QStringLiteral("Итого"));
        QCOMPARE(firstTable(richText())->rows(), rows.size() + 1);
    }

    void lineEndsInsideACell_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("CR") << QStringLiteral("первая\rвторая");
        QTest::newRow("CR LF") << QStringLiteral("первая\r\nвторая");
        QTest::newRow("LF") << QStringLiteral("первая\nвторая");
    }
    void lineEndsInsideACell()
    {
        QFETCH(QString, value);
        buildReport({{QStringLiteral("1"), value, QStringLiteral("Склад")}});
        QTextTable *t = firstTable(richText());
        QVERIFY(t);
        QCOMPARE(t->rows(), 2);
        QCOMPARE(cellParagraphs(t, 1, 1), (QStringList{QStringLiteral("первая"), QStringLiteral("вторая")}));
        // The next value still lands in the next column.
        QCOMPARE(cellText(t, 1, 2), QStringLiteral("Склад"));
    }

    // The department report: bold switched on before a heading stays on.
    void boldStaysOn()
    {
        {
            TMSWord word;
            QVERIFY(word.Open());
            word.NewDocument();
            word.InsertTitle(QStringLiteral("Список техники по отделам\r"));
            word.Word()->command(QStringLiteral("bold"), {true});
            word.InsertTitle(QStringLiteral("Отдел:Бухгалтерия\r"));
            word.Insert(QStringLiteral("принтер Canon\r"));
        }
        QTextDocument *doc = richText();
        const QTextBlock title = doc->begin();
        const QTextBlock heading = title.next();
        const QTextBlock item = heading.next();
        QCOMPARE(heading.text(), QStringLiteral("Отдел:Бухгалтерия"));
        QCOMPARE(item.text(), QStringLiteral("принтер Canon"));
        auto weightAt = [](const QTextBlock &b) {
            QTextCursor c(b);
            c.movePosition(QTextCursor::NextCharacter);
            return c.charFormat().fontWeight();
        };
        QVERIFY(weightAt(title) < QFont::Bold);
        QCOMPARE(weightAt(heading), int(QFont::Bold));
        QCOMPARE(weightAt(item), int(QFont::Bold));
        QCOMPARE(heading.blockFormat().alignment(), Qt::AlignHCenter);
        QVERIFY(!(item.blockFormat().alignment() & Qt::AlignHCenter));
    }

    void refusedCommands_data()
    {
        QTest::addColumn<bool>("newDocument");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariantList>("args");
        // clang-format off
        QTest::newRow("insert without a document") << false << "Insert" << QVariantList{QStringLiteral("x")};
        QTest::newRow("unknown command") << true << "FileSaveAs" << QVariantList{};
        QTest::newRow("column width outside a table") << true << "TableColumnWidth" << QVariantList{50};
        QTest::newRow("row outside a table") << true << "TableInsertRow" << QVariantList{};
        QTest::newRow("missing argument") << true << "Insert" << QVariantList{};
        QTest::newRow("text for a number") << true << "TableInsertTable"
                                           << QVariantList{0, QStringLiteral("два"), 2, 50, 0, 16};
        QTest::newRow("no columns") << true << "TableInsertTable" << QVariantList{0, 0, 2, 50, 0, 16};
        // clang-format on
    }
    void refusedCommands()
    {
        QFETCH(bool, newDocument);
        QFETCH(QString, name);
        QFETCH(QVariantList, args);
        if (newDocument)
            reports.sink->command(QStringLiteral("FileNew"));
        QVERIFY_THROWS_EXCEPTION(TavrellError, reports.sink->command(name, args));
    }

    // Shown, the document belongs to the report window and outlives the wrapper.
    void shownReportOutlivesTheWrapper()
    {
        buildReport({{QStringLiteral("1"), QStringLiteral("Canon"), QStringLiteral("Склад")}}, true);
        QPointer<ReportWindow> w = reports.sink->window();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(w->editor()->document(), w->document());
        QVERIFY(w->windowTitle().contains(Caption));
        for (const char *name : {"Editor", "ActPrint", "ActSaveOdt", "ActSavePdf", "ActOpenExternal", "ActClose"})
            QVERIFY2(w->findChild<QObject *>(QLatin1String(name)), name);

        reports.sink.reset();  // the last reference to the sink
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(firstTable(w->document()));
    }

    // The user closed the window while a report was still being written to it.
    void closedDocumentRaises()
    {
        buildReport({}, true);
        QPointer<ReportWindow> w = reports.sink->window();
        QVERIFY(w->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        QVERIFY(!reports.sink->model());
        QVERIFY_THROWS_EXCEPTION(TavrellError, reports.sink->command(QStringLiteral("Insert"), {QStringLiteral("x")}));
    }

    void closingAnEditedReportAsks()
    {
        ScriptedDialogs dialogs;
        buildReport({}, true);
        QPointer<ReportWindow> w = reports.sink->window();
        w->editor()->textCursor().insertText(QStringLiteral("правка"));
        dialogs.answers << Dialogs::No;
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Question);
        dialogs.answers << Dialogs::Yes;
        QVERIFY(w->close());
    }

    void saveAsPdfAndOdt_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("suffix");
        // clang-format off
        QTest::newRow("pdf") << "ActSavePdf" << "pdf";
        QTest::newRow("odt") << "ActSaveOdt" << "odt";
        // clang-format on
    }
    void saveAsPdfAndOdt()
    {
        QFETCH(QString, action);
        QFETCH(QString, suffix);
        ScriptedDialogs dialogs;
        buildReport({{QStringLiteral("1"), QStringLiteral("Canon 5530 D"), QStringLiteral("Бухгалтерия")},
                     {QStringLiteral("2"), QStringLiteral("Epson FX"), QStringLiteral("Склад")}},
                    true);
        const QString path = dir.filePath(QStringLiteral("report.") + suffix);
        QFile::remove(path);
        dialogs.saveNames << path;
        reports.sink->window()->findChild<QAction *>(action)->trigger();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('\n')));
        QVERIFY(QFile::exists(path));

        QString text;
        if (suffix == QLatin1String("pdf")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.read(5) == "%PDF-");
            text = QString::fromUtf8(run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
        } else {
            text = QString::fromUtf8(
                run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("content.xml")}));
            QVERIFY(text.contains(QLatin1String("table:table-row")));
        }
        for (const char *s : {"История работ", "№ п.п.", "Модель", "Canon 5530 D", "Бухгалтерия", "Epson FX", "Склад"})
            QVERIFY2(text.contains(QString::fromUtf8(s)),
                     qPrintable(QString::fromUtf8(s) + QLatin1String(" not in:\n") + text));
    }

    void saveErrorNamesTheFile()
    {
        ScriptedDialogs dialogs;
        buildReport({}, true);
        const QString path = dir.filePath(QStringLiteral("нет такой папки/отчет.odt"));
        dialogs.saveNames << path;
        reports.sink->window()->findChild<QAction *>(QStringLiteral("ActSaveOdt"))->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
        QVERIFY2(dialogs.messages.at(0).text.contains(QDir::toNativeSeparators(path)),
                 qPrintable(dialogs.messages.at(0).text));
        QVERIFY(reports.sink->window()->isVisible());
    }

    // A report saved over the embedded database's files would replace them: refused.
    void reportNeverOverTheDatabase_data() { saveAsPdfAndOdt_data(); }
    void reportNeverOverTheDatabase()
    {
        QFETCH(QString, action);
        ScriptedDialogs dialogs;
        buildReport({}, true);
        Seams::setProgramFolder(dir.path());
        const QString database = dir.filePath(QStringLiteral("org_tech.sqlite"));
        {
            QFile f(database);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("SQLite format 3");
        }
        dialogs.saveNames << database;
        reports.sink->window()->findChild<QAction *>(action)->trigger();
        Seams::setProgramFolder(QString());
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.at(0).text.contains(QStringLiteral("это файл базы данных программы")),
                 qPrintable(dialogs.messages.at(0).text));
        QFile f(database);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("SQLite format 3"));
        f.close();
        QFile::remove(database);
    }

    void cancelledSaveWritesNothing()
    {
        ScriptedDialogs dialogs;
        buildReport({}, true);
        const QStringList before = dir.isValid() ? QDir(dir.path()).entryList(QDir::Files) : QStringList();
        reports.sink->window()->findChild<QAction *>(QStringLiteral("ActSavePdf"))->trigger();
        QCOMPARE(dialogs.saveTitles.size(), 1);
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    }

    void printPreviewShowsThePages()
    {
        ScriptedDialogs dialogs;
        buildReport({{QStringLiteral("1"), QStringLiteral("Canon"), QStringLiteral("Склад")}}, true);
        int pages = -1;
        dialogs.dialogs << [&pages](QDialog &d) {
            auto *preview = d.findChild<QPrintPreviewWidget *>();
            if (preview) {
                preview->updatePreview();
                pages = preview->pageCount();
            }
            return int(QDialog::Rejected);
        };
        reports.sink->window()->findChild<QAction *>(QStringLiteral("ActPrint"))->trigger();
        QCOMPARE(dialogs.execLog, QStringList{QStringLiteral("PrintPreview")});
        QCOMPARE(pages, 1);
        QVERIFY(dialogs.messages.isEmpty());
    }

    void openInWordProcessor()
    {
        ScriptedDialogs dialogs;
        buildReport({{QStringLiteral("1"), QStringLiteral("Canon"), QStringLiteral("Склад")}}, true);
        QList<QUrl> opened;
        ReportWindow::setUrlOpener([&opened](const QUrl &u) {
            opened << u;
            return true;
        });
        reports.sink->window()->findChild<QAction *>(QStringLiteral("ActOpenExternal"))->trigger();
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(opened.size(), 1);
        const QString path = opened.at(0).toLocalFile();
        QVERIFY(path.endsWith(QLatin1String(".odt")));
        const QString xml = QString::fromUtf8(
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("content.xml")}));
        QFile::remove(path);
        QVERIFY(xml.contains(QLatin1String("Canon")));

        // No word processor to take it: the user is told.
        ReportWindow::setUrlOpener([&opened](const QUrl &u) {
            opened << u;
            return false;
        });
        reports.sink->window()->findChild<QAction *>(QStringLiteral("ActOpenExternal"))->trigger();
        QFile::remove(opened.last().toLocalFile());
        QCOMPARE(dialogs.messages.size(), 1);
    }

    // A report made from a modal window takes input and survives that window.
    void reportOutlivesTheModalWindow()
    {
        auto *list = new QDialog;
        list->setObjectName(QStringLiteral("FrmList"));
        list->setWindowModality(Qt::ApplicationModal);
        list->show();
        QCOMPARE(QApplication::activeModalWidget(), list);

        buildReport({{QStringLiteral("1"), QStringLiteral("Canon"), QStringLiteral("Склад")}}, true);
        QPointer<ReportWindow> w = reports.sink->window();
        QVERIFY(w && w->isVisible());
        QVERIFY(w->isWindow());
        QCOMPARE(w->parentWidget(), list);

        list->hide();
        delete list;
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(w->isWindow());
        QVERIFY(!w->parentWidget());
        QVERIFY(firstTable(w->document()));
    }
};

QTEST_MAIN(TestRichTextSink)
#include "tst_richtextsink.moc"
