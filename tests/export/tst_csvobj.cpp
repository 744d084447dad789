// The CSV writer: escaping, field placement, the Windows-1251 bytes it writes, the lines it
// reads back from files with any kind of line break, and file errors that lose nothing.
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "core/Errors.h"
#include "export/CSVobj.h"
#include "export/StrTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

struct Cell {
    int row;
    int column;
    QString value;
};

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The escaping as a literal loop of first-occurrence replacements, for comparison.
QString escapeByLoops(QString s)
{
    const QList<QPair<QString, QString>> steps = {{";", "<nfd>"}, {"\"\"", "\""}, {"\n", ""}, {"\r", "<nl>"}};
    for (const auto &step : steps) {
        for (;;) {
            const QString next = StrReplaceFirst(s, step.first, step.second, false);
            if (next == s)
                break;
            s = next;
        }
    }
    return s;
}

}  // namespace

Q_DECLARE_METATYPE(QList<Cell>)

class TestCSVobj : public QObject {
    Q_OBJECT

private slots:
    void escape_data();
    void escape();
    void escapeMatchesReplacementLoops();

    void findNthChar_data();
    void findNthChar();
    void repeatChar();

    void setField_data();
    void setField();
    void setCell_data();
    void setCell();
    void setCellRejectsNegativeCell();

    void codePage_data();
    void codePage();
    void codePageRoundTripsEveryByte();

    void savedBytes_data();
    void savedBytes();
    void loadedLines_data();
    void loadedLines();

    void existingFileRewrittenInPlace();
    void missingFileStartsEmptyAndSaveCreatesIt();
    void destroyingWithoutSaveWritesNothing();
    void saveReplacesWholeFile();

    void createErrors_data();
    void createErrors();
    void saveErrors_data();
    void saveErrors();
    void unreadableFile();
    void unwritableFolderKeepsOldFile();
    void writableFileInReadOnlyFolder_data();
    void writableFileInReadOnlyFolder();
};

void TestCSVobj::escape_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("plain") << "abc" << "abc";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("separator") << "a;b" << "a<nfd>b";
    QTest::newRow("every separator") << ";a;;" << "<nfd>a<nfd><nfd>";
    QTest::newRow("CR LF") << "x\r\ny" << "x<nl>y";
    QTest::newRow("lone LF") << "x\ny" << "xy";
    QTest::newRow("lone CR") << "x\ry" << "x<nl>y";
    QTest::newRow("LF CR") << "x\n\ry" << "x<nl>y";
    QTest::newRow("two breaks") << "a\r\n\r\nb" << "a<nl><nl>b";
    QTest::newRow("single quote stays") << "a\"b" << "a\"b";
    QTest::newRow("two quotes") << "a\"\"b" << "a\"b";
    QTest::newRow("three quotes") << "a\"\"\"b" << "a\"b";
    QTest::newRow("four quotes") << "\"\"\"\"" << "\"";
    QTest::newRow("separate runs") << "\"\"a\"\"\"b\"" << "\"a\"b\"";
    // clang-format on
    // Quotes are collapsed before the LF goes, so quotes that the LF kept apart stay two.
    // clang-format off
    QTest::newRow("quotes around LF") << "a\"\n\"b" << "a\"\"b";
    QTest::newRow("cyrillic") << "Картридж; \"HP\"\r\nзаменён" << "Картридж<nfd> \"HP\"<nl>заменён";
    // clang-format on
}

void TestCSVobj::escape()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    const QString escaped = CSVEscape(value);
    QCOMPARE(escaped, expected);
    QVERIFY(!escaped.contains(QLatin1Char(';')));
    QVERIFY(!escaped.contains(QLatin1Char('\r')));
    QVERIFY(!escaped.contains(QLatin1Char('\n')));
}

void TestCSVobj::escapeMatchesReplacementLoops()
{
    // Short random texts over the characters that the escaping treats specially.
    const QString alphabet = QStringLiteral(";\"\r\nаZ<>");
    QRandomGenerator gen(1251);
    for (int round = 0; round < 3000; ++round) {
        QString value;
        const int len = gen.bounded(12);
        for (int i = 0; i < len; ++i)
            value.append(alphabet.at(gen.bounded(alphabet.size())));
        const QString expected = escapeByLoops(value);
        if (CSVEscape(value) != expected)
            QFAIL(qPrintable(
                QStringLiteral("value %1: got %2, expected %3")
                    .arg(QString::fromLatin1(value.toUtf8().toPercentEncoding()), CSVEscape(value), expected)));
    }
}

