#pragma once

#include "store/DbFile.h"

#include <QString>
#include <QtGlobal>

// Time arithmetic shared by the computation, the editors, the category screen, the reports
// and the exports: the "hh:mm" text form, the minute form, rounding by a category's unit and
// the overlap of a span with a break.
//
// Minute values are signed 16-bit, as the stored figures have always been; monthly sums are
// 32-bit. A result that does not fit in 16 bits is not wrapped: the routine records an
// overflow in the caller's CalcStatus and returns 0, so no wrong figure is ever produced
// silently.

// The value of an empty or unreadable time (72:00). Any minute value of NO_TIME or more is
// "no time" for the daily computation.
constexpr qint16 NO_TIME = 4320;

// The empty time text: two blanks, a colon, two blanks.
inline QString emptyTimeText() { return QStringLiteral("  :  "); }

// Run-time error numbers the computation reports to its callers (the numbers the program's
// messages have always shown for these conditions).
constexpr int kCalcErrOverflow = 6;  // a 16-bit minute value overflowed
constexpr int kCalcErrSubscript = 9; // a category number outside 0..10

// The first run-time error of a computation. Routines that can fail take one by reference;
// once it holds an error, later results of the same computation are not to be trusted and the
// caller discards them.
struct CalcStatus {
    int error = 0;
    QString text;
    bool ok() const { return error == 0; }
    void fail(int number, const QString &description)
    {
        if (error == 0) {
            error = number;
            text = description;
        }
    }
};

// Rounding kinds: which of the category's units applies.
enum RoundKind { RoundWork = 0, RoundLateEarly = 1, RoundOver = 2 };
// Rounding directions.
enum RoundDirection { RoundNone = 0, RoundUp = 1, RoundDown = 2 };

// The text's integer value as a 16-bit number; blanks around it are allowed. Anything else
// (empty, letters, out of range) gives 0.
qint16 Text_ToInt(const QString &value);

// Minutes of the two parts of a time text (hours = characters 1-2, minutes = characters 4-5),
// or NO_TIME when a part is missing. A part is missing when it reads 0 without being exactly
// "00" or "0" once trimmed, so blanks and letters are missing but " 0" is zero. A result
// that does not fit in 16 bits is no time either; status, when given, records the overflow.
qint16 Text_ToMinutes(const QString &hours, const QString &minutes, CalcStatus *status = nullptr);
// The same on a whole five-character time text.
qint16 Text_ToMinutes(const QString &hhmm, CalcStatus *status = nullptr);

// "  :  " stays as it is, and so does any text whose two parts are blank; anything else
// becomes hours and minutes carried into range: "08:75" -> "09:15", " 8:05" -> "08:05". A
// value shorter than five characters is padded with blanks first, a longer one cut.
QString Hhmm_Normalize(const QString &text);
// Hhmm_Normalize(hour + ":" + minute), without making that text: the stored parts of a punch.
QString Hhmm_NormalizeParts(QStringView hour, QStringView minute);

// Daily figure display: 0 -> empty text; 65 -> " 1:05"; 600 -> "10:00"; 6000 -> "100:00".
QString Minutes_ToHhmm(qint16 minutes);
// Totals display: 0 -> empty text; 65 -> "  1:05"; 750 -> " 12:30"; 6000 -> "100:00".
QString Minutes_ToHhhmm(qint32 minutes);

// Rounds v with the unit of the given kind of the category of the table whose code (its
// number as text, "01".."10", "0" for the empty slot) is given. Up gives the next multiple of
// the unit within the hour (1439 up by 60 is 1440), down the previous one; a value on a
// multiple is kept. A code outside 0..10 records kCalcErrSubscript, an unrepresentable result
// kCalcErrOverflow; both return 0.
qint16 Minutes_ApplyUnit(const KubunTable &kubun, int kind, qint16 v, const QString &categoryCode, int direction,
                         CalcStatus &status);
// The same with the category itself (the daily computation, which has checked its slot).
qint16 Minutes_ApplyCategoryUnit(const Category &category, int kind, qint16 v, int direction, CalcStatus &status);

// Minutes of the break c-d that lie inside the span a-b (callers give a < b). A break whose
// start equals its end never counts.
qint16 Overlap_Min(qint16 a, qint16 b, qint16 c, qint16 d, CalcStatus &status);
