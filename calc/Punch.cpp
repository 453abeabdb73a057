#include "Punch.h"

#include "Period.h"
#include "TimeMath.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <span>

namespace {

// Punches with equal times keep the order in which they were stored (rowid), so a pairing
// never depends on the engine's choice among equal keys.
const QString kDaySelect =
    QStringLiteral("SELECT 時, 分, 入退, 異例コード FROM タイムカード WHERE (月 = ? AND 日 = ? AND IDコード = ?) "
                   "ORDER BY 時, 分, 秒, rowid");

bool isEmptyTime(const QString &t) { return t == emptyTimeText(); }

// Records a failed statement on the database handle and gives its error number.
int queryError(Database &db, const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    bool ok = false;
    int no = e.nativeErrorCode().toInt(&ok);
    if (!ok || no == 0)
        no = DbErr::QueryFailed;
    db.setError(no, e.text());
    return no;
}

int notOpen(Database &db) { return db.setNotOpen(); }

// The reads of one fill share one read transaction, so the file is locked and checked once
// rather than once per employee-day. Nothing is written; a caller already inside a
// transaction keeps its own.
class ReadTransaction
{
public:
    explicit ReadTransaction(Database &db) : m_db(db.handle()) { m_active = m_db.isOpen() && m_db.transaction(); }
    ~ReadTransaction()
    {
        if (m_active)
            m_db.commit();
    }

private:
    QSqlDatabase &m_db;
    bool m_active = false;
};

PunchRow pairByCode(const PunchView *records, qsizetype count)
{
    PunchRow row;
    int s = 0;
    for (const PunchView &p : std::span<const PunchView>(records, size_t(count))) {
        const QStringView io = trimBlanks(p.inOut);
        const QStringView code = trimBlanks(p.code);
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
        row.slot[size_t(s)] = Hhmm_NormalizeParts(p.hour, p.minute);
    }
    return row;
}

PunchRow pairByOrder(const PunchView *records, qsizetype count)
{
    PunchRow row;
    auto empty = [&](int i) { return isEmptyTime(row.slot[size_t(i)]); };
    int s = 0;
    for (const PunchView &p : std::span<const PunchView>(records, size_t(count))) {
        const QStringView io = trimBlanks(p.inOut);
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
        row.slot[size_t(s)] = Hhmm_NormalizeParts(p.hour, p.minute);
        if (s == Out2)
            break; // the day is complete
    }
    return row;
}

PunchRow pairViews(const PunchView *records, qsizetype count, PairingMode mode)
{
    return mode == PairByCode ? pairByCode(records, count) : pairByOrder(records, count);
}

// One prepared statement serves every date of a fill.
class DayReader
{
public:
    explicit DayReader(PairingMode mode) : m_db(dbs().monthly), m_mode(mode)
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
        row = Punch_Pair(m_records, m_mode);
        return 0;
    }

private:
    int fail()
    {
        m_error = queryError(m_db, m_query);
        return m_error;
    }

    Database &m_db;
    const PairingMode m_mode;
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
    QVarLengthArray<PunchView, 16> views;
    for (const PunchRecord &r : records)
        views.append({r.hour, r.minute, r.inOut, r.code});
    return pairViews(views.data(), views.size(), mode);
}

