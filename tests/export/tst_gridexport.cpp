// A list window's grid exported to a CSV file and sent by mail, and a dataset written to a
// named CSV file.
#include "ItemListWindow.h"
#include "TestSupport.h"
#include "core/Cp1251.h"
#include "export/CSVobj.h"
#include "export/MailSender.h"
#include "export/RecordingMailSender.h"
#include "export/sg2csv.h"

#include <QDir>
#include <QFile>
#include <QToolButton>
#include <QtTest>

namespace {

// Remembers the default suffix too.
class ExportDialogs : public ScriptedDialogs {
public:
    QStringList suffixes;
    QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                         const QString &defaultSuffix) override
    {
        suffixes << defaultSuffix;
        return ScriptedDialogs::saveFileName(parent, title, filter, defaultSuffix);
    }
};

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The lines of a file written with CR LF after every line.
QStringList fileLines(const QString &path)
{
    QString text = Cp1251::decode(readBytes(path));
    if (!text.endsWith(QLatin1String("\r\n")))
        return {QStringLiteral("<no CR LF at the end>"), text};
    text.chop(2);
    return text.split(QLatin1String("\r\n"));
}

const QString Done = QStringLiteral("Экспорт завершен\rФайл %1\rВсего строк %2");

}  // namespace

class TestGridExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup() { MailSender::setCurrent(nullptr); }

    void csvLines_data();
    void csvLines();
    void csvBytesOnDisk();
    void csvDialogAndCancel();
    void csvReplacesExistingFile();
    void csvFailures_data();
    void csvFailures();
    void csvPostsRowBeingEdited();
    void csvCharactersOutsideTheCodePage_data() { addBackendCases(); }
    void csvCharactersOutsideTheCodePage();
    void csvNeverOverTheDatabase_data();
    void csvNeverOverTheDatabase();

    void dataSetToCsv();

    void mailBody_data();
    void mailBody();
    void mailFailures();
};

// ---------------------------------------------------------------------------------------
// GridToCSV through the toolbar's export button

void TestGridExport::csvLines_data()
{
    QTest::addColumn<QString>("extraRows");  // inserted before the window opens
    QTest::addColumn<QString>("where");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("lines");

    const QStringList nameSeria = {QStringLiteral("Name"), QStringLiteral("Seria")};
    QTest::newRow("empty list: header alone")
        << QString() << QStringLiteral("id < 0") << nameSeria << QStringList{QStringLiteral("№ п.п.;Название;Серия")};
    QTest::newRow("numbered lines in list order, every visible field")
        << QString() << QStringLiteral("id in (101, 103, 104)") << QStringList()
        << QStringList{QStringLiteral("№ п.п.;Код;Название;Серия;Примечание"),
                       QStringLiteral("1;101;HP deskjet 1220;В-64 21;"),
                       QStringLiteral("2;103;Canon 5530 D;А - 67567879;еле дышит пора сдавать в утиль"),
                       QStringLiteral("3;104;Epson Perfection 1270;S - 234567;")};
    // Values go out as they are: the ";" makes one field more, the null an empty field,
    // a line break splits the line.
    QTest::newRow("values as they are")
        << QStringLiteral("insert into izdel (id, Name, Seria, Info) values (201, 'a;b', NULL, 'x')")
        << QStringLiteral("id = 201")
        << QStringList{QStringLiteral("Name"), QStringLiteral("Seria"), QStringLiteral("Info")}
        << QStringList{QStringLiteral("№ п.п.;Название;Серия;Примечание"), QStringLiteral("1;a;b;;x")};
    QTest::newRow("line break inside a value")
        << QStringLiteral(
               "insert into izdel (id, Name, Info) values (202, 'n', 'one' || char(13) || char(10) || 'two')")
        << QStringLiteral("id = 202") << QStringList{QStringLiteral("Info"), QStringLiteral("Name")}
        << QStringList{QStringLiteral("№ п.п.;Примечание;Название"), QStringLiteral("1;one"), QStringLiteral("two;n")};
}

