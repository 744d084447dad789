#include "storage/Backend.h"

#include "core/Errors.h"
#include "storage/ErrorText.h"
#include "storage/PgBackend.h"
#include "storage/SqliteBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <map>

namespace {
QString g_databaseName = QStringLiteral("org_tech");

// "[org_tech]", "org_tech" or "\"org_tech\"": the name inside.
QString bareName(QString name)
{
    name = name.trimmed();
    if ((name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) ||
        (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))))
        name = name.mid(1, name.size() - 2);
    return name;
}

// The script names the program's database by its own name; tests may give it another.
QString mappedName(const QString &name)
{
    return name.compare(QLatin1String("org_tech"), Qt::CaseInsensitive) == 0 ? g_databaseName : name;
}

// The path with its folder's links resolved, for files that may not exist yet.
QString resolved(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}
}  // namespace

bool Backend::isEmbeddedDatabaseFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString target = resolved(path);
    const QString database = SqliteBackend::fileFor(databaseName());
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        if (target == resolved(database + QLatin1String(suffix)))
            return true;
    return false;
}

QStringList Backend::batchesOf(const QString &scriptText)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList batches;
    QString batch;
    for (const QString &line : scriptText.split(lineBreak)) {
        // Trimming takes off blanks and control characters at both ends.
        int b = 0, e = line.size();
        while (b < e && line.at(b).unicode() <= 32)
            ++b;
        while (e > b && line.at(e - 1).unicode() <= 32)
            --e;
        const QString trimmed = line.mid(b, e - b);
        if (trimmed.isEmpty())
            continue;
        if (trimmed == QLatin1String("GO")) {
            batches.append(batch);
            batch.clear();
        } else {
            batch += QStringLiteral("\r\n ") + trimmed;
        }
    }
    return batches;
}

void Backend::addHistoryTable()
{
    if (!tableRecord(QStringLiteral("history")).isEmpty())
        return;
    QFile f(scriptResource());
    if (!f.open(QIODevice::ReadOnly))
        throw FileError(
            QCoreApplication::translate("Backend", "Не найден сценарий создания базы данных %1").arg(f.fileName()));
    static const QRegularExpression ofHistory(
        QStringLiteral("^\\s*(CREATE TABLE history|CREATE INDEX history_\\w+ ON history)\\b"),
        QRegularExpression::MultilineOption);
    QSqlDatabase db = connection();
    if (!db.transaction())
        throw DbError(userText(db.lastError()));
    try {
        // Another copy may have made it meanwhile: its table stops this one's.
        for (const QString &batch : batchesOf(QString::fromUtf8(f.readAll())))
            if (ofHistory.match(batch).hasMatch())
                execStatement(batch);
        if (!db.commit())
            throw DbError(userText(db.lastError()));
    } catch (...) {
        db.rollback();
        throw;
    }
}

void Backend::upgradeTables()
{
    for (const auto &step : upgradeSteps()) {
        try {
            step();
        } catch (const TavrellError &) {
        }
    }
}

QString Backend::orderTerm(const QString &expr, bool descending)
{
    return expr + (descending ? QLatin1String(" DESC NULLS LAST") : QLatin1String(" NULLS FIRST"));
}

bool Backend::isLocalServer(const QString &serverName)
{
    return serverName.trimmed().compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0;
}

std::unique_ptr<Backend> Backend::forServer(const QString &serverName, const QString &connectionName)
{
    if (isLocalServer(serverName))
        return std::make_unique<SqliteBackend>(connectionName);
    return std::make_unique<PgBackend>(serverName, connectionName);
}

QString Backend::databaseName() { return g_databaseName; }
void Backend::setDatabaseName(const QString &name) { g_databaseName = name; }

QSqlDatabase Backend::connection() const { return QSqlDatabase::database(m_connectionName, false); }

void Backend::prepare(QSqlQuery &q, const QString &sql)
{
    if (!q.prepare(sql))
        throw DbError(userText(q.lastError()));
}

