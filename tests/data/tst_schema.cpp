// The database that the creation script builds, on both backends: tables and columns,
// keys, indexes, foreign keys and their cascades, seed rows, views, and the procedures
// as the program calls them.
#include "TestSupport.h"

#include "core/DayTime.h"
#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <iterator>
#include <sqlite3.h>

namespace {

// A column as the schema declares it, in the server's own type names.
struct Column {
    const char *table;
    const char *name;
    const char *type;  // tinyint, int, varchar, char, text, datetime, float
    int size;          // characters, for varchar and char
    bool notNull;
};

// Tables in creation order, columns in declaration order.
const Column kColumns[] = {
    {"LogAction", "id", "tinyint", 0, true},
    {"LogAction", "Name", "varchar", 30, false},
    {"Operations", "id", "int", 0, true},
    {"Operations", "Name", "varchar", 30, false},
    {"RemOpState", "id", "int", 0, true},
    {"RemOpState", "StateName", "varchar", 15, false},
    {"States", "id", "int", 0, true},
    {"States", "Name", "varchar", 30, false},
    {"UserLog", "dt", "datetime", 0, true},
    {"UserLog", "usr", "int", 0, false},
    {"UserLog", "LogAction", "tinyint", 0, false},
    {"ids", "TblName", "varchar", 20, true},
    {"ids", "LastId", "int", 0, false},
    {"izdel", "id", "int", 0, true},
    {"izdel", "Name", "varchar", 30, false},
    {"izdel", "Proizvod", "varchar", 30, false},
    {"izdel", "D_vup", "datetime", 0, false},
    {"izdel", "Seria", "varchar", 12, false},
    {"izdel", "Nomer", "varchar", 15, false},
    {"izdel", "CurState", "int", 0, false},
    {"izdel", "otdel", "int", 0, false},
    {"izdel", "D_pred", "datetime", 0, false},
    {"izdel", "D_sled", "datetime", 0, false},
    {"izdel", "D_otpr", "datetime", 0, false},
    {"izdel", "D_poluh", "datetime", 0, false},
    {"izdel", "form", "char", 3, false},
    {"izdel", "Info", "text", 0, false},
    {"izdel", "Resurs", "char", 10, false},
    {"otdel", "id", "int", 0, true},
    {"otdel", "Name", "varchar", 65, false},
    {"rem_op", "rem_id", "int", 0, true},
    {"rem_op", "op_id", "int", 0, true},
    {"rem_op", "dt", "datetime", 0, false},
    {"rem_op", "State", "int", 0, false},
    {"rem_res", "rem_id", "int", 0, true},
    {"rem_res", "res_id", "int", 0, true},
    {"rem_res", "cnt", "float", 0, false},
    {"remont", "id", "int", 0, true},
    {"remont", "Kod_vida", "int", 0, false},
    {"remont", "Kod_izd", "int", 0, false},
    {"remont", "Otdel", "varchar", 30, false},
    {"remont", "Prichina", "varchar", 30, false},
    {"remont", "Nach_rem", "datetime", 0, false},
    {"remont", "Okonh_rem", "datetime", 0, false},
    {"remont", "Specialist", "varchar", 20, false},
    {"resurs", "id", "int", 0, true},
    {"resurs", "Name", "varchar", 30, false},
    {"resurs", "Ed_izmer", "varchar", 12, false},
    {"users", "ID", "int", 0, true},
    {"users", "login", "varchar", 20, false},
    {"users", "passw", "varchar", 20, false},
    {"users", "tp", "char", 1, false},
    {"users", "LastEnter", "datetime", 0, false},
    {"vidu", "id", "int", 0, true},
    {"vidu", "Name", "varchar", 30, false},
    {"zaj_states", "id", "int", 0, true},
    {"zaj_states", "StateName", "varchar", 30, false},
    {"zajav", "id", "int", 0, true},
    {"zajav", "izd", "int", 0, false},
    {"zajav", "Otdel", "int", 0, false},
    {"zajav", "Opis", "varchar", 50, false},
    {"zajav", "Data", "datetime", 0, false},
    {"zajav", "Prim", "text", 0, false},
    {"zajav", "State", "int", 0, false},
    {"zajav", "fio", "varchar", 30, false},
    {"zajav", "Phone", "varchar", 13, false},
    {"zajav", "MayBy", "varchar", 50, false},
    {"exp_data", "dt", "datetime", 0, true},
    {"exp_data", "tp", "int", 0, false},
    {"exp_data", "path", "varchar", 255, false},
    {"kl_exp_tp", "id", "int", 0, true},
    {"kl_exp_tp", "Name", "varchar", 25, false},
};

struct PrimaryKey {
    const char *table;
    const char *name;  // null: the key has no name of its own
    const char *columns;
};

const PrimaryKey kPrimaryKeys[] = {
    {"LogAction", "PK_LogAction", "id"},
    {"Operations", "PK_Operations", "id"},
    {"RemOpState", "PK_RemOpState", "id"},
    {"States", "PK_States", "id"},
    {"UserLog", "PK_Log", "dt"},
    {"ids", nullptr, "TblName"},
    {"izdel", "PK_izdel", "id"},
    {"otdel", "PK_otdel", "id"},
    {"rem_op", "PK_rem_op", "rem_id,op_id"},
    {"rem_res", "PK_rem_res", "rem_id,res_id"},
    {"remont", "PK_remont", "id"},
    {"resurs", "PK_resurs", "id"},
    {"users", nullptr, "ID"},
    {"vidu", "PK_vidu", "id"},
    {"zaj_states", "PK_zaj_states", "id"},
    {"zajav", "PK_zajav", "id"},
    {"exp_data", "PK_exp_data", "dt"},
    {"kl_exp_tp", "PK_kl_exp_tp", "id"},
};

struct ForeignKey {
    const char *name;
    const char *table;
    const char *column;
    const char *refTable;
    const char *refColumn;
    bool cascade;
};

const ForeignKey kForeignKeys[] = {
    {"FK_exp_data_kl_exp_tp", "exp_data", "tp", "kl_exp_tp", "id", false},
    {"FK_UserLog_LogAction", "UserLog", "LogAction", "LogAction", "id", true},
    {"FK_UserLog_users", "UserLog", "usr", "users", "ID", true},
    {"FK_izdel_otdel", "izdel", "otdel", "otdel", "id", true},
    {"FK_izdel_States", "izdel", "CurState", "States", "id", true},
    {"FK_rem_op_Operations", "rem_op", "op_id", "Operations", "id", true},
    {"FK_rem_op_remont", "rem_op", "rem_id", "remont", "id", true},
    {"FK_rem_op_RemOpState", "rem_op", "State", "RemOpState", "id", false},
    {"FK_rem_res_remont", "rem_res", "rem_id", "remont", "id", true},
    {"FK_rem_res_resurs", "rem_res", "res_id", "resurs", "id", true},
    {"FK_remont_izdel", "remont", "Kod_izd", "izdel", "id", true},
    {"FK_remont_vidu", "remont", "Kod_vida", "vidu", "id", true},
    {"FK_zajav_izdel", "zajav", "izd", "izdel", "id", false},
    {"FK_zajav_zaj_states", "zajav", "State", "zaj_states", "id", true},
};

struct Index {
    const char *name;
    const char *table;
    const char *columns;
    bool unique;
};

// The indexes besides the keys. An index may not share its table's name on either backend,
// so the two that do on the original server are izdel_ix and remont_ix here.
const Index kIndexes[] = {
    {"izdel0", "izdel", "id", true},   {"izdel_ix", "izdel", "Name,Proizvod", false},
    {"otdel0", "otdel", "id", true},   {"IX_rem_op", "rem_op", "dt", false},
    {"remont0", "remont", "id", true}, {"remont_ix", "remont", "Kod_izd,Kod_vida", false},
    {"resurs0", "resurs", "id", true}, {"vidu0", "vidu", "id", true},
    {"zajav0", "zajav", "id", true},
};

// Seed and sample rows, ordered by key; "|" between columns, "~" for NULL, date-times to the second.
struct TableRows {
    const char *table;
    const char *orderBy;
    QStringList rows;
};

const QList<TableRows> &expectedSeedRows()
{
    static const QList<TableRows> rows = {
        {"ids",
         "TblName",
         {"IZDEL|110", "OPERATIONS|3", "OTDEL|16", "REMONT|201", "RESURS|104", "STATES|7", "USERS|4", "VIDU|22",
          "ZAJAV|5"}},
        {"izdel",
         "id",
         {"101|HP deskjet 1220|принтер|1999-05-20 00:00:00|В-64 21|134567|2|13|2004-01-21 00:00:00|~|~|~|A4 |~|~",
          "102|HP LaserJet 5100|принтер|1999-05-12 00:00:00|В- 45678|543767|1|12|~|~|~|~|A1 |~|~",
          "103|Canon 5530 D|принтер|2003-09-21 00:00:00|А - 67567879|432124|4|14|~|~|~|~|A4 |"
          "еле дышит пора сдавать в утиль|~",
          "104|Epson Perfection 1270|сканер|2001-09-15 00:00:00|S - 234567|12345|3|13|~|~|~|~|др.|~|~",
          "105|HP ScanJet 3690C|сканер|2003-04-01 00:00:00|В-5678432|1.23568e+006|2|11|~|~|~|~|A4 |~|~",
          "106|Xerox 5915|ксерокс|2000-03-12 00:00:00|G - 685432|458903|6|15|~|~|~|~|A3 |~|~",
          "107|Canon FC 336|сканер|2003-07-14 00:00:00|R-8765423|4.58932e+006|6|13|~|~|~|~|A3 |~|~"}},
        {"LogAction", "id", {"1|Вход в систему", "2|Выход из системы", "3|Смена пароля"}},
        {"Operations", "id", {"1|Замена картриджа", "2|Заправка картриджа"}},
        {"otdel",
         "id",
         {"11|Административный", "12|Экономический", "13|Плановый", "14|Технический", "15|Издательский"}},
        {"rem_op", "rem_id, op_id", {"200|1|~|3", "200|2|2005-05-18 10:53:28|2"}},
        {"rem_res", "rem_id, res_id", {"200|100|1", "200|103|1"}},
        {"remont",
         "id",
         {"200|12|102|Экономический|выход из стоя картриджа|2004-06-25 00:00:00|2004-07-12 00:00:00|Сидоренко"}},
        {"RemOpState", "id", {"1|Еще не начато", "2|Выполняется", "3|Выполнено"}},
        {"resurs",
         "id",
         {"100|Поршок для заправки|гр.", "101|Чернила|гр.", "102|Картридж|шт.", "103|Нагреват. элемент|шт."}},
        {"States",
         "id",
         {"1|Отличное", "2|Хорошее", "3|Удовлетворительное", "4|Еле дышит", "5|Списан", "6|Еще не открыли"}},
        {"users", "ID", {"1|SYS ADMIN|a|A|2005-05-18 13:33:38", "2|P|p|P|~", "3|D|d|D|~", "4|R|r|R|~"}},
        {"vidu", "id", {"11|Текущий", "12|Средний", "13|Капитальный", "21|Плановое", "22|По требованию"}},
        {"zaj_states", "id", {"0|Закрыта", "1|Открыта", "2|Приостановлена"}},
        {"zajav",
         "id",
         {"4|101|13|ere|2004-01-12 00:00:00|Закрыто :18.05.2005 10:16:52|0|~|~|~",
          "5|103|11|fghfgh|2005-05-18 00:00:00|~|2|~|~|~"}},
        {"kl_exp_tp", "id", {"1|Полная архивация", "2|Справочники", "3|Данные"}},
        {"UserLog", "dt", {}},
        {"exp_data", "dt", {}},
    };
    return rows;
}

bool isDateTimeColumn(const QString &table, const QString &column)
{
    for (const Column &c : kColumns)
        if (table.compare(QLatin1String(c.table), Qt::CaseInsensitive) == 0 &&
            column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return qstrcmp(c.type, "datetime") == 0;
    return false;
}

QString lower(const char *s) { return QString::fromLatin1(s).toLower(); }

// Runs a statement on the module's connection; false with the server's text on failure.
bool run(const QString &sql, QString *error = nullptr, const QVariantList &binds = {})
{
    QSqlQuery q(dm->connection());
    bool ok;
    if (binds.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        for (const QVariant &v : binds)
            q.addBindValue(v);
        ok = ok && q.exec();
    }
    if (!ok && error)
        *error = q.lastError().text();
    return ok;
}

// Every row of a query as "a|b|c" lines (see TableRows).
QStringList rowsOf(const QString &sql, const QString &tableForTypes = QString())
{
    QStringList out;
    QSqlQuery q(dm->connection());
    if (!q.exec(sql)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return {QStringLiteral("<error>")};
    }
    while (q.next()) {
        QStringList cells;
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            const QVariant v = q.value(i);
            const QString column = rec.fieldName(i);
            if (v.isNull()) {
                cells << QStringLiteral("~");
            } else if ((!tableForTypes.isEmpty() && isDateTimeColumn(tableForTypes, column)) ||
                       v.metaType().id() == QMetaType::QDateTime) {
                cells << dm->backend().dateTimeFromDb(v).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            } else if (v.metaType().id() == QMetaType::Double) {
                cells << QString::number(v.toDouble());
            } else {
                cells << v.toString();
            }
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QVariant scalar(const QString &sql)
{
    QSqlQuery q(dm->connection());
    if (!q.exec(sql) || !q.next())
        return QVariant(QStringLiteral("<error: %1>").arg(q.lastError().text()));
    return q.value(0);
}

// Row counts of the tables that the cascades reach.
QString counts()
{
    QStringList parts;
    for (const char *t : {"otdel", "izdel", "remont", "rem_op", "rem_res", "zajav", "vidu", "RemOpState"})
        parts << QStringLiteral("%1=%2").arg(QLatin1String(t),
                                             scalar(QStringLiteral("SELECT count(*) FROM %1").arg(t)).toString());
    return parts.join(QLatin1Char(' '));
}

sqlite3 *sqliteHandle()
{
    const QVariant v = dm->connection().driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.data());
    return nullptr;
}

QString typeOnSqlite(const Column &c)
{
    if (qstrcmp(c.type, "varchar") == 0 || qstrcmp(c.type, "char") == 0)
        return QStringLiteral("%1(%2)").arg(QLatin1String(c.type)).arg(c.size);
    return QString::fromLatin1(c.type);
}

QString typeOnPostgres(const Column &c)
{
    static const QMap<QString, QString> names = {
        {"tinyint", "smallint"},       {"int", "integer"}, {"varchar", "character varying(%1)"},
        {"char", "character(%1)"},     {"text", "text"},   {"datetime", "timestamp(3) without time zone"},
        {"float", "double precision"},
    };
    QString t = names.value(QLatin1String(c.type));
    return c.size ? t.arg(c.size) : t;
}

bool isCharacter(const Column &c)
{
    return qstrcmp(c.type, "varchar") == 0 || qstrcmp(c.type, "char") == 0 || qstrcmp(c.type, "text") == 0;
}

QString joined(const QStringList &l) { return l.join(QLatin1Char(',')); }

}  // namespace

class TestSchema : public QObject {
    Q_OBJECT

private slots:
    void tablesAndColumns_data() { addBackendCases(); }
    void tablesAndColumns();
    void columnSizesCountCharacters_data() { addBackendCases(); }
    void columnSizesCountCharacters();
    void keysAndIndexes_data() { addBackendCases(); }
    void keysAndIndexes();
    void seedRows_data() { addBackendCases(); }
    void seedRows();
    void textComparison_data() { addBackendCases(); }
    void textComparison();
    void views_data() { addBackendCases(); }
    void views();
    void deletions_data();
    void deletions();
    void getId_data() { addBackendCases(); }
    void getId();
    void login_data();
    void login();
    void logTimeIsAKey_data() { addBackendCases(); }
    void logTimeIsAKey();
    void changePasswordAndLastLogin_data() { addBackendCases(); }
    void changePasswordAndLastLogin();
    void embeddedFileOpensWithoutTavrell();
};

void TestSchema::tablesAndColumns()
{
    TAVRELL_TEST_DB(db);

    // The tables and nothing else.
    QStringList expectedTables;
    for (const Column &c : kColumns)
        if (!expectedTables.contains(lower(c.table)))
            expectedTables << lower(c.table);
    // Of the database: on the embedded one the file's, not the connection's own temporary ones.
    QStringList tables;
    if (db.isPostgres()) {
        for (const QString &t : dm->connection().tables(QSql::Tables))
            tables << t.toLower();
    } else {
        QSqlQuery q = db.query(QStringLiteral("select name from sqlite_master where type = 'table'"));
        while (q.next())
            tables << q.value(0).toString().toLower();
    }
    tables.sort();
    // And the history of changes, which the program keeps beside the tables it records.
    QStringList sortedExpected = expectedTables + QStringList{QStringLiteral("history")};
    sortedExpected.sort();
    QCOMPARE(tables, sortedExpected);

    // Each column of a table as "name type[ NOT NULL] collation", as the database declares it.
    auto declared = [&](const QString &table, QStringList &actual) {
        if (db.isPostgres()) {
            QSqlQuery q(dm->connection());
            QVERIFY(q.prepare(QStringLiteral(
                "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, coalesce(c.collname, '') "
                "FROM pg_attribute a LEFT JOIN pg_collation c ON c.oid = a.attcollation AND a.attcollation <> 100 "
                "WHERE a.attrelid = CAST(? AS regclass) AND a.attnum > 0 AND NOT a.attisdropped "
                "ORDER BY a.attnum")));
            q.addBindValue(table);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            while (q.next())
                actual << QStringLiteral("%1 %2%3 %4")
                              .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toBool() ? " NOT NULL" : "",
                                   q.value(3).toString());
        } else {
            sqlite3 *h = sqliteHandle();
            QVERIFY(h);
            QSqlQuery q(dm->connection());
            QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)));
            while (q.next()) {
                const QByteArray column = q.value(1).toString().toUtf8();
                const char *declType = nullptr, *collSeq = nullptr;
                int notNull = 0, primaryKey = 0, autoInc = 0;
                QCOMPARE(sqlite3_table_column_metadata(h, "main", table.toUtf8().constData(), column.constData(),
                                                       &declType, &collSeq, &notNull, &primaryKey, &autoInc),
                         SQLITE_OK);
                const QString coll = QString::fromLatin1(collSeq);
                actual << QStringLiteral("%1 %2%3 %4")
                              .arg(QString::fromUtf8(column).toLower(), QString::fromLatin1(declType).toLower(),
                                   notNull ? " NOT NULL" : "", coll == QLatin1String("BINARY") ? QString() : coll);
            }
        }
    };
    for (const QString &table : expectedTables) {
        QStringList expected, actual;
        for (const Column &c : kColumns) {
            if (lower(c.table) != table)
                continue;
            const QString type = db.isPostgres() ? typeOnPostgres(c) : typeOnSqlite(c);
            // Character columns compare without regard to case: "ci" on the server; SQLite's
            // own NOCASE in the embedded file, which any SQLite tool reads (the program names
            // its Russian order in its queries).
            const QString coll = isCharacter(c) ? (db.isPostgres() ? "ci" : "NOCASE") : "";
            expected << QStringLiteral("%1 %2%3 %4").arg(lower(c.name), type, c.notNull ? " NOT NULL" : "", coll);
        }
        declared(table, actual);
        QCOMPARE(actual, expected);
    }

    // The history's own columns: its key and texts are no character data of the program's.
    QStringList history;
    declared(QStringLiteral("history"), history);
    if (db.isPostgres())
        QCOMPARE(history, (QStringList{"id bigint NOT NULL ", "dt timestamp(3) without time zone NOT NULL ",
                                       "usr integer ", "tblname character varying(20) NOT NULL C",
                                       "rowkey character varying(40) NOT NULL C", "action character(1) NOT NULL ",
                                       "field character varying(20) NOT NULL ", "was text ", "became text "}));
    else
        QCOMPARE(history,
                 (QStringList{"id integer ", "dt datetime NOT NULL ", "usr int ", "tblname varchar(20) NOT NULL ",
                              "rowkey varchar(40) NOT NULL ", "action char(1) NOT NULL ", "field varchar(20) NOT NULL ",
                              "was text ", "became text "}));
}

