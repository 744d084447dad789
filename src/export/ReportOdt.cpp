#include "export/ReportOdt.h"

#include "export/ReportDocument.h"
#include "export/ReportPages.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontInfo>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <array>
#include <numeric>

namespace {

const QString NsOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString NsStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString NsText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString NsTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString NsFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString NsSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");

// A length in points as the package writes it ("50pt", "37.5pt").
QString pt(double points)
{
    return QString::number(points, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$"))) + QStringLiteral("pt");
}

QString mm(double millimetres) { return QString::number(millimetres, 'g', 6) + QStringLiteral("mm"); }

void namespaces(QXmlStreamWriter &w)
{
    w.writeNamespace(NsOffice, QStringLiteral("office"));
    w.writeNamespace(NsStyle, QStringLiteral("style"));
    w.writeNamespace(NsText, QStringLiteral("text"));
    w.writeNamespace(NsTable, QStringLiteral("table"));
    w.writeNamespace(NsFo, QStringLiteral("fo"));
    w.writeNamespace(NsSvg, QStringLiteral("svg"));
}

// The family the pages are painted in, as the system resolved it (a generic name such as
// "Sans Serif" could become another font in the word processor).
QString family(const QFont &font) { return QFontInfo(font).family(); }

// The fonts the document uses: "FP" for paragraphs, "FT" for tables.
void fontFaces(QXmlStreamWriter &w)
{
    w.writeStartElement(NsOffice, QStringLiteral("font-face-decls"));
    const std::pair<QString, QFont> faces[] = {{QStringLiteral("FP"), ReportPages::paragraphFont()},
                                               {QStringLiteral("FT"), ReportPages::tableFont(false)}};
    for (const auto &f : faces) {
        w.writeEmptyElement(NsStyle, QStringLiteral("font-face"));
        w.writeAttribute(NsStyle, QStringLiteral("name"), f.first);
        w.writeAttribute(NsSvg, QStringLiteral("font-family"), family(f.second));
    }
    w.writeEndElement();
}

void style(QXmlStreamWriter &w, const QString &name, const QString &family)
{
    w.writeStartElement(NsStyle, QStringLiteral("style"));
    w.writeAttribute(NsStyle, QStringLiteral("name"), name);
    w.writeAttribute(NsStyle, QStringLiteral("family"), family);
}

void paragraphStyle(QXmlStreamWriter &w, const QString &name, const QString &align, const QString &size = QString(),
                    bool bold = false)
{
    style(w, name, QStringLiteral("paragraph"));
    w.writeAttribute(NsStyle, QStringLiteral("parent-style-name"), QStringLiteral("Standard"));
    w.writeEmptyElement(NsStyle, QStringLiteral("paragraph-properties"));
    w.writeAttribute(NsFo, QStringLiteral("text-align"), align);
    if (!size.isEmpty()) {
        w.writeEmptyElement(NsStyle, QStringLiteral("text-properties"));
        w.writeAttribute(NsStyle, QStringLiteral("font-name"), QStringLiteral("FT"));
        w.writeAttribute(NsFo, QStringLiteral("font-size"), size);
        if (bold)
            w.writeAttribute(NsFo, QStringLiteral("font-weight"), QStringLiteral("bold"));
    }
    w.writeEndElement();
}

// Text with the package's own elements for runs of blanks, tabs and line breaks.
void writeText(QXmlStreamWriter &w, const QString &text)
{
    QString plain;
    auto flush = [&] {
        if (!plain.isEmpty())
            w.writeCharacters(plain);
        plain.clear();
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ') && (i == 0 || text.at(i - 1) == QLatin1Char(' ') || i + 1 == text.size())) {
            int n = 1;
            while (i + n < text.size() && text.at(i + n) == QLatin1Char(' '))
                ++n;
            flush();
            w.writeEmptyElement(NsText, QStringLiteral("s"));
            if (n > 1)
                w.writeAttribute(NsText, QStringLiteral("c"), QString::number(n));
            i += n - 1;
        } else if (c == QLatin1Char('\t')) {
            flush();
            w.writeEmptyElement(NsText, QStringLiteral("tab"));
        } else if (c == QChar::LineSeparator) {
            flush();
            w.writeEmptyElement(NsText, QStringLiteral("line-break"));
        } else if (c.unicode() < 0x20 || c == QChar(0xFFFE) || c == QChar(0xFFFF)) {
            // Not allowed in XML; dropped.
        } else {
            plain.append(c);
        }
    }
    flush();
}

void paragraph(QXmlStreamWriter &w, const QString &styleName, const std::vector<ReportRun> &runs)
{
    w.writeStartElement(NsText, QStringLiteral("p"));
    w.writeAttribute(NsText, QStringLiteral("style-name"), styleName);
    for (const ReportRun &r : runs) {
        if (r.bold) {
            w.writeStartElement(NsText, QStringLiteral("span"));
            w.writeAttribute(NsText, QStringLiteral("style-name"), QStringLiteral("TB"));
            writeText(w, r.text);
            w.writeEndElement();
        } else {
            writeText(w, r.text);
        }
    }
    w.writeEndElement();
}

// A cell's style by its place: every cell draws its right and bottom lines, the first column
// also its left and the first row its top, so that neighbours share one line. "H" for the
// header's shading.
QString cellStyle(bool top, bool left, bool header)
{
    return QStringLiteral("TC") + (top ? QStringLiteral("T") : QString()) + (left ? QStringLiteral("L") : QString()) +
           (header ? QStringLiteral("H") : QString());
}

void cellStyles(QXmlStreamWriter &w)
{
    const QString line = pt(ReportPages::LinePt) + QStringLiteral(" solid #000000");
    for (int top = 0; top < 2; ++top)
        for (int left = 0; left < 2; ++left)
            for (int header = 0; header < 2; ++header) {
                style(w, cellStyle(top, left, header), QStringLiteral("table-cell"));
                w.writeEmptyElement(NsStyle, QStringLiteral("table-cell-properties"));
                // The text as far from the lines as on the pages: a line is drawn inside the cell.
                w.writeAttribute(NsFo, QStringLiteral("padding-top"), pt(ReportPages::PadYPt));
                w.writeAttribute(NsFo, QStringLiteral("padding-bottom"), pt(ReportPages::PadYPt));
                w.writeAttribute(NsFo, QStringLiteral("padding-left"),
                                 pt(ReportPages::PadXPt - (left ? ReportPages::LinePt : 0)));
                w.writeAttribute(NsFo, QStringLiteral("padding-right"), pt(ReportPages::PadXPt - ReportPages::LinePt));
                w.writeAttribute(NsFo, QStringLiteral("border-top"), top ? line : QStringLiteral("none"));
                w.writeAttribute(NsFo, QStringLiteral("border-left"), left ? line : QStringLiteral("none"));
                w.writeAttribute(NsFo, QStringLiteral("border-bottom"), line);
                w.writeAttribute(NsFo, QStringLiteral("border-right"), line);
                if (header)
                    w.writeAttribute(NsFo, QStringLiteral("background-color"), QStringLiteral("#ebebeb"));
                w.writeEndElement();
            }
}

void cell(QXmlStreamWriter &w, const QString &text, bool bold, const QString &styleName)
{
    w.writeStartElement(NsTable, QStringLiteral("table-cell"));
    w.writeAttribute(NsTable, QStringLiteral("style-name"), styleName);
    w.writeAttribute(NsOffice, QStringLiteral("value-type"), QStringLiteral("string"));
    const QString paragraphStyle = bold ? QStringLiteral("TH") : QStringLiteral("TP");
    if (!text.contains(QLatin1Char('\n'))) {
        w.writeStartElement(NsText, QStringLiteral("p"));
        w.writeAttribute(NsText, QStringLiteral("style-name"), paragraphStyle);
        writeText(w, text);
        w.writeEndElement();
    } else {
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            w.writeStartElement(NsText, QStringLiteral("p"));
            w.writeAttribute(NsText, QStringLiteral("style-name"), paragraphStyle);
            writeText(w, line);
            w.writeEndElement();
        }
    }
    w.writeEndElement();
}

