#pragma once

#include "ExportData.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

class PunchSnapshot;
class QIODevice;

// One export as the screen or the batch tool asks for it: the kind, the blocks (employees or
// dates) in writing order and the output items. The figures are computed for each block just
// before it is written, from the in-memory employee table (g_kojin, as Kojin_Read(true) left
// it) and the category table (Kubun_Read).
enum class ExportKind { Individual = 0, Daily = 1, Totals = 2 };

struct ExportJob {
    ExportKind kind = ExportKind::Individual;
    bool payroll = false; // totals only: write a payroll package's file
    int package = 0;      // PayrollWriters::Package
    ExportItems items = allItems();
    QVector<int> employees; // individual: indices into g_kojin
    QVector<QDate> dates;   // daily: dates of the accounting period
    int employeeCount = 0;  // number of rows of g_kojin
};

struct ExportResult {
    bool ok = true;
    QString errorTitle; // the failing writer's title
    QString errorText;  // "ファイルを書き込めませんでした。" CR LF "Error=" ...
    // Employees of the export whose 区分 names no category (outside 00..10): written with
    // every figure zero. Indices into g_kojin, in table order.
    QVector<int> unknownCategory;
};

// The layout an own-layout export takes from its file name: 0 comma, -1 text, 1 none.
// (ExportFileChoice.h: textFlagOf.)

// Writes the whole export to the device: the own layouts in the layout of textFlag (0 comma,
// -1 text), a payroll file whatever the flag. Stops at the first block that fails.
ExportResult writeExport(const ExportJob &job, int textFlag, QIODevice *device);

// Writes the export to a file through QSaveFile: on any failure the file of that name is left
// as it was before (and removed when removeOnFailure says the export itself created it).
ExportResult exportToFile(const ExportJob &job, const QString &path, bool removeOnFailure = false);

// The title of an own-layout writer's error message.
QString exportWriterTitle(ExportKind kind, int textFlag);

// One line per employee whose 区分 names no category, for the screen's message and the batch
// tool's standard error.
QStringList unknownCategoryLines(const QVector<int> &employees);
QString unknownCategoryMessage(const QVector<int> &employees);

// Every date of the accounting period, first to last (g_period must be set).
QVector<QDate> periodDates();

// Blocks of one kind, computed from the data store (exposed for the reports and the tests).
// With a snapshot the punches come from it (loaded after the period rows were filled) instead
// of one statement per employee-day; writeExport reads the period once that way.
IndividualBlock computeIndividualBlock(int employee, int *error, QString *errorText,
                                       const PunchSnapshot *snapshot = nullptr);
DailyBlock computeDailyBlock(const QDate &date, int employeeCount, int *error, QString *errorText,
                             const PunchSnapshot *snapshot = nullptr);
