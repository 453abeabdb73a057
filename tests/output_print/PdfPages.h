#pragma once

// Reads a printed PDF back the way a person checks a print-out: the words of each page with
// their boxes in millimetres (pdftotext -bbox), and a page as an image (pdftoppm) to find the
// lines of a table.

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace PdfPages {

struct Word {
    QString text;
    double x1, y1, x2, y2; // mm from the top left corner of the page
    double cx() const { return (x1 + x2) / 2; }
    double cy() const { return (y1 + y2) / 2; }
};

using Page = QVector<Word>;

inline double mm(const QString &points) { return points.toDouble() * 25.4 / 72.0; }

inline QString unescape(QString s)
{
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return s;
}

// The PDF's text maps some ideographs to their radical look-alikes (月 comes back as the
// radical U+2F49); compatibility normalisation gives the ideographs back. Expected texts go
// through the same, so that "～" and "~", "：" and ":" compare equal.
// The full-width tilde comes back as the wave dash, and 長 as a supplementary radical that
// normalisation leaves alone.
inline QString norm(const QString &s)
{
    return s.normalized(QString::NormalizationForm_KC)
        .replace(QChar(0x301C), QLatin1Char('~'))
        .replace(QChar(0x2ED1), QChar(0x9577));
}

inline QVector<Page> read(const QString &pdf)
{
    QVector<Page> pages;
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return pages;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression pageRe(QStringLiteral("<page [^>]*>(.*?)</page>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">(.*?)</word>"));
    for (auto pm = pageRe.globalMatch(html); pm.hasNext();) {
        const QString body = pm.next().captured(1);
        Page page;
        for (auto wm = wordRe.globalMatch(body); wm.hasNext();) {
            const auto w = wm.next();
            page << Word{norm(unescape(w.captured(5))), mm(w.captured(1)), mm(w.captured(2)), mm(w.captured(3)),
                         mm(w.captured(4))};
        }
        pages << page;
    }
    return pages;
}

inline QVector<Word> find(const Page &page, const QString &text)
{
    QVector<Word> found;
    const QString wanted = norm(text);
    for (const Word &w : page)
        if (w.text == wanted)
            found << w;
    return found;
}

inline QVector<Word> matching(const Page &page, const QRegularExpression &re)
{
    QVector<Word> found;
    for (const Word &w : page)
        if (re.match(w.text).hasMatch())
            found << w;
    return found;
}

// The word in the given row band (its centre between y1 and y2) and column band.
inline QVector<Word> inBox(const Page &page, double x1, double x2, double y1, double y2)
{
    QVector<Word> found;
    for (const Word &w : page)
        if (w.cx() > x1 && w.cx() < x2 && w.cy() > y1 && w.cy() < y2)
            found << w;
    return found;
}

// Page `index` (0-based) as a greyscale image at 10 pixels per millimetre (254 dpi).
inline QImage image(const QString &pdf, int index)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("254"), QStringLiteral("-gray"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), QStringLiteral("-f"), QString::number(index + 1), QStringLiteral("-l"),
             QString::number(index + 1), pdf, base});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QImage();
    return QImage(base + QStringLiteral(".png"));
}

// True when a horizontal line runs at y (mm) from x1 to x2: the darkest pixel within a quarter
// millimetre of y is dark at every sampled x.
inline bool hLine(const QImage &img, double y, double x1, double x2)
{
    for (double x = x1 + 0.5; x < x2 - 0.5; x += 1.0) {
        int darkest = 255;
        for (int dy = -3; dy <= 3; ++dy) {
            const int py = int(y * 10 + 0.5) + dy, px = int(x * 10 + 0.5);
            if (py >= 0 && py < img.height() && px >= 0 && px < img.width())
                darkest = qMin(darkest, qGray(img.pixel(px, py)));
        }
        if (darkest > 128)
            return false;
    }
    return true;
}

inline bool vLine(const QImage &img, double x, double y1, double y2)
{
    for (double y = y1 + 0.5; y < y2 - 0.5; y += 1.0) {
        int darkest = 255;
        for (int dx = -3; dx <= 3; ++dx) {
            const int px = int(x * 10 + 0.5) + dx, py = int(y * 10 + 0.5);
            if (py >= 0 && py < img.height() && px >= 0 && px < img.width())
                darkest = qMin(darkest, qGray(img.pixel(px, py)));
        }
        if (darkest > 128)
            return false;
    }
    return true;
}

} // namespace PdfPages
