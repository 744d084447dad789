// Only SQLite opens the database's files. A file dialog that lists the program folder must
// not open them to guess their type: closing another descriptor on a file drops this
// process's POSIX locks on it, and another copy of the program would then believe it is
// alone with the database.
#include "TestSupport.h"
#include "admin/arh.h"
#include "export/PrintPreview.h"
#include "export/ReportDocument.h"
#include "export/ReportWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

// Another process tries to take the database for itself, without waiting. It must fail
// while this process holds its locks.
bool anotherProcessGetsExclusiveLock(const QString &file, QString &output)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("sqlite3")),
            {QStringLiteral("-batch"), file,
             QStringLiteral("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; SELECT 'taken' || 'over'; ROLLBACK;")});
    p.waitForFinished(60000);
    output = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && output.contains(QLatin1String("takenover"));
}

bool haveSqliteShell() { return !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(); }

// Answers every dialog the program shows while it lives, and lists each file dialog alive
// whenever a window shows: none may guess file types by reading the files. The print
// dialogs are worked through (every printer entry chosen, every button of theirs pressed),
// the font dialog's colour button is pressed; everything else is cancelled.
class DialogWatch : public QObject {
public:
    QStringList shown;         // every dialog shown: class and object name
    QStringList stockDialogs;  // the file dialogs that read files to guess their types
    int fileDialogs = 0;
    std::function<void(QFileDialog *)> whileFileDialogUp;

    DialogWatch() { qApp->installEventFilter(this); }
    ~DialogWatch() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType() || !static_cast<QWidget *>(watched)->isWindow())
            return false;
        listFileDialogs();
        if (auto *dialog = qobject_cast<QDialog *>(watched)) {
            shown << QStringLiteral("%1 %2").arg(QLatin1String(dialog->metaObject()->className()),
                                                 dialog->objectName());
            QPointer<QDialog> d(dialog);
            QTimer::singleShot(0, this, [this, d] {
                if (d)
                    answer(d);
            });
        }
        return false;
    }

private:
    void listFileDialogs()
    {
        for (QWidget *w : QApplication::allWidgets())
            if (auto *f = qobject_cast<QFileDialog *>(w)) {
                if (f->iconProvider() != Seams::fileIconProvider())
                    stockDialogs << (f->windowTitle().isEmpty() ? QStringLiteral("(untitled)") : f->windowTitle());
            }
    }

    void answer(QPointer<QDialog> d)
    {
        if (auto *f = qobject_cast<QFileDialog *>(d.data())) {
            ++fileDialogs;
            if (whileFileDialogUp)
                whileFileDialogUp(f);
        } else if (QByteArray(d->metaObject()->className()).contains("Print")) {
            for (QToolBar *bar : d->findChildren<QToolBar *>())
                for (QAction *a : bar->actions())
                    if (d && a->isEnabled() && !a->isSeparator())
                        a->trigger();
            for (QComboBox *box : d ? d->findChildren<QComboBox *>() : QList<QComboBox *>())
                for (int i = 0; d && i < box->count(); ++i) {
                    box->setCurrentIndex(i);
                    pressButtons(d);
                }
            if (d)
                pressButtons(d);
        } else if (auto *color = d->findChild<QAbstractButton *>(QStringLiteral("BtnColor"))) {
            color->click();
        }
        if (d && d->isVisible())
            d->reject();
        if (d && d->isVisible())
            d->done(QDialog::Rejected);
    }

    // Every button of the dialog's own that is there to press, but those that close it.
    void pressButtons(QPointer<QDialog> d)
    {
        for (QAbstractButton *b : d->findChildren<QAbstractButton *>()) {
            if (!d)
                return;
            if (!b->isVisibleTo(d) || !b->isEnabled() || qobject_cast<QDialogButtonBox *>(b->parentWidget()))
                continue;
            QPointer<QAbstractButton> guard(b);
            b->click();
            if (guard && b->isCheckable() && b->isChecked() != false)
                b->click();
        }
    }
};

std::shared_ptr<ReportDocument> smallReport()
{
    auto doc = std::make_shared<ReportDocument>();
    ReportBlock title;
    title.paragraph.insert(0, QStringLiteral("Отчет о технике"), true);
    doc->blocks.push_back(title);
    ReportBlock line;
    line.paragraph.insert(0, QStringLiteral("Принтер, кабинет 12"), false);
    doc->blocks.push_back(line);
    return doc;
}

