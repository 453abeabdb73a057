// The layout rules on small hand-made inputs: the column primitives, the encoding of the
// names, the quoting of the comma layouts, the widening fields of the payroll files and a
// device that stops taking data.

#include "FailingDevice.h"
#include "common/SjisText.h"
#include "output/ColumnText.h"
#include "output/ExportWriters.h"
#include "output/PayrollWriters.h"

#include <QBuffer>
#include <QTest>

namespace {

QByteArray sjis(const QString &s) { return SjisText::encode(s); }
QByteArray sp(int n) { return QByteArray(n, ' '); }

template <typename Fn>
QByteArray capture(Fn fn)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    SjisTextWriter out(&buf);
    fn(out);
    return buf.data();
}

TotalsLine line(const char *number, const char *name)
{
    TotalsLine l;
    l.employee = {QString::fromUtf8(number), QString::fromUtf8(name), QStringLiteral("000000001"), QStringLiteral("01"),
                  QStringLiteral("1")};
    return l;
}

} // namespace

class TestExportWriters : public QObject
{
    Q_OBJECT
private slots:
    void zonesAndColumnsCountShiftJisBytes()
    {
        const QByteArray b = capture([](SjisTextWriter &out) {
            ColumnText c(out);
            c.zoneStep();                   // from column 1 to 15
            c.text(QStringLiteral("髙橋")); // four bytes: 15..18
            c.zoneStep();                   // to 29
            c.text(QStringLiteral("x"));
            c.pad(-3); // nothing
            c.pad(0);
            c.moveTo(30); // already there: nothing
            c.moveTo(33);
            c.number(5);
            c.number(-12);
            c.moveTo(10); // past it: next line, column 10
            c.text(QStringLiteral("y"));
            c.endLine();
        });
        QCOMPARE(b, QByteArray(14, ' ') + QByteArray("\xfb\xfc\x8b\xb4") + QByteArray(10, ' ') + "x"
                        + QByteArray(3, ' ') + " 5 " + "-12 " + "\r\n" + QByteArray(9, ' ') + "y\r\n");
    }

    void zoneStepFromAZoneStartMovesAWholeZone()
    {
        const QByteArray b = capture([](SjisTextWriter &out) {
            ColumnText c(out);
            c.text(QStringLiteral("12345678901234")); // ends at column 15, a zone start
            c.zoneStep();
            c.text(QStringLiteral("|"));
            c.zoneStep();
            c.text(QStringLiteral("長谷川部長代理補佐")); // 18 bytes, overruns the zone
            c.zoneStep();
            c.text(QStringLiteral("|"));
        });
        QCOMPARE(b, QByteArray("12345678901234") + QByteArray(14, ' ') + "|" + QByteArray(13, ' ')
                        + sjis(QStringLiteral("長谷川部長代理補佐")) + QByteArray(10, ' ') + "|");
    }

    void namesEncodeAsWindowsDoes()
    {
        QCOMPARE(sjis(QStringLiteral("髙﨑")), QByteArray("\xfb\xfc\xfa\xb1"));
        QCOMPARE(sjis(QStringLiteral("森鷗外")), QByteArray("\x90\x58?\x8a\x4f"));
        QCOMPARE(sjis(QStringLiteral("～")), QByteArray("\x81\x60"));
    }

