#pragma once
// The default document sink: carries out the word-processor commands on a rich-text
// document (paragraphs with alignment, bold, tables with column widths) and, on
// "AppShow", hands the document to a report window where the user owns it.
#include "export/DocumentSink.h"
#include "export/ReportWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTextCharFormat>
#include <QTextCursor>
#include <memory>
#include <vector>

class QTextDocument;
class QTextTable;

class RichTextSink : public DocumentSink {
    Q_DECLARE_TR_FUNCTIONS(RichTextSink)

public:
    RichTextSink();
    ~RichTextSink() override;

    void command(const QString &name, const QVariantList &args = {}) override;

    // The active document: null before "FileNew" and once its window has been closed.
    QTextDocument *document() const;
    // The window showing the active document, once "AppShow" has been sent.
    ReportWindow *window() const { return m_window; }
    // The insertion point.
    const QTextCursor &cursor() const;

    // Table widths come in points; the document lays out in pixels at 96 per inch.
    static qreal pointsToPixels(int points) { return points * 96.0 / 72.0; }


private:
    void fileNew();
    void insert(const QString &text);
    void align(Qt::Alignment alignment);
    void insertTable(const QVariantList &args);
    void columnWidth(int points);
    void charRight();
    void endOfColumn();
    void insertRow();
    void deleteRow();
    void appShow();

    QTextDocument &doc();
    QTextTable *table(const QString &name);
    static void insertAt(QTextCursor &cursor, const QString &text, const QTextCharFormat &format);

    // Rows inserted above a table's last row are kept here until the table is done
    // and then put in with one row insertion: each row inserted into a QTextTable makes
    // it rebuild its whole cell grid.
    struct PendingRows {
        struct Insertion {
            int cell;  // row * columns + column among the pending rows
            QString text;
            QTextCharFormat format;
        };
        QPointer<QTextTable> table;
        int columns = 0;
        int rows = 0;
        std::vector<Insertion> insertions;
        std::vector<bool> filled;  // cells that have had text
        int cell = -1;             // the insertion point's cell, -1 while it is in the document
    };
    bool inPendingCell() const { return m_pending && m_pending->cell >= 0; }
    bool lastRowOfPendingTable() const;
    // Puts the pending rows into their table; `closing` (the table's last row is being
    // deleted) also deletes that row.
    void flushRows(bool closing = false) const;
    void fillRows(QTextTable *t, int firstRow, int pendingRow, int count) const;

    std::unique_ptr<QTextDocument> m_owned;  // until a window takes it
    QPointer<QTextDocument> m_doc;
    QPointer<ReportWindow> m_window;
    mutable QTextCursor m_cursor;
    QTextCharFormat m_charFormat;  // character formatting at the insertion point
    bool m_hadDocument = false;
    mutable std::unique_ptr<PendingRows> m_pending;
};
