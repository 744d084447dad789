#include "export/MSWord.h"

#include "core/Errors.h"
#include "export/RichTextSink.h"

#include <QApplication>
#include <QCoreApplication>

namespace {

TMSWord::SinkFactory &factory()
{
    static TMSWord::SinkFactory f;
    return f;
}

const QString CR = QStringLiteral("\r");

}  // namespace

TMSWord::TMSWord() = default;
TMSWord::~TMSWord() = default;

void TMSWord::setSinkFactory(SinkFactory f) { factory() = std::move(f); }

std::shared_ptr<DocumentSink> TMSWord::defaultSink()
{
    // The rich-text sink shows its document in a window: no widgets, no sink.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    return std::make_shared<RichTextSink>();
}

bool TMSWord::Open()
{
    std::shared_ptr<DocumentSink> sink;
    try {
        sink = factory() ? factory()() : defaultSink();
    } catch (...) {
        return false;
    }
    if (!sink)
        return false;
    m_word = std::move(sink);
    return true;
}

DocumentSink &TMSWord::word() const
{
    if (!m_word)
        throw TavrellError(QCoreApplication::translate("TMSWord", "Документ не открыт"), TavrellError::Kind::Document);
    return *m_word;
}

void TMSWord::NewDocument()
{
    DocumentSink &w = word();
    w.command(QStringLiteral("FileNew"));
    w.command(QStringLiteral("Filepagesetup"), {2, 1, 60, 60, 60, 60});
}

void TMSWord::Insert(const QString &text) { word().command(QStringLiteral("Insert"), {text}); }

void TMSWord::InsertTitle(const QString &text)
{
    DocumentSink &w = word();
    w.command(QStringLiteral("CenterPara"));
    w.command(QStringLiteral("Insert"), {text});
    w.command(QStringLiteral("LeftPara"));
}

void TMSWord::InsertTable(int columns, int format)
{
    word().command(QStringLiteral("TableInsertTable"), {0, columns, 2, 50, 0, format});
}

void TMSWord::FillHeader(const QList<int> &widths, const QStringList &captions)
{
    if (widths.isEmpty() || widths.size() != captions.size())
        throw TavrellError(QCoreApplication::translate("TMSWord", "Заголовок таблицы: %1 ширин и %2 подписей")
                               .arg(widths.size())
                               .arg(captions.size()),
                           TavrellError::Kind::Document);
    DocumentSink &w = word();
    w.command(QStringLiteral("TableColumnWidth"), {widths.at(0)});
    w.command(QStringLiteral("Insert"), {captions.at(0)});
    for (int k = 1; k < widths.size(); ++k) {
        w.command(QStringLiteral("CharRight"));
        w.command(QStringLiteral("TableColumnWidth"), {widths.at(k)});
        w.command(QStringLiteral("Insert"), {captions.at(k)});
    }
    w.command(QStringLiteral("EndOfColumn"));
}

void TMSWord::AddRow(const QStringList &values)
{
    if (values.isEmpty())
        throw TavrellError(QCoreApplication::translate("TMSWord", "Пустая строка таблицы"),
                           TavrellError::Kind::Document);
    DocumentSink &w = word();
    w.command(QStringLiteral("TableInsertRow"));
    w.command(QStringLiteral("Insert"), {values.at(0)});
    for (int k = 1; k < values.size(); ++k) {
        w.command(QStringLiteral("CharRight"));
        w.command(QStringLiteral("Insert"), {values.at(k)});
    }
    w.command(QStringLiteral("EndOfColumn"));
}

void TMSWord::CloseTable()
{
    DocumentSink &w = word();
    w.command(QStringLiteral("TableDeleteRow"));
    w.command(QStringLiteral("Insert"), {CR});
}

void TMSWord::Show() { word().command(QStringLiteral("AppShow")); }
