#include "Punch.h"

#include "Common.h"
#include "DbFile.h"
#include "ExFile.h"
#include "Period.h"
#include "TimeMath.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <array>

PunchRows g_punchRows;

namespace {

// Punches with equal times keep the order in which they were stored (rowid), so a pairing
// never depends on the engine's choice among equal keys.
const QString kDaySelect = QStringLiteral(
    "SELECT 時, 分, 入退, 異例コード FROM タイムカード WHERE (月 = ? AND 日 = ? AND IDコード = ?) "
    "ORDER BY 時, 分, 秒, rowid");

bool isEmptyTime(const QString &t) { return t == emptyTimeText(); }

// Records a failed statement on the database handle and gives its error number.
int queryError(Database &db, const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    bool ok = false;
    int no = e.nativeErrorCode().toInt(&ok);
    if (!ok || no == 0)
        no = 3001;
    db.setError(no, e.text());
    return no;
}

int notOpen(Database &db)
{
    db.setError(3420, QStringLiteral("データベースが開かれていません"));
    return 3420;
}

// The reads of one fill share one read transaction, so the file is locked and checked once
// rather than once per employee-day. Nothing is written; a caller already inside a
// transaction keeps its own.
class ReadTransaction
{
public:
    explicit ReadTransaction(Database &db)
        : m_db(db.handle())
    {
        m_active = m_db.isOpen() && m_db.transaction();
    }
    ~ReadTransaction()
    {
        if (m_active)
            m_db.commit();
    }

private:
    QSqlDatabase &m_db;
    bool m_active = false;
};

PunchRow pairByCode(const QVector<PunchRecord> &records)
{
    PunchRow row;
    int s = 0;
    for (const PunchRecord &p : records) {
        const QString io = trimBlanks(p.inOut);
        const QString code = trimBlanks(p.code);
        const bool in = io == QLatin1String("0");
        const bool out = io == QLatin1String("1");
        if (in && code == QLatin1String("00"))
            s = In1;
        else if (out && code == QLatin1String("00"))
            s = s == In1 ? Out1 : Out2;
        else if (in && code == QLatin1String("04"))
            s = In2;
        else
            s = In1;
        row.slot[size_t(s)] = Hhmm_Normalize(p.hour + QLatin1Char(':') + p.minute);
    }
    return row;
}

PunchRow pairByOrder(const QVector<PunchRecord> &records)
{
    PunchRow row;
    auto empty = [&](int i) { return isEmptyTime(row.slot[size_t(i)]); };
    int s = 0;
    for (const PunchRecord &p : records) {
        const QString io = trimBlanks(p.inOut);
        if (io == QLatin1String("0")) {
            if (empty(In1) && empty(Out1))
                s = In1;
            else if (empty(In2) && empty(Out2))
                s = In2;
            else
                s = -1;
        } else if (io == QLatin1String("1")) {
            if (s == In1)
                s = Out1;
            else if (empty(Out2))
                s = Out2;
            else
                s = -1;
        }
        if (s < 0)
            continue;
        row.slot[size_t(s)] = Hhmm_Normalize(p.hour + QLatin1Char(':') + p.minute);
        if (s == Out2)
            break; // the day is complete
    }
    return row;
}

// One prepared statement serves every date of a fill.
class DayReader
{
public:
    DayReader()
        : m_db(dbs().monthly)
    {
        if (!m_db.isOpen()) {
            m_error = notOpen(m_db);
            return;
        }
        m_query = QSqlQuery(m_db.handle());
        m_query.setForwardOnly(true);
        if (!m_query.prepare(kDaySelect))
            fail();
    }
    int error() const { return m_error; }

    // Reads and pairs one date of one card into row. Returns 0 or the error number.
    int read(int month, int day, const QString &card, PunchRow &row)
    {
        if (m_error)
            return m_error;
        m_query.addBindValue(zeroPad(month, 2));
        m_query.addBindValue(zeroPad(day, 2));
        m_query.addBindValue(card);
        if (!m_query.exec())
            return fail();
        m_records.clear();
        while (m_query.next()) {
            m_records.append({m_query.value(0).toString(), m_query.value(1).toString(), m_query.value(2).toString(),
                              m_query.value(3).toString()});
        }
        if (m_query.lastError().isValid())
            return fail();
        m_query.finish();
        row = Punch_Pair(m_records, pairingModeFor(g_install.linkKind));
        return 0;
    }

private:
    int fail()
    {
        m_error = queryError(m_db, m_query);
        return m_error;
    }

