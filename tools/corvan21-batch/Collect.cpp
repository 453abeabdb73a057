// corvan21-batch collect / process: the two steps of the データ収集 screen without a window.
// Both log in as the login screen does. collect runs the link of the installation's kind, LAN
// or USB (same conversations, same communication and error logs) and the duplicate marking;
// process classifies
// the intake table and moves what fits into the month's time cards.
//
// Both write punches, so both hold the data folder's lock (data/corvan21.lock) for the run and
// refuse to start while the program or another writing command holds it: an open editor of
// the program keeps its copy of the days it shows.
//
// Exit status: 0 done; 1 the lock is held, wrong password, failed start of the month, a failed
// collection (its result code and message are printed) or a failed processing; 2 bad options.

#include "BatchCommand.h"
#include "BatchPassword.h"
#include "BatchSelection.h"
#include "common/Common.h"
#include "common/ProgramLock.h"
#include "recorder/CalcoloCom.h"
#include "recorder/Intake.h"
#include "recorder/LanLink.h"
#include "recorder/UsbLink.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "store/MonthStart.h"

#include <QEventLoop>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Takes the data folder's lock for the run; false with the message printed when it is held.
// what: the object of the sentence "nothing was ...".
bool takeLock(ProgramLock &lock, const char *name, const char *what)
{
    const QString who = QStringLiteral("corvan21-batch %1: ").arg(QString::fromLatin1(name));
    const QString nothing = QStringLiteral("nothing was %1").arg(QString::fromLatin1(what));
    switch (lock.take()) {
    case ProgramLock::Outcome::Taken:
    case ProgramLock::Outcome::NoDataFolder: // the login reports the missing installation
        return true;
    case ProgramLock::Outcome::HeldByProgram:
        batchError(who
                   + QStringLiteral("the program %1 is running and holds the data folder; %2. "
                                    "Run the command again once the program has ended.")
                         .arg(lock.holderText(), nothing));
        return false;
    case ProgramLock::Outcome::HeldByBatch:
        batchError(who
                   + QStringLiteral("another run, %1, is writing to the data folder; %2. "
                                    "Run the command again once it has ended.")
                         .arg(lock.holderText(), nothing));
        return false;
    case ProgramLock::Outcome::HeldByOther:
        batchError(who + QStringLiteral("%1 is held by %2; %3.").arg(lock.path(), lock.holderText(), nothing));
        return false;
    case ProgramLock::Outcome::Failed: break;
    }
    batchError(who + QStringLiteral("cannot create the lock file %1; %2.").arg(lock.path(), nothing));
    return false;
}

bool login(const QStringList &args, const char *name, const char *what, ProgramLock &lock, int &exitCode)
{
    BatchOptions o;
    QString why;
    QString password;
    if (!o.parse(args, QStringList{QStringLiteral("month")} + batchPasswordOptions(), &why)
        || !o.has(QStringLiteral("month")) || !batchPassword(o, &password, &why)) {
        batchError(why.isEmpty() ? QStringLiteral("missing option --month") : why);
        batchError(QStringLiteral("usage: corvan21-batch %1 --month yyyymm %2")
                       .arg(QString::fromLatin1(name), batchPasswordUsage()));
        exitCode = kExitUsage;
        return false;
    }
    QString year, month;
    if (!batchMonth(o.value(QStringLiteral("month")), &year, &month)) {
        batchError(QStringLiteral("--month must be yyyymm: ") + o.value(QStringLiteral("month")));
        exitCode = kExitUsage;
        return false;
    }
    if (!takeLock(lock, name, what)) {
        exitCode = kExitFailed;
        return false;
    }
    if (!startMonthForBatch(year, month, password, &why)) {
        batchError(why);
        exitCode = kExitFailed;
        return false;
    }
    CalcoloCom::buildCommandSet();
    CalcoloCom::setLogPaths(Clock::today());
    return true;
}

