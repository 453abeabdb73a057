#pragma once

#include <QString>

class QComboBox;

// The year and month lists of the login and month change screens.

// Years 2001 up to next month's year.
void fillYearList(QComboBox *years);
// Refills the month list for the selected year, keeping the month position when it is still
// in the list, else selecting the first month.
void refillMonthList(QComboBox *years, QComboBox *months);
// Selects the item with that text, or the last item when the text is not in the list.
void selectText(QComboBox *box, const QString &text);
