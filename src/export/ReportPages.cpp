#include "export/ReportPages.h"

#include "export/ReportDocument.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

using ReportPages::LinePt;
using ReportPages::PadXPt;
using ReportPages::PadYPt;
using ReportPages::TablePt;
constexpr int ProgressStep = 250;  // rows between progress calls

QString tr(const char *text) { return QCoreApplication::translate("ReportPages", text); }

QFont baseFont(double points, bool bold)
{
    QFont f = QApplication::font();
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(false);
    f.setUnderline(false);
    return f;
}

// Text laid out in lines of a given width: words wrap, a word too long for a line breaks
// anywhere. Used for the texts that do not fit on one line.
struct Wrapped {
    std::unique_ptr<QTextLayout> layout;
    double height = 0;
};

Wrapped wrap(const QString &text, const QFont &font, QPaintDevice *device, double width, Qt::Alignment alignment,
             const QList<QTextLayout::FormatRange> &formats = {})
{
    Wrapped w;
    QString t = text;
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    w.layout = std::make_unique<QTextLayout>(t, font, device);
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    w.layout->setTextOption(option);
    w.layout->setFormats(formats);
    w.layout->setCacheEnabled(true);
    const double leading = QFontMetricsF(font, device).leading();
    w.layout->beginLayout();
    double y = 0;
    for (;;) {
        QTextLine line = w.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height() + leading;
    }
    w.layout->endLayout();
    w.height = std::max(y, QFontMetricsF(font, device).height());
    return w;
}

class Pager {
public:
    Pager(const ReportDocument &doc, QPagedPaintDevice &device, const ReportPages::Progress &progress)
        : m_doc(doc), m_device(device), m_progress(progress)
    {
        const QPageLayout layout = device.pageLayout();
        const int dpi = device.logicalDpiX();
        const QRect paint = layout.paintRectPixels(dpi);
        m_unit = dpi / 72.0;  // device pixels per point
        m_width = paint.width();
        m_footer = 14 * m_unit;
        m_bottom = paint.height() - m_footer;
        m_paragraph = ReportPages::paragraphFont();
        m_cell = ReportPages::tableFont(false);
        m_cellBold = ReportPages::tableFont(true);
        for (const ReportBlock &b : doc.blocks)
            m_total += b.isTable() ? qint64(b.table->rows.size()) : 1;
        m_total *= 2;  // laid out, then painted
    }

    int run()
    {
        // First the page breaks (the foot says how many pages there are), then the paint.
        if (!pass(false))
            return 0;
        m_pages = m_page;
        if (!m_painter.begin(&m_device))
            return 0;
        const bool done = pass(true);
        if (done)
            footer();
        m_painter.end();
        return done ? m_pages : 0;
    }

private:
    bool step()
    {
        ++m_done;
        if (m_progress && m_done % ProgressStep == 0)
            return m_progress(m_done, m_total);
        return true;
    }

    void newPage()
    {
        if (m_paint) {
            footer();
            m_device.newPage();
        }
        ++m_page;
        m_y = 0;
    }

    void footer()
    {
        m_painter.save();
        m_painter.setFont(m_cell);
        m_painter.setPen(Qt::black);
        const QRectF r(0, m_bottom + m_footer * 0.3, m_width, m_footer * 0.7);
        m_painter.drawText(r, Qt::AlignHCenter | Qt::AlignBottom, ReportPages::footerText().arg(m_page).arg(m_pages));
        m_painter.restore();
    }

    bool pass(bool paint)
    {
        m_paint = paint;
        m_page = 1;
        m_y = 0;
        for (const ReportBlock &b : m_doc.blocks) {
            if (b.isTable()) {
                if (!table(*b.table))
                    return false;
            } else {
                paragraph(b.paragraph);
                if (!step())
                    return false;
            }
        }
        return true;
    }

    void paragraph(const ReportParagraph &p)
    {
        QList<QTextLayout::FormatRange> formats;
        int at = 0;
        for (const ReportRun &r : p.runs) {
            if (r.bold) {
                QTextLayout::FormatRange range;
                range.start = at;
                range.length = int(r.text.size());
                range.format.setFontWeight(QFont::Bold);
                formats.append(range);
            }
            at += int(r.text.size());
        }
        const Wrapped w = wrap(p.text(), m_paragraph, &m_device, m_width, p.alignment, formats);
        if (m_y + w.height > m_bottom && m_y > 0)
            newPage();
        if (m_paint)
            w.layout->draw(&m_painter, QPointF(0, m_y));
        m_y += w.height;
    }

    // Where a table's cells go: its columns on the page, each row's height, and which
    // cells need more than one line (found while laying out, used while painting).
    struct TableLayout {
        QVector<double> widths;
        std::vector<float> heights;
        std::vector<quint64> wrapped;  // a bit per column (a table has at most 63)
        double headerHeight = 0;
    };

    const QFontMetricsF &metrics(bool bold) const { return bold ? m_boldMetrics : m_metrics; }

