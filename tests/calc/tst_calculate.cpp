#include "CalcCase.h"

#include "Calculate.h"
#include "DbFile.h"
#include "Period.h"
#include "Punch.h"

#include <QFile>
#include <QTest>

namespace {

const QString kExample = QStringLiteral(
    "work=08:30-17:30 late=08:30-17:30 b1=12:00-13:00 over=17:30-22:00 night=22:00-29:00 method=1 units=15/15/15");

QString figures(const DayResult &r)
{
    QStringList v;
    for (qint16 t : r.time)
        v << QString::number(t);
    for (qint16 f : r.figure)
        v << QString::number(f);
    return v.join(QLatin1Char(' '));
}

void resetTables()
{
    for (auto &k : g_kubun)
        k = Category();
    for (auto &r : g_punchRows.rows)
        r.clear();
    for (auto &r : g_dayResults.rows)
        r.clear();
    g_monthTotals.clear();
}

// Fills a result row with non-zero values, so that a test sees whether it is cleared.
void soil(int row)
{
    g_dayResults.rows[size_t(row)].time.fill(7);
    g_dayResults.rows[size_t(row)].figure.fill(7);
}

int sum(Figure f) { return g_monthTotals.figure[f].sum; }
int count(Figure f) { return g_monthTotals.figure[f].count; }

} // namespace