void TestCSVobj::findNthChar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("expected");
    // clang-format off
    QTest::newRow("first") << "a;b;c" << 1 << 1 << 2;
    QTest::newRow("second") << "a;b;c" << 1 << 2 << 4;
    QTest::newRow("one missing") << "a;b;c" << 1 << 3 << -1;
    QTest::newRow("two missing") << "a" << 1 << 2 << -2;
    QTest::newRow("zero finds first") << "a;b;c" << 3 << 0 << 4;
    QTest::newRow("zero none left") << "a;b" << 3 << 0 << 0;
    QTest::newRow("start on the char") << "a;b" << 2 << 1 << 2;
    QTest::newRow("start past end") << "a;b" << 9 << 2 << -2;
    QTest::newRow("empty text") << "" << 1 << 1 << -1;
    QTest::newRow("start below 1 scans from 1") << ";a" << 0 << 1 << 1;
    // clang-format on
}

void TestCSVobj::findNthChar()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(int, expected);
    QCOMPARE(FindNthChar(text, start, n, QLatin1Char(';')), expected);
}

void TestCSVobj::repeatChar()
{
    QCOMPARE(RepeatChar(QLatin1Char(';'), 3), QStringLiteral(";;;"));
    QCOMPARE(RepeatChar(QLatin1Char(';'), 1), QStringLiteral(";"));
    QCOMPARE(RepeatChar(QLatin1Char(';'), 0), QString());
    QCOMPARE(RepeatChar(QLatin1Char(';'), -4), QString());
}

void TestCSVobj::setField_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("column 0") << "a;b;c" << 0 << "X" << "X;b;c";
    QTest::newRow("column 1") << "a;b;c" << 1 << "X" << "a;X;c";
    QTest::newRow("last column") << "a;b;c" << 2 << "X" << "a;b;X";
    QTest::newRow("one past the end") << "a;b;c" << 3 << "X" << "a;b;c;X";
    QTest::newRow("two past the end") << "a;b;c" << 4 << "X" << "a;b;c;;X";
    QTest::newRow("no separator, column 0") << "old" << 0 << "new" << "new";
    QTest::newRow("no separator, column 2") << "a" << 2 << "V" << "a;;V";
    QTest::newRow("empty line, column 0") << "" << 0 << "x" << "x";
    QTest::newRow("empty line, column 3") << "" << 3 << "x" << ";;;x";
    QTest::newRow("empty field replaced") << "a;;c" << 1 << "b" << "a;b;c";
    QTest::newRow("field emptied") << "a;b;c" << 1 << "" << "a;;c";
    QTest::newRow("trailing empty field") << "a;b;" << 2 << "c" << "a;b;c";
    QTest::newRow("longer value") << "1;2;3" << 1 << "двадцать" << "1;двадцать;3";
    // clang-format on
}

void TestCSVobj::setField()
{
    QFETCH(QString, line);
    QFETCH(int, k);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(CSVSetField(line, value, k, QLatin1Char(';')), expected);
}

void TestCSVobj::setCell_data()
{
    QTest::addColumn<QList<Cell>>("cells");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("value is escaped") << QList<Cell>{{0, 0, "a;b"}} << QStringList{"a<nfd>b"};
    QTest::newRow("rows appended empty") << QList<Cell>{{5, 0, "v"}} << QStringList{"", "", "", "", "", "v"};
    QTest::newRow("columns padded") << QList<Cell>{{0, 3, "x"}} << QStringList{";;;x"};
    QTest::newRow("a row in column order") << QList<Cell>{{0, 0, "a"}, {0, 1, ""}, {0, 2, "c"}} << QStringList{"a;;c"};
    QTest::newRow("rewriting a cell") << QList<Cell>{{0, 0, "a"}, {0, 1, "b"}, {0, 0, "Z"}} << QStringList{"Z;b"};
    QTest::newRow("columns out of order") << QList<Cell>{{0, 2, "c"}, {0, 0, "a"}, {0, 1, "b"}} << QStringList{"a;b;c"};
    QTest::newRow("earlier row after later") << QList<Cell>{{2, 0, "r2"}, {0, 1, "r0"}} << QStringList{";r0", "", "r2"};
    QTest::newRow("escaped values keep the fields apart")
        << QList<Cell>{{0, 0, "a;b"}, {0, 1, "x\r\ny"}, {0, 2, "q\"\"q"}} << QStringList{"a<nfd>b;x<nl>y;q\"q"};
}

