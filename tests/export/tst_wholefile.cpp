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

QTEST_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
