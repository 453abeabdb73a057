#pragma once

#include <QString>

class QLineEdit;

// Digit-only fields (employee and card numbers, punch and category times, the recorder
// address) take digits however they arrive: typed, pasted, dropped or committed by an input
// method. A full-width digit (０-９, as an input method in full-width mode gives it) is taken as
// the digit it stands for; any other character is refused where it is entered, so the field
// never holds text its check would refuse later for its characters alone.
namespace DigitInput {

// The digit '0'-'9' a character stands for ('0'-'9' or '０'-'９'), else a null QChar.
QChar asDigit(QChar c);

// For key filters: true when the key types exactly one digit, half- or full-width.
bool isDigitKey(const QString &text);

// Text with its full-width digits replaced by '0'-'9'.
QString halfWidthDigits(const QString &text);

// Gives the box a validator that writes full-width digits as digits and refuses any text with
// other characters than digits and those of alsoAllowed (a time field keeps its " " and ":"),
// or with more than maxDigits digits (no limit when negative).
void install(QLineEdit *box, const QString &alsoAllowed = QString(), int maxDigits = -1);

} // namespace DigitInput