void printCounts()
{
    Intake::Counts c;
    if (!Intake::readCounts(dbs().intake, c)) {
        batchError(dbs().intake.errorText());
        return;
    }
    batchOut(QStringLiteral("収集データ数 %1").arg(c.collected));
    batchOut(QStringLiteral("重複データ数 %1").arg(c.duplicates));
    batchOut(QStringLiteral("未処理データ数 %1").arg(c.unprocessed));
    batchOut(QStringLiteral("マスタなしデータ数 %1").arg(c.noMaster));
    batchOut(QStringLiteral("月度違いデータ数 %1").arg(c.otherMonth));
}

int runCollect(const QStringList &args, ProgramLock &lock)
{
    int exitCode = 0;
    if (!login(args, "collect", "collected", lock, exitCode))
        return exitCode;
    Intake::Counts before;
    if (!Intake::readCounts(dbs().intake, before)) {
        batchError(dbs().intake.errorText());
        return kExitFailed;
    }
    CalcoloCom::CollectionResult r;
    QEventLoop loop;
    if (g_install.linkKind == LinkUsb) {
        UsbLink link(dbs().intake);
        UsbLink::Settings s;
        s.commandSet = g_install.commandSet;
        link.setSettings(s);
        QObject::connect(&link, &UsbLink::finished, &loop, &QEventLoop::quit);
        link.start();
        loop.exec();
        r = link.result();
    } else {
        LanLink link(dbs().intake);
        LanLink::Settings s;
        s.host = g_recorderAddress;
        s.port = quint16(g_install.recorderPort);
        s.commandSet = g_install.commandSet;
        s.dayChange = g_company.dayChange;
        s.waitingRows = before.collected + before.unprocessed;
        link.setSettings(s);
        QObject::connect(&link, &LanLink::finished, &loop, &QEventLoop::quit);
        link.start();
        loop.exec();
        r = link.result();
    }

    if (r.code != 0)
        CalcoloCom::logError(r.message());
    const bool marked = Intake::markDuplicates(dbs().intake);
    batchOut(QStringLiteral("結果コード %1").arg(r.code));
    batchOut(r.code ? QString(r.message()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                    : QStringLiteral("正常終了しました。"));
    batchOut(QStringLiteral("受信データ数 %1").arg(r.inserted));
    printCounts();
    if (!marked) {
        batchError(dbs().intake.errorText());
        return kExitFailed;
    }
    return r.code ? kExitFailed : 0;
}

int runProcess(const QStringList &args, ProgramLock &lock)
{
    int exitCode = 0;
    if (!login(args, "process", "processed", lock, exitCode))
        return exitCode;
    const Intake::PeriodBounds b = Intake::SyorituCal(g_run.year, g_run.month, g_company.closingDayNo, Clock::today());
    Intake::ProcessResult r;
    if (!Intake::process(dbs().intake, dbs().monthly.path(), b, Clock::today(), r)) {
        batchError(QStringLiteral("エラー番号") + QString::number(r.errorNumber) + QLatin1Char(' ') + r.errorText);
        return kExitFailed;
    }
    batchOut(QStringLiteral("正常データ数 %1").arg(r.moved));
    printCounts();
    if (r.leapDayWarning)
        batchError(QStringLiteral("年度が違うデータがありました。"));
    return 0;
}

// The databases are closed before the program ends, as the main window does, and before the
// lock is given up.
int closing(int (*run)(const QStringList &, ProgramLock &), const QStringList &args)
{
    ProgramLock lock;
    const int rc = run(args, lock);
    closeAllDatabases();
    return rc;
}

const BatchCommand g_collect("collect", "collect --month yyyymm (--password-file FILE | --password - | --password P)",
                             [](const QStringList &a) { return closing(runCollect, a); });
const BatchCommand g_process("process", "process --month yyyymm (--password-file FILE | --password - | --password P)",
                             [](const QStringList &a) { return closing(runProcess, a); });

} // namespace
