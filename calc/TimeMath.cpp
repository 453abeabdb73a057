#include "TimeMath.h"

#include "common/Common.h"
#include "store/DbFile.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr int kMin16 = std::numeric_limits<qint16>::min();
constexpr int kMax16 = std::numeric_limits<qint16>::max();

bool fits16(int v) { return v >= kMin16 && v <= kMax16; }

// The integer value of a trimmed text as Text_ToInt gives it.
qint16 textToInt(QStringView value)
{
    const QStringView t = trimBlanks(value);
    // Stored times and codes are a few plain digits; those are read here directly, because
    // the locale-aware conversion is the largest cost of computing a month. Anything else
    // (a sign, other characters, an out-of-range number) takes the full conversion.
    if (!t.isEmpty() && t.size() <= 4) {
        int v = 0;
        bool digits = true;
        for (QChar c : t) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                digits = false;
                break;
            }
            v = v * 10 + (c.unicode() - u'0');
        }
        if (digits)
            return qint16(v);
    }
    bool ok = false;
    const short v = t.toShort(&ok);
    return ok ? qint16(v) : qint16(0);
}

// The value of one part of a time text, or -1 when the part is missing. Parts are never
// negative in a time of day: a stored "-1" is as unreadable as letters.
int timePart(QStringView part)
{
    const qint16 v = textToInt(part);
    if (v == 0) {
        const QStringView t = trimBlanks(part);
        return (t == QLatin1String("00") || t == QLatin1String("0")) ? 0 : -1;
    }
    return v < 0 ? -1 : v;
}

QString twoDigits(int v) { return zeroPad(v, 2); }

// Candidates are tried within the hour, so a unit that does not divide 60 still lands on the
// hour's own steps (0, u, 2u ... upward; 60, 60 - u ... downward).
int roundInHour(int r, int u, int direction)
{
    if (direction == RoundUp)
        return ((r + u - 1) / u) * u;
    const int c = 60 - ((60 - r + u - 1) / u) * u;
    return c < 0 ? 0 : c;
}

} // namespace

qint16 Text_ToInt(const QString &value) { return textToInt(value); }

namespace {

qint16 textToMinutes(QStringView hours, QStringView minutes, CalcStatus *status)
{
    const int h = timePart(hours);
    const int m = timePart(minutes);
    if (h < 0 || m < 0)
        return NO_TIME;
    const int v = h * 60 + m;
    if (!fits16(v)) {
        if (status)
            status->fail(kCalcErrOverflow, QStringLiteral("オーバーフローしました。"));
        return NO_TIME;
    }
    return qint16(v);
}

} // namespace

qint16 Text_ToMinutes(const QString &hours, const QString &minutes, CalcStatus *status)
{
    return textToMinutes(hours, minutes, status);
}

qint16 Text_ToMinutes(const QString &hhmm, CalcStatus *status)
{
    // Views of the two parts: every punch of a month shown is read here.
    const QStringView t(hhmm);
    return textToMinutes(t.mid(0, 2), t.mid(3, 2), status);
}