void row(QXmlStreamWriter &w, const QStringList &cells, int columns, bool bold, bool first, bool header)
{
    w.writeStartElement(NsTable, QStringLiteral("table-row"));
    w.writeAttribute(NsTable, QStringLiteral("style-name"), QStringLiteral("TR"));
    for (int c = 0; c < columns; ++c)
        cell(w, cells.value(c), bold, cellStyle(first, c == 0, header));
    w.writeEndElement();
}

// The foot of every page as the pages word it, with the page's number and the count of pages
// as fields.
void footer(QXmlStreamWriter &w)
{
    w.writeStartElement(NsStyle, QStringLiteral("footer"));
    w.writeStartElement(NsText, QStringLiteral("p"));
    w.writeAttribute(NsText, QStringLiteral("style-name"), QStringLiteral("PF"));
    const QString words = ReportPages::footerText();
    static const QRegularExpression place(QStringLiteral("%([12])"));
    int at = 0;
    for (auto it = place.globalMatch(words); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        writeText(w, words.mid(at, m.capturedStart() - at));
        const bool number = m.captured(1) == QLatin1String("1");
        w.writeStartElement(NsText, number ? QStringLiteral("page-number") : QStringLiteral("page-count"));
        if (number)
            w.writeAttribute(NsText, QStringLiteral("select-page"), QStringLiteral("current"));
        w.writeCharacters(QStringLiteral("1"));
        w.writeEndElement();
        at = int(m.capturedEnd());
    }
    writeText(w, words.mid(at));
    w.writeEndElement();
    w.writeEndElement();
}

