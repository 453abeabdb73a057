#include "BatchSelection.h"

#include "calc/Period.h"
#include "common/Common.h"
#include "output/ExportJob.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>

bool batchMonth(const QString &text, QString *year, QString *month)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})(0[1-9]|1[0-2])$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    *year = m.captured(1);
    *month = m.captured(2);
    return true;
}

QStringList batchList(const QString &value)
{
    QStringList parts = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &p : parts)
        p = trimBlanks(p);
    parts.removeAll(QString());
    return parts;
}

bool batchEmployees(const BatchOptions &o, int employeeCount, QVector<int> *employees, QString *why)
{
    employees->clear();
    if (!o.has(QStringLiteral("employees"))) {
        for (int i = 0; i < employeeCount; ++i)
            *employees << i;
        return true;
    }
    QMap<QString, int> byNumber;
    for (int i = 0; i < employeeCount; ++i)
        byNumber.insert(trimBlanks(g_kojin[size_t(i)].number), i);
    const QStringList wanted = batchList(o.value(QStringLiteral("employees")));
    if (wanted.isEmpty()) {
        *why = QStringLiteral("--employees names no employee");
        return false;
    }
    for (const QString &n : wanted) {
        if (!byNumber.contains(n)) {
            *why = QStringLiteral("no employee with number ") + n
                   + QStringLiteral(" among those whose card is active (対象 1)");
            return false;
        }
        if (!employees->contains(byNumber.value(n)))
            *employees << byNumber.value(n);
    }
    std::sort(employees->begin(), employees->end());
    return true;
}

bool batchDates(const BatchOptions &o, const PeriodRange &range, QVector<QDate> *dates, QString *why)
{
    const QVector<QDate> period = periodDates(range);
    if (!o.has(QStringLiteral("dates"))) {
        *dates = period;
        return true;
    }
    dates->clear();
    const QStringList wanted = batchList(o.value(QStringLiteral("dates")));
    if (wanted.isEmpty()) {
        *why = QStringLiteral("--dates names no date");
        return false;
    }
    for (const QString &t : wanted) {
        const QDate d = QDate::fromString(t, QStringLiteral("yyyy/MM/dd"));
        if (!d.isValid()) {
            *why = QStringLiteral("--dates takes yyyy/mm/dd: ") + t;
            return false;
        }
        if (!period.contains(d)) {
            *why = t + QStringLiteral(" is outside the accounting period ")
                   + range.first.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" - ")
                   + range.last.toString(QStringLiteral("yyyy/MM/dd"));
            return false;
        }
        if (!dates->contains(d))
            *dates << d;
    }
    std::sort(dates->begin(), dates->end());
    return true;
}

MonthInputs batchInputs() { return {g_kubun, g_kojin, g_run, g_company, pairingModeFor(g_install.linkKind)}; }
