#include "export/WholeFile.h"

#include "storage/Backend.h"
#include "storage/SqliteBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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

QString refusal(const QString &fileName)
{
    if (fileName.isEmpty())
        return QString();
    const QString target = resolved(fileName);
    const QString database = SqliteBackend::fileFor(Backend::databaseName());
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        if (target == resolved(database + QLatin1String(suffix)))
            return QCoreApplication::translate("WholeFile",
                                               "это файл базы данных программы, в него сохранять нельзя; "
                                               "выберите другое имя файла");
    return QString();
}

QString write(const QString &fileName, const QByteArray &bytes, bool inPlaceFallback)
{
    const QString refused = refusal(fileName);
    if (!refused.isEmpty())
        return refused;
    QSaveFile f(fileName);
    // QSaveFile falls back only when the temporary file is refused (EACCES), and an
    // existing file alone can then be opened for writing.
    f.setDirectWriteFallback(inPlaceFallback && QFileInfo(fileName).isFile());
    if (!f.open(QIODevice::WriteOnly))
        return f.errorString();
    if (f.write(bytes) != bytes.size()) {
        const QString reason = f.errorString();
        f.cancelWriting();
        return reason;
    }
    if (!f.commit())
        return f.errorString();
    return QString();
}

}  // namespace WholeFile