void TestSchema::columnSizesCountCharacters()
{
    TAVRELL_TEST_DB(db);
    // exp_data starts empty: give it a row to change.
    QString error;
    QVERIFY2(run(QStringLiteral("INSERT INTO exp_data (dt, path) VALUES (?, 'x')"), &error,
                 {dm->backend().toDb(DayTime::of(QDate(2005, 5, 18), QTime(10, 0)))}),
             qPrintable(error));

    for (const Column &c : kColumns) {
        if (!c.size)
            continue;
        QString keyColumn;
        for (const PrimaryKey &k : kPrimaryKeys)
            if (qstrcmp(k.table, c.table) == 0)
                keyColumn = QLatin1String(k.columns);
        const QString update = QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = (SELECT min(%3) FROM %1)")
                                   .arg(QLatin1String(c.table), QLatin1String(c.name), keyColumn);
        // Two-byte letters: a size in bytes would refuse the full-length value.
        const QString full(c.size, QChar(0x0436));
        QVERIFY2(run(update, &error, {full}), qPrintable(QStringLiteral("%1.%2: %3").arg(c.table, c.name, error)));
        QVERIFY2(!run(update, nullptr, {full + QChar(0x0436)}),
                 qPrintable(QStringLiteral("%1.%2 took more than %3 characters").arg(c.table, c.name).arg(c.size)));
    }
}