void TestGridExport::csvLines()
{
    QFETCH(QString, extraRows);
    QFETCH(QString, where);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, lines);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    if (!extraRows.isEmpty())
        db.query(extraRows);
    ExportDialogs dialogs;
    ItemListWindow list(where);
    if (!fields.isEmpty())
        list.showColumns(fields);
    const QString path = QDir(db.folder()).filePath(QStringLiteral("list.csv"));
    dialogs.saveNames << path;

    list.w().BtnExport->click();

    QCOMPARE(fileLines(path), lines);
    // The count takes in the header line, and a value's line break is not counted.
    const int records = list.dataSet.RecordCount();
    QCOMPARE(dialogs.texts(), QStringList{Done.arg(path).arg(records + 1)});
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("К Вашему Сведению"));
    // The walk leaves the dataset at its end and the grid on the last record.
    QVERIFY(list.dataSet.Eof());
    if (records > 0) {
        QCOMPARE(list.dataSet.RecNo(), records);
        QCOMPARE(list.grid().currentIndex().row(), records - 1);
    }
}

void TestGridExport::csvBytesOnDisk()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (103, 104)"));
    list.showColumns({QStringLiteral("Name"), QStringLiteral("Seria")});
    const QString path = QDir(db.folder()).filePath(QStringLiteral("bytes.csv"));
    dialogs.saveNames << path;

    list.w().BtnExport->click();

    // Windows-1251 without a byte-order mark, CR LF after every line, the last included.
    const QByteArray expected = "\xB9 \xEF.\xEF.;\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5;\xD1\xE5\xF0\xE8\xFF\r\n"
                                "1;Canon 5530 D;\xC0 - 67567879\r\n"
                                "2;Epson Perfection 1270;S - 234567\r\n";
    QCOMPARE(readBytes(path), expected);
}

void TestGridExport::csvDialogAndCancel()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;  // no file name: the user cancels
    ItemListWindow list(QString(), QStringLiteral("Справочник состояний"));
    list.dataSet.setRecNo(3);

    list.w().BtnExport->click();

    QCOMPARE(dialogs.saveTitles, QStringList{QStringLiteral("Выберите файл для сохранения. Справочник состояний")});
    QCOMPARE(dialogs.saveFilters, QStringList{QStringLiteral("Текстовые файлы с разделителями \";\" (*.csv)")});
    QCOMPARE(dialogs.suffixes, QStringList{QStringLiteral("csv")});
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(QDir(db.folder()).entryList({QStringLiteral("*.csv")}, QDir::Files), QStringList());
    // The window is as it was.
    QCOMPARE(list.dataSet.RecNo(), 3);
    QVERIFY(!list.dataSet.Eof());
}

void TestGridExport::csvReplacesExistingFile()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id = 101"));
    list.showColumns({QStringLiteral("Name")});
    const QString path = QDir(db.folder()).filePath(QStringLiteral("old.csv"));
    writeBytes(path, QByteArray("old;content;that;is;longer\r\n").repeated(50));
    dialogs.saveNames << path;

    list.w().BtnExport->click();

    QCOMPARE(readBytes(path), QByteArray("\xB9 \xEF.\xEF.;\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5\r\n1;HP deskjet 1220\r\n"));
}

void TestGridExport::csvFailures_data()
{
    QTest::addColumn<QString>("fileName");  // relative to the test folder
    QTest::addColumn<bool>("existing");     // the file is there before, read-only
    QTest::addColumn<QString>("column");    // the grid's column
    QTest::addColumn<QString>("error");     // expected in the message; %1 the file's path

    QTest::newRow("folder that does not exist")
        << QStringLiteral("missing/list.csv") << false << QStringLiteral("Name") << QStringLiteral("%1");
    QTest::newRow("read-only file") << QStringLiteral("locked.csv") << true << QStringLiteral("Name")
                                    << QStringLiteral("%1");
    QTest::newRow("grid column without its field")
        << QStringLiteral("list.csv") << false << QStringLiteral("Nope") << QStringLiteral("Field 'Nope' not found");
}

