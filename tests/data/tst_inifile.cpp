// The settings file: case-insensitive names, writes on disk at once, bad files survived.
#include "app/Errors.h"
#include "data/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

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
}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void reads_data()
    {
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
        QCOMPARE(again.readString(QStringLiteral("7"), QStringLiteral("sortfield"), QString()), QStringLiteral("Состояние"));
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
        QVERIFY_THROWS_EXCEPTION(FileError, ini.writeString(QStringLiteral("main"), QStringLiteral("server"), QStringLiteral("y")));
        QCOMPARE(QFileInfo(path).size(), qint64(big.size()));
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
