#pragma once
// The window a finished report opens in: the user reads and edits it, prints it with a
// preview, saves it as ODT or PDF, or opens it in the desktop's word processor. The
// program never saves a report by itself. Non-modal; deleted when closed.
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QTextDocument;
class QTextEdit;
class QUrl;

class ReportWindow : public QMainWindow {
    Q_OBJECT

public:
    // Takes the document over.
    explicit ReportWindow(QTextDocument *document, QWidget *parent = nullptr);
    ~ReportWindow() override;

    QTextDocument *document() const { return m_document; }
    QTextEdit *editor() const { return m_editor; }

    // Shows the window in front. While a modal window is up the report hangs on it,
    // so that it takes input, and moves down to the next one when that one closes.
    void showReport();

    // Both raise FileError with the platform's text naming the file.
    void saveOdt(const QString &path);
    void savePdf(const QString &path);

    // The user's commands (each enters through the general error display).
    void printReport();
    void saveAsOdt();
    void saveAsPdf();
    void openInWordProcessor();

    // How a file is handed to the desktop; tests replace it (an empty function restores it).
    using UrlOpener = std::function<bool(const QUrl &)>;
    static void setUrlOpener(UrlOpener opener);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addCommand(const QString &objectName, const QString &text, const QString &hint,
                        const QKeySequence &shortcut, const std::function<void()> &fn);
    void hangOn(QWidget *anchor);
    QString reportTitle() const;

    QTextDocument *m_document;
    QTextEdit *m_editor;
};