QByteArray stylesXml(const QPageLayout &layout)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeStartElement(NsOffice, QStringLiteral("document-styles"));
    namespaces(w);
    w.writeAttribute(NsOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    fontFaces(w);
    w.writeStartElement(NsOffice, QStringLiteral("styles"));
    w.writeStartElement(NsStyle, QStringLiteral("default-style"));
    w.writeAttribute(NsStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
    w.writeEmptyElement(NsStyle, QStringLiteral("text-properties"));
    w.writeAttribute(NsStyle, QStringLiteral("font-name"), QStringLiteral("FP"));
    w.writeAttribute(NsFo, QStringLiteral("font-size"), pt(ReportPages::ParagraphPt));
    w.writeEndElement();
    style(w, QStringLiteral("Standard"), QStringLiteral("paragraph"));
    w.writeAttribute(NsStyle, QStringLiteral("class"), QStringLiteral("text"));
    w.writeEndElement();
    w.writeEndElement();  // styles

    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    w.writeStartElement(NsOffice, QStringLiteral("automatic-styles"));
    w.writeStartElement(NsStyle, QStringLiteral("page-layout"));
    w.writeAttribute(NsStyle, QStringLiteral("name"), QStringLiteral("PM"));
    w.writeStartElement(NsStyle, QStringLiteral("page-layout-properties"));
    w.writeAttribute(NsFo, QStringLiteral("page-width"), mm(landscape ? 297 : 210));
    w.writeAttribute(NsFo, QStringLiteral("page-height"), mm(landscape ? 210 : 297));
    w.writeAttribute(NsStyle, QStringLiteral("print-orientation"),
                     landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    w.writeAttribute(NsFo, QStringLiteral("margin-top"), mm(m.top()));
    w.writeAttribute(NsFo, QStringLiteral("margin-bottom"), mm(m.bottom()));
    w.writeAttribute(NsFo, QStringLiteral("margin-left"), mm(m.left()));
    w.writeAttribute(NsFo, QStringLiteral("margin-right"), mm(m.right()));
    w.writeEndElement();
    // The foot within the bottom margin's line, as on the pages.
    w.writeStartElement(NsStyle, QStringLiteral("footer-style"));
    w.writeEmptyElement(NsStyle, QStringLiteral("header-footer-properties"));
    w.writeAttribute(NsFo, QStringLiteral("min-height"), QStringLiteral("0pt"));
    w.writeAttribute(NsFo, QStringLiteral("margin-top"), pt(4));
    w.writeEndElement();
    w.writeEndElement();  // page-layout
    paragraphStyle(w, QStringLiteral("PF"), QStringLiteral("center"), pt(ReportPages::TablePt));
    w.writeEndElement();  // automatic-styles

    w.writeStartElement(NsOffice, QStringLiteral("master-styles"));
    w.writeStartElement(NsStyle, QStringLiteral("master-page"));
    w.writeAttribute(NsStyle, QStringLiteral("name"), QStringLiteral("Standard"));
    w.writeAttribute(NsStyle, QStringLiteral("page-layout-name"), QStringLiteral("PM"));
    footer(w);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const QByteArray Manifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.2\">"
    "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
    "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
    "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>"
    "</manifest:manifest>";

// ---- A zip package: "mimetype" stored first, the rest deflated ----

quint32 crc32(const QByteArray &data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : data)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

class Zip {
public:
    void add(const QByteArray &name, const QByteArray &data, bool deflate)
    {
        QByteArray stored = data;
        quint16 method = 0;
        if (deflate) {
            // qCompress gives a 4-byte size, then a zlib stream: 2 bytes of header, the raw
            // deflate data that a zip holds, and 4 bytes of checksum.
            const QByteArray z = qCompress(data, 6);
            if (z.size() > 10) {
                stored = z.mid(6, z.size() - 10);
                method = 8;
            }
        }
        Entry e{name, crc32(data), quint32(stored.size()), quint32(data.size()), method, quint32(m_out.size())};
        put32(m_out, 0x04034b50);
        header(e);
        m_out.append(name);
        m_out.append(stored);
        m_entries.push_back(e);
    }

    QByteArray finish()
    {
        const quint32 start = quint32(m_out.size());
        for (const Entry &e : m_entries) {
            put32(m_out, 0x02014b50);
            put16(m_out, 20);  // made by
            header(e);
            put16(m_out, 0);  // comment
            put16(m_out, 0);  // disk
            put16(m_out, 0);  // internal attributes
            put32(m_out, 0);  // external attributes
            put32(m_out, e.offset);
            m_out.append(e.name);
        }
        const quint32 size = quint32(m_out.size()) - start;
        put32(m_out, 0x06054b50);
        put16(m_out, 0);
        put16(m_out, 0);
        put16(m_out, quint16(m_entries.size()));
        put16(m_out, quint16(m_entries.size()));
        put32(m_out, size);
        put32(m_out, start);
        put16(m_out, 0);
        return m_out;
    }

private:
    struct Entry {
        QByteArray name;
        quint32 crc, compressed, size;
        quint16 method;
        quint32 offset;
    };

    void header(const Entry &e)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        put16(m_out, 20);  // version needed
        put16(m_out, 0);   // flags
        put16(m_out, e.method);
        put16(m_out, quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2)));
        put16(m_out, quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day()));
        put32(m_out, e.crc);
        put32(m_out, e.compressed);
        put32(m_out, e.size);
        put16(m_out, quint16(e.name.size()));
        put16(m_out, 0);  // extra
    }

    QByteArray m_out;
    std::vector<Entry> m_entries;
};

}  // namespace

