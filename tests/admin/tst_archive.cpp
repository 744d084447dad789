// The archive: the folder named by the date, each kind writing its tables in order, the
// exact bytes of the files, an archive made again on the same day, reading in parts, a
// failure that stops the archive without a register row, a long path kept whole and one the
// register cannot hold, the register of an older database widened at start, cancelling, and
// deleting register rows without touching the files.
#include "ListWindowProbe.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "admin/arh.h"
#include "core/Cp1251.h"
#include "core/Errors.h"
#include "export/FileGroup.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QtTest>

namespace {

const QDateTime Day(QDate(2005, 3, 5), QTime(10, 0));

QString archiveFolder(const TestDb &db, const QString &name = QStringLiteral("2005_3_5"))
{
    return QDir(db.folder()).filePath(name) + QLatin1Char('/');
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList csvNames(const QStringList &tables)
{
    QStringList names;
    for (const QString &t : tables)
        names << t + QStringLiteral(".csv");
    names.sort();
    return names;
}

// The status texts that name a table at its start, in the order shown.
QStringList tablesAnnounced(const QStringList &statuses)
{
    QStringList tables;
    for (const QString &s : statuses)
        if (s.startsWith(QStringLiteral("Экспорт : ")) && !s.contains(QLatin1Char(',')))
            tables << s.mid(10);
    return tables;
}

const QByteArray OtdelBytes =
    Cp1251::encode(u"11;Административный\r\n12;Экономический\r\n13;Плановый\r\n14;Технический\r\n15;Издательский\r\n");
const QByteArray ResursBytes = Cp1251::encode(
    u"100;Поршок для заправки;гр.\r\n101;Чернила;гр.\r\n102;Картридж;шт.\r\n103;Нагреват. элемент;шт.\r\n");

// The sqlite3 shell's answer to one statement (its errors included).
QString shell(const QString &file, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {file, sql});
    if (!p.waitForFinished(60000))
        return QStringLiteral("<sqlite3 did not run: %1>").arg(p.errorString());
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

// The register's table as the database declares it: its column path, keys and checks.
QString registerShape(const TestDb &db)
{
    if (db.isPostgres())
        return db.scalar(QStringLiteral("SELECT data_type || ' ' || character_maximum_length || ' ' || "
                                        "coalesce(collation_name, '-') || ' ' || is_nullable "
                                        "FROM information_schema.columns WHERE table_schema = current_schema() "
                                        "AND table_name = 'exp_data' AND column_name = 'path'"))
                   .toString() +
               QStringLiteral(" | ") +
               db.scalar(QStringLiteral("SELECT string_agg(conname || ': ' || pg_get_constraintdef(oid), ' | ' "
                                        "ORDER BY conname) FROM pg_constraint WHERE conrelid = 'exp_data'::regclass"))
                   .toString();
    QStringList rows;
    QSqlQuery q = db.query(QStringLiteral("SELECT type, name, coalesce(sql, '') FROM sqlite_master "
                                          "WHERE tbl_name = 'exp_data' ORDER BY name"));
    while (q.next())
        rows << QStringLiteral("%1 %2 %3")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString())
                    .simplified();
    return rows.join(QStringLiteral(" | "));
}

// The register as a database made when it held 50 characters of path has it.
void narrowRegister(const TestDb &db)
{
    if (db.isPostgres()) {
        db.query(QStringLiteral("ALTER TABLE exp_data ALTER COLUMN path TYPE varchar(50) COLLATE ci"));
    } else {
        db.query(QStringLiteral("DROP TABLE exp_data"));
        db.query(QStringLiteral("CREATE TABLE exp_data (dt datetime NOT NULL, tp int, "
                                "path varchar(50) COLLATE NOCASE CHECK (length(path) <= 50), "
                                "CONSTRAINT PK_exp_data PRIMARY KEY (dt), "
                                "CONSTRAINT FK_exp_data_kl_exp_tp FOREIGN KEY (tp) REFERENCES kl_exp_tp (id) "
                                "ON DELETE NO ACTION)"));
    }
}

// Every entry of a folder with its bytes (a folder as "<folder>").
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        files.insert(name,
                     QFileInfo(dir.filePath(name)).isDir() ? QByteArray("<folder>") : bytesOf(dir.filePath(name)));
    return files;
}

