#pragma once
// The report's print preview and the printing behind its button. Qt's own preview prints
// to a PDF file of any name when no printer is set up, and Qt's print dialog can print to
// any file, chosen in Qt's stock file dialog: either can write over the database or drop
// its locks. Here printing goes to printers only; PDF goes through the program's own save
// dialog.
#include <QDialog>
#include <functional>
#include <memory>

class QAction;
class QPrintDialog;
class QPrintPreviewWidget;
class QPrinter;

class PrintPreview : public QDialog {
    Q_OBJECT
public:
    using Painter = std::function<void(QPrinter *)>;
    PrintPreview(QPrinter *printer, Painter paint, QWidget *parent = nullptr);

    // Lets the user choose a printer and prints the preview's pages on it (through the
    // general error display).
    void print();

    QPrintPreviewWidget *Preview;
    QAction *ActPrint;

private:
    QPrinter *m_printer;
    Painter m_paint;
};

namespace Printing {

// Qt's print dialog with printers alone to choose from.
std::unique_ptr<QPrintDialog> printerDialog(QPrinter *printer, QWidget *parent);
// Sets the printer to one the user chooses; false when he cancels or there is no printer
// (which he is told).
bool choosePrinter(QPrinter &printer, QWidget *parent);

}  // namespace Printing