namespace {

// The "hh:mm" texts of the first two days' minutes, made once: every punch a month shows is
// one of them, and a copy of a shared text costs no allocation.
constexpr int kSharedTimes = 48 * 60;

const QString *sharedTimeTexts()
{
    static const std::vector<QString> texts = [] {
        std::vector<QString> v;
        v.reserve(kSharedTimes);
        for (int m = 0; m < kSharedTimes; ++m)
            v.push_back(twoDigits(m / 60) + QLatin1Char(':') + twoDigits(m % 60));
        return v;
    }();
    return texts.data();
}

QString timeText(int minutes)
{
    if (minutes < kSharedTimes)
        return sharedTimeTexts()[minutes];
    return twoDigits(minutes / 60) + QLatin1Char(':') + twoDigits(minutes % 60);
}

// A part's number as QStringView::toShort reads it, 0 when unreadable; one or two plain
// digits are read directly.
int partValue(QStringView p)
{
    auto digit = [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9' ? int(c.unicode() - u'0') : -1; };
    if (p.size() == 2 && digit(p[0]) >= 0 && digit(p[1]) >= 0)
        return digit(p[0]) * 10 + digit(p[1]);
    if (p.size() == 1 && digit(p[0]) >= 0)
        return digit(p[0]);
    bool ok = false;
    const short v = p.toShort(&ok);
    return ok ? int(v) : 0;
}

QString normalize(QStringView v)
{
    // The text is read as if cut or blank-padded to five characters: a part that runs past
    // its end only gains blanks, which the trimming drops, so views of the text itself serve.
    auto part = [&](qsizetype from) {
        return trimBlanks(from < v.size() ? v.sliced(from, std::min<qsizetype>(2, v.size() - from)) : QStringView());
    };
    const QStringView hh = part(0);
    const QStringView mm = part(3);
    // Blank text ("", "     ", " :  ") carries no time: it must not turn into a real 00:00.
    if (hh.isEmpty() && mm.isEmpty())
        return emptyTimeText();
    const int m = partValue(hh) * 60 + partValue(mm);
    // A negative time of day cannot be shown as hh:mm; it is no time at all.
    if (m < 0)
        return emptyTimeText();
    return timeText(m);
}

} // namespace

QString Hhmm_Normalize(const QString &text) { return normalize(text); }

QString Hhmm_NormalizeParts(QStringView hour, QStringView minute)
{
    // Only the first five characters of hour + ":" + minute are read, so those are put
    // together on the stack.
    char16_t text[5];
    qsizetype n = 0;
    for (qsizetype i = 0; i < hour.size() && n < 5; ++i)
        text[n++] = hour[i].unicode();
    if (n < 5)
        text[n++] = u':';
    for (qsizetype i = 0; i < minute.size() && n < 5; ++i)
        text[n++] = minute[i].unicode();
    return normalize(QStringView(text, n));
}

QString Minutes_ToHhmm(qint16 minutes)
{
    if (minutes == 0)
        return QString();
    // Negative durations do not occur in the figures (they are made 0); should one be shown,
    // it keeps its sign rather than turning into a positive time.
    const int v = minutes < 0 ? -int(minutes) : int(minutes);
    const int h = v / 60;
    const QString mm = QLatin1Char(':') + twoDigits(v % 60);
    if (minutes < 0)
        return QLatin1Char('-') + QString::number(h) + mm;
    return (h < 10 ? QLatin1Char(' ') + QString::number(h) : twoDigits(h)) + mm;
}

QString Minutes_ToHhhmm(qint32 minutes)
{
    if (minutes == 0)
        return QString();
    const qint64 v = minutes < 0 ? -qint64(minutes) : qint64(minutes);
    const qint64 h = v / 60;
    const QString mm = QLatin1Char(':') + twoDigits(int(v % 60));
    if (minutes < 0)
        return QLatin1Char('-') + QString::number(h) + mm;
    return QString::number(h).rightJustified(3, QLatin1Char(' ')) + mm;
}

qint16 Minutes_ApplyUnit(const KubunTable &kubun, int kind, qint16 v, const QString &categoryCode, int direction,
                         CalcStatus &status)
{
    const int slot = Text_ToInt(categoryCode);
    if (slot < 0 || slot >= kCategorySlots) {
        status.fail(kCalcErrSubscript, QStringLiteral("勤務区分 %1 はありません。").arg(categoryCode));
        return 0;
    }
    return Minutes_ApplyCategoryUnit(kubun[size_t(slot)], kind, v, direction, status);
}

qint16 Minutes_ApplyCategoryUnit(const Category &k, int kind, qint16 v, int direction, CalcStatus &status)
{
    int u = 0;
    switch (kind) {
    case RoundWork: u = k.unitWorkMin; break;
    case RoundLateEarly: u = k.unitLateMin; break;
    case RoundOver: u = k.unitOverMin; break;
    default: status.fail(kCalcErrSubscript, QStringLiteral("丸めの種類 %1 はありません。").arg(kind)); return 0;
    }
    if (direction != RoundUp && direction != RoundDown)
        return v;
    if (u < 1)
        u = 1;
    // A negative duration is rounded as the mirror of its size, so up stays toward larger
    // values and down toward smaller ones.
    const bool negative = v < 0;
    const int size = negative ? -int(v) : int(v);
    const int dir = negative ? (direction == RoundUp ? RoundDown : RoundUp) : direction;
    const int rounded = (size / 60) * 60 + roundInHour(size % 60, u, dir);
    const int result = negative ? -rounded : rounded;
    if (!fits16(result)) {
        status.fail(kCalcErrOverflow, QStringLiteral("オーバーフローしました。"));
        return 0;
    }
    return qint16(result);
}

qint16 Overlap_Min(qint16 a, qint16 b, qint16 c, qint16 d, CalcStatus &status)
{
    int r = 0;
    if (c == d || c >= b)
        r = 0;
    else if (c >= a)
        r = d < b ? int(d) - c : int(b) - c;
    else if (d < b)
        r = a < d ? int(d) - a : 0;
    else
        r = int(b) - a;
    if (!fits16(r)) {
        status.fail(kCalcErrOverflow, QStringLiteral("オーバーフローしました。"));
        return 0;
    }
    return qint16(r);
}