// What a killed process leaves: thrown from a step, it passes every clean-up of the archive.
struct Killed {};

// Steps of the file group: fails one (as a full disk would) or kills the run there.
struct StepHook {
    enum Action { Record, Fail, Kill };
    StepHook(Action action = Record, const QString &at = QString()) : action(action), at(at)
    {
        FileGroup::stepHook() = [this](const QString &step) {
            steps << step;
            if (step != this->at)
                return;
            if (this->action == Fail)
                throw FileError(QStringLiteral("Нет места на диске"));
            if (this->action == Kill)
                throw Killed();
        };
    }
    ~StepHook() { FileGroup::stepHook() = nullptr; }
    Action action;
    QString at;
    QStringList steps;
};

// Rows that make a second archive differ from the first in its first tables and the data
// ones: a cascade delete takes an item with its repairs, and new rows come.
void changeData(const TestDb &db)
{
    db.query(QStringLiteral("update Operations set Name = Name || '!'"));
    db.query(QStringLiteral("update States set Name = Name || '!'"));
    db.query(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Otdel, Prichina, Nach_rem) "
                            "values (900, 11, 101, 'Плановый', 'замятие', '2005-03-01 09:00:00.000')"));
    db.query(QStringLiteral("delete from izdel where id = 102"));
    db.query(QStringLiteral("update otdel set Name = 'Отдел 11' where id = 11"));
}

}  // namespace

class TestArchive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void folderName_data();
    void folderName();
    void kinds_data();
    void kinds();
    void againOnTheSameDay_data() { addBackendCases(); }
    void againOnTheSameDay();
    void readInParts_data() { addBackendCases(); }
    void readInParts();
    void failureStopsWithoutRegisterRow_data();
    void failureStopsWithoutRegisterRow();
    void longPathKeptWhole_data() { addBackendCases(); }
    void longPathKeptWhole();
    void pathColumnFitsItsPaths_data();
    void pathColumnFitsItsPaths();
    void pathLongerThanTheRegister();
    void registerWidenedAtStart_data() { addBackendCases(); }
    void registerWidenedAtStart();
    void upgradeGoesOnPastAFailedStep_data() { addBackendCases(); }
    void upgradeGoesOnPastAFailedStep();
    void cancelling_data();
    void cancelling();
    void deletingRegisterRows_data() { addBackendCases(); }
    void deletingRegisterRows();
    void interruptedKeepsTheEarlier_data();
    void interruptedKeepsTheEarlier();
    void killedIsPutRightAtTheNext_data() { addBackendCases(); }
    void killedIsPutRightAtTheNext();
    void sameFilesOnBothBackends();
    void charactersOutsideTheCodePage_data() { addBackendCases(); }
    void charactersOutsideTheCodePage();
};

void TestArchive::folderName_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("one-digit month and day") << QDate(2005, 3, 5) << QStringLiteral("2005_3_5");
    QTest::newRow("two-digit month, one-digit day") << QDate(2005, 10, 1) << QStringLiteral("2005_10_1");
    QTest::newRow("two digits each") << QDate(2026, 12, 10) << QStringLiteral("2026_12_10");
}

void TestArchive::folderName()
{
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(archiveFolderName(date), name);
}

void TestArchive::kinds_data()
{
    addBackendColumn();
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("kindName");
    const QStringList all{"Operations", "States", "izdel", "otdel", "rem_op", "rem_res",
                          "remont",     "resurs", "users", "vidu",  "zajav"};
    // The full archive also holds the history of changes, in a file of its own.
    addBackendCase("full",
                   [&](QTestData &r) { r << 0 << all + QStringList{"history"} << QStringLiteral("Полная архивация"); });
    addBackendCase("directories", [&](QTestData &r) {
        r << 1 << QStringList{"Operations", "States", "otdel", "users", "vidu"} << QStringLiteral("Справочники");
    });
    addBackendCase("data", [&](QTestData &r) {
        r << 2 << QStringList{"izdel", "rem_op", "rem_res", "remont", "resurs", "zajav"} << QStringLiteral("Данные");
    });
}

