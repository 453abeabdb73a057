// corvan21-batch print: the printed reports without a window, written to a PDF file (--pdf) or
// sent to a print queue (--printer). It logs in as the login screen does, so the pages are
// those the print screen gives for the same month.
//
// Exit status: 0 written or sent; 1 wrong password, failed start of the month, empty employee
// table, no such print queue, or a failed write, drawing or hand-over to the queue (the old
// PDF file stays); 2 bad options (nothing is written).

#include "BatchCommand.h"
#include "BatchPassword.h"
#include "BatchSelection.h"
#include "calc/Period.h"
#include "common/Common.h"
#include "output/ExportJob.h"
#include "output/PrintOut.h"
#include "store/DbFile.h"
#include "store/MonthStart.h"

#include <QDate>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct ReportOption {
    const char *name;
    ReportKind kind;
};

const ReportOption kReports[] = {
    {"individual", ReportIndividual},
    {"daily", ReportDaily},
    {"master", ReportMasterList},
    {"categories", ReportCategoryList},
};

int usage(const QString &why)
{
    batchError(why);
    return kExitUsage;
}

QString oneLine(QString s) { return s.replace(QStringLiteral("\r\n"), QStringLiteral(" ")); }

int printReport(const QStringList &args);

// The databases are closed before the program ends: left to the static destructors they
// would close after the SQL driver registry is gone, and the tool would crash on exit.
int runPrint(const QStringList &args)
{
    const int status = printReport(args);
    closeAllDatabases();
    return status;
}

int printReport(const QStringList &args)
{
    BatchOptions o;
    QString why;
    if (!o.parse(args,
                 {QStringLiteral("month"), QStringLiteral("password"), QStringLiteral("password-file"),
                  QStringLiteral("report"), QStringLiteral("pdf"), QStringLiteral("employees"), QStringLiteral("dates"),
                  QStringLiteral("printer")},
                 &why))
        return usage(why);
    for (const char *required : {"month", "report"})
        if (!o.has(QString::fromLatin1(required)))
            return usage(QStringLiteral("missing option --") + QString::fromLatin1(required));
    // One destination: a file or a queue, never a guess between them.
    if (o.has(QStringLiteral("pdf")) == o.has(QStringLiteral("printer")))
        return usage(QStringLiteral("give either --pdf FILE or --printer NAME"));
    QString password;
    if (!batchPassword(o, &password, &why))
        return usage(why);

    QString year, mon;
    if (!batchMonth(o.value(QStringLiteral("month")), &year, &mon))
        return usage(QStringLiteral("--month must be yyyymm: ") + o.value(QStringLiteral("month")));

    const ReportOption *report = nullptr;
    for (const ReportOption &r : kReports)
        if (o.value(QStringLiteral("report")) == QLatin1String(r.name))
            report = &r;
    if (!report)
        return usage(QStringLiteral("--report must be individual, daily, master or categories: ")
                     + o.value(QStringLiteral("report")));

    const QString pdf = o.value(QStringLiteral("pdf"));
    const QString printer = o.value(QStringLiteral("printer"));
    if (o.has(QStringLiteral("pdf")) && pdf.isEmpty())
        return usage(QStringLiteral("--pdf names no file"));
    if (o.has(QStringLiteral("printer")) && printer.isEmpty())
        return usage(QStringLiteral("--printer names no queue"));
    if (o.has(QStringLiteral("employees")) && report->kind != ReportIndividual)
        return usage(QStringLiteral("--employees applies to --report individual only"));
    if (o.has(QStringLiteral("dates")) && report->kind != ReportDaily)
        return usage(QStringLiteral("--dates applies to --report daily only"));

    if (!printer.isEmpty() && !PrintOut_PrinterExists(printer)) {
        batchError(QStringLiteral("プリンタが見つかりません: ") + printer);
        return kExitFailed;
    }

    bool refused = false;
    if (!startMonthForBatch(year, mon, password, &why, &refused)) {
        batchError(why);
        return kExitFailed;
    }

    PrintJob job;
    job.kind = report->kind;
    Kubun_Read();
    PeriodRange period;
    if (job.kind == ReportIndividual || job.kind == ReportDaily) {
        job.employeeCount = Kojin_Read(true);
        if (job.employeeCount <= 0) {
            batchError(QStringLiteral("個人マスターに対象となるデータが存在しません。個人マスターを登録して下さい。"));
            return kExitFailed;
        }
        if (!Period_Set(g_run, g_company, period)) {
            batchError(QStringLiteral("締日から処理月の期間を決められません。"));
            return kExitFailed;
        }
    }

    if (job.kind == ReportIndividual && !batchEmployees(o, job.employeeCount, &job.employees, &why))
        return usage(why);
    if (job.kind == ReportDaily && !batchDates(o, period, &job.dates, &why))
        return usage(why);

    const PrintResult r = PrintOut_Job(job, batchInputs(), printer, pdf);
    for (const PrintProblem &p : r.problems)
        batchError(p.title + QStringLiteral(": ") + oneLine(p.text));
    for (const QString &line : unknownCategoryLines(g_kojin, r.unknownCategory))
        batchError(line);
    if (!r.ok || !r.problems.isEmpty())
        return kExitFailed;
    batchOut(QStringLiteral("印刷しました: ") + (pdf.isEmpty() ? printer : pdf) + QStringLiteral(" (")
             + QString::number(r.pages) + QStringLiteral(" ページ)"));
    return 0;
}

const BatchCommand kPrint("print",
                          "print --month yyyymm (--password-file FILE | --password - | --password P)"
                          " --report individual|daily|master|categories --pdf FILE|--printer NAME"
                          " [--employees NUMBER,...] [--dates yyyy/mm/dd,...]",
                          runPrint);

} // namespace
