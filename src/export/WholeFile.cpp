#include "export/WholeFile.h"

#include "core/PrivateFiles.h"
#include "storage/Backend.h"
#include "storage/SqliteBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace {

// The path with its folder's links resolved, for files that may not exist yet.
QString resolved(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}

}  // namespace

namespace WholeFile {

QString failure(const QFileDevice &file, const QString &target, qint64 needed)
{
    // A write that ran out of room may end in a close that forgets why: the room left
    // answers then. The temporary file's name means nothing to the user.
    const QStorageInfo volume(QFileInfo(target).absolutePath());
    if (volume.isValid() && volume.bytesAvailable() < std::max<qint64>(needed, 1))
        return QCoreApplication::translate("WholeFile", "на диске не хватает места (нужно %1 байт, свободно %2)")
            .arg(needed)
            .arg(volume.bytesAvailable());
    QString reason = file.errorString();
    if (file.error() == QFileDevice::NoError || reason.isEmpty())
        reason = QCoreApplication::translate("WholeFile", "файл не записан целиком");
    const QString temporary = file.fileName();
    if (!temporary.isEmpty() && temporary != target)
        reason.replace(temporary, target);
    return reason;
}

QString refusal(const QString &fileName)
{
    if (fileName.isEmpty())
        return QString();
    const QString target = resolved(fileName);
    const QString database = SqliteBackend::fileFor(Backend::databaseName());
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        if (target == resolved(database + QLatin1String(suffix)))
            return QCoreApplication::translate("WholeFile", "это файл базы данных программы, в него сохранять нельзя; "
                                                            "выберите другое имя файла");
    return QString();
}

QString write(const QString &fileName, const QByteArray &bytes, bool inPlaceFallback)
{
    const QString refused = refusal(fileName);
    if (!refused.isEmpty())
        return refused;
    const PrivateFiles::Scope privately(fileName);
    QSaveFile f(fileName);
    // QSaveFile falls back only when the temporary file is refused (EACCES), and an
    // existing file alone can then be opened for writing.
    f.setDirectWriteFallback(inPlaceFallback && QFileInfo(fileName).isFile());
    if (!f.open(QIODevice::WriteOnly))
        return failure(f, fileName, 0);
    // Written out before the commit, so that a failure is seen with its reason.
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        const QString reason = failure(f, fileName, bytes.size());
        f.cancelWriting();
        return reason;
    }
    if (!f.commit())
        return failure(f, fileName, 0);
    return QString();
}

}  // namespace WholeFile
