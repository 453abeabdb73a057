#include "ExportFormat.h"

#include "Common.h"
#include "TimeMath.h"

namespace ExportFormat {

QString dailyFigure(int minutes) { return Minutes_ToHhmm(qint16(minutes)); }

QString totalsFigure(qint32 minutes) { return Minutes_ToHhhmm(minutes); }

QString subjectText(const QString &active)
{
    bool ok = false;
    const int v = trimBlanks(active).toInt(&ok);
    return ok && v == 1 ? QStringLiteral("あり") : QStringLiteral("なし");
}

QString rightAlign(const QString &text, int n)
{
    return text.size() >= n ? text : QString(n - text.size(), QLatin1Char(' ')) + text;
}

qint64 hourMinuteNumber(qint64 minutes) { return (minutes / 60) * 100 + minutes % 60; }

QString hoursSeparatorMinutes(qint64 minutes, QChar separator)
{
    return rightAlign(QString::number(minutes / 60), 3) + separator + zeroPad(minutes % 60, 2);
}

} // namespace ExportFormat
