#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

class Database;

// The entry rules the two time-card editors share, without widgets: reading a typed punch
// field, the order of a day's four slots, and writing a corrected employee-day back into
// タイムカード.

using PunchSlots = std::array<QString, 4>; // 入1, 退1, 入2, 退2 as "hh:mm" or "  :  "

// Messages of the checks (the caller adds the screen's title).
QString punchRangeMessage();
QString punchOrderMessage();
QString punchSaveQuestion();

// Reads a typed punch field. Blank text (or "  :  ") is the empty time. Otherwise the value
// hhmm comes from characters 1-2 and 4-5 of a five-character text with a colon, or from the
// whole text when it has no colon ("2530" is 25:30, "930" is 09:30). False when the text
// cannot be read or lies outside 00:00..71:59; else shown holds the "hh:mm" text.
bool PunchField_Read(const QString &typed, QString &shown);

// True when 入1 <= 退1 <= 入2 <= 退2, an empty 入1 counting as 00:00 and every later empty
// slot taking the value of the slot before it (so empty slots never break the order).
bool PunchSlots_InOrder(const PunchSlots &punches);

// The slots as the day reads back once PunchDay_Replace has stored them: the stored rows, in
// the time order the day's select returns them, paired as an installation of that link kind pairs them. The
// stored rows cannot say "second out" without a second in before it, so a day typed as 入1
// and 退2 only comes back as 入1 and 退1 (and, in the order-based pairing, 入2 and 退2 alone
// come back as 入1 and 退1). The editors show and compute a saved day in this form, so that
// the screen, the stored rows and every report read the same day.
PunchSlots PunchSlots_AsStored(const PunchSlots &punches, int linkKind);

// One stored row of an employee-day as an editor read it: its rowid and its values 時, 分, 秒,
// 入退, 異例コード, CR as stored (NULL as a null text). A rewrite of the day removes exactly the
// rows the editor read, so a punch that arrived after the read (data processing, another
// editor) is never deleted by a screen that did not show it.
struct StoredPunchRow {
    qint64 rowid = 0;
    QStringList values;
};
using StoredDay = QVector<StoredPunchRow>;

// Key of an employee-day in the maps below: 月 and 日 as two-digit texts, and the card.
QString punchDayKey(int month, int day, const QString &card);

// Every row of one card, grouped by employee-day. Returns 0 or the database error number.
int PunchDays_ReadCard(Database &db, const QString &card, QHash<QString, StoredDay> &days);
// Every row of one date, grouped by employee-day. Returns 0 or the database error number.
int PunchDays_ReadDate(Database &db, int month, int day, QHash<QString, StoredDay> &days);

// Replaces the rows of one employee-day that the caller read (shown) by the non-empty slots,
// in the order 入1, 退1, 入2, 退2, with second "0", CR "0" and the in/out and code each slot
// stands for (the second in carries "04", so that the code-based pairing reads it back as
// 入2). A row of the day that is not in shown (stored after the caller read the day) stays;
// unseen, when given, receives their number. On success shown holds the day's rows as they
// are now. The deletes, the inserts and the read-back run in one transaction: a failure leaves
// the day and shown as they were. Returns 0, or the database error number (db.errorText()
// describes it).
int PunchDay_Replace(Database &db, int month, int day, const QString &card, const PunchSlots &punches, StoredDay &shown,
                     int *unseen = nullptr);
