#pragma once

#include "calc/Punch.h"
#include "store/DbFile.h"

#include <QStringList>

// Builds a work category from a compact description, so that a case reads like the category
// screen: "work=08:30-17:30 late=08:30-17:30 b1=12:00-13:00 over=17:30-22:00 method=1
// units=15/15/15 base=08:00". Missing windows are blank, the method 0 and the units 1.
inline Category categoryFrom(const QString &description, int number = 1)
{
    Category k;
    k.code = QString::number(number).rightJustified(2, QLatin1Char('0'));
    const QStringList windows{"work", "late", "b1", "b2", "b3", "early", "over", "night"};
    for (const QString &item : description.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString value = item.section(QLatin1Char('='), 1);
        const int w = int(windows.indexOf(key));
        if (w >= 0) {
            k.times[size_t(2 * w)] = value.section(QLatin1Char('-'), 0, 0);
            k.times[size_t(2 * w + 1)] = value.section(QLatin1Char('-'), 1);
        } else if (key == QLatin1String("method")) {
            k.method = value == QLatin1String("1") ? QStringLiteral("1：時数丸め") : QStringLiteral("0：時刻丸め");
        } else if (key == QLatin1String("units")) {
            const QStringList u = value.split(QLatin1Char('/'));
            k.unitWork = u.value(0).rightJustified(2, QLatin1Char('0')) + QStringLiteral("分");
            k.unitLate = u.value(1).rightJustified(2, QLatin1Char('0')) + QStringLiteral("分");
            k.unitOver = u.value(2).rightJustified(2, QLatin1Char('0')) + QStringLiteral("分");
        } else if (key == QLatin1String("base")) {
            k.base = value;
        }
    }
    k.computeMinutes();
    return k;
}

// Four slot texts separated by blanks, "-" for an empty slot: "08:40 19:10 - -".
inline PunchRow punchRowFrom(const QString &text)
{
    PunchRow r;
    const QStringList t = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < PunchSlotCount && i < t.size(); ++i)
        if (t.at(i) != QLatin1String("-"))
            r.slot[size_t(i)] = t.at(i);
    return r;
}
