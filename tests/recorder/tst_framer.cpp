// The recorder's messages taken off the bytes of a stream, read by read, with the ends the
// conversation awaits; and the simulator's writes that put them on the wire merged or cut.

#include "recorder/CalcoloCom.h"
#include "recorder/ReplyFramer.h"
#include "tools/simulator/RecorderSimulator.h"

#include <QTest>

using Expect = ReplyFramer::Expect;
using Reads = QList<QByteArray>;

Q_DECLARE_METATYPE(ReplyFramer::Expect)

namespace {

const QByteArray kRec1 = "0114083000000000001000\r";
const QByteArray kRec2 = "0114173000000000001100\r";
const QByteArray kRec3 = "0115021000000000002100\r";
const QByteArray kThree = QByteArray(kRec1 + kRec2 + kRec3);

// Feeds the reads one by one and takes the messages off after each, the n-th with expects[n]
// (the last one repeats); what is held at the end is handed out as the reply wait would.
// A message handed out that way is marked with a leading '~'.
QList<QByteArray> frame(const Reads &reads, const QList<Expect> &expects, int set = 0)
{
    ReplyFramer f;
    f.setCommands(CalcoloCom::commandSet(set));
    QList<QByteArray> out;
    const auto expect = [&] { return expects.value(out.size(), expects.last()); };
    QByteArray m;
    for (const QByteArray &r : reads) {
        f.append(r);
        while (f.take(expect(), m))
            out << m;
    }
    if (f.takeRest(m))
        out << "~" + m;
    return out;
}

QList<Expect> countConversation() { return {Expect::Reply, Expect::CountHeader, Expect::Reply}; }
QList<Expect> readConversation() { return {Expect::Reply, Expect::ReadHeader, Expect::Records}; }

} // namespace

