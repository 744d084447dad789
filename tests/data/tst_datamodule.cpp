// Start-up of the data module: settings, first-run dialog, connection, database creation;
// and the creation-script runner.
#include "TestSupport.h"
#include "app/Errors.h"
#include "data/conn.h"
#include "data/PgBackend.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlDatabase>
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

QString uniqueDbName()
{
    static int n = 0;
    return QStringLiteral("tavrell_s%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch() % 1000000)
        .arg(n++);
}

void dropPgDatabase(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("dropper"));
        db.setConnectOptions(PgBackend::connectionString(testPgServer(), QStringLiteral("postgres")));
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dropper"));
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
            QCOMPARE(s.dialogs.texts(),
                     QStringList{QStringLiteral("Создана локальная база данных [org_tech]. Запустите программу заново")});
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
        QCOMPARE(IniFile(dir.filePath(QStringLiteral("remont.ini"))).readString(QStringLiteral("MAIN"), QStringLiteral("Server"), QString()),
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
        QVERIFY2(s.dialogs.messages.first().text.startsWith(ConnectMessageStart), qPrintable(s.dialogs.messages.first().text));
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
            // Remote choice, no database there: refused, nothing written, asked again next time.
            Start s(dir.path());
            s.dialogs.dialogs.enqueue(answerConnect(false, server));
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QCOMPARE(s.dialogs.texts(), QStringList{QStringLiteral("Не удалось подключится")});
            QVERIFY(!QFile::exists(ini));
        }
        {
            // A settings file naming the server without the database: created there.
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[main]\r\nserver=%1\r\n").arg(server).toUtf8());
        }
        const QByteArray named = fileBytes(ini);
        {
            Start s(dir.path());
            QCOMPARE(s.run(), Tdm::Outcome::Exit);
            QVERIFY(s.dialogs.execLog.isEmpty());
            QCOMPARE(s.dialogs.texts(),
                     QStringList{QStringLiteral("Создана локальная база данных [org_tech]. Запустите программу заново")});
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
            << head + QStringLiteral("create table a (x int)\r\nGO\r\ncreate table b (x int)\r\n")
            << QStringList{"a"} << QStringList();
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
        QTest::newRow("admin") << "admin" << "A";
        QTest::newRow("r") << "r" << "R";
        QTest::newRow("upper") << "D" << "D";
        QTest::newRow("cyrillic") << "ж" << "ж";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("digit") << "7x" << "7";
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
