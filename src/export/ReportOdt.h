#pragma once
// The report as an OpenDocument text (ODT) laid out as the printed pages: the same A4 page
// (landscape when the pages are), fonts and column widths (fitted as the pages fit them),
// paragraphs with their alignment and bold, rows kept whole, single grid lines, the header
// row repeated on every page and "Страница N из M" at the foot.
#include <QByteArray>

class ReportDocument;

namespace ReportOdt {

// The bytes of the .odt file (a zip package).
QByteArray package(const ReportDocument &doc);

// The package's content.xml and styles.xml alone.
QByteArray content(const ReportDocument &doc);
QByteArray styles(const ReportDocument &doc);

}  // namespace ReportOdt
