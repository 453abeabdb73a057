#include "ExportWriters.h"

#include "ColumnText.h"
#include "ExportFormat.h"
#include "common/SjisText.h"

#include "common/Common.h"
#include "store/DbFile.h"

namespace ExportWriters {

namespace {

constexpr const char *kEmptyClock = "  :  ";

bool clockAbsent(const QString &t) { return t == QLatin1String(kEmptyClock); }

// Captions of the comma layouts' column headers, per item.
const char *const kCsvCaptions[kItemCount] = {
    ", 出勤時, 出勤分, 退勤時, 退勤分",
    ", 出勤2時, 出勤2分, 退勤2時, 退勤2分",
    ", 就業時, 就業分",
    ", 遅早時, 遅早分",
    ", 残業時, 残業分",
    ", 早出時, 早出分",
    ", 深夜時, 深夜分",
    ", 休日時, 休日分",
    ", 法定外時, 法定外分",
    ", 合計時, 合計分",
};

// Captions of the text layouts, figures 0..7 (items 2..9).
const char *const kTxtCaptions[FigureCount] = {"就業", "遅早", "残業", "早出", "深夜", "休日", "法定外", "合計"};

QString u8(const char *s) { return QString::fromUtf8(s); }

QString csvHeaderItems(const ExportItems &items)
{
    QString s;
    for (int i = 0; i < kItemCount; ++i)
        if (items[i])
            s += u8(kCsvCaptions[i]);
    return s;
}

// ",hh,mm" from a five-character text; ",," for the absent clock and the empty figure.
QString splitHhmm(const QString &t)
{
    if (t.isEmpty() || clockAbsent(t))
        return QStringLiteral(",,");
    return QLatin1Char(',') + t.left(2) + QLatin1Char(',') + t.right(2);
}

QString csvRowItems(const ExportRow &r, const ExportItems &items)
{
    QString s;
    if (items[0])
        s += splitHhmm(r.clocks[0]) + splitHhmm(r.clocks[1]);
    if (items[1])
        s += splitHhmm(r.clocks[2]) + splitHhmm(r.clocks[3]);
    for (int f = 0; f < FigureCount; ++f)
        if (items[f + 2])
            s += splitHhmm(ExportFormat::dailyFigure(r.figures[f]));
    return s;
}

QString csvClockGap(const ExportItems &items)
{
    QString s;
    for (int i = 0; i < 2; ++i)
        if (items[i])
            s += QStringLiteral(",,,,");
    return s;
}

QString csvCounts(const ExportTotals &t, const ExportItems &items)
{
    QString s;
    for (int f = 0; f < FigureCount; ++f)
        if (items[f + 2])
            s += QStringLiteral(",,") + QString::number(t.counts[f]);
    return s;
}

// ",hhh,mm" of a sum, hours keeping their leading blanks; ",," for 0.
QString csvSum(qint32 minutes)
{
    const QString t = ExportFormat::totalsFigure(minutes);
    if (t.isEmpty())
        return QStringLiteral(",,");
    return QLatin1Char(',') + t.left(t.size() - 3) + QLatin1Char(',') + t.right(2);
}

QString csvSums(const ExportTotals &t, const ExportItems &items)
{
    QString s;
    for (int f = 0; f < FigureCount; ++f)
        if (items[f + 2])
            s += csvSum(t.sums[f]);
    return s;
}

QString nameOf(const ExportEmployee &e) { return ExportText::trimTrailingBlanks(e.name); }
QString categoryOf(const ExportEmployee &e) { return ExportText::trimTrailingBlanks(e.category); }

QString dateText(const QDate &d)
{
    return zeroPad(d.year(), 4) + u8("年") + zeroPad(d.month(), 2) + u8("月") + zeroPad(d.day(), 2) + u8("日")
           + QLatin1Char('(') + weekdayName(d) + QLatin1Char(')');
}

void twoZoneSteps(ColumnText &c, int times)
{
    for (int i = 0; i < 2 * times; ++i)
        c.zoneStep();
}

int clockItemsTicked(const ExportItems &items) { return (items[0] ? 1 : 0) + (items[1] ? 1 : 0); }

} // namespace

QString numberText(const QString &stored, int width)
{
    bool ok = false;
    const qint64 v = trimBlanks(stored).toLongLong(&ok);
    if (!ok)
        return stored;
    return zeroPad(v, width);
}

QString dayLabel(const QDate &d)
{
    return zeroPad(d.month(), 2) + u8("月") + zeroPad(d.day(), 2) + u8("日") + QLatin1Char('(') + weekdayName(d)
           + QLatin1Char(')');
}

// ---------------------------------------------------------------- individual

void individualCsv(SjisTextWriter &out, const IndividualBlock &b, const ExportItems &items)
{
    const ExportEmployee &e = b.employee;
    out.writeLine(u8("社員番号,氏名,カード番号,区分,対象"));
    out.writeLine(numberText(e.number, 6) + QLatin1Char(',') + ExportText::csvField(nameOf(e)) + QLatin1Char(',')
                  + numberText(e.card, 9) + QLatin1Char(',') + ExportText::csvField(categoryOf(e)) + QLatin1Char(',')
                  + ExportFormat::subjectText(e.active));
    out.writeLine(u8("月日（曜）") + csvHeaderItems(items));
    for (int r = 0; r < b.days.size(); ++r)
        out.writeLine(dayLabel(b.days[r]) + csvRowItems(b.rows.value(r), items));
    out.writeLine(u8("回数") + csvClockGap(items) + csvCounts(b.totals, items));
    out.writeLine(u8("合計") + csvClockGap(items) + csvSums(b.totals, items));
    out.writeLine(QString());
}

void individualTxt(SjisTextWriter &out, const IndividualBlock &b, const ExportItems &items)
{
    const ExportEmployee &e = b.employee;
    ColumnText c(out);
    c.text(u8("社員番号"));
    c.pad(9);
    c.text(u8("氏名"));
    c.pad(10);
    c.text(u8("カード番号"));
    c.pad(10);
    c.text(u8("区分"));
    c.pad(10);
    c.text(u8("対象"));
    c.endLine();

    c.text(numberText(e.number, 6));
    c.zoneStep();
    c.pad(3);
    c.text(nameOf(e));
    c.zoneStep();
    c.text(numberText(e.card, 9));
    c.zoneStep();
    c.pad(5);
    c.text(categoryOf(e));
    c.zoneStep();
    c.pad(5);
    c.text(ExportFormat::subjectText(e.active));
    c.endLine();

    c.text(u8("月日(曜)"));
    if (items[0]) {
        c.zoneStep();
        c.text(u8("出勤"));
        c.pad(10);
        c.text(u8("退勤"));
    }
    if (items[1]) {
        c.pad(10);
        c.text(u8("出勤2"));
        c.pad(9);
        c.text(u8("退勤2"));
    }
    for (int f = 0; f < FigTotal; ++f) {
        if (items[f + 2]) {
            c.pad(10);
            c.text(u8(kTxtCaptions[f]));
        }
    }
    if (items[9]) {
        c.pad(7);
        c.text(u8("合計"));
    }
    c.endLine();

    for (int r = 0; r < b.days.size(); ++r) {
        const ExportRow row = b.rows.value(r);
        c.text(dayLabel(b.days[r]));
        for (int pair = 0; pair < 2; ++pair) {
            if (!items[pair])
                continue;
            for (int k = 0; k < 2; ++k) {
                const QString &t = row.clocks[pair * 2 + k];
                c.zoneStep();
                if (!clockAbsent(t))
                    c.text(t);
            }
        }
        for (int f = 0; f < FigureCount; ++f) {
            if (items[f + 2]) {
                c.zoneStep();
                c.text(ExportFormat::dailyFigure(row.figures[f]));
            }
        }
        c.endLine();
    }

    c.text(u8("回数"));
    twoZoneSteps(c, clockItemsTicked(items));
    for (int f = 0; f < FigureCount; ++f) {
        if (items[f + 2]) {
            c.zoneStep();
            c.pad(1);
            c.number(b.totals.counts[f]);
        }
    }
    c.endLine();

    c.text(u8("合計"));
    twoZoneSteps(c, clockItemsTicked(items));
    for (int f = 0; f < FigureCount; ++f) {
        if (items[f + 2]) {
            c.zoneStep();
            c.text(ExportFormat::totalsFigure(b.totals.sums[f]));
        }
    }
    c.endLine();
    c.endLine();
}

// ---------------------------------------------------------------- daily

void dailyCsv(SjisTextWriter &out, const DailyBlock &b, const ExportItems &items)
{
    out.writeLine(u8("年月日,") + dateText(b.date));
    out.writeLine(u8("社員No,氏名,区") + csvHeaderItems(items));
    for (int r = 0; r < b.employees.size(); ++r) {
        const ExportEmployee &e = b.employees[r];
        out.writeLine(numberText(e.number, 6) + QLatin1Char(',') + ExportText::csvField(nameOf(e)) + QLatin1Char(',')
                      + ExportText::csvField(categoryOf(e)) + csvRowItems(b.rows.value(r), items));
    }
    out.writeLine(u8("人数,,") + csvClockGap(items) + csvCounts(b.totals, items));
    out.writeLine(u8("合計,,") + csvClockGap(items) + csvSums(b.totals, items));
    out.writeLine(QString());
}

void dailyTxt(SjisTextWriter &out, const DailyBlock &b, const ExportItems &items)
{
    ColumnText c(out);
    c.text(u8("年月日"));
    c.zoneStep();
    c.text(dateText(b.date));
    c.endLine();

    c.text(u8("社員No"));
    c.zoneStep();
    c.text(u8("氏名"));
    c.zoneStep();
    c.text(u8("区"));
    static const char *const clockCaptions[4] = {"出勤", "退勤", "出勤2", "退勤2"};
    for (int pair = 0; pair < 2; ++pair) {
        if (!items[pair])
            continue;
        for (int k = 0; k < 2; ++k) {
            c.zoneStep();
            c.text(u8(clockCaptions[pair * 2 + k]));
        }
    }
    for (int f = 0; f < FigureCount; ++f) {
        if (items[f + 2]) {
            c.zoneStep();
            c.text(u8(kTxtCaptions[f]));
        }
    }
    c.endLine();

    for (int r = 0; r < b.employees.size(); ++r) {
        const ExportEmployee &e = b.employees[r];
        const ExportRow row = b.rows.value(r);
        c.text(numberText(e.number, 6));
        c.zoneStep();
        const QString name = nameOf(e);
        c.text(name);
        // The name field is sized for nine full-width characters; a longer name pushes the
        // rest of the row right.
        c.pad(18 - 2 * ExportText::characterCount(name));
        c.text(categoryOf(e));
        for (int slot = 0; slot < 4; ++slot) {
            if (!items[slot / 2])
                continue;
            const QString &t = row.clocks[slot];
            const int lead = slot == 0 ? 12 : 11;
            if (clockAbsent(t)) {
                c.pad(lead + 5);
            } else {
                c.pad(lead);
                c.text(t);
            }
        }
        for (int f = 0; f < FigureCount; ++f) {
            if (!items[f + 2])
                continue;
            if (row.figures[f] < 1) {
                c.pad(16);
            } else {
                c.pad(11);
                c.text(ExportFormat::dailyFigure(row.figures[f]));
            }
        }
        c.endLine();
    }

    c.text(u8("人数"));
    twoZoneSteps(c, 1 + clockItemsTicked(items));
    for (int f = 0; f < FigureCount; ++f) {
        if (!items[f + 2])
            continue;
        const int count = b.totals.counts[f];
        if (f == FigTotal) {
            c.pad(15);
        } else if (count < 1) {
            c.pad(f == FigWork ? 26 : 15);
        } else {
            c.pad(f == FigWork ? 24 : 13);
            c.number(count);
        }
    }
    c.endLine();

    c.text(u8("合計"));
    twoZoneSteps(c, 1 + clockItemsTicked(items));
    for (int f = 0; f < FigureCount; ++f) {
        if (!items[f + 2])
            continue;
        const qint32 sum = b.totals.sums[f];
        if (sum < 1) {
            c.pad(f == FigWork ? 30 : 16);
        } else {
            c.pad(f == FigWork ? 24 : 10);
            c.text(ExportFormat::totalsFigure(sum));
        }
    }
    c.endLine();
    c.endLine();
}

// ---------------------------------------------------------------- totals

void totalsCsv(SjisTextWriter &out, const QVector<TotalsLine> &lines, const ExportItems &items)
{
    static const char *const captions[FigureCount] = {
        ", 就業時間, 就業分",
        ", 遅早回数, 遅早時間, 遅早分",
        ", 残業回数, 残業時間, 残業分",
        ", 早出回数, 早出時間, 早出分",
        ", 深夜残業回数, 深夜残業時間, 深夜残業分",
        ", 休日回数, 休日時間, 休日分",
        ", 法定外回数, 法定外時間, 法定外分",
        nullptr,
    };
    QString head = u8("社員番号, 氏名, 勤務日数");
    for (int f = FigWork; f <= FigNonStatutory; ++f)
        if (items[f + 2])
            head += u8(captions[f]);
    out.writeLine(head);

    for (const TotalsLine &l : lines) {
        const ExportTotals &t = l.totals;
        QString s = numberText(l.employee.number, 6) + QLatin1Char(',') + ExportText::csvField(nameOf(l.employee))
                    + QLatin1Char(',') + QString::number(t.counts[FigWork]);
        for (int f = FigWork; f <= FigNonStatutory; ++f) {
            if (!items[f + 2])
                continue;
            if (f != FigWork)
                s += QLatin1Char(',') + QString::number(t.counts[f]);
            s += csvSum(t.sums[f]);
        }
        out.writeLine(s);
    }
}

void totalsTxt(SjisTextWriter &out, const QVector<TotalsLine> &lines, const ExportItems &items)
{
    ColumnText c(out);
    c.text(u8("社員番号"));
    c.moveTo(14);
    c.text(u8("氏名"));
    c.moveTo(34);
    c.text(u8("勤務日数"));
    struct Head {
        int countColumn;
        const char *count;
        int timeColumn;
        const char *time;
    };
    static const Head heads[FigNonStatutory + 1] = {
        {0, nullptr, 50, "就業時間"},
        {60, "遅早回数", 70, "遅早時間"},
        {80, "残業回数", 90, "残業時間"},
        {100, "早出回数", 110, "早出時間"},
        {124, "深夜残業回数", 138, "深夜残業時間"},
        {150, "休日回数", 160, "休日時間"},
        {174, "法定外回数", 188, "法定外時間"},
    };
    for (int f = FigWork; f <= FigNonStatutory; ++f) {
        if (!items[f + 2])
            continue;
        if (heads[f].count) {
            c.moveTo(heads[f].countColumn);
            c.text(u8(heads[f].count));
        }
        c.moveTo(heads[f].timeColumn);
        c.text(u8(heads[f].time));
    }
    c.endLine();

    for (const TotalsLine &l : lines) {
        const ExportTotals &t = l.totals;
        c.text(numberText(l.employee.number, 6));
        c.moveTo(14);
        c.text(nameOf(l.employee));
        c.moveTo(34);
        c.number(t.counts[FigWork]);
        for (int f = FigWork; f <= FigNonStatutory; ++f) {
            if (!items[f + 2])
                continue;
            const qint32 sum = t.sums[f];
            if (f == FigWork) {
                if (sum < 1) {
                    c.pad(18);
                } else {
                    c.pad(13);
                    c.text(ExportFormat::totalsFigure(sum));
                }
                continue;
            }
            if (sum < 1) {
                c.pad(37);
                continue;
            }
            const bool narrow = f == FigLateEarly || f == FigOver;
            c.pad(narrow ? 14 : 16);
            c.number(t.counts[f]);
            c.pad(narrow ? 13 : 12);
            c.text(ExportFormat::totalsFigure(sum));
        }
        c.endLine();
    }
}

} // namespace ExportWriters
