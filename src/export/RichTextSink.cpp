#include "export/RichTextSink.h"

#include "core/Errors.h"
#include "export/ReportWindow.h"

#include <QHash>

#include <algorithm>

namespace {

// Word's own limits; beyond them it refuses the table.
constexpr int MaxColumns = 63;
constexpr int MaxRows = 32767;

enum class Command {
    FileNew,
    PageSetup,
    Insert,
    CenterPara,
    LeftPara,
    InsertTable,
    ColumnWidth,
    CharRight,
    EndOfColumn,
    InsertRow,
    DeleteRow,
    AppShow,
    Bold
};

// The word processor reads its command names without regard to case: they are looked up
// as the wrapper spells them first, then in lower case.
const QHash<QString, Command> &commandNames()
{
    static const QHash<QString, Command> names = [] {
        const std::pair<const char *, Command> spelled[] = {
            {"FileNew", Command::FileNew},
            {"Filepagesetup", Command::PageSetup},
            {"Insert", Command::Insert},
            {"CenterPara", Command::CenterPara},
            {"LeftPara", Command::LeftPara},
            {"TableInsertTable", Command::InsertTable},
            {"TableColumnWidth", Command::ColumnWidth},
            {"CharRight", Command::CharRight},
            {"EndOfColumn", Command::EndOfColumn},
            {"TableInsertRow", Command::InsertRow},
            {"TableDeleteRow", Command::DeleteRow},
            {"AppShow", Command::AppShow},
            {"bold", Command::Bold},
        };
        QHash<QString, Command> out;
        for (const auto &[name, command] : spelled) {
            out.insert(QString::fromLatin1(name), command);
            out.insert(QString::fromLatin1(name).toLower(), command);
        }
        return out;
    }();
    return names;
}

}  // namespace

RichTextSink::RichTextSink() = default;
RichTextSink::~RichTextSink() = default;

void RichTextSink::command(const QString &name, const QVariantList &args)
{
    auto badArgs = [&]() {
        return TavrellError(tr("Команда документа %1: неверные аргументы").arg(name), TavrellError::Kind::Document);
    };
    auto expect = [&](int count) {
        if (args.size() != count)
            throw badArgs();
    };
    auto intArg = [&](int i) {
        bool ok = false;
        const int v = args.at(i).toInt(&ok);
        if (!ok)
            throw badArgs();
        return v;
    };

    const QHash<QString, Command> &names = commandNames();
    auto it = names.constFind(name);
    if (it == names.cend())
        it = names.constFind(name.toLower());
    if (it == names.cend())
        throw TavrellError(tr("Неизвестная команда документа: %1").arg(name), TavrellError::Kind::Document);

    // A document already shown is the window's: its edits come into the model first, and
    // the window shows the model again after the command.
    const bool toWindow = m_shown && m_window && *it != Command::FileNew && *it != Command::AppShow;
    if (toWindow)
        m_window->syncToModel();

    switch (*it) {
    case Command::FileNew:
        expect(0);
        fileNew();
        break;
    case Command::PageSetup:
        // Page set-up is the word processor's; the pages are A4 with the report's own margins.
        expect(6);
        for (int i = 0; i < 6; ++i)
            intArg(i);
        doc();
        break;
    case Command::Insert:
        expect(1);
        insert(args.at(0).toString());
        break;
    case Command::CenterPara:
        expect(0);
        align(Qt::AlignHCenter);
        break;
    case Command::LeftPara:
        expect(0);
        align(Qt::AlignLeft);
        break;
    case Command::InsertTable:
        expect(6);
        for (int i = 0; i < 6; ++i)
            intArg(i);
        insertTable(args);
        break;
    case Command::ColumnWidth:
        expect(1);
        columnWidth(intArg(0));
        break;
    case Command::CharRight:
        expect(0);
        charRight();
        break;
    case Command::EndOfColumn:
        expect(0);
        endOfColumn();
        break;
    case Command::InsertRow:
        expect(0);
        insertRow();
        break;
    case Command::DeleteRow:
        expect(0);
        deleteRow();
        break;
    case Command::AppShow:
        expect(0);
        appShow();
        break;
    case Command::Bold:
        expect(1);
        if (!args.at(0).canConvert<bool>())
            throw badArgs();
        doc();
        m_bold = args.at(0).toBool();
        break;
    }
    if (toWindow && m_window)
        m_window->reload();
}

