#include "ReportCanvas.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

namespace {

constexpr qreal kMmPerInch = 25.4;
constexpr qreal kPointsPerInch = 72;
// The top of the ideographic em box above the baseline, as a share of the em (880/1000 in the
// gothic face that stands in for the original one).
constexpr qreal kEmBoxAscent = 0.88;
// The default pen: one dot of the 254 dpi printers the reports were drawn for.
constexpr qreal kDefaultLineWidth = 0.1;

} // namespace

ReportCanvas::ReportCanvas(QPainter &painter, std::function<bool()> newPage)
    : m_p(painter), m_newPage(std::move(newPage))
{
    const QPaintDevice *d = m_p.device();
    m_dotsPerMmX = d ? d->logicalDpiX() / kMmPerInch : 1;
    m_dotsPerMmY = d ? d->logicalDpiY() / kMmPerInch : 1;
    m_font = QFont(faceName());
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setStyleStrategy(QFont::PreferDefault);
    setFontSize(10);
    setLineWidth(0);
}

QString ReportCanvas::faceName() { return QStringLiteral("Noto Sans CJK JP"); }

void ReportCanvas::setFontSize(qreal points)
{
    m_points = points;
    m_font.setPointSizeF(points);
    m_p.setFont(m_font);
}

qreal ReportCanvas::textWidth(const QString &s) const
{
    const QFontMetricsF fm(m_p.font(), m_p.device());
    return fm.horizontalAdvance(s) / m_dotsPerMmX;
}

qreal ReportCanvas::textHeight() const { return m_points * kMmPerInch / kPointsPerInch; }

void ReportCanvas::text(qreal x, qreal y, const QString &s)
{
    if (s.isEmpty())
        return;
    m_p.drawText(QPointF(px(x), py(y + kEmBoxAscent * textHeight())), s);
}

void ReportCanvas::textCentredX(qreal x1, qreal x2, qreal y, const QString &s)
{
    text(x1 + ((x2 - x1) - textWidth(s)) / 2, y, s);
}

void ReportCanvas::textCentred(qreal x1, qreal x2, qreal y1, qreal y2, const QString &s, qreal dy)
{
    textCentredX(x1, x2, bandTop(y1, y2) + dy, s);
}

void ReportCanvas::textLeft(qreal x, qreal y1, qreal y2, const QString &s) { text(x, bandTop(y1, y2), s); }

void ReportCanvas::textLeftFit(qreal x, qreal width, qreal y1, qreal y2, const QString &s)
{
    const qreal w = textWidth(s);
    if (w <= width || w <= 0) {
        textLeft(x, y1, y2, s);
        return;
    }
    QFont narrow = m_font;
    narrow.setStretch(qMax(1, int(100 * width / w)));
    m_p.setFont(narrow);
    text(x, bandTop(y1, y2), s);
    m_p.setFont(m_font);
}

void ReportCanvas::textRight(qreal x, qreal y1, qreal y2, const QString &s)
{
    text(x - textWidth(s), bandTop(y1, y2), s);
}

void ReportCanvas::line(qreal x1, qreal y1, qreal x2, qreal y2)
{
    m_p.drawLine(QPointF(px(x1), py(y1)), QPointF(px(x2), py(y2)));
}

void ReportCanvas::setLineWidth(qreal mm)
{
    m_lineWidth = mm > 0 ? mm : kDefaultLineWidth;
    QPen pen(Qt::black);
    pen.setWidthF(px(m_lineWidth));
    pen.setCapStyle(Qt::FlatCap);
    m_p.setPen(pen);
}

bool ReportCanvas::newPage()
{
    if (!m_newPage || !m_newPage())
        return false;
    ++m_pages;
    // A new page of a printer keeps the painter's state; an image page starts a new painter.
    m_p.setFont(m_font);
    setLineWidth(m_lineWidth);
    return true;
}
