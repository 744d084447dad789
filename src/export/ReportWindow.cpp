#include "export/ReportWindow.h"

#include "core/Errors.h"
#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"
#include "export/WholeFile.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QMenuBar>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>

namespace {

ReportWindow::UrlOpener &urlOpener()
{
    static ReportWindow::UrlOpener opener;
    return opener;
}

const QMarginsF PageMargins(15, 15, 15, 15);  // millimetres

}  // namespace

void ReportWindow::setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

ReportWindow::ReportWindow(QTextDocument *document, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_document(document), m_editor(new QTextEdit(this))
{
    setObjectName(QStringLiteral("ReportWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_document->setParent(this);
    // The report's own building is not undoable; the user's edits are.
    m_document->setUndoRedoEnabled(true);

    m_editor->setObjectName(QStringLiteral("Editor"));
    m_editor->setDocument(m_document);
    setCentralWidget(m_editor);

    QMenu *menu = menuBar()->addMenu(tr("&Файл"));
    menu->setObjectName(QStringLiteral("MenuFile"));
    QToolBar *bar = addToolBar(tr("Отчет"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);

    const QList<QAction *> actions = {
        addCommand(QStringLiteral("ActPrint"), tr("Печать..."), tr("Просмотр и печать отчета"),
                   QKeySequence::Print, [this] { printReport(); }),
        addCommand(QStringLiteral("ActSaveOdt"), tr("Сохранить в ODT..."),
                   tr("Сохранить отчет как документ ODF"), QKeySequence::Save,
                   [this] { saveAsOdt(); }),
        addCommand(QStringLiteral("ActSavePdf"), tr("Сохранить в PDF..."),
                   tr("Сохранить отчет в формате PDF"), QKeySequence(),
                   [this] { saveAsPdf(); }),
        addCommand(QStringLiteral("ActOpenExternal"), tr("Открыть в текстовом процессоре"),
                   tr("Открыть копию отчета в текстовом процессоре"), QKeySequence(),
                   [this] { openInWordProcessor(); }),
    };
    for (QAction *a : actions) {
        menu->addAction(a);
        bar->addAction(a);
    }
    menu->addSeparator();
    menu->addAction(addCommand(QStringLiteral("ActClose"), tr("Закрыть"), tr("Закрыть отчет"),
                               QKeySequence::Close, [this] { close(); }));

    setWindowTitle(reportTitle());
    resize(800, 900);
}

ReportWindow::~ReportWindow() = default;

QAction *ReportWindow::addCommand(const QString &objectName, const QString &text,
                                  const QString &hint, const QKeySequence &shortcut,
                                  const std::function<void()> &fn)
{
    auto *a = new QAction(text, this);
    a->setObjectName(objectName);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcut(shortcut);
    Guard::connect(a, &QAction::triggered, this, [fn](bool) { fn(); });
    return a;
}

QString ReportWindow::reportTitle() const
{
    for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next()) {
        const QString line = b.text().trimmed();
        if (!line.isEmpty())
            return tr("Отчет: %1").arg(line);
    }
    return tr("Отчет");
}

void ReportWindow::showReport()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != this && modal != parentWidget())
        hangOn(modal);
    setWindowTitle(reportTitle());
    m_document->setModified(false);
    show();
    raise();
    activateWindow();
}

void ReportWindow::hangOn(QWidget *anchor)
{
    // A modal window blocks every window that is not its own; the report becomes one of
    // its windows for as long as it is up.
    if (parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool visible = isVisible();
    const QRect geometry = this->geometry();
    setParent(anchor, Qt::Window);
    if (anchor)
        anchor->installEventFilter(this);
    if (visible) {
        setGeometry(geometry);
        show();
    }
}

bool ReportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous()) {
        // The window we hang on is closing and will be freed by its opener: move on, so
        // the report outlives it.
        QWidget *next = QApplication::activeModalWidget();
        if (next == watched || next == this)
            next = nullptr;
        hangOn(next);
    }
    return QMainWindow::eventFilter(watched, event);
}

void ReportWindow::closeEvent(QCloseEvent *event)
{
    if (m_document->isModified() &&
        !ConfirmBox(tr("Отчет изменен и не сохранен. Закрыть его?"))) {
        event->ignore();
        return;
    }
    event->accept();
}

static FileError saveError(const QString &path, const QString &reason)
{
    return FileError(QCoreApplication::translate("ReportWindow", "Не удалось сохранить файл \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), reason));
}

void ReportWindow::saveOdt(const QString &path)
{
    // The ODF writer closes its device when done, which a save file does not allow:
    // build the package in memory, then write it at once.
    QBuffer package;
    package.open(QIODevice::WriteOnly);
    QTextDocumentWriter writer(&package, "odf");
    if (!writer.write(m_document))
        throw saveError(path, tr("не удалось построить документ ODF"));
    const QString reason = WholeFile::write(path, package.data(), false);
    if (!reason.isEmpty())
        throw saveError(path, reason);
    m_document->setModified(false);
}

void ReportWindow::savePdf(const QString &path)
{
    const QString refused = WholeFile::refusal(path);
    if (!refused.isEmpty())
        throw saveError(path, refused);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw saveError(path, file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      PageMargins, QPageLayout::Millimeter));
        pdf.setTitle(reportTitle());
        pdf.setCreator(QCoreApplication::applicationName());
        m_document->print(&pdf);
    }
    if (!file.commit())
        throw saveError(path, file.errorString());
    m_document->setModified(false);
}

void ReportWindow::printReport()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      PageMargins, QPageLayout::Millimeter));
    printer.setDocName(reportTitle());
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(tr("Предварительный просмотр"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *p) { m_document->print(p); });
    Seams::dialogs().exec(preview);
}

void ReportWindow::saveAsOdt()
{
    const QString path = Seams::dialogs().saveFileName(
        this, tr("Сохранить отчет"), tr("Документ ODF (*.odt)"), QStringLiteral("odt"));
    if (!path.isEmpty())
        saveOdt(path);
}

void ReportWindow::saveAsPdf()
{
    const QString path = Seams::dialogs().saveFileName(
        this, tr("Сохранить отчет в PDF"), tr("Документ PDF (*.pdf)"), QStringLiteral("pdf"));
    if (!path.isEmpty())
        savePdf(path);
}

void ReportWindow::openInWordProcessor()
{
    // A copy in the temporary folder; it stays there for the word processor to use.
    QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/tavrell-report-XXXXXX.odt"));
    temp.setAutoRemove(false);
    if (!temp.open())
        throw saveError(temp.fileTemplate(), temp.errorString());
    const QString path = temp.fileName();
    temp.close();
    const bool modified = m_document->isModified();
    saveOdt(path);
    m_document->setModified(modified);  // a temporary copy is not a save
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened = urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
    if (!opened)
        throw TavrellError(tr("Не удалось открыть отчет в текстовом процессоре (файл \"%1\")")
                               .arg(QDir::toNativeSeparators(path)));
}
