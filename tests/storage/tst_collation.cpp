// The embedded file stays valid for every SQLite tool: its indexes follow SQLite's own
// collations, a file whose indexes were ordered by the program's old redefinition of NOCASE
// is repaired once on opening, and the program's Russian order and comparisons come from
// its queries, on both backends.
#include "TestSupport.h"
#include "core/DayTime.h"
#include "core/Errors.h"
#include "storage/SqliteBackend.h"

#include <QCollator>
#include <QDir>
#include <QProcess>
#include <QSqlError>
#include <QtTest>
#include <sqlite3.h>

namespace {

// The sqlite3 shell's answer to one statement (its errors included).
QString shell(const QString &file, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {file, sql});
    if (!p.waitForFinished(60000))
        return QStringLiteral("<sqlite3 did not run: %1>").arg(p.errorString());
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

int compareLikeTheOldProgram(void *, int len1, const void *s1, int len2, const void *s2)
{
    static QCollator collator = [] {
        QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int r = collator.compare(QString::fromUtf8(static_cast<const char *>(s1), len1),
                                   QString::fromUtf8(static_cast<const char *>(s2), len2));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// Writes to the file as the program did before its indexes followed SQLite's collations:
// NOCASE redefined as the Russian comparison, and no mark in the file.
bool writeTheOldWay(const QString &file, const QStringList &statements, bool clearMark, QString &error)
{
    sqlite3 *h = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_close(h);
        return false;
    }
    sqlite3_create_collation_v2(h, "NOCASE", SQLITE_UTF8, nullptr, compareLikeTheOldProgram, nullptr);
    QStringList all = statements;
    if (clearMark)
        all << QStringLiteral("PRAGMA user_version = 0") << QStringLiteral("REINDEX");
    for (const QString &sql : all) {
        char *msg = nullptr;
        if (sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
            error = sql + QStringLiteral(": ") + QString::fromUtf8(msg);
            sqlite3_free(msg);
            sqlite3_close(h);
            return false;
        }
    }
    sqlite3_close(h);
    return true;
}

QString fileOf(const TestDb &db) { return QDir(db.folder()).filePath(QStringLiteral("org_tech.sqlite")); }

}  // namespace

class TestCollation : public QObject {
    Q_OBJECT
private slots:
    void oldFileIsRepairedOnce();
    void newFileIsValidForOtherTools();
    void programComparesRussianText_data() { addBackendCases(); }
    void programComparesRussianText();
};

void TestCollation::oldFileIsRepairedOnce()
{
    TestDb db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString file = fileOf(db);
    db.module()->connection().close();

    // Names that the Russian order and SQLite's NOCASE place differently ("Ё" first of all
    // Cyrillic letters in NOCASE, between "Е" and "Ж" in Russian).
    QString error;
    QVERIFY2(writeTheOldWay(file,
                            {QStringLiteral("INSERT INTO izdel (id, Name, Proizvod) VALUES (201, 'Ёлка', 'сканер')"),
                             QStringLiteral("INSERT INTO izdel (id, Name, Proizvod) VALUES (202, 'ёж', 'принтер')"),
                             QStringLiteral("INSERT INTO izdel (id, Name, Proizvod) VALUES (203, 'Арбуз', 'ксерокс')"),
                             QStringLiteral("INSERT INTO izdel (id, Name, Proizvod) VALUES (204, 'яблоко', 'принтер')"),
                             QStringLiteral("INSERT INTO otdel (id, Name) VALUES (20, 'Ёмкостный')")},
                            true, error),
             qPrintable(error));
    const QString allIds = shell(file, QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM izdel NOT INDEXED "
                                                      "ORDER BY id)"));
    QCOMPARE(allIds, QStringLiteral("101,102,103,104,105,106,107,201,202,203,204"));
    // The fixture is what users had: other tools see a damaged index.
    QVERIFY(shell(file, QStringLiteral("PRAGMA integrity_check")) != QLatin1String("ok"));

    db.module()->connectTo(db.serverName());
    QVERIFY(db.module()->isConnected());
    db.module()->connection().close();

