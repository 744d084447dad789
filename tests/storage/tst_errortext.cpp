// What the user reads when the database refuses something: the common causes in Russian,
// then the server's own text; anything else the server's text alone. Real refusals on both
// backends, the causes that are hard to provoke from fabricated errors, and the program's
// own paths (dataset, procedures, field conversion).
#include "TestSupport.h"
#include "core/Errors.h"
#include "db/TDataSet.h"
#include "storage/ErrorText.h"
#include "storage/PgBackend.h"
#include "storage/SqliteBackend.h"

#include <QSqlError>
#include <QtTest>

using ErrorText::Cause;
Q_DECLARE_METATYPE(ErrorText::Cause)

namespace {

bool hasCyrillic(const QString &s)
{
    for (const QChar c : s)
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    return false;
}

// A second connection to the test database: read-only, or holding the write lock (the
// embedded file) or the lock on item 101 (the server) until it closes.
class SecondConnection {
public:
    enum Kind { ReadOnly, Holding };
    SecondConnection(const TestDb &db, Kind kind)
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(db.isPostgres() ? "QPSQL" : "QSQLITE", Name);
        if (db.isPostgres()) {
            c.setConnectOptions(PgBackend::connectionString(db.serverName(), Backend::databaseName().toLower()));
        } else {
            c.setDatabaseName(SqliteBackend::fileFor(Backend::databaseName()));
            if (kind == ReadOnly)
                c.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        }
        if (!c.open()) {
            error = c.lastError().text();
            return;
        }
        QSqlQuery q(c);
        bool ok = true;
        if (kind == Holding)
            ok = db.isPostgres() ? q.exec(QStringLiteral("BEGIN")) &&
                                       q.exec(QStringLiteral("SELECT id FROM izdel WHERE id = 101 FOR UPDATE"))
                                 : q.exec(QStringLiteral("BEGIN IMMEDIATE"));
        else if (db.isPostgres())
            ok = q.exec(QStringLiteral("SET default_transaction_read_only = on"));
        if (!ok)
            error = q.lastError().text();
    }
    ~SecondConnection()
    {
        {
            QSqlDatabase c = QSqlDatabase::database(Name, false);
            QSqlQuery(c).exec(QStringLiteral("ROLLBACK"));
            c.close();
        }
        QSqlDatabase::removeDatabase(Name);
    }
    QSqlDatabase connection() const { return QSqlDatabase::database(Name, false); }
    QString error;

private:
    static constexpr const char *Name = "second";
};

}  // namespace

class TestErrorText : public QObject {
    Q_OBJECT
private slots:
    void realRefusals_data();
    void realRefusals();
    void fabricatedErrors_data();
    void fabricatedErrors();
    void programPaths_data() { addBackendCases(); }
    void programPaths();
};

void TestErrorText::realRefusals_data()
{
    addBackendColumn();
    QTest::addColumn<QString>("connection");  // "main", "read-only", or "main" while another holds the lock
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Cause>("cause");
    const QString tooLong = QString(66, QChar(0x0416));  // "Ж" x 66 in a column of 65
    struct Row {
        const char *name, *connection;
        QString sql;
        Cause cause;
        bool serverOnly;
    };
    const Row rows[] = {
        {"unique key", "main", QStringLiteral("INSERT INTO otdel (id, Name) VALUES (11, 'x')"), Cause::UniqueKey,
         false},
        {"foreign key, missing row", "main", QStringLiteral("INSERT INTO izdel (id, otdel) VALUES (500, 999)"),
         Cause::ForeignKey, false},
        {"foreign key, referred to", "main", QStringLiteral("DELETE FROM izdel WHERE id = 101"), Cause::ForeignKey,
         false},
        {"not null", "main", QStringLiteral("INSERT INTO UserLog (dt, usr) VALUES (NULL, 1)"), Cause::NotNull, false},
        {"too long", "main", QStringLiteral("UPDATE otdel SET Name = '%1' WHERE id = 11").arg(tooLong), Cause::TooLong,
         false},
        {"bad date", "main", QStringLiteral("UPDATE izdel SET D_vup = '2003-02-31' WHERE id = 101"), Cause::BadDate,
         true},
        {"read-only", "read-only", QStringLiteral("UPDATE otdel SET Name = 'x' WHERE id = 11"), Cause::ReadOnly, false},
        {"locked", "held", QStringLiteral("UPDATE izdel SET Name = 'x' WHERE id = 101"), Cause::Busy, false},
        {"anything else", "main", QStringLiteral("SELECT * FROM no_such_table"), Cause::Other, false},
        // The client library ends the statement's text at the NUL character.
        {"NUL character in a text", "main",
         QStringLiteral("UPDATE otdel SET Name = 'a") + QChar(0) + QStringLiteral("b' WHERE id = 11"),
         Cause::NulCharacter, true},
    };
    for (const Row &r : rows) {
        // The embedded file keeps dates as text and does not check them: the server's case only.
        if (r.serverOnly)
            QTest::addRow("postgres: %s", r.name)
                << QStringLiteral("postgres") << QString::fromLatin1(r.connection) << r.sql << r.cause;
        else
            addBackendCase(r.name,
                           [&](QTestData &row) { row << QString::fromLatin1(r.connection) << r.sql << r.cause; });
    }
}

