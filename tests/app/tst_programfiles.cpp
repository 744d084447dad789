// Only SQLite opens the database's files. A file dialog that lists the program folder must
// not open them to guess their type: closing another descriptor on a file drops this
// process's POSIX locks on it, and another copy of the program would then believe it is
// alone with the database.
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
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
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
           output.contains(QLatin1String("takenover"));
}

}  // namespace

class TestProgramFiles : public QObject {
    Q_OBJECT
private slots:
    void saveDialogLeavesTheDatabaseLocksAlone();
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
    const QString chosen = Seams::dialogs().saveFileName(nullptr, QStringLiteral("Сохранить"),
                                                         QStringLiteral("Все файлы (*)"), QString());
    QDir::setCurrent(oldCurrent);
    QVERIFY(chosen.isEmpty());
    QCOMPARE(QDir(shownIn).canonicalPath(), QDir(db.folder()).canonicalPath());
    QVERIFY(listed);
    QVERIFY2(!lockTaken, qPrintable(QStringLiteral("another process took the database while it was in use: ") + output));
    read.exec(QStringLiteral("COMMIT"));
}

QTEST_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
