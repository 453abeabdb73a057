#include "InstallerImages.h"

#include <QLinearGradient>
#include <QPainter>

QImage drawProgramIcon(int size)
{
    // Drawn on a 64-unit grid; packaging/corvan21.svg is the same drawing for the desktop.
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(4, 4, 56, 56, 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 32), 20, 20);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), QPointF(32, 18));
    p.drawLine(QPointF(32, 32), QPointF(42, 36));
    return img;
}

QImage drawStartupPicture()
{
    QImage img(400, 240, QImage::Format_RGB32);
    QLinearGradient g(0, 0, 0, 240);
    g.setColorAt(0, QColor(0x2b, 0x6c, 0xc4));
    g.setColorAt(1, QColor(0x0e, 0x2f, 0x5c));
    QPainter p(&img);
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 60, 400, 60), Qt::AlignCenter, QStringLiteral("CORVAN21"));
    f.setPixelSize(16);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 130, 400, 30), Qt::AlignCenter, QStringLiteral("Time card system"));
    return img;
}
