#pragma once
// The benchmarks on either backend. A benchmark measures on the embedded database; then, when
// TAVRELL_TEST_PGSERVER names a shared server, it runs itself again with --server, in a process
// of its own (the peak memory it reports is that process's alone), which measures the same on
// a throwaway database there, made by the creation script and dropped at the end.
//   bench_x [args]            the embedded database, then the server when it is named
//   bench_x --server [args]   the server alone
// Here also: rows put in as each backend takes them fastest (the same rows on both), and the
// bare reads a measured step is put against (on the server also a libpq loop reading every
// value as text, the floor under any reader).
#include "core/Errors.h"
#include "core/Seams.h"
#include "data/Tdm.h"
#include "storage/Backend.h"
#include "storage/PgBackend.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantMap>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <libpq-fe.h>
#include <memory>

namespace bench {

// Where a run measures.
struct Target {
    bool server = false;
    QString name = QStringLiteral("(local)");  // the server name as the program takes it

    // Takes --server out of the arguments, so that the benchmark reads its own as before.
    static Target of(int &argc, char **argv)
    {
        Target t;
        for (int i = 1; i < argc; ++i)
            if (strcmp(argv[i], "--server") == 0) {
                t.server = true;
                for (int j = i; j + 1 < argc; ++j)
                    argv[j] = argv[j + 1];
                --argc;
                break;
            }
        if (t.server)
            t.name = qEnvironmentVariable("TAVRELL_TEST_PGSERVER");
        return t;
    }
    // False, said why, when the server is asked for and none is named.
    bool usable() const
    {
        if (server && name.isEmpty()) {
            printf("TAVRELL_TEST_PGSERVER is not set: no server to measure\n");
            return false;
        }
        return true;
    }
    // The backend and how busy the machine is (others may be building on it).
    void heading(const char *mark = "==", const char *when = "") const
    {
        QFile f(QStringLiteral("/proc/loadavg"));
        const QByteArray load = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("?");
        printf("%s %s%s, load %s\n", mark, server ? "shared server" : "embedded database", when, load.constData());
        fflush(stdout);
    }
    // After the embedded run: the same on the server in a process of its own, when one is named.
    int thenOnServer(int result, int argc, char **argv) const
    {
        heading("--", " done");
        if (server || qEnvironmentVariable("TAVRELL_TEST_PGSERVER").isEmpty())
            return result;
        QStringList args{QStringLiteral("--server")};
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        const int onServer = QProcess::execute(QCoreApplication::applicationFilePath(), args);
        return result != 0 ? result : onServer;
    }
};

inline void dropServerDatabase(const QString &server, const QString &name)
{
    const QString connection = QStringLiteral("bench_drop");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setConnectOptions(PgBackend::connectionString(server, QStringLiteral("postgres")));
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
    }
    QSqlDatabase::removeDatabase(connection);
}

// What a benchmark that ends early must still do: drop the server's database.
inline std::function<void()> &atEarlyEnd()
{
    static std::function<void()> f;
    return f;
}
[[noreturn]] inline void endEarly(int code)
{
    if (atEarlyEnd())
        atEarlyEnd()();
    exit(code);
}

