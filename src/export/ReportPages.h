#pragma once
// The report laid out page by page, for printing, the print preview and PDF: A4 with the
// page margins once, tables fitted to the page width with long cells wrapped, a table's
// header row repeated at the top of every page it runs onto, page numbers at the foot.
#include <QPageLayout>
#include <functional>

class QPagedPaintDevice;
class ReportDocument;

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

// Called as the work advances (done out of total); returning false cancels it.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Lays the document out on the device's pages (whose layout the caller has set) and paints
// them. Returns the number of pages; 0 when cancelled (the device then holds a partial job).
int paint(const ReportDocument &doc, QPagedPaintDevice &device, const Progress &progress = {});

}  // namespace ReportPages
