#include "export/RecordingSink.h"

#include "core/Errors.h"

void RecordingSink::command(const QString &name, const QVariantList &args)
{
    if (!rejectCommand.isEmpty() && name == rejectCommand)
        throw TavrellError(QStringLiteral("Command rejected: %1").arg(name), TavrellError::Kind::Document);
    commands.append({name, args});
}
