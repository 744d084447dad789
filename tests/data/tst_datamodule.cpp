// Start-up of the data module: settings, first-run dialog, connection, database creation;
// and the creation-script runner.
#include "TestSupport.h"
#include "core/Errors.h"
#include "data/conn.h"
#include "storage/PgBackend.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString ConnectMessageStart = QStringLiteral("Не удалось подключится к SQL Server 2000. \r\n"
                                                   "SQL Server 2000 не установлен, либо неправильно настроен\r\n"
                                                   "Установки по умолчанию: авторизация Windows NT\r\n"
                                                   "Сообщение об ошибке ");

// Answers the first-run dialog: local creation, or a remote server name.
std::function<int(QDialog &)> answerConnect(bool local, const QString &server = QString(), bool ok = true)
{
    return [=](QDialog &d) {
        auto &dlg = dynamic_cast<TFrmConnect &>(d);
        // The dialog opens with the local choice and a disabled "(local)".
        if (!dlg.RadioButton1->isChecked() || dlg.Edit1->isEnabled() || dlg.Edit1->text() != QLatin1String("(local)"))
            return -1;
        if (!local) {
            dlg.RadioButton2->click();
            if (!dlg.Edit1->isEnabled())
                return -1;
            dlg.Edit1->setText(server);
        }
        return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One start of the program's data module in `folder`.
struct Start {
    ScriptedDialogs dialogs;
    std::unique_ptr<Tdm> module;
    Tdm::Outcome outcome = Tdm::Outcome::Exit;
    explicit Start(const QString &folder) { Seams::setProgramFolder(folder); }
    Tdm::Outcome run()
    {
        module = std::make_unique<Tdm>();
        dm = module.get();
        outcome = module->DataModule1Create();
        return outcome;
    }
    ~Start()
    {
        module.reset();
        dm = nullptr;
    }
};

// The user's data folder of this test program (under the test's own XDG_DATA_HOME).
QString userDataFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

QString uniqueDbName()
{
    static int n = 0;
    return QStringLiteral("tavrell_s%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch() % 1000000)
        .arg(n++);
}

void adminExec(const QString &sql, const QString &database = QStringLiteral("postgres"))
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        db.setConnectOptions(PgBackend::connectionString(testPgServer(), database));
        if (!db.open())
            qWarning("admin connection failed");
        else if (QSqlQuery q(db); !q.exec(sql))
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
}

// A login of the test server without the right to create databases, while it lives.
struct PlainRole {
    QString name = QStringLiteral("tavrell_plain_%1").arg(QCoreApplication::applicationPid());
    PlainRole() { adminExec(QStringLiteral("CREATE ROLE %1 LOGIN NOCREATEDB").arg(name)); }
    ~PlainRole() { adminExec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(name)); }
    QString server() const { return testPgServer() + QStringLiteral(" user=") + name; }
};

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

void setMode(const QString &path, QFileDevice::Permissions p) { QFile::setPermissions(path, p); }
// For others and the group alike: the ordinary user of the tests keeps root's group.
const QFileDevice::Permissions OpenFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
const QFileDevice::Permissions OpenFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                          QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;

QStringList folderListing(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

const QString Created = QStringLiteral("Создана локальная база данных [org_tech]. Запустите программу заново");

QString askCreate(const QString &server)
{
    return QStringLiteral("На сервере %1 нет базы данных [org_tech].\r\nСоздать ее?").arg(server);
}
QString createdOn(const QString &server)
{
    return QStringLiteral("Создана база данных [org_tech] на сервере %1. Запустите программу заново").arg(server);
}

}  // namespace

class TestDataModule : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Backend::setDatabaseName(QStringLiteral("org_tech"));
        Seams::setProgramFolder(QString());
    }

    void firstRunLocalCreatesThenLogsIn()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        {
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(true));
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.module->exitCode(), 0);
            QCOMPARE(s.dialogs.execLog, QStringList{QStringLiteral("FrmConnect")});
            QCOMPARE(s.dialogs.texts(), QStringList{QStringLiteral(
                                            "Создана локальная база данных [org_tech]. Запустите программу заново")});
            QCOMPARE(s.dialogs.messages.first().caption, QStringLiteral("К Вашему Сведению"));
        }
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("org_tech.sqlite"))));
        QCOMPARE(fileBytes(ini), QByteArray("[main]\r\nserver=(local)\r\n"));
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Ready);
            QVERIFY(s.dialogs.execLog.isEmpty());
            QVERIFY(s.dialogs.messages.isEmpty());
            QSqlQuery q(s.module->connection());
            QVERIFY(q.exec(QStringLiteral("select count(*) from izdel")));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 7);
        }
        QCOMPARE(fileBytes(ini), QByteArray("[main]\r\nserver=(local)\r\n"));
    }

    void firstRunLocalIgnoresTypedServer()
    {
        // The local choice means "(local)" whatever the edit holds.
        QTemporaryDir dir;
        Start s(dir.path());
        s.dialogs.dialogs.enqueue([](QDialog &d) {
            auto &dlg = dynamic_cast<TFrmConnect &>(d);
            dlg.RadioButton2->click();
            dlg.Edit1->setText(QStringLiteral("elsewhere"));
            dlg.RadioButton1->click();
            return int(dlg.Edit1->isEnabled() ? QDialog::Rejected : QDialog::Accepted);
        });
        QCOMPARE(s.run(), Tdm::Outcome::Exit);
        QCOMPARE(IniFile(dir.filePath(QStringLiteral("remont.ini")))
                     .readString(QStringLiteral("MAIN"), QStringLiteral("Server"), QString()),
                 QStringLiteral("(local)"));
    }

    void cancelShowsConnectionMessageAndWritesNothing()
    {
        QTemporaryDir dir;
        Start s(dir.path());
        s.dialogs.dialogs.enqueue(answerConnect(true, QString(), false));
        QCOMPARE(s.run(), Tdm::Outcome::Exit);
        QCOMPARE(s.module->exitCode(), 0);
        QCOMPARE(s.dialogs.messages.size(), 1);
        QVERIFY2(s.dialogs.messages.first().text.startsWith(ConnectMessageStart),
                 qPrintable(s.dialogs.messages.first().text));
        QVERIFY(s.dialogs.messages.first().text.size() > ConnectMessageStart.size());  // the error's own text follows
        QCOMPARE(s.dialogs.messages.first().caption, QStringLiteral("Ошибка"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("remont.ini"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("org_tech.sqlite"))));
    }

    void unreachableServerFromSettings()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        const QByteArray before("; kept as it is\r\n[Main]\r\nSERVER=127.0.0.1:1\r\n[1]\r\nfontsize=10\r\n");
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        Start s(dir.path());
        QCOMPARE(s.run(), Tdm::Outcome::Exit);
        QVERIFY(s.dialogs.execLog.isEmpty());
        QCOMPARE(s.dialogs.messages.size(), 1);
        QVERIFY(s.dialogs.messages.first().text.startsWith(ConnectMessageStart));
        QCOMPARE(fileBytes(ini), before);
    }

    void malformedSettingsFileAsksAndKeepsItsLines()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("no section here\r\n=novalue\r\n[unclosed\r\n\x01\x02junk", 40));
        }
        Start s(dir.path());
        s.dialogs.dialogs.enqueue(answerConnect(true));
        QCOMPARE(s.run(), Tdm::Outcome::Exit);
        QCOMPARE(s.dialogs.execLog.size(), 1);
        const QByteArray after = fileBytes(ini);
        QVERIFY(after.startsWith("no section here\r\n=novalue\r\n[unclosed\r\n"));
        QVERIFY(after.endsWith("[main]\r\nserver=(local)\r\n"));
    }

    void remoteServerPaths()
    {
        if (testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        const QString server = testPgServer();
        const QString name = uniqueDbName();
        Backend::setDatabaseName(name);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        {
            // Remote choice, no database there, and the user does not want it made: nothing
            // made or written, asked again next time.
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(false, server));
            s.dialogs.answers.enqueue(Dialogs::No);
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.dialogs.texts(), (QStringList{askCreate(server), QStringLiteral("Не удалось подключится")}));
            QCOMPARE(s.module->exitCode(), 0);
            QVERIFY(!QFile::exists(ini));
        }
        {
            // A settings file naming the server without the database: made there after the
            // question, the settings file as it was.
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[main]\r\nserver=%1\r\n").arg(server).toUtf8());
        }
        const QByteArray named = fileBytes(ini);
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(s.dialogs.execLog.isEmpty());
            QCOMPARE(s.dialogs.texts(), (QStringList{askCreate(server), createdOn(server)}));
            QCOMPARE(s.module->exitCode(), 0);
            QCOMPARE(fileBytes(ini), named);
        }
        QVERIFY(QFile::remove(ini));
        {
            // Remote choice, the database is there: goes on and remembers the server.
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(false, server));
            QCOMPARE(s.run(), Tdm::Outcome::Ready);
            QVERIFY(s.dialogs.messages.isEmpty());
            QCOMPARE(IniFile(ini).readString(QStringLiteral("main"), QStringLiteral("server"), QString()), server);
        }
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Ready);
            QVERIFY(s.dialogs.execLog.isEmpty());
        }
        dropPgDatabase(name);
    }

    // The first run's remote choice on a server without the database: made there after a
    // yes, the server remembered, and the next start goes straight to work.
    void firstRunCreatesOnServer()
    {
        if (testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        const QString server = testPgServer();
        const QString name = uniqueDbName();
        Backend::setDatabaseName(name);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        {
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(false, server));
            s.dialogs.answers.enqueue(Dialogs::Yes);
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.dialogs.texts(), (QStringList{askCreate(server), createdOn(server)}));
            QCOMPARE(s.dialogs.messages.first().caption, QStringLiteral("Подтвердите"));
            QCOMPARE(s.module->exitCode(), 0);
            QCOMPARE(IniFile(ini).readString(QStringLiteral("main"), QStringLiteral("server"), QString()), server);
        }
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Ready);
            QVERIFY(s.dialogs.execLog.isEmpty());
            QVERIFY(s.dialogs.messages.isEmpty());
            QSqlQuery q(s.module->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM users")) && q.next());
            QVERIFY(q.value(0).toInt() > 0);
        }
        dropPgDatabase(name);
    }

    // A database an administrator made for a user without the right to create databases:
    // empty and his own, it gets the program's tables; empty and not his, one message says
    // what is missing and nothing is made.
    void emptyDatabaseOnServer_data()
    {
        QTest::addColumn<bool>("owned");
        QTest::newRow("owned by the user") << true;
        QTest::newRow("owned by another") << false;
    }

    void emptyDatabaseOnServer()
    {
        QFETCH(bool, owned);
        if (testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        const QString name = uniqueDbName();
        Backend::setDatabaseName(name);
        PlainRole role;
        adminExec(owned ? QStringLiteral("CREATE DATABASE %1 OWNER %2").arg(name, role.name)
                        : QStringLiteral("CREATE DATABASE %1").arg(name));
        if (!owned)
            adminExec(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(name, role.name));
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        writeBytes(ini, QStringLiteral("[main]\r\nserver=%1\r\n").arg(role.server()).toUtf8());
        const QString question =
            QStringLiteral("База данных [org_tech] на сервере %1 пуста.\r\nСоздать в ней таблицы программы?")
                .arg(role.server());
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.dialogs.messages.size(), 2);
            QCOMPARE(s.dialogs.messages.at(0).text, question);
            const QString said = s.dialogs.messages.at(1).text;
            if (owned) {
                QCOMPARE(said, QStringLiteral("В базе данных [org_tech] на сервере %1 созданы таблицы программы. "
                                              "Запустите программу заново")
                                   .arg(role.server()));
                QCOMPARE(s.module->exitCode(), 0);
            } else {
                QVERIFY2(said.startsWith(QStringLiteral("Не удалось создать базу данных [org_tech].")),
                         qPrintable(said));
                QVERIFY2(said.contains(QStringLiteral("нет права создавать таблицы")), qPrintable(said));
                QVERIFY(s.module->exitCode() != 0);
            }
        }
        {
            // Owned: the next start works; not owned: still empty, asked again.
            Start s(dir.path());
            QCOMPARE(s.run(), owned ? Tdm::Outcome::Ready : Tdm::Outcome::Exit);
            if (owned) {
                QVERIFY(s.dialogs.messages.isEmpty());
            } else {
                QCOMPARE(s.dialogs.messages.first().text, question);
            }
        }
        dropPgDatabase(name);
    }

    // A database that is there but cannot be used is reported once, left as it is, and the
    // program ends with a failure; the creation script never runs over it.
    void existingDatabaseThatCannotBeUsed_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("kind");
        // clang-format off
        QTest::newRow("sqlite: empty file") << "sqlite" << "empty";
        QTest::newRow("sqlite: not a database") << "sqlite" << "text";
        QTest::newRow("sqlite: another program's database") << "sqlite" << "foreign";
        QTest::newRow("sqlite: truncated") << "sqlite" << "truncated";
        QTest::newRow("sqlite: read-only folder") << "sqlite" << "read-only folder";
        QTest::newRow("postgres: no right to connect") << "postgres" << "no connect";
        QTest::newRow("postgres: another program's database") << "postgres" << "foreign";
        // clang-format on
    }

    void existingDatabaseThatCannotBeUsed()
    {
        QFETCH(QString, backend);
        QFETCH(QString, kind);
        const bool pg = backend == QLatin1String("postgres");
        if (pg && testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("org_tech.sqlite"));
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        QString server = QStringLiteral("(local)");
        std::unique_ptr<PlainRole> role;
        QString name = QStringLiteral("org_tech");
        if (pg) {
            name = uniqueDbName();
            Backend::setDatabaseName(name);
            role = std::make_unique<PlainRole>();
            server = role->server();
        }
        if (pg && kind == QLatin1String("foreign")) {
            adminExec(QStringLiteral("CREATE DATABASE %1").arg(name));
            adminExec(QStringLiteral("CREATE TABLE notes (a text)"), name);
        } else if (kind == QLatin1String("truncated") || kind == QLatin1String("read-only folder") || pg) {
            // The program's own database, made by a first start.
            writeBytes(ini, QStringLiteral("[main]\r\nserver=%1\r\n").arg(pg ? testPgServer() : server).toUtf8());
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.dialogs.texts(),
                     pg ? (QStringList{askCreate(testPgServer()), createdOn(testPgServer())}) : QStringList{Created});
        }
        if (kind == QLatin1String("empty"))
            writeBytes(file, QByteArray());
        if (kind == QLatin1String("text"))
            writeBytes(file, QByteArray("Это не база данных, а просто текст.\r\n").repeated(200));
        if (!pg && kind == QLatin1String("foreign")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (a TEXT)")));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        }
        if (kind == QLatin1String("truncated")) {
            QFile f(file);
            QVERIFY(f.resize(2000));
        }
        if (kind == QLatin1String("no connect"))
            adminExec(QStringLiteral("REVOKE CONNECT ON DATABASE %1 FROM PUBLIC").arg(name));
        writeBytes(ini, QStringLiteral("; kept\r\n[main]\r\nserver=%1\r\n").arg(server).toUtf8());
        AsOrdinaryUser::openUp(dir.path());
        setMode(file, OpenFile);
        setMode(ini, OpenFile);
        if (kind != QLatin1String("read-only folder"))
            setMode(dir.path(), OpenFolder);
        const QByteArray iniBefore = fileBytes(ini);
        const QByteArray fileBefore = fileBytes(file);
        const QStringList listing = folderListing(dir.path());
        {
            AsOrdinaryUser user;
            QVERIFY(user.ok());
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(s.module->exitCode() != 0);
            QCOMPARE(s.dialogs.messages.size(), 1);
            const QString text = s.dialogs.messages.first().text;
            QCOMPARE(s.dialogs.messages.first().caption, QStringLiteral("Ошибка"));
            QVERIFY2(text.contains(pg ? name : QDir::toNativeSeparators(file)), qPrintable(text));
            QVERIFY(s.dialogs.execLog.isEmpty());
        }
        QCOMPARE(fileBytes(ini), iniBefore);
        if (!pg) {
            QCOMPARE(fileBytes(file), fileBefore);
            QCOMPARE(folderListing(dir.path()), listing);
        }
        if (pg) {
            dropPgDatabase(name);
            role.reset();
        }
    }

    // A creation that fails says so, stops there and remembers nothing.
    void creationThatFails_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("kind");
        // clang-format off
        QTest::newRow("sqlite: first run, file cannot be made") << "sqlite" << "first run";
        QTest::newRow("sqlite: first run, read-only folder") << "sqlite" << "read-only folder";
        QTest::newRow("postgres: no right to create databases") << "postgres" << "no createdb";
        // clang-format on
    }

    void creationThatFails()
    {
        QFETCH(QString, backend);
        QFETCH(QString, kind);
        const bool pg = backend == QLatin1String("postgres");
        if (pg && testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        const QString file = dir.filePath(QStringLiteral("org_tech.sqlite"));
        AsOrdinaryUser::openUp(dir.path());
        std::unique_ptr<PlainRole> role;
        QString name = QStringLiteral("org_tech");
        if (pg) {
            name = uniqueDbName();
            Backend::setDatabaseName(name);
            role = std::make_unique<PlainRole>();
            writeBytes(ini, QStringLiteral("[main]\r\nserver=%1\r\n").arg(role->server()).toUtf8());
        }
        if (kind == QLatin1String("first run")) {
            // The folder takes the settings file, but SQLite cannot make its journal there.
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("org_tech.sqlite-journal")));
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("org_tech.sqlite-wal")));
        }
        if (kind != QLatin1String("read-only folder"))
            setMode(dir.path(), OpenFolder);
        const QByteArray iniBefore = fileBytes(ini);
        {
            AsOrdinaryUser user;
            QVERIFY(user.ok());
            Start s(dir.path());
            if (!pg)
                s.dialogs.dialogs.enqueue(answerConnect(true));
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(s.module->exitCode() != 0);
            // A server's database is made only after the question (answered yes).
            QCOMPARE(s.dialogs.messages.size(), pg ? 2 : 1);
            if (pg)
                QCOMPARE(s.dialogs.messages.first().text, askCreate(role->server()));
            const QString text = s.dialogs.messages.last().text;
            QVERIFY2(text.startsWith(QStringLiteral("Не удалось создать базу данных [org_tech].")), qPrintable(text));
            // A folder that cannot be written sends a new copy's files to the user's data
            // folder (the test's own, closed to the ordinary user too): that file is named.
            const QString named = kind == QLatin1String("read-only folder")
                                      ? QDir(userDataFolder()).filePath(QStringLiteral("org_tech.sqlite"))
                                      : file;
            if (!pg)
                QVERIFY2(text.contains(QDir::toNativeSeparators(named)), qPrintable(text));
        }
        QCOMPARE(fileBytes(ini), iniBefore);
        QVERIFY(!QFileInfo(file).isFile());
        if (pg) {
            dropPgDatabase(name);
            role.reset();
        }
    }

    // The settings file that cannot be written on the first run: one message, a clean end.
    void firstRunCannotWriteSettings_data() { addBackendCases(); }

    void firstRunCannotWriteSettings()
    {
        QFETCH(QString, backend);
        const bool pg = backend == QLatin1String("postgres");
        if (pg && testPgServer().isEmpty())
            TAVRELL_NO_PG_SERVER();
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("remont.ini"));
        AsOrdinaryUser::openUp(dir.path());
        QString name;
        if (pg) {
            // The database is there already: the program goes on to remember the server.
            name = uniqueDbName();
            Backend::setDatabaseName(name);
            writeBytes(ini, QStringLiteral("[main]\r\nserver=%1\r\n").arg(testPgServer()).toUtf8());
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(QFile::remove(ini));
        }
        {
            AsOrdinaryUser user;
            QVERIFY(user.ok());
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(!pg, testPgServer()));
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(s.module->exitCode() != 0);
            QCOMPARE(s.dialogs.messages.size(), 1);
            const QString text = s.dialogs.messages.first().text;
            // The folder cannot be written: the files go to the user's data folder, which
            // cannot be made either.
            const QString where = userDataFolder();
            QVERIFY2(text.contains(
                         QDir::toNativeSeparators(pg ? QDir(where).filePath(QStringLiteral("remont.ini")) : where)),
                     qPrintable(text));
        }
        QVERIFY(!QFile::exists(ini));
        if (pg)
            dropPgDatabase(name);
    }

    void scriptRunner_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("messages");
        const QString head = QStringLiteral("CREATE DATABASE [org_tech]\r\nGO\r\nuse [org_tech]\r\nGO\r\n");
        QTest::newRow("separator between blanks")
            << head + QStringLiteral("create table a (x int)\r\n   GO   \r\ncreate table b (x int)\r\n\tGO\r\n")
            << QStringList{"a", "b"} << QStringList();
        QTest::newRow("lower-case go is text")
            << head + QStringLiteral("create table a (x int)\r\ngo\r\nGO\r\n") << QStringList()
            << QStringList{QStringLiteral("Не прошла команда: \"\r\n create table a (x int)\r\n go\"")};
        QTest::newRow("failed batch reported, next runs")
            << head + QStringLiteral("create tabel a (x int)\nGO\n  create table b\n  (x int)\rGO\r")
            << QStringList{"b"} << QStringList{QStringLiteral("Не прошла команда: \"\r\n create tabel a (x int)\"")};
        QTest::newRow("text after the last GO never runs")
            << head + QStringLiteral("create table a (x int)\r\nGO\r\ncreate table b (x int)\r\n") << QStringList{"a"}
            << QStringList();
    }

    void scriptRunner()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, tables);
        QFETCH(QStringList, messages);
        QTemporaryDir dir;
        Seams::setProgramFolder(dir.path());
        ScriptedDialogs dialogs;
        Tdm module;
        module.connectToServer(QStringLiteral("(local)"));
        module.CreateDatabase(script);
        QCOMPARE(dialogs.texts(), messages);
        QSqlQuery q(module.connection());
        QVERIFY(q.exec(QStringLiteral("select name from sqlite_master where type = 'table' order by name")));
        QStringList found;
        while (q.next())
            found << q.value(0).toString();
        QCOMPARE(found, tables);
    }

    void tpSetText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        // clang-format off
        QTest::newRow("admin") << "admin" << "A";
        QTest::newRow("r") << "r" << "R";
        QTest::newRow("upper") << "D" << "D";
        QTest::newRow("cyrillic") << "ж" << "ж";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("digit") << "7x" << "7";
        // clang-format on
    }

    void tpSetText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(Tdm::TblUserstpSetText(typed), stored);
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
