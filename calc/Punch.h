#pragma once

#include <QHash>
#include <QString>
#include <QVector>
#include <array>
#include <vector>

// PunchRows: the punches of an employee-day paired into the slots 入1, 退1, 入2, 退2, read from
// タイムカード of the monthly database. The installation's link kind (g_install.linkKind)
// selects the pairing: a USB recorder marks a second in with code "04", a LAN recorder's
// punches are paired by their order.

enum PunchSlot { In1 = 0, Out1 = 1, In2 = 2, Out2 = 3, PunchSlotCount = 4 };

struct PunchRow {
    // Normalised "hh:mm" texts; "  :  " when empty.
    std::array<QString, PunchSlotCount> slot;
    PunchRow() { clear(); }
    void clear() { slot.fill(QStringLiteral("  :  ")); }
    bool isEmpty() const;
};

constexpr int kPunchRows = 101;

struct PunchRows {
    std::array<PunchRow, kPunchRows> rows;
};

// Row r belongs to g_periodDays row r (per-employee fill) or to employee r of g_kojin
// (per-date fill).
extern PunchRows g_punchRows;

// One stored punch as the pairing sees it (texts as stored).
struct PunchRecord {
    QString hour;   // 時
    QString minute; // 分
    QString inOut;  // 入退: "0" in, "1" out
    QString code;   // 異例コード: "00" normal, "04" second in
};

enum PairingMode { PairByCode = 0, PairByOrder = 1 };
// The pairing mode of a link kind: USB (0) by code, LAN (1) by order.
PairingMode pairingModeFor(int linkKind);

// Pairs one date's punches, given in ascending time order.
PunchRow Punch_Pair(const QVector<PunchRecord> &records, PairingMode mode);

// A stored punch as views of texts that a PunchSnapshot holds.
struct PunchView {
    QStringView hour;
    QStringView minute;
    QStringView inOut;
    QStringView code;
};

// Every punch of the dates of g_periodDays, read with one statement per calendar month of the
// period instead of one per employee-day. For callers that go through many employees in a
// row (exports, reports, the batch tool); it reflects the punches as they were when loaded,
// so a caller that saves punches loads a new one.
class PunchSnapshot
{
public:
    // Returns 0 or the database error number.
    int load();
    // The date's punches of the card in time order (empty when none).
    QVector<PunchRecord> day(int month, int day, const QString &card) const;
    // Punch_Pair of day(month, day, card), without copying the punches.
    PunchRow pair(int month, int day, const QString &card, PairingMode mode) const;

private:
    struct DayKey {
        int month = 0;
        int day = 0;
        QStringView card;
        friend bool operator==(const DayKey &a, const DayKey &b)
        {
            return a.month == b.month && a.day == b.day && a.card == b.card;
        }
        friend size_t qHash(const DayKey &k, size_t seed) { return qHashMulti(seed, k.month * 32 + k.day, k.card); }
    };
    struct Span {
        qsizetype first = 0;
        qsizetype count = 0;
    };
    Span span(int month, int day, const QString &card) const;

    std::vector<QString> m_texts;     // the texts the views point into
    std::vector<PunchView> m_punches; // each date's punches of a card together, in time order
    QHash<DayKey, Span> m_days;
};

// Rows 0..31: cleared, and for each used g_periodDays row filled with that date's punches of
// the card, read from the database, or from snapshot when one is given. Returns 0, or the
// database error number (dbs().monthly.errorText() describes it); rows filled so far stay
// filled, the others are cleared.
int Punch_LoadEmployee(const QString &cardId, const PunchSnapshot *snapshot = nullptr);

// Rows 0..employeeCount-1: cleared and filled with the punches of that date for the card of
// employee r of g_kojin (employeeCount as Kojin_Read returned it), read from the database, or
// from snapshot when one is given (the date must be one of g_periodDays when it was loaded).
// Returns 0 or the database error number.
int Punch_LoadDate(int month, int day, int employeeCount, const PunchSnapshot *snapshot = nullptr);