namespace {

// Separates the values in the period read's texts.
constexpr char16_t kSeparator = u'\x1f';

// The punch rows of one calendar month as one text per column, its values joined by the
// separator. The aggregates see the rows in one and the same order, so the n-th value of each
// text belongs to the n-th row. A NULL is read as an empty text, as the per-date read sees it;
// a punch without a card is no card's punch. The separator is a literal: given as char(31)
// it would be made again for every value, which doubles the cost of the read. The month is
// matched as +月 so that the table is read straight through rather than each row found again
// from the index (月, 日, IDコード), which costs more when the month is most of the file, as
// it is in a monthly database.
const QString kJoinedSelect =
    QStringLiteral("SELECT count(*), group_concat(rowid, '\x1f'), group_concat(coalesce(日, ''), '\x1f'), "
                   "group_concat(IDコード, '\x1f'), "
                   "group_concat(coalesce(時, ''), '\x1f'), group_concat(coalesce(分, ''), '\x1f'), "
                   "group_concat(coalesce(秒, ''), '\x1f'), "
                   "group_concat(coalesce(入退, ''), '\x1f'), group_concat(coalesce(異例コード, ''), '\x1f') "
                   "FROM タイムカード WHERE +月 = ? AND IDコード IS NOT NULL");

// Reads the values of one joined column one after the other.
class ValueReader
{
public:
    explicit ValueReader(QStringView text) : m_text(text) {}
    // False when the text holds no more values.
    bool next(QStringView &value)
    {
        const qsizetype n = m_text.size();
        if (m_pos > n)
            return false;
        const QChar *d = m_text.data();
        qsizetype i = m_pos;
        while (i < n && d[i].unicode() != kSeparator)
            ++i;
        value = m_text.sliced(m_pos, i - m_pos);
        m_pos = i + 1;
        return true;
    }
    bool atEnd() const { return m_pos > m_text.size(); }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

// A rowid as the database wrote it; false when the text is not one.
bool readRowid(QStringView t, qint64 &rowid)
{
    if (t.isEmpty() || t.size() > 18) {
        bool ok = false;
        rowid = t.toLongLong(&ok);
        return ok;
    }
    qint64 v = 0;
    for (QChar c : t) {
        if (c.unicode() < u'0' || c.unicode() > u'9') {
            bool ok = false;
            rowid = t.toLongLong(&ok);
            return ok;
        }
        v = v * 10 + (c.unicode() - u'0');
    }
    rowid = v;
    return true;
}

// The day number of a stored two-digit day text, 0 for any other text: the period's days are
// looked up with exactly two digits, as the per-date read binds them.
int twoDigitDay(QStringView t)
{
    if (t.size() != 2)
        return 0;
    const char16_t a = t[0].unicode(), b = t[1].unicode();
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
        return 0;
    return (a - u'0') * 10 + (b - u'0');
}

// Stored fields of one punch row of the period read, in the order of its columns.
enum StoredField { FieldDay, FieldCard, FieldHour, FieldMinute, FieldSecond, FieldInOut, FieldCode, kStoredFields };

struct StoredPunch {
    int group = 0; // the card's date
    qint64 rowid = 0;
    QStringView second; // sorts equal hours and minutes
    PunchView view;
};

} // namespace

int PunchSnapshot::load(const PeriodDays &days)
{
    m_texts.clear();
    m_punches.clear();
    m_days.clear();
    Database &db = dbs().monthly;
    if (!db.isOpen())
        return notOpen(db);
    // The period's calendar months and, for each, its days as bits.
    QVector<QPair<int, quint64>> months;
    for (const PeriodDay &d : days.rows) {
        if (!d.used() || d.day < 1 || d.day > 31)
            continue;
        auto it = std::find_if(months.begin(), months.end(), [&](const auto &m) { return m.first == d.month; });
        if (it == months.end())
            it = months.insert(months.end(), {int(d.month), 0});
        it->second |= quint64(1) << d.day;
    }
    ReadTransaction txn(db);
    // Each column of the month comes as one text, its values joined by U+001F: the driver's
    // cost is per value (a conversion and two allocations each), and the month of a hundred
    // employees is read whole every time it is shown or written. See kJoinedSelect.
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(kJoinedSelect))
        return queryError(db, q);
    QSqlQuery rows(db.handle());
    rows.setForwardOnly(true);
    if (!rows.prepare(QStringLiteral("SELECT rowid, 日, IDコード, 時, 分, 秒, 入退, 異例コード FROM タイムカード "
                                     "WHERE 月 = ? AND IDコード IS NOT NULL")))
        return queryError(db, rows);

