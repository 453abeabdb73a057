// corvan21-batch export: the export screen's files without a window, for scripted payroll
// runs. It logs in as the login screen does, so that a batch export and a screen export of the
// same month give the same bytes.
//
// Exit status: 0 written; 1 wrong password, failed start of the month, empty employee table or
// a failed write (the old file stays); 2 bad options (nothing is written).

#include "BatchCommand.h"
#include "BatchPassword.h"
#include "BatchSelection.h"
#include "calc/Period.h"
#include "common/Common.h"
#include "output/ExportFormat.h"
#include "output/ExportJob.h"
#include "store/DbFile.h"
#include "store/MonthStart.h"

#include <QDate>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct KindOption {
    const char *name;
    ExportKind kind;
    bool payroll;
    int package;
};

const KindOption kKinds[] = {
    {"individual", ExportKind::Individual, false, 0}, {"daily", ExportKind::Daily, false, 0},
    {"totals", ExportKind::Totals, false, 0},         {"pca", ExportKind::Totals, true, 0},
    {"bugyo", ExportKind::Totals, true, 1},           {"yayoi", ExportKind::Totals, true, 2},
};

int usage(const QString &why)
{
    batchError(why);
    return kExitUsage;
}

int exportCommand(const QStringList &args)
{
    BatchOptions o;
    QString why;
    if (!o.parse(args,
                 {QStringLiteral("month"), QStringLiteral("password"), QStringLiteral("password-file"),
                  QStringLiteral("kind"), QStringLiteral("out"), QStringLiteral("items"), QStringLiteral("employees"),
                  QStringLiteral("dates")},
                 &why))
        return usage(why);
    for (const char *required : {"month", "kind", "out"})
        if (!o.has(QString::fromLatin1(required)))
            return usage(QStringLiteral("missing option --") + QString::fromLatin1(required));
    QString password;
    if (!batchPassword(o, &password, &why))
        return usage(why);

    QString year, mon;
    if (!batchMonth(o.value(QStringLiteral("month")), &year, &mon))
        return usage(QStringLiteral("--month must be yyyymm: ") + o.value(QStringLiteral("month")));

    const KindOption *kind = nullptr;
    for (const KindOption &k : kKinds)
        if (o.value(QStringLiteral("kind")) == QLatin1String(k.name))
            kind = &k;
    if (!kind)
        return usage(QStringLiteral("--kind must be individual, daily, totals, pca, bugyo or yayoi: ")
                     + o.value(QStringLiteral("kind")));

    const QString out = o.value(QStringLiteral("out"));
    if (out.isEmpty())
        return usage(QStringLiteral("--out names no file"));
    if (!kind->payroll && textFlagOf(out) == 1)
        return usage(QStringLiteral("--out must end in .csv (comma layout) or .txt (text layout): ") + out);

    ExportJob job;
    job.kind = kind->kind;
    job.payroll = kind->payroll;
    job.package = kind->package;

    if (o.has(QStringLiteral("items"))) {
        job.items.fill(false);
        for (const QString &p : batchList(o.value(QStringLiteral("items")))) {
            bool ok = false;
            const int i = p.toInt(&ok);
            if (!ok || i < 0 || i >= kItemCount)
                return usage(QStringLiteral("--items takes numbers 0 to 9: ") + p);
            job.items[size_t(i)] = true;
        }
    }
    if (o.has(QStringLiteral("employees")) && job.kind != ExportKind::Individual)
        return usage(QStringLiteral("--employees applies to --kind individual only"));
    if (o.has(QStringLiteral("dates")) && job.kind != ExportKind::Daily)
        return usage(QStringLiteral("--dates applies to --kind daily only"));

    bool refused = false;
    if (!startMonthForBatch(year, mon, password, &why, &refused)) {
        batchError(why);
        return kExitFailed;
    }

    job.employeeCount = Kojin_Read(true);
    if (job.employeeCount <= 0) {
        batchError(QStringLiteral("個人マスターに対象となるデータが存在しません。個人マスターを登録して下さい。"));
        return kExitFailed;
    }
    Kubun_Read();
    PeriodRange period;
    if (!Period_Set(g_run, g_company, period)) {
        batchError(QStringLiteral("締日から処理月の期間を決められません。"));
        return kExitFailed;
    }

    if (job.kind == ExportKind::Individual && !batchEmployees(o, job.employeeCount, &job.employees, &why))
        return usage(why);
    if (job.kind == ExportKind::Daily && !batchDates(o, period, &job.dates, &why))
        return usage(why);

    const ExportResult r = exportToFile(job, batchInputs(), out);
    if (!r.ok) {
        batchError(r.errorTitle + QStringLiteral(": ")
                   + QString(r.errorText).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return kExitFailed;
    }
    for (const QString &line : unknownCategoryLines(g_kojin, r.unknownCategory))
        batchError(line);
    batchOut(QStringLiteral("ファイルを出力しました: ") + out);
    return 0;
}

int runExport(const QStringList &args)
{
    const int status = exportCommand(args);
    // The databases must be closed while the application object still exists.
    closeAllDatabases();
    return status;
}

const BatchCommand kExport("export",
                           "export --month yyyymm (--password-file FILE | --password - | --password P)"
                           " --kind individual|daily|totals|pca|bugyo|yayoi --out FILE"
                           " [--items 0,1,...] [--employees NUMBER,...] [--dates yyyy/mm/dd,...]",
                           runExport);

} // namespace
