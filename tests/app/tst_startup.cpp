// The program's start and end: first run, cancelled login, a working session that ends
// with the settings saved and the log written.
#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "core/Session.h"
#include "export/TempFiles.h"
#include "register/main.h"
#include "session/login.h"
#include "storage/IniFile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <sys/stat.h>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TFrmLogin::SplashDelayMs = 0; }
    void init();
    void cleanup();
    void firstRunCreatesTheDatabaseAndEnds();
    void windowsCarryTheProgramIcon();
    void cancelledLoginWritesNothing();
    void workingSessionSavesAndLogs();
    void failedStartEndsWithACode_data();
    void failedStartEndsWithACode();
    void userDataFolderIsPrivate_data();
    void userDataFolderIsPrivate();
    void startRemovesOldMail_data();
    void startRemovesOldMail();

private:
    // Runs the program once in the test's folder.
    int start() { return Startup::run(); }
    QString ini() const { return QDir(m_dir->path()).filePath(QStringLiteral("remont.ini")); }
    QVariant scalar(const QString &sql) const;
    QByteArray iniBytes() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStartup::init()
{
    session() = Session();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Seams::setProgramFolder(m_dir->path());
    Backend::setDatabaseName(QStringLiteral("org_tech"));
}

void TestStartup::cleanup()
{
    Seams::setProgramFolder(QString());
    m_dir.reset();
}

QVariant TestStartup::scalar(const QString &sql) const
{
    QVariant v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(QDir(m_dir->path()).filePath(QStringLiteral("org_tech.sqlite")));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                v = q.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return v;
}

QByteArray TestStartup::iniBytes() const
{
    QFile f(ini());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestStartup::firstRunCreatesTheDatabaseAndEnds()
{
    IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
    ScriptedDialogs dialogs;
    QCOMPARE(start(), 0);
    QCOMPARE(dialogs.texts(), QStringList({"Создана локальная база данных [org_tech]. Запустите программу заново"}));
    // Neither the main window nor the login dialog came up.
    QVERIFY(dialogs.execLog.isEmpty());
    QCOMPARE(frmmain, nullptr);
    QCOMPARE(dm, nullptr);
    QCOMPARE(scalar(QStringLiteral("select count(*) from izdel")).toInt(), 7);
    // Qt's own texts (the boxes' buttons, the dialogs) speak Russian from the start.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
}

// The desktop shows the program's icon on every window: the application's icon is set at the
// start, in each size the icon theme uses, and a window without its own shows it.
void TestStartup::windowsCarryTheProgramIcon()
{
    QApplication::setWindowIcon(QIcon());
    IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
    ScriptedDialogs dialogs;
    QCOMPARE(start(), 0);
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
        // Drawn, not an empty square: the middle of the printer is opaque.
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
    }
    QWidget window;
    QCOMPARE(window.windowIcon().cacheKey(), icon.cacheKey());
}

void TestStartup::cancelledLoginWritesNothing()
{
    IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
    {
        ScriptedDialogs dialogs;
        QCOMPARE(start(), 0);  // creates the database
    }
    const QByteArray iniBefore = iniBytes();
    const int logBefore = scalar(QStringLiteral("select count(*) from UserLog")).toInt();

    ScriptedDialogs dialogs;
    bool mainWindowExisted = false;
    bool mainWindowShown = true;
    dialogs.dialogs.enqueue([&](QDialog &d) {
        mainWindowExisted = frmmain && frmmain->Qry->Active();
        mainWindowShown = frmmain && frmmain->isVisible();
        d.reject();
        return d.result();
    });
    QCOMPARE(start(), 0);
    QCOMPARE(dialogs.execLog, QStringList({"FrmLogin"}));
    QVERIFY(mainWindowExisted);
    QVERIFY(!mainWindowShown);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(frmmain, nullptr);
    QCOMPARE(iniBytes(), iniBefore);
    QCOMPARE(scalar(QStringLiteral("select count(*) from UserLog")).toInt(), logBefore);
}