    // Whether a text fits on one line of the width. Most cells are far from the edge: the
    // sum of their characters' advances (kept per character) tells at once; only a text
    // near the edge is shaped and measured exactly.
    bool fits(const QString &text, bool bold, double width)
    {
        std::vector<float> &cache = bold ? m_boldAdvances : m_advances;
        const QFontMetricsF &fm = metrics(bold);
        if (cache.empty())
            cache.assign(0x10000, -1.f);
        double sum = 0;
        for (const QChar ch : text) {
            float &a = cache[ch.unicode()];
            if (a < 0)
                a = float(fm.horizontalAdvance(ch));
            sum += a;
        }
        if (sum <= width * 0.95)
            return true;
        if (sum > width * 1.1)
            return false;
        return fm.horizontalAdvance(text) <= width;
    }

    double rowHeight(const QStringList &row, const QVector<double> &widths, bool bold, quint64 &wrapped)
    {
        const QFontMetricsF &fm = metrics(bold);
        double h = fm.height();
        wrapped = 0;
        for (int c = 0; c < widths.size() && c < row.size(); ++c) {
            const QString &text = row.at(c);
            const double inner = widths[c] - 2 * PadXPt * m_unit;
            if (text.isEmpty() || (!text.contains(QLatin1Char('\n')) && fits(text, bold, inner)))
                continue;
            wrapped |= quint64(1) << c;
            h = std::max(h, wrap(text, bold ? m_cellBold : m_cell, &m_device, inner, Qt::AlignLeft).height);
        }
        return h + 2 * PadYPt * m_unit;
    }

    void drawRow(const QStringList &row, const TableLayout &l, double height, bool bold, quint64 wrapped)
    {
        const QFont &font = bold ? m_cellBold : m_cell;
        const QFontMetricsF &fm = metrics(bold);
        m_painter.setFont(font);
        double x = 0;
        const double padX = PadXPt * m_unit, padY = PadYPt * m_unit;
        if (bold)
            m_painter.fillRect(QRectF(0, m_y, l.widths.isEmpty() ? 0 : m_tableWidth, height), QColor(235, 235, 235));
        for (int c = 0; c < l.widths.size(); ++c) {
            const double w = l.widths[c];
            m_painter.drawRect(QRectF(x, m_y, w, height));
            const QString text = c < row.size() ? row.at(c) : QString();
            if (!text.isEmpty()) {
                if (!(wrapped & (quint64(1) << c))) {
                    m_painter.drawText(QPointF(x + padX, m_y + padY + fm.ascent()), text);
                } else {
                    const Wrapped wr = wrap(text, font, &m_device, w - 2 * padX, Qt::AlignLeft);
                    m_painter.save();
                    m_painter.setClipRect(QRectF(x, m_y, w, height));
                    wr.layout->draw(&m_painter, QPointF(x + padX, m_y + padY));
                    m_painter.restore();
                    m_painter.setFont(font);
                }
            }
            x += w;
        }
    }

    bool table(const ReportTable &t)
    {
        if (t.rows.empty() || t.columns() == 0)
            return true;
        m_metrics = QFontMetricsF(m_cell, &m_device);
        m_boldMetrics = QFontMetricsF(m_cellBold, &m_device);
        TableLayout &l = m_layouts[&t];
        if (!m_paint) {
            // Fitted on the layout's own width in points, as the ODT is.
            l.widths = ReportPages::columnWidths(t, ReportPages::textWidth(m_device.pageLayout()));
            for (double &w : l.widths)
                w *= m_unit;
            l.heights.resize(t.rows.size());
            l.wrapped.resize(t.rows.size());
        }
        m_tableWidth = 0;
        for (double w : l.widths)
            m_tableWidth += w;
        if (m_paint) {
            QPen pen(Qt::black);
            pen.setWidthF(LinePt * m_unit);
            m_painter.setPen(pen);
        }
        // The first row is the header: bold, and repeated on every page the table runs onto.
        const bool hasHeader = t.rows.size() > 1;
        for (size_t r = 0; r < t.rows.size(); ++r) {
            const bool header = r == 0 && hasHeader;
            const bool bold = header || t.bold;
            if (!m_paint) {
                quint64 wrapped = 0;
                l.heights[r] = float(rowHeight(t.rows[r], l.widths, bold, wrapped));
                l.wrapped[r] = wrapped;
            }
            const double h = l.heights[r];
            // A header keeps at least one row under it on its page.
            const double need =
                header && r + 1 < t.rows.size() ? h + l.heights[r + 1 < l.heights.size() ? r + 1 : r] : h;
            if (m_y + need > m_bottom && m_y > 0) {
                newPage();
                if (m_paint)
                    m_painter.setPen(QPen(Qt::black, LinePt * m_unit));
                if (hasHeader && r > 0) {
                    if (m_paint)
                        drawRow(t.rows[0], l, l.heights[0], true, l.wrapped[0]);
                    m_y += l.heights[0];
                }
            }
            if (m_paint)
                drawRow(t.rows[r], l, h, bold, l.wrapped[r]);
            m_y += h;
            if (!step())
                return false;
        }
        return true;
    }