ReportDocument *RichTextSink::model() const
{
    if (m_shown && !m_window)
        return nullptr;
    return m_doc.get();
}

ReportDocument &RichTextSink::doc()
{
    ReportDocument *d = model();
    if (!d)
        throw TavrellError(m_hadDocument ? tr("Документ отчета закрыт") : tr("Нет открытого документа"),
                           TavrellError::Kind::Document);
    return *d;
}

ReportTable &RichTextSink::table(const QString &name)
{
    ReportDocument &d = doc();
    if (!m_cursor.inTable())
        throw TavrellError(tr("Команда документа %1 возможна только в таблице").arg(name),
                           TavrellError::Kind::Document);
    return *d.blocks[size_t(m_cursor.block)].table;
}

QString &RichTextSink::cell()
{
    ReportTable &t = *doc().blocks[size_t(m_cursor.block)].table;
    return t.rows[size_t(m_cursor.row)][m_cursor.column];
}

void RichTextSink::fileNew()
{
    // A document already shown stays with its window; an unshown one is dropped.
    m_doc = std::make_shared<ReportDocument>();
    m_window = nullptr;
    m_shown = false;
    m_hadDocument = true;
    m_bold = false;
    m_cursor = Cursor();
}

void RichTextSink::insert(const QString &text)
{
    ReportDocument &d = doc();
    // CR ends the paragraph (CR LF and LF count as one end too); the new paragraph takes
    // over the current one's formatting.
    QString t = text;
    if (t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\v'))) {
        t.replace(QLatin1String("\r\n"), QLatin1String("\r"));
        t.replace(QLatin1Char('\n'), QLatin1Char('\r'));
        t.replace(QLatin1Char('\v'), QChar::LineSeparator);
    }
    if (m_cursor.inTable()) {
        // Paragraphs of a cell are kept as lines of its text.
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QString &c = cell();
        if (m_cursor.offset >= c.size())
            c += t;
        else
            c.insert(m_cursor.offset, t);
        m_cursor.offset += int(t.size());
        return;
    }
    const QStringList parts = t.split(QLatin1Char('\r'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            ReportParagraph &p = d.blocks[size_t(m_cursor.block)].paragraph;
            ReportBlock next;
            next.paragraph = p.splitAt(m_cursor.offset);
            d.blocks.insert(d.blocks.begin() + m_cursor.block + 1, std::move(next));
            ++m_cursor.block;
            m_cursor.offset = 0;
        }
        d.blocks[size_t(m_cursor.block)].paragraph.insert(m_cursor.offset, parts.at(i), m_bold);
        m_cursor.offset += int(parts.at(i).size());
    }
}

void RichTextSink::align(Qt::Alignment alignment)
{
    ReportDocument &d = doc();
    // A cell's paragraphs keep the table's alignment.
    if (!m_cursor.inTable())
        d.blocks[size_t(m_cursor.block)].paragraph.alignment = alignment;
}