void TestErrorText::realRefusals()
{
    TAVRELL_TEST_DB(db);
    QFETCH(QString, connection);
    QFETCH(QString, sql);
    QFETCH(Cause, cause);

    std::unique_ptr<SecondConnection> second;
    if (connection != QLatin1String("main")) {
        second = std::make_unique<SecondConnection>(
            db, connection == QLatin1String("held") ? SecondConnection::Holding : SecondConnection::ReadOnly);
        QVERIFY2(second->error.isEmpty(), qPrintable(second->error));
        // Should the program wait without end, the test ends the wait itself (and fails).
        if (db.isPostgres())
            db.query(QStringLiteral("SET statement_timeout = 30000"));
    }
    QSqlQuery q(connection == QLatin1String("read-only") ? second->connection() : dm->connection());
    QVERIFY2(!q.exec(sql), "the statement went through");
    const QSqlError e = q.lastError();
    const QString server = Backend::serverText(e);
    QVERIFY(!server.isEmpty());
    QCOMPARE(ErrorText::causeOf(e), cause);
    const QString text = Backend::userText(e);
    if (cause == Cause::Other) {
        QCOMPARE(text, server);
    } else {
        QCOMPARE(text, ErrorText::causeText(cause) + QLatin1Char('\n') + server);
        QVERIFY(hasCyrillic(ErrorText::causeText(cause)));
    }
}

void TestErrorText::fabricatedErrors_data()
{
    QTest::addColumn<QString>("databaseText");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("type");
    QTest::addColumn<Cause>("cause");
    const int statement = QSqlError::StatementError, connection = QSqlError::ConnectionError;
    QTest::newRow("sqlite: disk full") << "database or disk is full"
                                       << "13" << statement << Cause::DiskFull;
    QTest::newRow("sqlite: busy snapshot") << "database is locked"
                                           << "517" << statement << Cause::Busy;
    QTest::newRow("sqlite: table locked") << "database table is locked"
                                          << "6" << statement << Cause::Busy;
    QTest::newRow("sqlite: read-only, primary code") << "attempt to write a readonly database"
                                                     << "8" << statement << Cause::ReadOnly;
    QTest::newRow("sqlite: another check") << "CHECK constraint failed: x > 0"
                                           << "275" << statement << Cause::Other;
    QTest::newRow("sqlite: unique, primary code only") << "UNIQUE constraint failed: otdel.id"
                                                       << "19" << statement << Cause::UniqueKey;
    QTest::newRow("server: disk full") << "ERROR:  could not extend file: No space left on device\n(53100)"
                                       << "53100" << statement << Cause::DiskFull;
    QTest::newRow("server: shut down") << "FATAL:  terminating connection due to administrator command\n(57P01)"
                                       << "57P01" << statement << Cause::ConnectionLost;
    QTest::newRow("server: connection failure") << "SSL connection has been closed unexpectedly"
                                                << "08006" << connection << Cause::ConnectionLost;
    QTest::newRow("server: closed, no code") << "server closed the connection unexpectedly"
                                             << "" << statement << Cause::ConnectionLost;
    QTest::newRow("server: deadlock") << "ERROR:  deadlock detected\n(40P01)"
                                      << "40P01" << statement << Cause::Busy;
    QTest::newRow("server: lock timeout") << "ERROR:  canceling statement due to lock timeout\n(55P03)"
                                          << "55P03" << statement << Cause::Busy;
    QTest::newRow("server: date format") << "ERROR:  invalid input syntax for type timestamp: \"x\"\n(22007)"
                                         << "22007" << statement << Cause::BadDate;
    QTest::newRow("server: syntax") << "ERROR:  syntax error at or near \"x\"\n(42601)"
                                    << "42601" << statement << Cause::Other;
    QTest::newRow("sqlite: damaged file") << "database disk image is malformed"
                                          << "11" << statement << Cause::Damaged;
    QTest::newRow("sqlite: damaged, no code") << "database disk image is malformed"
                                              << "" << statement << Cause::Damaged;
    QTest::newRow("sqlite: not a database") << "file is not a database"
                                            << "26" << statement << Cause::Damaged;
    QTest::newRow("server: damaged page") << "ERROR:  invalid page in block 7 of relation base/1/2\n(XX001)"
                                          << "XX001" << statement << Cause::Damaged;
    QTest::newRow("server: NUL cut the statement")
        << "ERROR:  unterminated quoted string at or near \"'a\"\nLINE 1: UPDATE otdel SET Name = 'a\n(42601)"
        << "42601" << statement << Cause::NulCharacter;
    QTest::newRow("closed connection, no error at all") << ""
                                                        << "" << int(QSqlError::NoError) << Cause::ConnectionLost;
}