// Each kind writes exactly its tables, in order, without a header, and adds its register row.
void TestArchive::kinds()
{
    QFETCH(int, kind);
    QFETCH(QStringList, tables);
    QFETCH(QString, kindName);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    QCOMPARE(frm.windowTitle(), QStringLiteral("Архивация"));
    QCOMPARE(frm.ComboBox1->count(), 3);
    QCOMPARE(frm.ComboBox1->currentIndex(), 0);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
    QStringList statuses;
    connect(frm.StatusBar, &QStatusBar::messageChanged, this, [&](const QString &m) { statuses << m; });
    frm.ComboBox1->setCurrentIndex(kind);
    frm.MakeArhive->click();

    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(tablesAnnounced(statuses), tables);
    QVERIFY(statuses.contains(QStringLiteral("Экспорт завершен ")));
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 1 запись(сей)"));
    const QString folder = archiveFolder(db);
    QCOMPARE(filesIn(folder), csvNames(tables));
    if (tables.contains(QStringLiteral("otdel")))
        QCOMPARE(bytesOf(folder + QStringLiteral("otdel.csv")), OtdelBytes);
    if (tables.contains(QStringLiteral("resurs")))
        QCOMPARE(bytesOf(folder + QStringLiteral("resurs.csv")), ResursBytes);
    // Passwords go with the users, as stored.
    if (tables.contains(QStringLiteral("users")))
        QVERIFY(
            Cp1251::decode(bytesOf(folder + QStringLiteral("users.csv"))).startsWith(QStringLiteral("1;SYS ADMIN;")));

    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select tp from exp_data")).toInt(), kind + 1);
    QCOMPARE(db.scalar(QStringLiteral("select path from exp_data")).toString(), folder);
    QCOMPARE(frm.TblExp->FieldByName(QStringLiteral("Тип"))->AsString(), kindName);
    QCOMPARE(ListWindowProbe(frm).titles(), (QStringList{"Дата", "Тип", "Путь"}));
    QVERIFY(frm.MakeArhive->isEnabled());
    QVERIFY(frm.BtnStop->isHidden());
}

// A second archive on the same day writes each file anew: a table that lost rows, or all of
// them, matches its file exactly; the register gets a second row with the same path.
void TestArchive::againOnTheSameDay()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    frm.MakeArhive->click();
    const QString folder = archiveFolder(db);
    QCOMPARE(bytesOf(folder + QStringLiteral("otdel.csv")), OtdelBytes);
    QVERIFY(!bytesOf(folder + QStringLiteral("Operations.csv")).isEmpty());

    db.query(QStringLiteral("delete from otdel where id in (11, 15)"));
    db.query(QStringLiteral("delete from Operations"));
    clock.current = Day.addSecs(300);
    frm.ComboBox1->setCurrentIndex(1);
    frm.MakeArhive->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(bytesOf(folder + QStringLiteral("otdel.csv")),
             Cp1251::encode(u"12;Экономический\r\n13;Плановый\r\n14;Технический\r\n"));
    QCOMPARE(bytesOf(folder + QStringLiteral("Operations.csv")), QByteArray());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 2);
    QCOMPARE(db.scalar(QStringLiteral("select count(distinct path) from exp_data")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select sum(tp) from exp_data")).toInt(), 3);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 2 запись(сей)"));
}

// Read in parts of one row (composite keys too), the files are those of one reading; the
// progress counts the rows written.
void TestArchive::readInParts()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    frm.MakeArhive->click();
    clock.current = Day.addDays(1);
    frm.ChunkRows = 1;
    QList<qint64> statesProgress;
    frm.OnProgress = [&](const QString &table, qint64 rows) {
        if (table == QLatin1String("States"))
            statesProgress << rows;
    };
    frm.MakeArhive->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(statesProgress, (QList<qint64>{1, 2, 3, 4, 5, 6, 6}));
    const QString whole = archiveFolder(db);
    const QString parts = archiveFolder(db, QStringLiteral("2005_3_6"));
    QCOMPARE(filesIn(parts), filesIn(whole));
    for (const QString &file : filesIn(whole))
        QVERIFY2(bytesOf(parts + file) == bytesOf(whole + file), qPrintable(file));
    QVERIFY(bytesOf(parts + QStringLiteral("rem_op.csv")).count('\n') == 2);
}

