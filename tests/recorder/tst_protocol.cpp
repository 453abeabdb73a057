#include "common/Common.h"
#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QTest>

using namespace CalcoloCom;

namespace {

PunchRecord rec(const QString &text) { return parseRecords(text).value(0); }

// A whole record: date and time "MMDDhhmmss", card, in/out, exception code, terminator.
QString record(const QString &when, const QString &card = QStringLiteral("000000001"),
               const QString &io = QStringLiteral("0"), const QString &exc = QStringLiteral("00"))
{
    return when + card + io + exc + QLatin1Char('\r');
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:20:30"); }

    void framesOfBothSets()
    {
        buildCommandSet();
        const CommandSet &s0 = commandSet(0);
        const CommandSet &s1 = commandSet(1);
        QCOMPARE(commandFrame(s0.read), QByteArray("000000  GTND"));
        QCOMPARE(commandFrame(s0.count), QByteArray("000000  GTNC"));
        QCOMPARE(commandFrame(s0.del), QByteArray("000000  DELT"));
        QCOMPARE(commandFrame(s1.count), QByteArray("000000  NUMU"));
        QCOMPARE(commandFrame(s1.read), QByteArray("000000  GETU"));
        QCOMPARE(commandFrame(s1.del), QByteArray("000000  DELE"));
        QCOMPARE(commandFrame(s1.read).size(), kFrameLength);
        QCOMPARE(QString(s0.ack) + s0.second + s0.done + s0.third, QStringLiteral("SCGN"));
        QCOMPARE(QString(s1.ack) + s1.second + s1.done + s1.third, QStringLiteral("RBOE"));
    }

    void repliesAreRecognisedByPosition()
    {
        const QString ack = QStringLiteral("GTND000047S ");
        QVERIFY(hasCommand(ack, QStringLiteral("GTND")));
        QVERIFY(!hasCommand(ack, QStringLiteral("GTNC")));
        QVERIFY(!hasCommand(QStringLiteral("GTN"), QStringLiteral("GTND")));
        QCOMPARE(statusOf(ack), QLatin1Char('S'));
        QCOMPARE(statusOf(QStringLiteral("GTND00004")), QChar());
        int n = 0;
        QVERIFY(numberAt(ack, 4, 6, n));
        QCOMPARE(n, 47);
        QVERIFY(!numberAt(QStringLiteral("GTND00 047S"), 4, 6, n));
        // A window wider than an int holds reads as no number, and leaves the value alone.
        n = 5;
        QVERIFY(!numberAt(QStringLiteral("013104590000"), 0, 12, n));
        QCOMPARE(n, 5);
        QVERIFY(numberAt(QStringLiteral("x2147483647"), 1, 10, n));
        QCOMPARE(n, 2147483647);
        QVERIFY(isHeader(QStringLiteral("\x02") + QStringLiteral("0012")));
        QVERIFY(!isHeader(QStringLiteral("0012")));
        QVERIFY(!isHeader(QString()));
    }

    void recordCountFromAnnouncedLength()
    {
        QCOMPARE(recordCountOf(1), 0);
        QCOMPARE(recordCountOf(23), 0);
        QCOMPARE(recordCountOf(24), 1);
        QCOMPARE(recordCountOf(47), 2);
        QCOMPARE(recordCountOf(230001), 10000);
    }

    void recordsAreCutEvery23CharactersAndSpaceFilled()
    {
        const QString a =
            QStringLiteral("1231041000") + QStringLiteral("000000001") + QStringLiteral("1") + QStringLiteral("07\r");
        const QString b =
            QStringLiteral("0101235959") + QStringLiteral("123456789") + QStringLiteral("0") + QStringLiteral("00\r");
        QCOMPARE(a.size(), 23);
        QVector<PunchRecord> two = parseRecords(a + b);
        QCOMPARE(two.size(), 2);
        QCOMPARE(two[0].month, QStringLiteral("12"));
        QCOMPARE(two[0].day, QStringLiteral("31"));
        QCOMPARE(two[0].hour, QStringLiteral("04"));
        QCOMPARE(two[0].minute, QStringLiteral("10"));
        QCOMPARE(two[0].second, QStringLiteral("00"));
        QCOMPARE(two[0].id, QStringLiteral("000000001"));
        QCOMPARE(two[0].inOut, QStringLiteral("1"));
        QCOMPARE(two[0].exception, QStringLiteral("07"));
        QCOMPARE(two[0].cr, QStringLiteral("\r"));
        QCOMPARE(two[1].id, QStringLiteral("123456789"));
        // a record cut after 7 characters: the fields it lacks are blanks of their width
        QVector<PunchRecord> cut = parseRecords(a + b.left(7));
        QCOMPARE(cut.size(), 2);
        QCOMPARE(cut[1].month, QStringLiteral("01"));
        QCOMPARE(cut[1].hour, QStringLiteral("23"));
        QCOMPARE(cut[1].minute, QStringLiteral("5 "));
        QCOMPARE(cut[1].second, QStringLiteral("  "));
        QCOMPARE(cut[1].id, QStringLiteral("         "));
        QCOMPARE(cut[1].cr, QStringLiteral(" "));
        QCOMPARE(wholeRecords(a + b.left(7)), 1);
        QCOMPARE(wholeRecords(a + b), 2);
    }

    void dateAdjustment_data()
    {
        QTest::addColumn<QString>("today");
        QTest::addColumn<QString>("dayChange");
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("mmddhh");
        QTest::newRow("december before the day change, collected in january") << "2010-01-15"
                                                                              << "05:00"
                                                                              << "12310410" << true << "123028";
        QTest::newRow("after the day change stays") << "2010-01-15"
                                                    << "05:00"
                                                    << "01140510" << true << "011405";
        QTest::newRow("code 17 before the day change moves two days") << "2010-01-15"
                                                                      << "03:00"
                                                                      << "01140210" << true << "011250";
        QTest::newRow("code 07 alone moves one day") << "2010-03-10"
                                                     << "03:00"
                                                     << "03010910" << true << "022833";
        QTest::newRow("leap day in a leap year") << "2012-03-10"
                                                 << "03:00"
                                                 << "02291000" << true << "022910";
        QTest::newRow("leap day in a plain year") << "2011-03-10"
                                                  << "03:00"
                                                  << "02291000" << false << "022910";
        QTest::newRow("april 31") << "2010-05-01"
                                  << "03:00"
                                  << "04311000" << false << "043110";
        QTest::newRow("not a date") << "2010-05-01"
                                    << "03:00"
                                    << "ab011000" << false << "ab0110";
        // An hour that is no number is refused as well, whether it sorts after the day change
        // or before it; the record stays as received.
        QTest::newRow("hour not a number, after the day change") << "2010-05-01"
                                                                 << "03:00"
                                                                 << "0430AB00" << false << "0430AB";
        QTest::newRow("hour not a number, before the day change") << "2010-05-01"
                                                                  << "03:00"
                                                                  << "0430 100" << false << "0430 1";
    }

    void dateAdjustment()
    {
        QFETCH(QString, today);
        QFETCH(QString, dayChange);
        QFETCH(QString, when);
        QFETCH(bool, valid);
        QFETCH(QString, mmddhh);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QString exc = tag.contains(QLatin1String("17"))   ? QStringLiteral("17")
                            : tag.contains(QLatin1String("07")) ? QStringLiteral("07")
                                                                : QStringLiteral("00");
        PunchRecord r = rec(record(when + QStringLiteral("00"), QStringLiteral("000000001"), QStringLiteral("0"), exc));
        QCOMPARE(adjustDate(r, QDate::fromString(today, Qt::ISODate), dayChange), valid);
        QCOMPARE(r.month + r.day + r.hour, mmddhh);
    }

    void insertBindsEveryFieldAndPurgeRemovesBlankMonths()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        Database &db = dbs().intake;
        PunchRecord quoted = rec(record(QStringLiteral("0114090000"), QStringLiteral("12'3\"5678")));
        QVERIFY(insertPunchRecord(db, quoted));
        PunchRecord blank;
        blank.month = QStringLiteral("");
        QVERIFY(insertPunchRecord(db, blank));
        PunchRecord mark = rec(record(QStringLiteral("0114090000")));
        mark.month = QStringLiteral("未");
        QVERIFY(insertPunchRecord(db, mark));
        QVERIFY(purgeBlankRows(db));
        QVector<QStringList> rows;
        QVERIFY(db.select(QStringLiteral("SELECT 月, IDコード, 移行マーク FROM タイムカードテンプ"), rows));
        QCOMPARE(rows,
                 (QVector<QStringList>{{QStringLiteral("01"), QStringLiteral("12'3\"5678"), QStringLiteral("未")}}));
    }