void TestSchema::keysAndIndexes()
{
    TAVRELL_TEST_DB(db);

    for (const PrimaryKey &k : kPrimaryKeys) {
        QStringList columns;
        QString name;
        if (db.isPostgres()) {
            QSqlQuery q(dm->connection());
            QVERIFY(
                q.prepare(QStringLiteral("SELECT c.conname, a.attname FROM pg_constraint c "
                                         "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = ANY (c.conkey) "
                                         "WHERE c.conrelid = CAST(? AS regclass) AND c.contype = 'p' "
                                         "ORDER BY array_position(c.conkey, a.attnum)")));
            q.addBindValue(lower(k.table));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            while (q.next()) {
                name = q.value(0).toString();
                columns << q.value(1).toString();
            }
        } else {
            QSqlQuery q(dm->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1') WHERE pk > 0 ORDER BY pk")
                               .arg(QLatin1String(k.table))));
            while (q.next())
                columns << q.value(0).toString().toLower();
        }
        QCOMPARE(joined(columns), QString::fromLatin1(k.columns).toLower());
        if (db.isPostgres() && k.name)
            QCOMPARE(name, lower(k.name));
    }

    for (const Index &ix : kIndexes) {
        QStringList columns;
        bool unique = false;
        QString table;
        if (db.isPostgres()) {
            QSqlQuery q(dm->connection());
            QVERIFY(q.prepare(
                QStringLiteral("SELECT t.relname, i.indisunique, a.attname FROM pg_index i "
                               "JOIN pg_class x ON x.oid = i.indexrelid JOIN pg_class t ON t.oid = i.indrelid "
                               "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) "
                               "WHERE x.relname = ? ORDER BY array_position(i.indkey, a.attnum)")));
            q.addBindValue(lower(ix.name));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            while (q.next()) {
                table = q.value(0).toString();
                unique = q.value(1).toBool();
                columns << q.value(2).toString();
            }
        } else {
            QSqlQuery q(dm->connection());
            QVERIFY(q.exec(QStringLiteral("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = '%1'")
                               .arg(QLatin1String(ix.name))));
            if (q.next())
                table = q.value(0).toString().toLower();
            QVERIFY(q.exec(QStringLiteral("SELECT \"unique\" FROM pragma_index_list('%1') WHERE name = '%2'")
                               .arg(QLatin1String(ix.table), QLatin1String(ix.name))));
            unique = q.next() && q.value(0).toBool();
            QVERIFY(q.exec(
                QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno").arg(QLatin1String(ix.name))));
            while (q.next())
                columns << q.value(0).toString().toLower();
        }
        QVERIFY2(table == lower(ix.table), ix.name);
        QCOMPARE(joined(columns), QString::fromLatin1(ix.columns).toLower());
        QCOMPARE(unique, ix.unique);
    }

    // Foreign keys: "name table.column -> table.column action", one per constraint.
    QStringList expected, actual;
    for (const ForeignKey &fk : kForeignKeys)
        expected << QStringLiteral("%1%2.%3 -> %4.%5 %6")
                        .arg(db.isPostgres() ? lower(fk.name) + QLatin1Char(' ') : QString(), lower(fk.table),
                             lower(fk.column), lower(fk.refTable), lower(fk.refColumn),
                             fk.cascade ? "CASCADE" : "NO ACTION");
    if (db.isPostgres()) {
        QSqlQuery q(dm->connection());
        QVERIFY2(
            q.exec(QStringLiteral(
                "SELECT c.conname, t.relname, a.attname, r.relname, ra.attname, c.confdeltype "
                "FROM pg_constraint c JOIN pg_class t ON t.oid = c.conrelid JOIN pg_class r ON r.oid = c.confrelid "
                "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = c.conkey[1] "
                "JOIN pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = c.confkey[1] "
                "WHERE c.contype = 'f' AND cardinality(c.conkey) = 1")),
            qPrintable(q.lastError().text()));
        while (q.next()) {
            const QString action = q.value(5).toString() == QLatin1String("c")   ? "CASCADE"
                                   : q.value(5).toString() == QLatin1String("a") ? "NO ACTION"
                                                                                 : q.value(5).toString();
            actual << QStringLiteral("%1 %2.%3 -> %4.%5 %6")
                          .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString(), q.value(4).toString(), action);
        }
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM pg_constraint WHERE contype = 'f'")).toInt(),
                 int(std::size(kForeignKeys)));
    } else {
        QStringList tables;
        for (const Column &c : kColumns)
            if (!tables.contains(lower(c.table)))
                tables << lower(c.table);
        for (const QString &t : tables) {
            QSqlQuery q(dm->connection());
            QVERIFY(q.exec(
                QStringLiteral("SELECT \"from\", \"table\", \"to\", on_delete, seq FROM pragma_foreign_key_list('%1')")
                    .arg(t)));
            while (q.next()) {
                QCOMPARE(q.value(4).toInt(), 0);  // every key has one column
                actual << QStringLiteral("%1.%2 -> %3.%4 %5")
                              .arg(t, q.value(0).toString().toLower(), q.value(1).toString().toLower(),
                                   q.value(2).toString().toLower(), q.value(3).toString());
            }
        }
    }
    expected.sort();
    actual.sort();
    QCOMPARE(actual, expected);
}