void TestGridExport::csvFailures()
{
    QFETCH(QString, fileName);
    QFETCH(bool, existing);
    QFETCH(QString, column);
    QFETCH(QString, error);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (101, 102)"));
    list.showColumns({column});
    const QString path = QDir(db.folder()).filePath(fileName);
    const QByteArray old = "keep me\r\n";
    if (existing) {
        writeBytes(path, old);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        // Anybody may write in the folder: it is the file alone that is read-only.
        QFile::setPermissions(db.folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                               QFile::WriteOther | QFile::ExeOther);
    }
    dialogs.saveNames << path;

    {
        AsOrdinaryUser asUser;
        QVERIFY(asUser.ok());
        list.w().BtnExport->click();
    }

    // One error, from the general display; no completion message; nothing written.
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).icon, Dialogs::Icon::Critical);
    const QString text = dialogs.messages.at(0).text;
    QVERIFY2(text.contains(error.contains(QLatin1String("%1")) ? error.arg(path) : error), qPrintable(text));
    if (existing) {
        QCOMPARE(readBytes(path), old);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        QVERIFY(!QFile::exists(path));
    }
    QCOMPARE(QDir(db.folder()).entryList({QStringLiteral("*.csv*")}, QDir::Files),
             existing ? QStringList{fileName} : QStringList());
}

// A save over the embedded database's files would replace them under SQLite: refused.
void TestGridExport::csvNeverOverTheDatabase_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("linkTo");  // the chosen name is a link to this file
    QTest::newRow("the database") << QStringLiteral("org_tech.sqlite") << QString();
    QTest::newRow("its log") << QStringLiteral("org_tech.sqlite-wal") << QString();
    QTest::newRow("its index") << QStringLiteral("org_tech.sqlite-shm") << QString();
    QTest::newRow("a link to it") << QStringLiteral("list.csv") << QStringLiteral("org_tech.sqlite");
}

void TestGridExport::csvNeverOverTheDatabase()
{
    QFETCH(QString, fileName);
    QFETCH(QString, linkTo);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (101, 102)"));
    list.showColumns({QStringLiteral("Name")});
    const QDir folder(db.folder());
    const QString database = folder.filePath(QStringLiteral("org_tech.sqlite"));
    if (!linkTo.isEmpty())
        QVERIFY(QFile::link(folder.filePath(linkTo), folder.filePath(fileName)));
    const QFileInfo before(database);
    dialogs.saveNames << folder.filePath(fileName);

    list.w().BtnExport->click();

    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages.at(0).text.contains(QStringLiteral("это файл базы данных программы")),
             qPrintable(dialogs.messages.at(0).text));
    const QFileInfo after(database);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.lastModified(), before.lastModified());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from izdel")).toInt(), 7);
}

// A character outside Windows-1251 is one "?" in the file (one beyond the 16-bit range too),
// and the finished message says how many, in which column.
void TestGridExport::csvCharactersOutsideTheCodePage()
{
    TAVRELL_TEST_DB(db);
    db.query(QStringLiteral("update izdel set Info = '中 и 😀' where id = 101"));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (101, 103)"));
    list.showColumns({QStringLiteral("Name"), QStringLiteral("Info")});
    const QString path = QDir(db.folder()).filePath(QStringLiteral("list.csv"));
    dialogs.saveNames << path;

    list.w().BtnExport->click();

    QCOMPARE(fileLines(path),
             (QStringList{QStringLiteral("№ п.п.;Название;Примечание"), QStringLiteral("1;HP deskjet 1220;? и ?"),
                          QStringLiteral("2;Canon 5530 D;еле дышит пора сдавать в утиль")}));
    QCOMPARE(dialogs.texts(),
             QStringList{Done.arg(path).arg(3) +
                         QStringLiteral("\rСимволов, которых нет в кодировке Windows-1251, не удалось записать: 2. "
                                        "Вместо каждого из них в файле стоит знак \"?\".\rстолбец Примечание: 2")});
}

void TestGridExport::csvPostsRowBeingEdited()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ExportDialogs dialogs;
    ItemListWindow list(QStringLiteral("id in (101, 102)"));
    list.showColumns({QStringLiteral("Name")});
    list.dataSet.Last();
    list.dataSet.Edit();
    list.dataSet.FieldByName(QStringLiteral("Name"))->setText(QStringLiteral("изменено"));
    const QString path = QDir(db.folder()).filePath(QStringLiteral("list.csv"));
    dialogs.saveNames << path;

    list.w().BtnExport->click();

    QCOMPARE(fileLines(path).last(), QStringLiteral("2;изменено"));
    QCOMPARE(db.scalar(QStringLiteral("select Name from izdel where id = 102")).toString(), QStringLiteral("изменено"));
}

// ---------------------------------------------------------------------------------------
// DataSetToCSV

