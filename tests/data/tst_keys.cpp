// Key allocation under contention: several programs allocating for one table at the same
// moment never receive the same key, and none of them sees an error.
#include "TestSupport.h"
#include "core/Errors.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QtTest>
#include <cstdio>

namespace {
constexpr int Workers = 8;
constexpr int KeysEach = 1000;

// Worker: tst_keys --allocate SERVER DATABASE FOLDER GOFILE COUNT; prints one key a line.
int allocate(const QStringList &args)
{
    const QString server = args.value(2), database = args.value(3), folder = args.value(4), go = args.value(5);
    const int count = args.value(6).toInt();
    Seams::setProgramFolder(folder);
    Backend::setDatabaseName(database);
    Tdm module;
    dm = &module;
    try {
        module.connectTo(server);
        // Everybody starts at the same moment.
        while (!QFile::exists(go))
            QThread::usleep(200);
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out +=
                QByteArray::number(module.GetNewId(i % 2 ? QStringLiteral("izdel") : QStringLiteral("IZDEL"))) + '\n';
        fwrite(out.constData(), 1, size_t(out.size()), stdout);
    } catch (const TavrellError &e) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
}  // namespace

class TestKeys : public QObject {
    Q_OBJECT
private slots:
    void concurrentAllocation_data() { addBackendCases(); }

    void concurrentAllocation()
    {
        TAVRELL_TEST_DB(db);
        const int before = db.scalar(QStringLiteral("select LastId from ids where TblName = 'IZDEL'")).toInt();
        QCOMPARE(before, 110);
        const QString go = db.folder() + QStringLiteral("/go");
        // The worker opens the database itself: the embedded one is the file in the folder.
        db.module()->connection().close();

        QList<QProcess *> procs;
        for (int i = 0; i < Workers; ++i) {
            auto *p = new QProcess(this);
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--allocate"), db.serverName(), Backend::databaseName(), db.folder(), go,
                      QString::number(KeysEach)});
            QVERIFY(p->waitForStarted());
            procs << p;
        }
        QThread::msleep(300);
        QFile f(go);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        QSet<int> keys;
        int total = 0;
        for (QProcess *p : procs) {
            QVERIFY(p->waitForFinished(300000));
            QCOMPARE(p->exitCode(), 0);
            QCOMPARE(QString::fromLocal8Bit(p->readAllStandardError()).trimmed(), QString());
            const QList<QByteArray> lines = p->readAllStandardOutput().split('\n');
            for (const QByteArray &l : lines) {
                if (l.isEmpty())
                    continue;
                keys.insert(l.toInt());
                ++total;
            }
        }
        qDeleteAll(procs);
        QCOMPARE(total, Workers * KeysEach);
        QCOMPARE(keys.size(), Workers * KeysEach);  // no key handed out twice
        QCOMPARE(*std::min_element(keys.begin(), keys.end()), before + 1);
        QCOMPARE(*std::max_element(keys.begin(), keys.end()), before + Workers * KeysEach);

        db.module()->connectTo(db.serverName());
        QCOMPARE(db.scalar(QStringLiteral("select LastId from ids where TblName = 'IZDEL'")).toInt(),
                 before + Workers * KeysEach);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--allocate"))
        return allocate(args);
    TestKeys t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_keys.moc"
