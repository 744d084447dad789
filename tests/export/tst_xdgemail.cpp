// The message as the mail client receives it, through the desktop's own xdg-email script
// (xdg-utils) and its opener, with a recording client registered for mailto: links.
#include "TestSupport.h"
#include "export/MailSender.h"
#include "export/TempFiles.h"
#include "export/XdgEmailSender.h"
#include "export/sg2mail.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>
#include <QtTest>
#include <unistd.h>

namespace {

// Sets environment variables for the test and puts the old values back.
class Environment {
public:
    ~Environment()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
    }
    void set(const char *name, const QByteArray &value)
    {
        keep(name);
        qputenv(name, value);
    }
    void unset(const char *name)
    {
        keep(name);
        qunsetenv(name);
    }

private:
    void keep(const char *name)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
    }
    QMap<QByteArray, QByteArray> m_saved;
};

// Whatever the process and its children write on the terminal while it lives lands in a file.
class CapturedTerminal {
public:
    CapturedTerminal()
    {
        if (!m_file.open())
            return;
        fflush(stdout);
        fflush(stderr);
        m_out = ::dup(1);
        m_err = ::dup(2);
        ::dup2(m_file.handle(), 1);
        ::dup2(m_file.handle(), 2);
    }
    ~CapturedTerminal() { restore(); }
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_out < 0)
            return;
        fflush(stdout);
        fflush(stderr);
        ::dup2(m_out, 1);
        ::dup2(m_err, 2);
        ::close(m_out);
        ::close(m_err);
        m_out = m_err = -1;
    }
    QTemporaryFile m_file;
    int m_out = -1;
    int m_err = -1;
};

}  // namespace