void TestSchema::seedRows()
{
    TAVRELL_TEST_DB(db);
    for (const TableRows &t : expectedSeedRows()) {
        const QStringList actual =
            rowsOf(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(QLatin1String(t.table), QLatin1String(t.orderBy)),
                   QLatin1String(t.table));
        QVERIFY2(actual == t.rows,
                 qPrintable(QStringLiteral("%1:\n  got      %2\n  expected %3")
                                .arg(t.table, actual.join("\n           "), t.rows.join("\n           "))));
    }
}

void TestSchema::textComparison()
{
    TAVRELL_TEST_DB(db);
    struct Case {
        const char *value;
        int matches;
    };
    // As the program asks for it: without regard to case, Cyrillic included; accents (й, ё)
    // and look-alike Latin letters count.
    const QString name = dm->backend().russianCi(QStringLiteral("Name"));
    const QString stateName = dm->backend().russianCi(QStringLiteral("StateName"));
    const Case cases[] = {
        {"Плановый", 1}, {"плановый", 1}, {"ПЛАНОВЫЙ", 1}, {"Плановыи", 0}, {"Плaновый", 0}, {"Плановый ", 0},
    };
    for (const Case &c : cases) {
        QSqlQuery q(dm->connection());
        QVERIFY(q.prepare(QStringLiteral("SELECT count(*) FROM otdel WHERE %1 = ?").arg(name)));
        q.addBindValue(QString::fromUtf8(c.value));
        QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
        QVERIFY2(q.value(0).toInt() == c.matches, c.value);
    }
    const QString countStates = QStringLiteral("SELECT count(*) FROM RemOpState WHERE %1 = '%2'");
    QCOMPARE(scalar(countStates.arg(stateName, QStringLiteral("ЕЩЕ НЕ НАЧАТО"))).toInt(), 1);
    QCOMPARE(scalar(countStates.arg(stateName, QStringLiteral("Ещё не начато"))).toInt(), 0);

    // Text orders alphabetically without regard to case.
    QVERIFY(run(QStringLiteral("INSERT INTO otdel VALUES (16, 'бухгалтерия')")));
    QVERIFY(run(QStringLiteral("INSERT INTO otdel VALUES (17, 'ЯРОСЛАВСКИЙ')")));
    QVERIFY(run(QStringLiteral("INSERT INTO otdel VALUES (18, 'юридический')")));
    QCOMPARE(rowsOf(QStringLiteral("SELECT Name FROM otdel ORDER BY %1").arg(name)),
             QStringList({"Административный", "бухгалтерия", "Издательский", "Плановый", "Технический", "Экономический",
                          "юридический", "ЯРОСЛАВСКИЙ"}));
}

