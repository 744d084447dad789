#include "export/ReportDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

QString ReportParagraph::text() const
{
    QString out;
    for (const ReportRun &r : runs)
        out += r.text;
    return out;
}

int ReportParagraph::length() const
{
    int n = 0;
    for (const ReportRun &r : runs)
        n += int(r.text.size());
    return n;
}

void ReportParagraph::insert(int offset, const QString &text, bool bold)
{
    if (text.isEmpty())
        return;
    // Mostly appended at the end, in the formatting of the last run.
    if (offset >= length()) {
        if (!runs.empty() && runs.back().bold == bold)
            runs.back().text += text;
        else
            runs.push_back({text, bold});
        return;
    }
    int at = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        ReportRun &r = runs[i];
        const int end = at + int(r.text.size());
        if (offset <= end) {
            const int inner = offset - at;
            if (r.bold == bold) {
                r.text.insert(inner, text);
            } else {
                ReportRun tail{r.text.mid(inner), r.bold};
                r.text.truncate(inner);
                runs.insert(runs.begin() + long(i) + 1, {{text, bold}, tail});
            }
            return;
        }
        at = end;
    }
}

ReportParagraph ReportParagraph::splitAt(int offset)
{
    ReportParagraph tail;
    tail.alignment = alignment;
    int at = 0;
    std::vector<ReportRun> head;
    for (ReportRun &r : runs) {
        const int end = at + int(r.text.size());
        if (end <= offset) {
            head.push_back(std::move(r));
        } else if (at >= offset) {
            tail.runs.push_back(std::move(r));
        } else {
            head.push_back({r.text.left(offset - at), r.bold});
            tail.runs.push_back({r.text.mid(offset - at), r.bold});
        }
        at = end;
    }
    runs = std::move(head);
    return tail;
}

double ReportTable::totalWidth() const
{
    double w = 0;
    for (double c : widths)
        w += c;
    return w;
}

ReportDocument::ReportDocument() { blocks.push_back(ReportBlock()); }

QString ReportDocument::title() const
{
    for (const ReportBlock &b : blocks) {
        const QString line = b.isTable() ? QString() : b.paragraph.text().trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString();
}

int ReportDocument::largestTable() const
{
    int best = -1;
    qint64 cells = -1;
    for (size_t i = 0; i < blocks.size(); ++i)
        if (blocks[i].isTable() && blocks[i].table->cells() > cells) {
            best = int(i);
            cells = blocks[i].table->cells();
        }
    return best;
}

qint64 ReportDocument::largestTableCells() const
{
    const int i = largestTable();
    return i < 0 ? 0 : blocks[size_t(i)].table->cells();
}

namespace {

QTextCharFormat charFormat(bool bold)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

void insertCell(QTextCursor &c, const QString &text, const QTextCharFormat &format)
{
    if (!text.contains(QLatin1Char('\n'))) {
        if (!text.isEmpty())
            c.insertText(text, format);
        return;
    }
    const QStringList parts = text.split(QLatin1Char('\n'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            c.insertBlock(c.blockFormat(), format);
        if (!parts.at(i).isEmpty())
            c.insertText(parts.at(i), format);
    }
}

}  // namespace

void ReportDocument::toTextDocument(QTextDocument &doc) const { toTextDocument(doc, 0, int(blocks.size())); }

void ReportDocument::toTextDocument(QTextDocument &doc, int first, int last) const
{
    doc.clear();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    QTextCursor c(&doc);
    c.beginEditBlock();
    // The editor's document starts with a paragraph; a paragraph that follows a table is
    // the one the editor keeps after it.
    bool inFreshBlock = true;
    for (int i = first; i < last; ++i) {
        const ReportBlock &b = blocks[size_t(i)];
        if (b.isTable()) {
            const ReportTable &t = *b.table;
            if (t.rows.empty() || t.columns() == 0)
                continue;
            QTextTableFormat f;
            f.setBorder(1);
            f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            f.setBorderCollapse(true);
            f.setCellSpacing(0);
            f.setCellPadding(3);
            f.setAlignment(Qt::AlignLeft);
            QList<QTextLength> widths;
            for (double w : t.widths)
                widths.append(QTextLength(QTextLength::FixedLength, pointsToPixels(w)));
            f.setColumnWidthConstraints(widths);
            QTextTable *table = c.insertTable(int(t.rows.size()), t.columns(), f);
            const QTextCharFormat cf = charFormat(t.bold);
            // The cells lie one after the other, row by row, each starting with a block: the
            // text goes in walking from block to block (asking the table for a cell makes it
            // index all its cells again after every change).
            QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
            for (int r = 0; r < int(t.rows.size()); ++r) {
                const QStringList &row = t.rows[size_t(r)];
                for (int col = 0; col < t.columns(); ++col) {
                    if (r > 0 || col > 0)
                        cell.movePosition(QTextCursor::NextBlock);
                    if (col < row.size())
                        insertCell(cell, row.at(col), cf);
                }
            }
            c.setPosition(table->lastPosition() + 1);
            inFreshBlock = true;
            continue;
        }
        QTextBlockFormat bf;
        bf.setAlignment(b.paragraph.alignment);
        if (inFreshBlock)
            c.setBlockFormat(bf);
        else
            c.insertBlock(bf);
        inFreshBlock = false;
        for (const ReportRun &r : b.paragraph.runs)
            c.insertText(r.text, charFormat(r.bold));
    }
    c.endEditBlock();
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

namespace {

ReportParagraph paragraphOf(const QTextBlock &block)
{
    ReportParagraph p;
    p.alignment = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    if (!p.alignment)
        p.alignment = Qt::AlignLeft;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.isValid())
            p.insert(p.length(), f.text().replace(QChar::ObjectReplacementCharacter, QString()),
                     f.charFormat().fontWeight() >= QFont::Bold);
    }
    return p;
}

QString frameText(const QTextFrame *frame);

QString cellText(const QTextTableCell &cell)
{
    QStringList lines;
    for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
        if (it.currentFrame())
            lines << frameText(it.currentFrame());
        else if (it.currentBlock().isValid())
            lines << it.currentBlock().text();
    }
    return lines.join(QLatin1Char('\n'));
}

QString frameText(const QTextFrame *frame)
{
    QStringList lines;
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it) {
        if (it.currentFrame())
            lines << frameText(it.currentFrame());
        else if (it.currentBlock().isValid())
            lines << it.currentBlock().text();
    }
    return lines.join(QLatin1Char('\n'));
}

