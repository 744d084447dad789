#pragma once
// TMSWord: the thin report wrapper. Each operation sends one fixed command sequence to
// the document sink (the automation object). The sink comes from a factory that tests
// replace; the default builds a rich-text document shown in a report window.
// Freeing the wrapper only drops its reference: a shown document stays with the user.
#include "export/DocumentSink.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class TMSWord {
public:
    using SinkFactory = std::function<std::shared_ptr<DocumentSink>()>;

    TMSWord();
    ~TMSWord();
    TMSWord(const TMSWord &) = delete;
    TMSWord &operator=(const TMSWord &) = delete;

    // Obtains the sink; false (and nothing sent) when none can be had.
    bool Open();
    void NewDocument();
    void Insert(const QString &text);
    void InsertTitle(const QString &text);
    void InsertTable(int columns, int format);
    void FillHeader(const QList<int> &widths, const QStringList &captions);
    void AddRow(const QStringList &values);
    void CloseTable();
    void Show();

    // The automation object itself, for commands that callers send directly ("bold");
    // null until Open succeeds.
    DocumentSink *Word() const { return m_word.get(); }

    // Replaces the sink factory; an empty function restores the default.
    static void setSinkFactory(SinkFactory factory);
    static std::shared_ptr<DocumentSink> defaultSink();

private:
    DocumentSink &word() const;

    std::shared_ptr<DocumentSink> m_word;
};
