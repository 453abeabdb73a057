#pragma once

// Data for the time-card editor tests: a processing month 2010/04 (closing day 20, so the
// period is 2010/03/21..2010/04/20), work categories, employees, calendar days and punches
// written straight into the databases a login would have opened.

#include "calc/Calculate.h"
#include "calc/Period.h"
#include "calc/Punch.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace fixture {

struct StoredPunch {
    QString month, day, hour, minute, second, card, inOut, code, cr;
    bool operator==(const StoredPunch &o) const
    {
        return month == o.month && day == o.day && hour == o.hour && minute == o.minute && second == o.second
               && card == o.card && inOut == o.inOut && code == o.code && cr == o.cr;
    }
};

inline bool openMonth(TestHome &home)
{
    if (!home.ok() || !home.openMonth(QStringLiteral("201004")))
        return false;
    g_company = CompanySettings(); // closing day 20, day change 03:00
    g_install.linkKind = LinkLan;
    return true;
}

// Category n: regular work 08:30-17:30 with a lunch break, overtime until 22:00, late night
// 22:00-29:00, early work 06:00-08:30, hours rounding by 15 minutes.
inline bool addCategory(int n, const QString &unit = QStringLiteral("15分"))
{
    const QStringList times = {
        QStringLiteral("08:30"), QStringLiteral("17:30"), QStringLiteral("08:30"), QStringLiteral("17:30"),
        QStringLiteral("12:00"), QStringLiteral("13:00"), QStringLiteral("  :  "), QStringLiteral("  :  "),
        QStringLiteral("  :  "), QStringLiteral("  :  "), QStringLiteral("06:00"), QStringLiteral("08:30"),
        QStringLiteral("17:30"), QStringLiteral("22:00"), QStringLiteral("22:00"), QStringLiteral("29:00")};
    QVariantList v{zeroPad(n, 2)};
    for (const QString &t : times)
        v << t;
    v << QStringLiteral("1：時数丸め") << unit << unit << unit << QStringLiteral("  :  ");
    return dbs().monthly.exec(QStringLiteral("INSERT INTO 区分 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                              v);
}

// Employee i (1-based): number 0000ii, card 1000000ii.
inline QString cardOf(int i) { return QStringLiteral("1%1").arg(i, 8, 10, QLatin1Char('0')); }
inline bool addEmployee(int i, const QString &category = QStringLiteral("01"),
                        const QString &active = QStringLiteral("1"))
{
    return dbs().monthly.exec(
        QStringLiteral("INSERT INTO 個人 VALUES (?,?,?,?,?,?)"),
        {zeroPad(i, 2), zeroPad(i, 6), QStringLiteral("社員%1").arg(i), cardOf(i), category, active});
}

inline bool setDayType(const QDate &d, const QString &type)
{
    return dbs().calendar.exec(QStringLiteral("INSERT OR REPLACE INTO カレンダー VALUES (?,?,?,?)"),
                               {zeroPad(d.year(), 4), zeroPad(d.month(), 2), zeroPad(d.day(), 2), type});
}

// A punch as a LAN recorder stores it (second and CR as received).
inline bool addPunch(const QDate &d, const QString &card, const QString &hhmm, bool out,
                     const QString &code = QStringLiteral("00"))
{
    return dbs().monthly.exec(QStringLiteral("INSERT INTO タイムカード VALUES (?,?,?,?,?,?,?,?,?)"),
                              {zeroPad(d.month(), 2), zeroPad(d.day(), 2), hhmm.left(2), hhmm.mid(3, 2),
                               QStringLiteral("17"), card, out ? QStringLiteral("1") : QStringLiteral("0"), code,
                               QStringLiteral("\r")});
}

inline QVector<StoredPunch> punchesOf(const QDate &d, const QString &card)
{
    QVector<QStringList> rows;
    dbs().monthly.select(QStringLiteral("SELECT 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR FROM タイムカード "
                                        "WHERE 月 = ? AND 日 = ? AND IDコード = ? ORDER BY rowid"),
                         {zeroPad(d.month(), 2), zeroPad(d.day(), 2), card}, rows);
    QVector<StoredPunch> out;
    for (const QStringList &r : rows)
        out.append({r.value(0), r.value(1), r.value(2), r.value(3), r.value(4), r.value(5), r.value(6), r.value(7),
                    r.value(8)});
    return out;
}

inline QVector<StoredPunch> allPunches()
{
    QVector<QStringList> rows;
    dbs().monthly.select(
        QStringLiteral("SELECT 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR FROM タイムカード ORDER BY rowid"),
        rows);
    QVector<StoredPunch> out;
    for (const QStringList &r : rows)
        out.append({r.value(0), r.value(1), r.value(2), r.value(3), r.value(4), r.value(5), r.value(6), r.value(7),
                    r.value(8)});
    return out;
}

// A month of varied days for one card: normal days, late arrivals, overtime past midnight,
// split days, single punches and empty days, chosen by the day and a seed.
inline int generateMonth(const QString &card, int seed)
{
    int written = 0;
    const PeriodRange p = Period_Compute(2010, 4, 20);
    quint32 k = quint32(seed);
    for (QDate d = p.first; d <= p.last; d = d.addDays(1)) {
        k = (k * 1103515245u + 12345u) & 0x7fffffffu;
        const int kind = int((k >> 8) % 7);
        const int jitter = int((k >> 4) % 40);
        auto t = [](int minutes) -> QString {
            return zeroPad(minutes / 60, 2) + QLatin1Char(':') + zeroPad(minutes % 60, 2);
        };
        switch (kind) {
        case 0: // nothing punched
            break;
        case 1: // a normal day
            addPunch(d, card, t(8 * 60 + 10 + jitter), false);
            addPunch(d, card, t(17 * 60 + 35 + jitter), true);
            written += 2;
            break;
        case 2: // late arrival, early leave
            addPunch(d, card, t(9 * 60 + jitter), false);
            addPunch(d, card, t(16 * 60 + jitter), true);
            written += 2;
            break;
        case 3: // overtime into the night, past midnight
            addPunch(d, card, t(7 * 60 + 50), false);
            addPunch(d, card, t(24 * 60 + 30 + jitter), true);
            written += 2;
            break;
        case 4: // two pairs
            addPunch(d, card, t(8 * 60 + 25), false);
            addPunch(d, card, t(11 * 60 + 50 + jitter), true);
            addPunch(d, card, t(13 * 60 + 5), false, QStringLiteral("04"));
            addPunch(d, card, t(19 * 60 + jitter), true);
            written += 4;
            break;
        case 5: // forgot to punch out
            addPunch(d, card, t(8 * 60 + jitter), false);
            written += 1;
            break;
        default: // early work
            addPunch(d, card, t(6 * 60 + 20 + jitter), false);
            addPunch(d, card, t(15 * 60 + jitter), true);
            written += 2;
            break;
        }
    }
    return written;
}

template <typename T>
T *child(QWidget &w, const QString &name)
{
    T *c = w.findChild<T *>(name);
    if (!c)
        qWarning("no child %s", qPrintable(name));
    return c;
}

inline QLineEdit *field(QWidget &w, const QString &slot, int row)
{
    return child<QLineEdit>(w, QStringLiteral("txt") + slot + QLatin1Char('_') + QString::number(row));
}
inline QLabel *figure(QWidget &w, const QString &name, int row)
{
    return child<QLabel>(w, QStringLiteral("lbl") + name + QLatin1Char('_') + QString::number(row));
}

// Types into a field as a user would: focus (the text is selected), keys, then Tab to leave.
inline void typeInto(QLineEdit *e, const QString &keys, bool leave = true)
{
    e->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    e->selectAll();
    if (keys.isEmpty())
        QTest::keyClick(e, Qt::Key_Backspace);
    else
        QTest::keyClicks(e, keys);
    if (leave)
        QTest::keyClick(e, Qt::Key_Tab);
    QCoreApplication::processEvents();
}

inline bool isRed(QLineEdit *e) { return e->palette().color(QPalette::Text) == QColor(255, 0, 0); }

// What a report computes for the month, apart from any screen, in tables of the test's own:
// the category table as stored, the period of the logged-in month, the installation's pairing.
struct Computed {
    KubunTable kubun;
    PeriodDays days;
    PeriodRange period;
    PunchRows punches;
    CalcFigures figures;
    int error = 0; // of the fill or the read
};

// One employee's month (the fixed layout, as the individual editor and report lay it out).
inline std::unique_ptr<Computed> computeEmployee(const QString &card, int category)
{
    auto c = std::make_unique<Computed>();
    Kubun_Load(c->kubun);
    c->error = PeriodDays_FillFixed(g_run, g_company, c->days);
    if (!c->error)
        c->error = Punch_LoadEmployee(c->days, card, pairingModeFor(g_install.linkKind), c->punches);
    Totals_CalcEmployee(c->kubun, category, c->days, c->punches, c->figures);
    return c;
}

// One date of the given employees (as the daily editor and report compute it).
inline std::unique_ptr<Computed> computeDate(const PeriodDay &d, const KojinTable &employees, int count)
{
    auto c = std::make_unique<Computed>();
    Kubun_Load(c->kubun);
    c->error = Punch_LoadDate(d.month, d.day, employees, count, pairingModeFor(g_install.linkKind), c->punches);
    Totals_CalcDate(c->kubun, d.dayType, employees, count, c->punches, c->figures);
    return c;
}

} // namespace fixture
