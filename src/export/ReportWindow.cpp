#include "export/ReportWindow.h"

#include "core/Errors.h"
#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/PrivateFiles.h"
#include "core/Seams.h"
#include "export/PrintPreview.h"
#include "export/ReportDocument.h"
#include "export/ReportOdt.h"
#include "export/ReportPages.h"
#include "export/ReportTableModel.h"
#include "export/TempFiles.h"
#include "export/WholeFile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QMenuBar>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QScreen>
#include <QTableView>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

ReportWindow::UrlOpener &urlOpener()
{
    static ReportWindow::UrlOpener opener;
    return opener;
}

// Measured (bench_report): the text editor lays a table out at about 0.3 ms a cell, so a
// table of this many cells opens as rich text in about half a second; the table view
// opens any size in a few tens of milliseconds.
constexpr qint64 DefaultRichTextLimit = 1500;
qint64 g_richTextLimit = 0;

QList<QPointer<ReportWindow>> &registry()
{
    static QList<QPointer<ReportWindow>> windows;
    return windows;
}

FileError saveError(const QString &path, const QString &reason)
{
    return FileError(QCoreApplication::translate("ReportWindow", "Не удалось сохранить файл \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), reason));
}

// Pasted or dropped HTML may name images by file, and the editor would read them, the
// database's files included (closing them drops SQLite's locks). A report has no images.
class ReportTextDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl &) override { return QVariant(); }
};

// Height of an editor that shows its whole text, up to `most`.
int fittingHeight(QTextEdit *editor, int most)
{
    QTextDocument *d = editor->document();
    d->setTextWidth(std::max(200, editor->viewport()->width()));
    const int h = int(d->size().height()) + 2 * editor->frameWidth() + 4;
    return std::min(h, most);
}

}  // namespace

void ReportWindow::setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

qint64 ReportWindow::richTextLimit() { return g_richTextLimit > 0 ? g_richTextLimit : DefaultRichTextLimit; }
void ReportWindow::setRichTextLimit(qint64 cells) { g_richTextLimit = cells; }

QList<ReportWindow *> ReportWindow::openReports()
{
    QList<ReportWindow *> out;
    for (const QPointer<ReportWindow> &w : std::as_const(registry()))
        if (w)
            out.append(w);
    return out;
}

bool closeAllReports()
{
    for (ReportWindow *w : ReportWindow::openReports()) {
        QPointer<ReportWindow> guard(w);
        if (guard && !guard->close())
            return false;
    }
    return true;
}

