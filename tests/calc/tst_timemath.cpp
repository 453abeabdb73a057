#include "calc/TimeMath.h"
#include "store/DbFile.h"

#include <QTest>

// The eight rounding units a category can hold.
static const int kUnits[] = {1, 5, 6, 10, 15, 20, 30, 60};

class TestTimeMath : public QObject
{
    Q_OBJECT

    // The category table the rounding reads its units from.
    KubunTable m_kubun;

private slots:
    void init()
    {
        for (auto &k : m_kubun)
            k = Category();
    }

    void textToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("digits") << "12" << 12;
        QTest::newRow("blanks around") << " 7 " << 7;
        QTest::newRow("negative") << "-3" << -3;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("letters") << "ab" << 0;
        QTest::newRow("beyond 16 bits") << "40000" << 0;
        QTest::newRow("full-width blank is not a blank") << QStringLiteral("\u30005") << 0;
        QTest::newRow("leading zeros") << "0009" << 9;
        QTest::newRow("largest 16-bit") << "32767" << 32767;
        QTest::newRow("one past 16 bits") << "32768" << 0;
        QTest::newRow("plus sign") << "+8" << 8;
        QTest::newRow("digit then letter") << "1a" << 0;
        QTest::newRow("inner blank") << "1 2" << 0;
        QTest::newRow("full-width digits") << QStringLiteral("\uff11\uff12") << 0;
    }
    void textToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(Text_ToInt(text)), value);
    }

    void textToMinutes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes");
        QTest::newRow("empty time") << "  :  " << int(NO_TIME);
        QTest::newRow("midnight is a real time") << "00:00" << 0;
        QTest::newRow("single zero hour") << " 0:05" << 5;
        QTest::newRow("ordinary") << "08:30" << 510;
        QTest::newRow("after midnight") << "25:30" << 1530;
        QTest::newRow("minutes past 59 kept") << "08:75" << 555;
        QTest::newRow("letters in hours") << "ab:10" << int(NO_TIME);
        QTest::newRow("blank minutes") << "08:  " << int(NO_TIME);
        QTest::newRow("negative hours") << "-1:00" << int(NO_TIME);
    }
    void textToMinutes()
    {
        QFETCH(QString, text);
        QFETCH(int, minutes);
        CalcStatus st;
        QCOMPARE(int(Text_ToMinutes(text, &st)), minutes);
        QVERIFY(st.ok());
        QCOMPARE(int(Text_ToMinutes(text.mid(0, 2), text.mid(3, 2))), minutes);
    }

    void textToMinutesOverflowIsNoTimeAndReported()
    {
        CalcStatus st;
        QCOMPARE(Text_ToMinutes(QStringLiteral("999"), QStringLiteral("00"), &st), NO_TIME);
        QCOMPARE(st.error, kCalcErrOverflow);
    }

    void normalize_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("empty stays") << "  :  "
                                     << "  :  ";
        QTest::newRow("minutes carried") << "08:75"
                                         << "09:15";
        QTest::newRow("leading blank") << " 8:05"
                                       << "08:05";
        QTest::newRow("after midnight") << "25:30"
                                        << "25:30";
        QTest::newRow("nothing is no time") << ""
                                            << "  :  ";
        QTest::newRow("blanks without colon") << "     "
                                              << "  :  ";
        QTest::newRow("short value padded") << "8"
                                            << "08:00";
        QTest::newRow("longer value cut") << "08:300"
                                          << "08:30";
        QTest::newRow("one-digit hour misplaces the colon") << "9:05"
                                                            << "00:05";
        QTest::newRow("hours past 99") << "99:99"
                                       << "100:39";
        QTest::newRow("last of the second day") << "47:59"
                                                << "47:59";
        QTest::newRow("third day") << "48:00"
                                   << "48:00";
        QTest::newRow("negative is no time") << "-1:00"
                                             << "  :  ";
        QTest::newRow("minutes only") << "  :07"
                                      << "00:07";
        QTest::newRow("letters count as zero") << "ab:10"
                                               << "00:10";
    }
    void normalize()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(Hhmm_Normalize(in), out);
    }

    // The stored parts of a punch give what their joined text gives, odd parts included.
    void normalizeParts_data()
    {
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        const char *parts[][2] = {{"08", "30"}, {"8", "05"},   {"", ""},     {"  ", "  "},  {"47", "59"},
                                  {"48", "00"}, {"123", "45"}, {"-1", "00"}, {"ab", "10"},  {" 9", " 5"},
                                  {"08", "75"}, {"08", ""},    {"", "07"},   {"0800", "1"}, {"+1", "-2"}};
        for (const auto &p : parts)
            QTest::newRow(qPrintable(QStringLiteral("%1|%2").arg(p[0], p[1])))
                << QString::fromLatin1(p[0]) << QString::fromLatin1(p[1]);
    }
    void normalizeParts()
    {
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QCOMPARE(Hhmm_NormalizeParts(hour, minute), Hhmm_Normalize(hour + QLatin1Char(':') + minute));
    }

    void normalizedTextsAreIndependent()
    {
        // Common times come from one shared set of texts; changing one result changes no other.
        QString a = Hhmm_Normalize(QStringLiteral("08:30"));
        a[0] = QLatin1Char('X');
        QCOMPARE(Hhmm_Normalize(QStringLiteral("08:30")), QStringLiteral("08:30"));
        QCOMPARE(Hhmm_NormalizeParts(u"08", u"30"), QStringLiteral("08:30"));
    }

    void displayFormats_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("daily");
        QTest::addColumn<QString>("totals");
        QTest::newRow("zero is empty") << 0 << ""
                                       << "";
        QTest::newRow("under an hour") << 59 << " 0:59"
                                       << "  0:59";
        QTest::newRow("one hour five") << 65 << " 1:05"
                                       << "  1:05";
        QTest::newRow("ten hours") << 600 << "10:00"
                                   << " 10:00";
        QTest::newRow("twelve thirty") << 750 << "12:30"
                                       << " 12:30";
        QTest::newRow("hundred hours") << 6000 << "100:00"
                                       << "100:00";
    }
    void displayFormats()
    {
        QFETCH(int, minutes);
        QFETCH(QString, daily);
        QFETCH(QString, totals);
        QCOMPARE(Minutes_ToHhmm(qint16(minutes)), daily);
        QCOMPARE(Minutes_ToHhhmm(minutes), totals);
    }

    void totalsFormatTakes32Bits() { QCOMPARE(Minutes_ToHhhmm(100000), QStringLiteral("1666:40")); }

    // Every unit against the plain arithmetic of multiples: all units divide the hour.
    void applyUnitAllUnits_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("value");
        for (int u : kUnits)
            for (int v : {0, 1, 14, 15, 29, 59, 61, 539, 1034, 1439, 1441, 2879})
                QTest::addRow("u%d v%d", u, v) << u << v;
    }
    void applyUnitAllUnits()
    {
        QFETCH(int, unit);
        QFETCH(int, value);
        m_kubun[2].unitWorkMin = unit;
        CalcStatus st;
        const int up = (value + unit - 1) / unit * unit;
        const int down = value / unit * unit;
        QCOMPARE(int(Minutes_ApplyUnit(m_kubun, RoundWork, qint16(value), QStringLiteral("02"), RoundUp, st)), up);
        QCOMPARE(int(Minutes_ApplyUnit(m_kubun, RoundWork, qint16(value), QStringLiteral("02"), RoundDown, st)), down);
        QCOMPARE(int(Minutes_ApplyUnit(m_kubun, RoundWork, qint16(value), QStringLiteral("02"), RoundNone, st)), value);
        QVERIFY(st.ok());
    }

    void applyUnitEdges()
    {
        m_kubun[1].unitWorkMin = 60;
        m_kubun[1].unitLateMin = 15;
        CalcStatus st;
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundWork, 1439, QStringLiteral("01"), RoundUp, st), qint16(1440));
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundLateEarly, 539, QStringLiteral("1"), RoundUp, st),
                 qint16(540)); // 8:59 -> 9:00
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundLateEarly, 1034, QStringLiteral("1"), RoundDown, st),
                 qint16(1020)); // 17:14 -> 17:00
        // A negative duration rounds toward the same side as a positive one would.
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundLateEarly, -7, QStringLiteral("1"), RoundUp, st), qint16(0));
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundLateEarly, -7, QStringLiteral("1"), RoundDown, st), qint16(-15));
        QVERIFY(st.ok());
    }

    void applyUnitKindSelectsUnit()
    {
        Category &k = m_kubun[3];
        k.unitWorkMin = 15;
        k.unitLateMin = 10;
        k.unitOverMin = 30;
        CalcStatus st;
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundWork, 7, QStringLiteral("03"), RoundUp, st), qint16(15));
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundLateEarly, 7, QStringLiteral("03"), RoundUp, st), qint16(10));
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundOver, 7, QStringLiteral("03"), RoundUp, st), qint16(30));
        // The empty slot 0 keeps the one-minute default.
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundOver, 7, QStringLiteral("0"), RoundUp, st), qint16(7));
        // The category itself (what the daily computation rounds with) selects the same units.
        QCOMPARE(Minutes_ApplyCategoryUnit(m_kubun[3], RoundWork, 7, RoundUp, st), qint16(15));
        QCOMPARE(Minutes_ApplyCategoryUnit(m_kubun[3], RoundLateEarly, 7, RoundUp, st), qint16(10));
        QCOMPARE(Minutes_ApplyCategoryUnit(m_kubun[3], RoundOver, 37, RoundDown, st), qint16(30));
        QCOMPARE(Minutes_ApplyCategoryUnit(m_kubun[0], RoundOver, 7, RoundUp, st), qint16(7));
        QVERIFY(st.ok());
    }

    void applyUnitFailures()
    {
        CalcStatus bad;
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundWork, 100, QStringLiteral("11"), RoundUp, bad), qint16(0));
        QCOMPARE(bad.error, kCalcErrSubscript);
        for (const char *code : {"-1", "12"}) {
            CalcStatus outside;
            QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundWork, 100, QLatin1String(code), RoundUp, outside), qint16(0));
            QCOMPARE(outside.error, kCalcErrSubscript);
        }

        m_kubun[1].unitOverMin = 15;
        CalcStatus over;
        QCOMPARE(Minutes_ApplyUnit(m_kubun, RoundOver, 32767, QStringLiteral("01"), RoundUp, over), qint16(0));
        QCOMPARE(over.error, kCalcErrOverflow);
        // The first error is the one kept.
        over.fail(kCalcErrSubscript, QString());
        QCOMPARE(over.error, kCalcErrOverflow);
    }

    void overlap_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("d");
        QTest::addColumn<int>("minutes");
        QTest::newRow("break inside") << 480 << 1020 << 720 << 780 << 60;
        QTest::newRow("span starts at break end") << 780 << 1020 << 720 << 780 << 0;
        QTest::newRow("span starts inside break") << 750 << 1020 << 720 << 780 << 30;
        QTest::newRow("span ends inside break") << 480 << 750 << 720 << 780 << 30;
        QTest::newRow("break covers span") << 600 << 700 << 500 << 800 << 100;
        QTest::newRow("break before span") << 800 << 900 << 700 << 750 << 0;
        QTest::newRow("break at span end") << 480 << 720 << 720 << 780 << 0;
        QTest::newRow("empty break") << 0 << 1440 << 0 << 0 << 0;
        QTest::newRow("break ends at span end") << 480 << 780 << 720 << 780 << 60;
    }
    void overlap()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, d);
        QFETCH(int, minutes);
        CalcStatus st;
        QCOMPARE(int(Overlap_Min(qint16(a), qint16(b), qint16(c), qint16(d), st)), minutes);
        QVERIFY(st.ok());
    }

    void overlapOverflowReported()
    {
        CalcStatus st;
        QCOMPARE(Overlap_Min(-32768, 32767, -32768, 32767, st), qint16(0));
        QCOMPARE(st.error, kCalcErrOverflow);
    }
};

QTEST_GUILESS_MAIN(TestTimeMath)
#include "tst_timemath.moc"