    void resultMessages()
    {
        QCOMPARE(resultMessage(0), QString());
        QCOMPARE(resultMessage(256), QStringLiteral("応答受信がありません。"));
        QCOMPARE(resultMessage(512), QStringLiteral("応答受信が誤っています！"));
        QCOMPARE(resultMessage(1280, QStringLiteral("refused")),
                 QStringLiteral("ＴＣＰエラー 発生！\r\nErr : refused"));
        QCOMPARE(resultMessage(1536), QStringLiteral("タイムレコーダ側が切断されました！"));
        QCOMPARE(resultMessage(1792), QStringLiteral("タイムレコーダと接続できません！"));
        QCOMPARE(resultMessage(2304),
                 QStringLiteral("データ件数が10000件を超えます！\r\n収集データのデータ処理を行ってください。"));
        QCOMPARE(resultMessage(2560), QStringLiteral("年度が違うデータがありました。"));
        QCOMPARE(resultMessage(3840, runtimeErrorText(9)),
                 QStringLiteral("通信エラー 発生！\r\nErr : インデックスが有効範囲にありません。"));
    }

    void logsAreShiftJisLinesNamedByTheMonth()
    {
        TestHome home;
        setLogPaths(Clock::today());
        QCOMPARE(commLogPath(), home.file(QStringLiteral("data/E201001.log")));
        QCOMPARE(errorLogPath(), home.file(QStringLiteral("data/E201001.err")));
        resetCommLog();
        logExchange(true, QStringLiteral("000000  GTNC"));
        logExchange(false, QStringLiteral("  GTNC000000S  "));
        QVERIFY(QFile::exists(commLogPath()) == false); // buffered until flushed
        flushCommLog();
        QVERIFY(commLogBuffer().isEmpty());
        const QByteArray expected = SjisText::encode(QStringLiteral("2010/01/15 10:20:30 → 000000  GTNC\r\n"
                                                                    "2010/01/15 10:20:30 ← GTNC000000S\r\n"));
        QCOMPARE(fileBytes(commLogPath()), expected);
        QVERIFY(expected.contains("\x81\xa8")); // the arrow in code page 932
        logExchange(true, QStringLiteral("000000  DELT"));
        flushCommLog();
        QVERIFY(fileBytes(commLogPath()).startsWith(expected)); // appended, never rewritten
        logError(resultMessage(2304));
        QCOMPARE(fileBytes(errorLogPath()),
                 SjisText::encode(QStringLiteral("2010/01/15 10:20:30 ： データ件数が10000件を超えます！\r\n"
                                                 "収集データのデータ処理を行ってください。\r\n")));
    }

    void unwritableLogIsIgnoredAndBufferEmptied()
    {
        TestHome home(false); // no data folder: the log cannot be written
        setLogPaths(Clock::today());
        resetCommLog();
        logExchange(true, QStringLiteral("000000  GTNC"));
        flushCommLog();
        QVERIFY(commLogBuffer().isEmpty());
        QVERIFY(!QFile::exists(commLogPath()));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
