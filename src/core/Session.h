#pragma once
// The session state: set once by the login dialog, read by every window that decides
// rights. Only CurrentPassword changes later (user settings).
#include <QLatin1String>
#include <QString>

// The user types by their letters (users.tp).
namespace UserType {
inline constexpr char Admin = 'A';
inline constexpr char Dispatcher = 'D';
inline constexpr char LeadEngineer = 'P';
inline constexpr char Engineer = 'R';
}  // namespace UserType

// What each right is given to: the letters of the user types that have it, as
// Session::typeIn takes them. Every window that decides rights names them from here.
namespace Rights {
// User settings, user administration, the user log and the directories.
inline constexpr char Administration[] = {UserType::Admin, '\0'};
// The service requests.
inline constexpr char Requests[] = {UserType::Admin, UserType::Dispatcher, '\0'};
// The repair history.
inline constexpr char RepairHistory[] = {UserType::Admin, UserType::LeadEngineer, UserType::Engineer, '\0'};
// Adding, changing and deleting equipment items.
inline constexpr char EditItems[] = {UserType::Admin, UserType::Engineer, '\0'};
// The repair windows open read-only for these types.
inline constexpr char ReadOnlyRepairs[] = {UserType::LeadEngineer, '\0'};
}  // namespace Rights

// The kinds of user log rows (UserLog.LogAction, the seed rows of LogAction).
namespace LogAction {
inline constexpr int Login = 1;
inline constexpr int Logout = 2;
inline constexpr int PasswordChange = 3;
}  // namespace LogAction

struct Session {
    int CurrentUserId = 0;
    QString CurrentUserType;
    QString CurrentLogin;
    QString CurrentPassword;

    // True when the first character of the type is one of the given upper-case letters.
    bool typeIn(const char *letters) const
    {
        return !CurrentUserType.isEmpty() && QLatin1String(letters).contains(CurrentUserType.at(0));
    }
    bool typeIn(const QString &letters) const
    {
        return !CurrentUserType.isEmpty() && letters.contains(CurrentUserType.at(0));
    }
};

Session &session();