void TestGridExport::dataSetToCsv()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.query(QStringLiteral(
        "insert into izdel (id, Name, Seria, Info) values (201, 'a;b', NULL, 'x' || char(13) || char(10) || 'y')"));
    ScriptedDialogs dialogs;
    TDataSet ds;
    ds.setSQL(QStringLiteral("select id, Name, Seria, Info from izdel where id in (101, 102, 103, 201) order by id"));
    ds.Open();
    ds.FieldByName(QStringLiteral("Info"))->setVisible(false);  // every field counts, shown or not
    ds.setRecNo(3);
    const QString path = QDir(db.folder()).filePath(QStringLiteral("izdel.csv"));
    // An existing file is updated in place: its rows after the written ones stay.
    writeBytes(path, "r0\r\nr1\r\nr2\r\nr3\r\n");

    DataSetToCSV(path, &ds);

    QCOMPARE(fileLines(path),
             (QStringList{QStringLiteral("103;Canon 5530 D;А - 67567879;еле дышит пора сдавать в утиль"),
                          QStringLiteral("201;a<nfd>b;;x<nl>y"), QStringLiteral("r2"), QStringLiteral("r3")}));
    QVERIFY(ds.Eof());
    QCOMPARE(ds.RecNo(), 4);
    QVERIFY(dialogs.messages.isEmpty());

    // At the end already: nothing is read, the file is written as it was loaded.
    DataSetToCSV(path, &ds);
    QCOMPARE(fileLines(path).size(), 4);
    // A new file from the first record on.
    const QString whole = QDir(db.folder()).filePath(QStringLiteral("new.csv"));
    ds.First();
    DataSetToCSV(whole, &ds);
    QCOMPARE(fileLines(whole).size(), 4);
    QCOMPARE(fileLines(whole).first(), QStringLiteral("101;HP deskjet 1220;В-64 21;"));

    // A file it cannot write is the platform's error naming it; the file stays.
    ds.First();
    const QString missing = QDir(db.folder()).filePath(QStringLiteral("nowhere/izdel.csv"));
    try {
        DataSetToCSV(missing, &ds);
        QFAIL("no error");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
    }
}

// ---------------------------------------------------------------------------------------
// GridToMail through the toolbar's mail button

void TestGridExport::mailBody_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("body");

    QTest::newRow("empty list: header alone")
        << QStringLiteral("id < 0") << QStringLiteral("№ п.п.\tНазвание\tСерия\r\n");
    QTest::newRow("numbered lines")
        << QStringLiteral("id in (102, 105)")
        << QStringLiteral(
               "№ п.п.\tНазвание\tСерия\r\n1\tHP LaserJet 5100\tВ- 45678\r\n2\tHP ScanJet 3690C\tВ-5678432\r\n");
    QTest::newRow("values as they are") << QStringLiteral("id = 201")
                                        << QStringLiteral("№ п.п.\tНазвание\tСерия\r\n1\ta\tb;c\t\r\n");
}

void TestGridExport::mailBody()
{
    QFETCH(QString, where);
    QFETCH(QString, body);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.query(QStringLiteral("insert into izdel (id, Name, Seria) values (201, 'a' || char(9) || 'b;c', NULL)"));
    ScriptedDialogs dialogs;
    RecordingMailSender sender;
    MailSender::setCurrent(&sender);
    ItemListWindow list(where, QStringLiteral("Ресурсы"));
    list.showColumns({QStringLiteral("Name"), QStringLiteral("Seria")});

    list.w().BtnSendToMail->click();

    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(sender.messages.at(0).subject, QStringLiteral("Ресурсы"));
    QCOMPARE(sender.messages.at(0).body, body);
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(list.dataSet.Eof());
}

void TestGridExport::mailFailures()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    RecordingMailSender sender;
    MailSender::setCurrent(&sender);
    ItemListWindow list(QStringLiteral("id = 101"));

    // The client refuses, or the user closes its compose window.
    sender.succeed = false;
    list.w().BtnSendToMail->click();
    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Не вышло")});

    // A column without its field stops before the client is called.
    dialogs.clear();
    list.showColumns({QStringLiteral("Name"), QStringLiteral("Nope")});
    list.w().BtnSendToMail->click();
    QCOMPARE(sender.messages.size(), 1);
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Field 'Nope' not found")});
}

QTEST_MAIN(TestGridExport)
#include "tst_gridexport.moc"
