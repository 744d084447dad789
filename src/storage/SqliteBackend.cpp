#include "storage/SqliteBackend.h"
#include "storage/TextPool.h"

#include "core/DayTime.h"
#include "core/Errors.h"
#include "core/PrivateFiles.h"
#include "core/Seams.h"
#include "core/Session.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QThread>
#include <algorithm>
#include <iterator>
#include <sqlite3.h>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// An empty password is an empty text: a null one the driver would send matches nothing.
QString nonNull(const QString &s) { return s.isNull() ? QStringLiteral("") : s; }

QString tr(const char *text) { return QCoreApplication::translate("SqliteBackend", text); }

// The program's text order and comparison, named in its queries (never in the file's schema,
// so that any SQLite tool reads the file): every letter without regard to case, Cyrillic
// included, alphabetically, as the shared server's collation does. That one is ICU's root
// order (Latin before Cyrillic, digits first), which English has untailored; the Russian
// tailoring would put Cyrillic first and list mixed names otherwise than the server.
int compareRussianCi(void *, int len1, const void *s1, int len2, const void *s2)
{
    static QCollator collator = [] {
        QCollator c{QLocale(QLocale::English, QLocale::UnitedStates)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const QString a = QString::fromUtf8(static_cast<const char *>(s1), len1);
    const QString b = QString::fromUtf8(static_cast<const char *>(s2), len2);
    const int r = collator.compare(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// The busy cursor is shown once per wait on the program's own thread and taken away when the
// wait gives up, or when control is back in the event loop after a wait that succeeded.
thread_local bool t_busyShown = false;

void restoreBusyCursor()
{
    if (!t_busyShown)
        return;
    t_busyShown = false;
    Seams::busyCursor().restore();
}

void showBusyCursor()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (t_busyShown || !app || QThread::currentThread() != app->thread())
        return;
    t_busyShown = true;
    Seams::busyCursor().show();
    QMetaObject::invokeMethod(
        app, [] { restoreBusyCursor(); }, Qt::QueuedConnection);
}

// Another copy is writing: retry for a few seconds at most, then give up with SQLITE_BUSY.
int waitWhileBusy(void *, int count)
{
    static thread_local QElapsedTimer since;
    if (count == 0) {
        since.start();
        showBusyCursor();
    }
    const qint64 waited = since.elapsed();
    if (waited >= Backend::BusyWaitMs) {
        restoreBusyCursor();
        return 0;
    }
    // Short naps first: another copy's change is usually through in a moment.
    static const int naps[] = {1, 2, 5, 10, 15, 20};
    const int nap = count < int(std::size(naps)) ? naps[count] : 25;
    sqlite3_sleep(int(std::min<qint64>(nap, Backend::BusyWaitMs - waited)));
    return 1;
}

// PRAGMA user_version of a file whose indexes follow SQLite's own collations. Files made
// before it had their text indexes ordered by the program's redefinition of NOCASE, which
// other tools read as a damaged file; they are re-indexed once, on first open.
constexpr int StockIndexesVersion = 1;

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(v.data());
    return nullptr;
}

void pragma(QSqlDatabase &db, const QString &text)
{
    QSqlQuery q(db);
    if (!q.exec(text))
        throw DbError(Backend::userText(q.lastError()));
}

// The reason in words for an SQLite result code met while opening a database file.
QString openFailure(int rc, const char *sqliteText)
{
    QString reason;
    switch (rc & 0xff) {
    case SQLITE_CANTOPEN:
        reason = tr("файл не открывается: нужны права на чтение и запись этого файла и папки, в которой он "
                    "лежит (рядом с ним создаются служебные файлы -wal и -shm)");
        break;
    case SQLITE_READONLY:
        reason = tr("файл доступен только для чтения: нужны права на запись этого файла и папки, в которой он лежит");
        break;
    case SQLITE_PERM:
    case SQLITE_AUTH: reason = tr("нет доступа к файлу"); break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: reason = tr("файл поврежден или не является базой данных"); break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: reason = tr("база данных занята другой программой"); break;
    default: return QString::fromUtf8(sqliteText);
    }
    return reason + QStringLiteral(" (") + QString::fromUtf8(sqliteText) + QLatin1Char(')');
}

// Why an existing file cannot serve as the program's database; empty when it can. Asks
// SQLite itself: only SQLite may open the database's files (another descriptor closed in
// this process would drop SQLite's locks on them). Writes nothing to the file.
QString unusableReason(const QString &file, bool needTables)
{
#if defined(Q_OS_UNIX)
    // SQLite would open a file it may not write read-only, and make its -wal and -shm
    // beside it before saying so: a start that is refused leaves the folder as it was.
    const QByteArray path = QFile::encodeName(file);
    if (::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return openFailure(SQLITE_READONLY, "readonly database");
#endif
    sqlite3 *h = nullptr;
    int rc = sqlite3_open_v2(file.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr);
    QString reason;
    if (rc != SQLITE_OK) {
        reason = openFailure(rc, h ? sqlite3_errmsg(h) : sqlite3_errstr(rc));
    } else {
        sqlite3_busy_timeout(h, Backend::BusyWaitMs);
        // Reading the schema reads the file's header (and in WAL mode needs the -shm file).
        sqlite3_stmt *st = nullptr;
        rc = sqlite3_prepare_v2(h,
                                "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE "
                                "IN ('ids', 'users', 'izdel', 'States')",
                                -1, &st, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(st);
        if (rc != SQLITE_ROW)
            reason = openFailure(rc, sqlite3_errmsg(h));
        else if (needTables && sqlite3_column_int(st, 0) != 4)
            reason = tr("файл не является базой данных этой программы (в нем нет ее таблиц)");
        else if (sqlite3_db_readonly(h, "main") == 1)
            reason = openFailure(SQLITE_READONLY, "readonly database");
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return reason;
}

}  // namespace

SqliteBackend::SqliteBackend(const QString &connectionName) : Backend(connectionName) {}

SqliteBackend::~SqliteBackend() = default;

QString SqliteBackend::fileFor(const QString &name)
{
    return QDir(Seams::dataFolder()).filePath(name + QStringLiteral(".sqlite"));
}

void SqliteBackend::openFile(QSqlDatabase &db, const QString &file, bool enforceKeys)
{
    db.close();
    db.setDatabaseName(file);
    db.setConnectOptions(QString());
    if (!db.open())
        throw DbError(userText(db.lastError()));
    sqlite3 *h = handleOf(db);
    if (!h) {
        db.close();
        throw DbError(tr("Драйвер встроенной базы данных не найден"));
    }
    sqlite3_create_collation_v2(h, RussianCi, SQLITE_UTF8, nullptr, compareRussianCi, nullptr);
    sqlite3_busy_handler(h, waitWhileBusy, nullptr);
    registerHistoryFunctions(h);
    pragma(db, QStringLiteral("PRAGMA foreign_keys = %1").arg(enforceKeys ? "ON" : "OFF"));
    // Readers never block the writer and the writer never blocks readers; a reader holds
    // nothing once its rows are read.
    pragma(db, QStringLiteral("PRAGMA journal_mode = WAL"));
    pragma(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
    // Touches the schema: a file that is not a database fails here, not later.
    pragma(db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    reindexOldFile(db);
}

int SqliteBackend::fileVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        throw DbError(userText(q.lastError()));
    return q.value(0).toInt();
}

void SqliteBackend::reindexOldFile(QSqlDatabase &db)
{
    if (fileVersion(db) >= StockIndexesVersion)
        return;
    QSqlQuery q(db);
    // An empty file is a database being created: the creation script marks it at its end.
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        throw DbError(userText(q.lastError()));
    if (q.value(0).toInt() == 0)
        return;
    q.finish();
    // Another copy may be doing the same: the write lock decides, and the mark is read again.
    pragma(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        if (fileVersion(db) < StockIndexesVersion) {
            pragma(db, QStringLiteral("REINDEX"));
            pragma(db, QStringLiteral("PRAGMA user_version = %1").arg(StockIndexesVersion));
        }
        pragma(db, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery rollback(db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

QString SqliteBackend::russianCi(const QString &expr) const
{
    return expr + QStringLiteral(" COLLATE ") + QLatin1String(RussianCi);
}

void SqliteBackend::open()
{
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!db.isValid())
        throw DbError(tr("Драйвер встроенной базы данных не найден"));
    // Connected, but in no database yet: "use" chooses the file.
    db.close();
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (!db.open())
        throw DbError(userText(db.lastError()));
}

void SqliteBackend::useDatabase(const QString &name)
{
    const QString file = fileFor(name);
    const QString shown = QDir::toNativeSeparators(file);
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        throw DatabaseMissingError(tr("База данных \"%1\" не существует (файл %2)").arg(name, shown));
    // The file is there: whatever is wrong with it, it is not to be created again. Within
    // the creation script the tables are yet to come.
    QString reason = info.isFile() ? unusableReason(file, !m_inScript) : tr("это не файл");
    if (reason.isEmpty()) {
        QSqlDatabase db = connection();
        try {
            openFile(db, file, !m_inScript);
            // Within the creation script the tables are yet to come: made at its end.
            if (!m_inScript)
                installHistoryTriggers(db);
        } catch (const DbError &e) {
            reason = e.message();
        }
    }
    if (!reason.isEmpty())
        throw DbError(tr("Не удается открыть базу данных %1: %2").arg(shown, reason));
}

void SqliteBackend::createDatabase(const QString &name)
{
    const QString file = fileFor(name);
    const QString shown = QDir::toNativeSeparators(file);
    const QFileInfo info(file);
    if (info.exists() || info.isSymLink())
        throw DbError(tr("База данных \"%1\" уже существует (файл %2)").arg(name, shown));
    const QString tmpName = m_connectionName + QStringLiteral("_create");
    QString error;
    // The user's data folder may not be there yet; what fails here shows in the open below.
    PrivateFiles::makePath(info.absolutePath());
    {
        // Its -wal and -shm take the file's mode from it.
        const PrivateFiles::Scope privately(file);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), tmpName);
        try {
            openFile(db, file, true);
        } catch (const DbError &e) {
            error = e.message();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(tmpName);
    if (!error.isEmpty()) {
        // What was made of it is no database: the next start must not take it for one.
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(file + QLatin1String(suffix));
        throw DbError(tr("Не удается создать базу данных %1: %2").arg(shown, error));
    }
}

void SqliteBackend::execStatement(const QString &sql)
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    exec(q, sql);
}

void SqliteBackend::beginScript()
{
    // Rows are inserted before the keys that check them, as on the server; the keys are
    // checked once the script is through.
    m_inScript = true;
    QSqlDatabase db = connection();
    if (db.isOpen())
        pragma(db, QStringLiteral("PRAGMA foreign_keys = OFF"));
}

void SqliteBackend::endScript()
{
    m_inScript = false;
    QSqlDatabase db = connection();
    if (!db.isOpen() || db.databaseName() == QLatin1String(":memory:"))
        return;
    // Built with SQLite's own collations from the start: nothing to re-index on opening.
    pragma(db, QStringLiteral("PRAGMA user_version = %1").arg(StockIndexesVersion));
    // The seed rows are no change anybody made.
    installHistoryTriggers(db);
    pragma(db, QStringLiteral("PRAGMA foreign_keys = ON"));
    QSqlQuery q(db);
    exec(q, QStringLiteral("PRAGMA foreign_key_check"));
    QStringList broken;
    while (q.next())
        broken << tr("таблица %1, строка %2 ссылается на %3")
                      .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    if (!broken.isEmpty())
        throw DbError(tr("Нарушены внешние ключи: %1").arg(broken.join(QStringLiteral("; "))));
}

template <typename Fn> void SqliteBackend::writeTransaction(Fn body)
{
    QSqlDatabase db = connection();
    QSqlQuery begin(db);
    exec(begin, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        body(db);
        QSqlQuery commit(db);
        exec(commit, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery rollback(db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

int SqliteBackend::getId(const QString &name)
{
    int newId = 0;
    writeTransaction([&](QSqlDatabase &db) {
        const QString upper = name.toUpper();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT LastId FROM ids WHERE TblName = :name"));
        q.bindValue(QStringLiteral(":name"), upper);
        exec(q);
        if (!q.next()) {
            q.finish();
            QSqlQuery ins(db);
            ins.prepare(QStringLiteral("INSERT INTO ids VALUES (:name, 1)"));
            ins.bindValue(QStringLiteral(":name"), upper);
            exec(ins);
            newId = 1;
            return;
        }
        newId = q.value(0).toInt() + 1;
        q.finish();
        QSqlQuery upd(db);
        upd.prepare(QStringLiteral("UPDATE ids SET LastId = LastId + 1 WHERE TblName = :name"));
        upd.bindValue(QStringLiteral(":name"), upper);
        exec(upd);
    });
    return newId;
}

void SqliteBackend::addToLog(const QDateTime &dt, int action, int userId)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("INSERT INTO UserLog (dt, usr, LogAction) VALUES (:dt, :usr, :action)"));
    q.bindValue(QStringLiteral(":dt"), toDb(dt));
    q.bindValue(QStringLiteral(":usr"), userId);
    q.bindValue(QStringLiteral(":action"), action);
    exec(q);
}

void SqliteBackend::changePassword(int userId, const QDateTime &dt, const QString &passw)
{
    if (passw.size() > 20)
        throw DbError(tr("Пароль длиннее 20 символов"));
    writeTransaction([&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE users SET passw = :passw WHERE ID = :id"));
        q.bindValue(QStringLiteral(":passw"), nonNull(passw));
        q.bindValue(QStringLiteral(":id"), userId);
        exec(q);
        addToLog(dt, LogAction::PasswordChange, userId);
    });
}

QVariant SqliteBackend::getLastLogin(const QString &login)
{
    QSqlQuery q(connection());
    q.prepare(
        QStringLiteral("SELECT max(LastEnter) FROM users WHERE %1 = :login").arg(russianCi(QStringLiteral("login"))));
    q.bindValue(QStringLiteral(":login"), login);
    exec(q);
    if (!q.next() || q.value(0).isNull())
        return QVariant();
    const QDateTime dt = dateTimeFromDb(q.value(0));
    return dt.isValid() ? QVariant(dt) : QVariant();
}

int SqliteBackend::login(const QString &login, const QString &passw, const QDateTime &dt, QVariant &tp)
{
    int res = 0;
    tp = QVariant();
    writeTransaction([&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT ID, tp FROM users WHERE %1 = :login AND %2 = :passw")
                      .arg(russianCi(QStringLiteral("login")), russianCi(QStringLiteral("passw"))));
        q.bindValue(QStringLiteral(":login"), login);
        q.bindValue(QStringLiteral(":passw"), nonNull(passw));
        exec(q);
        if (!q.next())
            return;
        res = q.value(0).toInt();
        tp = q.value(1);
        q.finish();
        QSqlQuery upd(db);
        upd.prepare(QStringLiteral("UPDATE users SET LastEnter = :dt WHERE ID = :id"));
        upd.bindValue(QStringLiteral(":dt"), toDb(dt));
        upd.bindValue(QStringLiteral(":id"), res);
        exec(upd);
        addToLog(dt, LogAction::Login, res);
    });
    if (res == 0)
        tp = QVariant();
    return res;
}

// The dates this program stores ("yyyy-MM-dd HH:mm:ss.zzz", or its date alone, or without
// the milliseconds), read and written by hand: a list or an archive meets thousands of
// them, and the general date parser and formatter cost microseconds each. Anything else
// gives an invalid result and goes the general way.
namespace {

// Over the text's characters as they come: UTF-16 from a text, or the bytes as stored.
template <typename Char> QDateTime readStoredDateOf(const Char *s, qsizetype n)
{
    if (n != 10 && n != 19 && n != 23)
        return QDateTime();
    bool ok = true;
    auto number = [&](qsizetype from, int digits) {
        int v = 0;
        for (int i = 0; i < digits; ++i) {
            const auto c = char16_t(s[from + i]);
            if (c < u'0' || c > u'9')
                ok = false;
            v = v * 10 + (c - u'0');
        }
        return v;
    };
    auto is = [&](qsizetype at, char16_t c) {
        if (char16_t(s[at]) != c)
            ok = false;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    is(4, u'-');
    is(7, u'-');
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (n >= 19) {
        is(10, u' ');
        hour = number(11, 2);
        is(13, u':');
        minute = number(14, 2);
        is(16, u':');
        second = number(17, 2);
    }
    if (n == 23) {
        is(19, u'.');
        msec = number(20, 3);
    }
    if (!ok)
        return QDateTime();
    return DayTime::ofParts(year, month, day, hour, minute, second, msec);
}

}  // namespace

QDateTime SqliteBackend::readStoredDate(QStringView s) { return readStoredDateOf(s.utf16(), s.size()); }

QDateTime SqliteBackend::readStoredDate(const char *bytes, qsizetype size)
{
    return readStoredDateOf(reinterpret_cast<const unsigned char *>(bytes), size);
}

namespace {

QString writeStoredDate(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    if (d.year() < 1 || d.year() > 9999)
        return dt.toString(QLatin1String(SqliteBackend::DateTimeFormat));
    char text[24];
    auto put = [&](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char('0' + value % 10);
    };
    put(0, d.year(), 4);
    text[4] = '-';
    put(5, d.month(), 2);
    text[7] = '-';
    put(8, d.day(), 2);
    text[10] = ' ';
    put(11, t.hour(), 2);
    text[13] = ':';
    put(14, t.minute(), 2);
    text[16] = ':';
    put(17, t.second(), 2);
    text[19] = '.';
    put(20, t.msec(), 3);
    return QString::fromLatin1(text, 23);
}

}  // namespace

QVariant SqliteBackend::toDb(const QDateTime &dt) const
{
    const QDateTime day = DayTime::of(dt);
    if (!day.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return writeStoredDate(day);
}

QDateTime SqliteBackend::dateTimeFromDb(const QVariant &v) const
{
    if (v.isNull() || !v.isValid())
        return QDateTime();
    if (v.metaType().id() == QMetaType::QDateTime)
        return DayTime::of(v.toDateTime());
    const QString s = v.toString().trimmed();
    const QDateTime stored = readStoredDate(s);
    if (stored.isValid())
        return stored;
    static const char *const formats[] = {"yyyy-MM-dd HH:mm:ss.zzz",
                                          "yyyy-MM-dd HH:mm:ss",
                                          "yyyy-MM-ddTHH:mm:ss.zzz",
                                          "yyyy-MM-ddTHH:mm:ss",
                                          "yyyyMMdd HH:mm:ss",
                                          "yyyy-MM-dd HH:mm",
                                          "yyyy-MM-dd"};
    for (const char *f : formats) {
        // Read as UTC: a local reading of a skipped midnight would not exist.
        const QDateTime dt = DayTime::utcFromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

QHash<QString, QString> SqliteBackend::declaredTypes(const QString &table, const QSqlRecord &) const
{
    QHash<QString, QString> types;
    if (table.isEmpty())
        return types;
    QSqlQuery info(connection());
    if (info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        while (info.next())
            types.insert(info.value(1).toString().toLower(), info.value(2).toString());
    return types;
}

std::vector<std::function<void()>> SqliteBackend::upgradeSteps()
{
    return {
        // The index the repairs of a period are found by; older databases lack it.
        [this] {
            QSqlQuery q(connection());
            exec(q, QStringLiteral("CREATE INDEX IF NOT EXISTS remont_nach ON remont (Nach_rem, id)"));
        },
        [this] { widenArchivePaths(); },
        [this] { addHistoryTable(); },
    };
}

void SqliteBackend::widenArchivePaths()
{
    // The register of archives held 50 characters of path, less than a folder in the user's
    // data folder takes. SQLite keeps the declared type (field sizes are read from it) and
    // checks the length, so the table is made again as the creation script makes it now.
    auto declaredPath = [](QSqlDatabase &db) {
        QSqlQuery q(db);
        exec(q, QStringLiteral("SELECT type FROM pragma_table_info('exp_data') WHERE name = 'path'"));
        return q.next() ? q.value(0).toString().toLower().remove(QLatin1Char(' ')) : QString();
    };
    QSqlDatabase db = connection();
    if (declaredPath(db) != QLatin1String("varchar(50)"))
        return;
    writeTransaction([&](QSqlDatabase &db) {
        // Another copy may have done it meanwhile: the write lock decides.
        if (declaredPath(db) != QLatin1String("varchar(50)"))
            return;
        QSqlQuery q(db);
        // The old table steps aside first, so that the new one is made under its own name
        // with its own primary key, exactly as in a new database.
        exec(q, QStringLiteral("ALTER TABLE exp_data RENAME TO exp_data_old"));
        exec(q, QStringLiteral("CREATE TABLE exp_data (\n"
                               " dt datetime NOT NULL,\n"
                               " tp int,\n"
                               " path varchar(255) COLLATE NOCASE CHECK (length(path) <= 255),\n"
                               " CONSTRAINT PK_exp_data PRIMARY KEY (dt),\n"
                               " CONSTRAINT FK_exp_data_kl_exp_tp FOREIGN KEY (tp) REFERENCES kl_exp_tp (id) "
                               "ON DELETE NO ACTION\n"
                               ")"));
        exec(q, QStringLiteral("INSERT INTO exp_data (dt, tp, path) SELECT dt, tp, path FROM exp_data_old"));
        exec(q, QStringLiteral("DROP TABLE exp_data_old"));
    });
}
