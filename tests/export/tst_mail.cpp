// Handing a message to the mail client.
#include "TestSupport.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/XdgEmailSender.h"
#include "export/sg2mail.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
        f.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$(dirname \"$0\")/args\"\n");
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

    // The desktop sender: success only when the client starts and ends with code 0.
    void desktopSender_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("expected");
        QTest::newRow("exit 0") << "exit 0" << true << true;
        QTest::newRow("exit 3") << "exit 3" << true << false;
        QTest::newRow("killed") << "kill -9 $$" << true << false;
        QTest::newRow("no such program") << "exit 0" << false << false;
    }
    void desktopSender()
    {
        QFETCH(QString, ending);
        QFETCH(bool, exists);
        QFETCH(bool, expected);
        QVERIFY(dir.isValid());
        QFile::remove(dir.filePath(QStringLiteral("args")));
        const QString program = exists ? fakeClient(ending) : dir.filePath(QStringLiteral("nothing-here"));
        QVERIFY(!program.isEmpty());

        ScriptedDialogs dialogs;
        XdgEmailSender sender(program);
        MailSender::setCurrent(&sender);
        const QString subject = QStringLiteral("Заявки");
        const QString body = QStringLiteral("№ п.п.\tТекст\r\n1\t\"кавычки\" & $HOME\r\n");
        QCOMPARE(SendMail(subject, body), expected);
        QCOMPARE(dialogs.texts(), expected ? QStringList() : QStringList{QStringLiteral("Не вышло")});
        if (exists)
            QCOMPARE(passedArguments(), (QStringList{QStringLiteral("--utf8"), QStringLiteral("--subject"),
                                                     subject, QStringLiteral("--body"), body}));
    }
};

QTEST_MAIN(TestMail)
#include "tst_mail.moc"
