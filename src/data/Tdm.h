#pragma once
// The data module: owns the one database connection, the settings file and the shared
// datasets; allocates keys; writes the user log.
#include "data/SharedDataSets.h"
#include "storage/Backend.h"
#include "storage/IniFile.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

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

    // The stored procedures, on the program's connection. Each raises DbError with the
    // server's text, or when there is no connection.
    // A new key for the table; consumes it whether or not the record is ever saved.
    int GetNewId(const QString &tableName);
    // A row of the user log: the user did the action (LogAction) at that moment.
    void addToLog(const QDateTime &dt, int action, int userId);
    // Stores the user's new password and logs the change at that moment.
    void changePassword(int userId, const QDateTime &dt, const QString &passw);
    // When the user of that login last logged in; invalid when never, or no such user.
    QDateTime lastLogin(const QString &login);
    struct LoginResult {
        int userId = 0;    // 0: no user has that login and password
        QString userType;  // null when there is none
    };
    // Checks the login and password; a user found is logged in at that moment.
    LoginResult login(const QString &login, const QString &passw, const QDateTime &dt);

    // The user type as stored: first character, a-z upper-cased, others as typed.
    static QString TblUserstpSetText(const QString &text);

    // For tests, tools and benchmarks: connect to a server without choosing a database
    // (connectToServer), or straight to the program's database on it (connectTo).
    void connectToServer(const QString &serverName);
    void connectTo(const QString &serverName);

private:
    // Takes the backend, connects it, and makes it the one of datasets made without one.
    void useBackend(std::unique_ptr<Backend> backend);
    Outcome startUp();
    // Writes [main] server; on failure tells the user and sets the exit code.
    bool rememberServer(const QString &server);
    // The program's database is not on the server, or is there without tables: made (after
    // the user's yes, when `ask`), the server remembered on the first run, and the program
    // ends to be started again.
    Outcome createProgramDatabase(const QString &server, bool firstRun, bool ask, bool intoExisting);
    // The backend of the stored procedures; raises DbError without a connection.
    Backend &procedures() const;

    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<Backend> m_backend;
    int m_exitCode = 0;
    QString m_serverOverride;
};

// The one data module of the running program (null before start-up creates it).
extern Tdm *dm;
