#include "calc/Period.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QTest>

namespace {

QVector<QDate> usedDates(const PeriodDays &t)
{
    QVector<QDate> d;
    for (const PeriodDay &r : t.rows)
        if (r.used())
            d.append(r.date());
    return d;
}

QVector<QDate> datesFrom(const QDate &first, const QDate &last)
{
    QVector<QDate> d;
    for (QDate x = first; x <= last; x = x.addDays(1))
        d.append(x);
    return d;
}

// The processing month and closing day the fills are given.
struct RunInputs {
    RunState run;
    CompanySettings company;
};

RunInputs runOf(int year, int month, int closingDay)
{
    RunInputs in;
    in.run.year = zeroPad(year, 4);
    in.run.month = QString::number(month);
    in.company.closingDayNo = closingDay;
    return in;
}

} // namespace

class TestPeriod : public QObject
{
    Q_OBJECT
private slots:
    void daysInMonthHasNoCenturyException()
    {
        QCOMPARE(DaysInMonth(2012, 2), 29);
        QCOMPARE(DaysInMonth(2011, 2), 28);
        QCOMPARE(DaysInMonth(2100, 2), 29);
        QCOMPARE(DaysInMonth(2011, 4), 30);
        QCOMPARE(DaysInMonth(2011, 12), 31);
    }

