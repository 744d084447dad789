#include "storage/PgBackend.h"

#include "core/DayTime.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace {

// An empty password is an empty text: a null one the driver would send matches nothing.
QString nonNull(const QString &s) { return s.isNull() ? QStringLiteral("") : s; }

QString tr(const char *text) { return QCoreApplication::translate("PgBackend", text); }

QString quoteValue(const QString &v)
{
    QString s = v;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString quoteIdent(const QString &name)
{
    QString s = name;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

}  // namespace

PgBackend::PgBackend(const QString &serverName, const QString &connectionName)
    : Backend(connectionName), m_serverName(serverName.trimmed())
{
}

QString PgBackend::connectionString(const QString &serverName, const QString &database)
{
    // Keywords given later win in libpq, so our defaults come first and the database last.
    QString conn = QStringLiteral("connect_timeout=10 ");
    const QString server = serverName.trimmed();
    if (server.contains(QLatin1Char('='))) {
        conn += QStringLiteral("dbname=postgres ") + server;
    } else {
        QString host = server;
        QString port;
        static const QRegularExpression hostPort(QStringLiteral("^(.*):(\\d+)$"));
        const QRegularExpressionMatch m = hostPort.match(server);
        if (m.hasMatch()) {
            host = m.captured(1);
            port = m.captured(2);
        }
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        conn += QStringLiteral("dbname=postgres host=") + quoteValue(host);
        if (!port.isEmpty())
            conn += QStringLiteral(" port=") + port;
    }
    if (!database.isEmpty())
        conn += QStringLiteral(" dbname=") + quoteValue(database);
    return conn;
}

void PgBackend::openOn(const QString &database)
{
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    if (!db.isValid())
        throw DbError(tr("Драйвер PostgreSQL не найден"));
    db.close();
    // The driver hands its connect options to libpq as they are (";" read as a blank).
    db.setConnectOptions(connectionString(m_serverName, database));
    if (!db.open())
        throw DbError(userText(db.lastError()));
    m_identifiedUser = -1;
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET client_min_messages = warning"));
    // A row that another session holds in an open transaction: give up after a few seconds
    // with the busy message instead of freezing the program.
    q.exec(QStringLiteral("SET lock_timeout = %1").arg(BusyWaitMs));
}

void PgBackend::endScript()
{
    m_inScript = false;
    // The seed rows are no change anybody made. A script that did not get as far as the
    // program's database (it was refused) has nothing to follow.
    if (!tableRecord(QStringLiteral("history")).isEmpty())
        installHistoryTriggers();
}

void PgBackend::open()
{
    if (m_serverName.isEmpty())
        throw DbError(tr("Не задан сервер базы данных"));
    openOn(QString());
}

void PgBackend::useDatabase(const QString &name)
{
    const QString lower = name.toLower();
    // Only a database the server does not have may be created; one that is there but
    // refuses us is a different failure. When the catalogue cannot be asked, the connect
    // below tells what is wrong.
    {
        QSqlQuery q(connection());
        q.prepare(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = :name"));
        q.bindValue(QStringLiteral(":name"), lower);
        if (q.exec() && !q.next())
            throw DatabaseMissingError(tr("База данных \"%1\" не существует").arg(lower));
    }
    try {
        openOn(lower);
        // Within the creation script the tables are yet to come.
        if (!m_inScript) {
            QSqlQuery q(connection());
            exec(q, QStringLiteral("SELECT count(*) FILTER (WHERE schemaname = current_schema() "
                                   "AND tablename IN ('ids', 'users', 'izdel', 'states')), count(*) "
                                   "FROM pg_tables WHERE schemaname NOT IN ('pg_catalog', 'information_schema')"));
            if (q.next() && q.value(1).toInt() == 0) {
                openOn(QString());
                throw DatabaseEmptyError(tr("База данных \"%1\" пуста").arg(lower));
            }
            if (!q.isValid() || q.value(0).toInt() != 4)
                throw DbError(tr("это не база данных этой программы (в ней нет ее таблиц)"));
        }
    } catch (const DatabaseEmptyError &) {
        throw;
    } catch (const DbError &e) {
        // Stay connected to the server, as a failed "use" leaves the session where it was.
        try {
            openOn(QString());
        } catch (const DbError &) {
        }
        throw DbError(tr("Не удается открыть базу данных \"%1\": %2").arg(lower, e.message()));
    }
}

void PgBackend::createDatabase(const QString &name)
{
    const QString lower = name.toLower();
    execStatement(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(quoteIdent(lower)));
    prepareDatabase(lower);
}

void PgBackend::prepareDatabase(const QString &name)
{
    const QString lower = name.toLower();
    // The database's character columns compare without regard to case (but not accents).
    const QString tmpName = m_connectionName + QStringLiteral("_create");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), tmpName);
        db.setConnectOptions(connectionString(m_serverName, lower));
        QString error;
        if (!db.open()) {
            error = userText(db.lastError());
        } else {
            QSqlQuery q(db);
            // A database made by an administrator for the user, but not given to him: no
            // table can be made in it, and the script would fail at every one.
            if (q.exec(QStringLiteral("SELECT has_schema_privilege(current_schema(), 'CREATE'), current_user")) &&
                q.next() && !q.value(0).toBool()) {
                error = tr("у пользователя %1 нет права создавать таблицы в базе данных \"%2\"; "
                           "ее владельцем его может сделать администратор сервера "
                           "(ALTER DATABASE %2 OWNER TO %1)")
                            .arg(q.value(1).toString(), lower);
            } else if (!q.exec(QStringLiteral("CREATE COLLATION IF NOT EXISTS ci "
                                              "(provider = icu, locale = 'und-u-ks-level2', deterministic = false)"))) {
                error = userText(q.lastError());
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(tmpName);
        if (!error.isEmpty())
            throw DbError(error);
    }
}

void PgBackend::execStatement(const QString &sql)
{
    QSqlQuery q(connection());
    exec(q, sql);
}

int PgBackend::getId(const QString &name)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT getid(:name)"));
    q.bindValue(QStringLiteral(":name"), name);
    exec(q);
    if (!q.next())
        throw DbError(tr("GetId не вернула значение"));
    return q.value(0).toInt();
}

