// An export's file written whole: a failure names the file the user chose, with the system's
// reason, never a temporary file's name or an empty "unknown error".
#include "TestSupport.h"
#include "export/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#if defined(Q_OS_LINUX)
#include <sys/mount.h>
#endif

class TestWholeFile : public QObject {
    Q_OBJECT
private slots:
    void fullDiskIsSaidSo_data();
    void fullDiskIsSaidSo();
    void databaseFilesRefused_data();
    void databaseFilesRefused();
};

void TestWholeFile::fullDiskIsSaidSo_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("existing");
    QTest::newRow("new file larger than the disk") << 256 * 1024 << false;
    QTest::newRow("existing file, new content larger than the disk") << 256 * 1024 << true;
    QTest::newRow("new file a little too large") << 70 * 1024 << false;
}

void TestWholeFile::fullDiskIsSaidSo()
{
    QFETCH(int, size);
    QFETCH(bool, existing);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A small disk of its own: a memory file system of 64 KiB.
#if defined(Q_OS_LINUX)
    if (::mount("tavrell-test", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=64k") != 0) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        qInfo("no small disk for the test: mounting a 64 KiB tmpfs failed (%s; it needs the superuser)",
              qPrintable(why));
        // The test command runs as the superuser: there the case must run.
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("a small tmpfs cannot be mounted under CI");
        QSKIP("a small tmpfs cannot be mounted here");
    }
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(dir.path())};
#else
    QSKIP("a small disk is made on Linux only");
#endif
    const QString target = QDir(dir.path()).filePath(QStringLiteral("Отчет.csv"));
    const QByteArray old("old content\r\n");
    if (existing) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    const QString reason = WholeFile::write(target, QByteArray(size, 'x'), true);
    QVERIFY(!reason.isEmpty());
    QVERIFY2(reason.contains(QStringLiteral("мест")), qPrintable(reason));
    QVERIFY2(!reason.contains(QLatin1String("Unknown")) && !reason.contains(QStringLiteral("Неизвестная")),
             qPrintable(reason));
    // Only the file the user chose is there (or still as it was); nothing half-written is left.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             existing ? QStringList{QStringLiteral("Отчет.csv")} : QStringList());
    if (existing) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
}

void TestWholeFile::databaseFilesRefused_data()
{
    QTest::addColumn<QString>("backend");  // empty: not connected
    QTest::addColumn<QString>("suffix");   // after the embedded database's file name
    QTest::addColumn<bool>("refused");
    for (const char *backend : {"", "sqlite", "postgres"}) {
        const char *shown = *backend ? backend : "not connected";
        QTest::addRow("%s: the database", shown) << QString::fromLatin1(backend) << QString() << true;
        QTest::addRow("%s: its log", shown) << QString::fromLatin1(backend) << QStringLiteral("-wal") << true;
        QTest::addRow("%s: its index", shown) << QString::fromLatin1(backend) << QStringLiteral("-shm") << true;
        QTest::addRow("%s: its journal", shown) << QString::fromLatin1(backend) << QStringLiteral("-journal") << true;
        QTest::addRow("%s: a file beside it", shown) << QString::fromLatin1(backend) << QStringLiteral(".csv") << false;
    }
}

// The embedded database's files are refused whatever the program works on: a copy started
// on "(local)" from the same folder keeps its data there while this one works on a server.
void TestWholeFile::databaseFilesRefused()
{
    QFETCH(QString, backend);
    QFETCH(QString, suffix);
    QFETCH(bool, refused);
    if (backend == QLatin1String("postgres") && testPgServer().isEmpty())
        TAVRELL_NO_PG_SERVER();
    QTemporaryDir dir;
    std::unique_ptr<TestDb> db;
    if (backend.isEmpty()) {
        Seams::setProgramFolder(dir.path());
    } else {
        db = std::make_unique<TestDb>(backend);
        QVERIFY2(db->ok(), qPrintable(db->error()));
    }
    const QString folder = db ? db->folder() : dir.path();
    const QString path = QDir(folder).filePath(Backend::databaseName() + QStringLiteral(".sqlite") + suffix);
    const QString reason = WholeFile::refusal(path);
    if (backend.isEmpty())
        Seams::setProgramFolder(QString());
    QCOMPARE(reason.contains(QStringLiteral("это файл базы данных программы")), refused);
    QCOMPARE(reason.isEmpty(), !refused);
}

QTEST_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
