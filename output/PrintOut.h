#pragma once

#include "ExportJob.h"
#include "common/Dialogs.h"

#include <QDate>
#include <QString>
#include <QVector>

class QPagedPaintDevice;
class ReportCanvas;

// The printed reports: the individual monthly report (one page per employee), the daily
// report (pages per date), the employee master list and the work category list, drawn on A4
// portrait pages in millimetres in the gothic face. A print job is one document; the print
// screen runs it once per copy so that every copy is a job of its own. A PDF file can stand
// in for the printer.

enum ReportKind { ReportIndividual = 0, ReportDaily = 1, ReportMasterList = 2, ReportCategoryList = 3 };

// At most this many employees or dates make one selection (the employee table's size).
constexpr int kSelectionSlots = 101;

// A report as a screen or the batch tool asks for it. The individual and daily reports are
// computed from the MonthInputs the job is run with.
struct PrintJob {
    ReportKind kind = ReportIndividual;
    QVector<int> employees; // individual: indices into the employee table, in printing order
    QVector<QDate> dates;   // daily: dates of the accounting period, in printing order
    int employeeCount = 0;  // rows of the employee table as the caller loaded it (individual, daily)
    // The screen's choices the selection was built from (-1 when not set).
    int employeeMode = -1;
    int severalMode = -1;
};

// A message the job has to show: "印刷エラーが発生しました。" ... with the report's title.
struct PrintProblem {
    QString title;
    QString text;
};

struct PrintResult {
    bool ok = true; // every document was produced
    int jobs = 0;   // documents produced
    int pages = 0;  // pages of the last document
    QVector<PrintProblem> problems;
    // Employees printed with zero figures because their 区分 names no category (indices into
    // the employee table, table order).
    QVector<int> unknownCategory;
};

// "印刷エラーが発生しました。" CR LF "Error=" number CR LF description.
QString PrintOut_ErrorText(int number, const QString &description);

// Titles of the reports' error messages.
QString PrintOut_ReportTitle(ReportKind kind);

// The page heading's title for the processing month of run, e.g. "2010年04月 勤務個人リスト".
QString PrintOut_Title(ReportKind kind, const RunState &run);

// Draws the job's pages on the canvas (the painter on its first page). The individual and
// daily reports are computed from the inputs' tables; the master list and the category list
// show the stored tables, read for the list alone.
void PrintOut_Draw(const PrintJob &job, const MonthInputs &in, ReportCanvas &canvas, PrintResult &result);

// Paints one document onto a paged device already set up as A4 portrait.
void PrintOut_Paint(const PrintJob &job, const MonthInputs &in, QPagedPaintDevice &device, PrintResult &result);

// One print job: sets up the printer (A4 portrait, high quality, the gothic face in 10 point)
// or the PDF file, draws the report and ends the document. A PDF is written whole or not at
// all: a failed job leaves the file that was there before.
PrintResult PrintOut_Job(const PrintJob &job, const MonthInputs &in, const QString &printerName,
                         const QString &pdfPath);

// The file copy `copy` (1 upwards) of a PDF print is written to: the chosen name for the first
// copy, "name-2.pdf", "name-3.pdf", ... for the others, since every copy is a document.
QString PrintOut_CopyPath(const QString &pdfPath, int copy);

// Runs the job once per copy of the printer dialog's answer.
PrintResult PrintOut_Print(const PrintJob &job, const MonthInputs &in, const Dialogs::PrintRequest &request);

// Whether the system has a printer, and its default printer's name. A test can replace the
// probe; nullptr restores the system's.
bool PrintOut_PrinterInstalled();
QString PrintOut_DefaultPrinter();
void PrintOut_SetPrinterProbe(bool (*probe)());
// Whether the system has a print queue of this name.
bool PrintOut_PrinterExists(const QString &name);

// The same, printed as the request says (no dialog).
PrintResult PrintOut_MasterList(const MonthInputs &in, const Dialogs::PrintRequest &request);
PrintResult PrintOut_CategoryList(const MonthInputs &in, const Dialogs::PrintRequest &request);
