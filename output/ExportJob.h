#pragma once

#include "ExportData.h"
#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "store/DbFile.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// What the exports and the printed reports compute from: the category and employee tables and
// the run's settings, as the caller holds them. A screen or the batch tool passes the
// program's tables (the employee table as Kojin_Read(true) left it), a test tables of its
// own; nothing else is read but the punches and the calendar.
struct MonthInputs {
    const KubunTable &categories;
    const KojinTable &employees;
    const RunState &run;              // the processing month
    const CompanySettings &company;   // its closing day
    PairingMode pairing = PairByCode; // the installation's (pairingModeFor)
};

// One export as the screen or the batch tool asks for it: the kind, the blocks (employees or
// dates) in writing order and the output items. The figures are computed for each block just
// before it is written.
enum class ExportKind { Individual = 0, Daily = 1, Totals = 2 };

struct ExportJob {
    ExportKind kind = ExportKind::Individual;
    bool payroll = false; // totals only: write a payroll package's file
    int package = 0;      // PayrollWriters::Package
    ExportItems items = allItems();
    QVector<int> employees; // individual: indices into the employee table
    QVector<QDate> dates;   // daily: dates of the accounting period
    int employeeCount = 0;  // number of rows of the employee table
};

struct ExportResult {
    bool ok = true;
    QString errorTitle; // the failing writer's title
    QString errorText;  // "ファイルを書き込めませんでした。" CR LF "Error=" ...
    // Employees of the export whose 区分 names no category (outside 00..10): written with
    // every figure zero. Indices into the employee table, in table order.
    QVector<int> unknownCategory;
};

// The layout an own-layout export takes from its file name: 0 comma, -1 text, 1 none.
// (ExportFormat.h: textFlagOf.)

// Writes the whole export to the device: the own layouts in the layout of textFlag (0 comma,
// -1 text), a payroll file whatever the flag. Stops at the first block that fails.
ExportResult writeExport(const ExportJob &job, const MonthInputs &in, int textFlag, QIODevice *device);

// Writes the export to a file through QSaveFile: on any failure the file of that name is left
// as it was before (and removed when removeOnFailure says the export itself created it).
ExportResult exportToFile(const ExportJob &job, const MonthInputs &in, const QString &path,
                          bool removeOnFailure = false);

// The title of an own-layout writer's error message.
QString exportWriterTitle(ExportKind kind, int textFlag);

// One line per employee (rows of the employee table) whose 区分 names no category, for the
// screen's message and the batch tool's standard error.
QStringList unknownCategoryLines(const KojinTable &employees, const QVector<int> &rows);
QString unknownCategoryMessage(const KojinTable &employees, const QVector<int> &rows);

// Every date of the accounting period, first to last (none for an invalid period).
QVector<QDate> periodDates(const PeriodRange &period);

// The calculation tables the blocks of one export or report are computed in. The period's
// days are filled once by the caller (the fixed layout for the per-employee blocks, the
// compact one for the daily blocks); the punch rows and figures are filled again for each
// block, so a month of many blocks reuses the same tables.
struct BlockTables {
    PeriodDays days;
    PunchRows punches;
    CalcFigures figures;
};

// Blocks of one kind, computed from the data store (exposed for the reports and the tests).
// With a snapshot the punches come from it (loaded for tables.days) instead of one statement
// per employee-day; writeExport reads the period once that way.
IndividualBlock computeIndividualBlock(const MonthInputs &in, BlockTables &tables, int employee, int *error,
                                       QString *errorText, const PunchSnapshot *snapshot = nullptr);
DailyBlock computeDailyBlock(const MonthInputs &in, BlockTables &tables, const QDate &date, int employeeCount,
                             int *error, QString *errorText, const PunchSnapshot *snapshot = nullptr);