void PgBackend::addToLog(const QDateTime &dt, int action, int userId)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT addtolog(CAST(:dt AS timestamp), :action, :usr)"));
    q.bindValue(QStringLiteral(":dt"), toDb(dt));
    q.bindValue(QStringLiteral(":action"), action);
    q.bindValue(QStringLiteral(":usr"), userId);
    exec(q);
}

void PgBackend::changePassword(int userId, const QDateTime &dt, const QString &passw)
{
    identifyUser();
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT changepassword(:usr, CAST(:dt AS timestamp), CAST(:passw AS varchar))"));
    q.bindValue(QStringLiteral(":usr"), userId);
    q.bindValue(QStringLiteral(":dt"), toDb(dt));
    q.bindValue(QStringLiteral(":passw"), nonNull(passw));
    exec(q);
}

QVariant PgBackend::getLastLogin(const QString &login)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT getlastlogin(CAST(:login AS varchar))"));
    q.bindValue(QStringLiteral(":login"), login);
    exec(q);
    if (!q.next() || q.value(0).isNull())
        return QVariant();
    const QDateTime dt = dateTimeFromDb(q.value(0));
    return dt.isValid() ? QVariant(dt) : QVariant();
}

int PgBackend::login(const QString &login, const QString &passw, const QDateTime &dt, QVariant &tp)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT p_res, p_tp FROM login(CAST(:login AS varchar), CAST(:passw AS varchar), "
                             "CAST(:dt AS timestamp), :res)"));
    q.bindValue(QStringLiteral(":login"), login);
    q.bindValue(QStringLiteral(":passw"), nonNull(passw));
    q.bindValue(QStringLiteral(":dt"), toDb(dt));
    q.bindValue(QStringLiteral(":res"), 0);
    exec(q);
    tp = QVariant();
    if (!q.next())
        return 0;
    const int res = q.value(0).toInt();
    if (res != 0)
        tp = q.value(1);
    return res;
}

QVariant PgBackend::toDb(const QDateTime &dt) const
{
    // Sent as text, as the clock reads: the columns hold a time without a zone.
    const QDateTime day = DayTime::of(dt);
    if (!day.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return day.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime PgBackend::dateTimeFromDb(const QVariant &v) const
{
    if (v.isNull() || !v.isValid())
        return QDateTime();
    // The driver reads a timestamp as local time: in a gap of the local clock that is invalid,
    // but it keeps the date and time read.
    if (v.metaType().id() == QMetaType::QDateTime)
        return DayTime::of(v.toDateTime());
    const QString s = v.toString().trimmed();
    static const std::pair<const char *, int> formats[] = {{"yyyy-MM-dd HH:mm:ss.zzz", 23},
                                                           {"yyyy-MM-ddTHH:mm:ss.zzz", 23},
                                                           {"yyyy-MM-dd HH:mm:ss", 19},
                                                           {"yyyy-MM-ddTHH:mm:ss", 19},
                                                           {"yyyy-MM-dd", 10}};
    for (const auto &[format, length] : formats) {
        const QDateTime dt = DayTime::utcFromString(s.left(length), QLatin1String(format));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

QSqlRecord PgBackend::tableRecord(const QString &table) const
{
    QSqlRecord rec = Backend::tableRecord(table);
    return rec.isEmpty() ? Backend::tableRecord(table.toLower()) : rec;
}

QStringList PgBackend::primaryKey(const QString &table) const
{
    const QStringList keys = Backend::primaryKey(table);
    return keys.isEmpty() ? Backend::primaryKey(table.toLower()) : keys;
}

QHash<QString, QString> PgBackend::declaredTypes(const QString &, const QSqlRecord &columns) const
{
    // The server's type numbers (pg_type): bpchar and text.
    enum { Bpchar = 1042, Text = 25 };
    QHash<QString, QString> types;
    for (int i = 0; i < columns.count(); ++i) {
        const QSqlField f = columns.field(i);
        if (f.typeID() == Bpchar)
            types.insert(f.name().toLower(), QStringLiteral("bpchar"));
        else if (f.typeID() == Text)
            types.insert(f.name().toLower(), QStringLiteral("text"));
    }
    return types;
}

std::vector<std::function<void()>> PgBackend::upgradeSteps()
{
    return {
        // The index the repairs of a period are found by; older databases lack it.
        [this] {
            QSqlQuery q(connection());
            exec(q, QStringLiteral("CREATE INDEX IF NOT EXISTS remont_nach ON remont (nach_rem, id)"));
        },
        [this] { widenArchivePaths(); },
        [this] { addHistoryTable(); },
        [this] { installHistoryTriggers(); },
    };
}

void PgBackend::widenArchivePaths()
{
    // The register of archives held 50 characters of path, less than a folder in the user's
    // data folder takes.
    QSqlQuery q(connection());
    exec(q, QStringLiteral("SELECT character_maximum_length FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name = 'exp_data' "
                           "AND column_name = 'path'"));
    if (!q.next() || q.value(0).isNull() || q.value(0).toInt() >= 255)
        return;
    q.finish();
    // Without COLLATE the column would take the type's default collation.
    exec(q, QStringLiteral("ALTER TABLE exp_data ALTER COLUMN path TYPE varchar(255) COLLATE ci"));
}
