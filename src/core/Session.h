#pragma once
// The session state: set once by the login dialog, read by every window that decides
// rights. Only CurrentPassword changes later (user settings).
#include <QString>

struct Session {
    int CurrentUserId = 0;
    QString CurrentUserType;
    QString CurrentLogin;
    QString CurrentPassword;

    // True when the first character of the type is one of the given upper-case letters.
    bool typeIn(const QString &letters) const
    {
        return !CurrentUserType.isEmpty() && letters.contains(CurrentUserType.at(0));
    }
};

Session &session();
