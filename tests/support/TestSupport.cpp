#include "TestSupport.h"

#include "core/Errors.h"
#include "db/TDataSet.h"
#include "storage/PgBackend.h"
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTest>
#include <atomic>
#include <ctime>
#if defined(Q_OS_LINUX)
#include <sys/fsuid.h>
#include <unistd.h>
#endif

namespace {
// The program looks for an existing copy's files in the user's data folder too, and keeps
// mail attachments in his cache folder: every test program gets fresh ones of its own (closed
// to others), so that the tester's own files are neither read nor written.
struct FreshUserDataFolder {
    QTemporaryDir dir;
    QTemporaryDir cache;
    FreshUserDataFolder()
    {
        if (dir.isValid())
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        if (cache.isValid())
            qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    }
};
FreshUserDataFolder g_freshUserDataFolder;
}  // namespace

ScriptedDialogs::ScriptedDialogs() { Seams::setDialogs(this); }
ScriptedDialogs::~ScriptedDialogs() { Seams::setDialogs(nullptr); }

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Message &m : messages)
        out << m.text;
    return out;
}

void ScriptedDialogs::clear()
{
    messages.clear();
    answers.clear();
    dialogs.clear();
    execLog.clear();
}

int ScriptedDialogs::message(Icon icon, const QString &caption, const QString &text, int buttons, int)
{
    messages.append({icon, caption, text, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    // Unanswered: the affirmative button.
    for (int b : {Yes, Ok, No, Cancel})
        if (buttons & b)
            return b;
    return Ok;
}

int ScriptedDialogs::exec(QDialog &dialog)
{
    execLog << dialog.objectName();
    if (dialogs.isEmpty())
        return QDialog::Rejected;
    return dialogs.dequeue()(dialog);
}

bool ScriptedDialogs::chooseFont(QFont &font, QColor &color, QWidget *)
{
    offeredFontColors << color;
    if (fonts.isEmpty())
        return false;
    font = fonts.dequeue();
    if (!fontColors.isEmpty())
        color = fontColors.dequeue();
    return true;
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &title, const QString &filter, const QString &)
{
    saveTitles << title;
    saveFilters << filter;
    return saveNames.isEmpty() ? QString() : saveNames.dequeue();
}

FixedClock::FixedClock(const QDateTime &t) : current(t) { Seams::setClock(this); }
FixedClock::~FixedClock() { Seams::setClock(nullptr); }

LocalTimeZone::LocalTimeZone(const char *tz) : m_old(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ"))
{
    qputenv("TZ", tz);
    tzset();
}

LocalTimeZone::~LocalTimeZone()
{
    if (m_wasSet)
        qputenv("TZ", m_old);
    else
        qunsetenv("TZ");
    tzset();
}

QString testPgServer() { return qEnvironmentVariable(PgServerVariable); }

void addBackendColumn() { QTest::addColumn<QString>("backend"); }

void addBackendCase(const char *name, const std::function<void(QTestData &)> &fill)
{
    for (const char *backend : {"sqlite", "postgres"}) {
        QTestData &row = *name ? QTest::addRow("%s: %s", backend, name) : QTest::newRow(backend);
        row << QString::fromLatin1(backend);
        if (fill)
            fill(row);
    }
}

TestDb::TestDb(const QString &backend) : m_backend(backend)
{
    static std::atomic<int> counter{0};
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    Seams::setProgramFolder(m_dir.path());
    if (isPostgres()) {
        m_server = testPgServer();
        if (m_server.isEmpty()) {
            m_error = QStringLiteral("TAVRELL_TEST_PGSERVER is not set");
            return;
        }
        m_dbName = QStringLiteral("tavrell_t%1_%2_%3")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QDateTime::currentMSecsSinceEpoch() % 100000000)
                       .arg(counter++);
        Backend::setDatabaseName(m_dbName);
    } else {
        m_server = QStringLiteral("(local)");
        Backend::setDatabaseName(QStringLiteral("org_tech"));
    }
    ScriptedDialogs dialogs;
    m_dm = std::make_unique<Tdm>();
    dm = m_dm.get();
    try {
        dm->connectToServer(m_server);
        dm->CreateDatabase();
    } catch (const TavrellError &e) {
        m_error = e.message();
        return;
    }
    if (!dialogs.messages.isEmpty())
        m_error = QStringLiteral("creating the database showed: ") + dialogs.texts().join(QStringLiteral(" | "));
}

void dropPgDatabase(const QString &name, const QString &server)
{
    const QString connection = QStringLiteral("tavrell_test_drop");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setConnectOptions(PgBackend::connectionString(server, QStringLiteral("postgres")));
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

TestDb::~TestDb()
{
    m_dm.reset();
    dm = nullptr;
    if (isPostgres() && !m_dbName.isEmpty() && !m_server.isEmpty())
        dropPgDatabase(m_dbName, m_server);
    Backend::setDatabaseName(QStringLiteral("org_tech"));
    Seams::setProgramFolder(QString());
}

QSqlQuery TestDb::query(const QString &sql) const
{
    QSqlQuery q(m_dm->connection());
    if (!q.exec(sql))
        qWarning("query failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

QVariant TestDb::scalar(const QString &sql) const
{
    QSqlQuery q = query(sql);
    return q.next() ? q.value(0) : QVariant();
}

AsOrdinaryUser::AsOrdinaryUser()
{
#if defined(Q_OS_LINUX)
    if (::geteuid() != 0)
        return;
    constexpr int nobody = 65534;
    setfsuid(nobody);
    m_switched = true;
    m_ok = setfsuid(nobody) == nobody;  // the call answers with the id in force
#endif
}

AsOrdinaryUser::~AsOrdinaryUser()
{
#if defined(Q_OS_LINUX)
    if (m_switched)
        setfsuid(0);
#endif
}

void AsOrdinaryUser::openUp(const QString &folder)
{
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
}

std::unique_ptr<TDataSet> TestDb::itemTable()
{
    auto t = std::make_unique<TDataSet>();
    t->setObjectName(QStringLiteral("Items"));
    t->setTableName(QStringLiteral("izdel"));
    t->addField(QStringLiteral("id"), FieldType::Integer);
    t->addField(QStringLiteral("Name"), FieldType::String, 30);
    t->addField(QStringLiteral("Proizvod"), FieldType::String, 30);
    t->addField(QStringLiteral("D_vup"), FieldType::DateTime);
    t->addField(QStringLiteral("Seria"), FieldType::String, 12);
    t->addField(QStringLiteral("Nomer"), FieldType::String, 15).setDisplayLabel(QStringLiteral("Номер"));
    t->addField(QStringLiteral("CurState"), FieldType::Integer);
    t->addField(QStringLiteral("otdel"), FieldType::Integer);
    for (const char *d : {"D_pred", "D_sled", "D_otpr", "D_poluh"})
        t->addField(QString::fromLatin1(d), FieldType::DateTime);
    t->addField(QStringLiteral("form"), FieldType::FixedChar, 3);
    t->addField(QStringLiteral("Info"), FieldType::Memo);
    t->addField(QStringLiteral("Resurs"), FieldType::FixedChar, 10).setDisplayLabel(QStringLiteral("Ресурс"));
    t->addLookupField(QStringLiteral("Отдел"), QStringLiteral("otdel"), dm->TblOtdel, QStringLiteral("id"),
                      QStringLiteral("Name"), 65)
        .setDisplayLabel(QStringLiteral("Отдел"));
    return t;
}