void TestStartup::workingSessionSavesAndLogs()
{
    IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
    {
        ScriptedDialogs dialogs;
        QCOMPARE(start(), 0);
    }
    const int logBefore = scalar(QStringLiteral("select count(*) from UserLog")).toInt();

    FixedClock clock(QDateTime(QDate(2024, 4, 1), QTime(8, 0, 0)));
    ScriptedDialogs dialogs;
    bool shownModal = false;
    QString typeAtShow;
    dialogs.dialogs.enqueue([&](QDialog &d) {
        auto &login = dynamic_cast<TFrmLogin &>(d);
        login.ComboLog->setCurrentIndex(login.ComboLog->findText(QStringLiteral("SYS ADMIN")));
        login.ep->setText(QStringLiteral("a"));
        login.BitBtn1->click();
        // Once the main window runs, the user works and then leaves through "Выход".
        QTimer::singleShot(0, [&] {
            shownModal = frmmain && frmmain->isVisible() && frmmain->windowModality() == Qt::ApplicationModal;
            typeAtShow = session().CurrentUserType;
            if (frmmain) {
                emit frmmain->Grid->titleClick(frmmain->columnOfField(QStringLiteral("Seria")));
                clock.current = clock.current.addSecs(3600);
                frmmain->ActExit->trigger();
            }
        });
        return d.result();
    });
    QCOMPARE(start(), 0);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QVERIFY(shownModal);
    QCOMPARE(typeAtShow, QStringLiteral("A"));
    QCOMPARE(frmmain, nullptr);

    // The login and the exit, one row each.
    QCOMPARE(scalar(QStringLiteral("select count(*) from UserLog")).toInt(), logBefore + 2);
    QCOMPARE(scalar(QStringLiteral("select count(*) from UserLog where LogAction = 2 and usr = 1")).toInt(), 1);
    QCOMPARE(scalar(QStringLiteral("select dt from UserLog where LogAction = 2")).toString(),
             QStringLiteral("2024-04-01 09:00:00.000"));
    const IniFile settings(ini());
    QCOMPARE(settings.readString(QStringLiteral("1"), QStringLiteral("SortField"), QString()), QStringLiteral("Seria"));
    QCOMPARE(settings.readString(QStringLiteral("1"), QStringLiteral("fontname"), QString()),
             QStringLiteral("Arial Cyr"));
}

// A start that cannot go on shows one message and returns a failure code; nothing is
// thrown out of it and nothing is written.
void TestStartup::failedStartEndsWithACode_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("named");
    // clang-format off
    QTest::newRow("first run in a folder that cannot be written") << "read-only folder" << "org_tech.sqlite";
    QTest::newRow("settings file too large") << "large settings" << "remont.ini";
    QTest::newRow("empty database file") << "empty database" << "org_tech.sqlite";
    QTest::newRow("NUL byte on the server line") << "NUL server" << "remont.ini";
    QTest::newRow("NUL byte elsewhere in [main]") << "NUL main" << "remont.ini";
    QTest::newRow("NUL byte in the [main] header") << "NUL header" << "remont.ini";
    QTest::newRow("settings file is a pipe") << "pipe settings" << "remont.ini";
    QTest::newRow("database the user may only read") << "read-only database" << "org_tech.sqlite";
    // clang-format on
}

void TestStartup::failedStartEndsWithACode()
{
    QFETCH(QString, kind);
    QFETCH(QString, named);
    const QString db = QDir(m_dir->path()).filePath(QStringLiteral("org_tech.sqlite"));
    if (kind == QLatin1String("large settings")) {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[main]\r\nserver=(local)\r\n") + QByteArray(IniFile::MaxSize, ';'));
    }
    if (kind == QLatin1String("empty database")) {
        IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QByteArray nulSettings =
        kind == QLatin1String("NUL server")   ? QByteArray("[main]\r\nserver=db\0host\r\n[1]\r\nwidth=5\r\n", 38)
        : kind == QLatin1String("NUL main")   ? QByteArray("[main]\r\nnote=\0\r\nserver=(local)\r\n", 32)
        : kind == QLatin1String("NUL header") ? QByteArray("[ma\0in]\r\nserver=(local)\r\n", 25)
                                              : QByteArray();
    if (!nulSettings.isEmpty()) {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(nulSettings);
    }
    if (kind == QLatin1String("pipe settings"))
        QCOMPARE(::mkfifo(QFile::encodeName(ini()).constData(), 0666), 0);
    AsOrdinaryUser::openUp(m_dir->path());
    if (kind == QLatin1String("read-only database")) {
        // A database in WAL mode that the user may read but not write, in a folder he may write.
        IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            c.setDatabaseName(db);
            QVERIFY(c.open());
            QSqlQuery q(c);
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode = WAL")));
            for (const char *t : {"ids", "users", "izdel", "States"})
                QVERIFY(q.exec(QStringLiteral("CREATE TABLE %1 (id integer)").arg(QLatin1String(t))));
            q.finish();
            c.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
        QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777)));
    }
    const QStringList filesBefore = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    const QByteArray before = kind == QLatin1String("pipe settings") ? QByteArray() : iniBytes();
    ScriptedDialogs dialogs;
    dialogs.dialogs.enqueue([](QDialog &) { return int(QDialog::Accepted); });  // "Создать локальную БД"
    int code = 0;
    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        code = start();
    }
    QCOMPARE(code, 1);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().caption, QStringLiteral("Ошибка"));
    // A new copy whose folder cannot be written keeps its files in the user's data folder
    // (the test's own, which the ordinary user cannot write either): the message names that file.
    const QString where = kind == QLatin1String("read-only folder")
                              ? QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("Tavrell/Tavrell"))
                              : m_dir->path();
    QVERIFY2(dialogs.messages.first().text.contains(QDir::toNativeSeparators(QDir(where).filePath(named))),
             qPrintable(dialogs.messages.first().text));
    QCOMPARE(frmmain, nullptr);
    QCOMPARE(dm, nullptr);
    if (kind != QLatin1String("pipe settings"))
        QCOMPARE(iniBytes(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), filesBefore);
    if (kind == QLatin1String("empty database"))
        QCOMPARE(QFileInfo(db).size(), qint64(0));
}

