#pragma once
// The report as an OpenDocument text (ODT): the same A4 page as the printed one (landscape
// when the pages are), paragraphs with their alignment and bold, tables with their column
// widths in points (narrowed in proportion when wider than the page) and the header row
// repeated on every page.
#include <QByteArray>

class ReportDocument;

namespace ReportOdt {

// The bytes of the .odt file (a zip package).
QByteArray package(const ReportDocument &doc);

// The package's content.xml alone.
QByteArray content(const ReportDocument &doc);

}  // namespace ReportOdt
