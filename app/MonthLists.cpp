#include "MonthLists.h"

#include "StartupLogic.h"
#include "common/Common.h"

#include <QComboBox>
#include <QSignalBlocker>

void fillYearList(QComboBox *years)
{
    const QSignalBlocker block(years);
    years->clear();
    years->addItems(yearChoices(Clock::today()));
    years->setCurrentIndex(-1);
}

void refillMonthList(QComboBox *years, QComboBox *months)
{
    const int keep = months->currentIndex();
    const QSignalBlocker block(months);
    months->clear();
    months->addItems(monthChoices(years->currentText(), Clock::today()));
    months->setCurrentIndex(keep >= 0 && keep < months->count() ? keep : 0);
}

void selectText(QComboBox *box, const QString &text)
{
    const int i = box->findText(text);
    box->setCurrentIndex(i >= 0 ? i : box->count() - 1);
}
