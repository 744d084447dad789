#include "core/Process.h"

#include <QByteArray>
#include <QtGlobal>

namespace Process {

void prepare()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
#endif
}

}  // namespace Process
