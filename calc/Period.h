#pragma once

#include "store/DbFile.h"

#include <QDate>
#include <QString>
#include <array>

// The accounting period of the processing month and PeriodDays, its table of dates with each
// date's day type from the company calendar. Inputs are the processing year and month (as the
// run state holds them), the company's closing day (1..28, or 31 for month end) and the
// calendar database.

// Day types the system distinguishes.
inline QString dayTypeWorking() { return QStringLiteral("平日"); }
inline QString dayTypeHoliday() { return QStringLiteral("休日"); }
inline QString dayTypeNonStatutory() { return QStringLiteral("法定外"); }

struct PeriodDay {
    qint16 year = 0; // 0 marks an unused row; every consumer skips it
    qint16 month = 0;
    qint16 day = 0;
    QString dayType; // empty on unused rows

    bool used() const { return year != 0; }
    QDate date() const { return QDate(year, month, day); }
};

constexpr int kPeriodRows = 32;

struct PeriodDays {
    std::array<PeriodDay, kPeriodRows> rows;
    void clear() { rows.fill(PeriodDay()); }
    // Row of a date, -1 when the date is not in the table.
    int rowOf(const QDate &date) const;
};

struct PeriodRange {
    QDate first;
    QDate last;
};

// The period of processing month (year, month) for a closing day: month end (31) gives the
// calendar month; a day closing C gives day C + 1 of the previous month to day C of the
// month. When the previous month has no day after C (closing day 28 after a 28-day
// February) the period begins on day 1 of the month, right after the previous period ended.
// Invalid (null dates) for a closing day outside 1..31 or a month outside 1..12.
PeriodRange Period_Compute(int year, int month, int closingDay);

// The two layouts without day types, for the given month and closing day. Fixed: day N of the
// processing month always lies on row 31 - C + N (month end: row N), the previous month's
// days from row 0. Compact: the period's dates from row 0 with no gaps. The used rows are
// exactly the dates of Period_Compute, in order.
PeriodDays PeriodDays_LayoutFixed(int year, int month, int closingDay);
PeriodDays PeriodDays_LayoutCompact(int year, int month, int closingDay);

// Day type of a date from the calendar database: the trimmed 設定, "平日" when the calendar
// has no row for it. Returns 0 or the database error number (dayType then untouched).
int DayType_Lookup(const QDate &date, QString &dayType);

// Sets period from the processing month of run and the company's closing day. False when
// they cannot make a period (period is then left as it was).
bool Period_Set(const RunState &run, const CompanySettings &company, PeriodRange &period);

// Fill days from the processing month and closing day and look up the day types of the used
// rows. Return 0, or the number of the error that stopped them (the rows filled so far stay).
// FillCompact also sets period; FillFixed has no period to set.
int PeriodDays_FillFixed(const RunState &run, const CompanySettings &company, PeriodDays &days);
int PeriodDays_FillCompact(const RunState &run, const CompanySettings &company, PeriodDays &days, PeriodRange &period);
