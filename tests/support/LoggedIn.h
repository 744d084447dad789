#pragma once
// Who uses the program in a test: a user of a type (its letter decides the rights) with his
// id, and what his section of the settings file holds when he logs in. The one way a test
// logs in:
//
//     const auto user = LoggedIn::as("R").scoped();   // a window alone: the session while `user` lives
//     LoggedIn::as("A", 2).logIn();                     // the session, from now on
//     TAVRELL_MAIN_WINDOW(w, dialogs, db, LoggedIn::as("D"));  // the main window (MainWindowFixture.h)
#include "TestSupport.h"
#include "core/Session.h"

#include <QList>
#include <QPair>
#include <QScopeGuard>

class LoggedIn {
public:
    static LoggedIn as(const QString &type, int userId = 1) { return LoggedIn(true, type, userId); }
    static LoggedIn as(const char *type, int userId = 1) { return as(QString::fromUtf8(type), userId); }
    // Nobody has logged in: the session as the program starts.
    static LoggedIn nobody() { return LoggedIn(false, QString(), 0); }

    // The login and password he logged in with (the session keeps them for the password
    // change); "test" and none unless a test needs them.
    LoggedIn &named(const QString &login, const QString &password = QString())
    {
        m_login = login;
        m_password = password;
        return *this;
    }
    // A value in the user's section of the settings file, written as the program left it.
    LoggedIn &with(const QString &key, const QString &value)
    {
        m_settings.append({key, value});
        return *this;
    }

    // The session set as the login sets it.
    void logIn() const
    {
        session() = Session();
        if (!m_someone)
            return;
        session().CurrentUserId = m_userId;
        session().CurrentUserType = m_type;
        session().CurrentLogin = m_login;
        session().CurrentPassword = m_password;
    }
    // After the program has started on `db`: his settings written, the session set.
    void logIn(const TestDb &db) const
    {
        for (const auto &s : m_settings)
            db.module()->SettingsFile()->writeString(QString::number(m_userId), s.first, s.second);
        logIn();
    }
    // The session while the returned guard lives; nobody's after it.
    [[nodiscard]] auto scoped() const
    {
        logIn();
        return qScopeGuard([] { session() = Session(); });
    }
    // The main window set up for him, as the start-up does after the login.
    template <class MainWindow> void setUp(MainWindow &w) const
    {
        if (m_someone)
            w.SetupForUser();
    }

private:
    LoggedIn(bool someone, const QString &type, int userId) : m_someone(someone), m_type(type), m_userId(userId) {}
    bool m_someone;
    QString m_type;
    int m_userId;
    QString m_login = QStringLiteral("test");
    QString m_password;
    QList<QPair<QString, QString>> m_settings;
};
