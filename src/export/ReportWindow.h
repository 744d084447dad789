#pragma once
// The window a finished report opens in: the user reads and edits it, prints it with a
// preview, saves it as ODT or PDF, or opens it in the desktop's word processor. The
// program never saves a report by itself. Non-modal; deleted when closed.
//
// A report whose largest table is small opens as rich text, editable throughout. A larger
// one would take the text editor minutes to lay out: it opens with its text above and
// below the table in editors and the table in an editable table view over the report
// model. Either way the model gets every edit before it is printed or saved.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QTableView;
class QTextDocument;
class QTextEdit;
class QUrl;
class ReportDocument;
class ReportTableModel;

class ReportWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ReportWindow(std::shared_ptr<ReportDocument> document, QWidget *parent = nullptr);
    ~ReportWindow() override;

    // The report with the user's edits.
    const ReportDocument &report();
    // Brings the user's edits into the model / shows the model again.
    void syncToModel();
    void reload();

    // The rich text: the whole report, or in the table form the text above the table.
    QTextDocument *document() const;
    QTextEdit *editor() const { return m_editor; }
    // The table form's table view; null in the rich-text form.
    QTableView *tableView() const { return m_table; }
    bool isModified() const;

    // Shows the window in front, fitted to the screen and centred over the program. While a
    // modal window is up the report hangs on it, so that it takes input, and moves down to
    // the next one when that one closes.
    void showReport();

    // Both raise FileError with the platform's text naming the file. savePdf returns false
    // when the user cancelled it (nothing is written then).
    void saveOdt(const QString &path);
    bool savePdf(const QString &path);

    // The user's commands (each enters through the general error display).
    void printReport();
    void saveAsOdt();
    void saveAsPdf();
    void openInWordProcessor();

    // How a file is handed to the desktop; tests replace it (an empty function restores it).
    using UrlOpener = std::function<bool(const QUrl &)>;
    static void setUrlOpener(UrlOpener opener);

    // Largest table (in cells) that opens as rich text; larger ones open in the table form.
    static qint64 richTextLimit();
    static void setRichTextLimit(qint64 cells);  // 0 restores the default

    // The report windows open now, oldest first.
    static QList<ReportWindow *> openReports();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addCommand(const QString &objectName, const QString &text, const QString &hint,
                        const QKeySequence &shortcut, const std::function<void()> &fn);
    void hangOn(QWidget *anchor);
    void placeOnScreen();
    void build();
    QString reportTitle();
    void setUnmodified();

    std::shared_ptr<ReportDocument> m_model;
    QWidget *m_central = nullptr;
    QTextEdit *m_editor = nullptr;  // the rich text, or the text above the table
    QTextEdit *m_tail = nullptr;    // the text below the table (table form)
    QTableView *m_table = nullptr;
    ReportTableModel *m_tableModel = nullptr;
    int m_tableBlock = -1;  // the table form's table in the model
    bool m_placed = false;
};

// Closes every open report window, each asking about its unsaved edits as it does when
// the user closes it. False (and the rest left open) when the user keeps one open.
bool closeAllReports();
