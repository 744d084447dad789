#pragma once
// The report laid out page by page, for printing, the print preview and PDF: A4 with the
// page margins once, tables fitted to the page width with long cells wrapped, a table's
// header row repeated at the top of every page it runs onto, page numbers at the foot.
#include <QFont>
#include <QPageLayout>
#include <QVector>
#include <functional>

class QPagedPaintDevice;
class ReportDocument;
struct ReportTable;

namespace ReportPages {

// Page margins, millimetres on every side.
constexpr double MarginMm = 15;

// A4 with the margins; landscape when the widest table would have to be narrowed to less
// than NarrowestPortrait of its width on a portrait page (landscape keeps it readable).
constexpr double NarrowestPortrait = 0.85;
QPageLayout pageLayout(const ReportDocument &doc);

// How much of the table's own width the page gives it: 1 when it fits, less when every
// column is narrowed in proportion to fit the page's text width.
double fitFactor(double tableWidthPoints, const QPageLayout &layout);

// The page's text width in points.
double textWidth(const QPageLayout &layout);

// Table text: the program's font at TablePt, a cell's text PadXPt from its sides and PadYPt
// from its top and bottom, grid lines LinePt wide. The ODT uses the same.
constexpr double TablePt = 9;
constexpr double ParagraphPt = 12;
constexpr double PadXPt = 3, PadYPt = 1.5;
constexpr double LinePt = 0.5;
QFont tableFont(bool bold);
QFont paragraphFont();

// The table's column widths in points on a text width of `width` points: as the report
// gives them when they fit. Columns whose text (in rows sampled over the table) is longer
// than their width get what they lack from the room the page has to spare; a table wider than
// the page first takes it from the room its columns do not use, then is narrowed in
// proportion. The pages and
// the ODT both take their columns from here, so a word kept whole on one is whole on the other.
QVector<double> columnWidths(const ReportTable &t, double width);

// The words at the foot of every page, %1 the page and %2 the number of pages.
QString footerText();

// Called as the work advances (done out of total); returning false cancels it.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Lays the document out on the device's pages (whose layout the caller has set) and paints
// them. Returns the number of pages; 0 when cancelled (the device then holds a partial job).
int paint(const ReportDocument &doc, QPagedPaintDevice &device, const Progress &progress = {});

}  // namespace ReportPages