void Backend::exec(QSqlQuery &q, const QString &what)
{
    const bool ok = what.isNull() ? q.exec() : q.exec(what);
    if (!ok)
        throw DbError(userText(q.lastError()));
}

QSqlRecord Backend::tableRecord(const QString &table) const { return connection().record(table); }

QStringList Backend::primaryKey(const QString &table) const
{
    const QSqlIndex pk = connection().primaryIndex(table);
    QStringList keys;
    for (int i = 0; i < pk.count(); ++i)
        keys.append(pk.fieldName(i));
    return keys;
}

QHash<QString, QString> Backend::declaredTypes(const QString &, const QSqlRecord &) const { return {}; }

int Backend::columnSize(const QString &table, const QString &column) const
{
    const QSqlRecord rec = tableRecord(table);
    const int i = rec.indexOf(column);
    if (i < 0)
        return 0;
    static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)\\)"));
    const auto m = sizeRe.match(declaredTypes(table, rec).value(column.toLower()));
    if (m.hasMatch())
        return m.captured(1).toInt();
    return rec.field(i).length() > 0 ? rec.field(i).length() : 0;
}

Backend *Backend::forConnection(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return nullptr;
    const QString driver = QSqlDatabase::database(connectionName, false).driverName();
    // One per connection and driver: a connection's name may come back with another driver.
    static std::map<std::pair<QString, QString>, std::unique_ptr<Backend>> made;
    std::unique_ptr<Backend> &b = made[{connectionName, driver}];
    if (!b) {
        if (driver == QLatin1String("QSQLITE"))
            b = std::make_unique<SqliteBackend>(connectionName);
        else if (driver == QLatin1String("QPSQL"))
            b = std::make_unique<PgBackend>(QString(), connectionName);
        else
            return nullptr;
    }
    return b.get();
}

QString Backend::serverText(const QSqlError &e) { return ErrorText::serverText(e); }

QString Backend::userText(const QSqlError &e) { return ErrorText::forUser(e); }

namespace {
const QRegularExpression &createDb()
{
    static const QRegularExpression re(QStringLiteral("^\\s*CREATE\\s+DATABASE\\s+(\\S+)\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}
const QRegularExpression &useDb()
{
    static const QRegularExpression re(QStringLiteral("^\\s*use\\s+(\\S+)\\s*;?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}
}  // namespace

bool Backend::choosesDatabase(const QString &batch)
{
    return createDb().match(batch).hasMatch() || useDb().match(batch).hasMatch();
}

void Backend::execBatch(const QString &batch)
{
    // T-SQL session options: nothing on our backends answers to them.
    static const QRegularExpression setOption(
        QStringLiteral("^\\s*SET\\s+(QUOTED_IDENTIFIER|ANSI_NULLS)\\s+(ON|OFF)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);

    QRegularExpressionMatch m = createDb().match(batch);
    if (m.hasMatch()) {
        const QString name = mappedName(bareName(m.captured(1)));
        if (m_intoExisting)
            prepareDatabase(name);
        else
            createDatabase(name);
        return;
    }
    m = useDb().match(batch);
    if (m.hasMatch()) {
        useDatabase(mappedName(bareName(m.captured(1))));
        return;
    }
    if (setOption.match(batch).hasMatch())
        return;
    execStatement(batch);
}

void Backend::readRows(QSqlQuery &q, const QVector<ReadColumn> &columns, std::vector<QVector<QVariant>> &rows) const
{
    readRowsByDriver(q, columns, rows);
}

void Backend::readRowsByDriver(QSqlQuery &q, const QVector<ReadColumn> &columns, std::vector<QVector<QVariant>> &rows)
{
    const int n = columns.size();
    while (q.next()) {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c)
            if (columns[c].source >= 0)
                row[c] = q.value(columns[c].source);
        rows.push_back(std::move(row));
    }
    const QSqlError error = q.lastError();
    q.finish();
    // A read that stops before its end is no shorter list.
    if (error.isValid())
        throw DbError(userText(error));
}

void Backend::beginScript() {}
void Backend::prepareDatabase(const QString &) {}
void Backend::endScript() {}
