#include "export/ReportPages.h"

#include "export/ReportDocument.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr double ParagraphPt = 12;  // paragraph text, points
constexpr double TablePt = 9;       // table text
constexpr double PadXPt = 3, PadYPt = 1.5;
constexpr double LinePt = 0.5;
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

Wrapped wrap(const QString &text, const QFont &font, QPaintDevice *device, double width,
             Qt::Alignment alignment, const QList<QTextLayout::FormatRange> &formats = {})
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
        m_paragraph = baseFont(ParagraphPt, false);
        m_cell = baseFont(TablePt, false);
        m_cellBold = baseFont(TablePt, true);
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
        const QFont f = baseFont(TablePt, false);
        m_painter.setFont(f);
        m_painter.setPen(Qt::black);
        const QRectF r(0, m_bottom + m_footer * 0.3, m_width, m_footer * 0.7);
        m_painter.drawText(r, Qt::AlignHCenter | Qt::AlignBottom,
                           tr("Страница %1 из %2").arg(m_page).arg(m_pages));
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

    // Heights of a row's cells, and the row's height.
    double rowHeight(const ReportTable &t, const QStringList &row, const QVector<double> &widths, bool bold)
    {
        const QFontMetricsF &fm = bold ? m_boldMetrics : m_metrics;
        double h = fm.height();
        for (int c = 0; c < t.columns() && c < row.size(); ++c) {
            const QString &text = row.at(c);
            const double inner = widths[c] - 2 * PadXPt * m_unit;
            if (text.isEmpty() || (!text.contains(QLatin1Char('\n')) && fm.horizontalAdvance(text) <= inner))
                continue;
            h = std::max(h, wrap(text, bold ? m_cellBold : m_cell, &m_device, inner, Qt::AlignLeft).height);
        }
        return h + 2 * PadYPt * m_unit;
    }

    void drawRow(const ReportTable &t, const QStringList &row, const QVector<double> &widths, double height,
                 bool bold)
    {
        const QFont &font = bold ? m_cellBold : m_cell;
        const QFontMetricsF &fm = bold ? m_boldMetrics : m_metrics;
        m_painter.setFont(font);
        double x = 0;
        const double padX = PadXPt * m_unit, padY = PadYPt * m_unit;
        for (int c = 0; c < t.columns(); ++c) {
            const double w = widths[c];
            const QRectF cell(x, m_y, w, height);
            if (bold)
                m_painter.fillRect(cell, QColor(235, 235, 235));
            m_painter.drawRect(cell);
            const QString text = c < row.size() ? row.at(c) : QString();
            const double inner = w - 2 * padX;
            if (!text.isEmpty()) {
                if (!text.contains(QLatin1Char('\n')) && fm.horizontalAdvance(text) <= inner) {
                    m_painter.drawText(QPointF(x + padX, m_y + padY + fm.ascent()), text);
                } else {
                    const Wrapped wr = wrap(text, font, &m_device, inner, Qt::AlignLeft);
                    m_painter.save();
                    m_painter.setClipRect(cell);
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
        // Every column narrowed in proportion when the table is wider than the page.
        const double k = ReportPages::fitFactor(t.totalWidth(), m_device.pageLayout());
        QVector<double> widths;
        for (double w : t.widths)
            widths.append(w * k * m_unit);
        if (m_paint) {
            QPen pen(Qt::black);
            pen.setWidthF(LinePt * m_unit);
            m_painter.setPen(pen);
        }
        // The first row is the header: bold, and repeated on every page the table runs onto.
        const bool hasHeader = t.rows.size() > 1;
        const double headerHeight = rowHeight(t, t.rows[0], widths, true);
        for (size_t r = 0; r < t.rows.size(); ++r) {
            const bool header = r == 0 && hasHeader;
            const bool bold = header || t.bold;
            const double h = header ? headerHeight : rowHeight(t, t.rows[r], widths, bold);
            // A header keeps at least one row under it on its page.
            const double need = header && r + 1 < t.rows.size() ? h + m_metrics.height() : h;
            if (m_y + need > m_bottom && m_y > 0) {
                newPage();
                if (hasHeader && r > 0) {
                    if (m_paint)
                        drawRow(t, t.rows[0], widths, headerHeight, true);
                    m_y += headerHeight;
                }
            }
            if (m_paint)
                drawRow(t, t.rows[r], widths, h, bold);
            m_y += h;
            if (!step())
                return false;
        }
        return true;
    }

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
