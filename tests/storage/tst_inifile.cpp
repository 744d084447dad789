// The settings file: case-insensitive names, writes on disk at once, bad files survived.
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/Errors.h"
#include "storage/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QByteArray cp1251(const char *utf8) { return Cp1251::encode(QString::fromUtf8(utf8)); }
// A byte string with the NUL bytes it holds.
template <size_t N> QByteArray bytes(const char (&text)[N]) { return QByteArray(text, N - 1); }
}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void reads_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("names without case") << QByteArray("[Main]\r\nSERVER=(local)\r\n") << "main" << "server" << "(local)" << -1;
        QTest::newRow("fontitalic is fontItalic") << QByteArray("[1]\nfontitalic=1\n") << "1" << "fontItalic" << "1" << 1;
        QTest::newRow("blanks around") << QByteArray("  [ 1 ]  \n  width =  640 \n") << "1" << "width" << "640" << 640;
        QTest::newRow("not a number") << QByteArray("[1]\nwidth=wide\n") << "1" << "width" << "wide" << -1;
        QTest::newRow("negative colour") << QByteArray("[1]\nfontcolor=-16777208\n") << "1" << "fontcolor" << "-16777208" << -16777208;
        QTest::newRow("other section") << QByteArray("[2]\nwidth=5\n[1]\n") << "1" << "width" << "" << -1;
        QTest::newRow("missing file") << QByteArray() << "1" << "width" << "" << -1;
        QTest::newRow("binary") << QByteArray("\xff\xfe\x00\x01[1]\nwidth=5", 16) << "1" << "width" << "" << -1;
        QTest::newRow("value with equals") << QByteArray("[main]\nserver=host=db port=5432\n") << "main" << "server" << "host=db port=5432" << -1;
        // clang-format on
    }

    void reads()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, number);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        if (!content.isNull())
            writeFile(path, content);
        IniFile ini(path);
        QCOMPARE(ini.readString(section, key, QString()), text);
        QCOMPARE(ini.readInteger(section, key, -1), number);
    }

    // What a write leaves of the file: the one key's line changes, every other byte stays.
    void writeKeepsWhatWasRead_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("readSection");
        QTest::addColumn<QString>("readKey");
        QTest::addColumn<QString>("readText");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray win = cp1251("; настройки\r\n[Отчеты]\r\nЗаголовок=Список техники\r\n[main]\r\nserver=(local)\r\n");
        QTest::newRow("windows-1251 kept, new line in it")
            << win << "отчеты" << "заголовок" << "Список техники" << "1" << "SortField" << "Состояние"
            << win + cp1251("[1]\r\nSortField=Состояние\r\n");
        QTest::newRow("windows-1251 key changed in it")
            << win << "Отчеты" << "Заголовок" << "Список техники" << "отчеты" << "заголовок" << "Ремонты"
            << cp1251("; настройки\r\n[Отчеты]\r\nЗаголовок=Ремонты\r\n[main]\r\nserver=(local)\r\n");
        QTest::newRow("windows-1251 cannot hold the value: all UTF-8")
            << win << "main" << "server" << "(local)" << "1" << "fontname" << "Noto ☃"
            << QByteArray("; настройки\r\n[Отчеты]\r\nЗаголовок=Список техники\r\n[main]\r\nserver=(local)\r\n"
                          "[1]\r\nfontname=Noto ☃\r\n");
        const QByteArray nul = bytes("[1]\r\nwidth=5\r\nbroken\0line=7\r\n[main]\r\nserver=db\r\n");
        QTest::newRow("NUL byte cuts nothing")
            << nul << "main" << "server" << "db" << "1" << "width" << "6"
            << bytes("[1]\r\nwidth=6\r\nbroken\0line=7\r\n[main]\r\nserver=db\r\n");
        QTest::newRow("NUL line means no key")
            << nul << "1" << "broken" << "" << "main" << "server" << "(local)"
            << bytes("[1]\r\nwidth=5\r\nbroken\0line=7\r\n[main]\r\nserver=(local)\r\n");
        const QByteArray endings("[1]\nwidth=5\n\xff\xfe junk\rmore\n[main]\nserver=x");
        QTest::newRow("line breaks and junk as they were")
            << endings << "main" << "server" << "x" << "1" << "height" << "4"
            << QByteArray("[1]\nwidth=5\n\xff\xfe junk\rmore\nheight=4\r\n[main]\nserver=x");
        QTest::newRow("last line without a break")
            << endings << "1" << "width" << "5" << "main" << "port" << "1"
            << endings + QByteArray("\r\nport=1\r\n");
        QTest::newRow("byte-order mark")
            << QByteArray("\xef\xbb\xbf[main]\r\nserver=сервер\r\n") << "main" << "server" << "сервер" << "main"
            << "server" << "другой" << QByteArray("\xef\xbb\xbf[main]\r\nserver=другой\r\n");
        // clang-format on
    }

    void writeKeepsWhatWasRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, readSection);
        QFETCH(QString, readKey);
        QFETCH(QString, readText);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        writeFile(path, content);
        IniFile ini(path);
        QCOMPARE(ini.state(), IniFile::State::Read);
        QCOMPARE(ini.readString(readSection, readKey, QString()), readText);
        ini.writeString(section, key, value);
        QCOMPARE(readFile(path), after);
        QCOMPARE(IniFile(path).readString(section, key, QString()), value);
        if (readKey.compare(key, Qt::CaseInsensitive) != 0)
            QCOMPARE(IniFile(path).readString(readSection, readKey, QString()), readText);
    }

    // A file that cannot be read is told apart from no file, and never written over.
    void unreadableFileIsNotEmptySettings_data()
    {
        // clang-format off
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("state");
        QTest::newRow("missing") << "missing" << int(IniFile::State::Missing);
        QTest::newRow("empty") << "empty" << int(IniFile::State::Read);
        QTest::newRow("too large") << "large" << int(IniFile::State::TooLarge);
        QTest::newRow("no right to read") << "closed" << int(IniFile::State::Unreadable);
        QTest::newRow("a folder") << "folder" << int(IniFile::State::Unreadable);
        QTest::newRow("a pipe") << "pipe" << int(IniFile::State::Unreadable);
        // clang-format on
    }

    void unreadableFileIsNotEmptySettings()
    {
        QFETCH(QString, kind);
        QFETCH(int, state);
        QTemporaryDir dir;
        AsOrdinaryUser::openUp(dir.path());
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        const QByteArray content = "[main]\r\nserver=(local)\r\n";
        if (kind == QLatin1String("empty"))
            writeFile(path, QByteArray());
        if (kind == QLatin1String("large"))
            writeFile(path, content + QByteArray(IniFile::MaxSize, 'x'));
        if (kind == QLatin1String("closed")) {
            writeFile(path, content);
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::WriteOther));
        }
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("remont.ini")));
        if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
        const QFileInfo before(path);
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        IniFile ini(path);
        QCOMPARE(int(ini.state()), state);
        QCOMPARE(ini.readString(QStringLiteral("main"), QStringLiteral("server"), QString()), QString());
        if (ini.state() == IniFile::State::TooLarge || ini.state() == IniFile::State::Unreadable) {
            QVERIFY(!ini.problem().isEmpty());
            QVERIFY_THROWS_EXCEPTION(
                FileError, ini.writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("y")));
            QCOMPARE(QFileInfo(path).size(), before.size());
            QCOMPARE(QFileInfo(path).isDir(), before.isDir());
        } else {
            QVERIFY(ini.problem().isEmpty());
        }
    }

    // A NUL byte keeps its line from being read: the section it stands in is not read
    // whole, and every section is not when the line may be a header.
    void unreadableSections_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mainLine");
        QTest::addColumn<int>("otherLine");
        QTest::newRow("clean") << bytes("[main]\r\nserver=db\r\n[1]\r\nwidth=5\r\n") << 0 << 0;
        QTest::newRow("server line") << bytes("[main]\r\nserver=d\0b\r\n[1]\r\nwidth=5\r\n") << 2 << 0;
        QTest::newRow("other section") << bytes("[main]\r\nserver=db\r\n[1]\r\nwid\0th=5\r\n") << 0 << 4;
        QTest::newRow("header") << bytes("[1]\r\nwidth=5\r\n[ma\0in]\r\nserver=db\r\n") << 3 << 3;
        QTest::newRow("MAIN in capitals") << bytes("[MAIN]\r\n\0\r\nserver=db\r\n") << 2 << 0;
        // clang-format on
    }

    void unreadableSections()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mainLine);
        QFETCH(int, otherLine);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        writeFile(path, content);
        const IniFile ini(path);
        QCOMPARE(int(ini.state()), int(IniFile::State::Read));
        QCOMPARE(ini.unreadableLine(QStringLiteral("main")), mainLine);
        QCOMPARE(ini.unreadableLine(QStringLiteral("1")), otherLine);
    }

    void writeKeepsSpellingAndOtherLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        writeFile(path, "; comment\r\n[1]\r\nfontItalic=0\r\n\r\n[main]\r\nserver=(local)\r\n");
        IniFile ini(path);
        ini.writeBool(QStringLiteral("1"), QStringLiteral("fontitalic"), true);
        ini.writeInteger(QStringLiteral("1"), QStringLiteral("width"), 900);
        ini.writeString(QStringLiteral("7"), QStringLiteral("SortField"), QStringLiteral("Состояние"));
        // On disk at once, without any save call.
        QCOMPARE(readFile(path), QStringLiteral("; comment\r\n[1]\r\nfontItalic=1\r\nwidth=900\r\n\r\n[main]\r\n"
                                                "server=(local)\r\n[7]\r\nSortField=Состояние\r\n")
                                     .toUtf8());
        IniFile again(path);
        QCOMPARE(again.readString(QStringLiteral("7"), QStringLiteral("sortfield"), QString()),
                 QStringLiteral("Состояние"));
        QVERIFY(again.readBool(QStringLiteral("1"), QStringLiteral("FONTITALIC"), false));
    }

    void unwritableFileRaisesAndKeepsMemory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing-folder/remont.ini"));
        IniFile ini(path);
        bool raised = false;
        try {
            ini.writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("x"));
        } catch (const FileError &e) {
            raised = true;
            QVERIFY2(e.message().contains(QFileInfo(path).absoluteFilePath()), qPrintable(e.message()));
        }
        QVERIFY(raised);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(ini.readString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    void oversizedFileIsNeitherReadNorOverwritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("remont.ini"));
        QByteArray big("[main]\nserver=(local)\n");
        big += QByteArray(IniFile::MaxSize, 'x');
        writeFile(path, big);
        IniFile ini(path);
        QCOMPARE(ini.readString(QStringLiteral("main"), QStringLiteral("server"), QString()), QString());
        QVERIFY_THROWS_EXCEPTION(
            FileError, ini.writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("y")));
        QCOMPARE(QFileInfo(path).size(), qint64(big.size()));
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
