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

class QTextDocument;
class QTextTable;

class RichTextSink : public DocumentSink {
    Q_DECLARE_TR_FUNCTIONS(RichTextSink)

public:
    RichTextSink();
    ~RichTextSink() override;

    void command(const QString &name, const QVariantList &args = {}) override;

    // The active document: null before "FileNew" and once its window has been closed.
    QTextDocument *document() const { return m_doc; }
    // The window showing the active document, once "AppShow" has been sent.
    ReportWindow *window() const { return m_window; }
    // The insertion point.
    const QTextCursor &cursor() const { return m_cursor; }

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

    std::unique_ptr<QTextDocument> m_owned;  // until a window takes it
    QPointer<QTextDocument> m_doc;
    QPointer<ReportWindow> m_window;
    QTextCursor m_cursor;
    QTextCharFormat m_charFormat;  // character formatting at the insertion point
    bool m_hadDocument = false;
};
