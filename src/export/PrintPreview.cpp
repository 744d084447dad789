#include "export/PrintPreview.h"

#include "core/Guard.h"
#include "core/MsgBox.h"
#include "core/Seams.h"

#include <QAction>
#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>
#include <QVBoxLayout>

namespace Printing {

std::unique_ptr<QPrintDialog> printerDialog(QPrinter *printer, QWidget *parent)
{
    auto dialog = std::make_unique<QPrintDialog>(printer, parent);
    dialog->setObjectName(QStringLiteral("PrintDialog"));
    dialog->setOption(QAbstractPrintDialog::PrintToFile, false);
    return dialog;
}

bool choosePrinter(QPrinter &printer, QWidget *parent)
{
    const QStringList printers = QPrinterInfo::availablePrinterNames();
    if (printers.isEmpty()) {
        InfoBox(QCoreApplication::translate("PrintPreview",
                                            "Принтеры не найдены: печатать не на чем. Чтобы получить файл, "
                                            "сохраните отчет командой \"Сохранить в PDF...\"."));
        return false;
    }
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printers.contains(printer.printerName())) {
        const QString preferred = QPrinterInfo::defaultPrinterName();
        printer.setPrinterName(printers.contains(preferred) ? preferred : printers.constFirst());
    }
    const std::unique_ptr<QPrintDialog> dialog = printerDialog(&printer, parent);
    if (Seams::dialogs().exec(*dialog) != QDialog::Accepted)
        return false;
    // Whatever the dialog let through, the output goes to a printer and to no file.
    return printer.outputFormat() == QPrinter::NativeFormat && printer.outputFileName().isEmpty();
}

}  // namespace Printing

PrintPreview::PrintPreview(QPrinter *printer, Painter paint, QWidget *parent)
    : QDialog(parent), m_printer(printer), m_paint(std::move(paint))
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(tr("Предварительный просмотр"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar"));
    layout->addWidget(bar);
    Preview = new QPrintPreviewWidget(printer, this);
    Preview->setObjectName(QStringLiteral("Preview"));
    layout->addWidget(Preview, 1);
    connect(Preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *p) { m_paint(p); });

    ActPrint = bar->addAction(QIcon::fromTheme(QStringLiteral("document-print")), tr("Печать..."));
    ActPrint->setObjectName(QStringLiteral("ActPrint"));
    Guard::connect(ActPrint, &QAction::triggered, this, [this](bool) { print(); });
    bar->addSeparator();
    const struct {
        const char *name, *icon, *text;
        std::function<void()> fn;
    } views[] = {
        {"ActFitWidth", "zoom-fit-width", QT_TR_NOOP("По ширине"), [this] { Preview->fitToWidth(); }},
        {"ActFitPage", "zoom-fit-best", QT_TR_NOOP("Страница целиком"), [this] { Preview->fitInView(); }},
        {"ActZoomIn", "zoom-in", QT_TR_NOOP("Крупнее"), [this] { Preview->zoomIn(); }},
        {"ActZoomOut", "zoom-out", QT_TR_NOOP("Мельче"), [this] { Preview->zoomOut(); }},
        {"ActPrevPage", "go-previous", QT_TR_NOOP("Предыдущая страница"),
         [this] { Preview->setCurrentPage(Preview->currentPage() - 1); }},
        {"ActNextPage", "go-next", QT_TR_NOOP("Следующая страница"),
         [this] { Preview->setCurrentPage(Preview->currentPage() + 1); }},
    };
    for (const auto &v : views) {
        QAction *a = bar->addAction(QIcon::fromTheme(QLatin1String(v.icon)), tr(v.text));
        a->setObjectName(QLatin1String(v.name));
        const std::function<void()> fn = v.fn;
        connect(a, &QAction::triggered, this, [fn] { fn(); });
    }
    resize(800, 900);
}

void PrintPreview::print()
{
    if (Printing::choosePrinter(*m_printer, this))
        Preview->print();
}