std::shared_ptr<ReportTable> tableOf(const QTextTable &t)
{
    auto out = std::make_shared<ReportTable>();
    const QList<QTextLength> constraints = t.format().columnWidthConstraints();
    for (int c = 0; c < t.columns(); ++c) {
        const QTextLength l = constraints.value(c);
        out->widths.append(l.type() == QTextLength::FixedLength ? ReportDocument::pixelsToPoints(l.rawValue()) : 50.0);
    }
    out->rows.reserve(size_t(t.rows()));
    bool bold = t.rows() > 0;
    for (int r = 0; r < t.rows(); ++r) {
        QStringList row;
        row.reserve(t.columns());
        for (int c = 0; c < t.columns(); ++c) {
            const QTextTableCell cell = t.cellAt(r, c);
            // A merged cell's text goes to its first column.
            const bool first = cell.row() == r && cell.column() == c;
            row.append(first ? cellText(cell) : QString());
            if (bold && first && r == 0 && c == 0)
                bold = cell.format().fontWeight() >= QFont::Bold ||
                       cell.firstCursorPosition().charFormat().fontWeight() >= QFont::Bold;
        }
        out->rows.push_back(std::move(row));
    }
    out->bold = bold;
    return out;
}

void collect(const QTextFrame *frame, std::vector<ReportBlock> &out)
{
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            if (auto *t = qobject_cast<QTextTable *>(child)) {
                ReportBlock b;
                b.table = tableOf(*t);
                out.push_back(std::move(b));
            } else {
                collect(child, out);
            }
        } else if (it.currentBlock().isValid()) {
            ReportBlock b;
            b.paragraph = paragraphOf(it.currentBlock());
            out.push_back(std::move(b));
        }
    }
}

}  // namespace

std::vector<ReportBlock> ReportDocument::blocksOf(const QTextDocument &doc)
{
    std::vector<ReportBlock> out;
    collect(doc.rootFrame(), out);
    // The editor keeps a paragraph before a table at the start; it is no paragraph of ours.
    if (out.size() > 1 && !out[0].isTable() && out[0].paragraph.isEmpty() && out[1].isTable())
        out.erase(out.begin());
    return out;
}

ReportDocument ReportDocument::fromTextDocument(const QTextDocument &doc)
{
    ReportDocument out;
    out.blocks = blocksOf(doc);
    if (out.blocks.empty() || out.blocks.back().isTable())
        out.blocks.push_back(ReportBlock());
    return out;
}