QByteArray ReportOdt::content(const ReportDocument &doc)
{
    const QPageLayout layout = ReportPages::pageLayout(doc);
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeStartElement(NsOffice, QStringLiteral("document-content"));
    namespaces(w);
    w.writeAttribute(NsOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    fontFaces(w);

    w.writeStartElement(NsOffice, QStringLiteral("automatic-styles"));
    paragraphStyle(w, QStringLiteral("PL"), QStringLiteral("start"));
    paragraphStyle(w, QStringLiteral("PC"), QStringLiteral("center"));
    paragraphStyle(w, QStringLiteral("PR"), QStringLiteral("end"));
    paragraphStyle(w, QStringLiteral("PJ"), QStringLiteral("justify"));
    paragraphStyle(w, QStringLiteral("TP"), QStringLiteral("start"), pt(ReportPages::TablePt));
    paragraphStyle(w, QStringLiteral("TH"), QStringLiteral("start"), pt(ReportPages::TablePt), true);
    style(w, QStringLiteral("TB"), QStringLiteral("text"));
    w.writeEmptyElement(NsStyle, QStringLiteral("text-properties"));
    w.writeAttribute(NsFo, QStringLiteral("font-weight"), QStringLiteral("bold"));
    w.writeAttribute(NsStyle, QStringLiteral("font-weight-asian"), QStringLiteral("bold"));
    w.writeAttribute(NsStyle, QStringLiteral("font-weight-complex"), QStringLiteral("bold"));
    w.writeEndElement();
    cellStyles(w);
    // A row is never split between pages, as on the pages.
    style(w, QStringLiteral("TR"), QStringLiteral("table-row"));
    w.writeEmptyElement(NsStyle, QStringLiteral("table-row-properties"));
    w.writeAttribute(NsFo, QStringLiteral("keep-together"), QStringLiteral("always"));
    w.writeEndElement();
    // Each table its width and its columns' widths, in points, fitted to the page as the
    // pages fit them.
    int number = 0;
    for (const ReportBlock &b : doc.blocks) {
        if (!b.isTable())
            continue;
        ++number;
        const ReportTable &t = *b.table;
        const QVector<double> widths = ReportPages::columnWidths(t, ReportPages::textWidth(layout));
        style(w, QStringLiteral("T%1").arg(number), QStringLiteral("table"));
        w.writeEmptyElement(NsStyle, QStringLiteral("table-properties"));
        w.writeAttribute(NsStyle, QStringLiteral("width"), pt(std::accumulate(widths.begin(), widths.end(), 0.0)));
        w.writeAttribute(NsTable, QStringLiteral("align"), QStringLiteral("left"));
        w.writeEndElement();
        for (int c = 0; c < t.columns(); ++c) {
            style(w, QStringLiteral("T%1.C%2").arg(number).arg(c + 1), QStringLiteral("table-column"));
            w.writeEmptyElement(NsStyle, QStringLiteral("table-column-properties"));
            w.writeAttribute(NsStyle, QStringLiteral("column-width"), pt(widths.at(c)));
            w.writeEndElement();
        }
    }
    w.writeEndElement();  // automatic-styles

    w.writeStartElement(NsOffice, QStringLiteral("body"));
    w.writeStartElement(NsOffice, QStringLiteral("text"));
    number = 0;
    for (const ReportBlock &b : doc.blocks) {
        if (!b.isTable()) {
            const Qt::Alignment a = b.paragraph.alignment;
            const QString s = a & Qt::AlignHCenter   ? QStringLiteral("PC")
                              : a & Qt::AlignRight   ? QStringLiteral("PR")
                              : a & Qt::AlignJustify ? QStringLiteral("PJ")
                                                     : QStringLiteral("PL");
            paragraph(w, s, b.paragraph.runs);
            continue;
        }
        ++number;
        const ReportTable &t = *b.table;
        if (t.rows.empty() || t.columns() == 0)
            continue;
        w.writeStartElement(NsTable, QStringLiteral("table"));
        w.writeAttribute(NsTable, QStringLiteral("name"), QStringLiteral("Таблица%1").arg(number));
        w.writeAttribute(NsTable, QStringLiteral("style-name"), QStringLiteral("T%1").arg(number));
        for (int c = 0; c < t.columns(); ++c) {
            w.writeEmptyElement(NsTable, QStringLiteral("table-column"));
            w.writeAttribute(NsTable, QStringLiteral("style-name"), QStringLiteral("T%1.C%2").arg(number).arg(c + 1));
        }
        // The first row is the header, repeated on every page.
        size_t first = 0;
        if (t.rows.size() > 1) {
            w.writeStartElement(NsTable, QStringLiteral("table-header-rows"));
            row(w, t.rows[0], t.columns(), true, true, true);
            w.writeEndElement();
            first = 1;
        }
        for (size_t r = first; r < t.rows.size(); ++r)
            row(w, t.rows[r], t.columns(), t.bold, r == 0, false);
        w.writeEndElement();  // table
    }
    w.writeEndElement();  // text
    w.writeEndElement();  // body
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray ReportOdt::package(const ReportDocument &doc)
{
    Zip zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument.text", false);
    zip.add("content.xml", content(doc), true);
    zip.add("styles.xml", styles(doc), true);
    zip.add("META-INF/manifest.xml", Manifest, true);
    return zip.finish();
}

QByteArray ReportOdt::styles(const ReportDocument &doc) { return stylesXml(ReportPages::pageLayout(doc)); }