    std::vector<StoredPunch> punches;
    std::vector<DayKey> keys;
    QHash<DayKey, int> groupOf;
    DayKey last;
    int lastGroup = -1;
    // Adds the row when its date is one of the period's.
    auto add = [&](int month, quint64 days, qint64 rowid, const std::array<QStringView, kStoredFields> &f) {
        const int day = twoDigitDay(f[FieldDay]);
        if (day == 0 || !(days & (quint64(1) << day)))
            return;
        const DayKey key{month, day, f[FieldCard]};
        // Rows come mostly grouped by card and date, so the previous row's group is tried first.
        if (lastGroup < 0 || !(key == last)) {
            auto it = groupOf.constFind(key);
            if (it == groupOf.constEnd()) {
                it = groupOf.insert(key, int(keys.size()));
                keys.push_back(key);
            }
            last = key;
            lastGroup = it.value();
        }
        punches.push_back(
            {lastGroup, rowid, f[FieldSecond], {f[FieldHour], f[FieldMinute], f[FieldInOut], f[FieldCode]}});
    };

    for (const auto &[month, days] : std::as_const(months)) {
        const QString mm = zeroPad(month, 2);
        q.addBindValue(mm);
        if (!q.exec() || !q.next())
            return queryError(db, q);
        const qint64 count = q.value(0).toLongLong();
        const size_t mark = punches.size();
        bool joined = true;
        if (count > 0) {
            const size_t firstText = m_texts.size();
            for (int c = 1; c <= kStoredFields + 1; ++c)
                m_texts.push_back(q.value(c).toString());
            ValueReader rowids(m_texts[firstText]);
            std::array<ValueReader, kStoredFields> readers{
                ValueReader(m_texts[firstText + 1]), ValueReader(m_texts[firstText + 2]),
                ValueReader(m_texts[firstText + 3]), ValueReader(m_texts[firstText + 4]),
                ValueReader(m_texts[firstText + 5]), ValueReader(m_texts[firstText + 6]),
                ValueReader(m_texts[firstText + 7])};
            std::array<QStringView, kStoredFields> f;
            QStringView rowidText;
            qint64 rowid = 0;
            for (qint64 r = 0; joined && r < count; ++r) {
                joined = rowids.next(rowidText) && readRowid(rowidText, rowid);
                for (int c = 0; joined && c < kStoredFields; ++c)
                    joined = readers[size_t(c)].next(f[size_t(c)]);
                if (joined)
                    add(month, days, rowid, f);
            }
            joined = joined && rowids.atEnd()
                     && std::all_of(readers.begin(), readers.end(), [](const ValueReader &r) { return r.atEnd(); });
        }
        if (q.lastError().isValid())
            return queryError(db, q);
        q.finish();
        if (joined)
            continue;

        // Some value holds the separator: the month's rows one by one, each value on its own.
        punches.resize(mark);
        lastGroup = -1;
        rows.addBindValue(mm);
        if (!rows.exec())
            return queryError(db, rows);
        while (rows.next()) {
            bool ok = false;
            const qint64 rowid = rows.value(0).toLongLong(&ok);
            if (!ok)
                return queryError(db, rows); // a rowid is always a number: the read itself went wrong
            std::array<QStringView, kStoredFields> f;
            for (int c = 0; c < kStoredFields; ++c) {
                m_texts.push_back(rows.value(c + 1).toString());
                f[size_t(c)] = m_texts.back();
            }
            add(month, days, rowid, f);
        }
        if (rows.lastError().isValid())
            return queryError(db, rows);
        rows.finish();
    }

