#pragma once

#include <QString>
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

// Replaces the punches of one employee-day by the non-empty slots, in the order 入1, 退1,
// 入2, 退2, with second "0", CR "0" and the in/out and code each slot stands for (the second
// in carries "04", so that the code-based pairing reads it back as 入2). The delete and the
// inserts run in one transaction: a failure leaves the day as it was. Returns 0, or the
// database error number (db.errorText() describes it).
int PunchDay_Replace(Database &db, int month, int day, const QString &card, const PunchSlots &punches);
