#pragma once

#include "BatchCommand.h"
#include "output/ExportJob.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// Option readings shared by the commands that work on one month and a choice of its employees
// or dates (export, print, collect, process).

// "yyyymm" into year and month; false when the text is no such month.
bool batchMonth(const QString &text, QString *year, QString *month);

// A comma-separated option value, each item stripped of blanks, empty items left out.
QStringList batchList(const QString &value);

// The employees named by --employees (numbers of employees whose card is active), as indexes
// into the employee table in table order whatever the order given, repeats once; without the
// option every one of the employeeCount employees. False with the reason for a bad list.
bool batchEmployees(const BatchOptions &o, int employeeCount, QVector<int> *employees, QString *why);

// The dates named by --dates (yyyy/mm/dd, within the accounting period), sorted, repeats once;
// without the option every date of the period. False with the reason for a bad list.
bool batchDates(const BatchOptions &o, const PeriodRange &period, QVector<QDate> *dates, QString *why);

// What an export or a report of the logged-in month computes from: the program's tables as
// the command read them, the processing month, the company settings and the installation's
// pairing mode.
MonthInputs batchInputs();
