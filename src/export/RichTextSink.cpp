#include "export/RichTextSink.h"

#include "core/Errors.h"
#include "export/ReportWindow.h"

#include <QHash>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>

namespace {

// Word's own limits; beyond them it refuses the table.
constexpr int MaxColumns = 63;
constexpr int MaxRows = 32767;

enum class Command {
    FileNew, PageSetup, Insert, CenterPara, LeftPara, InsertTable, ColumnWidth,
    CharRight, EndOfColumn, InsertRow, DeleteRow, AppShow, Bold
};

// The word processor reads its command names without regard to case: they are looked up
// as the wrapper spells them first, then in lower case.
const QHash<QString, Command> &commandNames()
{
    static const QHash<QString, Command> names = [] {
        const std::pair<const char *, Command> spelled[] = {
            {"FileNew", Command::FileNew},         {"Filepagesetup", Command::PageSetup},
            {"Insert", Command::Insert},           {"CenterPara", Command::CenterPara},
            {"LeftPara", Command::LeftPara},       {"TableInsertTable", Command::InsertTable},
            {"TableColumnWidth", Command::ColumnWidth}, {"CharRight", Command::CharRight},
            {"EndOfColumn", Command::EndOfColumn}, {"TableInsertRow", Command::InsertRow},
            {"TableDeleteRow", Command::DeleteRow}, {"AppShow", Command::AppShow},
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
        return TavrellError(tr("Команда документа %1: неверные аргументы").arg(name),
                            TavrellError::Kind::Document);
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
        throw TavrellError(tr("Неизвестная команда документа: %1").arg(name),
                           TavrellError::Kind::Document);

    switch (*it) {
    case Command::FileNew:
        expect(0);
        fileNew();
        break;
    case Command::PageSetup:
        // Page set-up is the word processor's; the report window prints on A4 with its own margins.
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
        m_charFormat.setFontWeight(args.at(0).toBool() ? QFont::Bold : QFont::Normal);
        break;
    }
}

QTextDocument *RichTextSink::document() const
{
    flushRows();
    return m_doc;
}

const QTextCursor &RichTextSink::cursor() const
{
    flushRows();
    return m_cursor;
}

QTextDocument &RichTextSink::doc()
{
    if (!m_doc)
        throw TavrellError(m_hadDocument ? tr("Документ отчета закрыт")
                                         : tr("Нет открытого документа"),
                           TavrellError::Kind::Document);
    return *m_doc;
}

QTextTable *RichTextSink::table(const QString &name)
{
    doc();
    QTextTable *t = m_cursor.currentTable();
    if (!t)
        throw TavrellError(tr("Команда документа %1 возможна только в таблице").arg(name),
                           TavrellError::Kind::Document);
    return t;
}

void RichTextSink::fileNew()
{
    // A document already shown stays with its window; an unshown one is dropped.
    m_pending.reset();
    m_owned = std::make_unique<QTextDocument>();
    // What the report is built of is no edit of the user's to undo; the window turns undo on.
    m_owned->setUndoRedoEnabled(false);
    m_doc = m_owned.get();
    m_window = nullptr;
    m_hadDocument = true;
    m_charFormat = QTextCharFormat();
    m_cursor = QTextCursor(m_doc);
}

void RichTextSink::insert(const QString &text)
{
    doc();
    if (inPendingCell()) {
        PendingRows &p = *m_pending;
        p.insertions.push_back({p.cell, text, m_charFormat});
        if (!text.isEmpty())
            p.filled[p.cell] = true;
        return;
    }
    insertAt(m_cursor, text, m_charFormat);
}

void RichTextSink::insertAt(QTextCursor &cursor, const QString &text, const QTextCharFormat &format)
{
    // CR ends the paragraph (CR LF and LF count as one end too); the new paragraph
    // takes over the current one's formatting.
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    t.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    t.replace(QLatin1Char('\v'), QChar::LineSeparator);
    if (!t.contains(QLatin1Char('\r'))) {
        if (!t.isEmpty())
            cursor.insertText(t, format);
        return;
    }
    const QStringList parts = t.split(QLatin1Char('\r'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(cursor.blockFormat(), format);
        if (!parts.at(i).isEmpty())
            cursor.insertText(parts.at(i), format);
    }
}

void RichTextSink::align(Qt::Alignment alignment)
{
    doc();
    if (inPendingCell())
        flushRows();
    QTextBlockFormat f;
    f.setAlignment(alignment);
    m_cursor.mergeBlockFormat(f);
}

void RichTextSink::insertTable(const QVariantList &args)
{
    doc();
    flushRows();
    const int columns = args.at(1).toInt();
    const int rows = args.at(2).toInt();
    const int initialWidth = args.at(3).toInt();
    if (columns < 1 || columns > MaxColumns || rows < 1 || rows > MaxRows)
        throw TavrellError(tr("Таблица %1 x %2 невозможна").arg(rows).arg(columns),
                           TavrellError::Kind::Document);
    QTextTableFormat f;
    f.setBorder(1);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderCollapse(true);
    f.setCellSpacing(0);
    f.setCellPadding(3);
    f.setAlignment(Qt::AlignLeft);
    const QTextLength width = initialWidth > 0
                                  ? QTextLength(QTextLength::FixedLength, pointsToPixels(initialWidth))
                                  : QTextLength();
    f.setColumnWidthConstraints(QList<QTextLength>(columns, width));
    QTextTable *t = m_cursor.insertTable(rows, columns, f);
    m_cursor = t->cellAt(0, 0).firstCursorPosition();
}

void RichTextSink::columnWidth(int points)
{
    doc();
    if (inPendingCell())
        flushRows();
    QTextTable *t = table(QStringLiteral("TableColumnWidth"));
    if (points <= 0)
        throw TavrellError(tr("Неверная ширина столбца: %1").arg(points),
                           TavrellError::Kind::Document);
    QTextTableFormat f = t->format();
    QList<QTextLength> widths = f.columnWidthConstraints();
    widths.resize(t->columns());
    widths[t->cellAt(m_cursor).column()] =
        QTextLength(QTextLength::FixedLength, pointsToPixels(points));
    f.setColumnWidthConstraints(widths);
    t->setFormat(f);
}

void RichTextSink::charRight()
{
    doc();
    if (inPendingCell()) {
        // The insertion point stands at the end of a pending cell's text.
        PendingRows &p = *m_pending;
        const int next = p.cell + 1;
        if (next == p.rows * p.columns) {
            // Past the last pending row: the first cell of the table's last row.
            p.cell = -1;
            m_cursor = p.table->cellAt(p.table->rows() - 1, 0).firstCursorPosition();
            return;
        }
        if (!p.filled[next]) {
            p.cell = next;
            return;
        }
        flushRows();
    } else if (m_pending && m_cursor.currentTable() == m_pending->table && !lastRowOfPendingTable()) {
        flushRows();  // the next row may be a pending one
    }
    if (QTextTable *t = m_cursor.currentTable()) {
        const QTextTableCell cell = t->cellAt(m_cursor);
        if (m_cursor.position() == cell.lastCursorPosition().position()) {
            // End of the cell's text: on to the next cell, the next row, or past the table.
            int row = cell.row();
            int column = cell.column() + cell.columnSpan();
            if (column >= t->columns()) {
                column = 0;
                ++row;
            }
            if (row < t->rows())
                m_cursor = t->cellAt(row, column).firstCursorPosition();
            else
                m_cursor.setPosition(t->lastPosition() + 1);
            return;
        }
    }
    m_cursor.movePosition(QTextCursor::NextCharacter);
}

void RichTextSink::endOfColumn()
{
    doc();
    if (inPendingCell()) {
        // Pending rows stand above the last row, which stays where it is.
        PendingRows &p = *m_pending;
        const int column = p.cell % p.columns;
        p.cell = -1;
        m_cursor = p.table->cellAt(p.table->rows() - 1, column).firstCursorPosition();
        return;
    }
    QTextTable *t = table(QStringLiteral("EndOfColumn"));
    const int column = t->cellAt(m_cursor).column();
    m_cursor = t->cellAt(t->rows() - 1, column).firstCursorPosition();
}

bool RichTextSink::lastRowOfPendingTable() const
{
    if (!m_pending || !m_pending->table || m_pending->cell >= 0)
        return false;
    QTextTable *t = m_cursor.currentTable();
    return t == m_pending->table && t->cellAt(m_cursor).row() == t->rows() - 1;
}

void RichTextSink::insertRow()
{
    doc();
    if (inPendingCell())
        flushRows();
    QTextTable *t = table(QStringLiteral("TableInsertRow"));
    const int row = t->cellAt(m_cursor).row();
    // A row above the last one of a table still being built (the report's table with
    // its spare row last) waits with the others; a shown document gets it at once.
    if (row == t->rows() - 1 && !m_window) {
        if (m_pending && m_pending->table != t)
            flushRows();
        if (!m_pending) {
            m_pending = std::make_unique<PendingRows>();
            m_pending->table = t;
            m_pending->columns = t->columns();
        }
        PendingRows &p = *m_pending;
        ++p.rows;
        p.filled.resize(size_t(p.rows) * size_t(p.columns), false);
        p.cell = (p.rows - 1) * p.columns;
        return;
    }
    flushRows();
    t->insertRows(row, 1);
    m_cursor = t->cellAt(row, 0).firstCursorPosition();
}

void RichTextSink::deleteRow()
{
    doc();
    if (m_pending) {
        // The last row of a table being built: the table is done.
        const bool closing = lastRowOfPendingTable();
        flushRows(closing);
        if (closing)
            return;
    }
    QTextTable *t = table(QStringLiteral("TableDeleteRow"));
    const int row = t->cellAt(m_cursor).row();
    if (t->rows() == 1) {
        // The last row takes the table with it; the insertion point stays where it stood.
        m_cursor.setPosition(t->lastPosition() + 1);
        t->removeRows(0, 1);
        return;
    }
    t->removeRows(row, 1);
    if (row < t->rows())
        m_cursor = t->cellAt(row, 0).firstCursorPosition();
    else
        m_cursor.setPosition(t->lastPosition() + 1);
}

void RichTextSink::flushRows(bool closing) const
{
    if (!m_pending)
        return;
    const std::unique_ptr<PendingRows> p = std::move(m_pending);
    QTextTable *t = p->table;
    if (!t || !m_doc)
        return;
    const int columns = p->columns;
    std::vector<PendingRows::Insertion> &insertions = p->insertions;
    // The insertion point only moves forward through the pending cells; sorted all the same.
    auto byCell = [](const PendingRows::Insertion &a, const PendingRows::Insertion &b) {
        return a.cell < b.cell;
    };
    if (!std::is_sorted(insertions.begin(), insertions.end(), byCell))
        std::stable_sort(insertions.begin(), insertions.end(), byCell);

    size_t next = 0;
    // Fills `count` rows of `table` from `tableRow` with the pending rows from `pendingRow`.
    auto fill = [&](QTextTable *table, int tableRow, int pendingRow, int count) {
        const int end = (pendingRow + count) * columns;
        int current = -1;
        QTextCursor c;
        for (; next < insertions.size() && insertions[next].cell < end; ++next) {
            const PendingRows::Insertion &i = insertions[next];
            if (i.cell != current) {
                current = i.cell;
                c = table->cellAt(tableRow + current / columns - pendingRow, current % columns)
                        .firstCursorPosition();
            }
            insertAt(c, i.text, i.format);
        }
    };

    QTextCursor edit(m_doc);
    edit.beginEditBlock();
    const int lastRow = t->rows() - 1;  // the pending rows go above it
    t->insertRows(lastRow, p->rows);
    fill(t, lastRow, 0, p->rows);
    if (p->cell >= 0)
        m_cursor = t->cellAt(lastRow + p->cell / columns, p->cell % columns).lastCursorPosition();
    if (closing) {
        t->removeRows(t->rows() - 1, 1);
        m_cursor.setPosition(t->lastPosition() + 1);
    }
    edit.endEditBlock();
}

void RichTextSink::appShow()
{
    if (!m_doc) {
        if (m_hadDocument)
            doc();  // raises: the user closed it
        fileNew();
    }
    flushRows();
    if (!m_window)
        m_window = new ReportWindow(m_owned.release());
    m_window->showReport();
}
