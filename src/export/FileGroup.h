#pragma once
// Files that take their places together. Each is written beside its final name (name.part);
// commit() then moves them all in, or, when a move fails, puts every old file back. A move
// the process did not live to finish is undone by recover(), so a folder never keeps a mix
// of old and new files.
//
// The moves are recorded first in a journal file in the folder (which names were there
// before and which are new), the old files are set aside (name.old) and the parts moved
// in; removing the journal is the one step that makes the new files the valid ones.
// Renames only: no copy, no hard link, so it works on any local file system, and files of
// the folder that are not in the group are never touched.
#include <QString>
#include <QStringList>
#include <functional>

class FileGroup {
public:
    explicit FileGroup(const QString &folder);

    // Where to write the file `name` (a name in the folder); the file joins the group.
    QString partFor(const QString &name);

    // Moves every part over its file. On failure raises FileError naming the file, after
    // putting every old file back and removing the parts.
    void commit();

    // Removes the parts written so far; the old files stay as they were.
    void discard();

    // Puts a folder back after a group that was interrupted: an unfinished commit is undone
    // (the old files return, files that were new go), then the parts, their temporary
    // files and set-aside old files of these names are removed. Raises FileError when an old
    // file cannot be put back (the journal stays, so the next call tries again).
    static void recover(const QString &folder, const QStringList &names);

    // The journal's name in the folder.
    static QString journalName();

    // For tests: called at each step of writing and moving (a short description of it), so
    // that a test can fail a step or leave the run there as a killed process would.
    static std::function<void(const QString &step)> &stepHook();
    static void step(const QString &what);

private:
    QString m_folder;
    QStringList m_names;
};
