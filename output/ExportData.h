#pragma once

#include "calc/Calculate.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <array>

// What the export writers are given: the figures of one block, already computed, so that a
// writer is only layout and can be fed by the calculation or by a test alike.

// The eight figures are the calculation's (Figure: FigWork..FigTotal), in the order of every
// layout.

// The ten output items (check boxes), in column order: 0 and 1 are the two clock pairs,
// 2 to 9 the figures FigWork..FigTotal.
constexpr int kItemCount = 10;
using ExportItems = std::array<bool, kItemCount>;
inline ExportItems allItems()
{
    ExportItems a;
    a.fill(true);
    return a;
}

struct ExportEmployee {
    QString number;   // 社員番号 as stored
    QString name;     // 氏名
    QString card;     // カード番号
    QString category; // 区分
    QString active;   // 対象
};

// One row of a block: the four punched clock texts ("  :  " when absent) and the eight
// figures in minutes.
struct ExportRow {
    std::array<QString, 4> clocks{QStringLiteral("  :  "), QStringLiteral("  :  "), QStringLiteral("  :  "),
                                  QStringLiteral("  :  ")};
    std::array<int, FigureCount> figures{};
};

// Per figure: the sum in minutes and the number of rows where it is not zero.
struct ExportTotals {
    std::array<qint32, FigureCount> sums{};
    std::array<int, FigureCount> counts{};
};

// One employee over the accounting period: one row per day.
struct IndividualBlock {
    ExportEmployee employee;
    QVector<QDate> days;
    QVector<ExportRow> rows; // parallel to days
    ExportTotals totals;
};

// One date: one row per employee.
struct DailyBlock {
    QDate date;
    QVector<ExportEmployee> employees;
    QVector<ExportRow> rows; // parallel to employees
    ExportTotals totals;
};

// One employee's month for the totals and payroll files.
struct TotalsLine {
    ExportEmployee employee;
    ExportTotals totals;
};
