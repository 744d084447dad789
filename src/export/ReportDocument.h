#pragma once
// The light model of a report document that the default sink builds from the command
// stream: a sequence of paragraphs (alignment, runs of plain or bold text) and tables
// (column widths in points, rows of cell texts). Every table is followed by a paragraph,
// and the document ends with one. The report window, the pages and the ODT are made from it.
#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>
#include <memory>
#include <vector>

class QTextDocument;

struct ReportRun {
    QString text;
    bool bold = false;
};

struct ReportParagraph {
    Qt::Alignment alignment = Qt::AlignLeft;
    std::vector<ReportRun> runs;

    QString text() const;
    int length() const;
    bool isEmpty() const { return length() == 0; }
    // Inserts text (no paragraph ends in it) at a character offset.
    void insert(int offset, const QString &text, bool bold);
    // Cuts the paragraph at offset; returns the part after it, with the same alignment.
    ReportParagraph splitAt(int offset);
};

struct ReportTable {
    // Width of each column in points; the number of columns is widths.size().
    QList<double> widths;
    // One list of cell texts per row, each of columns() texts; "\n" ends a paragraph in a cell.
    std::vector<QStringList> rows;
    // The table's text is bold (the character formatting when it was inserted).
    bool bold = false;

    int columns() const { return int(widths.size()); }
    double totalWidth() const;
    qint64 cells() const { return qint64(rows.size()) * columns(); }
};

struct ReportBlock {
    ReportParagraph paragraph;           // when not a table
    std::shared_ptr<ReportTable> table;  // set for a table
    bool isTable() const { return bool(table); }
};

class ReportDocument {
public:
    ReportDocument();

    std::vector<ReportBlock> blocks;

    // The document's title: its first non-empty paragraph.
    QString title() const;
    // Index of the table with the most cells, -1 when there is none.
    int largestTable() const;
    qint64 largestTableCells() const;

    // Rich text for the editor (tables with fixed column widths at 96 pixels per inch),
    // and back: what the user edited in it, as a model.
    void toTextDocument(QTextDocument &doc) const;
    static ReportDocument fromTextDocument(const QTextDocument &doc);
    // The same for a part of the blocks [first, last).
    void toTextDocument(QTextDocument &doc, int first, int last) const;
    static std::vector<ReportBlock> blocksOf(const QTextDocument &doc);

    // Table widths come in points; the editor lays out in pixels at 96 per inch.
    static double pointsToPixels(double points) { return points * 96.0 / 72.0; }
    static double pixelsToPoints(double pixels) { return pixels * 72.0 / 96.0; }
};