// An installed copy keeps the database (passwords in it) in the user's data folder: what the
// program makes there is its user's alone. What is already there keeps its modes, and a copy
// unpacked into a folder of the user's own keeps the modes his system gives new files.
void TestStartup::userDataFolderIsPrivate_data()
{
    QTest::addColumn<QString>("place");
    // clang-format off
    QTest::newRow("new user data folder") << "user";
    QTest::newRow("existing user data folder and settings") << "user, existing";
    QTest::newRow("program folder") << "program";
    // clang-format on
}

void TestStartup::userDataFolderIsPrivate()
{
    QFETCH(QString, place);
    const mode_t umaskNow = ::umask(022);
    ::umask(umaskNow);
    const int ordinaryFile = int(0666 & ~umaskNow), ordinaryFolder = int(0777 & ~umaskNow);
    const QString home = QDir(m_dir->path()).filePath(QStringLiteral("share"));
    const QString data = QDir(home).filePath(QStringLiteral("Tavrell/Tavrell"));
    const bool inUserFolder = place.startsWith(QLatin1String("user"));
    if (inUserFolder) {
        // An installed copy: the program's folder is the system's.
        Seams::setProgramFolder(QStringLiteral("/usr/lib"));
        Seams::setUserDataFolder(data);
    }
    const QString folder = inUserFolder ? data : m_dir->path();
    const QString settings = QDir(folder).filePath(QStringLiteral("remont.ini"));
    if (place == QLatin1String("user, existing")) {
        QVERIFY(QDir().mkpath(data));
        QVERIFY(QFile::setPermissions(data, QFileDevice::Permissions(0x7755)));
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[main]\r\nserver=(local)\r\n");
        f.close();
        QVERIFY(QFile::setPermissions(settings, QFileDevice::Permissions(0x6644)));
    }
    ScriptedDialogs dialogs;
    dialogs.dialogs.enqueue([](QDialog &) { return int(QDialog::Accepted); });  // "Создать локальную БД"
    const int code = start();
    Seams::setProgramFolder(m_dir->path());
    Seams::setUserDataFolder(QString());
    QCOMPARE(code, 0);
    QVERIFY2(QFile::exists(QDir(folder).filePath(QStringLiteral("org_tech.sqlite"))),
             qPrintable(dialogs.texts().join('|')));
    const auto mode = [](const QString &path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    const bool existing = place == QLatin1String("user, existing");
    const int privateFile = 0600, privateFolder = 0700;
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    QVERIFY(files.contains(QStringLiteral("org_tech.sqlite")));
    for (const QString &name : files) {
        const int expected = name == QLatin1String("remont.ini") && existing ? 0644
                             : inUserFolder                                  ? privateFile
                                                                             : ordinaryFile;
        QCOMPARE(QStringLiteral("%1 %2").arg(name).arg(mode(QDir(folder).filePath(name)), 0, 8),
                 QStringLiteral("%1 %2").arg(name).arg(expected, 0, 8));
    }
    if (inUserFolder) {
        QCOMPARE(mode(data), existing ? 0755 : privateFolder);
        QCOMPARE(mode(QFileInfo(data).absolutePath()), existing ? ordinaryFolder : privateFolder);
    } else {
        Q_UNUSED(ordinaryFolder);
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

// Each start clears the attachments of mails written more than a week before; newer ones stay.
void TestStartup::startRemovesOldMail_data()
{
    QTest::addColumn<int>("daysLater");
    QTest::addColumn<bool>("kept");
    QTest::newRow("started the same day") << 0 << true;
    QTest::newRow("started a week and a day later") << TempFiles::MailKeepDays + 1 << false;
}

void TestStartup::startRemovesOldMail()
{
    QFETCH(int, daysLater);
    QFETCH(bool, kept);
    CommandLine::nameApplication();  // the cache folder is named after the program
    const QString folder = TempFiles::makeMailFolder();
    IniFile(ini()).writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("(local)"));
    ScriptedDialogs dialogs;
    FixedClock clock(QDateTime::currentDateTime().addDays(daysLater));
    QCOMPARE(start(), 0);
    QCOMPARE(QFileInfo::exists(folder), kept);
    QDir(folder).removeRecursively();
}