void TestArchive::failureStopsWithoutRegisterRow_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("blocker");      // made as a folder in the way
    QTest::addColumn<QString>("named");        // what the message names
    QTest::addColumn<QStringList>("written");  // what the folder holds after
    addBackendCase("a file that cannot be written", [&](QTestData &r) {
        r << QStringLiteral("2005_3_5/izdel.csv") << QStringLiteral("izdel.csv") << QStringList{"izdel.csv"};
    });
    addBackendCase("a folder that cannot be made", [&](QTestData &r) {
        r << QStringLiteral("2005_3_5") << QStringLiteral("2005_3_5") << QStringList();
    });
}

// The failure is shown with the file's name; no file of the failed archive stays, and the
// register gets no row.
void TestArchive::failureStopsWithoutRegisterRow()
{
    QFETCH(QString, blocker);
    QFETCH(QString, named);
    QFETCH(QStringList, written);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    const QString path = QDir(db.folder()).filePath(blocker);
    if (blocker.contains(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    TFrmArchive frm;
    frm.show();
    frm.MakeArhive->click();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
    QVERIFY2(dialogs.messages.at(0).text.contains(named), qPrintable(dialogs.messages.at(0).text));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 0);
    // The status bar does not say the archive was finished.
    if (written.isEmpty())
        QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
    else
        QVERIFY2(frm.statusText().startsWith(QStringLiteral("Экспорт : ")), qPrintable(frm.statusText()));
    if (!written.isEmpty())
        QCOMPARE(filesIn(archiveFolder(db)), written);
    QVERIFY(frm.isVisible());
    QVERIFY(frm.MakeArhive->isEnabled());
}

// An installed program keeps its files in the user's data folder, whose archive folders are
// longer than 50 characters: the archive is made there and its register row names the
// folder whole.
void TestArchive::longPathKeptWhole()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    QCOMPARE(frm.TblExp->FieldByName(QStringLiteral("path"))->Size(), 255);
    const QString dataFolder = QDir(db.folder()).filePath(QStringLiteral(".local/share/Tavrell/tavrell"));
    QVERIFY(QDir().mkpath(dataFolder));
    Seams::setProgramFolder(dataFolder);
    frm.MakeArhive->click();
    Seams::setProgramFolder(db.folder());
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    const QString folder = QDir(dataFolder).filePath(QStringLiteral("2005_3_5")) + QLatin1Char('/');
    QVERIFY(folder.size() > 50);
    QCOMPARE(filesIn(folder).size(), 12);
    QCOMPARE(db.scalar(QStringLiteral("select path from exp_data")).toString(), folder);
    QCOMPARE(frm.TblExp->FieldByName(QStringLiteral("path"))->AsString(), folder);
}

void TestArchive::pathColumnFitsItsPaths_data()
{
    QTest::addColumn<int>("length");  // of the path in the register
    QTest::newRow("short path") << 15;
    QTest::newRow("path of 60") << 60;
    QTest::newRow("path wider than the window") << 250;
}

// The path column is as wide as the paths it shows, at most the window's width: its
// title stays in sight even though the register holds 255 characters of path.
void TestArchive::pathColumnFitsItsPaths()
{
    QFETCH(int, length);
    TAVRELL_TEST_DB_ON(db, "sqlite");
    ScriptedDialogs dialogs;
    QString path = QStringLiteral("/arh/");
    while (path.size() < length - 1)
        path += QStringLiteral("tavrell/");
    path = path.left(length - 1) + QLatin1Char('/');
    db.query(
        QStringLiteral("INSERT INTO exp_data (dt, tp, path) VALUES ('2005-03-05 10:00:00.000', 2, '%1')").arg(path));
    TFrmArchive frm;
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    TDBGrid *grid = frm.grid;
    int column = -1;
    for (int i = 0; i < grid->columnCount(); ++i)
        if (grid->column(i).FieldName == QLatin1String("path"))
            column = i;
    QVERIFY(column >= 0);
    QCOMPARE(grid->model()->index(0, column).data().toString(), path);
    const QFontMetrics fm(grid->font());
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const int width = grid->columnWidthPixels(column);
    const int textWidth = fm.horizontalAdvance(path);
    QVERIFY2(width <= grid->viewport()->width(),
             qPrintable(QStringLiteral("%1 px in %2").arg(width).arg(grid->viewport()->width())));
    if (textWidth + 2 * margin <= grid->viewport()->width()) {
        // The text whole, and no wider than it and its title need.
        QVERIFY2(width - 2 * margin >= textWidth, qPrintable(QStringLiteral("%1 px for %2").arg(width).arg(textWidth)));
        const int title = QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(QStringLiteral("Путь"));
        QVERIFY2(width <= qMax(textWidth + 2 * margin + 1, title + 8), qPrintable(QString::number(width)));
    }
}

