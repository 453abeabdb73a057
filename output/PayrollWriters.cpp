#include "PayrollWriters.h"

#include "ExportFormat.h"
#include "ExportWriters.h"
#include "common/SjisText.h"

namespace PayrollWriters {

namespace {

using ExportFormat::rightAlign;

// The month's values the packages take, from the block totals.
struct PayrollValues {
    qint64 workDays, lateCount, holidayDays;
    qint64 workTime, lateTime, overtime, nightTime, holidayTime, nonStatutoryTime;
};

PayrollValues valuesOf(const ExportTotals &t)
{
    PayrollValues v;
    v.workDays = t.counts[FigWork];
    v.lateCount = t.counts[FigLateEarly];
    v.holidayDays = qint64(t.counts[FigHoliday]) + t.counts[FigNonStatutory];
    v.workTime = t.sums[FigWork];
    v.lateTime = t.sums[FigLateEarly];
    v.overtime = qint64(t.sums[FigOver]) + t.sums[FigEarly];
    v.nightTime = t.sums[FigNight];
    v.holidayTime = t.sums[FigHoliday];
    v.nonStatutoryTime = t.sums[FigNonStatutory];
    return v;
}

// "," + the value's text right-aligned in n, or the field's zero literal.
QString field(qint64 value, const QString &text, int n, const char *zero)
{
    if (value == 0)
        return QString::fromLatin1(zero);
    return QLatin1Char(',') + rightAlign(text, n);
}

QString days(qint64 count, const char *suffix) { return QString::number(count) + QString::fromLatin1(suffix); }

void endOfFile(SjisTextWriter &out) { out.writeBytes(QByteArray(1, '\x1a')); }

} // namespace

void pca2000(SjisTextWriter &out, const QVector<TotalsLine> &lines)
{
    const char *zero = ",       0";
    auto hm = [&](qint64 m) { return field(m, QString::number(ExportFormat::hourMinuteNumber(m)), 8, zero); };
    auto dd = [&](qint64 d) { return field(d, days(d, "00"), 8, zero); };
    auto fixed = [&](int n) { return QString::fromLatin1(zero).repeated(n); };
    for (const TotalsLine &l : lines) {
        const PayrollValues v = valuesOf(l.totals);
        out.writeLine(ExportWriters::numberText(l.employee.number, 4) // 1
                      + dd(v.workDays)                                // 2
                      + hm(v.workTime)                                // 3
                      + fixed(3)                                      // 4-6
                      + dd(v.holidayDays)                             // 7
                      + fixed(1)                                      // 8
                      + dd(v.lateCount)                               // 9
                      + hm(v.lateTime)                                // 10
                      + hm(v.overtime)                                // 11
                      + hm(v.nightTime)                               // 12
                      + hm(v.nonStatutoryTime)                        // 13
                      + fixed(1)                                      // 14
                      + hm(v.holidayTime)                             // 15
                      + fixed(11));                                   // 16-26
    }
    endOfFile(out);
}

void bugyo21(SjisTextWriter &out, const QVector<TotalsLine> &lines)
{
    out.writeLine(QStringLiteral("\"MK01\",\"KN01\",\"KN02\",\"KN03\",\"KN04\",\"KN05\",\"KN07\",\"KN08\",\"KN09\","
                                 "\"KN10\",\"KN11\",\"KN12\",\"KN13\",\"KN14\","));
    auto dd = [&](qint64 d) { return field(d, days(d, ".00"), 7, ",   0.00"); };
    auto hm = [&](qint64 m) {
        return field(m, ExportFormat::hoursSeparatorMinutes(m, QLatin1Char('.')), 6, ",  0.00");
    };
    for (const TotalsLine &l : lines) {
        const PayrollValues v = valuesOf(l.totals);
        out.writeLine(ExportWriters::numberText(l.employee.number, 6) // MK01
                      + dd(v.workDays)                                // KN01
                      + dd(v.holidayDays)                             // KN02
                      + QStringLiteral(",    0.00")                   // KN03
                      + QStringLiteral(",   0.00")                    // KN04
                      + QStringLiteral(",   0.00")                    // KN05
                      + hm(v.workTime)                                // KN07
                      + hm(v.lateTime)                                // KN08
                      + hm(v.overtime)                                // KN09
                      + hm(v.nightTime)                               // KN10
                      + hm(v.nonStatutoryTime)                        // KN11
                      + QStringLiteral(",  0.00")                     // KN12
                      + hm(v.holidayTime)                             // KN13
                      + QStringLiteral(",  0.00"));                   // KN14
    }
    endOfFile(out);
}

void yayoi(SjisTextWriter &out, const QVector<TotalsLine> &lines)
{
    auto dd = [&](qint64 d, int n, const char *zero) { return field(d, days(d, ".0"), n, zero); };
    // The package reads a zero late, over- or night time with a point and the other zero
    // times with a colon.
    auto hm = [&](qint64 m, const char *zero) {
        return field(m, ExportFormat::hoursSeparatorMinutes(m, QLatin1Char(':')), 8, zero);
    };
    const char *colonZero = ",    0:00";
    const char *pointZero = ",    0.00";
    const QString dayZero = QStringLiteral(",     0.0");
    for (const TotalsLine &l : lines) {
        const PayrollValues v = valuesOf(l.totals);
        out.writeLine(ExportWriters::numberText(l.employee.number, 4) // 1
                      + dd(v.workDays, 7, ",    0.0")                 // 2
                      + dd(v.holidayDays, 7, ",    0.0")              // 3
                      + dayZero.repeated(4)                           // 4-7
                      + hm(v.workTime, colonZero)                     // 8
                      + dd(v.lateCount, 8, ",     0.0")               // 9
                      + hm(v.lateTime, pointZero)                     // 10
                      + hm(v.overtime, pointZero)                     // 11
                      + hm(v.nightTime, pointZero)                    // 12
                      + hm(v.nonStatutoryTime, colonZero)             // 13
                      + QString::fromLatin1(colonZero)                // 14
                      + hm(v.holidayTime, colonZero)                  // 15
                      + QString::fromLatin1(colonZero)                // 16
                      + dayZero.repeated(5));                         // 17-21
    }
    endOfFile(out);
}

void write(Package p, SjisTextWriter &out, const QVector<TotalsLine> &lines)
{
    switch (p) {
    case Pca2000: pca2000(out, lines); break;
    case Bugyo21: bugyo21(out, lines); break;
    case Yayoi: yayoi(out, lines); break;
    }
}

QString errorTitle(Package p)
{
    switch (p) {
    case Pca2000: return QStringLiteral("給与2000TXTファイル出力エラー");
    case Bugyo21: return QStringLiteral("給与奉行DATファイル出力エラー");
    case Yayoi: return QStringLiteral("弥生給与TXTファイル出力エラー");
    }
    return QString();
}

} // namespace PayrollWriters