ReportWindow::ReportWindow(std::shared_ptr<ReportDocument> document, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_model(std::move(document))
{
    setObjectName(QStringLiteral("ReportWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    registry().append(this);

    QMenu *menu = menuBar()->addMenu(tr("&Файл"));
    menu->setObjectName(QStringLiteral("MenuFile"));
    QToolBar *bar = addToolBar(tr("Отчет"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);

    const QList<QAction *> actions = {
        addCommand(QStringLiteral("ActPrint"), tr("Печать..."), tr("Просмотр и печать отчета"), QKeySequence::Print,
                   [this] { printReport(); }),
        addCommand(QStringLiteral("ActSaveOdt"), tr("Сохранить в ODT..."), tr("Сохранить отчет как документ ODF"),
                   QKeySequence::Save, [this] { saveAsOdt(); }),
        addCommand(QStringLiteral("ActSavePdf"), tr("Сохранить в PDF..."), tr("Сохранить отчет в формате PDF"),
                   QKeySequence(), [this] { saveAsPdf(); }),
        addCommand(QStringLiteral("ActOpenExternal"), tr("Открыть в текстовом процессоре"),
                   tr("Открыть копию отчета в текстовом процессоре"), QKeySequence(),
                   [this] { openInWordProcessor(); }),
    };
    for (QAction *a : actions) {
        menu->addAction(a);
        bar->addAction(a);
    }
    menu->addSeparator();
    menu->addAction(addCommand(QStringLiteral("ActClose"), tr("Закрыть"), tr("Закрыть отчет"), QKeySequence::Close,
                               [this] { close(); }));

    build();
    setWindowTitle(reportTitle());
}

ReportWindow::~ReportWindow()
{
    registry().removeAll(QPointer<ReportWindow>(this));
    registry().removeAll(QPointer<ReportWindow>());
}

QAction *ReportWindow::addCommand(const QString &objectName, const QString &text, const QString &hint,
                                  const QKeySequence &shortcut, const std::function<void()> &fn)
{
    auto *a = new QAction(text, this);
    a->setObjectName(objectName);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcut(shortcut);
    Guard::connect(a, &QAction::triggered, this, [fn](bool) { fn(); });
    return a;
}

void ReportWindow::build()
{
    delete m_central;
    m_editor = m_tail = nullptr;
    m_table = nullptr;
    m_tableModel = nullptr;
    m_central = nullptr;

    const int large = m_model->largestTableCells() > richTextLimit() ? m_model->largestTable() : -1;
    m_tableBlock = large;
    auto makeEditor = [this](const QString &name, int first, int last) {
        auto *e = new QTextEdit;
        e->setObjectName(name);
        auto *d = new ReportTextDocument(e);
        m_model->toTextDocument(*d, first, last);
        // The report's own building is not undoable; the user's edits are.
        d->setUndoRedoEnabled(true);
        e->setDocument(d);
        return e;
    };
    if (large < 0) {
        m_editor = makeEditor(QStringLiteral("Editor"), 0, int(m_model->blocks.size()));
        m_central = m_editor;
        setCentralWidget(m_central);
        return;
    }

    m_central = new QWidget;
    m_central->setObjectName(QStringLiteral("ReportPane"));
    auto *layout = new QVBoxLayout(m_central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_editor = makeEditor(QStringLiteral("Editor"), 0, large);
    m_editor->setMaximumHeight(fittingHeight(m_editor, 160));
    layout->addWidget(m_editor);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("Table"));
    m_tableModel = new ReportTableModel(m_model->blocks[size_t(large)].table, m_table);
    m_table->setModel(m_tableModel);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const ReportTable &t = *m_model->blocks[size_t(large)].table;
    for (int c = 0; c < t.columns(); ++c)
        m_table->setColumnWidth(c, int(ReportDocument::pointsToPixels(t.widths.at(c))));
    layout->addWidget(m_table, 1);

    // The text below the table, when it has any.
    bool tailText = false;
    for (size_t i = size_t(large) + 1; i < m_model->blocks.size(); ++i)
        tailText = tailText || m_model->blocks[i].isTable() || !m_model->blocks[i].paragraph.isEmpty();
    if (tailText) {
        m_tail = makeEditor(QStringLiteral("TailEditor"), large + 1, int(m_model->blocks.size()));
        m_tail->setMaximumHeight(fittingHeight(m_tail, 120));
        layout->addWidget(m_tail);
    }
    setCentralWidget(m_central);
}

void ReportWindow::syncToModel()
{
    if (m_tableBlock < 0) {
        if (m_editor) {
            m_model->blocks = ReportDocument::blocksOf(*m_editor->document());
            if (m_model->blocks.empty() || m_model->blocks.back().isTable())
                m_model->blocks.push_back(ReportBlock());
        }
        return;
    }
    std::vector<ReportBlock> blocks = ReportDocument::blocksOf(*m_editor->document());
    std::vector<ReportBlock> tail;
    if (m_tail)
        tail = ReportDocument::blocksOf(*m_tail->document());
    else
        tail.assign(m_model->blocks.begin() + m_tableBlock + 1, m_model->blocks.end());
    ReportBlock table = std::move(m_model->blocks[size_t(m_tableBlock)]);
    m_tableBlock = int(blocks.size());
    blocks.push_back(std::move(table));
    for (ReportBlock &b : tail)
        blocks.push_back(std::move(b));
    if (blocks.back().isTable())
        blocks.push_back(ReportBlock());
    m_model->blocks = std::move(blocks);
}

void ReportWindow::reload()
{
    const bool modified = isModified();
    build();
    if (modified && m_editor)
        m_editor->document()->setModified(true);
    setWindowTitle(reportTitle());
}

const ReportDocument &ReportWindow::report()
{
    syncToModel();
    return *m_model;
}

QTextDocument *ReportWindow::document() const { return m_editor ? m_editor->document() : nullptr; }

bool ReportWindow::isModified() const
{
    return (m_editor && m_editor->document()->isModified()) || (m_tail && m_tail->document()->isModified()) ||
           (m_tableModel && m_tableModel->isModified());
}

void ReportWindow::setUnmodified()
{
    if (m_editor)
        m_editor->document()->setModified(false);
    if (m_tail)
        m_tail->document()->setModified(false);
    if (m_tableModel)
        m_tableModel->setModified(false);
}

QString ReportWindow::reportTitle()
{
    const QString line = m_model->title();
    return line.isEmpty() ? tr("Отчет") : tr("Отчет: %1").arg(line);
}

void ReportWindow::showReport()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != this && modal != parentWidget())
        hangOn(modal);
    setWindowTitle(reportTitle());
    setUnmodified();
    if (!m_placed)
        placeOnScreen();
    show();
    raise();
    activateWindow();
}

void ReportWindow::placeOnScreen()
{
    // As wide as the widest table wants, as high as the screen allows, centred over the
    // program's window and never past the screen's edges.
    m_placed = true;
    QWidget *anchor = parentWidget() ? parentWidget() : QApplication::activeModalWidget();
    if (!anchor || anchor == this)
        anchor = QApplication::activeWindow() != this ? QApplication::activeWindow() : nullptr;
    QScreen *screen = anchor ? anchor->screen() : this->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    double widest = 0;
    for (const ReportBlock &b : m_model->blocks)
        if (b.isTable())
            widest = std::max(widest, b.table->totalWidth());
    const QSize frame = frameGeometry().size() - geometry().size();
    const int wanted = std::max(800, int(ReportDocument::pointsToPixels(widest)) + 80);
    const int w = std::min(wanted, area.width() - 40 - frame.width());
    const int h = std::min(1000, area.height() - 40 - frame.height());
    resize(w, h);
    const QPoint centre = anchor ? anchor->frameGeometry().center() : area.center();
    QRect r(QPoint(0, 0), QSize(w, h) + frame);
    r.moveCenter(centre);
    r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width() + 1)));
    r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height() + 1)));
    move(r.topLeft());
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
    if (isModified() && !ConfirmBox(tr("Отчет изменен и не сохранен. Закрыть его?"))) {
        event->ignore();
        return;
    }
    event->accept();
}

