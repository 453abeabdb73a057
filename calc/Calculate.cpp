#include "Calculate.h"

#include "Period.h"
#include "Punch.h"
#include "common/Common.h"
#include "store/DbFile.h"

#include <limits>

namespace {

// Checked 16-bit arithmetic: the first overflow is recorded and the day's result discarded.
qint16 add16(int a, int b, CalcStatus &st)
{
    const int v = a + b;
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max()) {
        st.fail(kCalcErrOverflow, QStringLiteral("オーバーフローしました。"));
        return 0;
    }
    return qint16(v);
}
qint16 sub16(int a, int b, CalcStatus &st) { return add16(a, -b, st); }

qint16 atLeastZero(qint16 v) { return v > 0 ? v : qint16(0); }

// One day's computation with one category: its windows, breaks and rounding units.
class DayCalc
{
public:
    DayCalc(const Category &k, CalcStatus &st) : m_k(k), m_st(st) {}

    qint16 at(CategoryTime t) const { return to16(m_k.minutes[size_t(t)]); }
    qint16 base() const { return to16(m_k.baseMinutes); }

    // Category minutes are held wider than the figures; one that does not fit is an overflow,
    // never a wrapped bound.
    qint16 to16(int v) const
    {
        if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max()) {
            m_st.fail(kCalcErrOverflow, QStringLiteral("オーバーフローしました。"));
            return 0;
        }
        return qint16(v);
    }

    qint16 round(int kind, qint16 v, int direction) { return Minutes_ApplyCategoryUnit(m_k, kind, v, direction, m_st); }

    // Minutes of the three breaks inside s-e.
    qint16 breaksInside(qint16 s, qint16 e)
    {
        qint16 sum = 0;
        for (CategoryTime b : {Break1Start, Break2Start, Break3Start})
            sum = add16(sum, Overlap_Min(s, e, at(b), at(CategoryTime(b + 1)), m_st), m_st);
        return sum;
    }

    // Part of the pair in-out inside the window ws-we, less breaks, rounded down with the
    // overtime unit (early work, overtime and late-night windows).
    qint16 windowPart(qint16 in, qint16 out, CategoryTime startOfWindow)
    {
        const qint16 ws = at(startOfWindow);
        const qint16 we = at(CategoryTime(startOfWindow + 1));
        if (ws == we)
            return 0;
        const qint16 s = std::max(ws, in);
        const qint16 e = std::min(we, out);
        if (s >= e)
            return 0;
        const qint16 d = sub16(sub16(e, s, m_st), breaksInside(s, e), m_st);
        return atLeastZero(round(RoundOver, d, RoundDown));
    }

    qint16 regularPart(qint16 in, qint16 out)
    {
        const qint16 ws = at(WorkStart);
        const qint16 we = at(WorkEnd);
        const qint16 s = (ws == 0 || in > ws) ? in : ws;
        const qint16 e = (we == 0 || out < we) ? out : we;
        if (s >= e)
            return 0;
        qint16 d = sub16(e, s, m_st);
        if (s >= 0)
            d = sub16(d, breaksInside(s, e), m_st);
        if (m_k.methodNo == 1)
            d = round(RoundWork, d, RoundDown);
        return atLeastZero(d);
    }

    const Category &m_k;
    CalcStatus &m_st;
};

} // namespace

