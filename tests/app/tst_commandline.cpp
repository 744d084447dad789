// Where this copy keeps its files, and the command line: help and version answer without a
// display and touch nothing; a server named for one run leaves the settings file alone.
#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "core/Session.h"
#include "register/main.h"
#include "session/login.h"
#include "storage/IniFile.h"
#include "storage/PgBackend.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QtTest>

namespace {

const QByteArray IniText = "; kept as it is\r\n[main]\r\nserver=(local)\r\n";

QByteArray fileBytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every file and folder under the folder, with its size and time of change.
QStringList listing(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo &i = it.fileInfo();
        out << QStringLiteral("%1 %2 %3").arg(i.filePath()).arg(i.size()).arg(i.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

// Lets the ordinary user write in a folder the test made.
void openForWriting(const QString &folder)
{
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void helpAndVersionTouchNothing_data();
    void helpAndVersionTouchNothing();
    void dataFolderChoice_data();
    void dataFolderChoice();
    void helpNamesTheUserFolderOfAnInstalledCopy();
    void firstAndSecondRun_data();
    void firstAndSecondRun();
    void unwritableUserFolderIsNamed();
    void serverForOneRun_data();
    void serverForOneRun();
    void serverOption();
    void settingsKeptInMemory();

private:
    QString userFolder() const { return QDir(m_xdg).filePath(QStringLiteral("Tavrell/Tavrell")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_program;  // the program's folder
    QString m_xdg;      // XDG_DATA_HOME
    QByteArray m_oldXdg;
};

void TestCommandLine::initTestCase()
{
    TFrmLogin::SplashDelayMs = 0;
    m_oldXdg = qgetenv("XDG_DATA_HOME");
    CommandLine::nameApplication();
}

void TestCommandLine::init()
{
    session() = Session();
    Backend::setDatabaseName(QStringLiteral("org_tech"));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AsOrdinaryUser::openUp(m_dir->path());
    m_program = m_dir->filePath(QStringLiteral("program"));
    m_xdg = m_dir->filePath(QStringLiteral("xdg"));
    QVERIFY(QDir().mkpath(m_program));
    AsOrdinaryUser::openUp(m_program);
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_xdg));
    Seams::setProgramFolder(m_program);
}

void TestCommandLine::cleanup()
{
    Seams::setProgramFolder(QString());
    Startup::setServer(QString());
    if (m_oldXdg.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_oldXdg);
    m_dir.reset();
}

void TestCommandLine::helpAndVersionTouchNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--help") << QStringList{"--help"} << "--server <сервер>";
    QTest::newRow("-h") << QStringList{"-h"} << "--server <сервер>";
    QTest::newRow("--version") << QStringList{"--version"} << "Tavrell 1.0\n";
    QTest::newRow("--version with --server") << QStringList{"--server", "nowhere", "--version"} << "Tavrell 1.0\n";
}

void TestCommandLine::helpAndVersionTouchNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    // A copy of the real program with an existing copy's settings beside it.
    const QString exe = QDir(m_program).filePath(QStringLiteral("tavrell"));
    QVERIFY(QFile::copy(QStringLiteral(TAVRELL_EXECUTABLE), exe));
    QVERIFY(writeBytes(QDir(m_program).filePath(QStringLiteral("remont.ini")), IniText));
    const QString home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    const QStringList before = listing(m_dir->path());

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display at all: the answer must not need one.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_xdg);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(home).filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), QDir(home).filePath(QStringLiteral(".cache")));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path());
    p.start(exe, args);
    QVERIFY2(p.waitForFinished(60000), "the program did not end");
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 0, qPrintable(err));
    if (expected.endsWith(QLatin1Char('\n'))) {
        QCOMPARE(out, expected);
    } else {
        QVERIFY2(out.contains(expected), qPrintable(out));
        // It ends with the folder of this copy's files: here, beside the program.
        QVERIFY2(out.trimmed().endsWith(QDir::toNativeSeparators(m_program)), qPrintable(out));
    }
    QCOMPARE(fileBytes(QDir(m_program).filePath(QStringLiteral("remont.ini"))), IniText);
    QCOMPARE(listing(m_dir->path()), before);
}

