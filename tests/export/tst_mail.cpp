// Handing a message to the mail client.
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "db/TDBGrid.h"
#include "db/TDataSet.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/TempFiles.h"
#include "export/XdgEmailSender.h"
#include "export/sg2mail.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Items 101 and 103 in a grid of two columns, "Код" and "Название".
struct ItemsGrid {
    ItemsGrid()
    {
        list.setSQL(QStringLiteral("select id, Name from izdel where id in (101, 103) order by id"));
        list.addField(QStringLiteral("id"), FieldType::Integer).setDisplayLabel(QStringLiteral("Код"));
        list.addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(QStringLiteral("Название"));
        list.Open();
        grid.setDataSource(&source);
        grid.addColumn(QStringLiteral("id"));
        grid.addColumn(QStringLiteral("Name"));
    }
    TDataSet list;
    TDataSource source{nullptr, &list};
    TDBGrid grid;
};

class TestMail : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;

    // A stand-in for xdg-email: writes its arguments, NUL-separated, and ends as told.
    QString fakeClient(const QString &ending)
    {
        const QString path = dir.filePath(QStringLiteral("xdg-email"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        // Written whole, then renamed: a reader never sees half of it.
        f.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$(dirname \"$0\")/args.new\"\n"
                "mv \"$(dirname \"$0\")/args.new\" \"$(dirname \"$0\")/args\"\n");
        f.write(ending.toUtf8() + '\n');
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QStringList passedArguments()
    {
        QFile f(dir.filePath(QStringLiteral("args")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out = QString::fromUtf8(f.readAll()).split(QChar(0));
        out.removeLast();
        return out;
    }

private slots:
    void cleanup() { MailSender::setCurrent(nullptr); }

    void sendMail_data()
    {
        QTest::addColumn<bool>("succeed");
        QTest::newRow("client takes the message") << true;
        QTest::newRow("client fails or is cancelled") << false;
    }
    void sendMail()
    {
        QFETCH(bool, succeed);
        ScriptedDialogs dialogs;
        RecordingMailSender sender;
        sender.succeed = succeed;
        MailSender::setCurrent(&sender);
        const QString subject = QStringLiteral("Справочник состояний");
        const QString body = QStringLiteral("№ п.п.\tСостояние\r\n1\tисправен\r\n");

        QCOMPARE(SendMail(subject, body), succeed);

        QCOMPARE(sender.messages.size(), 1);
        QCOMPARE(sender.messages.at(0).subject, subject);
        QCOMPARE(sender.messages.at(0).body, body);
        if (succeed) {
            QVERIFY(dialogs.messages.isEmpty());
        } else {
            QCOMPARE(dialogs.messages.size(), 1);
            QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("Не вышло"));
            QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
            QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
        }
    }

    // The desktop sender starts the client and does not wait for it: a client that cannot
    // start fails at once, one that ends badly is reported when it ends. xdg-email's "no way
    // to open it" (3) and "the desktop's opener failed" (4) mean no mail program is set up.
    void desktopSender_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("message");
        const QString noProgram =
            QStringLiteral("Не вышло\nНа рабочем столе не настроена программа для электронной почты.");
        QTest::newRow("exit 0") << "exit 0" << true << true << QString();
        QTest::newRow("exit 1") << "exit 1" << true << true << "Не вышло";
        QTest::newRow("exit 3") << "exit 3" << true << true << noProgram;
        QTest::newRow("exit 4") << "exit 4" << true << true << noProgram;
        QTest::newRow("killed") << "kill -9 $$" << true << true << "Не вышло";
        QTest::newRow("no such program") << "exit 0" << false << false << "Не вышло";
    }
    void desktopSender()
    {
        QFETCH(QString, ending);
        QFETCH(bool, exists);
        QFETCH(bool, started);
        QFETCH(QString, message);
        QVERIFY(dir.isValid());
        QFile::remove(dir.filePath(QStringLiteral("args")));
        const QString program = exists ? fakeClient(ending) : dir.filePath(QStringLiteral("nothing-here"));
        QVERIFY(!program.isEmpty());

        ScriptedDialogs dialogs;
        XdgEmailSender sender(program);
        MailSender::setCurrent(&sender);
        const QString subject = QStringLiteral("Заявки");
        const QString body = QStringLiteral("№ п.п.\tТекст\r\n1\t\"кавычки\" & $HOME\r\n");
        QCOMPARE(SendMail(subject, body), started);
        if (exists) {
            QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("args"))));
            QCOMPARE(passedArguments(),
                     (QStringList{QStringLiteral("--utf8"), XdgEmailSender::mailtoUrl(subject, body)}));
        }
        const QStringList expected = message.isEmpty() ? QStringList() : QStringList{message};
        QTRY_COMPARE(dialogs.texts(), expected);
        QTest::qWait(100);  // nothing more comes
        QCOMPARE(dialogs.texts(), expected);
    }

    // The hand-over's limit: a short text always fits; one whose encoded form passes the
    // limit does not, whatever its count of characters.
    void desktopLimit()
    {
        XdgEmailSender sender;
        QVERIFY(sender.fits(QStringLiteral("Заявки"), QStringLiteral("№ п.п.\tТекст\r\n")));
        QVERIFY(sender.fits(QString(), QString(XdgEmailSender::MaxHandOver - 200, QLatin1Char('a'))));
        // Cyrillic takes six bytes a character once encoded.
        QVERIFY(!sender.fits(QString(), QString(XdgEmailSender::MaxHandOver / 5, QChar(0x0416))));
    }

    // A list too long for the hand-over goes as an attached CSV file, to a client that takes
    // its time: the program does not wait for it, and nothing fails.
    void longListWithSlowClient()
    {
        TestDb db;
        QVERIFY2(db.ok(), qPrintable(db.error()));
        QSqlDatabase c = db.module()->connection();
        QVERIFY(c.transaction());
        QSqlQuery q(c);
        q.prepare(QStringLiteral("insert into izdel (id, Name, Seria, Nomer) values (?, ?, ?, ?)"));
        for (int i = 0; i < 5000; ++i) {
            q.bindValue(0, 10000 + i);
            q.bindValue(1, QStringLiteral("Принтер %1").arg(i));
            q.bindValue(2, QStringLiteral("В-%1").arg(i));
            q.bindValue(3, QString::number(700000 + i));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(c.commit());
        TDataSet list;
        list.setSQL(QStringLiteral("select id, Name, Seria, Nomer from izdel where id >= 10000 order by id"));
        list.addField(QStringLiteral("id"), FieldType::Integer).setDisplayLabel(QStringLiteral("Код"));
        list.addField(QStringLiteral("Name"), FieldType::String, 30).setDisplayLabel(QStringLiteral("Название"));
        list.addField(QStringLiteral("Seria"), FieldType::String, 12).setDisplayLabel(QStringLiteral("Серия"));
        list.addField(QStringLiteral("Nomer"), FieldType::String, 15).setDisplayLabel(QStringLiteral("Номер"));
        list.Open();
        TDataSource source(nullptr, &list);
        TDBGrid grid;
        grid.setDataSource(&source);
        for (const char *f : {"id", "Name", "Seria", "Nomer"})
            grid.addColumn(QString::fromLatin1(f));

        // The client records its arguments, then waits until the test lets it end.
        const QString program = dir.filePath(QStringLiteral("slow-email"));
        {
            QFile f(program);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("#!/bin/sh\nd=\"$(dirname \"$0\")\"\nprintf '%s\\0' \"$@\" > \"$d/args.new\"\nmv \"$d/args.new\" "
                    "\"$d/args\"\n"
                    "n=0; while [ ! -e \"$d/go\" ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done\n"
                    "echo done > \"$d/done\"\nexit 0\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        for (const char *name : {"args", "go", "done"})
            QFile::remove(dir.filePath(QString::fromLatin1(name)));
        // However the test ends, the client is let go.
        struct LetGo {
            QString path;
            ~LetGo() { QFile(path).open(QIODevice::WriteOnly); }
        } letGo{dir.filePath(QStringLiteral("go"))};
        ScriptedDialogs dialogs;
        XdgEmailSender sender(program);
        MailSender::setCurrent(&sender);

        QVERIFY(GridToMail(QStringLiteral("Изделия"), &grid, &list, true));
        // Back while the client is still running: the program did not wait for it.
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("done"))));
        QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("args"))));
        const QStringList args = passedArguments();
        QCOMPARE(args.size(), 4);
        QCOMPARE(args.at(0), QStringLiteral("--utf8"));
        QCOMPARE(args.at(1), QStringLiteral("--attach"));
        const QString attached = args.at(2);
        // In the user's cache folder, not the temporary one: the draft refers to it after
        // the program has ended.
        QVERIFY2(
            attached.startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QLatin1Char('/')),
            qPrintable(attached));
        QVERIFY2(attached.endsWith(QStringLiteral("/Изделия.csv")), qPrintable(args.join(QLatin1Char('|'))));
        QVERIFY(args.at(3).startsWith(QStringLiteral("mailto:?subject=") +
                                      QUrl::toPercentEncoding(QStringLiteral("Изделия")) + '&'));
        const QString shortBody = QString::fromUtf8(
            QByteArray::fromPercentEncoding(args.at(3).section(QStringLiteral("&body="), 1).toLatin1()));
        QVERIFY2(shortBody.contains(QStringLiteral("строк: 5000")), qPrintable(shortBody));
        QVERIFY(sender.fits(QStringLiteral("Изделия"), shortBody));
        QFile csv(attached);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        csv.close();
        QCOMPARE(lines.size(), 5002);  // header, 5000 rows, nothing after the last CR LF
        QCOMPARE(Cp1251::decode(lines.at(0)), QStringLiteral("№ п.п.;Код;Название;Серия;Номер\r"));
        QCOMPARE(Cp1251::decode(lines.at(5000)), QStringLiteral("5000;14999;Принтер 4999;В-4999;704999\r"));

        QFile go(dir.filePath(QStringLiteral("go")));
        QVERIFY(go.open(QIODevice::WriteOnly));
        go.close();
        QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("done"))));
        QTest::qWait(200);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('\n')));
        // The program's end leaves it to the client.
        TempFiles::removeAll();
        QVERIFY(QFile::exists(attached));
    }

    // A mail's attachment stays a week after anything in its folder last changed, and goes
    // at the first start after that; other copies' fresh attachments stay.
    void oldMailGoes_data()
    {
        QTest::addColumn<int>("daysLater");
        QTest::addColumn<bool>("kept");
        QTest::newRow("the same day") << 0 << true;
        QTest::newRow("six days later") << 6 << true;
        QTest::newRow("eight days later") << 8 << false;
    }
    void oldMailGoes()
    {
        QFETCH(int, daysLater);
        QFETCH(bool, kept);
        const QString folder = TempFiles::makeMailFolder();
        const QString file = QDir(folder).filePath(QStringLiteral("Пользователи системы.csv"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("1;admin;secret\r\n");
        }
        // Only its user may read it.
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0077), 0);
        QCOMPARE(int(QFileInfo(QFileInfo(folder).path()).permissions() & 0x0077), 0);
        TempFiles::removeAll();
        QVERIFY(QFile::exists(file));

        TempFiles::removeOldMail(QDateTime::currentDateTime().addDays(daysLater).addSecs(60));
        QCOMPARE(QFile::exists(file), kept);
        QCOMPARE(QFileInfo::exists(folder), kept);
        QDir(folder).removeRecursively();
    }

    // A list that fits goes in the body, as ever; one that does not, as an attachment.
    void bodyOrAttachment_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("attached");
        QTest::newRow("fits") << -1 << false;
        QTest::newRow("too long") << 20 << true;
    }
    void bodyOrAttachment()
    {
        QFETCH(int, limit);
        QFETCH(bool, attached);
        TestDb db;
        QVERIFY2(db.ok(), qPrintable(db.error()));
        ItemsGrid items;
        TDataSet &list = items.list;
        TDBGrid &grid = items.grid;
        ScriptedDialogs dialogs;
        RecordingMailSender sender;
        sender.limit = limit;
        MailSender::setCurrent(&sender);
        QVERIFY(GridToMail(QStringLiteral("Изделия"), &grid, &list, true));
        QCOMPARE(sender.messages.size(), 1);
        const RecordingMailSender::Message &m = sender.messages.at(0);
        QCOMPARE(m.subject, QStringLiteral("Изделия"));
        if (!attached) {
            QVERIFY(m.attachments.isEmpty());
            QVERIFY(m.body.startsWith(QStringLiteral("№ п.п.\tКод\tНазвание\r\n1\t101\t")));
            return;
        }
        QCOMPARE(m.attachments.size(), 1);
        QVERIFY(m.body.contains(QStringLiteral("Изделия.csv")));
        QFile f(m.attachments.at(0));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = Cp1251::decode(f.readAll());
        QVERIFY(text.startsWith(QStringLiteral("№ п.п.;Код;Название\r\n1;101;")));
        QCOMPARE(text.count(QStringLiteral("\r\n")), 3);
    }
    // The attached file keeps Windows-1251: a character outside it is one "?" (one beyond
    // the 16-bit range too), and the user is told how many, in which file and column.
    void attachmentCharactersOutsideTheCodePage_data() { addBackendCases(); }
    void attachmentCharactersOutsideTheCodePage()
    {
        TAVRELL_TEST_DB(db);
        db.query(QStringLiteral("update izdel set Name = 'Принтер 中😀' where id = 103"));
        ItemsGrid items;
        TDataSet &list = items.list;
        TDBGrid &grid = items.grid;
        ScriptedDialogs dialogs;
        RecordingMailSender sender;
        sender.limit = 20;
        MailSender::setCurrent(&sender);
        QVERIFY(GridToMail(QStringLiteral("Изделия"), &grid, &list, true));
        QCOMPARE(sender.messages.size(), 1);
        QCOMPARE(sender.messages.at(0).attachments.size(), 1);
        QFile f(sender.messages.at(0).attachments.at(0));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(Cp1251::decode(f.readAll()).endsWith(QStringLiteral("\r\n2;103;Принтер ??\r\n")));
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("Список приложен к письму файлом Изделия.csv.\r"
                                            "Символов, которых нет в кодировке Windows-1251, не удалось записать: 2. "
                                            "Вместо каждого из них в файле стоит знак \"?\".\r"
                                            "файл Изделия.csv, столбец Название: 2")});
    }
};

QTEST_MAIN(TestMail)
#include "tst_mail.moc"