    Database &m_db;
    QSqlQuery m_query;
    QVector<PunchRecord> m_records;
    int m_error = 0;
};

} // namespace

bool PunchRow::isEmpty() const
{
    for (const QString &t : slot)
        if (!isEmptyTime(t))
            return false;
    return true;
}

PairingMode pairingModeFor(int linkKind) { return linkKind == LinkUsb ? PairByCode : PairByOrder; }

PunchRow Punch_Pair(const QVector<PunchRecord> &records, PairingMode mode)
{
    return mode == PairByCode ? pairByCode(records) : pairByOrder(records);
}

namespace {

QString snapshotKey(QStringView month, QStringView day, QStringView card)
{
    return month + QChar(0x1f) + day + QChar(0x1f) + card;
}

struct StoredPunch {
    QString second; // sorts equal hours and minutes; the record holds the rest
    qint64 rowid = 0;
    PunchRecord record;
};

} // namespace

int PunchSnapshot::load()
{
    m_days.clear();
    Database &db = dbs().monthly;
    if (!db.isOpen())
        return notOpen(db);
    // The period's days of each of its calendar months, as the stored two-digit texts.
    QVector<int> months;
    QHash<int, QSet<QString>> daysOf;
    for (const PeriodDay &d : g_periodDays.rows) {
        if (!d.used())
            continue;
        if (!months.contains(d.month))
            months.append(d.month);
        daysOf[d.month].insert(zeroPad(d.day, 2));
    }
    ReadTransaction txn(db);
    // Each row comes as one text, its rowid and seven fields joined by U+001F: the driver's
    // cost is per value (a conversion and two allocations each), and the month of a hundred
    // employees is read whole every time it is shown or written. printf builds the text in
    // one buffer (a chain of || copies it at every step), and its %s gives a NULL as nothing,
    // as the per-date read does. A row whose values hold the separator themselves is read
    // again field by field.
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT printf('%d\x1f%s\x1f%s\x1f%s\x1f%s\x1f%s\x1f%s\x1f%s', rowid, 日, IDコード, 時, 分, "
                                  "秒, 入退, 異例コード) FROM タイムカード WHERE 月 = ?")))
        return queryError(db, q);
    QSqlQuery one(db.handle());
    one.setForwardOnly(true);
    if (!one.prepare(QStringLiteral("SELECT 日, IDコード, 時, 分, 秒, 入退, 異例コード FROM タイムカード WHERE rowid = ?")))
        return queryError(db, one);
    constexpr int kFields = 7; // 日, IDコード, 時, 分, 秒, 入退, 異例コード
    using Fields = std::array<QStringView, kFields>;
    QHash<QString, QVector<StoredPunch>> groups;
    for (int month : months) {
        const QString mm = zeroPad(month, 2);
        const QSet<QString> &days = daysOf[month];
        // Stored days are looked up as texts; the period's are always two digits.
        auto wanted = [&](QStringView day) { return day.size() == 2 && days.contains(day.toString()); };
        auto add = [&](qint64 rowid, const Fields &f) {
            StoredPunch p;
            p.second = f[4].toString();
            p.rowid = rowid;
            p.record = {f[2].toString(), f[3].toString(), f[5].toString(), f[6].toString()};
            groups[snapshotKey(mm, f[0], f[1])].append(p);
        };
        q.addBindValue(mm);
        if (!q.exec())
            return queryError(db, q);
        QVector<qint64> odd;
        Fields f;
        while (q.next()) {
            const QString row = q.value(0).toString();
            const qsizetype cut = row.indexOf(QChar(0x1f));
            bool ok = cut > 0;
            const qint64 rowid = ok ? QStringView(row).first(cut).toLongLong(&ok) : 0;
            if (!ok)
                return queryError(db, q); // a rowid is always a number: the read itself went wrong
            int n = 0;
            for (const QStringView part : QStringView(row).sliced(cut + 1).tokenize(QChar(0x1f))) {
                if (n < kFields)
                    f[size_t(n)] = part;
                ++n;
            }
            if (n != kFields)
                odd.append(rowid);
            else if (wanted(f[0]))
                add(rowid, f);
        }
        if (q.lastError().isValid())
            return queryError(db, q);
        q.finish();
        for (qint64 rowid : std::as_const(odd)) {
            one.addBindValue(rowid);
            if (!one.exec())
                return queryError(db, one);
            if (one.next()) {
                std::array<QString, kFields> values;
                for (int c = 0; c < kFields; ++c) {
                    values[size_t(c)] = one.value(c).toString();
                    f[size_t(c)] = values[size_t(c)];
                }
                if (wanted(f[0]))
                    add(rowid, f);
            }
            if (one.lastError().isValid())
                return queryError(db, one);
            one.finish();
        }
    }
    // The order of the per-date read: 時, 分, 秒, then the stored order.
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        QVector<StoredPunch> &v = it.value();
        std::sort(v.begin(), v.end(), [](const StoredPunch &a, const StoredPunch &b) {
            if (const int c = a.record.hour.compare(b.record.hour))
                return c < 0;
            if (const int c = a.record.minute.compare(b.record.minute))
                return c < 0;
            if (const int c = a.second.compare(b.second))
                return c < 0;
            return a.rowid < b.rowid;
        });
        QVector<PunchRecord> records;
        records.reserve(v.size());
        for (const StoredPunch &p : v)
            records.append(p.record);
        m_days.insert(it.key(), records);
    }
    return 0;
}