    void periodDates_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("closing");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::newRow("month end, leap February") << 2012 << 2 << 31 << QDate(2012, 2, 1) << QDate(2012, 2, 29);
        QTest::newRow("month end, February") << 2010 << 2 << 31 << QDate(2010, 2, 1) << QDate(2010, 2, 28);
        QTest::newRow("20th") << 2010 << 4 << 20 << QDate(2010, 3, 21) << QDate(2010, 4, 20);
        QTest::newRow("20th across the year") << 2011 << 1 << 20 << QDate(2010, 12, 21) << QDate(2011, 1, 20);
        QTest::newRow("1st") << 2010 << 4 << 1 << QDate(2010, 3, 2) << QDate(2010, 4, 1);
        QTest::newRow("28th after 28-day February") << 2011 << 3 << 28 << QDate(2011, 3, 1) << QDate(2011, 3, 28);
        QTest::newRow("28th after leap February") << 2012 << 3 << 28 << QDate(2012, 2, 29) << QDate(2012, 3, 28);
        QTest::newRow("28th in February") << 2011 << 2 << 28 << QDate(2011, 1, 29) << QDate(2011, 2, 28);
    }
    void periodDates()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, closing);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        const PeriodRange r = Period_Compute(year, month, closing);
        QCOMPARE(r.first, first);
        QCOMPARE(r.last, last);
    }

    // For every closing day of the closing-day list and every month of a common and a leap
    // year: both layouts hold exactly the period's dates in order, the compact one from row 0
    // without gaps, the fixed one with day N of the month on its own row, and each period
    // begins the day after the previous one ended.
    void layoutsAgreeWithPeriod()
    {
        QVector<int> closings;
        for (int c = 1; c <= 28; ++c)
            closings << c;
        closings << 31;
        for (int c : closings) {
            for (int year : {2011, 2012}) {
                for (int month = 1; month <= 12; ++month) {
                    const QByteArray where =
                        QByteArray::number(year) + "/" + QByteArray::number(month) + " C=" + QByteArray::number(c);
                    const PeriodRange r = Period_Compute(year, month, c);
                    const QVector<QDate> dates = datesFrom(r.first, r.last);
                    QVERIFY2(dates.size() >= 28 && dates.size() <= 32, where);
                    const int prevMonth = month == 1 ? 12 : month - 1;
                    const int prevYear = month == 1 ? year - 1 : year;
                    QVERIFY2(Period_Compute(prevYear, prevMonth, c).last.addDays(1) == r.first, where);

                    const PeriodDays compact = PeriodDays_LayoutCompact(year, month, c);
                    QVERIFY2(usedDates(compact) == dates, where);
                    for (int i = 0; i < kPeriodRows; ++i)
                        QVERIFY2(compact.rows[size_t(i)].used() == (i < dates.size()), where);

                    const PeriodDays fixed = PeriodDays_LayoutFixed(year, month, c);
                    QVERIFY2(usedDates(fixed) == dates, where);
                    for (int n = 1; n <= r.last.day(); ++n) {
                        const PeriodDay &row = fixed.rows[size_t(31 - (c == 31 ? 31 : c) + n)];
                        QVERIFY2(row.month == month && row.day == n, where);
                    }
                }
            }
        }
    }

    void fixedLayoutRows()
    {
        // 20th after a 30-day month: rows 0-9 hold 21-30, rows 10-11 are empty, 12-31 hold 1-20.
        PeriodDays t = PeriodDays_LayoutFixed(2010, 10, 20);
        QCOMPARE(t.rows[0].date(), QDate(2010, 9, 21));
        QCOMPARE(t.rows[9].date(), QDate(2010, 9, 30));
        QVERIFY(!t.rows[10].used() && !t.rows[11].used());
        QCOMPARE(t.rows[12].date(), QDate(2010, 10, 1));
        QCOMPARE(t.rows[31].date(), QDate(2010, 10, 20));

        // 1st: day 1 of the month is on the last row.
        t = PeriodDays_LayoutFixed(2012, 3, 1);
        QCOMPARE(t.rows[0].date(), QDate(2012, 2, 2));
        QCOMPARE(t.rows[27].date(), QDate(2012, 2, 29));
        QCOMPARE(t.rows[31].date(), QDate(2012, 3, 1));

        // Month end: row 0 and the rows after the last day stay empty.
        t = PeriodDays_LayoutFixed(2012, 2, 31);
        QVERIFY(!t.rows[0].used());
        QCOMPARE(t.rows[1].date(), QDate(2012, 2, 1));
        QCOMPARE(t.rows[29].date(), QDate(2012, 2, 29));
        QVERIFY(!t.rows[30].used() && !t.rows[31].used());

        // 28th after a 28-day February: nothing of February, March 1 on row 4.
        t = PeriodDays_LayoutFixed(2011, 3, 28);
        for (int i = 0; i < 4; ++i)
            QVERIFY(!t.rows[size_t(i)].used());
        QCOMPARE(t.rows[4].date(), QDate(2011, 3, 1));
        QCOMPARE(t.rows[31].date(), QDate(2011, 3, 28));
        QCOMPARE(t.rowOf(QDate(2011, 3, 28)), 31);
        QCOMPARE(t.rowOf(QDate(2011, 2, 28)), -1);
    }

    void invalidInputGivesNoPeriod()
    {
        QVERIFY(Period_Compute(2010, 13, 20).first.isNull());
        QVERIFY(Period_Compute(2010, 4, 0).first.isNull());
        QVERIFY(usedDates(PeriodDays_LayoutFixed(2010, 4, 32)).isEmpty());
    }

    void fillReadsDayTypesFromCalendar()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        const QString ins = QStringLiteral("INSERT INTO カレンダー (年, 月, 日, 設定) VALUES (?,?,?,?)");
        QVERIFY(dbs().calendar.exec(ins, {"2010", "11", "23", QStringLiteral("休日")}));
        QVERIFY(dbs().calendar.exec(ins, {"2010", "12", "05", QStringLiteral(" 法定外  ")}));
        QVERIFY(dbs().calendar.exec(ins, {"2010", "12", "06", QStringLiteral("平日")}));
        QVERIFY(dbs().calendar.exec(ins, {"2010", "12", "25", QStringLiteral("休日")})); // after the period
        const RunInputs in = runOf(2010, 12, 20);

        PeriodDays days;
        PeriodRange period{QDate(2000, 1, 1), QDate(2000, 1, 2)};
        QCOMPARE(PeriodDays_FillFixed(in.run, in.company, days), 0);
        QCOMPARE(days.rows[2].date(), QDate(2010, 11, 23));
        QCOMPARE(days.rows[2].dayType, QStringLiteral("休日"));
        QCOMPARE(days.rows[0].dayType, QStringLiteral("平日")); // no calendar row
        QCOMPARE(days.rows[10].dayType, QString());             // gap row
        QCOMPARE(days.rows[size_t(31 - 20 + 5)].dayType, QStringLiteral("法定外"));

        QCOMPARE(PeriodDays_FillCompact(in.run, in.company, days, period), 0);
        QCOMPARE(period.first, QDate(2010, 11, 21));
        QCOMPARE(period.last, QDate(2010, 12, 20));
        QCOMPARE(days.rows[14].date(), QDate(2010, 12, 5));
        QCOMPARE(days.rows[14].dayType, QStringLiteral("法定外"));
        QCOMPARE(days.rows[29].date(), QDate(2010, 12, 20));
        QVERIFY(!days.rows[30].used());

        period = PeriodRange{};
        QVERIFY(Period_Set(in.run, in.company, period));
        QCOMPARE(period.last, QDate(2010, 12, 20));
    }

    void fillReportsCalendarFailure()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        RunInputs in = runOf(2010, 12, 20);
        dbs().calendar.close();
        PeriodDays days;
        PeriodRange period;
        QVERIFY(PeriodDays_FillCompact(in.run, in.company, days, period) != 0);
        QVERIFY(PeriodDays_FillFixed(in.run, in.company, days) != 0);

        in.run.month = QStringLiteral("13");
        const PeriodRange before{QDate(2000, 1, 1), QDate(2000, 1, 2)};
        period = before;
        QVERIFY(!Period_Set(in.run, in.company, period));
        QCOMPARE(period.first, before.first); // a month that makes no period leaves it as it was
        QVERIFY(PeriodDays_FillFixed(in.run, in.company, days) != 0);
    }
};

QTEST_GUILESS_MAIN(TestPeriod)
#include "tst_period.moc"
