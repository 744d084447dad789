#include "export/FileGroup.h"

#include "core/Errors.h"
#include "export/WholeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("FileGroup", text); }

const QString Part = QStringLiteral(".part");
const QString Old = QStringLiteral(".old");

struct Entry {
    bool old;  // the file was there before the group moved in
    QString name;
};

// Renames over an existing file (QFile::rename does not).
QString renameOver(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), ec);
    return ec ? QString::fromLocal8Bit(ec.message().c_str()) : QString();
}

QString pathOf(const QString &folder, const QString &name) { return QDir(folder).filePath(name); }

QList<Entry> readJournal(const QString &folder)
{
    const QString path = pathOf(folder, FileGroup::journalName());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw FileError(tr("Не удалось прочитать файл %1: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
    QList<Entry> entries;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString l = QString::fromUtf8(line);
        if (l.startsWith(QLatin1String("old\t")))
            entries.append({true, l.mid(4)});
        else if (l.startsWith(QLatin1String("new\t")))
            entries.append({false, l.mid(4)});
    }
    return entries;
}

// Every old file back in its place and every new one gone, the parts removed; the journal
// goes last, only when all is back. Returns the first problem, empty when all went back.
QString rollBack(const QString &folder, const QList<Entry> &entries)
{
    QString problem;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const QString target = pathOf(folder, it->name);
        if (it->old) {
            // Not set aside yet: the file in place is still the old one.
            if (QFileInfo::exists(target + Old)) {
                const QString reason = renameOver(target + Old, target);
                if (!reason.isEmpty() && problem.isEmpty())
                    problem = tr("Не удалось вернуть файл %1: %2").arg(QDir::toNativeSeparators(target), reason);
            }
        } else if (QFileInfo(target).isFile() && !QFile::remove(target) && problem.isEmpty()) {
            problem = tr("Не удалось удалить файл %1").arg(QDir::toNativeSeparators(target));
        }
        QFile::remove(target + Part);
    }
    if (problem.isEmpty())
        QFile::remove(pathOf(folder, FileGroup::journalName()));
    return problem;
}

}  // namespace

FileGroup::FileGroup(const QString &folder) : m_folder(folder) {}

QString FileGroup::journalName() { return QStringLiteral(".moving"); }

std::function<void(const QString &)> &FileGroup::stepHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

void FileGroup::step(const QString &what)
{
    if (stepHook())
        stepHook()(what);
}

QString FileGroup::partFor(const QString &name)
{
    if (!m_names.contains(name))
        m_names.append(name);
    return pathOf(m_folder, name + Part);
}

void FileGroup::discard()
{
    for (const QString &name : std::as_const(m_names))
        QFile::remove(pathOf(m_folder, name + Part));
}

void FileGroup::commit()
{
    step(QStringLiteral("parts written"));
    QList<Entry> entries;
    QByteArray journal;
    for (const QString &name : std::as_const(m_names)) {
        // Only a file is set aside; anything else in the way fails the move, as it should.
        const bool old = QFileInfo(pathOf(m_folder, name)).isFile();
        entries.append({old, name});
        journal += (old ? "old\t" : "new\t") + name.toUtf8() + '\n';
    }
    const QString journalPath = pathOf(m_folder, journalName());
    const QString reason = WholeFile::write(journalPath, journal, false);
    if (!reason.isEmpty()) {
        discard();
        throw FileError(tr("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(journalPath), reason));
    }
    try {
        step(QStringLiteral("journal written"));
        for (const Entry &e : std::as_const(entries)) {
            if (!e.old)
                continue;
            const QString target = pathOf(m_folder, e.name);
            const QString why = renameOver(target, target + Old);
            if (!why.isEmpty())
                throw FileError(tr("Не удалось отложить файл %1: %2").arg(QDir::toNativeSeparators(target), why));
            step(QStringLiteral("set aside ") + e.name);
        }
        for (const Entry &e : std::as_const(entries)) {
            const QString target = pathOf(m_folder, e.name);
            const QString why = renameOver(target + Part, target);
            if (!why.isEmpty())
                throw FileError(tr("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(target), why));
            step(QStringLiteral("moved in ") + e.name);
        }
        // The journal gone, the new files are the valid ones.
        if (!QFile::remove(journalPath))
            throw FileError(tr("Не удалось удалить файл %1").arg(QDir::toNativeSeparators(journalPath)));
    } catch (const FileError &e) {
        const QString problem = rollBack(m_folder, entries);
        throw FileError(problem.isEmpty() ? e.message() : e.message() + QLatin1Char('\n') + problem);
    }
    step(QStringLiteral("journal removed"));
    for (const Entry &e : std::as_const(entries))
        if (e.old)
            QFile::remove(pathOf(m_folder, e.name) + Old);
    step(QStringLiteral("old files removed"));
}

void FileGroup::recover(const QString &folder, const QStringList &names)
{
    if (QFileInfo::exists(pathOf(folder, journalName()))) {
        const QString problem = rollBack(folder, readJournal(folder));
        if (!problem.isEmpty())
            throw FileError(problem);
    }
    // What is left of an interrupted group: parts, the temporary files they were written
    // through, and old files of a commit that ended before removing them.
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &file : files) {
        if (file.startsWith(journalName() + QLatin1Char('.')))
            QFile::remove(pathOf(folder, file));  // a journal whose writing did not finish
        for (const QString &name : names)
            if (file == name + Part || file == name + Old || file.startsWith(name + Part + QLatin1Char('.'))) {
                QFile::remove(pathOf(folder, file));
                break;
            }
    }
}