void TestCommandLine::dataFolderChoice_data()
{
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<QString>("programHolds");
    QTest::addColumn<QString>("userHolds");
    QTest::addColumn<bool>("inUserFolder");
    QTest::newRow("writable, empty") << true << ""
                                     << "" << false;
    QTest::newRow("read-only, empty") << false << ""
                                      << "" << true;
    QTest::newRow("read-only, old settings beside the program") << false << "remont.ini"
                                                                << "" << false;
    QTest::newRow("read-only, old database beside the program") << false << "org_tech.sqlite"
                                                                << "" << false;
    QTest::newRow("writable, settings in the user folder") << true << ""
                                                           << "remont.ini" << true;
    QTest::newRow("writable, database in the user folder") << true << ""
                                                           << "org_tech.sqlite" << true;
    QTest::newRow("both hold files") << true << "remont.ini"
                                     << "remont.ini" << false;
}

// Files an existing copy keeps are never passed over for an empty folder; a new copy's
// files go beside the program only where it can write.
void TestCommandLine::dataFolderChoice()
{
    QFETCH(bool, programWritable);
    QFETCH(QString, programHolds);
    QFETCH(QString, userHolds);
    QFETCH(bool, inUserFolder);
    if (!programHolds.isEmpty())
        QVERIFY(writeBytes(QDir(m_program).filePath(programHolds), IniText));
    if (!userHolds.isEmpty()) {
        QVERIFY(QDir().mkpath(userFolder()));
        QVERIFY(writeBytes(QDir(userFolder()).filePath(userHolds), IniText));
    }
    if (programWritable)
        openForWriting(m_program);
    QString chosen, direct;
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        QCOMPARE(Seams::canWriteFolder(m_program), programWritable);
        chosen = Seams::dataFolder();
        direct = Seams::chooseDataFolder(m_program, userFolder());
    }
    QCOMPARE(chosen, inUserFolder ? userFolder() : m_program);
    QCOMPARE(direct, chosen);
    // Installed among the system's programs: never beside them, even for the superuser.
    if (programHolds.isEmpty() && userHolds.isEmpty())
        QCOMPARE(Seams::chooseDataFolder(QStringLiteral("/usr/bin"), userFolder()), userFolder());
    // Asking makes nothing.
    QCOMPARE(QFileInfo::exists(userFolder()), !userHolds.isEmpty());
}

void TestCommandLine::helpNamesTheUserFolderOfAnInstalledCopy()
{
    QString text;
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        text = CommandLine::helpText();
    }
    QVERIFY2(text.trimmed().endsWith(QDir::toNativeSeparators(userFolder())), qPrintable(text));
    QVERIFY(!QFileInfo::exists(m_xdg));
}

void TestCommandLine::firstAndSecondRun_data()
{
    QTest::addColumn<bool>("programWritable");
    QTest::newRow("installed: program folder read-only") << false;
    QTest::newRow("own copy: program folder writable") << true;
}

// The first run creates the settings and the database where this copy keeps its files;
// the second reaches the login.
void TestCommandLine::firstAndSecondRun()
{
    QFETCH(bool, programWritable);
    openForWriting(m_dir->path());  // the user's data folder is made under it
    if (programWritable)
        openForWriting(m_program);
    const QString files = programWritable ? m_program : userFolder();
    const QStringList programBefore = listing(m_program);
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        ScriptedDialogs dialogs;
        dialogs.dialogs.enqueue([](QDialog &) { return int(QDialog::Accepted); });  // "Создать локальную БД"
        QCOMPARE(Startup::run(), 0);
        QCOMPARE(dialogs.execLog, QStringList({"FrmConnect"}));
        QCOMPARE(dialogs.texts(),
                 QStringList({"Создана локальная база данных [org_tech]. Запустите программу заново"}));
    }
    QVERIFY(QFileInfo(QDir(files).filePath(QStringLiteral("org_tech.sqlite"))).isFile());
    QCOMPARE(IniFile(QDir(files).filePath(QStringLiteral("remont.ini")))
                 .readString(QStringLiteral("main"), QStringLiteral("server"), QString()),
             QStringLiteral("(local)"));
    if (programWritable)
        QVERIFY(!QFileInfo::exists(m_xdg));
    else
        QCOMPARE(listing(m_program), programBefore);
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        ScriptedDialogs dialogs;
        dialogs.dialogs.enqueue([](QDialog &d) {
            d.reject();
            return d.result();
        });
        QCOMPARE(Startup::run(), 0);
        QCOMPARE(dialogs.execLog, QStringList({"FrmLogin"}));
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    }
}