    QCOMPARE(shell(file, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(shell(file, QStringLiteral("PRAGMA user_version")), QStringLiteral("1"));
    QCOMPARE(shell(file, QStringLiteral("SELECT id FROM izdel INDEXED BY izdel_ix WHERE Name = 'Ёлка'")),
             QStringLiteral("201"));
    QCOMPARE(shell(file, QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM izdel ORDER BY id)")), allIds);
    QCOMPARE(shell(file, QStringLiteral("SELECT count(*) FROM otdel WHERE Name = 'Ёмкостный'")), QStringLiteral("1"));
    QCOMPARE(shell(file, QStringLiteral("DELETE FROM izdel WHERE Name = 'Ёлка'; SELECT count(*) FROM izdel")),
             QStringLiteral("10"));

    // The repair is recorded in the file: the next opening takes the file as it is, even
    // where something has disturbed the index since.
    QVERIFY2(writeTheOldWay(file, {QStringLiteral("INSERT INTO izdel (id, Name) VALUES (205, 'Ёлка')")}, false, error),
             qPrintable(error));
    const QString disturbed = shell(file, QStringLiteral("PRAGMA integrity_check"));
    QVERIFY(disturbed != QLatin1String("ok"));
    db.module()->connectTo(db.serverName());
    db.module()->connection().close();
    QCOMPARE(shell(file, QStringLiteral("PRAGMA integrity_check")), disturbed);
}

void TestCollation::newFileIsValidForOtherTools()
{
    TestDb db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString file = fileOf(db);
    // Written through the program's connection.
    const QStringList names = {QStringLiteral("Ёлка"),    QStringLiteral("ёж"),     QStringLiteral("Арбуз"),
                               QStringLiteral("арбалет"), QStringLiteral("яблоко"), QStringLiteral("Юла")};
    int id = 300;
    for (const QString &n : names) {
        QSqlQuery q(dm->connection());
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO izdel (id, Name, Proizvod) VALUES (?, ?, ?)")));
        q.addBindValue(id++);
        q.addBindValue(n);
        q.addBindValue(n.toLower());
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    db.query(QStringLiteral("INSERT INTO otdel (id, Name) VALUES (30, 'Ёмкостный'), (31, 'бухгалтерия')"));
    db.query(QStringLiteral("INSERT INTO users (ID, login, passw, tp) VALUES (9, 'Иванов', 'ё', 'R')"));
    db.module()->connection().close();

    QCOMPARE(shell(file, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(shell(file, QStringLiteral("PRAGMA user_version")), QStringLiteral("1"));
    QCOMPARE(shell(file, QStringLiteral("SELECT id FROM izdel INDEXED BY izdel_ix WHERE Name = 'Ёлка'")),
             QStringLiteral("300"));
    // Nothing in the schema names a collation that only the program knows.
    QCOMPARE(shell(file, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE sql LIKE '%%1%'")
                             .arg(QLatin1String(SqliteBackend::RussianCi))),
             QStringLiteral("0"));
    const QStringList views =
        shell(file, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'view'")).split(QLatin1Char('\n'));
    QCOMPARE(views.size(), 4);
    for (const QString &v : views) {
        const QString count = shell(file, QStringLiteral("SELECT count(*) FROM %1").arg(v));
        bool isNumber = false;
        count.toInt(&isNumber);
        QVERIFY2(isNumber, qPrintable(v + QStringLiteral(": ") + count));
    }
}

void TestCollation::programComparesRussianText()
{
    TAVRELL_TEST_DB(db);
    db.query(QStringLiteral("INSERT INTO users (ID, login, passw, tp) VALUES (9, 'Иванов', 'Ёлка', 'R')"));
    struct Case {
        const char *login, *passw;
        int res;
    };
    // Every letter without regard to case; "Е" and "Ё" stay different letters.
    const Case cases[] = {
        {"ИВАНОВ", "ёЛКА", 9}, {"иванов", "ЁЛКА", 9}, {"иванов", "Елка", 0}, {"Иванoв", "Ёлка", 0},  // a Latin "o"
    };
    int second = 0;
    for (const Case &c : cases) {
        QVariant tp;
        const QDateTime dt = DayTime::of(QDate(2005, 5, 20), QTime(8, 15, second++));
        QCOMPARE(dm->backend().login(QString::fromUtf8(c.login), QString::fromUtf8(c.passw), dt, tp), c.res);
    }
    QCOMPARE(dm->backend().getLastLogin(QStringLiteral("иВАНОВ")).toDateTime(),
             DayTime::of(QDate(2005, 5, 20), QTime(8, 15, 1)));

    // Ordering as the program asks for it.
    db.query(QStringLiteral("INSERT INTO otdel (id, Name) VALUES (30, 'Ёмкостный'), (31, 'бухгалтерия'), "
                            "(32, 'ель')"));
    QSqlQuery q = db.query(
        QStringLiteral("SELECT Name FROM otdel ORDER BY %1, id").arg(dm->backend().russianCi(QStringLiteral("Name"))));
    QStringList order;
    while (q.next())
        order << q.value(0).toString();
    QCOMPARE(order, QStringList({"Административный", "бухгалтерия", "ель", "Ёмкостный", "Издательский", "Плановый",
                                 "Технический", "Экономический"}));

    // Names in both alphabets and with digits: the shared server's order (digits, then Latin,
    // then Cyrillic), on both backends alike.
    db.query(QStringLiteral("INSERT INTO otdel (id, Name) VALUES (101, 'яблоко'), (102, 'Xerox'), (103, 'Ёж'), "
                            "(104, 'canon'), (105, '3D-печать'), (106, 'Амур'), (107, 'Brother'), "
                            "(108, 'HP LaserJet'), (109, 'epson')"));
    q = db.query(QStringLiteral("SELECT Name FROM otdel WHERE id > 100 ORDER BY %1, id")
                     .arg(dm->backend().russianCi(QStringLiteral("Name"))));
    order.clear();
    while (q.next())
        order << q.value(0).toString();
    QCOMPARE(order,
             QStringList({"3D-печать", "Brother", "canon", "epson", "HP LaserJet", "Xerox", "Амур", "Ёж", "яблоко"}));
}

QTEST_MAIN(TestCollation)
#include "tst_collation.moc"