    void commaFieldsAreQuotedOnlyWhenNeeded()
    {
        QCOMPARE(ExportText::csvField(QStringLiteral("山田太郎")), QStringLiteral("山田太郎"));
        QCOMPARE(ExportText::csvField(QStringLiteral("佐藤,\"花子\"")), QStringLiteral("\"佐藤,\"\"花子\"\"\""));
        QCOMPARE(ExportText::csvField(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
        QCOMPARE(ExportText::csvField(QStringLiteral("a\nb")), QStringLiteral("\"a\nb\""));
        QCOMPARE(ExportText::csvField(QStringLiteral("　全角 ")), QStringLiteral("　全角 "));
    }

    void dailyLayoutsFollowTheTickedItems()
    {
        DailyBlock b;
        b.date = QDate(2010, 2, 1);
        b.employees = {{QStringLiteral("000001"), QStringLiteral("山田"), QStringLiteral("000000001"),
                        QStringLiteral("01"), QStringLiteral("1")}};
        ExportRow r;
        r.clocks[0] = QStringLiteral("08:30");
        r.clocks[1] = QStringLiteral("17:30");
        r.figures[FigWork] = r.figures[FigTotal] = 480;
        b.rows = {r};
        b.totals.sums[FigWork] = b.totals.sums[FigTotal] = 480;
        b.totals.counts[FigWork] = b.totals.counts[FigTotal] = 1;
        ExportItems items{};
        items[1] = items[2] = items[9] = true; // second pair, work, total

        QCOMPARE(
            capture([&](SjisTextWriter &o) { ExportWriters::dailyCsv(o, b, items); }),
            sjis(QStringLiteral("年月日,2010年02月01日(月)\r\n"
                                "社員No,氏名,区, 出勤2時, 出勤2分, 退勤2時, 退勤2分, 就業時, 就業分, 合計時, 合計分\r\n"
                                "000001,山田,01,,,,, 8,00, 8,00\r\n"
                                "人数,,,,,,,,1,,1\r\n"
                                "合計,,,,,,,  8,00,  8,00\r\n"
                                "\r\n")));
        const QByteArray txt = sjis(QStringLiteral("年月日")) + sp(8) + sjis(QStringLiteral("2010年02月01日(月)"))
                               + "\r\n" + sjis(QStringLiteral("社員No")) + sp(8) + sjis(QStringLiteral("氏名")) + sp(10)
                               + sjis(QStringLiteral("区")) + sp(12) + sjis(QStringLiteral("出勤2")) + sp(9)
                               + sjis(QStringLiteral("退勤2")) + sp(9) + sjis(QStringLiteral("就業")) + sp(10)
                               + sjis(QStringLiteral("合計")) + "\r\n" + "000001" + sp(8) + sjis(QStringLiteral("山田"))
                               + sp(14) + "01" + sp(16) + sp(16) + sp(11) + " 8:00" + sp(11) + " 8:00\r\n"
                               + sjis(QStringLiteral("人数")) + sp(52) + sp(24) + " 1 " + sp(15) + "\r\n"
                               + sjis(QStringLiteral("合計")) + sp(52) + sp(24) + "  8:00" + sp(10) + "  8:00\r\n\r\n";
        QCOMPARE(capture([&](SjisTextWriter &o) { ExportWriters::dailyTxt(o, b, items); }), txt);
    }

    void thousandHourSumsWidenTheirFields()
    {
        TotalsLine l = line("000016", "大沢");
        l.totals.sums[FigWork] = 60000 + 5; // 1000:05
        l.totals.counts[FigWork] = 31;
        l.totals.sums[FigOver] = 45;
        l.totals.counts[FigOver] = 1;
        l.totals.sums[FigEarly] = 6000; // 100:00, added to the overtime of the payroll files
        l.totals.counts[FigEarly] = 3;
        l.totals.sums[FigTotal] = 66050;
        l.totals.counts[FigTotal] = 31;
        const QVector<TotalsLine> lines{l};

        const QByteArray z(",       0");
        QCOMPARE(capture([&](SjisTextWriter &o) { PayrollWriters::pca2000(o, lines); }),
                 QByteArray("0016,    3100,  100005") + z + z + z + z + z + z + z + ",   10045" + z + z + z + z
                     + QByteArray(z).repeated(11) + "\r\n\x1a");
        const QByteArray t(",  0.00");
        QCOMPARE(capture([&](SjisTextWriter &o) { PayrollWriters::bugyo21(o, lines); }),
                 QByteArray("\"MK01\",\"KN01\",\"KN02\",\"KN03\",\"KN04\",\"KN05\",\"KN07\",\"KN08\",\"KN09\",\"KN10\","
                            "\"KN11\",\"KN12\",\"KN13\",\"KN14\",\r\n")
                     + "000016,  31.00,   0.00,    0.00,   0.00,   0.00,1000.05" + t + ",100.45" + t + t + t + t + t
                     + "\r\n\x1a");
        QCOMPARE(capture([&](SjisTextWriter &o) { PayrollWriters::yayoi(o, lines); }),
                 QByteArray("0016,   31.0,    0.0") + QByteArray(",     0.0").repeated(4) + ", 1000:05" + ",     0.0"
                     + ",    0.00" + ",  100:45" + ",    0.00" + QByteArray(",    0:00").repeated(4)
                     + QByteArray(",     0.0").repeated(5) + "\r\n\x1a");

        ExportItems items{};
        items[2] = items[4] = true; // 就業 and 残業 only
        QCOMPARE(capture([&](SjisTextWriter &o) { ExportWriters::totalsCsv(o, lines, items); }),
                 sjis(QStringLiteral("社員番号, 氏名, 勤務日数, 就業時間, 就業分, 残業回数, 残業時間, 残業分\r\n"
                                     "000016,大沢,31,1000,05,1,  0,45\r\n")));
        const QByteArray header = sjis(QStringLiteral("社員番号")) + sp(5) + sjis(QStringLiteral("氏名")) + sp(16)
                                  + sjis(QStringLiteral("勤務日数")) + sp(8) + sjis(QStringLiteral("就業時間")) + sp(22)
                                  + sjis(QStringLiteral("残業回数")) + sp(2) + sjis(QStringLiteral("残業時間"));
        const QByteArray row = "000016" + sp(7) + sjis(QStringLiteral("大沢")) + sp(16) + " 31 " + sp(13) + "1000:05"
                               + sp(14) + " 1 " + sp(13) + "  0:45";
        QCOMPARE(capture([&](SjisTextWriter &o) { ExportWriters::totalsTxt(o, lines, items); }),
                 header + "\r\n" + row + "\r\n");
    }

    void payrollNumbersAboveTheFieldFormatKeepAllDigits()
    {
        const QVector<TotalsLine> lines{line("123456", "a")};
        const QByteArray pca = capture([&](SjisTextWriter &o) { PayrollWriters::pca2000(o, lines); });
        QVERIFY(pca.startsWith("123456,       0"));
        const QByteArray yayoi = capture([&](SjisTextWriter &o) { PayrollWriters::yayoi(o, lines); });
        QVERIFY(yayoi.startsWith("123456,    0.0"));
        QCOMPARE(capture([&](SjisTextWriter &o) { PayrollWriters::pca2000(o, {line("000007", "b")}); }).left(5),
                 QByteArray("0007,"));
    }

    void failingDeviceStopsTheWriterAndTheEndMark()
    {
        const QVector<TotalsLine> lines{line("000001", "山田"), line("000002", "髙橋")};
        for (qint64 limit : {0, 10, 200}) {
            FailingDevice dev(limit);
            SjisTextWriter out(&dev);
            PayrollWriters::pca2000(out, lines);
            QVERIFY2(out.failed(), qPrintable(QString::number(limit)));
            QCOMPARE(out.errorString(), QStringLiteral("No space left on device"));
            QVERIFY(!dev.written.contains('\x1a'));
        }
        // With room for everything the same writer succeeds and ends with the mark.
        FailingDevice roomy(1 << 20);
        SjisTextWriter ok(&roomy);
        PayrollWriters::pca2000(ok, lines);
        QVERIFY(!ok.failed());
        QVERIFY(roomy.written.endsWith("\r\n\x1a"));
    }
};

QTEST_GUILESS_MAIN(TestExportWriters)
#include "tst_exportwriters.moc"