// Holds a read transaction open on the program's database in WAL mode, as a working copy does.
struct HeldDatabase {
    explicit HeldDatabase(TestDb &db) : read(db.module()->connection())
    {
        db.module()->connectTo(QStringLiteral("(local)"));
        read = QSqlQuery(db.module()->connection());
        ok = read.exec(QStringLiteral("BEGIN")) && read.exec(QStringLiteral("SELECT count(*) FROM izdel")) &&
             read.next();
        file = QDir(db.folder()).filePath(QStringLiteral("org_tech.sqlite"));
    }
    ~HeldDatabase() { read.exec(QStringLiteral("COMMIT")); }
    QSqlQuery read;
    QString file;
    bool ok = false;
};

// Lets a file dialog list the folder and fetch every type and icon it shows there.
bool listFolder(QFileDialog *dialog, const QString &folder)
{
    dialog->setDirectory(folder);
    auto *model = dialog->findChild<QFileSystemModel *>();
    if (!model || !QTest::qWaitFor([&] { return model->rowCount(model->index(folder)) >= 3; }, 30000))
        return false;
    const QModelIndex parent = model->index(folder);
    for (int i = 0; i < model->rowCount(parent); ++i)
        for (int c = 0; c < model->columnCount(parent); ++c) {
            model->data(model->index(i, c, parent), Qt::DisplayRole);
            model->data(model->index(i, c, parent), Qt::DecorationRole);
        }
    QTest::qWait(1500);
    return true;
}

}  // namespace

class TestProgramFiles : public QObject {
    Q_OBJECT
private slots:
    void saveDialogLeavesTheDatabaseLocksAlone();
    void everyFileDialogIsTheProgramsOwn();
    void printingLeavesTheDatabaseLocksAlone();
    void printDialogOffersPrintersOnly();
    void reportEditorReadsNoFiles();
};

void TestProgramFiles::saveDialogLeavesTheDatabaseLocksAlone()
{
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("the sqlite3 shell is missing (scripts/install-deps.sh installs it)");
        QSKIP("the sqlite3 shell is missing");
    }
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString file = QDir(db.folder()).filePath(QStringLiteral("org_tech.sqlite"));
    // The module connects to the embedded database through "use", as the program does.
    db.module()->connectTo(QStringLiteral("(local)"));
    QSqlQuery read(db.module()->connection());
    QVERIFY(read.exec(QStringLiteral("BEGIN")));
    QVERIFY(read.exec(QStringLiteral("SELECT count(*) FROM izdel")) && read.next());
    QVERIFY(QFile::exists(file + QStringLiteral("-wal")));
    QVERIFY(QFile::exists(file + QStringLiteral("-shm")));

    QString output;
    QVERIFY2(!anotherProcessGetsExclusiveLock(file, output), qPrintable(output));

    // The program's own save dialog, opened where the program was started from.
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(db.folder());
    bool listed = false;
    bool lockTaken = false;
    QString shownIn;
    QTimer::singleShot(0, [&] {
        QFileDialog *dialog = nullptr;
        if (!QTest::qWaitFor([&] { return (dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); },
                             30000))
            return;
        shownIn = dialog->directory().absolutePath();
        auto *model = dialog->findChild<QFileSystemModel *>();
        if (model && QTest::qWaitFor([&] { return model->rowCount(model->index(db.folder())) >= 3; }, 30000)) {
            // Let it list the folder, then fetch types and icons (in a worker thread).
            const QModelIndex parent = model->index(db.folder());
            for (int i = 0; i < model->rowCount(parent); ++i)
                for (int c = 0; c < model->columnCount(parent); ++c) {
                    model->data(model->index(i, c, parent), Qt::DisplayRole);
                    model->data(model->index(i, c, parent), Qt::DecorationRole);
                }
            QTest::qWait(1500);
            listed = true;
            lockTaken = anotherProcessGetsExclusiveLock(file, output);
        }
        dialog->reject();
    });
    const QString chosen =
        Seams::dialogs().saveFileName(nullptr, QStringLiteral("Сохранить"), QStringLiteral("Все файлы (*)"), QString());
    QDir::setCurrent(oldCurrent);
    QVERIFY(chosen.isEmpty());
    QCOMPARE(QDir(shownIn).canonicalPath(), QDir(db.folder()).canonicalPath());
    QVERIFY(listed);
    QVERIFY2(!lockTaken,
             qPrintable(QStringLiteral("another process took the database while it was in use: ") + output));
    read.exec(QStringLiteral("COMMIT"));
}