// The register holds 255 characters of path: a longer one is refused before anything is
// written, rather than stored cut.
void TestArchive::pathLongerThanTheRegister()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    QString longFolder = db.folder();
    for (char c : {'p', 'q', 'r'})
        longFolder = QDir(longFolder).filePath(QString(90, QLatin1Char(c)));
    QVERIFY(QDir().mkpath(longFolder));
    Seams::setProgramFolder(longFolder);
    frm.MakeArhive->click();
    Seams::setProgramFolder(db.folder());
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages.at(0).text.contains(longFolder));
    QVERIFY(dialogs.messages.at(0).text.contains(QStringLiteral("255")));
    QVERIFY(filesIn(longFolder).isEmpty());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 0);
}

// A database made when the register held 50 characters of path is widened when the program
// starts on it, its rows kept and its table as a new database has it; starting again changes
// nothing, and the embedded file stays valid for the sqlite3 shell.
void TestArchive::registerWidenedAtStart()
{
    TAVRELL_TEST_DB(db);
    const QString shape = registerShape(db);
    narrowRegister(db);
    db.query(
        QStringLiteral("INSERT INTO exp_data (dt, tp, path) VALUES ('2005-03-05 10:00:00.000', 2, '/arh/2005_3_5/')"));
    QVERIFY(registerShape(db) != shape);
    const QString row = QStringLiteral("SELECT count(*) || ' ' || min(tp) || ' ' || min(path) FROM exp_data");
    QCOMPARE(db.scalar(row).toString(), QStringLiteral("1 2 /arh/2005_3_5/"));
    const QString file = QDir(db.folder()).filePath(QStringLiteral("org_tech.sqlite"));
    const QString rootPage = QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'exp_data'");

    {
        TAVRELL_PROGRAM(dialogs, db);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
        TFrmArchive frm;
        QCOMPARE(frm.TblExp->FieldByName(QStringLiteral("path"))->Size(), 255);
    }
    QCOMPARE(registerShape(db), shape);
    QCOMPARE(db.scalar(row).toString(), QStringLiteral("1 2 /arh/2005_3_5/"));
    const QVariant page = db.isPostgres() ? QVariant() : db.scalar(rootPage);
    if (!db.isPostgres())
        QCOMPARE(shell(file, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

    {
        TAVRELL_PROGRAM(again, db);
        QVERIFY2(again.messages.isEmpty(), qPrintable(again.texts().join(QLatin1Char('|'))));
    }
    QCOMPARE(registerShape(db), shape);
    QCOMPARE(db.scalar(row).toString(), QStringLiteral("1 2 /arh/2005_3_5/"));
    if (!db.isPostgres()) {
        QCOMPARE(db.scalar(rootPage), page);  // not made again
        QCOMPARE(shell(file, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }
}

// An upgrade step that cannot be done at start (here the index's name is a table's) is left
// without a word, and the steps after it are done all the same.
void TestArchive::upgradeGoesOnPastAFailedStep()
{
    TAVRELL_TEST_DB(db);
    const QString shape = registerShape(db);
    narrowRegister(db);
    db.query(QStringLiteral("DROP INDEX remont_nach"));
    db.query(QStringLiteral("CREATE TABLE remont_nach (id int)"));
    {
        TAVRELL_PROGRAM(dialogs, db);
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
        TFrmArchive frm;
        QCOMPARE(frm.TblExp->FieldByName(QStringLiteral("path"))->Size(), 255);
    }
    QCOMPARE(registerShape(db), shape);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM remont_nach")).toInt(), 0);
}

void TestArchive::cancelling_data()
{
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("the stop button") << false;
    QTest::newRow("closing the window") << true;
}

// Stopped during a table, the archive leaves nothing of its own (not the tables written
// before either) and no register row; closing the window stops it and closes after.
void TestArchive::cancelling()
{
    QFETCH(bool, byClosing);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    frm.show();
    frm.ChunkRows = 2;
    bool busyWhileArchiving = false;
    frm.OnProgress = [&](const QString &table, qint64 rows) {
        if (table == QLatin1String("izdel") && rows == 2) {
            busyWhileArchiving = frm.archiving() && !frm.MakeArhive->isEnabled() && !frm.BtnStop->isHidden() &&
                                 !frm.BtnClose->isEnabled();
            if (byClosing)
                frm.reject();
            else
                frm.BtnStop->click();
        }
    };
    QVERIFY(!frm.MakeArhiveClick());
    QVERIFY(busyWhileArchiving);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(frm.statusText(), QStringLiteral("Архивация прервана"));
    QCOMPARE(filesIn(archiveFolder(db)), QStringList());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 0);
    QVERIFY(frm.MakeArhive->isEnabled());
    QVERIFY(frm.isVisible());
    QCoreApplication::processEvents();
    QCOMPARE(frm.isVisible(), !byClosing);
}

// Deleting a register row asks and keeps the folder; with an empty register it says so.
void TestArchive::deletingRegisterRows()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    frm.SpeedButton1->click();
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Реестр архивов пуст: удалять нечего")});
    dialogs.clear();

    frm.MakeArhive->click();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 1);
    dialogs.answers << Dialogs::No << Dialogs::Yes;
    frm.SpeedButton1->click();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 1);
    frm.SpeedButton1->click();
    QCOMPARE(dialogs.texts(),
             (QStringList{"Вы действительно хотите удалить этот архив", "Вы действительно хотите удалить этот архив"}));
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Подтвердите"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 0);
    QCOMPARE(frm.statusText(), QStringLiteral("Всего 0 запись(сей)"));
    QCOMPARE(filesIn(archiveFolder(db)).size(), 12);
}