class TestCalculate : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetTables(); }

    // Hand-worked days kept beside the tests: category, day type, punches and the twelve values.
    void goldenDays_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("dayType");
        QTest::addColumn<QString>("punches");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("expected");
        QFile f(QStringLiteral(CORVAN_FIXTURES "/calc/days.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        int cases = 0;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList p = line.split(QStringLiteral(" | "));
            QVERIFY2(p.size() == 5, qPrintable(line));
            const QString expected = p.at(4).section(QLatin1Char(' '), 1);
            QTest::newRow(qPrintable(p.at(0))) << p.at(1) << p.at(2) << p.at(3) << p.at(4).section(QLatin1Char(' '), 0, 0).toInt()
                                               << expected;
            ++cases;
        }
        QVERIFY(cases >= 20);
    }
    void goldenDays()
    {
        QFETCH(QString, category);
        QFETCH(QString, dayType);
        QFETCH(QString, punches);
        QFETCH(int, result);
        QFETCH(QString, expected);
        g_kubun[1] = categoryFrom(category);
        g_punchRows.rows[5] = punchRowFrom(punches);
        soil(5);
        QCOMPARE(Day_Calc(dayType, 1, 5), result);
        QCOMPARE(figures(g_dayResults.rows[5]), expected);
    }

    void workedExampleAddsToTotals()
    {
        g_kubun[1] = categoryFrom(kExample);
        g_punchRows.rows[0] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        g_punchRows.rows[1] = punchRowFrom(QStringLiteral("08:30 17:30 - -"));
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, 0), 0);
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, 1), 0);
        QCOMPARE(sum(FigWork), 465 + 480);
        QCOMPARE(count(FigWork), 2);
        QCOMPARE(sum(FigLateEarly), 15);
        QCOMPARE(count(FigLateEarly), 1);
        QCOMPARE(sum(FigOver), 90);
        QCOMPARE(count(FigOver), 1);
        QCOMPARE(count(FigNight), 0);
        QCOMPARE(sum(FigTotal), 555 + 480);
        QCOMPARE(count(FigTotal), 2);
        QCOMPARE(Minutes_ToHhmm(g_dayResults.rows[0].figure[FigTotal]), QStringLiteral(" 9:15"));
    }

    void dayWithoutFirstPairHasNoFigures_data()
    {
        QTest::addColumn<QString>("punches");
        QTest::newRow("only in 1") << "08:30 - - -";
        QTest::newRow("only out 1") << "- 17:30 - -";
        QTest::newRow("second pair without first") << "- - 13:00 17:00";
        QTest::newRow("nothing") << "- - - -";
        QTest::newRow("unreadable in 1") << "ab:cd 17:30 - -";
    }
    void dayWithoutFirstPairHasNoFigures()
    {
        QFETCH(QString, punches);
        g_kubun[1] = categoryFrom(kExample);
        g_punchRows.rows[3] = punchRowFrom(punches);
        soil(3);
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, 3), kDayNoFigures);
        QCOMPARE(figures(g_dayResults.rows[3]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : g_monthTotals.figure)
            QVERIFY(t.sum == 0 && t.count == 0);
    }

    void zeroFiguresAddNoCounts()
    {
        // Present only during the break: the day is computed, but every figure is 0.
        g_kubun[1] = categoryFrom(kExample);
        g_punchRows.rows[0] = punchRowFrom(QStringLiteral("12:10 12:50 - -"));
        g_kubun[1].minutes[LateStart] = g_kubun[1].minutes[LateEnd] = 0;
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, 0), 0);
        QCOMPARE(figures(g_dayResults.rows[0]), QStringLiteral("730 770 -1 -1 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : g_monthTotals.figure)
            QCOMPARE(t.count, qint16(0));
    }

    void holidayIgnoresWindowsAndBase()
    {
        g_kubun[2] = categoryFrom(kExample + QStringLiteral(" base=08:00 early=06:00-08:30"), 2);
        g_punchRows.rows[0] = punchRowFrom(QStringLiteral("07:00 23:00 - -"));
        QCOMPARE(Day_Calc(dayTypeHoliday(), 2, 0), 0);
        // 16 hours less the 1-hour break, rounded down to 15 minutes; nothing capped at 8:00.
        QCOMPARE(figures(g_dayResults.rows[0]), QStringLiteral("420 1380 -1 -1 0 0 0 0 0 900 0 900"));
        QCOMPARE(Day_Calc(dayTypeNonStatutory(), 2, 0), 0);
        QCOMPARE(g_dayResults.rows[0].figure[FigNonStatutory], qint16(900));
        QCOMPARE(g_dayResults.rows[0].figure[FigHoliday], qint16(0));
        QCOMPARE(count(FigHoliday), 1);
        QCOMPARE(count(FigNonStatutory), 1);
        QCOMPARE(sum(FigTotal), 1800);
    }

    void runTimeErrorsKeepZerosAndTotals()
    {
        g_kubun[1] = categoryFrom(kExample);
        g_punchRows.rows[0] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        soil(0);
        QCOMPARE(Day_Calc(dayTypeWorking(), 11, 0), kCalcErrSubscript);
        QCOMPARE(figures(g_dayResults.rows[0]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        QCOMPARE(Day_Calc(dayTypeWorking(), -1, 0), kCalcErrSubscript);
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, kResultRows), kCalcErrSubscript);

        // A category bound beyond 16 bits is an overflow, not a wrapped window.
        g_kubun[1].minutes[OverEnd] = 40000;
        soil(0);
        QCOMPARE(Day_Calc(dayTypeWorking(), 1, 0), kCalcErrOverflow);
        QCOMPARE(figures(g_dayResults.rows[0]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : g_monthTotals.figure)
            QVERIFY(t.sum == 0 && t.count == 0);
    }

    void employeeTotalsOverUsedPeriodRows()
    {
        g_kubun[1] = categoryFrom(kExample);
        g_periodDays = PeriodDays_LayoutFixed(2010, 12, 20); // rows 10 and 11 are gaps
        for (PeriodDay &d : g_periodDays.rows)
            if (d.used())
                d.dayType = dayTypeWorking();
        g_periodDays.rows[0].dayType = dayTypeHoliday();
        g_punchRows.rows[0] = punchRowFrom(QStringLiteral("09:00 18:00 - -"));  // holiday: 480
        g_punchRows.rows[10] = punchRowFrom(QStringLiteral("08:40 19:10 - -")); // gap row: ignored
        g_punchRows.rows[12] = punchRowFrom(QStringLiteral("08:40 19:10 - -")); // 555
        g_punchRows.rows[31] = punchRowFrom(QStringLiteral("08:30 17:30 - -")); // 480
        g_monthTotals.figure[FigWork].sum = 999;                                 // cleared first
        QVERIFY(Totals_CalcEmployee(1).isEmpty());
        QCOMPARE(sum(FigWork), 465 + 480);
        QCOMPARE(count(FigWork), 2);
        QCOMPARE(sum(FigHoliday), 480);
        QCOMPARE(sum(FigTotal), 480 + 555 + 480);
        QCOMPARE(count(FigTotal), 3);
        QCOMPARE(Minutes_ToHhhmm(sum(FigTotal)), QStringLiteral(" 25:15"));

        const QVector<CalcProblem> p = Totals_CalcEmployee(12);
        QCOMPARE(p.size(), 30); // every used row of the period
        QCOMPARE(p.first().error, kCalcErrSubscript);
        QCOMPARE(count(FigTotal), 0);
    }

    void dateTotalsUseEachEmployeesCategory()
    {
        g_kubun[1] = categoryFrom(kExample, 1);
        g_kubun[2] = categoryFrom(QStringLiteral("work=09:00-18:00 b1=12:00-13:00 method=1 units=1/1/1"), 2);
        for (auto &e : g_kojin)
            e = Employee();
        const QStringList codes{"01", "02", "11", "ab", " 2"};
        for (int i = 0; i < codes.size(); ++i) {
            g_kojin[size_t(i)].category = codes.at(i);
            g_punchRows.rows[size_t(i)] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        }
        const QVector<CalcProblem> p = Totals_CalcDate(dayTypeWorking(), int(codes.size()));
        QCOMPARE(g_dayResults.rows[0].figure[FigTotal], qint16(555));
        QCOMPARE(g_dayResults.rows[1].figure[FigWork], qint16(480)); // 09:00-18:00 window, 1 hour break
        QCOMPARE(g_dayResults.rows[2].figure[FigTotal], qint16(0));
        QCOMPARE(g_dayResults.rows[4].figure[FigWork], qint16(480));
        QCOMPARE(p.size(), 2);
        QCOMPARE(p.at(0).row, 2);
        QCOMPARE(p.at(1).row, 3);
        QCOMPARE(p.at(0).error, kCalcErrSubscript);
        QCOMPARE(employeesWithUnknownCategory(int(codes.size())), (QVector<int>{2, 3}));
        QCOMPARE(count(FigTotal), 3);
        QCOMPARE(sum(FigWork), 465 + 480 + 480);
    }
};

QTEST_GUILESS_MAIN(TestCalculate)
#include "tst_calculate.moc"
