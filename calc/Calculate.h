#pragma once

#include "Period.h"
#include "Punch.h"
#include "TimeMath.h"
#include "store/DbFile.h"

#include <QString>
#include <QVector>
#include <array>

// The daily work-time computation by work category, DayResults and MonthTotals. Figures are
// never stored: every screen, report and export computes them again from the punch rows
// through these routines. The routines work only on the tables they are given; the caller
// owns them all, so no caller has to save or restore anything around a computation.

// The eight figures, in the order of DayResults and MonthTotals.
enum Figure {
    FigWork,         // 就業 regular work
    FigLateEarly,    // 遅早 late arrival plus early leave
    FigOver,         // 残業 overtime
    FigEarly,        // 早出 early work
    FigNight,        // 深夜 late-night work
    FigHoliday,      // 休日 holiday work
    FigNonStatutory, // 法定外 non-statutory-holiday work
    FigTotal,        // 合計 = 残業 + 就業 + 早出 + 深夜 + 休日 + 法定外 (遅早 is not part of it)
    FigureCount
};

struct DayResult {
    // Clock columns of exports and reports show the punched times of the punch rows, not these.
    // In 1, out 1, in 2, out 2 as the computation used them (after time rounding); the second
    // pair is -1, -1 when it has no valid time. A day without figures keeps all zeros.
    std::array<qint16, 4> time{};
    std::array<qint16, FigureCount> figure{};
    void clear()
    {
        time.fill(0);
        figure.fill(0);
    }
};

constexpr int kResultRows = 101;

struct DayResults {
    std::array<DayResult, kResultRows> rows;
};

struct MonthTotal {
    qint32 sum = 0;   // minutes
    qint16 count = 0; // rows in which the figure is not 0
};

struct MonthTotals {
    std::array<MonthTotal, FigureCount> figure;
    void clear() { figure.fill(MonthTotal()); }
};

// What a computation writes: a result per punch row (rows match the punch rows) and the
// totals over them.
struct CalcFigures {
    DayResults days;
    MonthTotals totals;
};

// Day_Calc's result when the first pair has no valid time (no figures, totals unchanged).
constexpr int kDayNoFigures = -1;

// Computes figures.days row `row` from punches row `row` with slot `category` of kubun and
// adds its figures to figures.totals. Returns 0 when figures were produced, kDayNoFigures, or
// a run-time error number (kCalcErrOverflow, kCalcErrSubscript for a category outside 0..10 or
// a row outside the tables): the row then keeps zeros and the totals are unchanged.
int Day_Calc(const KubunTable &kubun, const QString &dayType, int category, const PunchRows &punches, int row,
             CalcFigures &figures);

// A row whose computation stopped with a run-time error.
struct CalcProblem {
    int row = 0;
    int error = 0;
};

// Clears figures.totals, then computes every used row of days with its day type from the
// punch row of the same index. The problems are returned so that the screen can say why a
// day shows no figures.
QVector<CalcProblem> Totals_CalcEmployee(const KubunTable &kubun, int category, const PeriodDays &days,
                                         const PunchRows &punches, CalcFigures &figures);

// Clears figures.totals, then computes row r for each employee r < employeeCount of employees
// with the employee's own 区分. An employee whose 区分 is outside 00..10 keeps zero figures
// and appears in the problems with kCalcErrSubscript (see employeesWithUnknownCategory).
QVector<CalcProblem> Totals_CalcDate(const KubunTable &kubun, const QString &dayType, const KojinTable &employees,
                                     int employeeCount, const PunchRows &punches, CalcFigures &figures);

// The category number of an employee's 区分 text; -1 for blank or unreadable text, which no
// category slot holds.
int categoryNumberOf(const QString &code);
// True when the code names a category slot (0..10).
bool categoryCodeKnown(const QString &code);
// Employee rows (0..employeeCount-1 of employees) whose 区分 is outside 00..10: their figures
// are all zero, and screens and the batch tool name them to the user.
QVector<int> employeesWithUnknownCategory(const KojinTable &employees, int employeeCount);