void ReportWindow::saveOdt(const QString &path)
{
    const QByteArray package = ReportOdt::package(report());
    const QString reason = WholeFile::write(path, package, false);
    if (!reason.isEmpty())
        throw saveError(path, reason);
    setUnmodified();
}

namespace {

// Long page work shows its progress and can be cancelled; the windows keep being drawn.
class PageProgress {
public:
    explicit PageProgress(QWidget *parent)
        : m_dialog(QCoreApplication::translate("ReportWindow", "Подготовка страниц отчета..."),
                   QCoreApplication::translate("ReportWindow", "Отмена"), 0, 1000, parent)
    {
        m_dialog.setObjectName(QStringLiteral("PageProgress"));
        m_dialog.setWindowTitle(QCoreApplication::translate("ReportWindow", "Отчет"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(400);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }
    ReportPages::Progress callback()
    {
        return [this](qint64 done, qint64 total) {
            m_dialog.setValue(total > 0 ? int(done * 1000 / total) : 0);
            QCoreApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

}  // namespace

bool ReportWindow::savePdf(const QString &path)
{
    const QString refused = WholeFile::refusal(path);
    if (!refused.isEmpty())
        throw saveError(path, refused);
    const ReportDocument &doc = report();
    const PrivateFiles::Scope privately(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw saveError(path, WholeFile::failure(file, path, 0));
    int pages = 0;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(600);
        pdf.setPageLayout(ReportPages::pageLayout(doc));
        pdf.setTitle(reportTitle());
        pdf.setCreator(QCoreApplication::applicationName());
        PageProgress progress(this);
        pages = ReportPages::paint(doc, pdf, progress.callback());
    }
    if (pages == 0) {
        file.cancelWriting();
        return false;
    }
    if (!file.flush() || !file.commit())
        throw saveError(path, WholeFile::failure(file, path, 0));
    setUnmodified();
    return true;
}

void ReportWindow::printReport()
{
    const ReportDocument &doc = report();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(ReportPages::pageLayout(doc));
    printer.setDocName(reportTitle());
    PrintPreview preview(
        &printer,
        [this](QPrinter *p) {
            PageProgress progress(this);
            ReportPages::paint(*m_model, *p, progress.callback());
        },
        this);
    Seams::dialogs().exec(preview);
}

void ReportWindow::saveAsOdt()
{
    const QString path =
        Seams::dialogs().saveFileName(this, tr("Сохранить отчет"), tr("Документ ODF (*.odt)"), QStringLiteral("odt"));
    if (!path.isEmpty())
        saveOdt(path);
}

void ReportWindow::saveAsPdf()
{
    const QString path = Seams::dialogs().saveFileName(this, tr("Сохранить отчет в PDF"), tr("Документ PDF (*.pdf)"),
                                                       QStringLiteral("pdf"));
    if (!path.isEmpty())
        savePdf(path);
}

void ReportWindow::openInWordProcessor()
{
    // A copy in the temporary folder for the word processor; removed when the program ends.
    const QString path = TempFiles::make(QStringLiteral("tavrell-report-XXXXXX.odt"));
    const QByteArray package = ReportOdt::package(report());
    const QString reason = WholeFile::write(path, package, true);
    if (!reason.isEmpty())
        throw saveError(path, reason);
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened = urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
    if (!opened)
        throw TavrellError(
            tr("Не удалось открыть отчет в текстовом процессоре (файл \"%1\")").arg(QDir::toNativeSeparators(path)));
}