void TestSchema::views()
{
    TAVRELL_TEST_DB(db);
    const QStringList izdList = {
        "101|Плановый : HP deskjet 1220(В-64 21,134567) ",
        "102|Экономический : HP LaserJet 5100(В- 45678,543767) ",
        "103|Технический : Canon 5530 D(А - 67567879,432124) ",
        "104|Плановый : Epson Perfection 1270(S - 234567,12345) ",
        "105|Административный : HP ScanJet 3690C(В-5678432,1.23568e+006) ",
        "106|Издательский : Xerox 5915(G - 685432,458903) ",
        "107|Плановый : Canon FC 336(R-8765423,4.58932e+006) ",
    };
    QCOMPARE(rowsOf(QStringLiteral("SELECT id, izd FROM IzdList ORDER BY id")), izdList);

    // Ordered by department name only: compare the order of departments and the set of rows.
    QStringList tech = rowsOf(QStringLiteral("SELECT Otdel, Name, izd FROM VIEWTechOnOtdels"));
    QStringList names;
    for (const QString &r : tech)
        names << r.section(QLatin1Char('|'), 1, 1);
    QCOMPARE(names, QStringList({"Административный", "Издательский", "Плановый", "Плановый", "Плановый", "Технический",
                                 "Экономический"}));
    tech.sort();
    QCOMPARE(tech, QStringList({
                       "11|Административный|HP ScanJet 3690C(В-5678432,1.23568e+006) ",
                       "12|Экономический|HP LaserJet 5100(В- 45678,543767) ",
                       "13|Плановый|Canon FC 336(R-8765423,4.58932e+006) ",
                       "13|Плановый|Epson Perfection 1270(S - 234567,12345) ",
                       "13|Плановый|HP deskjet 1220(В-64 21,134567) ",
                       "14|Технический|Canon 5530 D(А - 67567879,432124) ",
                       "15|Издательский|Xerox 5915(G - 685432,458903) ",
                   }));

    QStringList logins = rowsOf(QStringLiteral("SELECT login FROM ViewLogins"));
    logins.sort();
    QCOMPARE(logins, QStringList({"D", "P", "R", "SYS ADMIN"}));

    // A missing series, number or department name makes the whole text NULL; an item without
    // a department comes first in the list by departments.
    QVERIFY(run(QStringLiteral("UPDATE izdel SET Seria = NULL WHERE id = 104")));
    QVERIFY(run(QStringLiteral("UPDATE izdel SET Nomer = NULL WHERE id = 106")));
    QVERIFY(run(QStringLiteral("UPDATE izdel SET otdel = NULL WHERE id = 107")));
    QVERIFY(run(QStringLiteral("UPDATE otdel SET Name = NULL WHERE id = 14")));
    QCOMPARE(rowsOf(QStringLiteral("SELECT id, izd FROM IzdList WHERE izd IS NULL ORDER BY id")),
             QStringList({"103|~", "104|~", "106|~", "107|~"}));
    QCOMPARE(rowsOf(QStringLiteral("SELECT Otdel, izd FROM VIEWTechOnOtdels WHERE izd IS NULL ORDER BY Otdel")),
             QStringList({"13|~", "15|~"}));
    const QStringList first = rowsOf(QStringLiteral("SELECT Otdel, Name, izd FROM VIEWTechOnOtdels"));
    QVERIFY(first.size() == 7);
    // NULL department name and the item without a department both sort before the named ones.
    QVERIFY2(first.at(0).startsWith(QLatin1String("~|~|Canon FC 336")) ||
                 first.at(1).startsWith(QLatin1String("~|~|Canon FC 336")),
             qPrintable(first.join(" / ")));
    QVERIFY2(first.at(0).startsWith(QLatin1String("14|~|")) || first.at(1).startsWith(QLatin1String("14|~|")),
             qPrintable(first.join(" / ")));

    // The log: in time order; rows whose user or action is missing are left out.
    const auto at = [](int h, int m) { return DayTime::of(QDate(2005, 5, 19), QTime(h, m, 0, 250)); };
    dm->backend().addToLog(at(12, 0), 2, 1);
    dm->backend().addToLog(at(9, 0), 1, 4);
    QVERIFY(run(QStringLiteral("INSERT INTO UserLog (dt, usr, LogAction) VALUES (?, NULL, 1)"), nullptr,
                {dm->backend().toDb(at(10, 0))}));
    QVERIFY(run(QStringLiteral("INSERT INTO UserLog (dt, usr, LogAction) VALUES (?, 2, NULL)"), nullptr,
                {dm->backend().toDb(at(11, 0))}));
    QCOMPARE(rowsOf(QStringLiteral("SELECT login, Name FROM VIEWLOG")),
             QStringList({"R|Вход в систему", "SYS ADMIN|Выход из системы"}));
    QSqlQuery q(dm->connection());
    QVERIFY(q.exec(QStringLiteral("SELECT dt FROM VIEWLOG")) && q.next());
    QCOMPARE(dm->backend().dateTimeFromDb(q.value(0)), at(9, 0));
}

