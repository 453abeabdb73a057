// kestousbd's configuration lines and its translation between the driver's requests and
// libusb: device lines, GUIDs, link names that must stay inside the driver folder, the
// result codes of libusb's outcomes and the setup packets of control function codes.

#include "tools/kestousbd/DeviceConfig.h"
#include "tools/kestousbd/UsbMapping.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace kestousbd;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void deviceLines()
    {
        DeviceEntry e;
        std::string why;
        QCOMPARE(parseDeviceLine("2d46:0852", &e, &why), LineKind::Entry);
        QCOMPARE(e.vendor, uint16_t(0x2D46));
        QCOMPARE(e.product, uint16_t(0x0852));
        QCOMPARE(e.linkName, std::string("ML60852A_DRIVER"));
        QCOMPARE(guidText(e.guid), std::string("{0FD82C73-DAD2-4646-8EC3-DB5627D5BD06}"));
        QCOMPARE(e.interfaceNumber, 0);

        QCOMPARE(parseDeviceLine("  0x1234:0xABCD link=OTHER_DRIVER guid={6bdd1fc6-810f-11d0-bec7-08002be2092f} "
                                 "interface=2  # a second kind",
                                 &e, &why),
                 LineKind::Entry);
        QCOMPARE(e.vendor, uint16_t(0x1234));
        QCOMPARE(e.product, uint16_t(0xABCD));
        QCOMPARE(e.linkName, std::string("OTHER_DRIVER"));
        QCOMPARE(guidText(e.guid), std::string("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"));
        QCOMPARE(e.interfaceNumber, 2);

        QCOMPARE(parseDeviceLine("   # only a comment", &e, &why), LineKind::Blank);
        QCOMPARE(parseDeviceLine("", &e, &why), LineKind::Blank);
    }

    void badLinesSayWhy_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("why");
        QTest::newRow("no colon") << "2d460852"
                                  << "vendor:product";
        QTest::newRow("too long") << "12345:0852"
                                  << "vendor:product";
        QTest::newRow("not hex") << "2d4g:0852"
                                 << "vendor:product";
        QTest::newRow("no value") << "2d46:0852 link"
                                  << "key=value";
        QTest::newRow("unknown key") << "2d46:0852 speed=12"
                                     << "unknown setting";
        QTest::newRow("bad guid") << "2d46:0852 guid={0FD82C73-DAD2-4646-8EC3}"
                                  << "not a GUID";
        QTest::newRow("interface too big") << "2d46:0852 interface=256"
                                           << "0 to 255";
        QTest::newRow("interface negative") << "2d46:0852 interface=-1"
                                            << "0 to 255";
        // A link name becomes a file name in the driver folder: nothing may lead outside it.
        QTest::newRow("slash") << "2d46:0852 link=../../etc/x"
                               << "plain file name";
        QTest::newRow("hidden") << "2d46:0852 link=.hidden"
                                << "plain file name";
        QTest::newRow("empty") << "2d46:0852 link="
                               << "plain file name";
        QTest::newRow("too long name") << ("2d46:0852 link=" + QString(65, QLatin1Char('A'))) << "plain file name";
    }
    void badLinesSayWhy()
    {
        QFETCH(QString, line);
        QFETCH(QString, why);
        DeviceEntry e;
        e.linkName = "UNCHANGED";
        std::string error;
        QCOMPARE(parseDeviceLine(line.toStdString(), &e, &error), LineKind::Bad);
        QVERIFY2(QString::fromStdString(error).contains(why), error.c_str());
        QCOMPARE(e.linkName, std::string("UNCHANGED"));
    }

    void fileKeepsGoodLinesAndNamesBadOnes()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("devices.conf")).toStdString();
        std::ofstream(path) << "# recorders\n2d46:0852\n\nnonsense here\n1234:5678 link=SECOND\n";
        std::vector<DeviceEntry> entries;
        std::vector<std::string> errors;
        QVERIFY(readDeviceFile(path, &entries, &errors));
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[1].linkName, std::string("SECOND"));
        QCOMPARE(errors.size(), size_t(1));
        QVERIFY2(errors[0].find(path + ":4: ") == 0, errors[0].c_str());
        QVERIFY(!readDeviceFile(path + ".missing", &entries, &errors));
    }

    void guidsRoundTrip()
    {
        KESTO_GUID g{};
        QVERIFY(parseGuid("0FD82C73-DAD2-4646-8EC3-DB5627D5BD06", &g));
        QCOMPARE(g.Data1, 0x0FD82C73u);
        QCOMPARE(g.Data4[0], uint8_t(0x8E));
        QCOMPARE(g.Data4[7], uint8_t(0x06));
        QCOMPARE(guidText(g), std::string("{0FD82C73-DAD2-4646-8EC3-DB5627D5BD06}"));
        QVERIFY(!parseGuid("{0FD82C73-DAD2-4646-8EC3-DB5627D5BD0}", &g));
        QVERIFY(!parseGuid("{0FD82C73+DAD2-4646-8EC3-DB5627D5BD06}", &g));
        QVERIFY(!parseGuid("0FD82C73-DAD2-4646-8EC3-DB5627D5BD0G", &g));
    }

    // What a client sees for each way a transfer can end.
    void transferOutcomes()
    {
        QCOMPARE(transferResult(LIBUSB_TRANSFER_COMPLETED), 0u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_STALL), 0xE0100004u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_STALL, true), 0xE0100030u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_TIMED_OUT), 1460u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_NO_DEVICE), 1167u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_OVERFLOW), 0xE0100008u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_CANCELLED), 995u);
        QCOMPARE(transferResult(LIBUSB_TRANSFER_ERROR), 0xE0100005u);

        QCOMPARE(errorResult(LIBUSB_SUCCESS), 0u);
        QCOMPARE(errorResult(LIBUSB_ERROR_PIPE), 0xE0100004u);
        QCOMPARE(errorResult(LIBUSB_ERROR_TIMEOUT), 1460u);
        QCOMPARE(errorResult(LIBUSB_ERROR_NO_DEVICE), 1167u);
        QCOMPARE(errorResult(LIBUSB_ERROR_NOT_FOUND), 87u);
        QCOMPARE(errorResult(LIBUSB_ERROR_INVALID_PARAM), 87u);
        QCOMPARE(errorResult(LIBUSB_ERROR_NO_MEM), 8u);
        QCOMPARE(errorResult(LIBUSB_ERROR_BUSY), 170u);
        QCOMPARE(errorResult(LIBUSB_ERROR_OTHER), 31u);
    }

    void controlFunctions_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("request");
        QTest::addColumn<bool>("hostToDevice");
        QTest::addColumn<int>("requestType");
        QTest::addColumn<int>("setupRequest");
        // Standard requests: their direction and request code are their own.
        QTest::newRow("get descriptor") << 11 << 6 << true << 0x80 << 6;
        QTest::newRow("set feature device") << 13 << 3 << false << 0x00 << 3;
        QTest::newRow("set feature interface") << 14 << 3 << false << 0x01 << 3;
        QTest::newRow("clear feature endpoint") << 18 << 1 << false << 0x02 << 1;
        QTest::newRow("get status device") << 19 << 0 << true << 0x80 << 0;
        QTest::newRow("get status endpoint") << 21 << 0 << false << 0x82 << 0;
        QTest::newRow("get configuration") << 38 << 8 << false << 0x80 << 8;
        QTest::newRow("get interface") << 39 << 10 << false << 0x81 << 10;
        // Class and vendor requests: the caller's direction and request.
        QTest::newRow("class device in") << 26 << 0x21 << false << 0xA0 << 0x21;
        QTest::newRow("class interface out") << 27 << 0x09 << true << 0x21 << 0x09;
        QTest::newRow("class endpoint") << 28 << 1 << true << 0x22 << 1;
        QTest::newRow("class other") << 31 << 2 << false << 0xA3 << 2;
        QTest::newRow("vendor device in") << 23 << 0x42 << false << 0xC0 << 0x42;
        QTest::newRow("vendor interface out") << 24 << 0x43 << true << 0x41 << 0x43;
        QTest::newRow("vendor endpoint") << 25 << 7 << true << 0x42 << 7;
        QTest::newRow("vendor other") << 32 << 7 << false << 0xC3 << 7;
    }
    void controlFunctions()
    {
        QFETCH(int, function);
        QFETCH(int, request);
        QFETCH(bool, hostToDevice);
        QFETCH(int, requestType);
        QFETCH(int, setupRequest);
        Setup s;
        QVERIFY(controlSetup(uint16_t(function), uint8_t(request), hostToDevice, &s));
        QCOMPARE(int(s.requestType), requestType);
        QCOMPARE(int(s.request), setupRequest);
    }

    void functionsWithoutControlTransferAreRefused()
    {
        Setup s;
        for (int f : {0, 9, 12, 22, 29, 30, 33, 37, 40, 0x800})
            QVERIFY2(!controlSetup(uint16_t(f), 0, false, &s), qPrintable(QString::number(f)));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
