#pragma once
// The default document sink: carries out the word-processor commands on a report model
// (paragraphs with alignment and bold, tables with column widths) and, on "AppShow",
// hands the document to a report window where the user owns it.
#include "export/DocumentSink.h"
#include "export/ReportDocument.h"
#include "export/ReportWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>

class QTextDocument;

class RichTextSink : public DocumentSink {
    Q_DECLARE_TR_FUNCTIONS(RichTextSink)

public:
    RichTextSink();
    ~RichTextSink() override;

    void command(const QString &name, const QVariantList &args = {}) override;

    // The active document: null before "FileNew" and once its window has been closed.
    ReportDocument *model() const;
    // The window showing the active document, once "AppShow" has been sent.
    ReportWindow *window() const { return m_window; }

    // The insertion point: a block of the model, and in a table its cell.
    struct Cursor {
        int block = 0;
        int offset = 0;  // characters into the paragraph or the cell
        int row = -1;    // -1 outside a table
        int column = -1;
        bool inTable() const { return row >= 0; }
    };
    const Cursor &cursor() const { return m_cursor; }

    static qreal pointsToPixels(int points) { return ReportDocument::pointsToPixels(points); }

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

    ReportDocument &doc();
    ReportTable &table(const QString &name);
    QString &cell();
    void toAfterTable();

    std::shared_ptr<ReportDocument> m_doc;
    QPointer<ReportWindow> m_window;
    bool m_shown = false;  // a window has taken the document
    Cursor m_cursor;
    bool m_bold = false;  // character formatting at the insertion point
    bool m_hadDocument = false;
};