// A fresh database with the seeded directories and no items or requests, its data module made
// the program's one; a server's is dropped when this goes.
class Database {
public:
    Database(const QString &folder, const Target &t) : m_target(t)
    {
        Seams::setProgramFolder(folder);
        m_name = t.server ? QStringLiteral("tavrell_bench_%1").arg(QCoreApplication::applicationPid())
                          : QStringLiteral("org_tech");
        Backend::setDatabaseName(m_name);
        if (t.server)
            atEarlyEnd() = [server = t.name, name = m_name] { dropServerDatabase(server, name); };
        m_module = std::make_unique<Tdm>();
        dm = m_module.get();
        try {
            dm->connectToServer(t.name);
            dm->CreateDatabase();
        } catch (const TavrellError &e) {
            fprintf(stderr, "database: %s\n", qPrintable(e.message()));
            drop();
            exit(1);
        }
        QSqlDatabase db = dm->connection();
        db.exec(QStringLiteral("delete from zajav"));
        db.exec(QStringLiteral("delete from izdel"));
    }
    ~Database() { drop(); }
    // libpq's connection string of the server's database, as psql takes it.
    QString connectionString() const { return PgBackend::connectionString(m_target.name, m_name); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

private:
    void drop()
    {
        atEarlyEnd() = nullptr;
        m_module.reset();
        dm = nullptr;
        if (m_target.server)
            dropServerDatabase(m_target.name, m_name);
    }
    Target m_target;
    QString m_name;
    std::unique_ptr<Tdm> m_module;
};

inline std::unique_ptr<Database> freshDatabase(const QString &folder, const Target &t = Target())
{
    return std::make_unique<Database>(folder, t);
}

inline PGconn *pgConnection(QSqlDatabase db) { return *static_cast<PGconn *const *>(db.driver()->handle().data()); }

// Fresh statistics for the server's planner once the tables are filled.
inline void analyze(QSqlDatabase db, const Target &t)
{
    if (t.server)
        QSqlQuery(db).exec(QStringLiteral("analyze"));
}

// Rows into one table, bound as a prepared insert binds them. The embedded database takes
// them one statement a row; the server through COPY in parts (a statement a row there costs a
// round trip each: minutes for a million lines). Call finish() before the commit; make the
// insert of a table before those of the tables that refer to it.
class Insert {
public:
    Insert(QSqlDatabase db, const char *table, const QStringList &columns)
        : m_db(db), m_server(db.driverName() == QLatin1String("QPSQL")), m_columns(columns.size()), m_query(db)
    {
        m_copy = QStringLiteral("copy %1 (%2) from stdin")
                     .arg(QLatin1String(table), columns.join(QStringLiteral(", ")))
                     .toUtf8();
        if (!m_server) {
            QStringList marks;
            for (int i = 0; i < m_columns; ++i)
                marks << QStringLiteral("?");
            m_query.prepare(
                QStringLiteral("insert into %1 (%2) values (%3)")
                    .arg(QLatin1String(table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
        }
        m_row.resize(m_columns);
        live().push_back(this);
    }
    ~Insert()
    {
        finish();
        live().erase(std::find(live().begin(), live().end(), this));
    }
    void bindValue(int i, const QVariant &v) { m_row[i] = v; }
    void addBindValue(const QVariant &v) { m_row[m_next++] = v; }
    void exec()
    {
        m_next = 0;
        if (!m_server) {
            for (int i = 0; i < m_columns; ++i)
                m_query.bindValue(i, m_row[i]);
            if (!m_query.exec())
                fail(m_query.lastError().text());
            return;
        }
        for (int i = 0; i < m_columns; ++i) {
            if (i)
                m_text += '\t';
            appendText(m_row[i]);
        }
        m_text += '\n';
        if (m_text.size() > (4 << 20))
            finish();
    }
    // The rows of the inserts made before this one go first: their keys may be this one's
    // references.
    void finish()
    {
        for (Insert *i : live()) {
            i->copy();
            if (i == this)
                break;
        }
    }

private:
    static std::vector<Insert *> &live()
    {
        static std::vector<Insert *> inserts;
        return inserts;
    }
    void copy()
    {
        if (m_text.isEmpty())
            return;
        PGconn *conn = pgConnection(m_db);
        PGresult *r = PQexec(conn, m_copy.constData());
        const bool started = PQresultStatus(r) == PGRES_COPY_IN;
        PQclear(r);
        if (!started || PQputCopyData(conn, m_text.constData(), int(m_text.size())) != 1 ||
            PQputCopyEnd(conn, nullptr) != 1)
            fail(QString::fromUtf8(PQerrorMessage(conn)));
        while ((r = PQgetResult(conn))) {
            const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
            if (!ok)
                fail(QString::fromUtf8(PQerrorMessage(conn)));
        }
        m_text.clear();
    }
    [[noreturn]] static void fail(const QString &why)
    {
        fprintf(stderr, "insert failed: %s\n", qPrintable(why));
        endEarly(1);
    }
    // COPY's text form: \N for null, a backslash before the characters that mean something.
    void appendText(const QVariant &v)
    {
        if (v.isNull()) {
            m_text += "\\N";
            return;
        }
        QString s;
        switch (v.typeId()) {
        case QMetaType::Double: s = QString::number(v.toDouble(), 'g', 17); break;
        case QMetaType::QDateTime: s = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")); break;
        default: s = v.toString();
        }
        for (const char c : s.toUtf8()) {
            switch (c) {
            case '\\': m_text += "\\\\"; break;
            case '\t': m_text += "\\t"; break;
            case '\n': m_text += "\\n"; break;
            case '\r': m_text += "\\r"; break;
            default: m_text += c;
            }
        }
    }
    QSqlDatabase m_db;
    bool m_server;
    int m_columns;
    int m_next = 0;
    QSqlQuery m_query;
    QVector<QVariant> m_row;
    QByteArray m_copy, m_text;
};

// A parameter's value in the text form the server reads.
inline QByteArray paramText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    return v.toString().toUtf8();
}

// A bare read of a statement: every value of every row, the least a program showing them
// must do. Parameters by their names (":text").
struct Floor {
    const char *name;
    std::function<qint64(const QString &sql, const QVariantMap &params)> read;
};

inline qint64 qsqlRead(QSqlDatabase db, const QString &sql, const QVariantMap &params)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (params.isEmpty()) {
        q.exec(sql);
    } else {
        q.prepare(sql);
        for (auto p = params.begin(); p != params.end(); ++p)
            q.bindValue(p.key(), p.value());
        q.exec();
    }
    const int cols = q.record().count();
    qint64 n = 0;
    while (q.next())
        for (int c = 0; c < cols; ++c)
            n += q.value(c).isValid();
    return n;
}

// Every value as text, as libpq gives it; the named parameters become $1, $2...
inline qint64 libpqRead(QSqlDatabase db, const QString &sql, const QVariantMap &params)
{
    QString text = sql;
    QByteArrayList values;
    for (auto p = params.begin(); p != params.end(); ++p) {
        text.replace(QRegularExpression(QRegularExpression::escape(p.key()) + QStringLiteral("\\b")),
                     QStringLiteral("$%1").arg(values.size() + 1));
        values << paramText(p.value());
    }
    QVector<const char *> marks;
    for (const QByteArray &v : values)
        marks << v.constData();
    const QByteArray statement = text.toUtf8();
    PGresult *r = values.isEmpty() ? PQexec(pgConnection(db), statement.constData())
                                   : PQexecParams(pgConnection(db), statement.constData(), int(values.size()), nullptr,
                                                  marks.constData(), nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        fprintf(stderr, "libpq read: %s\n", PQresultErrorMessage(r));
    const int rows = PQntuples(r), cols = PQnfields(r);
    qint64 n = 0;
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < cols; ++c)
            n += PQgetvalue(r, i, c)[0] != 0;
    PQclear(r);
    return n + rows;
}

// The same statement read as the program can read it without holding the whole result: row
// by row (libpq's single-row mode, which the driver uses for a forward-only select), or in
// batches of `batch` rows from a server cursor. Each value is touched as in libpqRead.
inline qint64 libpqReadSingleRows(QSqlDatabase db, const QString &sql)
{
    PGconn *conn = pgConnection(db);
    qint64 n = 0;
    if (!PQsendQuery(conn, sql.toUtf8().constData()) || !PQsetSingleRowMode(conn))
        fprintf(stderr, "libpq single rows: %s\n", PQerrorMessage(conn));
    while (PGresult *r = PQgetResult(conn)) {
        const int rows = PQntuples(r), cols = PQnfields(r);
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < cols; ++c)
                n += PQgetvalue(r, i, c)[0] != 0;
        n += rows;
        PQclear(r);
    }
    return n;
}

inline qint64 libpqReadCursor(QSqlDatabase db, const QString &sql, int batch)
{
    PGconn *conn = pgConnection(db);
    auto run = [conn](const QByteArray &statement) {
        PGresult *r = PQexec(conn, statement.constData());
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            fprintf(stderr, "libpq cursor: %s\n", PQresultErrorMessage(r));
        return r;
    };
    PQclear(run("BEGIN"));
    PQclear(run("DECLARE bench_rows NO SCROLL CURSOR FOR " + sql.toUtf8()));
    const QByteArray fetch = "FETCH " + QByteArray::number(batch) + " FROM bench_rows";
    qint64 n = 0;
    for (int got = batch; got == batch;) {
        PGresult *r = run(fetch);
        got = PQntuples(r);
        const int cols = PQnfields(r);
        for (int i = 0; i < got; ++i)
            for (int c = 0; c < cols; ++c)
                n += PQgetvalue(r, i, c)[0] != 0;
        n += got;
        PQclear(r);
    }
    PQclear(run("CLOSE bench_rows"));
    PQclear(run("COMMIT"));
    return n;
}

// The floors a backend's figures are put against: the QSqlQuery loop on both, and the libpq
// loop on the server.
inline QVector<Floor> floors(QSqlDatabase db, const Target &t)
{
    QVector<Floor> f{
        {"bare QSqlQuery loop", [db](const QString &s, const QVariantMap &p) { return qsqlRead(db, s, p); }}};
    if (t.server)
        f.append({"bare libpq loop (as text)",
                  [db](const QString &s, const QVariantMap &p) { return libpqRead(db, s, p); }});
    return f;
}

}  // namespace bench

namespace bench {

// The best of `rounds` bare reads of a statement by each floor, in ms.
inline QVector<double> floorTimes(const QVector<Floor> &floors, int rounds, const QString &sql,
                                  const QVariantMap &params = {})
{
    QVector<double> out;
    for (const Floor &f : floors) {
        double b = -1;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer t;
            t.start();
            f.read(sql, params);
            const double e = t.nsecsElapsed() / 1e6;
            b = b < 0 ? e : std::min(b, e);
        }
        out << b;
    }
    return out;
}

// "2.10x the bare QSqlQuery loop, 1.20x the bare libpq loop"
inline QByteArray ratios(double oursMs, const QVector<double> &floorMs, const QVector<Floor> &floors)
{
    QStringList parts;
    for (int i = 0; i < floors.size(); ++i)
        parts << QStringLiteral("%1x the %2").arg(oursMs / floorMs[i], 0, 'f', 2).arg(QLatin1String(floors[i].name));
    return parts.join(QStringLiteral(", ")).toUtf8();
}

}  // namespace bench
