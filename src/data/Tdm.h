#pragma once
// The data module: owns the one database connection, the settings file and the shared
// datasets; allocates keys; writes the user log.
#include "data/SharedDataSets.h"
#include "storage/Backend.h"
#include "storage/IniFile.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

class Tdm;

// A stored-procedure component: parameters by name ("@name"), executed on the data
// module's connection through the backend.
class TStoredProc {
public:
    TStoredProc(Tdm *owner, const QString &procedureName) : m_owner(owner), m_procedureName(procedureName) {}
    const QString &procedureName() const { return m_procedureName; }
    void setParam(const QString &name, const QVariant &value) { m_params[name.toLower()] = value; }
    QVariant param(const QString &name) const { return m_params.value(name.toLower()); }
    // Raises DbError with the server's text.
    void ExecProc();

private:
    Tdm *m_owner;
    QString m_procedureName;
    QMap<QString, QVariant> m_params;
};

class Tdm : public QObject, public SharedDataSets {
    Q_OBJECT
public:
    // The name of the one connection (the connection component's own name).
    static constexpr const char *ConnectionName = Backend::MainConnection;

    enum class Outcome { Ready, Exit };

    explicit Tdm(QObject *parent = nullptr);
    ~Tdm() override;

    // Settings, connection, first run and database creation. Ready: the connection is open
    // on the program's database. Exit: the process must end now with exitCode().
    Outcome DataModule1Create();
    int exitCode() const { return m_exitCode; }
    // A server for this run alone, in place of [main] server (empty: the settings' own).
    // The settings file is then read but never written.
    void setServerOverride(const QString &server) { m_serverOverride = server; }

    IniFile *SettingsFile() const { return m_settings.get(); }
    Backend &backend() const { return *m_backend; }
    QSqlDatabase connection() const;
    bool isConnected() const;

    // Runs the creation script of the backend's dialect, batch by batch. A failed batch is
    // reported and the next one runs, except a failed "CREATE DATABASE" or "use": that
    // stops the script and raises DbError with the reason.
    void CreateDatabase();
    void CreateDatabase(const QString &scriptText);

    // A new key for the table; consumes it whether or not the record is ever saved.
    int GetNewId(const QString &tableName);
    // The user type as stored: first character, a-z upper-cased, others as typed.
    static QString TblUserstpSetText(const QString &text);

    TStoredProc GetId{this, QStringLiteral("GetId")};
    TStoredProc ProcAddToLog{this, QStringLiteral("AddToLog")};
    TStoredProc ProcChangePassword{this, QStringLiteral("ChangePassword")};
    TStoredProc ProcLogin{this, QStringLiteral("LOGIN")};
    TStoredProc ProcGetLastLogin{this, QStringLiteral("GetLastLogin")};

    // For tests, tools and benchmarks: connect to a server without choosing a database
    // (connectToServer), or straight to the program's database on it (connectTo).
    void connectToServer(const QString &serverName);
    void connectTo(const QString &serverName);

private:
    friend class TStoredProc;
    // Takes the backend, connects it, and makes it the one of datasets made without one.
    void useBackend(std::unique_ptr<Backend> backend);
    Outcome startUp();
    // Writes [main] server; on failure tells the user and sets the exit code.
    bool rememberServer(const QString &server);
    // The program's database is not on the server, or is there without tables: made (after
    // the user's yes, when `ask`), the server remembered on the first run, and the program
    // ends to be started again.
    Outcome createProgramDatabase(const QString &server, bool firstRun, bool ask, bool intoExisting);
    void execProc(TStoredProc &proc);

    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<Backend> m_backend;
    int m_exitCode = 0;
    QString m_serverOverride;
};

// The one data module of the running program (null before start-up creates it).
extern Tdm *dm;
