#include "core/Process.h"

#include <QByteArray>
#include <QtGlobal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Process {

void prepare()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
#endif
#if defined(__GLIBC__)
    // A long list read again (a sort, a refresh, a window opened anew) takes the memory the
    // list before it gave back, instead of fresh pages from the system that each cost a
    // fault: the C library keeps up to this much freed memory for the process.
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

}  // namespace Process
