// (b) a month for 100 employees (4 punches x 31 days) loaded and computed, against reading all
// its punch rows in one query; (c) every export kind of the same month, written to a file.
//
//   bench_month [rounds] [b]     (b: only the month computation, for profiling)

#include "BenchUtil.h"

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "output/ExportJob.h"
#include "output/PayrollWriters.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    qputenv("CORVAN21_NOW", "2010-12-20T10:00:00");
    TestHome home;
    if (!home.ok() || !home.openMonth(QStringLiteral("201012")) || !Bench::seedMonth(100)) {
        std::printf("could not prepare the month: %s\n", qPrintable(dbs().monthly.errorText()));
        return 1;
    }
    Kaisya_Read();
    PeriodRange period;
    Period_Set(g_run, g_company, period);
    Kubun_Read();
    const int n = Kojin_Read(true);
    const MonthInputs in{g_kubun, g_kojin, g_run, g_company, pairingModeFor(g_install.linkKind)};
    std::printf("month benchmark: %d employees x 31 days x 4 punches, %d rounds, %s\n", n, rounds,
                qPrintable(Bench::loadAverage()));

    // Baseline: every punch row of the month in one query, each value read out.
    qint64 sink = 0;
    const Bench::Figures base = Bench::time(rounds, [&] {
        QSqlQuery q(dbs().monthly.handle());
        q.setForwardOnly(true);
        q.exec(QStringLiteral("SELECT 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード FROM タイムカード"));
        while (q.next())
            for (int c = 0; c < 8; ++c)
                sink += q.value(c).toString().size();
    });
    Bench::report("(b) baseline: one query, all rows", base, nullptr, 0, 0);

    qint64 check = 0;
    // The tables of the computation, filled again for each employee as the exports do.
    auto tables = std::make_unique<BlockTables>();
    auto month = [&](bool snapshot) {
        Kubun_Read();
        const int count = Kojin_Read(true);
        PeriodDays_FillFixed(in.run, in.company, tables->days);
        PunchSnapshot s;
        if (snapshot)
            s.load(tables->days);
        check = 0;
        for (int e = 0; e < count; ++e) {
            const Employee &emp = in.employees[size_t(e)];
            Punch_LoadEmployee(tables->days, emp.card, in.pairing, tables->punches, snapshot ? &s : nullptr);
            Totals_CalcEmployee(in.categories, categoryNumberOf(emp.category), tables->days, tables->punches,
                                tables->figures);
            check += tables->figures.totals.figure[FigTotal].sum;
        }
    };
    const Bench::Figures perDay = Bench::time(rounds, [&] { month(false); });
    Bench::report("(b) month, one read per emp-day", perDay, &base, 10, 50);
    const Bench::Figures snap = Bench::time(rounds, [&] { month(true); });
    Bench::report("(b) month, period snapshot", snap, &base, 10, 50);
    std::printf("    (sum of 合計 %lld min; %lld characters read by the baseline)\n", check, sink);
    if (argc > 2 && qstrcmp(argv[2], "b") == 0) {
        closeAllDatabases();
        return 0;
    }

    // (c) each export kind of the whole month to a file.
    Kojin_Read(true);
    struct Kind {
        const char *name;
        ExportKind kind;
        bool payroll;
        int package;
        const char *file;
    };
    const Kind kinds[] = {
        {"(c) export individual CSV", ExportKind::Individual, false, 0, "kojin.csv"},
        {"(c) export individual TXT", ExportKind::Individual, false, 0, "kojin.txt"},
        {"(c) export daily CSV", ExportKind::Daily, false, 0, "nippo.csv"},
        {"(c) export daily TXT", ExportKind::Daily, false, 0, "nippo.txt"},
        {"(c) export totals CSV", ExportKind::Totals, false, 0, "syukei.csv"},
        {"(c) export totals TXT", ExportKind::Totals, false, 0, "syukei.txt"},
        {"(c) export payroll package 0", ExportKind::Totals, true, 0, "payroll0.csv"},
        {"(c) export payroll package 1", ExportKind::Totals, true, 1, "payroll1.csv"},
        {"(c) export payroll package 2", ExportKind::Totals, true, 2, "payroll2.csv"},
    };
    int failures = 0;
    for (const Kind &k : kinds) {
        ExportJob job;
        job.kind = k.kind;
        job.payroll = k.payroll;
        job.package = k.package;
        job.employeeCount = n;
        for (int i = 0; i < n; ++i)
            job.employees << i;
        job.dates = periodDates(period); // the accounting period (Period_Set above)
        const QString path = home.file(QString::fromLatin1(k.file));
        ExportResult r;
        const Bench::Figures f = Bench::time(rounds, [&] { r = exportToFile(job, in, path); });
        if (!r.ok) {
            std::printf("%s failed: %s\n", k.name, qPrintable(r.errorText));
            ++failures;
            continue;
        }
        Bench::report(k.name, f, nullptr, 0, 300);
        std::printf("    %lld bytes\n", QFile(path).size());
    }
    closeAllDatabases();
    return failures ? 1 : 0;
}