void TestSchema::deletions_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("after");

    const QString seeded = "otdel=5 izdel=7 remont=1 rem_op=2 rem_res=2 zajav=2 vidu=5 RemOpState=3";
    struct Row {
        const char *name, *statement;
        bool refused;
        QString after;
    };
    const Row rows[] = {
        {"department 12 takes its item, repair and the repair's rows", "DELETE FROM otdel WHERE id = 12", false,
         "otdel=4 izdel=6 remont=0 rem_op=0 rem_res=0 zajav=2 vidu=5 RemOpState=3"},
        {"item 101 has a request", "DELETE FROM izdel WHERE id = 101", true, seeded},
        {"item 103 has a request", "DELETE FROM izdel WHERE id = 103", true, seeded},
        {"department 13 would take item 101", "DELETE FROM otdel WHERE id = 13", true, seeded},
        {"state 4 would take item 103", "DELETE FROM States WHERE id = 4", true, seeded},
        {"item 102 takes its repair", "DELETE FROM izdel WHERE id = 102", false,
         "otdel=5 izdel=6 remont=0 rem_op=0 rem_res=0 zajav=2 vidu=5 RemOpState=3"},
        {"kind of repair 12 takes its repair", "DELETE FROM vidu WHERE id = 12", false,
         "otdel=5 izdel=7 remont=0 rem_op=0 rem_res=0 zajav=2 vidu=4 RemOpState=3"},
        {"operation 2 takes its rows", "DELETE FROM Operations WHERE id = 2", false,
         "otdel=5 izdel=7 remont=1 rem_op=1 rem_res=2 zajav=2 vidu=5 RemOpState=3"},
        {"resource 103 takes its rows", "DELETE FROM resurs WHERE id = 103", false,
         "otdel=5 izdel=7 remont=1 rem_op=2 rem_res=1 zajav=2 vidu=5 RemOpState=3"},
        {"request state 0 takes its request", "DELETE FROM zaj_states WHERE id = 0", false,
         "otdel=5 izdel=7 remont=1 rem_op=2 rem_res=2 zajav=1 vidu=5 RemOpState=3"},
        {"operation state 3 is in use", "DELETE FROM RemOpState WHERE id = 3", true, seeded},
        {"operation state 1 is free", "DELETE FROM RemOpState WHERE id = 1", false,
         "otdel=5 izdel=7 remont=1 rem_op=2 rem_res=2 zajav=2 vidu=5 RemOpState=2"},
    };
    for (const Row &r : rows)
        addBackendCase(r.name,
                       [&](QTestData &row) { row << QString::fromLatin1(r.statement) << r.refused << r.after; });
}