void RichTextSink::insertTable(const QVariantList &args)
{
    ReportDocument &d = doc();
    const int columns = args.at(1).toInt();
    const int rows = args.at(2).toInt();
    const int initialWidth = args.at(3).toInt();
    if (columns < 1 || columns > MaxColumns || rows < 1 || rows > MaxRows)
        throw TavrellError(tr("Таблица %1 x %2 невозможна").arg(rows).arg(columns), TavrellError::Kind::Document);
    if (m_cursor.inTable())
        throw TavrellError(tr("Таблица в ячейке таблицы невозможна"), TavrellError::Kind::Document);
    auto t = std::make_shared<ReportTable>();
    t->widths = QList<double>(columns, initialWidth > 0 ? initialWidth : 50);
    t->rows.assign(size_t(rows), QStringList(columns, QString()));
    t->bold = m_bold;
    // The table takes the place of the insertion point: before the paragraph when it stands
    // at its start (an empty paragraph under the title stays after the table, not above it),
    // else between the paragraph's two halves.
    int at = m_cursor.block;
    if (m_cursor.offset > 0) {
        ReportBlock tail;
        tail.paragraph = d.blocks[size_t(at)].paragraph.splitAt(m_cursor.offset);
        d.blocks.insert(d.blocks.begin() + at + 1, std::move(tail));
        ++at;
    }
    ReportBlock b;
    b.table = std::move(t);
    d.blocks.insert(d.blocks.begin() + at, std::move(b));
    m_cursor = Cursor{at, 0, 0, 0};
}

void RichTextSink::columnWidth(int points)
{
    ReportTable &t = table(QStringLiteral("TableColumnWidth"));
    if (points <= 0)
        throw TavrellError(tr("Неверная ширина столбца: %1").arg(points), TavrellError::Kind::Document);
    t.widths[m_cursor.column] = points;
}

void RichTextSink::toAfterTable()
{
    // Every table is followed by a paragraph.
    m_cursor = Cursor{m_cursor.block + 1, 0, -1, -1};
}

void RichTextSink::charRight()
{
    ReportDocument &d = doc();
    if (m_cursor.inTable()) {
        const ReportTable &t = *d.blocks[size_t(m_cursor.block)].table;
        if (m_cursor.offset < cell().size()) {
            ++m_cursor.offset;
            return;
        }
        // End of the cell's text: on to the next cell, the next row, or past the table.
        int row = m_cursor.row;
        int column = m_cursor.column + 1;
        if (column >= t.columns()) {
            column = 0;
            ++row;
        }
        if (row < int(t.rows.size()))
            m_cursor = Cursor{m_cursor.block, 0, row, column};
        else
            toAfterTable();
        return;
    }
    const ReportParagraph &p = d.blocks[size_t(m_cursor.block)].paragraph;
    if (m_cursor.offset < p.length()) {
        ++m_cursor.offset;
        return;
    }
    const int next = m_cursor.block + 1;
    if (next >= int(d.blocks.size()))
        return;  // the end of the document
    m_cursor = d.blocks[size_t(next)].isTable() ? Cursor{next, 0, 0, 0} : Cursor{next, 0, -1, -1};
}

void RichTextSink::endOfColumn()
{
    const ReportTable &t = table(QStringLiteral("EndOfColumn"));
    m_cursor.row = int(t.rows.size()) - 1;
    m_cursor.offset = 0;
}

void RichTextSink::insertRow()
{
    ReportTable &t = table(QStringLiteral("TableInsertRow"));
    const int row = m_cursor.row;
    t.rows.insert(t.rows.begin() + row, QStringList(t.columns(), QString()));
    m_cursor.column = 0;
    m_cursor.offset = 0;
}

void RichTextSink::deleteRow()
{
    ReportDocument &d = doc();
    ReportTable &t = table(QStringLiteral("TableDeleteRow"));
    const int row = m_cursor.row;
    t.rows.erase(t.rows.begin() + row);
    if (t.rows.empty()) {
        // The last row takes the table with it; the insertion point goes to the paragraph after.
        d.blocks.erase(d.blocks.begin() + m_cursor.block);
        m_cursor = Cursor{m_cursor.block, 0, -1, -1};
        return;
    }
    if (row < int(t.rows.size()))
        m_cursor = Cursor{m_cursor.block, 0, row, 0};
    else
        toAfterTable();
}

void RichTextSink::appShow()
{
    if (!model()) {
        if (m_hadDocument)
            doc();  // raises: the user closed it
        fileNew();
    }
    if (!m_window) {
        m_window = new ReportWindow(m_doc);
        m_shown = true;
    }
    m_window->showReport();
}