void TestArchive::interruptedKeepsTheEarlier_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("how");    // "stop" at a table, "fail" a step, "blocked" part file
    QTest::addColumn<QString>("where");  // the table or step
    // clang-format off
    addBackendCase("stopped in the first table", [&](QTestData &r) { r << "stop" << "Operations"; });
    addBackendCase("stopped in the third table", [&](QTestData &r) { r << "stop" << "izdel"; });
    addBackendCase("stopped in the last table", [&](QTestData &r) { r << "stop" << "zajav"; });
    addBackendCase("third file cannot be written", [&](QTestData &r) { r << "blocked" << "izdel.csv"; });
    addBackendCase("disk full after the third table", [&](QTestData &r) { r << "fail" << "part written izdel.csv"; });
    addBackendCase("fails before the moves", [&](QTestData &r) { r << "fail" << "journal written"; });
    addBackendCase("fails setting aside", [&](QTestData &r) { r << "fail" << "set aside remont.csv"; });
    addBackendCase("fails in the middle of the moves", [&](QTestData &r) { r << "fail" << "moved in izdel.csv"; });
    addBackendCase("fails at the last move", [&](QTestData &r) { r << "fail" << "moved in zajav.csv"; });
    // clang-format on
}

// A second archive on the same day, stopped or failed anywhere, leaves the earlier archive's
// files byte for byte, nothing of its own, and no register row.
void TestArchive::interruptedKeepsTheEarlier()
{
    QFETCH(QString, how);
    QFETCH(QString, where);
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    TFrmArchive frm;
    frm.show();
    frm.ComboBox1->setCurrentIndex(int(ArchiveKind::Directories));
    frm.MakeArhive->click();  // a file of another kind, in the same folder
    frm.ComboBox1->setCurrentIndex(int(ArchiveKind::Full));
    clock.current = Day.addSecs(60);
    frm.MakeArhive->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    const QString folder = archiveFolder(db);
    const QMap<QString, QByteArray> earlier = snapshot(folder);
    QCOMPARE(earlier.size(), 12);

    changeData(db);
    clock.current = Day.addSecs(300);
    frm.ChunkRows = 2;
    StepHook hook(how == QLatin1String("fail") ? StepHook::Fail : StepHook::Record, where);
    if (how == QLatin1String("stop"))
        frm.OnProgress = [&](const QString &table, qint64) {
            if (table == where)
                frm.BtnStop->click();
        };
    if (how == QLatin1String("blocked"))
        QVERIFY(QDir().mkpath(folder + where + QStringLiteral(".part")));
    frm.MakeArhive->click();

    if (how == QLatin1String("stop")) {
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(frm.statusText(), QStringLiteral("Архивация прервана"));
    } else {
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Ошибка"));
        // A real failure names the file; the stand-in for a full disk says only that.
        const QString named = how == QLatin1String("blocked") ? where : QStringLiteral("Нет места на диске");
        QVERIFY2(dialogs.messages.at(0).text.contains(named), qPrintable(dialogs.messages.at(0).text));
    }
    QMap<QString, QByteArray> after = snapshot(folder);
    if (how == QLatin1String("blocked"))
        QCOMPARE(after.take(where + QStringLiteral(".part")), QByteArray("<folder>"));
    QCOMPARE(after.keys(), earlier.keys());
    QVERIFY(after == earlier);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 2);
    QVERIFY(frm.MakeArhive->isEnabled());
}