// An installed copy whose user folder cannot be made says which file it could not make.
void TestCommandLine::unwritableUserFolderIsNamed()
{
    // m_dir itself stays closed to the ordinary user: the user's data folder cannot be made.
    ScriptedDialogs dialogs;
    dialogs.dialogs.enqueue([](QDialog &) { return int(QDialog::Accepted); });
    int code = 0;
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        code = Startup::run();
    }
    QCOMPARE(code, 1);
    QCOMPARE(dialogs.messages.size(), 1);
    const QString text = dialogs.messages.first().text;
    QVERIFY2(text.contains(QDir::toNativeSeparators(QDir(userFolder()).filePath(QStringLiteral("org_tech.sqlite")))),
             qPrintable(text));
    QVERIFY(!QFileInfo::exists(m_xdg));
}

void TestCommandLine::serverForOneRun_data()
{
    QTest::addColumn<bool>("haveSettings");
    QTest::newRow("settings name the embedded database") << true;
    QTest::newRow("first run: no settings yet") << false;
}

// --server: the named PostgreSQL server for this run; a first run there asks nothing, the
// next one logs in, and remont.ini stays byte for byte (the view settings the main window
// saves included).
void TestCommandLine::serverForOneRun()
{
    QFETCH(bool, haveSettings);
    if (testPgServer().isEmpty())
        TAVRELL_NO_PG_SERVER();
    const QString name = QStringLiteral("tavrell_cl%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QDateTime::currentMSecsSinceEpoch() % 100000000);
    Backend::setDatabaseName(name);
    const QString ini = QDir(m_program).filePath(QStringLiteral("remont.ini"));
    if (haveSettings)
        QVERIFY(writeBytes(ini, IniText + "[FrmMain]\r\nwidth=640\r\n"));
    const QByteArray before = fileBytes(ini);
    const QStringList folderBefore = listing(m_program);

    Startup::setServer(testPgServer());
    {
        ScriptedDialogs dialogs;
        QCOMPARE(Startup::run(), 0);  // makes the database on that server, after a yes
        QCOMPARE(dialogs.execLog, QStringList());
        QCOMPARE(
            dialogs.texts(),
            QStringList({QStringLiteral("На сервере %1 нет базы данных [org_tech].\r\nСоздать ее?").arg(testPgServer()),
                         QStringLiteral("Создана база данных [org_tech] на сервере %1. Запустите программу заново")
                             .arg(testPgServer())}));
    }
    QString driver;
    {
        ScriptedDialogs dialogs;
        dialogs.dialogs.enqueue([&](QDialog &d) {
            driver = dm ? dm->connection().driverName() : QString();
            d.reject();
            return d.result();
        });
        QCOMPARE(Startup::run(), 0);
        QCOMPARE(dialogs.execLog, QStringList({"FrmLogin"}));
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    }
    dropPgDatabase(name);
    QCOMPARE(driver, QStringLiteral("QPSQL"));
    QCOMPARE(fileBytes(ini), before);
    QCOMPARE(listing(m_program), folderBefore);
    QVERIFY(!QFileInfo::exists(m_xdg));
}

void TestCommandLine::serverOption()
{
    const auto parse = [](const QStringList &args) {
        return CommandLine::parse(QStringList{QStringLiteral("tavrell")} + args, true);
    };
    QCOMPARE(parse({}).server, QString());
    QVERIFY(!parse({}).exitNow);
    QCOMPARE(parse({"--server", "db.example:5433"}).server, QStringLiteral("db.example:5433"));
    QCOMPARE(parse({"--server=(local)"}).server, QStringLiteral("(local)"));
    const CommandLine::Options missing = parse({"--server"});
    QVERIFY(missing.exitNow);
    QVERIFY(missing.exitCode != 0);
    QVERIFY(parse({"--no-such-option"}).exitNow);
    QVERIFY(parse({"stray"}).exitNow);
    // Before the windowing application, Qt's own options may still be there.
    QVERIFY(!CommandLine::parse({"tavrell", "-platform", "offscreen"}, false).exitNow);
}

// The main window saves its view on closing: in a run on another server that reaches only
// the settings in memory.
void TestCommandLine::settingsKeptInMemory()
{
    const QString ini = QDir(m_program).filePath(QStringLiteral("remont.ini"));
    QVERIFY(writeBytes(ini, IniText));
    IniFile settings(ini);
    settings.keepInMemory();
    settings.writeInteger(QStringLiteral("FrmMain"), QStringLiteral("width"), 800);
    settings.writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("elsewhere"));
    QCOMPARE(settings.readInteger(QStringLiteral("FrmMain"), QStringLiteral("width"), 0), 800);
    QCOMPARE(settings.readString(QStringLiteral("main"), QStringLiteral("server"), QString()),
             QStringLiteral("elsewhere"));
    QCOMPARE(fileBytes(ini), IniText);
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