void TestCSVobj::setCell()
{
    QFETCH(QList<Cell>, cells);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    tCSV csv(dir.filePath("new.csv"));
    for (const Cell &c : cells)
        csv.SetCell(c.row, c.column, c.value);
    QCOMPARE(csv.lines(), expected);
}

void TestCSVobj::setCellRejectsNegativeCell()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    tCSV csv(dir.filePath("new.csv"));
    csv.SetCell(0, 0, "a");
    QVERIFY_THROWS_EXCEPTION(TavrellError, csv.SetCell(-1, 0, "x"));
    QVERIFY_THROWS_EXCEPTION(TavrellError, csv.SetCell(0, -1, "x"));
    QCOMPARE(csv.lines(), QStringList{"a"});
}

void TestCSVobj::codePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // clang-format off
    QTest::newRow("ascii") << "Az09;<>" << QByteArray("Az09;<>");
    QTest::newRow("cyrillic letters") << "АБВЯабвя" << QByteArray("\xC0\xC1\xC2\xDF\xE0\xE1\xE2\xFF");
    QTest::newRow("yo") << "Ёё" << QByteArray("\xA8\xB8");
    QTest::newRow("ukrainian and belarusian") << "ЇїІіЎў" << QByteArray("\xAF\xBF\xB2\xB3\xA1\xA2");
    QTest::newRow("signs") << "№ «» — € ‰" << QByteArray("\xB9 \xAB\xBB \x97 \x88 \x89");
    // clang-format on
}

void TestCSVobj::codePage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp1251::encode(text), bytes);
    QCOMPARE(Cp1251::decode(bytes), text);
}

void TestCSVobj::codePageRoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = Cp1251::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(Cp1251::encode(text), all);

    // Outside the code page: one "?" per character, whether it takes one or two UTF-16 units.
    QCOMPARE(Cp1251::encode(QStringLiteral("a中b")), QByteArray("a?b"));
    QCOMPARE(Cp1251::encode(QStringLiteral("x\U0001F600y")), QByteArray("x?y"));
    QCOMPARE(Cp1251::encode(QStringLiteral("äÄé")), QByteArray("???"));
    QString lone;
    lone.append(QChar(0xD800)).append(QLatin1Char('z'));
    QCOMPARE(Cp1251::encode(lone), QByteArray("?z"));
    QCOMPARE(Cp1251::encode(QString()), QByteArray());

    QByteArray appended("head:");
    Cp1251::encodeAppend(appended, QStringLiteral("Тест"));
    QCOMPARE(appended, QByteArray("head:\xD2\xE5\xF1\xF2"));
}

void TestCSVobj::savedBytes_data()
{
    QTest::addColumn<QList<Cell>>("cells");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("nothing written") << QList<Cell>{} << QByteArray();
    QTest::newRow("CR LF after the last line too") << QList<Cell>{{0, 0, "a"}, {1, 0, "b"}} << QByteArray("a\r\nb\r\n");
    QTest::newRow("empty rows") << QList<Cell>{{2, 1, "v"}} << QByteArray("\r\n\r\n;v\r\n");
    QTest::newRow("cyrillic in Windows-1251") << QList<Cell>{{0, 0, "Принтер"}, {0, 1, "Отдел №5"}}
                                              << QByteArray("\xCF\xF0\xE8\xED\xF2\xE5\xF0;\xCE\xF2\xE4\xE5\xEB \xB9"
                                                            "5\r\n");
    QTest::newRow("outside the code page") << QList<Cell>{{0, 0, "Ü中\U0001F600"}} << QByteArray("???\r\n");
    QTest::newRow("escaped break") << QList<Cell>{{0, 0, "стр1\r\nстр2"}}
                                   << QByteArray("\xF1\xF2\xF0"
                                                 "1<nl>\xF1\xF2\xF0"
                                                 "2\r\n");
}

void TestCSVobj::savedBytes()
{
    QFETCH(QList<Cell>, cells);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("out.csv");
    tCSV csv(path);
    for (const Cell &c : cells)
        csv.SetCell(c.row, c.column, c.value);
    csv.Save();
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(readBytes(path), bytes);
    // What was written reads back as the same lines, less what the code page cannot hold.
    QStringList stored;
    for (const QString &line : csv.lines())
        stored << Cp1251::decode(Cp1251::encode(line));
    QCOMPARE(tCSV(path).lines(), stored);
}

