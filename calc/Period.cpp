#include "Period.h"

#include "TimeMath.h"
#include "common/Common.h"
#include "store/DbFile.h"

#include <algorithm>

namespace {

// The error a fill routine returns when the run state makes no period (a conversion error
// of the date parser in the program's history).
constexpr int kErrBadPeriod = 13;

struct Month {
    int year;
    int month;
};

Month previousMonth(int year, int month) { return month == 1 ? Month{year - 1, 12} : Month{year, month - 1}; }

bool validInput(int year, int month, int closingDay)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && closingDay >= 1 && closingDay <= 31;
}

// The last day of the processing month that belongs to its period. Month end and the
// closing days 29 and 30 end on the month's last day when the month is shorter.
int lastDayOf(int year, int month, int closingDay) { return std::min(closingDay, DaysInMonth(year, month)); }

// First day of the previous month inside the period, or 0 when the previous month closed on
// its own last day (month end, or a closing day it does not pass: 28 after a 28-day
// February), so that the period starts on day 1 right after the previous one.
int firstPreviousDay(int year, int month, int closingDay)
{
    const Month p = previousMonth(year, month);
    return closingDay < DaysInMonth(p.year, p.month) ? closingDay + 1 : 0;
}

PeriodDay dayRow(int year, int month, int day)
{
    PeriodDay r;
    r.year = qint16(year);
    r.month = qint16(month);
    r.day = qint16(day);
    return r;
}

bool runState(const RunState &run, const CompanySettings &company, int &year, int &month, int &closingDay)
{
    year = Text_ToInt(run.year);
    month = Text_ToInt(run.month);
    closingDay = company.closingDayNo;
    return validInput(year, month, closingDay);
}

int fillDayTypes(PeriodDays &days)
{
    for (PeriodDay &r : days.rows) {
        if (!r.used())
            continue;
        QString type;
        if (const int err = DayType_Lookup(r.date(), type))
            return err;
        r.dayType = type;
    }
    return 0;
}

} // namespace

int PeriodDays::rowOf(const QDate &date) const
{
    for (int i = 0; i < kPeriodRows; ++i) {
        const PeriodDay &r = rows[size_t(i)];
        if (r.used() && r.year == date.year() && r.month == date.month() && r.day == date.day())
            return i;
    }
    return -1;
}

PeriodRange Period_Compute(int year, int month, int closingDay)
{
    if (!validInput(year, month, closingDay))
        return {};
    const Month p = previousMonth(year, month);
    const int from = firstPreviousDay(year, month, closingDay);
    PeriodRange r;
    r.first = from > 0 ? QDate(p.year, p.month, from) : QDate(year, month, 1);
    r.last = QDate(year, month, lastDayOf(year, month, closingDay));
    return r;
}

PeriodDays PeriodDays_LayoutFixed(int year, int month, int closingDay)
{
    PeriodDays t;
    if (!validInput(year, month, closingDay))
        return t;
    const Month p = previousMonth(year, month);
    const int f = DaysInMonth(p.year, p.month);
    const int last = lastDayOf(year, month, closingDay);
    // The previous month's days from row 0, then gap rows up to 31 - C, so that day N of the
    // processing month lies on row 31 - C + N whatever the previous month's length.
    int d = closingDay + 1;
    int n = 1;
    for (PeriodDay &r : t.rows) {
        if (d <= f) {
            r = dayRow(p.year, p.month, d++);
        } else if (d <= 32) {
            ++d;
        } else if (n <= last) {
            r = dayRow(year, month, n++);
        }
    }
    return t;
}

PeriodDays PeriodDays_LayoutCompact(int year, int month, int closingDay)
{
    PeriodDays t;
    if (!validInput(year, month, closingDay))
        return t;
    const Month p = previousMonth(year, month);
    size_t i = 0;
    if (const int from = firstPreviousDay(year, month, closingDay)) {
        for (int d = from; d <= DaysInMonth(p.year, p.month); ++d)
            t.rows[i++] = dayRow(p.year, p.month, d);
    }
    for (int d = 1; d <= lastDayOf(year, month, closingDay); ++d)
        t.rows[i++] = dayRow(year, month, d);
    return t;
}

int DayType_Lookup(const QDate &date, QString &dayType)
{
    Database &db = dbs().calendar;
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT * FROM カレンダー WHERE (年 = ? AND 月 = ? AND 日 = ?) ORDER BY 年, 月, 日"),
                   {zeroPad(date.year(), 4), zeroPad(date.month(), 2), zeroPad(date.day(), 2)}, rows))
        return db.errorNumber() != 0 ? db.errorNumber() : kErrBadPeriod;
    dayType = rows.isEmpty() ? dayTypeWorking() : trimBlanks(rows.first().value(3));
    return 0;
}

bool Period_Set(const RunState &run, const CompanySettings &company, PeriodRange &period)
{
    int y, m, c;
    if (!runState(run, company, y, m, c))
        return false;
    period = Period_Compute(y, m, c);
    return true;
}

int PeriodDays_FillFixed(const RunState &run, const CompanySettings &company, PeriodDays &days)
{
    int y, m, c;
    if (!runState(run, company, y, m, c))
        return kErrBadPeriod;
    days = PeriodDays_LayoutFixed(y, m, c);
    return fillDayTypes(days);
}

int PeriodDays_FillCompact(const RunState &run, const CompanySettings &company, PeriodDays &days, PeriodRange &period)
{
    int y, m, c;
    if (!runState(run, company, y, m, c))
        return kErrBadPeriod;
    days = PeriodDays_LayoutCompact(y, m, c);
    period = Period_Compute(y, m, c);
    return fillDayTypes(days);
}
