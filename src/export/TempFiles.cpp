#include "export/TempFiles.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