// Every file dialog the program can show, found by driving what shows one: printing (with
// everything the preview and the print dialog offer), PDF and ODT, CSV export, the archive,
// the font and colour dialogs.
void TestProgramFiles::everyFileDialogIsTheProgramsOwn()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    DialogWatch watch;
    {
        ReportWindow report(smallReport());
        report.setAttribute(Qt::WA_DeleteOnClose, false);
        report.show();
        report.printReport();
        report.saveAsPdf();
        report.saveAsOdt();
        report.document()->setModified(false);
    }
    {
        QPrinter printer;
        const std::unique_ptr<QPrintDialog> dialog = Printing::printerDialog(&printer, nullptr);
        dialog->exec();
    }
    {
        QFont font;
        QColor color;
        Seams::dialogs().chooseFont(font, color, nullptr);
    }
    {
        TFrmArchive archive;
        archive.BtnExport->click();
        archive.MakeArhive->click();
    }
    qInfo("dialogs shown: %s", qPrintable(watch.shown.join(QStringLiteral(", "))));
    QVERIFY2(watch.stockDialogs.isEmpty(), qPrintable(QStringLiteral("file dialogs that read files: ") +
                                                      watch.stockDialogs.join(QStringLiteral(", "))));
    // The program's own save dialogs were among them: PDF, ODT and the CSV export.
    QVERIFY2(watch.fileDialogs >= 3, qPrintable(watch.shown.join(QStringLiteral(", "))));
}

// The hardening's lock test, through everything printing offers.
void TestProgramFiles::printingLeavesTheDatabaseLocksAlone()
{
    if (!haveSqliteShell()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("the sqlite3 shell is missing (scripts/install-deps.sh installs it)");
        QSKIP("the sqlite3 shell is missing");
    }
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    HeldDatabase held(db);
    QVERIFY(held.ok);
    QString output;
    QVERIFY2(!anotherProcessGetsExclusiveLock(held.file, output), qPrintable(output));

    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(db.folder());
    DialogWatch watch;
    bool lockTaken = false;
    watch.whileFileDialogUp = [&](QFileDialog *dialog) {
        if (listFolder(dialog, db.folder()))
            lockTaken = lockTaken || anotherProcessGetsExclusiveLock(held.file, output);
    };
    {
        ReportWindow report(smallReport());
        report.setAttribute(Qt::WA_DeleteOnClose, false);
        report.show();
        report.printReport();
        report.document()->setModified(false);
    }
    QDir::setCurrent(oldCurrent);
    lockTaken = lockTaken || anotherProcessGetsExclusiveLock(held.file, output);
    qInfo("dialogs shown: %s", qPrintable(watch.shown.join(QStringLiteral(", "))));
    QVERIFY2(!lockTaken,
             qPrintable(QStringLiteral("another process took the database while it was in use: ") + output));
    QVERIFY2(watch.stockDialogs.isEmpty(), qPrintable(watch.stockDialogs.join(QStringLiteral(", "))));
}

// Qt's print dialog, as the program shows it: printers and nothing else.
void TestProgramFiles::printDialogOffersPrintersOnly()
{
    QPrinter printer;
    const std::unique_ptr<QPrintDialog> dialog = Printing::printerDialog(&printer, nullptr);
    QVERIFY(!dialog->testOption(QAbstractPrintDialog::PrintToFile));
    QTimer::singleShot(0, dialog.get(), [&] {
        for (QComboBox *box : dialog->findChildren<QComboBox *>())
            for (int i = 0; i < box->count(); ++i)
                QVERIFY2(!box->itemText(i).contains(QLatin1String("PDF"), Qt::CaseInsensitive) &&
                             !box->itemText(i).contains(QLatin1String("файл"), Qt::CaseInsensitive) &&
                             !box->itemText(i).contains(QLatin1String("file"), Qt::CaseInsensitive),
                         qPrintable(box->itemText(i)));
        dialog->reject();
    });
    dialog->exec();
}

// HTML pasted or dropped into a report may name an image by file: the editor must not read
// it (the database's own file here), or the database loses its locks.
void TestProgramFiles::reportEditorReadsNoFiles()
{
    if (!haveSqliteShell()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("the sqlite3 shell is missing (scripts/install-deps.sh installs it)");
        QSKIP("the sqlite3 shell is missing");
    }
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    HeldDatabase held(db);
    QVERIFY(held.ok);
    ReportWindow report(smallReport());
    report.setAttribute(Qt::WA_DeleteOnClose, false);
    report.show();
    QVERIFY(QTest::qWaitForWindowExposed(&report));
    for (const char *suffix : {"", "-wal", "-shm"})
        report.editor()->insertHtml(
            QStringLiteral("<img src=\"%1\">").arg(QUrl::fromLocalFile(held.file + QLatin1String(suffix)).toString()));
    report.editor()->repaint();
    QTest::qWait(200);
    QString output;
    QVERIFY2(!anotherProcessGetsExclusiveLock(held.file, output), qPrintable(output));
    report.document()->setModified(false);
}

QTEST_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
