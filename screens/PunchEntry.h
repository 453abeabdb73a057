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

// Replaces the punches of one employee-day by the non-empty slots, in the order 入1, 退1,
// 入2, 退2, with second "0", CR "0" and the in/out and code each slot stands for (the second
// in carries "04", so that the code-based pairing reads it back as 入2). The delete and the
// inserts run in one transaction: a failure leaves the day as it was. Returns 0, or the
// database error number (db.errorText() describes it).
int PunchDay_Replace(Database &db, int month, int day, const QString &card, const PunchSlots &punches);