void TestSchema::deletions()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, statement);
    QFETCH(bool, refused);
    QFETCH(QString, after);
    QString error;
    const bool ok = run(statement, &error);
    QVERIFY2(ok != refused, qPrintable(error));
    if (refused)
        QVERIFY(!error.isEmpty());
    QCOMPARE(counts(), after);
}

void TestSchema::getId()
{
    TAVRELL_TEST_DB(db);
    // Through the data module, as the windows call it.
    auto newId = [](const QString &name) { return dm->GetNewId(name); };
    QCOMPARE(newId(QStringLiteral("izdel")), 111);
    QCOMPARE(scalar(QStringLiteral("SELECT LastId FROM ids WHERE TblName = 'IZDEL'")).toInt(), 111);
    QCOMPARE(newId(QStringLiteral("IZDEL")), 112);
    QCOMPARE(newId(QStringLiteral("Izdel")), 113);
    QCOMPARE(dm->GetNewId(QStringLiteral("otdel")), 17);
    QCOMPARE(dm->GetNewId(QStringLiteral("remont")), 202);

    // No counter yet: it starts at 1, even where the table already holds key 1.
    QCOMPARE(newId(QStringLiteral("zaj_states")), 1);
    QCOMPARE(newId(QStringLiteral("Zaj_States")), 2);
    QCOMPARE(rowsOf(QStringLiteral("SELECT TblName, LastId FROM ids WHERE TblName = 'ZAJ_STATES'")),
             QStringList({"ZAJ_STATES|2"}));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM ids")).toInt(), 10);
}

void TestSchema::login_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("passw");
    QTest::addColumn<int>("sentRes");
    QTest::addColumn<int>("res");
    QTest::addColumn<QString>("tp");

    struct Row {
        const char *name, *login, *passw;
        int sentRes, res;
        const char *tp;
    };
    const Row rows[] = {
        {"login in other case", "sys admin", "a", 0, 1, "A"},
        {"password in other case", "SYS ADMIN", "A", 0, 1, "A"},
        {"user never logged in", "R", "r", 0, 4, "R"},
        {"wrong password, earlier result sent in", "SYS ADMIN", "b", 1, 0, ""},
        {"empty password", "SYS ADMIN", "", 1, 0, ""},
        {"unknown login", "nobody", "a", 3, 0, ""},
        {"password of another user", "P", "a", 2, 0, ""},
    };
    for (const Row &r : rows)
        addBackendCase(r.name, [&](QTestData &row) {
            row << QString::fromUtf8(r.login) << QString::fromUtf8(r.passw) << r.sentRes << r.res
                << QString::fromLatin1(r.tp);
        });
}