    std::map<const ReportTable *, TableLayout> m_layouts;
    std::vector<float> m_advances, m_boldAdvances;  // per character, in the table's fonts
    double m_tableWidth = 0;
    const ReportDocument &m_doc;
    QPagedPaintDevice &m_device;
    ReportPages::Progress m_progress;
    QPainter m_painter;
    QFont m_paragraph, m_cell, m_cellBold;
    QFontMetricsF m_metrics{QFont()}, m_boldMetrics{QFont()};
    double m_unit = 1, m_width = 0, m_bottom = 0, m_footer = 0, m_y = 0;
    int m_page = 1, m_pages = 1;
    bool m_paint = false;
    qint64 m_done = 0, m_total = 0;
};

}  // namespace

QFont ReportPages::tableFont(bool bold) { return baseFont(TablePt, bold); }

QFont ReportPages::paragraphFont() { return baseFont(ParagraphPt, false); }

QString ReportPages::footerText() { return tr("Страница %1 из %2"); }

double ReportPages::textWidth(const QPageLayout &layout) { return layout.paintRect(QPageLayout::Point).width(); }

QVector<double> ReportPages::columnWidths(const ReportTable &t, double width)
{
    // Text measured at the PDF's resolution on an image, whatever the device: the pages of a
    // printer, the PDF and the ODT get the same columns.
    constexpr int Dpi = 600;
    QImage device(1, 1, QImage::Format_ARGB32);
    device.setDotsPerMeterX(qRound(Dpi / 0.0254));
    device.setDotsPerMeterY(qRound(Dpi / 0.0254));
    const double unit = Dpi / 72.0;
    const QFontMetricsF plain(tableFont(false), &device), bold(tableFont(true), &device);
    // The padding on both sides and a line: the ODT draws its lines inside the cell.
    const double pad = 2 * PadXPt + LinePt;
    const int n = t.columns();
    QVector<double> widths(n), longest(n, 0);
    double total = 0;
    for (int c = 0; c < n; ++c) {
        widths[c] = t.widths.at(c);
        total += widths[c];
    }
    const size_t rows = t.rows.size();
    const size_t sample = std::min<size_t>(rows, 400);
    for (size_t i = 0; i < sample; ++i) {
        const size_t r = sample < rows ? i * (rows - 1) / (sample - 1) : i;
        const QFontMetricsF &fm = r == 0 || t.bold ? bold : plain;
        const QStringList &row = t.rows[r];
        for (int c = 0; c < n && c < row.size(); ++c)
            for (const QString &line : row.at(c).split(QLatin1Char('\n')))
                longest[c] = std::max(longest[c], fm.horizontalAdvance(line) / unit * 1.1 + pad);
    }
    double lacking = 0;
    for (int c = 0; c < n; ++c)
        lacking += std::max(0.0, longest[c] - widths[c]);
    if (total > width) {
        // Too wide: the columns give up the room they do not use, as much as the page needs
        // and the columns short of room can take.
        double spare = 0;
        QVector<double> room(n, 0);
        for (int c = 0; c < n; ++c) {
            room[c] = std::max(0.0, widths[c] - std::max(longest[c], 2 * pad));
            spare += room[c];
        }
        if (spare > 0) {
            const double share = std::min(1.0, (total - width + lacking) / spare);
            total = 0;
            for (int c = 0; c < n; ++c) {
                widths[c] -= room[c] * share;
                total += widths[c];
            }
        }
        if (total > width) {
            for (double &w : widths)
                w *= width / total;
            return widths;
        }
    }
    const double room = width - total;
    if (room > 0 && lacking > 0) {
        const double share = std::min(1.0, room / lacking);
        for (int c = 0; c < n; ++c)
            widths[c] += std::max(0.0, longest[c] - widths[c]) * share;
    }
    return widths;
}

double ReportPages::fitFactor(double tableWidthPoints, const QPageLayout &layout)
{
    const double available = layout.paintRect(QPageLayout::Point).width();
    if (tableWidthPoints <= available || tableWidthPoints <= 0)
        return 1;
    return available / tableWidthPoints;
}

QPageLayout ReportPages::pageLayout(const ReportDocument &doc)
{
    const QMarginsF margins(MarginMm, MarginMm, MarginMm, MarginMm);
    QPageLayout portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins, QPageLayout::Millimeter);
    double widest = 0;
    for (const ReportBlock &b : doc.blocks)
        if (b.isTable())
            widest = std::max(widest, b.table->totalWidth());
    if (fitFactor(widest, portrait) >= NarrowestPortrait)
        return portrait;
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, margins, QPageLayout::Millimeter);
}

int ReportPages::paint(const ReportDocument &doc, QPagedPaintDevice &device, const Progress &progress)
{
    Pager pager(doc, device, progress);
    return pager.run();
}