    // Each date's punches of a card together, in the order of the per-date read: 時, 分, 秒,
    // then the stored order.
    std::vector<Span> spans(keys.size());
    for (const StoredPunch &p : punches)
        ++spans[size_t(p.group)].count;
    qsizetype next = 0;
    for (Span &sp : spans) {
        sp.first = next;
        next += sp.count;
    }
    std::vector<const StoredPunch *> order(punches.size());
    {
        std::vector<qsizetype> fill(spans.size());
        for (size_t g = 0; g < spans.size(); ++g)
            fill[g] = spans[g].first;
        for (const StoredPunch &p : punches)
            order[size_t(fill[size_t(p.group)]++)] = &p;
    }
    auto before = [](const StoredPunch *a, const StoredPunch *b) {
        if (const int c = a->view.hour.compare(b->view.hour))
            return c < 0;
        if (const int c = a->view.minute.compare(b->view.minute))
            return c < 0;
        if (const int c = a->second.compare(b->second))
            return c < 0;
        return a->rowid < b->rowid;
    };
    m_punches.reserve(order.size());
    m_days.reserve(qsizetype(keys.size()));
    for (size_t g = 0; g < spans.size(); ++g) {
        const auto from = order.begin() + spans[g].first;
        const auto to = from + spans[g].count;
        if (!std::is_sorted(from, to, before))
            std::sort(from, to, before);
        for (auto it = from; it != to; ++it)
            m_punches.push_back((*it)->view);
        m_days.insert(keys[g], spans[g]);
    }
    return 0;
}

PunchSnapshot::Span PunchSnapshot::span(int month, int day, const QString &card) const
{
    return m_days.value(DayKey{month, day, card});
}

QVector<PunchRecord> PunchSnapshot::day(int month, int day, const QString &card) const
{
    const Span s = span(month, day, card);
    QVector<PunchRecord> records;
    records.reserve(s.count);
    for (qsizetype i = s.first; i < s.first + s.count; ++i) {
        const PunchView &p = m_punches[size_t(i)];
        records.append({p.hour.toString(), p.minute.toString(), p.inOut.toString(), p.code.toString()});
    }
    return records;
}

PunchRow PunchSnapshot::pair(int month, int day, const QString &card, PairingMode mode) const
{
    const Span s = span(month, day, card);
    return pairViews(m_punches.data() + s.first, s.count, mode);
}

int Punch_LoadEmployee(const PeriodDays &days, const QString &cardId, PairingMode mode, PunchRows &rows,
                       const PunchSnapshot *snapshot)
{
    // Every row of the period is cleared first, so that a failed read never leaves another
    // employee's punches on the rows not yet read.
    for (int r = 0; r < kPeriodRows; ++r)
        rows.rows[size_t(r)].clear();
    if (snapshot) {
        for (int r = 0; r < kPeriodRows; ++r) {
            const PeriodDay &d = days.rows[size_t(r)];
            if (d.used())
                rows.rows[size_t(r)] = snapshot->pair(d.month, d.day, cardId, mode);
        }
        return 0;
    }
    ReadTransaction txn(dbs().monthly);
    DayReader reader(mode);
    if (reader.error())
        return reader.error();
    for (int r = 0; r < kPeriodRows; ++r) {
        const PeriodDay &d = days.rows[size_t(r)];
        if (!d.used())
            continue;
        if (const int err = reader.read(d.month, d.day, cardId, rows.rows[size_t(r)]))
            return err;
    }
    return 0;
}

int Punch_LoadDate(int month, int day, const KojinTable &employees, int employeeCount, PairingMode mode,
                   PunchRows &rows, const PunchSnapshot *snapshot)
{
    const int count = std::clamp(employeeCount, 0, kPunchRows);
    for (int r = 0; r < count; ++r)
        rows.rows[size_t(r)].clear();
    if (count == 0)
        return 0;
    if (snapshot) {
        for (int r = 0; r < count; ++r)
            rows.rows[size_t(r)] = snapshot->pair(month, day, employees[size_t(r)].card, mode);
        return 0;
    }
    ReadTransaction txn(dbs().monthly);
    DayReader reader(mode);
    if (reader.error())
        return reader.error();
    for (int r = 0; r < count; ++r) {
        if (const int err = reader.read(month, day, employees[size_t(r)].card, rows.rows[size_t(r)]))
            return err;
    }
    return 0;
}
