#pragma once

#include <QString>

// The rules of the employee and card grids that need no widget: how a typed cell text is
// cleaned and how employee and card numbers are read and written.
namespace EmployeeRules {

// A cell as the user left it: blanks trimmed, only the part before the first line break,
// tabs turned into blanks, trimmed again.
QString cleanCell(const QString &text);

// A number of at most maxDigits digits and not 0, written with maxDigits digits
// ("12" -> "000012" for six). Empty result when the text breaks the rule (too long, zero,
// anything but digits).
QString paddedNumber(const QString &text, int maxDigits);

constexpr int kEmployeeDigits = 6;
constexpr int kCardDigits = 9;

// The category column's list and the stored code of an item ("03 " -> "03").
QString categoryList(); // "01 |02 |...|10"
QString categoryCode(const QString &item);

} // namespace EmployeeRules
