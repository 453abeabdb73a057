#include "common/Common.h"
#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "recorder/LanLink.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/RecorderSimulator.h"

#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace CalcoloCom;

namespace {

QString rec(const QString &mmddhhmmss, int card = 1, int io = 0, const QString &exc = QStringLiteral("00"))
{
    return mmddhhmmss + zeroPad(card, 9) + QString::number(io) + exc;
}

QStringList logLines()
{
    QFile f(commLogPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = SjisText::decode(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int intakeRows(const QString &where = QStringLiteral("1=1"))
{
    QVector<QStringList> r;
    dbs().intake.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ WHERE ") + where, r);
    return r.value(0).value(0).toInt();
}

CollectionResult collect(quint16 port, int set = 0, int waiting = 0, const QString &dayChange = QStringLiteral("03:00"))
{
    LanLink link(dbs().intake);
    LanLink::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.commandSet = set;
    s.waitingRows = waiting;
    s.dayChange = dayChange;
    link.setSettings(s);
    QSignalSpy done(&link, &LanLink::finished);
    link.start();
    if (!done.wait(20000))
        qWarning("the link did not finish");
    return link.result();
}

// A peer that, after the read acknowledgement and its header, sends records without end.
struct EndlessPeer {
    QTcpServer server;
    QPointer<QTcpSocket> client;
    QTimer pump;
    QStringList frames;

    EndlessPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        pump.setInterval(2);
        QObject::connect(&pump, &QTimer::timeout, [this] {
            if (!client || client->state() != QAbstractSocket::ConnectedState) {
                pump.stop();
                return;
            }
            QByteArray many;
            for (int i = 0; i < 100; ++i)
                many += rec(QStringLiteral("0114083000"), i + 1).toLatin1() + '\r';
            client->write(many);
        });
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, [this] {
                const QByteArray f = client->readAll();
                frames << QString::fromLatin1(f);
                if (f.endsWith("GTNC")) {
                    client->write("GTNC000000S \x02"
                                  "0001\x03GTNC000000G ");
                } else if (f.endsWith("GTND")) {
                    client->write("GTND000024S \x02\x03");
                    QTimer::singleShot(RecorderSimulator::kHeaderPauseMs, &pump, [this] { pump.start(); });
                }
            });
        });
    }
};

// A peer that answers each command with a fixed script of messages, paced like the simulator.
struct ScriptedPeer {
    QTcpServer server;
    QHash<QString, QList<QByteArray>> replies;
    QPointer<QTcpSocket> client;
    QStringList frames;
    int pause = 5; // ms between two messages

    ScriptedPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, [this] {
                const QByteArray f = client->readAll();
                frames << QString::fromLatin1(f);
                send(replies.value(QString::fromLatin1(f.mid(8, 4))), 0);
            });
        });
    }
    void send(QList<QByteArray> msgs, int delay)
    {
        if (msgs.isEmpty())
            return;
        QTimer::singleShot(delay, &server, [this, msgs]() mutable {
            if (!client)
                return;
            const QByteArray m = msgs.takeFirst();
            client->write(m);
            client->flush();
            // A header is kept apart from the records after it, as a recorder does.
            send(msgs, m.startsWith('\x02') ? RecorderSimulator::kHeaderPauseMs : pause);
        });
    }
};

} // namespace