QVector<PunchRecord> PunchSnapshot::day(int month, int day, const QString &card) const
{
    return m_days.value(snapshotKey(zeroPad(month, 2), zeroPad(day, 2), card));
}

int Punch_LoadEmployee(const QString &cardId, const PunchSnapshot *snapshot)
{
    // Every row of the period is cleared first, so that a failed read never leaves another
    // employee's punches on the rows not yet read.
    for (int r = 0; r < kPeriodRows; ++r)
        g_punchRows.rows[size_t(r)].clear();
    if (snapshot) {
        const PairingMode mode = pairingModeFor(g_install.linkKind);
        for (int r = 0; r < kPeriodRows; ++r) {
            const PeriodDay &d = g_periodDays.rows[size_t(r)];
            if (d.used())
                g_punchRows.rows[size_t(r)] = Punch_Pair(snapshot->day(d.month, d.day, cardId), mode);
        }
        return 0;
    }
    ReadTransaction txn(dbs().monthly);
    DayReader reader;
    if (reader.error())
        return reader.error();
    for (int r = 0; r < kPeriodRows; ++r) {
        const PeriodDay &d = g_periodDays.rows[size_t(r)];
        if (!d.used())
            continue;
        if (const int err = reader.read(d.month, d.day, cardId, g_punchRows.rows[size_t(r)]))
            return err;
    }
    return 0;
}

int Punch_LoadDate(int month, int day, int employeeCount, const PunchSnapshot *snapshot)
{
    const int count = std::clamp(employeeCount, 0, kPunchRows);
    for (int r = 0; r < count; ++r)
        g_punchRows.rows[size_t(r)].clear();
    if (count == 0)
        return 0;
    if (snapshot) {
        const PairingMode mode = pairingModeFor(g_install.linkKind);
        for (int r = 0; r < count; ++r)
            g_punchRows.rows[size_t(r)] = Punch_Pair(snapshot->day(month, day, g_kojin[size_t(r)].card), mode);
        return 0;
    }
    ReadTransaction txn(dbs().monthly);
    DayReader reader;
    if (reader.error())
        return reader.error();
    for (int r = 0; r < count; ++r) {
        if (const int err = reader.read(month, day, g_kojin[size_t(r)].card, g_punchRows.rows[size_t(r)]))
            return err;
    }
    return 0;
}
