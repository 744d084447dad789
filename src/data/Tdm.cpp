#include "data/Tdm.h"

#include "core/Errors.h"
#include "core/MsgBox.h"
#include "core/PrivateFiles.h"
#include "core/Seams.h"
#include "data/conn.h"
#include "db/TDataSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>

Tdm *dm = nullptr;

static void initScripts() { Q_INIT_RESOURCE(scripts); }

Tdm::Tdm(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("dm"));
    initScripts();
    createSharedDataSets(this);
}

Tdm::~Tdm()
{
    const bool hadConnection = QSqlDatabase::contains(QLatin1String(ConnectionName));
    TDataSet::setDefaultBackend(nullptr);
    m_backend.reset();
    if (hadConnection) {
        QSqlDatabase::database(QLatin1String(ConnectionName), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(ConnectionName));
    }
    if (dm == this)
        dm = nullptr;
}

QSqlDatabase Tdm::connection() const { return QSqlDatabase::database(QLatin1String(ConnectionName), false); }

bool Tdm::isConnected() const { return m_backend && connection().isOpen(); }

Tdm::Outcome Tdm::DataModule1Create()
{
    try {
        return startUp();
    } catch (const TavrellError &e) {
        // Nothing escapes the start: one message, and the program ends.
        ErrorBox(e.message());
    } catch (const std::exception &e) {
        ErrorBox(QString::fromLocal8Bit(e.what()));
    }
    m_exitCode = 1;
    return Outcome::Exit;
}

Tdm::Outcome Tdm::startUp()
{
    // 1. The connection starts closed.
    if (QSqlDatabase::contains(QLatin1String(ConnectionName)))
        connection().close();

    // 2. The settings file in the data folder. One that is there but cannot be read is no
    // first run: asking again would write over the user's settings.
    m_settings = std::make_unique<IniFile>(QDir(Seams::dataFolder()).filePath(QStringLiteral("remont.ini")));
    if (m_settings->state() == IniFile::State::TooLarge || m_settings->state() == IniFile::State::Unreadable) {
        ErrorBox(tr("Не удается прочитать файл настроек %1: %2")
                     .arg(QDir::toNativeSeparators(QFileInfo(m_settings->fileName()).absoluteFilePath()),
                          m_settings->problem()));
        m_exitCode = 1;
        return Outcome::Exit;
    }
    // Settings that cannot be read as text are not missing ones either: a first run here
    // would add a second server beside the one the file names.
    if (const int line = m_settings->unreadableLine(QStringLiteral("main"))) {
        ErrorBox(tr("Не удается прочитать файл настроек %1: раздел [main] не читается как текст "
                    "(в строке %2 нулевой байт)")
                     .arg(QDir::toNativeSeparators(QFileInfo(m_settings->fileName()).absoluteFilePath()))
                     .arg(line));
        m_exitCode = 1;
        return Outcome::Exit;
    }
    QString server = m_settings->readString(QStringLiteral("main"), QStringLiteral("server"), QString());
    // A server named for this run alone: no first-run question, and the settings file is
    // neither asked for nor written.
    if (!m_serverOverride.isEmpty()) {
        server = m_serverOverride;
        m_settings->keepInMemory();
    }
    const bool firstRun = server.isEmpty();

    // 3.-4. The first run asks where the database is.
    bool localCreation = true;
    bool haveServer = !firstRun;
    if (firstRun) {
        TFrmConnect dialog;
        if (Seams::dialogs().exec(dialog) == QDialog::Accepted) {
            server = dialog.Edit1->text();
            localCreation = dialog.RadioButton1->isChecked();
            if (localCreation)
                server = QStringLiteral("(local)");
            haveServer = true;
        }
    }

    // 5. Connect.
    try {
        if (!haveServer || server.trimmed().isEmpty())
            throw DbError(tr("Не задана строка соединения с сервером"));
        useBackend(Backend::forServer(server, QLatin1String(ConnectionName)));
    } catch (const TavrellError &e) {
        ErrorBoxFmt(tr("Не удалось подключится к SQL Server 2000. \r\n"
                       "SQL Server 2000 не установлен, либо неправильно настроен\r\n"
                       "Установки по умолчанию: авторизация Windows NT\r\n"
                       "Сообщение об ошибке %s"),
                    {e.message()});
        m_exitCode = 0;
        return Outcome::Exit;
    }

    // 6. Into the program's database. Only one that does not exist, or one that is there
    // without a single table, is created: one that cannot be opened is reported and left
    // as it is.
    bool missing = false, intoExisting = false;
    try {
        m_backend->execBatch(QStringLiteral("use [org_tech]"));
    } catch (const DatabaseEmptyError &) {
        missing = intoExisting = true;
    } catch (const DatabaseMissingError &) {
        missing = true;
    } catch (const TavrellError &e) {
        ErrorBox(e.message());
        m_exitCode = 1;
        return Outcome::Exit;
    }
    // The embedded database is made without asking, as the first run's choice or the
    // settings say; a server's only when the user agrees.
    if (missing)
        return createProgramDatabase(server, firstRun, !localCreation || !m_backend->isEmbedded(), intoExisting);

    // Whatever cannot be brought up to date now is left for a later start.
    m_backend->upgradeTables();

    // 7. Remember the server.
    if (firstRun && !rememberServer(server))
        return Outcome::Exit;
    return Outcome::Ready;
}

