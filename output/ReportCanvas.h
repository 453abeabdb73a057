#pragma once

#include <QFont>
#include <QString>

#include <functional>

class QPainter;

// Draws a report page in millimetres from the top left corner of the printable area, the way
// the reports are laid out: a text is placed by its top left corner, centred in a box or a
// band, or right-aligned at an x; lines are straight lines with the default pen. Works on any
// device the painter is open on (a printer, a PDF writer, an image).
//
// Text height is the em of the face (the point size in millimetres): the gothic face's
// ideographic em box sits from the top of a text to its bottom, so that a text centred in a
// 5 mm row lies inside it as it did on the printers the layouts were made for.
class ReportCanvas
{
public:
    // The painter must already be active on the first page. newPage moves it to the next page
    // and returns false when the device cannot give one.
    ReportCanvas(QPainter &painter, std::function<bool()> newPage);

    static QString faceName();

    void setFontSize(qreal points);
    qreal fontSize() const { return m_points; }

    qreal textWidth(const QString &s) const; // mm
    qreal textHeight() const;                // mm

    // Top left at (x, y).
    void text(qreal x, qreal y, const QString &s);
    // Starts at x1 + (box width - text width) / 2, top at y.
    void textCentredX(qreal x1, qreal x2, qreal y, const QString &s);
    // Horizontally in x1..x2 and vertically in the band y1..y2, moved down by dy.
    void textCentred(qreal x1, qreal x2, qreal y1, qreal y2, const QString &s, qreal dy = 0);
    // Left edge at x, vertically centred in the band.
    void textLeft(qreal x, qreal y1, qreal y2, const QString &s);
    // Right edge at x, vertically centred in the band.
    void textRight(qreal x, qreal y1, qreal y2, const QString &s);
    // As textLeft, but a text wider than `width` is narrowed to fit, so that a long name does
    // not run over the next column and stays whole.
    void textLeftFit(qreal x, qreal width, qreal y1, qreal y2, const QString &s);
    // Top of a text vertically centred in the band.
    qreal bandTop(qreal y1, qreal y2) const { return y1 + ((y2 - y1) - textHeight()) / 2; }

    void line(qreal x1, qreal y1, qreal x2, qreal y2);
    // Pen width in mm for the lines that follow (the default pen is restored with 0).
    void setLineWidth(qreal mm);

    bool newPage();
    int pageCount() const { return m_pages; }

private:
    qreal px(qreal mm) const { return mm * m_dotsPerMmX; }
    qreal py(qreal mm) const { return mm * m_dotsPerMmY; }

    QPainter &m_p;
    std::function<bool()> m_newPage;
    QFont m_font;
    qreal m_points = 10;
    qreal m_dotsPerMmX = 1;
    qreal m_dotsPerMmY = 1;
    qreal m_lineWidth = 0;
    int m_pages = 1;
};
