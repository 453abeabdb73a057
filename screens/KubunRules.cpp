#include "KubunRules.h"

#include "calc/TimeMath.h"
#include "common/Common.h"

namespace KubunRules {

FieldResult fieldCheck(const QString &typed)
{
    FieldResult r;
    if (trimBlanks(typed).isEmpty() || typed == emptyTimeText()) {
        r.accepted = true;
        r.text = emptyTimeText();
        return r;
    }
    QString digits;
    if (typed.size() == 5 && typed.at(2) == QLatin1Char(':'))
        digits = typed.left(2) + typed.mid(3, 2);
    else if (!typed.contains(QLatin1Char(':')))
        digits = typed;
    bool ok = false;
    const int n = trimBlanks(digits).toInt(&ok);
    if (!ok || n < 0 || n > 9999) {
        r.text = typed;
        return r;
    }
    const int h = n / 100;
    const int m = n % 100;
    r.text = zeroPad(h, 2) + QLatin1Char(':') + zeroPad(m, 2);
    r.accepted = h <= 47 && m <= 59;
    return r;
}

namespace {

qint16 minutesOf(const QString &t) { return Text_ToMinutes(Hhmm_Normalize(t)); }

CategoryFailure fail(const QString &message, int field) { return {true, message, field}; }

} // namespace

CategoryFailure categoryCheck(const std::array<QString, 16> &times)
{
    // Regular work, late/early, three breaks, early work, overtime, late night.
    for (int w = 0; w < 8; ++w) {
        const qint16 a = minutesOf(times[size_t(2 * w)]);
        const qint16 b = minutesOf(times[size_t(2 * w + 1)]);
        const bool oneEmpty = (a == NO_TIME) != (b == NO_TIME);
        if (oneEmpty || a > b)
            return fail(QStringLiteral("開始／終了時刻が正しくセットされていません。"), 2 * w + 1);
    }
    CalcStatus st;
    auto m = [&](int i) { return minutesOf(times[size_t(i)]); };
    auto overlaps = [&](int spanStart, int breakStart) {
        return Overlap_Min(m(spanStart), m(spanStart + 1), m(breakStart), m(breakStart + 1), st) > 0;
    };
    const QString breaks = QStringLiteral("休憩時間が重なっています。");
    if (m(4) != NO_TIME) {
        if (overlaps(4, 6))
            return fail(breaks, 7);
        if (overlaps(4, 8))
            return fail(breaks, 9);
    }
    if (m(6) != NO_TIME && overlaps(6, 8))
        return fail(breaks, 9);
    const QString over = QStringLiteral("残業時間が重なっています。");
    if (m(10) != NO_TIME) {
        if (overlaps(10, 12))
            return fail(over, 13);
        if (overlaps(10, 14))
            return fail(over, 15);
    }
    if (m(12) != NO_TIME && overlaps(12, 14))
        return fail(over, 15);
    return {};
}

} // namespace KubunRules