Tdm::Outcome Tdm::createProgramDatabase(const QString &server, bool firstRun, bool ask, bool intoExisting)
{
    const QString shownServer = server.trimmed();
    if (ask) {
        const QString question =
            intoExisting ? tr("База данных [org_tech] на сервере %1 пуста.\r\nСоздать в ней таблицы программы?")
                         : tr("На сервере %1 нет базы данных [org_tech].\r\nСоздать ее?");
        if (!ConfirmBox(question.arg(shownServer))) {
            ErrorBox(tr("Не удалось подключится"));
            m_exitCode = 0;
            return Outcome::Exit;
        }
    }
    try {
        m_backend->setIntoExisting(intoExisting);
        CreateDatabase();
        m_backend->setIntoExisting(false);
    } catch (const TavrellError &e) {
        m_backend->setIntoExisting(false);
        ErrorBox(tr("Не удалось создать базу данных [org_tech].\r\n%1").arg(e.message()));
        m_exitCode = 1;
        return Outcome::Exit;
    }
    if (firstRun && !rememberServer(server))
        return Outcome::Exit;
    if (m_backend->isEmbedded())
        InfoBox(tr("Создана локальная база данных [org_tech]. Запустите программу заново"));
    else if (intoExisting)
        InfoBox(tr("В базе данных [org_tech] на сервере %1 созданы таблицы программы. Запустите программу заново")
                    .arg(shownServer));
    else
        InfoBox(tr("Создана база данных [org_tech] на сервере %1. Запустите программу заново").arg(shownServer));
    m_exitCode = 0;
    return Outcome::Exit;
}

bool Tdm::rememberServer(const QString &server)
{
    try {
        // The user's data folder is made on the first write into it.
        PrivateFiles::makePath(QFileInfo(m_settings->fileName()).absolutePath());
        m_settings->writeString(QStringLiteral("main"), QStringLiteral("server"), server);
        return true;
    } catch (const TavrellError &e) {
        ErrorBox(tr("Не удалось сохранить настройки: %1").arg(e.message()));
        m_exitCode = 1;
        return false;
    }
}

void Tdm::useBackend(std::unique_ptr<Backend> backend)
{
    // Datasets made without a backend of their own, on the program's connection, work
    // through the data module's while it is connected.
    TDataSet::setDefaultBackend(nullptr);
    m_backend = std::move(backend);
    m_backend->open();
    TDataSet::setDefaultBackend(m_backend.get());
}

void Tdm::connectToServer(const QString &serverName)
{
    useBackend(Backend::forServer(serverName, QLatin1String(ConnectionName)));
}

void Tdm::connectTo(const QString &serverName)
{
    connectToServer(serverName);
    m_backend->execBatch(QStringLiteral("use [org_tech]"));
}

void Tdm::CreateDatabase()
{
    QFile f(m_backend->scriptResource());
    if (!f.open(QIODevice::ReadOnly))
        throw FileError(tr("Не найден сценарий создания базы данных %1").arg(f.fileName()));
    CreateDatabase(QString::fromUtf8(f.readAll()));
}

void Tdm::CreateDatabase(const QString &scriptText)
{
    m_backend->beginScript();
    for (const QString &batch : Backend::batchesOf(scriptText)) {
        try {
            m_backend->execBatch(batch);
        } catch (const TavrellError &e) {
            // Without its database the rest of the script has nowhere to go.
            if (Backend::choosesDatabase(batch)) {
                try {
                    m_backend->endScript();
                } catch (const TavrellError &) {
                }
                throw DbError(e.message());
            }
            ErrorBoxFmt(tr("Не прошла команда: \"%s\""), {batch});
        }
    }
    try {
        m_backend->endScript();
    } catch (const TavrellError &e) {
        ErrorBox(e.message());
    }
}

Backend &Tdm::procedures() const
{
    if (!m_backend)
        throw DbError(tr("Нет соединения с базой данных"));
    return *m_backend;
}

int Tdm::GetNewId(const QString &tableName) { return procedures().getId(tableName); }

void Tdm::addToLog(const QDateTime &dt, int action, int userId) { procedures().addToLog(dt, action, userId); }

void Tdm::changePassword(int userId, const QDateTime &dt, const QString &passw)
{
    procedures().changePassword(userId, dt, passw);
}

QDateTime Tdm::lastLogin(const QString &login) { return procedures().getLastLogin(login).toDateTime(); }

Tdm::LoginResult Tdm::login(const QString &login, const QString &passw, const QDateTime &dt)
{
    QVariant tp;
    LoginResult r;
    r.userId = procedures().login(login, passw, dt, tp);
    if (!tp.isNull())
        r.userType = tp.toString();
    return r;
}

QString Tdm::TblUserstpSetText(const QString &text)
{
    if (text.isEmpty())
        return QString();
    // The first whole character: half of a surrogate pair is no character, and the embedded
    // database would keep a broken one that no later statement matches again.
    const bool pair = text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate();
    const QChar c = text.at(0);
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        return QString(c.toUpper());
    return text.left(pair ? 2 : 1);
}
