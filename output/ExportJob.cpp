#include "ExportJob.h"

#include "ExportFormat.h"
#include "ExportWriters.h"
#include "PayrollWriters.h"
#include "common/SjisText.h"

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "store/DbFile.h"

#include <QFile>
#include <QFileDevice>
#include <QSaveFile>

#include <algorithm>
#include <memory>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// The number the program has always shown for a device that stopped taking data.
constexpr int kDeviceIoError = 57;

QString writeFailureText(int number, const QString &description)
{
    return QStringLiteral("ファイルを書き込めませんでした。") + kCrLf + QStringLiteral("Error=")
           + QString::number(number) + kCrLf + description;
}

ExportEmployee exportEmployee(const Employee &e) { return {e.number, e.name, e.card, e.category, e.active}; }

ExportTotals exportTotals(const MonthTotals &m)
{
    ExportTotals t;
    for (int f = 0; f < FigureCount; ++f) {
        t.sums[f] = m.figure[f].sum;
        t.counts[f] = m.figure[f].count;
    }
    return t;
}

ExportRow exportRow(const BlockTables &t, int r)
{
    ExportRow row;
    for (int s = 0; s < PunchSlotCount; ++s)
        row.clocks[s] = t.punches.rows[size_t(r)].slot[s];
    for (int f = 0; f < FigureCount; ++f)
        row.figures[f] = t.figures.days.rows[size_t(r)].figure[f];
    return row;
}

int deviceErrorNumber(QIODevice *device)
{
    if (auto *f = qobject_cast<QFileDevice *>(device); f && f->error() != QFileDevice::NoError)
        return int(f->error());
    return kDeviceIoError;
}

// The device's own reason when it has one: what it still buffers is flushed first, so a file
// that filled up names the system's reason (SjisText::flushWhole) rather than "Unknown error".
QString deviceErrorText(QIODevice *device, const SjisTextWriter &out)
{
    if (auto *f = qobject_cast<QFileDevice *>(device)) {
        SjisText::flushWhole(*f);
        if (f->error() != QFileDevice::NoError)
            return f->errorString();
    }
    return out.errorString();
}

} // namespace

QString exportWriterTitle(ExportKind kind, int textFlag)
{
    const bool text = textFlag == -1;
    switch (kind) {
    case ExportKind::Individual:
        return text ? QStringLiteral("個人TXTファイル出力エラー") : QStringLiteral("個人CSVファイル出力エラー");
    case ExportKind::Daily:
        return text ? QStringLiteral("日報TXTファイル出力エラー") : QStringLiteral("日報CSVファイル出力エラー");
    case ExportKind::Totals:
        return text ? QStringLiteral("集計TXTファイル出力エラー") : QStringLiteral("集計CSVファイル出力エラー");
    }
    return QString();
}

QVector<QDate> periodDates(const PeriodRange &period)
{
    QVector<QDate> d;
    if (!period.first.isValid() || !period.last.isValid())
        return d;
    for (QDate x = period.first; x <= period.last && d.size() < kPeriodRows; x = x.addDays(1))
        d << x;
    return d;
}

IndividualBlock computeIndividualBlock(const MonthInputs &in, BlockTables &t, int employee, int *error,
                                       QString *errorText, const PunchSnapshot *snapshot)
{
    IndividualBlock b;
    const Employee &e = in.employees[size_t(employee)];
    b.employee = exportEmployee(e);
    *error = Punch_LoadEmployee(t.days, e.card, in.pairing, t.punches, snapshot);
    if (*error) {
        *errorText = dbs().monthly.errorText();
        return b;
    }
    Totals_CalcEmployee(in.categories, categoryNumberOf(e.category), t.days, t.punches, t.figures);
    for (int r = 0; r < kPeriodRows; ++r) {
        if (!t.days.rows[size_t(r)].used())
            continue;
        b.days << t.days.rows[size_t(r)].date();
        b.rows << exportRow(t, r);
    }
    b.totals = exportTotals(t.figures.totals);
    return b;
}

DailyBlock computeDailyBlock(const MonthInputs &in, BlockTables &t, const QDate &date, int employeeCount, int *error,
                             QString *errorText, const PunchSnapshot *snapshot)
{
    DailyBlock b;
    b.date = date;
    QString dayType;
    const int row = t.days.rowOf(date);
    if (row >= 0) {
        dayType = t.days.rows[size_t(row)].dayType;
    } else if ((*error = DayType_Lookup(date, dayType)) != 0) {
        *errorText = dbs().calendar.errorText();
        return b;
    }
    // A date outside the snapshot's period rows is read on its own.
    const bool inSnapshot = snapshot && row >= 0;
    *error = Punch_LoadDate(date.month(), date.day(), in.employees, employeeCount, in.pairing, t.punches,
                            inSnapshot ? snapshot : nullptr);
    if (*error) {
        *errorText = dbs().monthly.errorText();
        return b;
    }
    Totals_CalcDate(in.categories, dayType, in.employees, employeeCount, t.punches, t.figures);
    for (int r = 0; r < employeeCount; ++r) {
        b.employees << exportEmployee(in.employees[size_t(r)]);
        b.rows << exportRow(t, r);
    }
    b.totals = exportTotals(t.figures.totals);
    return b;
}