class TestLanLink : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:20:30"); }

    // However the recorder's messages share reads or are cut across them, the collection gives
    // the rows, log lines and result of one message per read. Merged: status + header + status
    // of the count in one read, the read acknowledgement with its header, the records with the
    // completion, both delete replies. Cut: each status after three characters, the count inside
    // the count header, the record message at 33 characters.
    void sameCollectionHoweverTheMessagesArrive_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("delivery");
        for (int set : {0, 1}) {
            QTest::addRow("set %d, one message per write", set) << set << int(RecorderSimulator::Each);
            QTest::addRow("set %d, merged", set) << set << int(RecorderSimulator::Merged);
            QTest::addRow("set %d, cut", set) << set << int(RecorderSimulator::Cut);
        }
    }

    void sameCollectionHoweverTheMessagesArrive()
    {
        QFETCH(int, set);
        QFETCH(int, delivery);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        setLogPaths(Clock::today());
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.commandSet = set;
        o.delivery = RecorderSimulator::Delivery(delivery);
        o.recordsPerMessage = 3; // one record message: records of several messages in one read are one message
        sim.setOptions(o);
        sim.setPunches({rec(QStringLiteral("0114083000")), rec(QStringLiteral("0114173000"), 1, 1),
                        rec(QStringLiteral("0115021000"), 2, 1)});
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port(), set);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.inserted, 3);
        QCOMPARE(sim.deleteCount(), 1);
        QVERIFY(sim.punches().isEmpty());

        QVector<QStringList> rows;
        QVERIFY(dbs().intake.select(
            QStringLiteral(
                "SELECT 月, 日, 時, IDコード, 入退, 異例コード, CR, 移行マーク FROM タイムカードテンプ ORDER BY rowid"),
            rows));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], (QStringList{"01", "14", "08", "000000001", "0", "00", "\r", "未"}));
        QCOMPARE(rows[1], (QStringList{"01", "14", "17", "000000001", "1", "00", "\r", "未"}));
        // 02:10 is before the day change (03:00): it belongs to the day before, hour 26
        QCOMPARE(rows[2], (QStringList{"01", "14", "26", "000000002", "1", "00", "\r", "未"}));

        const CommandSet &cs = commandSet(set);
        const QStringList log = logLines();
        const QString records = rec(QStringLiteral("0114083000")) + QLatin1Char('\r')
                                + rec(QStringLiteral("0114173000"), 1, 1) + QLatin1Char('\r')
                                + rec(QStringLiteral("0115021000"), 2, 1) + QLatin1Char('\r');
        QStringList expect;
        expect << QStringLiteral("→ 000000  ") + cs.count
               << QStringLiteral("← ") + cs.count + QStringLiteral("000000") + cs.ack
               << QStringLiteral("← \x02") + QStringLiteral("0003\x03")
               << QStringLiteral("← ") + cs.count + QStringLiteral("000000") + cs.done
               << QStringLiteral("→ 000000  ") + cs.read
               << QStringLiteral("← ") + cs.read + QStringLiteral("000070") + cs.ack
               << QStringLiteral("← \x02") + QStringLiteral("0003\x03") << QStringLiteral("← ") + records
               << QStringLiteral("← ") + cs.read + QStringLiteral("000000") + cs.done
               << QStringLiteral("→ 000000  ") + cs.del
               << QStringLiteral("← ") + cs.del + QStringLiteral("000000") + cs.ack
               << QStringLiteral("← ") + cs.del + QStringLiteral("000000") + cs.done;
        QCOMPARE(log.size(), expect.size());
        for (int i = 0; i < log.size(); ++i) {
            QVERIFY2(log[i].startsWith(QStringLiteral("2010/01/15 10:20:30 ")), qPrintable(log[i]));
            QCOMPARE(log[i].mid(20), expect[i]);
        }
    }

    // Many record messages of one record each, merged or cut on the way: the same rows.
    void manyRecordMessagesMergedOrCut_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::newRow("merged") << int(RecorderSimulator::Merged);
        QTest::newRow("cut") << int(RecorderSimulator::Cut);
    }

    void manyRecordMessagesMergedOrCut()
    {
        QFETCH(int, delivery);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.delivery = RecorderSimulator::Delivery(delivery);
        sim.setOptions(o);
        const QStringList held = RecorderSimulator::generate(200, Clock::today());
        sim.setPunches(held);
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.inserted, 200);
        QVector<QStringList> rows;
        QVERIFY(
            dbs().intake.select(QStringLiteral("SELECT 月 || 日 || 時 || 分 || 秒 || IDコード || 入退 || 異例コード "
                                               "FROM タイムカードテンプ ORDER BY rowid"),
                                rows));
        QStringList got;
        for (const QStringList &row : rows)
            got << row.value(0);
        QCOMPARE(got, held); // in the order sent, none lost, none shifted (10:20 is past the day change)
        QCOMPARE(sim.deleteCount(), 1);
    }

    void nothingStoredEndsAfterTheCount()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 0);
        QCOMPARE(sim.framesReceived(), QStringList{QStringLiteral("000000  GTNC")});
    }

    void tenThousandRowLimit_data()
    {
        QTest::addColumn<int>("held");
        QTest::addColumn<int>("code");
        QTest::newRow("9990 + 11 refused") << 11 << 2304;
        QTest::newRow("9990 + 10 proceeds") << 10 << 0;
    }

    void tenThousandRowLimit()
    {
        QFETCH(int, held);
        QFETCH(int, code);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        sim.setPunches(RecorderSimulator::generate(held, Clock::today()));
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port(), 0, 9990);
        QCOMPARE(r.code, code);
        QCOMPARE(sim.punches().size(), code ? held : 0);
        QCOMPARE(intakeRows(), code ? 0 : held);
    }

    void failures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kept"); // rows in the intake table afterwards
        QTest::newRow("never answers: 256") << int(RecorderSimulator::Silent) << 256 << 0;
        QTest::newRow("wrong status: 512") << int(RecorderSimulator::WrongStatus) << 512 << 0;
        QTest::newRow("closes mid-read: 1536") << int(RecorderSimulator::CloseMidRead) << 1536 << 0;
        QTest::newRow("short record: 512, received rows stay") << int(RecorderSimulator::Malformed) << 512 << 4;
    }

    void failures()
    {
        QFETCH(int, fault);
        QFETCH(int, code);
        QFETCH(int, kept);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.fault = RecorderSimulator::Fault(fault);
        sim.setOptions(o);
        const QStringList held = RecorderSimulator::generate(4, Clock::today());
        sim.setPunches(held);
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, code);
        QCOMPARE(intakeRows(), kept);
        // the recorder keeps everything: no delete frame was sent
        QCOMPARE(sim.deleteCount(), 0);
        QCOMPARE(sim.punches().size(), 4);
        for (const QString &f : sim.framesReceived())
            QVERIFY(!f.endsWith(QLatin1String("DELT")));
    }

    void noListenerIs1792()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        quint16 port = 0;
        {
            QTcpServer s;
            QVERIFY(s.listen(QHostAddress::LocalHost, 0));
            port = s.serverPort();
        }
        const CollectionResult r = collect(port);
        QCOMPARE(r.code, 1792);
        QCOMPARE(r.message(), QStringLiteral("タイムレコーダと接続できません！"));
    }

    void dayMissingFromItsMonthIs2560ButCompletes()
    {
        qputenv("CORVAN21_NOW", "2011-03-10T10:00:00");
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201103")));
        RecorderSimulator sim;
        sim.setPunches({rec(QStringLiteral("0229100000")), rec(QStringLiteral("0301100000"))});
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 2560);
        QCOMPARE(r.message(), QStringLiteral("年度が違うデータがありました。"));
        QCOMPARE(intakeRows(QStringLiteral("月 = '02' AND 日 = '29'")), 1);
        QCOMPARE(intakeRows(), 2);
        QCOMPARE(sim.deleteCount(), 1);
    }

    void moreRecordsThanAnnouncedAreAllKept()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.fault = RecorderSimulator::ExtraRecords;
        sim.setOptions(o);
        sim.setPunches(RecorderSimulator::generate(5, Clock::today()));
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 0);
        QCOMPARE(intakeRows(), 5);
        QVERIFY(sim.punches().isEmpty());
    }

    void recordScratchLimitIs3840()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.fault = RecorderSimulator::ExtraRecords;
        o.recordsPerMessage = 100;
        o.gapMs = 1;
        sim.setOptions(o);
        sim.setPunches(RecorderSimulator::generate(10002, Clock::today()));
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 3840);
        QCOMPARE(r.errorNumber, 9);
        QCOMPARE(r.message(), QStringLiteral("通信エラー 発生！\r\nErr : インデックスが有効範囲にありません。"));
        QCOMPARE(intakeRows(), 10001);
        QCOMPARE(sim.deleteCount(), 0);
    }

    void aRecordTheIntakeRefusesKeepsTheRecordersMemory()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVERIFY(dbs().intake.exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON タイムカードテンプ WHEN "
                           "NEW.IDコード = '000000003' BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        RecorderSimulator sim;
        sim.setPunches({rec(QStringLiteral("0114083000"), 1), rec(QStringLiteral("0114083000"), 2),
                        rec(QStringLiteral("0114083000"), 3), rec(QStringLiteral("0114083000"), 4)});
        QVERIFY(sim.listen(0));
        const CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 3840);
        QVERIFY(r.message().contains(QLatin1String("disk full")));
        QCOMPARE(intakeRows(), 2); // what was stored before the failure stays
        QCOMPARE(sim.deleteCount(), 0);
        QCOMPARE(sim.punches().size(), 4);
    }

    void otherMessagesBeforeTheReadAcknowledgementStillTimeOut()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedPeer peer;
        peer.replies[QStringLiteral("GTNC")] = {"GTNC000000S ",
                                                "\x02"
                                                "0001\x03",
                                                "GTNC000000G "};
        peer.replies[QStringLiteral("GTND")] = {"GTNC000000S ", "DELT000000G ", "GTNC000000G "};
        QElapsedTimer t;
        t.start();
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, 256);
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(peer.frames.size(), 2);
    }

    void announcedLengthBelow24EndsWithoutDelete()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedPeer peer;
        peer.replies[QStringLiteral("GTNC")] = {"GTNC000000S ",
                                                "\x02"
                                                "0001\x03",
                                                "GTNC000000G "};
        peer.replies[QStringLiteral("GTND")] = {"GTNC000000S ", "GTND000023S ", "GTND000000G "};
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, 0);
        QCOMPARE(peer.frames, (QStringList{QStringLiteral("000000  GTNC"), QStringLiteral("000000  GTND")}));
    }

    void statusOfAnotherCommandAmongRecordsIsARecord()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedPeer peer;
        const QByteArray one = rec(QStringLiteral("0114083000")).toLatin1() + "\r";
        peer.replies[QStringLiteral("GTNC")] = {"GTNC000000S ",
                                                "\x02"
                                                "0002\x03",
                                                "GTNC000000G "};
        // one record announced (N = 24): the stray status message is parsed as a second record
        peer.replies[QStringLiteral("GTND")] = {"GTND000024S ", "\x02\x03", one, "DELT000000G ", "GTND000000G "};
        peer.replies[QStringLiteral("DELT")] = {"DELT000000S ", "DELT000000G "};
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, 2560); // "DE" is no month: kept as received, flagged, and the collection completes
        QCOMPARE(intakeRows(), 2);
        QCOMPARE(intakeRows(QStringLiteral("月 = 'DE' AND 日 = 'LT'")), 1);
        QCOMPARE(peer.frames.last(), QStringLiteral("000000  DELT"));
    }

    void wrongReadCompletionSendsNoDelete()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedPeer peer;
        const QByteArray one = rec(QStringLiteral("0114083000")).toLatin1() + "\r";
        peer.replies[QStringLiteral("GTNC")] = {"GTNC000000S ",
                                                "\x02"
                                                "0001\x03",
                                                "GTNC000000G "};
        peer.replies[QStringLiteral("GTND")] = {"GTND000024S ", "\x02\x03", one, "GTND000000N "};
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, 512);
        QCOMPARE(peer.frames.size(), 2);
    }

    // A month, day or hour that is not a number: the record is stored as received and the
    // collection says so (2560), the recorder is erased all the same, and the next collection
    // is not held up by it. (Refusing with 3840 instead would leave it in the recorder to fail
    // every later collection.)
    void garbledRecordsAreKeptAndDoNotBlockTheNextCollection()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        RecorderSimulator sim;
        const QStringList garbled{QStringLiteral("1A14083000000000002000"), QStringLiteral("01X4083000000000003000"),
                                  QStringLiteral("0114AB3000000000004000"), QStringLiteral("0114 83000000000005000")};
        sim.setPunches(QStringList{rec(QStringLiteral("0114083000"))} + garbled);
        QVERIFY(sim.listen(0));
        CollectionResult r = collect(sim.port());
        QCOMPARE(r.code, 2560);
        QCOMPARE(r.message(), QStringLiteral("年度が違うデータがありました。"));
        QCOMPARE(intakeRows(), 5);
        QVector<QStringList> rows;
        QVERIFY(
            dbs().intake.select(QStringLiteral("SELECT 月 || 日 || 時 || 分 || 秒 || IDコード || 入退 || 異例コード "
                                               "FROM タイムカードテンプ ORDER BY rowid"),
                                rows));
        for (int i = 0; i < garbled.size(); ++i)
            QCOMPARE(rows.value(i + 1).value(0), garbled.at(i)); // as received, nothing moved
        QCOMPARE(sim.deleteCount(), 1);
        QVERIFY(sim.punches().isEmpty());

        sim.setPunches({rec(QStringLiteral("0115090000"), 7)});
        r = collect(sim.port());
        QCOMPARE(r.code, 0);
        QCOMPARE(intakeRows(), 6);
    }

    // A peer that sends records without end is stopped once they would overflow the record
    // table: what fits is stored, the collection fails with the table's own error, and the
    // recorder is not erased.
    void endlessRecordsStopAtTheRecordTable()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        EndlessPeer peer;
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, 3840);
        QCOMPARE(r.errorNumber, 9);
        QCOMPARE(r.message(), QStringLiteral("通信エラー 発生！\r\nErr : インデックスが有効範囲にありません。"));
        QCOMPARE(intakeRows(), kRecordSlots);
        QCOMPARE(peer.frames.size(), 2); // no delete
    }

    // Record data that never breaks at a whole record for longer than the reply wait: the
    // records keep their place, none is handed out cut.
    void longRunOfCutRecordsKeepsItsAlignment()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedPeer peer;
        peer.pause = 20; // 60 parts: longer than the reply wait
        QByteArray all;
        for (int i = 0; i < 61; ++i)
            all += rec(QStringLiteral("0114083000"), i + 1).toLatin1() + '\r';
        QList<QByteArray> read{"GTND001404S ", "\x02\x03", all.left(10)};
        for (qsizetype at = 10; at + 13 < all.size(); at += kRecordLength)
            read << all.mid(at, kRecordLength); // each read ends ten characters into a record
        read << all.right(13) + "GTND000000G ";
        peer.replies[QStringLiteral("GTNC")] = {"GTNC000000S ",
                                                "\x02"
                                                "0061\x03",
                                                "GTNC000000G "};
        peer.replies[QStringLiteral("GTND")] = read;
        peer.replies[QStringLiteral("DELT")] = {"DELT000000S ", "DELT000000G "};
        QElapsedTimer t;
        t.start();
        const CollectionResult r = collect(peer.server.serverPort());
        QVERIFY(t.elapsed() > LanLink::kReplyTimeout);
        QCOMPARE(r.code, 0);
        QCOMPARE(intakeRows(), 61);
        QCOMPARE(intakeRows(QStringLiteral("月 = '01' AND 日 = '14' AND 時 = '08' AND CR = '\r'")), 61);
        QCOMPARE(peer.frames.last(), QStringLiteral("000000  DELT"));
    }

    // A recorder that falls silent in the middle of a message: what it sent is handled as it
    // stands, with the result and log line the message had when it came on its own.
    void silenceInTheMiddleOfAMessage_data()
    {
        QTest::addColumn<QList<QByteArray>>("count");
        QTest::addColumn<QList<QByteArray>>("read");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("lastLine");
        const QByteArray one = rec(QStringLiteral("0114083000")).toLatin1() + "\r";
        const QList<QByteArray> count{"GTNC000000S ",
                                      "\x02"
                                      "0001\x03",
                                      "GTNC000000G "};
        QTest::newRow("a status of six characters: 512")
            << QList<QByteArray>{"GTNC00"} << QList<QByteArray>{} << 512 << QStringLiteral("← GTNC00");
        QTest::newRow("a count without its completion: 256") << QList<QByteArray>{"GTNC000000S ", "\x02"
                                                                                                  "0001\x03"}
                                                             << QList<QByteArray>{} << 256
                                                             << QStringLiteral("← \x02"
                                                                               "0001\x03");
        QTest::newRow("a record cut short: 256, nothing stored")
            << count << QList<QByteArray>{"GTND000024S ", "\x02\x03", one.left(9)} << 256
            << QStringLiteral("← ") + QString::fromLatin1(one.left(9));
    }

    void silenceInTheMiddleOfAMessage()
    {
        QFETCH(QList<QByteArray>, count);
        QFETCH(QList<QByteArray>, read);
        QFETCH(int, code);
        QFETCH(QString, lastLine);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        setLogPaths(Clock::today());
        ScriptedPeer peer;
        peer.replies[QStringLiteral("GTNC")] = count;
        peer.replies[QStringLiteral("GTND")] = read;
        const CollectionResult r = collect(peer.server.serverPort());
        QCOMPARE(r.code, code);
        QCOMPARE(intakeRows(), 0);
        QCOMPARE(logLines().last().mid(20), lastLine);
        QCOMPARE(peer.frames.last().right(4), read.isEmpty() ? QStringLiteral("GTNC") : QStringLiteral("GTND"));
    }
};

QTEST_GUILESS_MAIN(TestLanLink)
#include "tst_lanlink.moc"