void TestCSVobj::loadedLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lone LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\rb\nc\r\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nc\r\n") << QStringList{"", "", "c"};
    QTest::newRow("one break") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("two final breaks") << QByteArray("a\r\n\r\n") << QStringList{"a", ""};
    QTest::newRow("NUL ends the text") << QByteArray("a;b\r\nc\0d\r\ne\r\n", 13) << QStringList{"a;b", "c"};
    QTest::newRow("NUL first") << QByteArray("\0a\r\n", 4) << QStringList{};
    QTest::newRow("Windows-1251") << QByteArray("\xCF\xF0\xE8\xED\xF2\xE5\xF0;\xA8\r\n") << QStringList{"Принтер;Ё"};
}

void TestCSVobj::loadedLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("in.csv");
    QVERIFY(writeBytes(path, bytes));
    QCOMPARE(tCSV(path).lines(), lines);
}

void TestCSVobj::existingFileRewrittenInPlace()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("table.csv");
    QByteArray old;
    for (int i = 0; i < 10; ++i)
        old += QByteArray::number(i) + ";\xF1\xF2\xE0\xF0\xEE\xE5;" + QByteArray::number(i * 10) + ";end\r\n";
    QVERIFY(writeBytes(path, old));

    {
        tCSV csv(path);
        QCOMPARE(csv.lines().size(), 10);
        for (int row = 0; row < 3; ++row) {
            csv.SetCell(row, 0, QString::number(row + 100));
            csv.SetCell(row, 1, QStringLiteral("новое"));
        }
        csv.Save();
    }

    const QList<QByteArray> lines = readBytes(path).split('\n');
    QCOMPARE(lines.size(), 11);  // ten lines, each ended by CR LF
    QVERIFY(lines.last().isEmpty());
    const QByteArray novoe("\xED\xEE\xE2\xEE\xE5");
    for (int row = 0; row < 3; ++row)  // written fields replaced, later ones kept
        QCOMPARE(lines.at(row),
                 QByteArray::number(row + 100) + ';' + novoe + ';' + QByteArray::number(row * 10) + ";end\r");
    const QByteArray lastSeven = old.mid(old.indexOf("3;"));
    QVERIFY(readBytes(path).endsWith(lastSeven));
}

void TestCSVobj::missingFileStartsEmptyAndSaveCreatesIt()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("absent.csv");
    tCSV csv(path);
    QVERIFY(csv.lines().isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    csv.SetCell(0, 0, "x");
    csv.Save();
    QCOMPARE(readBytes(path), QByteArray("x\r\n"));
}

void TestCSVobj::destroyingWithoutSaveWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString existing = dir.filePath("existing.csv");
    const QByteArray old("a;b\nc\n");
    QVERIFY(writeBytes(existing, old));
    const QString absent = dir.filePath("absent.csv");
    {
        tCSV a(existing);
        a.SetCell(0, 0, "changed");
        a.SetCell(4, 2, "more");
        tCSV b(absent);
        b.SetCell(0, 0, "x");
    }
    QCOMPARE(readBytes(existing), old);
    QVERIFY(!QFileInfo::exists(absent));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"existing.csv"});
}

void TestCSVobj::saveReplacesWholeFile()
{
    // Lines read with other breaks are all written back with CR LF; a longer old file leaves
    // nothing behind the new end.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("t.csv");
    QVERIFY(writeBytes(path, QByteArray("a\nb\rc")));
    tCSV csv(path);
    csv.Save();
    QCOMPARE(readBytes(path), QByteArray("a\r\nb\r\nc\r\n"));
}

void TestCSVobj::createErrors_data()
{
    QTest::addColumn<QString>("name");    // relative to the temporary directory
    QTest::addColumn<QString>("reason");  // part of the system's text
    // clang-format off
    QTest::newRow("a folder in place of the file") << "folder.csv" << "directory";
    // clang-format on
}

void TestCSVobj::createErrors()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder.csv"));
    const QString path = dir.filePath(name);
    try {
        tCSV csv(path);
        QFAIL("no error");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains('"' + QFileInfo(path).absoluteFilePath() + '"'), qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        QVERIFY2(e.message().startsWith(QStringLiteral("Не удается открыть файл")), qPrintable(e.message()));
    }
    QVERIFY(QFileInfo(path).isDir());
}

