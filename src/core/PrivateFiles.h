#pragma once
// The user's data folder holds the database (passwords included) and the archives: it is
// its user's alone. The program makes it, and the folders in it, 0700 and its new files
// there 0600. What is already there keeps its modes, and so does everything in the
// program's own folder (a copy the user unpacked keeps the rights he gave it).
#include <QString>

namespace PrivateFiles {

// Whether the path lies in the user's data folder, when that folder is not the program's.
bool isPrivate(const QString &path);

// Makes the folder with the missing ones above it; those it makes for a private path are
// 0700. False when it cannot be made.
bool makePath(const QString &folder);

// While it lives, what this process makes for a private path is its user's alone.
class Scope {
public:
    explicit Scope(const QString &path);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    bool m_maskSet = false;
    unsigned m_oldMask = 0;
};

}  // namespace PrivateFiles