class TestXdgEmail : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Environment> m_env;

    QString path(const QString &name) const { return QDir(m_dir->path()).filePath(name); }

    static bool writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(name);
        return QDir().mkpath(QFileInfo(name).path()) && f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(bytes) == bytes.size();
    }

    // A plain desktop with no mail program of its own: the generic one, with a display, no
    // browser, and applications looked up in the test's folders alone.
    void plainDesktop()
    {
        m_env->set("XDG_CURRENT_DESKTOP", "X-Generic");
        m_env->set("DISPLAY", ":99");
        m_env->set("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        m_env->set("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        m_env->set("XDG_CONFIG_DIRS", QFile::encodeName(path(QStringLiteral("none"))));
        m_env->set("XDG_DATA_DIRS", QFile::encodeName(path(QStringLiteral("none"))));
        m_env->set("BROWSER", QFile::encodeName(path(QStringLiteral("no-browser"))));
        for (const char *name : {"MAILER", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID",
                                 "DESKTOP_SESSION", "WAYLAND_DISPLAY"})
            m_env->unset(name);
    }

    // The mail client: records the arguments it is started with.
    bool registerClient()
    {
        const QString client = path(QStringLiteral("client"));
        if (!writeFile(client, "#!/bin/sh\nd=\"$(dirname \"$0\")\"\nprintf '%s\\0' \"$@\" > \"$d/got.new\"\n"
                               "mv \"$d/got.new\" \"$d/got\"\n") ||
            !QFile::setPermissions(client, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return false;
        return writeFile(path(QStringLiteral("data/applications/test-mail.desktop")),
                         "[Desktop Entry]\nType=Application\nName=Test mail\nExec=" + QFile::encodeName(client) +
                             " %u\nMimeType=x-scheme-handler/mailto;\n") &&
               writeFile(path(QStringLiteral("config/mimeapps.list")),
                         "[Default Applications]\nx-scheme-handler/mailto=test-mail.desktop\n");
    }

    // The fields of the mailto: URL the client was given, decoded.
    QMap<QString, QStringList> received()
    {
        QFile f(path(QStringLiteral("got")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QList<QByteArray> args = f.readAll().split('\0');
        QMap<QString, QStringList> fields;
        if (args.size() != 2 || !args.at(0).startsWith("mailto:?")) {
            fields[QStringLiteral("?")] << QString::fromUtf8(args.join(' '));
            return fields;
        }
        for (const QByteArray &pair : args.at(0).mid(8).split('&')) {
            const int eq = pair.indexOf('=');
            fields[QString::fromLatin1(pair.left(eq))]
                << QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
        }
        return fields;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty(),
                 "xdg-email is missing: install xdg-utils (scripts/install-deps.sh)");
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_env = std::make_unique<Environment>();
        plainDesktop();
    }
    void cleanup()
    {
        MailSender::setCurrent(nullptr);
        m_env.reset();
        m_dir.reset();
    }

    // Every byte of the list reaches the client, and each row ends in one line end: values
    // that the script's shell would act on included.
    void everyByteArrives_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("value");
        QTest::newRow("printer queue") << "Заявки"
                                       << "Очередь \\\\srv\\cnc01 не печатает";
        QTest::newRow("backslash c") << "Заявки"
                                     << "до \\c после";
        QTest::newRow("backslashes") << "Заявки"
                                     << "\\\\ \\n \\t \\0101 \\";
        QTest::newRow("URL characters") << "Заявки"
                                        << "100% & a=b ? #1 + ;/:@";
        QTest::newRow("quotes and shell") << "Заявки"
                                          << "\"двойные\" 'одинарные' `date` $HOME $(id) %s %u";
        QTest::newRow("line break in a value") << "Заявки"
                                               << "строка 1\r\nстрока 2";
        QTest::newRow("subject with specials") << "Отдел \\c №5 & 100% ?#"
                                               << "ёЁ Ї €";
    }
    void everyByteArrives()
    {
        QFETCH(QString, subject);
        QFETCH(QString, value);
        QVERIFY(registerClient());
        QString body;
        AppendMailLine(body, {QStringLiteral("№ п.п."), QStringLiteral("Описание")});
        AppendMailLine(body, {QStringLiteral("1"), value});
        AppendMailLine(body, {QStringLiteral("2"), QStringLiteral("последняя строка")});

        ScriptedDialogs dialogs;
        XdgEmailSender sender;
        MailSender::setCurrent(&sender);
        QVERIFY(SendMail(subject, body));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(QStringLiteral("got"))), 30000);
        const QMap<QString, QStringList> fields = received();
        QCOMPARE(fields.keys(), (QStringList{QStringLiteral("body"), QStringLiteral("subject")}));
        QCOMPARE(fields.value(QStringLiteral("subject")), QStringList{subject});
        const QString got = fields.value(QStringLiteral("body")).value(0);
        QCOMPARE(got, body);
        // One line end a row, as the client shows it.
        QVERIFY(!got.contains(QStringLiteral("\r\r")));
        QTest::qWait(200);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join('\n')));
    }

    // A long list's file reaches the client by its full name.
    void attachmentArrives()
    {
        QVERIFY(registerClient());
        const QString file = QDir(TempFiles::makeMailFolder()).filePath(QStringLiteral("Заявки & 100%.csv"));
        QVERIFY(writeFile(file, "1;2\r\n"));
        ScriptedDialogs dialogs;
        XdgEmailSender sender;
        MailSender::setCurrent(&sender);
        const QString body = QStringLiteral("Список в приложенном файле\r\n");
        QVERIFY(SendMail(QStringLiteral("Заявки"), body, {file}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(QStringLiteral("got"))), 30000);
        const QMap<QString, QStringList> fields = received();
        QCOMPARE(fields.value(QStringLiteral("attach")), QStringList{QFileInfo(file).canonicalFilePath()});
        QCOMPARE(fields.value(QStringLiteral("body")), QStringList{body});
        QDir(QFileInfo(file).path()).removeRecursively();
    }

    // No mail program on the desktop: the message says so, and nothing of what the script
    // tried shows on the terminal.
    void noMailProgram()
    {
        ScriptedDialogs dialogs;
        XdgEmailSender sender;
        MailSender::setCurrent(&sender);
        QByteArray terminal;
        {
            CapturedTerminal captured;
            QVERIFY(SendMail(QStringLiteral("Заявки"), QStringLiteral("№ п.п.\tОписание\r\n")));
            QTRY_VERIFY_WITH_TIMEOUT(!dialogs.messages.isEmpty(), 30000);
            terminal = captured.text();
        }
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral(
                                      "Не вышло\nНа рабочем столе не настроена программа для электронной почты.")});
        QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
        QVERIFY2(terminal.isEmpty(), terminal.constData());
    }
};

QTEST_MAIN(TestXdgEmail)
#include "tst_xdgemail.moc"
