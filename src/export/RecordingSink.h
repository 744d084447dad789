#pragma once
// A sink that keeps the command stream, for tests. It can be told to reject one command
// name, as a word processor that refuses a command would.
#include "export/DocumentSink.h"

#include <QList>

class RecordingSink : public DocumentSink {
public:
    struct Command {
        QString name;
        QVariantList args;
        bool operator==(const Command &o) const { return name == o.name && args == o.args; }
    };

    void command(const QString &name, const QVariantList &args = {}) override;

    QList<Command> commands;
    QString rejectCommand;  // a command of this name raises TavrellError
};
