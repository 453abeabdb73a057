#include "CalendarStore.h"

#include "Database.h"
#include "common/Common.h"

QString dayTypeText(DayType t)
{
    switch (t) {
    case DayType::Holiday: return QStringLiteral("休日");
    case DayType::Extra: return QStringLiteral("法定外");
    case DayType::Weekday: break;
    }
    return QStringLiteral("平日");
}

DayType dayTypeOf(const QString &stored)
{
    const QString s = trimBlanks(stored);
    if (s == QStringLiteral("休日"))
        return DayType::Holiday;
    if (s == QStringLiteral("法定外"))
        return DayType::Extra;
    return DayType::Weekday;
}

bool Calendar_ReadMonth(Database &db, int year, int month, QMap<int, DayType> &days)
{
    days.clear();
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT 日, 設定 FROM カレンダー WHERE (年 = ? AND 月 = ?) ORDER BY 年, 月, 日"),
                   {zeroPad(year, 4), zeroPad(month, 2)}, rows))
        return false;
    const int n = DaysInMonth(year, month);
    for (const QStringList &r : rows) {
        bool ok = false;
        const int d = trimBlanks(r.value(0)).toInt(&ok);
        if (ok && d >= 1 && d <= n)
            days.insert(d, dayTypeOf(r.value(1)));
    }
    return true;
}

bool Calendar_SaveMonth(Database &db, int year, int month, const QVector<DayType> &types)
{
    const int n = DaysInMonth(year, month);
    if (types.size() != n) {
        db.setError(9, QStringLiteral("日数が月と合いません (%1 / %2)").arg(types.size()).arg(n));
        return false;
    }
    const QString y = zeroPad(year, 4);
    const QString m = zeroPad(month, 2);
    return inTransaction(db, [&] {
        if (!db.exec(QStringLiteral("DELETE FROM カレンダー WHERE 年 = ? AND 月 = ?"), {y, m}))
            return false;
        for (int d = 1; d <= n; ++d) {
            if (!db.exec(QStringLiteral("INSERT INTO カレンダー (年, 月, 日, 設定) VALUES (?,?,?,?)"),
                         {y, m, zeroPad(d, 2), dayTypeText(types.at(d - 1))}))
                return false;
        }
        return true;
    });
}
