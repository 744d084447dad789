#include "export/RichTextSink.h"

#include "app/Errors.h"
#include "export/ReportWindow.h"

#include <QTextDocument>
#include <QTextTable>

namespace {

// Word's own limits; beyond them it refuses the table.
constexpr int MaxColumns = 63;
constexpr int MaxRows = 32767;

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

    // The word processor reads its command names without regard to case.
    const QString n = name.toLower();
    if (n == QLatin1String("filenew")) {
        expect(0);
        fileNew();
    } else if (n == QLatin1String("filepagesetup")) {
        // Page set-up is the word processor's; the report window prints on A4 with its own margins.
        expect(6);
        for (int i = 0; i < 6; ++i)
            intArg(i);
        doc();
    } else if (n == QLatin1String("insert")) {
        expect(1);
        insert(args.at(0).toString());
    } else if (n == QLatin1String("centerpara")) {
        expect(0);
        align(Qt::AlignHCenter);
    } else if (n == QLatin1String("leftpara")) {
        expect(0);
        align(Qt::AlignLeft);
    } else if (n == QLatin1String("tableinserttable")) {
        expect(6);
        for (int i = 0; i < 6; ++i)
            intArg(i);
        insertTable(args);
    } else if (n == QLatin1String("tablecolumnwidth")) {
        expect(1);
        columnWidth(intArg(0));
    } else if (n == QLatin1String("charright")) {
        expect(0);
        charRight();
    } else if (n == QLatin1String("endofcolumn")) {
        expect(0);
        endOfColumn();
    } else if (n == QLatin1String("tableinsertrow")) {
        expect(0);
        insertRow();
    } else if (n == QLatin1String("tabledeleterow")) {
        expect(0);
        deleteRow();
    } else if (n == QLatin1String("appshow")) {
        expect(0);
        appShow();
    } else if (n == QLatin1String("bold")) {
        expect(1);
        if (!args.at(0).canConvert<bool>())
            throw badArgs();
        doc();
        m_charFormat.setFontWeight(args.at(0).toBool() ? QFont::Bold : QFont::Normal);
    } else {
        throw TavrellError(tr("Неизвестная команда документа: %1").arg(name),
                           TavrellError::Kind::Document);
    }
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
    m_owned = std::make_unique<QTextDocument>();
    m_doc = m_owned.get();
    m_window = nullptr;
    m_hadDocument = true;
    m_charFormat = QTextCharFormat();
    m_cursor = QTextCursor(m_doc);
}

void RichTextSink::insert(const QString &text)
{
    doc();
    // CR ends the paragraph (CR LF and LF count as one end too); the new paragraph
    // takes over the current one's formatting.
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    t.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    t.replace(QLatin1Char('\v'), QChar::LineSeparator);
    const QStringList parts = t.split(QLatin1Char('\r'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            m_cursor.insertBlock(m_cursor.blockFormat(), m_charFormat);
        if (!parts.at(i).isEmpty())
            m_cursor.insertText(parts.at(i), m_charFormat);
    }
}

void RichTextSink::align(Qt::Alignment alignment)
{
    doc();
    QTextBlockFormat f;
    f.setAlignment(alignment);
    m_cursor.mergeBlockFormat(f);
}

void RichTextSink::insertTable(const QVariantList &args)
{
    doc();
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
    QTextTable *t = table(QStringLiteral("EndOfColumn"));
    const int column = t->cellAt(m_cursor).column();
    m_cursor = t->cellAt(t->rows() - 1, column).firstCursorPosition();
}

void RichTextSink::insertRow()
{
    QTextTable *t = table(QStringLiteral("TableInsertRow"));
    const int row = t->cellAt(m_cursor).row();
    t->insertRows(row, 1);
    m_cursor = t->cellAt(row, 0).firstCursorPosition();
}

void RichTextSink::deleteRow()
{
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

void RichTextSink::appShow()
{
    if (!m_doc) {
        if (m_hadDocument)
            doc();  // raises: the user closed it
        fileNew();
    }
    if (!m_window)
        m_window = new ReportWindow(m_owned.release());
    m_window->showReport();
}
