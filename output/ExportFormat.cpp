#include "ExportFormat.h"

#include "calc/TimeMath.h"
#include "common/Common.h"

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

int textFlagOf(const QString &path)
{
    const QString ext = path.right(4).toLower();
    if (ext == QLatin1String(".csv"))
        return 0;
    if (ext == QLatin1String(".txt"))
        return -1;
    return 1;
}

namespace ExportFilters {

QStringList ownLayouts()
{
    return {QStringLiteral("データファイル（csv形式） (*.csv)"), QStringLiteral("テキスト(txt形式) (*.txt)")};
}

QStringList payroll(int package)
{
    switch (package) {
    case 0: return {QStringLiteral("PCA給与2000データ形式（dat形式） (*.dat)")};
    case 1: return {QStringLiteral("給与奉行21データ形式（txt形式） (*.txt)")};
    default: return {QStringLiteral("弥生給与データ形式（txt形式） (*.txt)")};
    }
}

QString payrollFileName(int package) { return package == 0 ? QStringLiteral("kintai0") : QStringLiteral("kintai"); }

} // namespace ExportFilters
