#pragma once

#include "Period.h"
#include "store/DbFile.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <array>
#include <vector>

// PunchRows: the punches of an employee-day paired into the slots 入1, 退1, 入2, 退2, read from
// タイムカード of the monthly database. The installation's link kind selects the pairing
// (pairingModeFor): a USB recorder marks a second in with code "04", a LAN recorder's punches
// are paired by their order.

enum PunchSlot { In1 = 0, Out1 = 1, In2 = 2, Out2 = 3, PunchSlotCount = 4 };

struct PunchRow {
    // Normalised "hh:mm" texts; "  :  " when empty.
    std::array<QString, PunchSlotCount> slot;
    PunchRow() { clear(); }
    void clear() { slot.fill(QStringLiteral("  :  ")); }
    bool isEmpty() const;
};

constexpr int kPunchRows = 101;

// Row r belongs to row r of the period's days (per-employee fill) or to employee r of the
// employee table (per-date fill).
struct PunchRows {
    std::array<PunchRow, kPunchRows> rows;
};

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

// Every punch of the dates of a period's days, read with one statement per calendar month of
// the period instead of one per employee-day. For callers that go through many employees in a
// row (exports, reports, the batch tool); it reflects the punches as they were when loaded,
// so a caller that saves punches loads a new one.
class PunchSnapshot
{
public:
    // Reads the punches of the used rows of days. Returns 0 or the database error number.
    int load(const PeriodDays &days);
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

// Rows 0..31 of rows: cleared, and for each used row of days filled with that date's punches
// of the card paired by mode, read from the database, or from snapshot when one is given.
// Returns 0, or the database error number (dbs().monthly.errorText() describes it); rows
// filled so far stay filled, the others are cleared.
int Punch_LoadEmployee(const PeriodDays &days, const QString &cardId, PairingMode mode, PunchRows &rows,
                       const PunchSnapshot *snapshot = nullptr);

// Rows 0..employeeCount-1 of rows: cleared and filled with the punches of that date for the
// card of employee r of employees (employeeCount as Kojin_Read returned it), paired by mode,
// read from the database, or from snapshot when one is given (the date must be one of the
// days it was loaded for). Returns 0 or the database error number.
int Punch_LoadDate(int month, int day, const KojinTable &employees, int employeeCount, PairingMode mode,
                   PunchRows &rows, const PunchSnapshot *snapshot = nullptr);