class TestFramer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { CalcoloCom::buildCommandSet(); }

    // Several messages in one read are taken one after the other; a cut one is held until it is
    // whole. Every row gives the messages a recorder sent, each whole.
    void messagesOfTheStream_data()
    {
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<QList<Expect>>("expects");
        QTest::addColumn<QList<QByteArray>>("messages");
        const QList<QByteArray> count{"GTNC000000S ",
                                      "\x02"
                                      "0003\x03",
                                      "GTNC000000G "};
        QTest::newRow("count: status + header + status in one read") << Reads{"GTNC000000S \x02"
                                                                              "0003\x03GTNC000000G "}
                                                                     << countConversation() << count;
        QTest::newRow("count: status cut after three characters") << Reads{"GTN", "C000000S ",
                                                                           "\x02"
                                                                           "0003\x03",
                                                                           "GTNC000000G "}
                                                                  << countConversation() << count;
        QTest::newRow("count: status cut inside its number, then the rest with the header")
            << Reads{"GTNC00",
                     "0000S \x02"
                     "0003\x03",
                     "GTNC000000G "}
            << countConversation() << count;
        QTest::newRow("count: header cut inside its count") << Reads{"GTNC000000S \x02"
                                                                     "0",
                                                                     "003\x03", "GTNC000000G "}
                                                            << countConversation() << count;
        QTest::newRow("count: header cut after its count, before the text end") << Reads{"GTNC000000S \x02"
                                                                                         "0003",
                                                                                         "\x03", "GTNC000000G "}
                                                                                << countConversation() << count;
        QTest::newRow("count: blank of a status arriving in the next read")
            << Reads{"GTNC000000S", " \x02"
                                    "0003\x03GTNC000000G "}
            << countConversation()
            << QList<QByteArray>{"GTNC000000S",
                                 "\x02"
                                 "0003\x03",
                                 "GTNC000000G "};
        QTest::newRow("count: the completion cut inside its command") << Reads{"GTNC000000S \x02"
                                                                               "0003\x03GT",
                                                                               "NC000000G "}
                                                                      << countConversation() << count;

        QTest::newRow("read: acknowledgement and header in one read, records + completion in the next")
            << Reads{"GTND000070S \x02"
                     "0003\x03",
                     kRec1 + kRec2 + kRec3 + "GTND000000G "}
            << readConversation()
            << QList<QByteArray>{"GTND000070S ",
                                 "\x02"
                                 "0003\x03",
                                 kRec1 + kRec2 + kRec3, "GTND000000G "};
        QTest::newRow("read: a record message of three cut at 30 and at 50")
            << Reads{"GTND000070S ", "\x02\x03", kThree.left(30), kThree.mid(30, 20), kThree.mid(50), "GTND000000G "}
            << readConversation()
            << QList<QByteArray>{"GTND000070S ", "\x02\x03", kRec1 + kRec2 + kRec3, "GTND000000G "};
        QTest::newRow("read: record messages one by one, the last cut and sent with the completion")
            << Reads{"GTND000070S ", "\x02\x03", kRec1, kRec2, kRec3.left(5), kRec3.mid(5) + "GTND000000G "}
            << readConversation() << QList<QByteArray>{"GTND000070S ", "\x02\x03", kRec1, kRec2, kRec3, "GTND000000G "};
        QTest::newRow("read: a short last record is ended by the completion in the same read")
            << Reads{"GTND000047S ", "\x02\x03", kRec1 + kRec2.left(7) + "GTND000000G "} << readConversation()
            << QList<QByteArray>{"GTND000047S ", "\x02\x03", kRec1 + kRec2.left(7), "GTND000000G "};
        QTest::newRow("read: a status of another command among the records stays apart from them")
            << Reads{"GTND000047S ", "\x02\x03", kRec1 + "DELT000000G " + kRec2 + "GTND000000G "} << readConversation()
            << QList<QByteArray>{"GTND000047S ", "\x02\x03", kRec1, "DELT000000G ", kRec2, "GTND000000G "};
        QTest::newRow("delete: both replies in one read")
            << Reads{"DELT000000S DELT000000G "} << QList<Expect>{Expect::Reply}
            << QList<QByteArray>{"DELT000000S ", "DELT000000G "};
        QTest::newRow("set 1: count in one read") << Reads{"NUMU000000R \x02"
                                                           "0003\x03NUMU000000O "}
                                                  << countConversation()
                                                  << QList<QByteArray>{"NUMU000000R ",
                                                                       "\x02"
                                                                       "0003\x03",
                                                                       "NUMU000000O "};
    }

    void messagesOfTheStream()
    {
        QFETCH(Reads, reads);
        QFETCH(QList<Expect>, expects);
        QFETCH(QList<QByteArray>, messages);
        const int set = reads.first().startsWith("NUMU") ? 1 : 0;
        QCOMPARE(frame(reads, expects, set), messages);
    }

    // One message per read, as a recorder's messages mostly come, gives each read as one
    // message, whatever it holds: short, garbled or of another kind than awaited.
    void oneMessagePerReadIsEachRead_data()
    {
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<QList<Expect>>("expects");
        QTest::newRow("a whole count") << Reads{"GTNC000000S ",
                                                "\x02"
                                                "0003\x03",
                                                "GTNC000000G "}
                                       << countConversation();
        QTest::newRow("a whole read") << Reads{"GTND000070S ",
                                               "\x02"
                                               "0003\x03",
                                               kRec1,
                                               kRec2,
                                               kRec3,
                                               "GTND000000G "}
                                      << readConversation();
        QTest::newRow("garbage where a status is awaited") << Reads{"hello", "GTNC000000S "} << countConversation();
        QTest::newRow("a header where a status is awaited") << Reads{"\x02"
                                                                     "0003\x03",
                                                                     "GTNC000000S "}
                                                            << QList<Expect>{Expect::Reply};
        QTest::newRow("a record message of 30 characters, then the completion")
            << Reads{"GTND000047S ", "\x02\x03", kRec1 + kRec2.left(7), "GTND000000G "} << readConversation();
        QTest::newRow("a header and records of the read in one message, as today")
            << Reads{"GTND000047S ", "\x02\x03" + kRec1 + kRec2, "GTND000000G "} << readConversation();
        QTest::newRow("a count header too short for its count") << Reads{"GTNC000000S ",
                                                                         "\x02"
                                                                         "00",
                                                                         "GTNC000000G "}
                                                                << countConversation();
    }

    void oneMessagePerReadIsEachRead()
    {
        QFETCH(Reads, reads);
        QFETCH(QList<Expect>, expects);
        QCOMPARE(frame(reads, expects), QList<QByteArray>(reads));
    }

    // When the reply wait runs out, what is held is handed out as it stands: a short status is
    // then refused as it always was, instead of being waited for without end.
    void theRestWhenTheRecorderFallsSilent_data()
    {
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<QList<Expect>>("expects");
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::newRow("a status of six characters")
            << Reads{"GTNC00"} << countConversation() << QList<QByteArray>{"~GTNC00"};
        QTest::newRow("the first letters of a command")
            << Reads{"GT"} << countConversation() << QList<QByteArray>{"~GT"};
        QTest::newRow("a count header without its completion") << Reads{"GTNC000000S ", "\x02"
                                                                                        "0003\x03"}
                                                               << countConversation()
                                                               << QList<QByteArray>{"GTNC000000S ", "~\x02"
                                                                                                    "0003\x03"};
        QTest::newRow("record data cut inside a record")
            << Reads{"GTND000047S ", "\x02\x03", kRec1 + kRec2.left(3)} << readConversation()
            << QList<QByteArray>{"GTND000047S ", "\x02\x03", "~" + kRec1 + kRec2.left(3)};
    }

    void theRestWhenTheRecorderFallsSilent()
    {
        QFETCH(Reads, reads);
        QFETCH(QList<Expect>, expects);
        QFETCH(QList<QByteArray>, messages);
        QCOMPARE(frame(reads, expects), messages);
    }

    // Cut at any point, a count conversation and the replies before the read's records give
    // the messages sent whole. (A blank cut off after a status is dropped; the messages are
    // compared as the log shows them, without surrounding blanks.)
    void everyCutGivesTheWholeMessages()
    {
        const auto shown = [](const QList<QByteArray> &l) {
            QList<QByteArray> out;
            for (const QByteArray &m : l)
                out << QByteArray(m).replace(' ', "");
            return out;
        };
        const QList<QByteArray> count{"GTNC000000S ",
                                      "\x02"
                                      "0003\x03",
                                      "GTNC000000G "};
        const QByteArray all = count.join();
        for (qsizetype at = 1; at < all.size(); ++at)
            QCOMPARE(shown(frame({all.left(at), all.mid(at)}, countConversation())), shown(count));

        // The read header always ends its read (see ReplyFramer): the cut falls before it.
        const QList<QByteArray> read{"GTND000070S ",
                                     "\x02"
                                     "0003\x03",
                                     kRec1 + kRec2 + kRec3, "GTND000000G "};
        const QByteArray head = read.at(0) + read.at(1);
        for (qsizetype at = 1; at <= read.at(0).size(); ++at)
            QCOMPARE(shown(frame({head.left(at), head.mid(at), read.at(2) + read.at(3)}, readConversation())),
                     shown(read));

        const QList<QByteArray> del{"DELT000000S ", "DELT000000G "};
        const QByteArray both = del.join();
        for (qsizetype at = 1; at < both.size(); ++at)
            QCOMPARE(shown(frame({both.left(at), both.mid(at)}, {Expect::Reply})), shown(del));
    }

    // A record cut across reads never shifts the 23-character walk.
    void recordsCutAnywhereParseAsWhole()
    {
        const QByteArray records = kThree;
        for (qsizetype at = 1; at < records.size(); ++at) {
            const QList<QByteArray> m = frame(
                {"GTND000070S ", "\x02\x03", records.left(at), records.mid(at), "GTND000000G "}, readConversation());
            QByteArray joined;
            for (int i = 2; i + 1 < m.size(); ++i)
                joined += m.at(i);
            QCOMPARE(joined, records);
            for (int i = 2; i + 1 < m.size(); ++i)
                QCOMPARE(m.at(i).size() % CalcoloCom::kRecordLength, 0);
        }
    }

    // ---- the simulator's writes ----

    void simulatorWrites_data()
    {
        using S = RecorderSimulator;
        QTest::addColumn<int>("delivery");
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QList<int>>("pauses");
        QTest::newRow("each") << int(S::Each)
                              << QList<QByteArray>{"GTND000070S ", "\x02\x03", kRec1 + kRec2, kRec3, "GTND000000G "}
                              << QList<int>{0, S::kHeaderPauseMs, 0, 0, 0};
        QTest::newRow("merged: never the header with the records, never two record messages")
            << int(S::Merged) << QList<QByteArray>{"GTND000070S \x02\x03", kRec1 + kRec2, kRec3 + "GTND000000G "}
            << QList<int>{S::kHeaderPauseMs, 0, 0};
        QTest::newRow("cut: status after three, records off the 23 grid, the header whole")
            << int(S::Cut)
            << QList<QByteArray>{"GTN",
                                 "D000070S ",
                                 "\x02\x03",
                                 QByteArray(kRec1 + kRec2).left(33),
                                 QByteArray(kRec1 + kRec2).mid(33),
                                 kRec3.left(10),
                                 kRec3.mid(10),
                                 "GTN",
                                 "D000000G "}
            << QList<int>{S::kCutPauseMs, 0, S::kHeaderPauseMs, S::kCutPauseMs, 0, S::kCutPauseMs, 0,
                          S::kCutPauseMs, 0};
    }

    void simulatorWrites()
    {
        using S = RecorderSimulator;
        QFETCH(int, delivery);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QList<int>, pauses);
        const QList<S::Message> reply{{"GTND000070S ", S::Status},
                                      {"\x02\x03", S::ReadHeader},
                                      {kRec1 + kRec2, S::Records},
                                      {kRec3, S::Records},
                                      {"GTND000000G ", S::Status}};
        S::Options o;
        o.delivery = S::Delivery(delivery);
        QList<QByteArray> got;
        QList<int> gotPauses;
        for (const S::Write &w : S::writesFor(reply, o)) {
            got << w.bytes;
            gotPauses << w.pauseAfter;
        }
        QCOMPARE(got, writes);
        QCOMPARE(gotPauses, pauses);
        // Whatever the mode, the bytes are the reply's, in order.
        QByteArray all;
        for (const S::Message &m : reply)
            all += m.bytes;
        QCOMPARE(got.join(), all);
    }

    void simulatorCutsTheCountInsideTheNumber()
    {
        using S = RecorderSimulator;
        const S::Message header{"\x02"
                                "0003\x03",
                                S::CountHeader};
        QCOMPARE(S::cutPoint(header), 2);
        QCOMPARE(S::cutPoint({"\x02\x03", S::ReadHeader}), 0);
        QCOMPARE(S::cutPoint({kRec1.left(7), S::Records}), 0);
        QCOMPARE(S::cutPoint({"ab", S::Status}), 0); // too short to cut after three
    }
};

QTEST_GUILESS_MAIN(TestFramer)
#include "tst_framer.moc"
