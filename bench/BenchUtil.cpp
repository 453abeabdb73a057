#include "BenchUtil.h"

#include "store/DbFile.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace Bench {

namespace {
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}
} // namespace

Figures time(int rounds, const std::function<void()> &fn)
{
    fn(); // warm-up: file cache, prepared statements, lazily loaded code pages
    QVector<double> wall, cpu;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        fn();
        wall << t.nsecsElapsed() / 1e6;
        cpu << cpuMs() - c0;
    }
    Figures f;
    std::sort(wall.begin(), wall.end());
    f.bestMs = wall.first();
    f.medianMs = wall[wall.size() / 2];
    f.bestCpuMs = *std::min_element(cpu.begin(), cpu.end());
    return f;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("load ?");
    const QList<QByteArray> p = f.readAll().split(' ');
    return QStringLiteral("load %1 %2 %3")
        .arg(QString::fromLatin1(p.value(0)), QString::fromLatin1(p.value(1)), QString::fromLatin1(p.value(2)));
}

void report(const char *name, const Figures &f, const Figures *baseline, double ratioTarget, double msTarget)
{
    std::printf("%-34s best %8.2f ms  median %8.2f ms", name, f.bestMs, f.medianMs);
    if (f.bestCpuMs > 0)
        std::printf("  cpu %8.2f ms", f.bestCpuMs);
    bool ok = msTarget <= 0 || f.bestMs < msTarget;
    if (baseline && baseline->bestMs > 0) {
        const double ratio = f.bestMs / baseline->bestMs;
        std::printf("  ratio %.2fx (baseline %.2f ms)", ratio, baseline->bestMs);
        if (ratioTarget > 0)
            ok = ok && ratio <= ratioTarget;
    }
    if (msTarget > 0 || ratioTarget > 0) {
        std::printf("  target");
        if (ratioTarget > 0)
            std::printf(" <=%.0fx", ratioTarget);
        if (msTarget > 0)
            std::printf(" <%.0f ms", msTarget);
        std::printf(": %s", ok ? "met" : "MISSED");
    }
    std::printf("\n");
    std::fflush(stdout);
}

bool seedMonth(int employees) { return seedDatabase(dbs().monthly, employees); }

bool seedDatabase(Database &db, int employees, bool withPunches)
{
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
            || !db.exec(QStringLiteral("DELETE FROM タイムカード"))
            || !db.exec(QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"), cat))
            return false;
        for (int e = 1; e <= employees; ++e) {
            const QString card = QString::number(e).rightJustified(9, QLatin1Char('0'));
            if (!db.exec(QStringLiteral(
                             "INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES (?,?,?,?,?,?)"),
                         {QString::number(e), QString::number(e).rightJustified(6, QLatin1Char('0')),
                          QStringLiteral("社員"), card, QStringLiteral("01"), QStringLiteral("1")}))
                return false;
            for (int d = 1; withPunches && d <= 31; ++d) {
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

} // namespace Bench
