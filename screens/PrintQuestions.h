#pragma once

#include "output/PrintOut.h"

// What the report screens ask and tell around a print job: the printer or PDF file to print
// to, the warning when there is no printer, and the job's messages. The job itself (output/)
// only returns its results.

// Shows the job's messages through the dialog layer: the error messages in order, then one
// naming the employees (of the employee table the job ran with) whose 区分 is no category.
void PrintOut_ShowProblems(const PrintResult &result, const KojinTable &employees);

// Warns "プリンタがインストールされていません。" ... (title "印刷") when the system has no printer
// and returns false; the screen then stops, as the message says.
bool PrintOut_CheckPrinter();

// The printing steps the screens share once their selection is made: the printer dialog with
// the default printer preset (cancel ends silently), the job once per copy under the
// hourglass, and its messages. Returns true when something was printed.
bool PrintOut_Ask(const PrintJob &job, const MonthInputs &in);

// The printing steps of a PDF file chosen as such: the file-save dialog (title "PDF出力", the
// report's title as the proposed name; cancel ends silently), then one document into the file
// and its messages. It works with or without a printer. Returns true when the file was written.
bool PrintOut_AskPdf(const PrintJob &job, const MonthInputs &in);

// Where a screen's print command sends the report: the printer (no printer: the warning, and
// nothing else) or a PDF file.
enum class PrintRoute { Printer, Pdf };
bool PrintOut_Run(const PrintJob &job, const MonthInputs &in, PrintRoute route);

// The master screens' lists: employee master list (all employees, 社員番号 order) and work
// category list, by the route the screen's button chose. Of the inputs they use the processing
// month.
bool PrintOut_MasterList(const MonthInputs &in, PrintRoute route = PrintRoute::Printer);
bool PrintOut_CategoryList(const MonthInputs &in, PrintRoute route = PrintRoute::Printer);
