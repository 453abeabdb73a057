#include "Punch.h"

#include "Common.h"
#include "DbFile.h"
#include "ExFile.h"
#include "Period.h"
#include "TimeMath.h"

#include <QSqlError>
#include <QSqlQuery>

PunchRows g_punchRows;

namespace {

// Punches with equal times keep the order in which they were stored (rowid), so a pairing
// never depends on the engine's choice among equal keys.
const QString kDaySelect = QStringLiteral(
    "SELECT 時, 分, 入退, 異例コード FROM タイムカード WHERE (月 = ? AND 日 = ? AND IDコード = ?) "
    "ORDER BY 時, 分, 秒, rowid");

bool isEmptyTime(const QString &t) { return t == emptyTimeText(); }

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
            m_db.setError(3420, QStringLiteral("データベースが開かれていません"));
            m_error = 3420;
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
        const QSqlError e = m_query.lastError();
        bool ok = false;
        int no = e.nativeErrorCode().toInt(&ok);
        if (!ok || no == 0)
            no = 3001;
        m_db.setError(no, e.text());
        m_error = no;
        return no;
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

int Punch_LoadEmployee(const QString &cardId)
{
    // Every row of the period is cleared first, so that a failed read never leaves another
    // employee's punches on the rows not yet read.
    for (int r = 0; r < kPeriodRows; ++r)
        g_punchRows.rows[size_t(r)].clear();
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

int Punch_LoadDate(int month, int day, int employeeCount)
{
    const int count = std::clamp(employeeCount, 0, kPunchRows);
    for (int r = 0; r < count; ++r)
        g_punchRows.rows[size_t(r)].clear();
    if (count == 0)
        return 0;
    DayReader reader;
    if (reader.error())
        return reader.error();
    for (int r = 0; r < count; ++r) {
        if (const int err = reader.read(month, day, g_kojin[size_t(r)].card, g_punchRows.rows[size_t(r)]))
            return err;
    }
    return 0;
}