int Day_Calc(const KubunTable &kubun, const QString &dayType, int category, const PunchRows &punches, int row,
             CalcFigures &figures)
{
    if (row < 0 || row >= kResultRows || row >= kPunchRows)
        return kCalcErrSubscript;
    DayResult &out = figures.days.rows[size_t(row)];
    out.clear();
    if (category < 0 || category >= kCategorySlots)
        return kCalcErrSubscript;

    CalcStatus st;
    const Category &k = kubun[size_t(category)];
    DayCalc c(k, st);
    const PunchRow &p = punches.rows[size_t(row)];

    // A pair with a missing time is no pair; without a first pair the day has no figures,
    // whatever the second pair holds.
    qint16 i1 = Text_ToMinutes(p.slot[In1], &st), o1 = Text_ToMinutes(p.slot[Out1], &st);
    qint16 i2 = Text_ToMinutes(p.slot[In2], &st), o2 = Text_ToMinutes(p.slot[Out2], &st);
    if (i1 >= NO_TIME || o1 >= NO_TIME)
        i1 = o1 = -1;
    if (i2 >= NO_TIME || o2 >= NO_TIME)
        i2 = o2 = -1;
    if (!st.ok())
        return st.error;
    if (i1 == -1)
        return kDayNoFigures;
    const bool pair2 = i2 >= 0;

    // Time rounding moves the punches themselves onto the unit (in later, out earlier); the
    // moved times are what the row shows and what every figure below is measured on.
    if (k.methodNo == 0) {
        i1 = c.round(RoundWork, i1, RoundUp);
        o1 = c.round(RoundWork, o1, RoundDown);
        if (pair2) {
            i2 = c.round(RoundWork, i2, RoundUp);
            o2 = c.round(RoundWork, o2, RoundDown);
        }
    }

    // Breaks over each whole pair, for the holiday figures.
    const qint16 b1 = i1 >= 0 ? c.breaksInside(i1, o1) : qint16(0);
    const qint16 b2 = pair2 ? c.breaksInside(i2, o2) : qint16(0);

    DayResult r;
    r.time = {i1, o1, i2, o2};
    auto &f = r.figure;

    if (dayType == dayTypeWorking()) {
        const qint16 ls = c.at(LateStart), le = c.at(LateEnd);
        // Late arrival, counted from the window start, breaks excluded.
        qint16 late = 0;
        if (ls <= i1 && i1 <= le && ls != le && i1 >= 0) {
            late = sub16(sub16(i1, ls, st), c.breaksInside(ls, i1), st);
            late = atLeastZero(c.round(RoundLateEarly, late, RoundUp));
        }
        // Early leave, measured on the day's last out.
        qint16 early = 0;
        const qint16 lastOut = pair2 ? o2 : o1;
        if (ls < lastOut && lastOut <= le && ls != le && (pair2 || i1 > 0)) {
            early = sub16(sub16(le, lastOut, st), c.breaksInside(lastOut, le), st);
            early = atLeastZero(c.round(RoundLateEarly, early, RoundUp));
        }
        f[FigLateEarly] = add16(late, early, st);

        // Regular work inside the work window, capped at the base hours. With time rounding
        // the punches are already on the unit, so the duration is not rounded again.
        const qint16 raw = add16(c.regularPart(i1, o1), pair2 ? c.regularPart(i2, o2) : qint16(0), st);
        const qint16 base = c.base();
        f[FigWork] = (base != 0 && raw >= base) ? base : raw;

        // Overtime window, plus the work beyond the base hours.
        qint16 over = add16(c.windowPart(i1, o1, OverStart), pair2 ? c.windowPart(i2, o2, OverStart) : qint16(0), st);
        if (base != 0 && raw > base) {
            const qint16 excess = atLeastZero(c.round(RoundOver, sub16(raw, base, st), RoundDown));
            over = add16(over, excess, st);
        }
        f[FigOver] = over;

        // Early work and late night.
        f[FigEarly] = add16(c.windowPart(i1, o1, EarlyStart), pair2 ? c.windowPart(i2, o2, EarlyStart) : qint16(0), st);
        f[FigNight] = add16(c.windowPart(i1, o1, NightStart), pair2 ? c.windowPart(i2, o2, NightStart) : qint16(0), st);
    } else {
        // On holidays the whole attendance counts, without windows or base hours.
        auto span = [&](qint16 in, qint16 out, qint16 breaks) -> qint16 {
            if (in >= out)
                return 0;
            return atLeastZero(c.round(RoundOver, sub16(sub16(out, in, st), breaks, st), RoundDown));
        };
        const qint16 d = add16(span(i1, o1, b1), pair2 ? span(i2, o2, b2) : qint16(0), st);
        f[dayType == dayTypeHoliday() ? FigHoliday : FigNonStatutory] = d;
    }

    // The total leaves 遅早 out: it is time missed, not time worked.
    qint16 total = 0;
    for (Figure x : {FigOver, FigWork, FigEarly, FigNight, FigHoliday, FigNonStatutory})
        total = add16(total, f[x], st);
    f[FigTotal] = total;
    if (!st.ok())
        return st.error; // the row keeps its zeros and the totals are not touched

    out = r;
    for (int x = 0; x < FigureCount; ++x) {
        if (f[size_t(x)] == 0)
            continue;
        MonthTotal &t = figures.totals.figure[size_t(x)];
        t.sum += f[size_t(x)];
        ++t.count;
    }
    return 0;
}

QVector<CalcProblem> Totals_CalcEmployee(const KubunTable &kubun, int category, const PeriodDays &days,
                                         const PunchRows &punches, CalcFigures &figures)
{
    figures.totals.clear();
    QVector<CalcProblem> problems;
    for (int r = 0; r < kPeriodRows; ++r) {
        const PeriodDay &d = days.rows[size_t(r)];
        if (!d.used())
            continue;
        const int rc = Day_Calc(kubun, d.dayType, category, punches, r, figures);
        if (rc > 0)
            problems.append({r, rc});
    }
    return problems;
}

int categoryNumberOf(const QString &code)
{
    const QString t = trimBlanks(code);
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok ? n : -1;
}

bool categoryCodeKnown(const QString &code)
{
    const int n = categoryNumberOf(code);
    return n >= 0 && n < kCategorySlots;
}

QVector<CalcProblem> Totals_CalcDate(const KubunTable &kubun, const QString &dayType, const KojinTable &employees,
                                     int employeeCount, const PunchRows &punches, CalcFigures &figures)
{
    figures.totals.clear();
    QVector<CalcProblem> problems;
    const int count = std::min(employeeCount, kEmployeeSlots);
    for (int r = 0; r < count; ++r) {
        const int rc = Day_Calc(kubun, dayType, categoryNumberOf(employees[size_t(r)].category), punches, r, figures);
        if (rc > 0)
            problems.append({r, rc});
    }
    return problems;
}

QVector<int> employeesWithUnknownCategory(const KojinTable &employees, int employeeCount)
{
    QVector<int> rows;
    const int count = std::min(employeeCount, kEmployeeSlots);
    for (int r = 0; r < count; ++r)
        if (!categoryCodeKnown(employees[size_t(r)].category))
            rows.append(r);
    return rows;
}
