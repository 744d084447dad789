#include "export/WholeFile.h"

#include "core/PrivateFiles.h"
#include "db/TDataSet.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

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
    if (!TDataSet::isDatabaseFile(fileName))
        return QString();
    return QCoreApplication::translate("WholeFile", "это файл базы данных программы, в него сохранять нельзя; "
                                                    "выберите другое имя файла");
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
