#include "PunchEntry.h"

#include "calc/Punch.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "store/Database.h"

#include <algorithm>

namespace {

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// In/out, irregularity code and CR of the row stored for each slot.
struct SlotEnding {
    const char *inOut;
    const char *code;
};
constexpr SlotEnding kEndings[4] = {{"0", "00"}, {"1", "00"}, {"0", "04"}, {"1", "00"}};

} // namespace

QString punchRangeMessage() { return QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 71:59）"); }
QString punchOrderMessage() { return QStringLiteral("時刻が正しくセットされていません。（入1 < 退1 < 入2 < 退2）"); }
QString punchSaveQuestion() { return QStringLiteral("変更した時刻を保存します。よろしいですか？"); }

bool PunchField_Read(const QString &typed, QString &shown)
{
    if (trimBlanks(typed).isEmpty() || typed == emptyTimeText()) {
        shown = emptyTimeText();
        return true;
    }
    QString digits;
    if (typed.contains(QLatin1Char(':'))) {
        if (typed.size() != 5)
            return false;
        digits = typed.left(2) + typed.mid(3, 2);
    } else {
        digits = typed;
    }
    digits.remove(QLatin1Char(' '));
    if (!allDigits(digits) || digits.size() > 4)
        return false;
    const int n = digits.toInt();
    const int h = n / 100;
    const int m = n % 100;
    if (h > 71 || m > 59)
        return false;
    shown = zeroPad(h, 2) + QLatin1Char(':') + zeroPad(m, 2);
    return true;
}

bool PunchSlots_InOrder(const PunchSlots &punches)
{
    int previous = 0; // an empty 入1 counts as 00:00
    for (const QString &s : punches) {
        const qint16 v = Text_ToMinutes(Hhmm_Normalize(s));
        const int value = v >= NO_TIME ? previous : v;
        if (value < previous)
            return false;
        previous = value;
    }
    return true;
}

PunchSlots PunchSlots_AsStored(const PunchSlots &punches, int linkKind)
{
    // The rows in the order they are inserted, then in the select's time order (時, 分 as
    // texts; the seconds are all "0"); rows of equal time keep their insertion order.
    QVector<PunchRecord> records;
    for (int i = 0; i < 4; ++i) {
        const QString &t = punches[size_t(i)];
        if (t == emptyTimeText() || trimBlanks(t).isEmpty())
            continue;
        records.append(
            {t.left(2), t.mid(3, 2), QString::fromLatin1(kEndings[i].inOut), QString::fromLatin1(kEndings[i].code)});
    }
    std::stable_sort(records.begin(), records.end(), [](const PunchRecord &a, const PunchRecord &b) {
        return a.hour != b.hour ? a.hour < b.hour : a.minute < b.minute;
    });
    const PunchRow row = Punch_Pair(records, pairingModeFor(linkKind));
    PunchSlots out;
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = row.slot[size_t(i)];
    return out;
}

QString punchDayKey(int month, int day, const QString &card)
{
    return zeroPad(month, 2) + QLatin1Char('/') + zeroPad(day, 2) + QLatin1Char('/') + card;
}

namespace {

const QString kRowColumns = QStringLiteral("rowid, 月, 日, IDコード, 時, 分, 秒, 入退, 異例コード, CR");
constexpr int kValueColumns = 6; // 時 .. CR

// Groups selected rows (kRowColumns) by employee-day, in the order they came.
int readDays(Database &db, const QString &where, const QVariantList &binds, QHash<QString, StoredDay> &days)
{
    days.clear();
    QVector<QStringList> rows;
    if (!db.select(QStringLiteral("SELECT ") + kRowColumns + QStringLiteral(" FROM タイムカード WHERE ") + where
                       + QStringLiteral(" ORDER BY 時, 分, 秒, rowid"),
                   binds, rows))
        return db.errorNumber() != 0 ? db.errorNumber() : DbErr::QueryFailed;
    for (const QStringList &r : rows) {
        StoredPunchRow row;
        row.rowid = r.value(0).toLongLong();
        row.values = r.mid(4, kValueColumns);
        days[r.value(1) + QLatin1Char('/') + r.value(2) + QLatin1Char('/') + r.value(3)].append(row);
    }
    return 0;
}

// A stored text as a bound value; NULL stays NULL, so that "IS ?" matches it.
QVariant boundText(const QString &v) { return v.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v); }

} // namespace

int PunchDays_ReadCard(Database &db, const QString &card, QHash<QString, StoredDay> &days)
{
    return readDays(db, QStringLiteral("IDコード = ?"), {card}, days);
}

int PunchDays_ReadDate(Database &db, int month, int day, QHash<QString, StoredDay> &days)
{
    return readDays(db, QStringLiteral("月 = ? AND 日 = ?"), {zeroPad(month, 2), zeroPad(day, 2)}, days);
}

int PunchDay_Replace(Database &db, int month, int day, const QString &card, const PunchSlots &punches, StoredDay &shown,
                     int *unseen)
{
    const QString mm = zeroPad(month, 2);
    const QString dd = zeroPad(day, 2);
    int inserted = 0;
    StoredDay now;
    const bool ok = inTransaction(db, [&] {
        // Only the rows read: a row is matched by its rowid and every value, so a row that
        // replaced a deleted one under the same rowid is not taken for it.
        for (const StoredPunchRow &r : shown) {
            QVariantList binds{r.rowid, mm, dd, card};
            for (int i = 0; i < kValueColumns; ++i)
                binds << boundText(r.values.value(i));
            if (!db.exec(
                    QStringLiteral("DELETE FROM タイムカード WHERE rowid = ? AND 月 = ? AND 日 = ? AND IDコード = ? "
                                   "AND 時 IS ? AND 分 IS ? AND 秒 IS ? AND 入退 IS ? AND 異例コード IS ? AND CR IS ?"),
                    binds))
                return false;
        }
        for (int i = 0; i < 4; ++i) {
            const QString &t = punches[size_t(i)];
            if (t == emptyTimeText() || trimBlanks(t).isEmpty())
                continue;
            if (!db.exec(QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) "
                                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                         {mm, dd, t.left(2), t.mid(3, 2), QStringLiteral("0"), card,
                          QString::fromLatin1(kEndings[i].inOut), QString::fromLatin1(kEndings[i].code),
                          QStringLiteral("0")}))
                return false;
            ++inserted;
        }
        QHash<QString, StoredDay> days;
        if (readDays(db, QStringLiteral("月 = ? AND 日 = ? AND IDコード = ?"), {mm, dd, card}, days) != 0)
            return false;
        now = days.value(punchDayKey(month, day, card));
        return true;
    });
    if (!ok)
        return db.errorNumber() != 0 ? db.errorNumber() : DbErr::QueryFailed;
    shown = now;
    if (unseen)
        *unseen = int(now.size()) - inserted;
    return 0;
}