void TestCSVobj::saveErrors_data()
{
    QTest::addColumn<QString>("name");  // relative to the temporary directory
    QTest::addColumn<QString>("reason");
    // clang-format off
    QTest::newRow("missing folder") << "no/such/t.csv" << "No such file or directory";
    QTest::newRow("a file in place of the folder") << "plain.txt/t.csv" << "Not a directory";
    QTest::newRow("a folder in place of the file") << "folder.csv" << "";
    // clang-format on
}

void TestCSVobj::saveErrors()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    // A relative name is reported as an absolute one.
    const QString expectedName = QFileInfo(name).absoluteFilePath();
    tCSV csv(name);
    csv.SetCell(0, 0, "data");
    QDir::setCurrent(oldCurrent);

    // The obstacles appear between loading and saving.
    QVERIFY(writeBytes(dir.filePath("plain.txt"), "keep\r\n"));
    QVERIFY(QDir(dir.path()).mkdir("folder.csv"));
    QVERIFY(writeBytes(dir.filePath("folder.csv/inside.csv"), "inside\r\n"));
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList before = QDir(dir.path()).entryList(all);

    QVERIFY(QDir::setCurrent(dir.path()));
    try {
        csv.Save();
        QDir::setCurrent(oldCurrent);
        QFAIL("no error");
    } catch (const FileError &e) {
        QDir::setCurrent(oldCurrent);
        QVERIFY2(e.message().startsWith(QStringLiteral("Не удается создать файл \"") + expectedName + "\": "),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
    QCOMPARE(QDir(dir.path()).entryList(all), before);
    QCOMPARE(readBytes(dir.filePath("plain.txt")), QByteArray("keep\r\n"));
    QCOMPARE(QDir(dir.filePath("folder.csv")).entryList(all), QStringList{"inside.csv"});
}

void TestCSVobj::unreadableFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AsOrdinaryUser::openUp(dir.path());
    const QString path = dir.filePath("secret.csv");
    QVERIFY(writeBytes(path, "a\r\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    {
        AsOrdinaryUser asUser;
        QVERIFY(asUser.ok());
        try {
            tCSV csv(path);
            QFAIL("no error");
        } catch (const FileError &e) {
            QCOMPARE(e.message(), QStringLiteral("Не удается открыть файл \"%1\": Permission denied").arg(path));
        }
    }
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(readBytes(path), QByteArray("a\r\n"));
}

void TestCSVobj::unwritableFolderKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("old.csv");
    QVERIFY(writeBytes(path, "1;2\r\n3;4\r\n"));
    tCSV csv(path);
    csv.SetCell(0, 0, "new");
    const auto rx = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), rx));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    bool raised = false;
    {
        AsOrdinaryUser asUser;
        QVERIFY(asUser.ok());
        try {
            csv.Save();
        } catch (const FileError &e) {
            raised = true;
            QVERIFY2(e.message().startsWith(QStringLiteral("Не удается создать файл \"%1\": ").arg(path)),
                     qPrintable(e.message()));
        }
    }
    QFile::setPermissions(dir.path(), rx | QFileDevice::WriteOwner);
    QVERIFY(raised);
    QCOMPARE(readBytes(path), QByteArray("1;2\r\n3;4\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.csv"});
}

// A folder that takes no temporary file still lets a writable file in it be rewritten, in
// place; anywhere else the file is replaced whole (a new file takes the old one's name).
void TestCSVobj::writableFileInReadOnlyFolder_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::newRow("writable folder: replaced") << true;
    QTest::newRow("read-only folder: in place") << false;
}

void TestCSVobj::writableFileInReadOnlyFolder()
{
    QFETCH(bool, folderWritable);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("shared.csv");
    QVERIFY(writeBytes(path, "1;2\r\n3;4\r\n5;6\r\n"));
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                    QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    const auto rx = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(path, rw));
    QVERIFY(QFile::setPermissions(dir.path(),
                                  folderWritable ? rx | QFileDevice::WriteGroup | QFileDevice::WriteOther : rx));
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    tCSV csv(path);
    csv.SetCell(0, 0, "new");
    {
        AsOrdinaryUser asUser;
        QVERIFY(asUser.ok());
        csv.Save();
    }
    QFile::setPermissions(dir.path(), rx);
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QCOMPARE(readBytes(path), QByteArray("new;2\r\n3;4\r\n5;6\r\n"));
    QCOMPARE(after.st_ino != before.st_ino, folderWritable);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"shared.csv"});
}

QTEST_APPLESS_MAIN(TestCSVobj)
#include "tst_csvobj.moc"
