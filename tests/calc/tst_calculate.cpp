#include "CalcCase.h"

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "store/DbFile.h"

#include <QFile>
#include <QTest>

#include <memory>

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

// The tables a computation reads and writes, owned by the test.
struct Tables {
    KubunTable kubun;
    KojinTable kojin;
    PeriodDays days;
    PunchRows punches;
    CalcFigures figures;
};

} // namespace

class TestCalculate : public QObject
{
    Q_OBJECT

    std::unique_ptr<Tables> m_t;
    KubunTable &kubun() { return m_t->kubun; }
    PunchRows &punchRows() { return m_t->punches; }
    DayResults &results() { return m_t->figures.days; }

    int dayCalc(const QString &dayType, int category, int row)
    {
        return Day_Calc(m_t->kubun, dayType, category, m_t->punches, row, m_t->figures);
    }
    // Fills a result row with non-zero values, so that a test sees whether it is cleared.
    void soil(int row)
    {
        results().rows[size_t(row)].time.fill(7);
        results().rows[size_t(row)].figure.fill(7);
    }
    int sum(Figure f) const { return m_t->figures.totals.figure[f].sum; }
    int count(Figure f) const { return m_t->figures.totals.figure[f].count; }

private slots:
    void init() { m_t = std::make_unique<Tables>(); }

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
            QTest::newRow(qPrintable(p.at(0)))
                << p.at(1) << p.at(2) << p.at(3) << p.at(4).section(QLatin1Char(' '), 0, 0).toInt() << expected;
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
        kubun()[1] = categoryFrom(category);
        punchRows().rows[5] = punchRowFrom(punches);
        soil(5);
        QCOMPARE(dayCalc(dayType, 1, 5), result);
        QCOMPARE(figures(results().rows[5]), expected);
    }

    void workedExampleAddsToTotals()
    {
        kubun()[1] = categoryFrom(kExample);
        punchRows().rows[0] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        punchRows().rows[1] = punchRowFrom(QStringLiteral("08:30 17:30 - -"));
        QCOMPARE(dayCalc(dayTypeWorking(), 1, 0), 0);
        QCOMPARE(dayCalc(dayTypeWorking(), 1, 1), 0);
        QCOMPARE(sum(FigWork), 465 + 480);
        QCOMPARE(count(FigWork), 2);
        QCOMPARE(sum(FigLateEarly), 15);
        QCOMPARE(count(FigLateEarly), 1);
        QCOMPARE(sum(FigOver), 90);
        QCOMPARE(count(FigOver), 1);
        QCOMPARE(count(FigNight), 0);
        QCOMPARE(sum(FigTotal), 555 + 480);
        QCOMPARE(count(FigTotal), 2);
        QCOMPARE(Minutes_ToHhmm(results().rows[0].figure[FigTotal]), QStringLiteral(" 9:15"));
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
        kubun()[1] = categoryFrom(kExample);
        punchRows().rows[3] = punchRowFrom(punches);
        soil(3);
        QCOMPARE(dayCalc(dayTypeWorking(), 1, 3), kDayNoFigures);
        QCOMPARE(figures(results().rows[3]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : m_t->figures.totals.figure)
            QVERIFY(t.sum == 0 && t.count == 0);
    }

    void zeroFiguresAddNoCounts()
    {
        // Present only during the break: the day is computed, but every figure is 0.
        kubun()[1] = categoryFrom(kExample);
        punchRows().rows[0] = punchRowFrom(QStringLiteral("12:10 12:50 - -"));
        kubun()[1].minutes[LateStart] = kubun()[1].minutes[LateEnd] = 0;
        QCOMPARE(dayCalc(dayTypeWorking(), 1, 0), 0);
        QCOMPARE(figures(results().rows[0]), QStringLiteral("730 770 -1 -1 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : m_t->figures.totals.figure)
            QCOMPARE(t.count, qint16(0));
    }

    void holidayIgnoresWindowsAndBase()
    {
        kubun()[2] = categoryFrom(kExample + QStringLiteral(" base=08:00 early=06:00-08:30"), 2);
        punchRows().rows[0] = punchRowFrom(QStringLiteral("07:00 23:00 - -"));
        QCOMPARE(dayCalc(dayTypeHoliday(), 2, 0), 0);
        // 16 hours less the 1-hour break, rounded down to 15 minutes; nothing capped at 8:00.
        QCOMPARE(figures(results().rows[0]), QStringLiteral("420 1380 -1 -1 0 0 0 0 0 900 0 900"));
        QCOMPARE(dayCalc(dayTypeNonStatutory(), 2, 0), 0);
        QCOMPARE(results().rows[0].figure[FigNonStatutory], qint16(900));
        QCOMPARE(results().rows[0].figure[FigHoliday], qint16(0));
        QCOMPARE(count(FigHoliday), 1);
        QCOMPARE(count(FigNonStatutory), 1);
        QCOMPARE(sum(FigTotal), 1800);
    }

    void runTimeErrorsKeepZerosAndTotals()
    {
        kubun()[1] = categoryFrom(kExample);
        punchRows().rows[0] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        soil(0);
        QCOMPARE(dayCalc(dayTypeWorking(), 11, 0), kCalcErrSubscript);
        QCOMPARE(figures(results().rows[0]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        QCOMPARE(dayCalc(dayTypeWorking(), -1, 0), kCalcErrSubscript);
        QCOMPARE(dayCalc(dayTypeWorking(), 1, kResultRows), kCalcErrSubscript);

        // A category bound beyond 16 bits is an overflow, not a wrapped window.
        kubun()[1].minutes[OverEnd] = 40000;
        soil(0);
        QCOMPARE(dayCalc(dayTypeWorking(), 1, 0), kCalcErrOverflow);
        QCOMPARE(figures(results().rows[0]), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0 0"));
        for (const MonthTotal &t : m_t->figures.totals.figure)
            QVERIFY(t.sum == 0 && t.count == 0);
    }

    void employeeTotalsOverUsedPeriodRows()
    {
        kubun()[1] = categoryFrom(kExample);
        m_t->days = PeriodDays_LayoutFixed(2010, 12, 20); // rows 10 and 11 are gaps
        for (PeriodDay &d : m_t->days.rows)
            if (d.used())
                d.dayType = dayTypeWorking();
        m_t->days.rows[0].dayType = dayTypeHoliday();
        punchRows().rows[0] = punchRowFrom(QStringLiteral("09:00 18:00 - -"));  // holiday: 480
        punchRows().rows[10] = punchRowFrom(QStringLiteral("08:40 19:10 - -")); // gap row: ignored
        punchRows().rows[12] = punchRowFrom(QStringLiteral("08:40 19:10 - -")); // 555
        punchRows().rows[31] = punchRowFrom(QStringLiteral("08:30 17:30 - -")); // 480
        m_t->figures.totals.figure[FigWork].sum = 999;                          // cleared first
        QVERIFY(Totals_CalcEmployee(kubun(), 1, m_t->days, punchRows(), m_t->figures).isEmpty());
        QCOMPARE(sum(FigWork), 465 + 480);
        QCOMPARE(count(FigWork), 2);
        QCOMPARE(sum(FigHoliday), 480);
        QCOMPARE(sum(FigTotal), 480 + 555 + 480);
        QCOMPARE(count(FigTotal), 3);
        QCOMPARE(Minutes_ToHhhmm(sum(FigTotal)), QStringLiteral(" 25:15"));

        const QVector<CalcProblem> p = Totals_CalcEmployee(kubun(), 12, m_t->days, punchRows(), m_t->figures);
        QCOMPARE(p.size(), 30); // every used row of the period
        QCOMPARE(p.first().error, kCalcErrSubscript);
        QCOMPARE(count(FigTotal), 0);
    }

    void dateTotalsUseEachEmployeesCategory()
    {
        kubun()[1] = categoryFrom(kExample, 1);
        kubun()[2] = categoryFrom(QStringLiteral("work=09:00-18:00 b1=12:00-13:00 method=1 units=1/1/1"), 2);
        for (auto &e : m_t->kojin)
            e = Employee();
        const QStringList codes{"01", "02", "11", "ab", " 2"};
        for (int i = 0; i < codes.size(); ++i) {
            m_t->kojin[size_t(i)].category = codes.at(i);
            punchRows().rows[size_t(i)] = punchRowFrom(QStringLiteral("08:40 19:10 - -"));
        }
        const QVector<CalcProblem> p =
            Totals_CalcDate(kubun(), dayTypeWorking(), m_t->kojin, int(codes.size()), punchRows(), m_t->figures);
        QCOMPARE(results().rows[0].figure[FigTotal], qint16(555));
        QCOMPARE(results().rows[1].figure[FigWork], qint16(480)); // 09:00-18:00 window, 1 hour break
        QCOMPARE(results().rows[2].figure[FigTotal], qint16(0));
        QCOMPARE(results().rows[4].figure[FigWork], qint16(480));
        QCOMPARE(p.size(), 2);
        QCOMPARE(p.at(0).row, 2);
        QCOMPARE(p.at(1).row, 3);
        QCOMPARE(p.at(0).error, kCalcErrSubscript);
        QCOMPARE(employeesWithUnknownCategory(m_t->kojin, int(codes.size())), (QVector<int>{2, 3}));
        QCOMPARE(count(FigTotal), 3);
        QCOMPARE(sum(FigWork), 465 + 480 + 480);
    }
};

QTEST_GUILESS_MAIN(TestCalculate)
#include "tst_calculate.moc"
