// Times the month every editor, report and export computes: 100 employees with four punches
// on each of 31 days, loaded from a monthly database file, paired and computed.
// Not a test: run it by hand (calc_bench [rounds]) and read the figures it prints.

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <memory>

namespace {

// CPU time of this thread: on a machine shared with other work the wall time also counts the
// time spent waiting for a core.
qint64 cpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool seed()
{
    Database &db = dbs().monthly;
    if (!db.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'")))
        return false;
    return inTransaction(db, [&] {
        QVariantList cat{QStringLiteral("01"),
                         "08:30",
                         "17:30",
                         "08:30",
                         "17:30",
                         "12:00",
                         "13:00",
                         "  :  ",
                         "  :  ",
                         "  :  ",
                         "  :  ",
                         "06:00",
                         "08:30",
                         "17:30",
                         "22:00",
                         "22:00",
                         "29:00"};
        cat << QStringLiteral("1：時数丸め") << QStringLiteral("15分") << QStringLiteral("15分")
            << QStringLiteral("15分") << QStringLiteral("08:00");
        if (!db.exec(QStringLiteral("DELETE FROM 区分")) || !db.exec(QStringLiteral("DELETE FROM 個人"))
            || !db.exec(QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"), cat))
            return false;
        for (int e = 1; e <= 100; ++e) {
            const QString card = QString::number(e).rightJustified(9, QLatin1Char('0'));
            if (!db.exec(QStringLiteral(
                             "INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES (?,?,?,?,?,?)"),
                         {QString::number(e), QString::number(e).rightJustified(6, QLatin1Char('0')),
                          QStringLiteral("社員"), card, QStringLiteral("01"), QStringLiteral("1")}))
                return false;
            for (int d = 1; d <= 31; ++d) {
                const int shift = (e + d) % 20;
                const int times[4] = {8 * 60 + 20 + shift, 12 * 60 + shift % 5, 13 * 60 - shift % 7,
                                      17 * 60 + 30 + 3 * shift};
                for (int p = 0; p < 4; ++p) {
                    const QVariantList v{QStringLiteral("12"),
                                         QString::number(d).rightJustified(2, QLatin1Char('0')),
                                         QString::number(times[p] / 60).rightJustified(2, QLatin1Char('0')),
                                         QString::number(times[p] % 60).rightJustified(2, QLatin1Char('0')),
                                         QStringLiteral("00"),
                                         card,
                                         QString::number(p % 2),
                                         p == 2 ? QStringLiteral("04") : QStringLiteral("00"),
                                         QStringLiteral("0")};
                    if (!db.exec(QStringLiteral(
                                     "INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                                     "VALUES (?,?,?,?,?,?,?,?,?)"),
                                 v))
                        return false;
                }
            }
        }
        return true;
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    TestHome home;
    if (!home.ok() || !home.openMonth(QStringLiteral("201012")) || !seed()) {
        out << "could not prepare the database: " << dbs().monthly.errorText() << Qt::endl;
        return 1;
    }
    Kaisya_Read();
    const PairingMode mode = pairingModeFor(LinkUsb);
    // The computation's tables, filled again for each employee.
    auto days = std::make_unique<PeriodDays>();
    auto rows = std::make_unique<PunchRows>();
    auto figures = std::make_unique<CalcFigures>();
    KubunTable kubun;
    KojinTable kojin;

    for (bool snapshot : {false, true}) {
        qint64 best = -1, total = 0, loadNs = 0, calcNs = 0, cpuBest = -1, snapCpuNs = 0;
        qint64 check = 0;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer t;
            t.start();
            const qint64 cpu0 = cpuNs();
            Kubun_Load(kubun);
            const int n = Kojin_Load(kojin, true);
            if (PeriodDays_FillFixed(g_run, g_company, *days) != 0)
                return 1;
            check = 0;
            QElapsedTimer part;
            part.start();
            PunchSnapshot punches;
            const qint64 snap0 = cpuNs();
            if (snapshot && punches.load(*days) != 0)
                return 1;
            snapCpuNs += cpuNs() - snap0;
            loadNs += part.nsecsElapsed();
            for (int e = 0; e < n; ++e) {
                part.restart();
                if (Punch_LoadEmployee(*days, kojin[size_t(e)].card, mode, *rows, snapshot ? &punches : nullptr) != 0)
                    return 1;
                loadNs += part.nsecsElapsed();
                part.restart();
                Totals_CalcEmployee(kubun, categoryNumberOf(kojin[size_t(e)].category), *days, *rows, *figures);
                calcNs += part.nsecsElapsed();
                check += figures->totals.figure[FigTotal].sum;
            }
            const qint64 us = t.nsecsElapsed() / 1000;
            const qint64 cpuUs = (cpuNs() - cpu0) / 1000;
            cpuBest = cpuBest < 0 ? cpuUs : std::min(cpuBest, cpuUs);
            total += us;
            best = best < 0 ? us : std::min(best, us);
        }
        out << (snapshot ? "one snapshot of the period: " : "one read per employee-day: ")
            << "100 employees x 31 days x 4 punches: best " << best / 1000.0 << " ms (CPU " << cpuBest / 1000.0
            << " ms), mean " << total / rounds / 1000.0 << " ms over " << rounds << " rounds; of the mean "
            << loadNs / rounds / 1000000.0 << " ms reading and pairing punches, " << calcNs / rounds / 1000000.0
            << " ms computing";
        if (snapshot)
            out << ", snapshot read " << snapCpuNs / rounds / 1000000.0 << " ms CPU";
        out << " (sum of 合計 " << check << " min)" << Qt::endl;
    }
    return 0;
}