ExportResult writeExport(const ExportJob &job, const MonthInputs &in, int textFlag, QIODevice *device)
{
    ExportResult res;
    const QString title = job.kind == ExportKind::Totals && job.payroll
                              ? PayrollWriters::errorTitle(PayrollWriters::Package(job.package))
                              : exportWriterTitle(job.kind, textFlag);
    auto fail = [&](int number, const QString &description) {
        res.ok = false;
        res.errorTitle = title;
        res.errorText = writeFailureText(number, description);
        return res;
    };
    if (!(job.kind == ExportKind::Totals && job.payroll) && textFlag != 0 && textFlag != -1) {
        res.ok = false;
        res.errorTitle = QStringLiteral("ファイル出力エラー");
        res.errorText = QStringLiteral("そのファイル名は使用できません。") + kCrLf
                        + QStringLiteral("拡張子を「.csv」か「.txt」にして下さい。");
        return res;
    }

    // Employees written with zero figures because their 区分 names no category.
    auto noteCategory = [&](int i) {
        if (!categoryCodeKnown(in.employees[size_t(i)].category) && !res.unknownCategory.contains(i))
            res.unknownCategory << i;
    };

    SjisTextWriter out(device);
    auto failWrite = [&] {
        const QString why = deviceErrorText(device, out); // first: it may record the device's error
        return fail(deviceErrorNumber(device), why);
    };
    const bool text = textFlag == -1;
    int error = 0;
    QString errorText;
    // The period's punches are read once, after its rows are filled, not per employee-day.
    PunchSnapshot snapshot;
    // One set of tables for every block; a month of blocks allocates them once.
    auto tables = std::make_unique<BlockTables>();
    PeriodRange period;

    switch (job.kind) {
    case ExportKind::Individual:
        if ((error = PeriodDays_FillFixed(in.run, in.company, tables->days)) != 0)
            return fail(error, dbs().calendar.errorText());
        if ((error = snapshot.load(tables->days)) != 0)
            return fail(error, dbs().monthly.errorText());
        for (int i : job.employees) {
            if (i < 0 || i >= job.employeeCount)
                continue;
            const IndividualBlock b = computeIndividualBlock(in, *tables, i, &error, &errorText, &snapshot);
            if (error)
                return fail(error, errorText);
            noteCategory(i);
            text ? ExportWriters::individualTxt(out, b, job.items) : ExportWriters::individualCsv(out, b, job.items);
            if (out.failed())
                return failWrite();
        }
        break;
    case ExportKind::Daily:
        if ((error = PeriodDays_FillCompact(in.run, in.company, tables->days, period)) != 0)
            return fail(error, dbs().calendar.errorText());
        if ((error = snapshot.load(tables->days)) != 0)
            return fail(error, dbs().monthly.errorText());
        for (const QDate &d : job.dates) {
            const DailyBlock b = computeDailyBlock(in, *tables, d, job.employeeCount, &error, &errorText, &snapshot);
            if (error)
                return fail(error, errorText);
            for (int i = 0; i < job.employeeCount; ++i)
                noteCategory(i);
            text ? ExportWriters::dailyTxt(out, b, job.items) : ExportWriters::dailyCsv(out, b, job.items);
            if (out.failed())
                return failWrite();
        }
        break;
    case ExportKind::Totals: {
        if ((error = PeriodDays_FillFixed(in.run, in.company, tables->days)) != 0)
            return fail(error, dbs().calendar.errorText());
        if ((error = snapshot.load(tables->days)) != 0)
            return fail(error, dbs().monthly.errorText());
        QVector<TotalsLine> lines;
        for (int i = 0; i < job.employeeCount; ++i) {
            const IndividualBlock b = computeIndividualBlock(in, *tables, i, &error, &errorText, &snapshot);
            if (error)
                return fail(error, errorText);
            noteCategory(i);
            lines << TotalsLine{b.employee, b.totals};
        }
        if (job.payroll)
            PayrollWriters::write(PayrollWriters::Package(job.package), out, lines);
        else
            text ? ExportWriters::totalsTxt(out, lines, job.items) : ExportWriters::totalsCsv(out, lines, job.items);
        if (out.failed())
            return failWrite();
        break;
    }
    }
    std::sort(res.unknownCategory.begin(), res.unknownCategory.end());
    return res;
}

ExportResult exportToFile(const ExportJob &job, const MonthInputs &in, const QString &path, bool removeOnFailure)
{
    const int textFlag = textFlagOf(path);
    QSaveFile f(path);
    ExportResult res;
    // Keeps the employees with an unknown category the export noted before the file failed.
    auto failFile = [&](int number, const QString &description) {
        res.ok = false;
        res.errorTitle = job.kind == ExportKind::Totals && job.payroll
                             ? PayrollWriters::errorTitle(PayrollWriters::Package(job.package))
                             : exportWriterTitle(job.kind, textFlag);
        res.errorText = writeFailureText(number, description);
    };
    if (!f.open(QIODevice::WriteOnly)) {
        failFile(int(f.error()), f.errorString());
    } else {
        res = writeExport(job, in, textFlag, &f);
        if (!res.ok) {
            f.cancelWriting();
        } else if (const SjisText::WriteResult w = SjisText::commitWhole(f); !w.ok) {
            // The cut-off file is dropped and the old one keeps its bytes.
            failFile(w.error, w.description);
        }
    }
    if (!res.ok && removeOnFailure && QFile::exists(path) && QFile(path).size() == 0)
        QFile::remove(path);
    return res;
}

QStringList unknownCategoryLines(const KojinTable &employees, const QVector<int> &rows)
{
    QStringList lines;
    for (int i : rows) {
        const Employee &e = employees[size_t(i)];
        lines << QStringLiteral("社員番号 ") + e.number + QStringLiteral(" ") + e.name + QStringLiteral("：区分「")
                     + e.category + QStringLiteral("」は勤務区分にありません。時間は0で出力しました。");
    }
    return lines;
}

QString unknownCategoryMessage(const KojinTable &employees, const QVector<int> &rows)
{
    return unknownCategoryLines(employees, rows).join(kCrLf);
}
