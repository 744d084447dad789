#include "export/TempFiles.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace {

QStringList &files()
{
    static QStringList list;
    return list;
}

QStringList &folders()
{
    static QStringList list;
    return list;
}

void registerCleanup()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Runs when the application object is destroyed, at the end of main.
    qAddPostRoutine(TempFiles::removeAll);
}

QString tr(const char *text) { return QCoreApplication::translate("TempFiles", text); }

QString mailRoot()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("mail"));
}

// The latest change to the folder or anything in it.
QDateTime lastChange(const QString &folder)
{
    QDateTime latest = QFileInfo(folder).lastModified();
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        latest = qMax(latest, it.fileInfo().lastModified());
    }
    return latest;
}

}  // namespace

QString TempFiles::make(const QString &nameTemplate)
{
    QTemporaryFile temp(QDir::tempPath() + QLatin1Char('/') + nameTemplate);
    temp.setAutoRemove(false);
    if (!temp.open())
        throw FileError(tr("Не удается создать временный файл \"%1\": %2")
                            .arg(QDir::toNativeSeparators(temp.fileTemplate()), temp.errorString()));
    const QString path = temp.fileName();
    temp.close();
    registerCleanup();
    files().append(path);
    return path;
}

QString TempFiles::makeFolder(const QString &nameTemplate)
{
    QTemporaryDir temp(QDir::tempPath() + QLatin1Char('/') + nameTemplate);
    temp.setAutoRemove(false);
    if (!temp.isValid())
        throw FileError(tr("Не удается создать временную папку \"%1\": %2")
                            .arg(QDir::toNativeSeparators(nameTemplate), temp.errorString()));
    registerCleanup();
    folders().append(temp.path());
    return temp.path();
}

void TempFiles::removeAll()
{
    for (const QString &f : std::as_const(files()))
        QFile::remove(f);
    files().clear();
    for (const QString &d : std::as_const(folders()))
        QDir(d).removeRecursively();
    folders().clear();
}

QString TempFiles::makeMailFolder()
{
    const QString root = mailRoot();
    // The attachment may be a list of users with their passwords: the folder is its user's alone.
    if (!QDir().mkpath(root) ||
        !QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        throw FileError(tr("Не удается создать папку \"%1\"").arg(QDir::toNativeSeparators(root)));
    QTemporaryDir temp(QDir(root).filePath(QStringLiteral("XXXXXX")));
    temp.setAutoRemove(false);
    if (!temp.isValid())
        throw FileError(tr("Не удается создать временную папку \"%1\": %2")
                            .arg(QDir::toNativeSeparators(root), temp.errorString()));
    return temp.path();
}

void TempFiles::removeOldMail(const QDateTime &now)
{
    const QDateTime limit = now.addDays(-MailKeepDays);
    const QFileInfoList folders =
        QDir(mailRoot()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &folder : folders)
        if (lastChange(folder.filePath()) < limit)
            QDir(folder.filePath()).removeRecursively();
}