void TestErrorText::fabricatedErrors()
{
    QFETCH(QString, databaseText);
    QFETCH(QString, code);
    QFETCH(int, type);
    QFETCH(Cause, cause);
    const QSqlError e(type == QSqlError::NoError ? QString() : QStringLiteral("Unable to fetch row"), databaseText,
                      QSqlError::ErrorType(type), code);
    QCOMPARE(ErrorText::causeOf(e), cause);
    const QString text = ErrorText::forUser(e);
    if (cause == Cause::Other)
        QCOMPARE(text, databaseText);
    else if (databaseText.isEmpty() && type == QSqlError::NoError)
        QCOMPARE(text, ErrorText::causeText(cause));
    else
        QCOMPARE(text, ErrorText::causeText(cause) + QLatin1Char('\n') + databaseText.trimmed());
}

void TestErrorText::programPaths()
{
    TAVRELL_TEST_DB(db);
    // A dataset post: a department whose key is taken.
    TDataSet otdel;
    otdel.setTableName(QStringLiteral("otdel"));
    otdel.Open();
    otdel.Append();
    otdel.FieldByName(QStringLiteral("id"))->setValue(11);
    otdel.FieldByName(QStringLiteral("Name"))->setText(QStringLiteral("Повтор"));
    QString message;
    try {
        otdel.Post();
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(ErrorText::causeText(Cause::UniqueKey) + QLatin1Char('\n')), qPrintable(message));
    QCOMPARE(otdel.State(), DataSetState::Insert);
    otdel.Cancel();

    // A dataset delete that the server refuses: item 101 has requests.
    TDataSet items;
    items.setTableName(QStringLiteral("izdel"));
    items.Open();
    QVERIFY(items.Locate(QStringLiteral("id"), 101));
    message.clear();
    try {
        items.Delete();
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(ErrorText::causeText(Cause::ForeignKey) + QLatin1Char('\n')), qPrintable(message));

    // A procedure: two log rows at one time.
    const QDateTime dt(QDate(2005, 5, 20), QTime(8, 15, 42, 120));
    dm->backend().addToLog(dt, 2, 1);
    message.clear();
    try {
        dm->backend().addToLog(dt, 2, 1);
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(ErrorText::causeText(Cause::UniqueKey) + QLatin1Char('\n')), qPrintable(message));

    // A query that the server cannot run keeps the server's text alone.
    TDataSet broken;
    broken.setSQL(QStringLiteral("select * from no_such_table"));
    message.clear();
    try {
        broken.Open();
    } catch (const DbError &e) {
        message = e.message();
    }
    QVERIFY(!message.isEmpty());
    QVERIFY2(!hasCyrillic(message), qPrintable(message));

    // The dataset's own conversion of a date the user typed.
    items.Edit();
    message.clear();
    try {
        items.FieldByName(QStringLiteral("D_vup"))->setText(QStringLiteral("31.02.2003"));
    } catch (const TavrellError &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("«31.02.2003» — неправильная дата"));
    QCOMPARE(items.State(), DataSetState::Edit);

    // A text with a NUL character is refused before the server sees it, by the field's name.
    TField *name = items.FieldByName(QStringLiteral("Name"));
    message.clear();
    try {
        name->setText(QStringLiteral("Принтер") + QChar(0) + QStringLiteral("HP"));
    } catch (const TavrellError &e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("«%1»").arg(name->DisplayLabel())) &&
                 message.contains(QStringLiteral("кодом 0")),
             qPrintable(message));
    QCOMPARE(items.State(), DataSetState::Edit);
    items.Cancel();
}

QTEST_MAIN(TestErrorText)
#include "tst_errortext.moc"