// A run killed at any step leaves no register row; the next archive (on another day) puts
// the folder right: before the moves were complete, the earlier archive's files come back
// byte for byte; after, the new ones stay whole. No part or set-aside file is left.
void TestArchive::killedIsPutRightAtTheNext()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    const QString folder = archiveFolder(db);
    const QString nextDay = archiveFolder(db, QStringLiteral("2005_3_6"));
    QMap<QString, QByteArray> earlier;
    auto restoreEarlier = [&] {
        for (const QString &file : filesIn(folder))
            QFile::remove(folder + file);
        for (auto it = earlier.cbegin(); it != earlier.cend(); ++it) {
            QFile f(folder + it.key());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(it.value());
        }
    };
    QStringList steps;
    {
        TFrmArchive frm;
        frm.MakeArhive->click();
        earlier = snapshot(folder);
        changeData(db);
        // The steps of a whole run over the earlier archive.
        StepHook record;
        clock.current = Day.addSecs(60);
        frm.MakeArhive->click();
        steps = record.steps;
        db.query(QStringLiteral("delete from exp_data where dt > (select min(dt) from exp_data)"));
        restoreEarlier();
    }
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 1);
    QCOMPARE(steps.size(), 12 + 1 + 1 + 12 + 12 + 1 + 1);
    QCOMPARE(steps.filter(QStringLiteral("set aside")).size(), 12);
    const int committed = steps.indexOf(QStringLiteral("journal removed"));

    for (int i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        TFrmArchive frm;
        clock.current = Day.addSecs(600 + i);
        {
            StepHook kill(StepHook::Kill, step);
            bool killed = false;
            try {
                frm.MakeArhiveClick();
            } catch (const Killed &) {
                killed = true;
            }
            QVERIFY2(killed, qPrintable(step));
        }
        QVERIFY2(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt() == 1, qPrintable(step));
        QVERIFY2(snapshot(folder) != earlier, qPrintable(step));  // something was left to put right

        clock.current = Day.addDays(1).addSecs(i);
        frm.MakeArhive->click();
        QVERIFY2(dialogs.messages.isEmpty(),
                 qPrintable(step + QLatin1Char(':') + dialogs.texts().join(QLatin1Char('|'))));
        QVERIFY2(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt() == 2, qPrintable(step));
        const QMap<QString, QByteArray> fresh = snapshot(nextDay);
        QCOMPARE(fresh.keys(), earlier.keys());
        const QMap<QString, QByteArray> now = snapshot(folder);
        QCOMPARE(now.keys(), earlier.keys());
        QVERIFY2(now == (i < committed ? earlier : fresh), qPrintable(step));

        // Back to the earlier archive for the next step.
        QVERIFY(QDir(nextDay).removeRecursively());
        db.query(QStringLiteral("delete from exp_data where dt > (select min(dt) from exp_data)"));
        restoreEarlier();
    }
}

