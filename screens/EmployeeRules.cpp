#include "EmployeeRules.h"

#include "common/Common.h"

#include <QRegularExpression>

namespace EmployeeRules {

QString cleanCell(const QString &text)
{
    QString s = trimBlanks(text);
    const qsizetype cut = s.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (cut >= 0)
        s = s.left(cut);
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return trimBlanks(s);
}

QString paddedNumber(const QString &text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return {};
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
    const qint64 v = text.toLongLong();
    if (v == 0)
        return {};
    return zeroPad(v, maxDigits);
}

QString categoryList() { return QStringLiteral("01 |02 |03 |04 |05 |06 |07 |08 |09 |10"); }

QString categoryCode(const QString &item) { return trimBlanks(item); }

} // namespace EmployeeRules