void TestSchema::login()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, login);
    QFETCH(QString, passw);
    QFETCH(int, sentRes);
    QFETCH(int, res);
    QFETCH(QString, tp);

    const QStringList usersBefore = rowsOf(QStringLiteral("SELECT * FROM users ORDER BY ID"), QStringLiteral("users"));
    const QDateTime dt = DayTime::of(QDate(2005, 5, 20), QTime(8, 15, 42, 120));
    const Tdm::LoginResult user = dm->login(login, passw, dt);
    QCOMPARE(user.userId, res);
    QCOMPARE(user.userType.trimmed(), tp);
    QCOMPARE(user.userType.isNull(), res == 0);

    if (res == 0) {
        if (db.isPostgres()) {
            // The data module sends 0; the function itself must not hand back what it was sent.
            QSqlQuery q(dm->connection());
            QVERIFY(q.prepare(QStringLiteral("SELECT p_res, p_tp FROM login(CAST(? AS varchar), CAST(? AS varchar), "
                                             "CAST(? AS timestamp), ?)")));
            q.addBindValue(login);
            q.addBindValue(passw);
            q.addBindValue(dm->backend().toDb(dt));
            q.addBindValue(sentRes);
            QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
            QCOMPARE(q.value(0).toInt(), 0);
            QVERIFY(q.value(1).isNull());
        }
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 0);
        QCOMPARE(rowsOf(QStringLiteral("SELECT * FROM users ORDER BY ID"), QStringLiteral("users")), usersBefore);
        return;
    }
    // Exactly one log row, action 1, for the user, at the time sent; the last login set.
    QCOMPARE(rowsOf(QStringLiteral("SELECT usr, LogAction FROM UserLog")),
             QStringList({QStringLiteral("%1|1").arg(res)}));
    QCOMPARE(dm->backend().dateTimeFromDb(scalar(QStringLiteral("SELECT dt FROM UserLog"))), dt);
    QCOMPARE(dm->backend().dateTimeFromDb(scalar(QStringLiteral("SELECT LastEnter FROM users WHERE ID = %1").arg(res))),
             dt);
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM users WHERE LastEnter IS NOT NULL")).toInt(),
             res == 1 ? 1 : 2);
}

void TestSchema::logTimeIsAKey()
{
    TAVRELL_TEST_DB(db);
    const QDateTime dt = DayTime::of(QDate(2005, 5, 20), QTime(8, 15, 42, 120));
    QVariant tp;
    QCOMPARE(dm->backend().login(QStringLiteral("SYS ADMIN"), QStringLiteral("a"), dt, tp), 1);

    // Leaving the program at the same moment: refused with the server's message.
    try {
        dm->addToLog(dt, 2, 1);
        QFAIL("a second log row with the same time was stored");
    } catch (const DbError &e) {
        QVERIFY(!e.message().isEmpty());
    }

    // Another user's login at that moment fails as a whole: his last login stays unset.
    QVERIFY_THROWS_EXCEPTION(DbError, dm->backend().login(QStringLiteral("R"), QStringLiteral("r"), dt, tp));
    QVERIFY(scalar(QStringLiteral("SELECT LastEnter FROM users WHERE ID = 4")).isNull());
    QCOMPARE(rowsOf(QStringLiteral("SELECT usr, LogAction FROM UserLog")), QStringList({"1|1"}));

    // A millisecond later is another key.
    dm->addToLog(dt.addMSecs(1), 2, 1);
    QCOMPARE(rowsOf(QStringLiteral("SELECT usr, LogAction FROM UserLog ORDER BY dt")), QStringList({"1|1", "1|2"}));
}

void TestSchema::changePasswordAndLastLogin()
{
    TAVRELL_TEST_DB(db);
    const QDateTime dt = DayTime::of(QDate(2005, 5, 21), QTime(17, 0, 1));
    auto change = [&](const QString &passw, const QDateTime &at) { dm->changePassword(2, at, passw); };

    // users.passw holds 20 characters: a longer password is refused, not cut.
    const QString tooLong(21, QChar(0x0436));
    try {
        change(tooLong, dt);
        QFAIL("a 21-character password was accepted");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Пароль длиннее 20 символов")), qPrintable(e.message()));
    }
    QCOMPARE(scalar(QStringLiteral("SELECT passw FROM users WHERE ID = 2")).toString(), QStringLiteral("p"));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM UserLog")).toInt(), 0);

    const QString longest(20, QChar(0x0436));
    change(longest, dt);
    QCOMPARE(scalar(QStringLiteral("SELECT passw FROM users WHERE ID = 2")).toString(), longest);
    QCOMPARE(rowsOf(QStringLiteral("SELECT usr, LogAction FROM UserLog")), QStringList({"2|3"}));

    // The new password logs in, in any letter case.
    QVariant tp;
    QCOMPARE(dm->backend().login(QStringLiteral("p"), longest.toUpper(), dt.addSecs(1), tp), 2);

    QCOMPARE(dm->lastLogin(QStringLiteral("sys admin")), DayTime::of(QDate(2005, 5, 18), QTime(13, 33, 38)));
    QVERIFY(!dm->lastLogin(QStringLiteral("R")).isValid());
    QCOMPARE(dm->backend().getLastLogin(QStringLiteral("P")).toDateTime(), dt.addSecs(1));
    QVERIFY(dm->backend().getLastLogin(QStringLiteral("R")).isNull());
    QVERIFY(dm->backend().getLastLogin(QStringLiteral("nobody")).isNull());
}

void TestSchema::embeddedFileOpensWithoutTavrell()
{
    // A plain SQLite connection (no collation of ours) reads the file the program made.
    TestDb db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString file = QDir(db.folder()).filePath(QStringLiteral("org_tech.sqlite"));
    QVERIFY(QFile::exists(file));
    sqlite3 *h = nullptr;
    QCOMPARE(sqlite3_open_v2(file.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto text = [&](const char *sql) {
        sqlite3_stmt *st = nullptr;
        QString out;
        if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK)
            return QStringLiteral("<%1>").arg(QString::fromUtf8(sqlite3_errmsg(h)));
        while (sqlite3_step(st) == SQLITE_ROW)
            out += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) + QLatin1Char(';');
        sqlite3_finalize(st);
        return out;
    };
    QCOMPARE(text("PRAGMA integrity_check"), QStringLiteral("ok;"));
    QCOMPARE(text("SELECT count(*) FROM IzdList"), QStringLiteral("7;"));
    QCOMPARE(text("SELECT count(*) FROM VIEWTechOnOtdels"), QStringLiteral("7;"));
    QCOMPARE(text("SELECT login FROM users WHERE login = 'sys admin'"), QStringLiteral("SYS ADMIN;"));
    sqlite3_close(h);
}

QTEST_MAIN(TestSchema)
#include "tst_schema.moc"