// The embedded database keeps dates as text, the shared server as timestamps: the archive
// writes the same files from the same data on both, dates in the short form with the time
// only when it is not midnight.
void TestArchive::sameFilesOnBothBackends()
{
    if (testPgServer().isEmpty())
        TAVRELL_NO_PG_SERVER();
    QMap<QString, QMap<QString, QByteArray>> made;
    for (const char *name : {"sqlite", "postgres"}) {
        const QString backend = QString::fromLatin1(name);
        TAVRELL_TEST_DB_ON(db, backend);
        ScriptedDialogs dialogs;
        FixedClock clock(Day);
        db.query(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Otdel, Prichina, Nach_rem, Okonh_rem, "
                                "Specialist) values (900, 11, 101, 'Плановый', 'замятие', "
                                "'2005-03-05 09:05:07.123', '1999-05-20 00:00:00.000', 'Иванов')"));
        db.query(QStringLiteral("update remont set Okonh_rem = '2004-07-13 12:00:00.500' where id = 200"));
        // The history's own times are the moments the test ran.
        db.query(QStringLiteral("update history set dt = '2005-03-06 10:00:00.000'"));
        TFrmArchive frm;
        frm.MakeArhive->click();
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.texts().join(QLatin1Char('|'))));
        made.insert(backend, snapshot(archiveFolder(db)));
    }
    const QMap<QString, QByteArray> sqlite = made.value(QStringLiteral("sqlite"));
    const QMap<QString, QByteArray> postgres = made.value(QStringLiteral("postgres"));
    QCOMPARE(sqlite.keys(), postgres.keys());
    QCOMPARE(sqlite.size(), 12);
    for (const QString &file : sqlite.keys())
        QCOMPARE(Cp1251::decode(sqlite.value(file)), Cp1251::decode(postgres.value(file)));
    QVERIFY2(Cp1251::decode(sqlite.value(QStringLiteral("remont.csv")))
                 .contains(QStringLiteral("900;11;101;Плановый;замятие;05.03.2005 09:05:07;20.05.1999;Иванов\r\n")),
             sqlite.value(QStringLiteral("remont.csv")).constData());
    QVERIFY(Cp1251::decode(sqlite.value(QStringLiteral("izdel.csv")))
                .startsWith(QStringLiteral(
                    "101;HP deskjet 1220;принтер;20.05.1999;В-64 21;134567;2;13;21.01.2004;;;;A4 ;;\r\n")));
    // The dates a change touched, as the embedded database keeps them, on both.
    QVERIFY2(
        Cp1251::decode(sqlite.value(QStringLiteral("history.csv")))
            .contains(QStringLiteral(";remont;200;U;okonh_rem;2004-07-12 00:00:00.000;2004-07-13 12:00:00.500\r\n")),
        sqlite.value(QStringLiteral("history.csv")).constData());
}

// Characters outside Windows-1251 are written as one "?" each (a character beyond the
// 16-bit range too); the archive is registered and the user is told how many went where.
void TestArchive::charactersOutsideTheCodePage()
{
    TAVRELL_TEST_DB(db);
    ScriptedDialogs dialogs;
    FixedClock clock(Day);
    db.query(QStringLiteral("update izdel set Info = 'ок 中 и 😀!' where id = 101"));
    db.query(QStringLiteral("update otdel set Name = '中😀😀' where id = 12"));
    TFrmArchive frm;
    frm.MakeArhive->click();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from exp_data")).toInt(), 1);
    const QString folder = archiveFolder(db);
    QVERIFY(bytesOf(folder + QStringLiteral("izdel.csv")).contains(Cp1251::encode(u";ок ? и ?!;")));
    QVERIFY(bytesOf(folder + QStringLiteral("otdel.csv")).contains("\r\n12;???\r\n"));
    // The columns by the names the database gives them (the shared server's in lower case);
    // the history holds the changed texts too.
    QCOMPARE(dialogs.texts().join(QLatin1Char('|')).toLower(),
             QStringLiteral("Архивация завершена.\rСимволов, которых нет в кодировке Windows-1251, "
                            "не удалось записать: 10. Вместо каждого из них в файле стоит знак \"?\".\r"
                            "файл izdel.csv, столбец Info: 2\rфайл otdel.csv, столбец Name: 3\r"
                            "файл history.csv, столбец became: 5")
                 .toLower());
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("К Вашему Сведению"));
}

QTEST_MAIN(TestArchive)
#include "tst_archive.moc"
