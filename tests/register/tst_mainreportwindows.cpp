// The main window and the report windows made from it: closing the program closes the
// reports first (asking about edits, a kept report keeping the program), and the list's
// report printed to PDF holds every column on every page.
#include "MainWindowFixture.h"
#include "export/MSWord.h"
#include "export/ReportDocument.h"
#include "export/ReportWindow.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

namespace {

ReportWindow *lastReport()
{
    const QList<ReportWindow *> open = ReportWindow::openReports();
    return open.isEmpty() ? nullptr : open.last();
}

}  // namespace

class TestMainReportWindows : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (ReportWindow *w : ReportWindow::openReports())
            delete w;
    }

    void closingAsksAboutEditedReports()
    {
        TestDb db;
        QVERIFY2(db.ok(), qPrintable(db.error()));
        TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
        w.show();
        QSignalSpy closed(&w, &TFrmmain::closed);

        w.ExpToWord->trigger();
        QPointer<ReportWindow> report = lastReport();
        QVERIFY(report && report->isVisible());
        report->editor()->textCursor().insertText(QStringLiteral("правка"));

        dialogs.answers << Dialogs::No;  // keep the report
        QVERIFY(!w.close());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Question);
        QVERIFY(w.isVisible());
        QVERIFY(report && report->isVisible());
        QCOMPARE(closed.count(), 0);

        dialogs.answers << Dialogs::Yes;
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(dialogs.messages.size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!report);
    }

    // The equipment list, long enough for three pages: every column's title and the last
    // column's values on every page.
    void listReportAsPdf()
    {
        TestDb db;
        QVERIFY2(db.ok(), qPrintable(db.error()));
        for (int i = 0; i < 150; ++i)
            db.query(
                QStringLiteral("insert into izdel (id, Name, Proizvod, Seria, Nomer, CurState, otdel, form, Resurs) "
                               "values (%1, 'Принтер %1', 'принтер', 'В-%1', '%2', 1, 11, 'A4', 'R%1')")
                    .arg(5000 + i)
                    .arg(100000 + i));
        // Every item a value in the last column, to find it on each page.
        db.query(QStringLiteral("update izdel set form = 'F' || (id % 100)"));
        TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("A"));
        w.ExpToWord->trigger();
        ReportWindow *report = lastReport();
        QVERIFY(report);
        const ReportDocument &doc = report->report();
        const int t = doc.largestTable();
        QVERIFY(t >= 0);
        const QStringList titles = doc.blocks[size_t(t)].table->rows.front();
        QVERIFY(titles.size() >= 8);
        QCOMPARE(titles.last(), QStringLiteral("Формат"));

        const QString path = QDir(db.folder()).filePath(QStringLiteral("list.pdf"));
        QVERIFY(report->savePdf(path));
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
        if (pages.last().trimmed().isEmpty())
            pages.removeLast();
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        const QRegularExpression last(QStringLiteral("\\bF\\d\\d?\\b"));
        for (int i = 0; i < pages.size(); ++i) {
            for (const QString &title : titles)
                QVERIFY2(pages.at(i).contains(title),
                         qPrintable(QStringLiteral("page %1 lacks \"%2\"").arg(i + 1).arg(title)));
            QVERIFY2(pages.at(i).contains(last),
                     qPrintable(QStringLiteral("page %1 lacks the last column").arg(i + 1)));
        }
        QVERIFY(dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(TestMainReportWindows)
#include "tst_mainreportwindows.moc"
