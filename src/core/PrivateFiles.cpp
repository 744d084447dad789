#include "core/PrivateFiles.h"

#include "core/Seams.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

QString cleanAbsolute(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool within(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

}  // namespace

namespace PrivateFiles {

bool isPrivate(const QString &path)
{
    const QString user = Seams::userDataFolder();
    if (user.isEmpty())
        return false;
    const QString folder = cleanAbsolute(user);
    const QString program = cleanAbsolute(Seams::programFolder());
    if (within(program, folder) || within(folder, program))
        return false;
    return within(cleanAbsolute(path), folder);
}

bool makePath(const QString &folder)
{
    const QString target = cleanAbsolute(folder);
    if (QFileInfo(target).isDir())
        return true;
    if (!isPrivate(target))
        return QDir().mkpath(target);
#if defined(Q_OS_UNIX)
    // Each missing folder on the way is made closed to others from its first moment.
    const QStringList parts = target.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        if (QFileInfo(path).isDir())
            continue;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && !QFileInfo(path).isDir())
            return false;
    }
    return true;
#else
    return QDir().mkpath(target);
#endif
}

Scope::Scope(const QString &path)
{
#if defined(Q_OS_UNIX)
    if (isPrivate(path)) {
        m_oldMask = ::umask(077);
        m_maskSet = true;
    }
#else
    Q_UNUSED(path);
#endif
}

Scope::~Scope()
{
#if defined(Q_OS_UNIX)
    if (m_maskSet)
        ::umask(mode_t(m_oldMask));
#endif
}

}  // namespace PrivateFiles
