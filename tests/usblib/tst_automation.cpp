// The automation classes as a client meets them: registration in the class registry,
// creation by CLSID, the control's members against test driver endpoints, error reports.

#include "UsbTestSupport.h"
#include "usblib/DriverEndpoint.h"
#include "usblib/KestoClient.h"

#include <QElapsedTimer>

#include <atomic>
#include <mutex>
#include <vector>

using namespace usbtest;
using namespace kesto;
using Bytes = std::vector<uint8_t>;

namespace {

const KESTO_GUID kInterface = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const char *const kControlClsid = "{B5463437-6971-11D4-816D-0050DACEAA4B}";

class Device : public DriverHandler
{
public:
    bool handle(const DriverRequest &rq, DriverReply &reply) override
    {
        std::lock_guard<std::mutex> g(lock);
        requests.push_back(rq);
        if (rq.controlCode == deferCode) {
            deferred.push_back(rq.id);
            return false;
        }
        switch (rq.controlCode) {
        case KESTO_IOCTL_GET_DEVICE_GUID:
            reply.data.assign(reinterpret_cast<const uint8_t *>(&kInterface),
                              reinterpret_cast<const uint8_t *>(&kInterface) + 16);
            break;
        case KESTO_IOCTL_GET_DRIVER_VERSION: reply.data = {1, 0, 0, 0, 2, 0, 0, 0}; break;
        case KESTO_IOCTL_GET_DEVICE_DESCRIPTOR:
            reply.data = {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0x01, 0x00, 1, 2, 3, 1};
            break;
        case KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH:
            reply.data = {static_cast<uint8_t>(stringLength), static_cast<uint8_t>(stringLength >> 8), 0, 0};
            break;
        case KESTO_IOCTL_GET_STRING_DESCRIPTOR:
            for (uint32_t i = 0; i < stringLength && 2 * i + 1 < rq.outputLength; ++i) {
                reply.data.push_back(static_cast<uint8_t>('A' + i % 26));
                reply.data.push_back(0);
            }
            break;
        case KESTO_IOCTL_ISOCHRONOUS_TRANSFER: {
            // Report packet i as i + 1 bytes long with status 0x100 + i.
            reply.data = rq.data;
            const uint32_t packets = rq.input[8];
            for (uint32_t i = 0; i < packets; ++i) {
                reply.data[i * 16 + 4] = static_cast<uint8_t>(i + 1);
                reply.data[i * 16 + 8] = static_cast<uint8_t>(i);
                reply.data[i * 16 + 9] = 1;
            }
            break;
        }
        default: reply.status = status; reply.data = answer;
        }
        reply.information = static_cast<uint32_t>(reply.data.size());
        return true;
    }
    void connectionOpened(uint32_t, bool) override { ++opened; }
    void connectionClosed(uint32_t) override { ++closed; }
    void cancelled(uint64_t) override { ++cancels; }

    DriverRequest last()
    {
        std::lock_guard<std::mutex> g(lock);
        return requests.empty() ? DriverRequest{} : requests.back();
    }

    std::mutex lock;
    std::vector<DriverRequest> requests;
    std::vector<uint64_t> deferred;
    std::atomic<uint32_t> deferCode{0};
    std::atomic<uint32_t> status{0};
    std::atomic<uint32_t> stringLength{5};
    Bytes answer;
    std::atomic<int> opened{0}, closed{0}, cancels{0};
};

std::string description(HRESULT (*get)(uint32_t, IErrorInfo **), std::string *source = nullptr, GUID *guid = nullptr)
{
    IErrorInfo *info = nullptr;
    if (get(0, &info) != S_OK || !info)
        return "(no error record)";
    std::string d;
    info->GetDescription(&d);
    if (source)
        info->GetSource(source);
    if (guid)
        info->GetGUID(guid);
    info->Release();
    return d;
}

} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_shm;
    Device m_dev0, m_dev1;
    DriverEndpoint m_ep0{m_dev0}, m_ep1{m_dev1};

    IKestoUsb *newControl()
    {
        IKestoUsb *c = nullptr;
        std::string why;
        HRESULT hr = client::createInstance(CLSID_KestoUsb, IID_IKestoUsb, reinterpret_cast<void **>(&c), &why);
        if (FAILED(hr))
            qWarning("%s", why.c_str());
        return c;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_shm = isolate(m_dir);
        QVERIFY(m_ep0.listen(DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        QVERIFY(m_ep1.listen(DriverEndpoint::socketPathFor("ML60852A_DRIVER", 1)));
        QCOMPARE(DllRegisterServer(), S_OK);
    }
    void cleanupTestCase() { shm_unlink(m_shm.c_str()); }
    void init()
    {
        freshBuffer(true);
        for (Device *d : {&m_dev0, &m_dev1}) {
            std::lock_guard<std::mutex> g(d->lock);
            d->requests.clear();
            d->deferCode = 0;
            d->status = 0;
            d->answer.clear();
            d->stringLength = 5;
        }
    }

    void registrationWritesAndRemovesTheEntries()
    {
        reg::Registry r;
        QVERIFY(r.load(reg::registryPath()));
        std::string v;
        auto value = [&](const std::string &key, const std::string &name = "") {
            v.clear();
            return r.value(key, name, &v) ? QByteArray::fromStdString(v) : QByteArray("(missing)");
        };
        QCOMPARE(value("UserDll.KestoUsb.1"), QByteArray("KestoUsb Class"));
        QCOMPARE(value("UserDll.KestoUsb.1\\CLSID"), QByteArray(kControlClsid));
        QVERIFY(r.keyExists("UserDll.KestoUsb.1\\Insertable"));
        QCOMPARE(value("UserDll.KestoUsb"), QByteArray("KestoUsb Class"));
        QCOMPARE(value("UserDll.KestoUsb\\CLSID"), QByteArray(kControlClsid));
        QCOMPARE(value("UserDll.KestoUsb\\CurVer"), QByteArray("UserDll.KestoUsb.1"));
        const std::string key = std::string("CLSID\\") + kControlClsid;
        QCOMPARE(value(key), QByteArray("KestoUsb Class"));
        QCOMPARE(value(key + "\\ProgID"), QByteArray("UserDll.KestoUsb.1"));
        QCOMPARE(value(key + "\\VersionIndependentProgID"), QByteArray("UserDll.KestoUsb"));
        QVERIFY(r.keyExists(key + "\\Programmable"));
        const QByteArray module = value(key + "\\InprocServer32");
        QVERIFY2(module.endsWith("/libKestoUsb.so.1") && QFile::exists(QString::fromLocal8Bit(module)), module);
        QCOMPARE(value(key + "\\InprocServer32", "ThreadingModel"), QByteArray("Apartment"));
        QVERIFY(r.keyExists(key + "\\Control"));
        QVERIFY(r.keyExists(key + "\\Insertable"));
        QCOMPARE(value(key + "\\ToolboxBitmap32"), module + ", 102");
        QCOMPARE(value(key + "\\MiscStatus"), QByteArray("0"));
        QCOMPARE(value(key + "\\MiscStatus\\1"), QByteArray("132497"));
        QCOMPARE(value(key + "\\TypeLib"), QByteArray("{A5914451-1A00-11d4-A1C3-00600837FC57}"));
        QCOMPARE(value(key + "\\Version"), QByteArray("1.0"));

        // The other classes have the same shape without the control's entries.
        const std::string iso = "CLSID\\{ADA523D6-802A-11D4-8174-0050DACEAA4B}";
        QCOMPARE(value(iso + "\\ProgID"), QByteArray("UserDll.IsochronousTransfer.1"));
        QCOMPARE(value(iso + "\\InprocServer32"), module);
        QVERIFY(!r.keyExists(iso + "\\Control"));
        QVERIFY(!r.keyExists(iso + "\\MiscStatus"));
        QVERIFY(!r.keyExists("UserDll.IsochronousTransfer.1\\Insertable"));
        for (const GUID *g : {&CLSID_DeviceDescriptor, &CLSID_ConfigurationDescriptor, &CLSID_EndpointDescriptor,
                              &CLSID_InterfaceDescriptor})
            QCOMPARE(value("CLSID\\" + client::guidText(*g) + "\\InprocServer32"), module);
        GUID viaProgId{};
        QCOMPARE(client::clsidFromProgId("UserDll.ConfigurationDescriptor", &viaProgId), S_OK);
        QVERIFY(viaProgId == CLSID_ConfigurationDescriptor);

        QCOMPARE(DllUnregisterServer(), S_OK);
        QVERIFY(r.load(reg::registryPath()));
        QVERIFY(!r.keyExists(key));
        QVERIFY(!r.keyExists(iso));
        QVERIFY(!r.keyExists("TypeLib\\{A5914451-1A00-11D4-A1C3-00600837FC57}"));
        void *p = nullptr;
        QCOMPARE(client::createInstance(CLSID_KestoUsb, IID_IKestoUsb, &p), REGDB_E_CLASSNOTREG);
        QCOMPARE(DllRegisterServer(), S_OK);
        QCOMPARE(DllRegisterServer(), S_OK); // registering twice changes nothing
        QVERIFY(r.load(reg::registryPath()));
        QCOMPARE(value(key + "\\ProgID"), QByteArray("UserDll.KestoUsb.1"));
    }

    void classesAreCreatedByClsid()
    {
        const std::pair<const GUID *, const GUID *> classes[] = {
            {&CLSID_KestoUsb, &IID_IKestoUsb},
            {&CLSID_DeviceDescriptor, &IID_IDeviceDescriptor},
            {&CLSID_ConfigurationDescriptor, &IID_IConfigurationDescriptor},
            {&CLSID_EndpointDescriptor, &IID_IEndpointDescriptor},
            {&CLSID_InterfaceDescriptor, &IID_IInterfaceDescriptor},
            {&CLSID_IsochronousTransfer, &IID_IIsochronousTransfer},
        };
        QCOMPARE(DllCanUnloadNow(), S_OK);
        std::vector<IUnknown *> objects;
        for (auto [clsid, iid] : classes) {
            void *p = nullptr;
            QCOMPARE(client::createInstance(*clsid, *iid, &p), S_OK);
            QVERIFY(p);
            objects.push_back(static_cast<IUnknown *>(p));
            void *other = nullptr;
            QCOMPARE(static_cast<IUnknown *>(p)->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
        }
        QCOMPARE(DllCanUnloadNow(), S_FALSE);
        for (IUnknown *o : objects)
            o->Release();
        QCOMPARE(DllCanUnloadNow(), S_OK);
        void *f = nullptr;
        QCOMPARE(DllGetClassObject(&IID_IKestoUsb, &IID_IClassFactory, &f), CLASS_E_CLASSNOTAVAILABLE);
    }

    void linkNameOpensAndDeviceInstanceReopens()
    {
        const int opened0 = m_dev0.opened, closed0 = m_dev0.closed, opened1 = m_dev1.opened;
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(m_dev0.opened.load(), opened0); // nothing opened before a name is given
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        QTRY_COMPARE(m_dev0.opened.load(), opened0 + 1);
        QCOMPARE(m_dev0.last().controlCode, KESTO_IOCTL_GET_DEVICE_GUID);
        std::string name;
        QCOMPARE(usb.get()->get_LinkName(&name), S_OK);
        QCOMPARE(QByteArray::fromStdString(name), QByteArray("ML60852A_DRIVER"));

        QCOMPARE(usb.setDeviceInstance(1), S_OK);
        QTRY_COMPARE(m_dev0.closed.load(), closed0 + 1);
        QTRY_COMPARE(m_dev1.opened.load(), opened1 + 1);
        uint8_t buf[64] = {'X'};
        int32_t n = -1;
        m_dev1.answer = {'O', 'K'};
        QCOMPARE(usb.bulkTransfer(1, 64, buf, &n), S_OK);
        QCOMPARE(n, 2);
        QCOMPARE(m_dev1.last().controlCode, KESTO_IOCTL_BULK_TRANSFER);
        QCOMPARE(m_dev1.last().input, (Bytes{1, 0, 0, 0, 64, 0, 0, 0}));
        QCOMPARE(buf[0], uint8_t('O'));
    }

    void absentDeviceReportsTheSystemMessage()
    {
        IKestoUsb *c = newControl();
        QVERIFY(c);
        QCOMPARE(c->put_LinkName("ML60852A_ABSENT"), DISP_E_EXCEPTION);
        std::string source;
        GUID guid = IID_IDispatch;
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo, &source, &guid)),
                 QByteArray("The system cannot find the file specified."));
        QCOMPARE(QByteArray::fromStdString(source), QByteArray("UserDll.KestoUsb.1"));
        QVERIFY(guid == GUID_NULL);
        // Late bound, the same failure arrives in the exception record.
        std::vector<Variant> args{Variant::bstr("ML60852A_ABSENT")};
        ExcepInfo e;
        QCOMPARE(c->Invoke(6, DISPATCH_PROPERTYPUT, args, nullptr, &e), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(e.description), QByteArray("The system cannot find the file specified."));
        QCOMPARE(QByteArray::fromStdString(e.source), QByteArray("UserDll.KestoUsb.1"));
        QCOMPARE(e.scode, DISP_E_EXCEPTION);
        // A member called without an open device reports the invalid handle.
        int32_t n;
        uint8_t buf[4];
        QCOMPARE(c->BulkTransfer(0, 4, buf, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo)), QByteArray("The handle is invalid."));
        c->Release();
    }

    void usbStatusIsDescribedFromTheStringTable()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        m_dev0.status = 0xE0100004;
        uint8_t buf[65] = {};
        int32_t n = 0;
        QCOMPARE(usb.bulkTransfer(0, 64, buf, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(usb.errorDescription()),
                 QByteArray("The transaction failed because the endpoint returned a STALL packet identifier"));
        QCOMPARE(QByteArray::fromStdString(usb.errorSource()), QByteArray("UserDll.KestoUsb.1"));
        QCOMPARE(usb.errorCode(), 0xE0100004u); // the number behind the text
        m_dev0.status = 0xE0100B00;
        std::vector<Variant> args{Variant::ui1(1), Variant::i4(64), Variant::byRef(VT_UI1, buf)};
        ExcepInfo e;
        Variant result;
        QCOMPARE(usb.get()->Invoke(8, DISPATCH_METHOD, args, &result, &e), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(e.description),
                 QByteArray("The isochronous transfer failed because all packets in the transfer completed with an "
                            "error"));
        m_dev0.status = 0;
        m_dev0.answer = {'a', 'b', 'c'};
        QCOMPARE(usb.get()->Invoke(8, DISPATCH_METHOD, args, &result, &e), S_OK);
        QCOMPARE(result.vt, uint16_t(VT_I4));
        QCOMPARE(result.num, int64_t(3));
    }

    void controlTransferCombinesTypeAndRecipient()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        uint8_t buf[8] = {};
        int32_t n;
        QCOMPARE(usb.get()->ControlTransfer(REQUEST_TYPE_VENDOR, REQUEST_TYPE_INTERFACE, 3, 0x10, 2, 1, 8, buf, &n),
                 S_OK);
        // Request type 65 is vendor/interface: function code 24 in the request record.
        QCOMPARE(m_dev0.last().input, (Bytes{8, 0, 0, 0, 24, 0, 3, 0, 0x10, 0, 2, 0, 1, 0, 0, 0}));
        std::vector<Variant> args{Variant::i4(REQUEST_TYPE_CLASS),
                                  Variant::i4(REQUEST_TYPE_ENDPOINT),
                                  Variant::ui1(1),
                                  Variant::i2(0),
                                  Variant::i2(0),
                                  Variant::i4(0),
                                  Variant::i4(8),
                                  Variant::byRef(VT_UI1, buf)};
        Variant result;
        ExcepInfo e;
        QCOMPARE(usb.get()->Invoke(9, DISPATCH_METHOD, args, &result, &e), S_OK);
        QCOMPARE(int(m_dev0.last().input[4]), 28); // class/endpoint = 34
        // Vendor with recipient "other" is 67, a valid type; 64 | 4 is not.
        QCOMPARE(
            usb.get()->ControlTransfer(REQUEST_TYPE_VENDOR, static_cast<REQUEST_RECIPIENT>(4), 1, 0, 0, 1, 0, buf, &n),
            DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo)), QByteArray("The parameter is incorrect."));
    }

    void isochronousTransferObject()
    {
        IIsochronousTransfer *t = nullptr;
        QCOMPARE(
            client::createInstance(CLSID_IsochronousTransfer, IID_IIsochronousTransfer, reinterpret_cast<void **>(&t)),
            S_OK);
        uint8_t data[100] = {};
        int32_t n = 0;
        std::string source;
        QCOMPARE(t->GetData(100, data, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo, &source)),
                 QByteArray("Buffer not initialized.  You must call the Initialize method."));
        QCOMPARE(QByteArray::fromStdString(source), QByteArray("UserDll.IsochronousTransfer.1"));
        QCOMPARE(t->get_Status(0, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo)),
                 QByteArray("Not enough memory resources are available to complete this operation."));

        QCOMPARE(t->Initialize(10, 8), S_OK);
        QCOMPARE(t->GetData(79, data, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo)),
                 QByteArray("Invalid buffer length.  The buffer must be at least 80 bytes."));
        QCOMPARE(t->get_Status(8, &n), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(description(KestoGetErrorInfo)), QByteArray("The parameter is incorrect."));
        QCOMPARE(t->SetData(79, data), DISP_E_EXCEPTION);
        for (int i = 0; i < 80; ++i)
            data[i] = static_cast<uint8_t>(i);
        QCOMPARE(t->SetData(80, data), S_OK);
        int32_t packets, size, length;
        int64_t address;
        QCOMPARE(t->GetTransferParameters(&packets, &size, &length, &address), S_OK);
        QCOMPARE(packets, 8);
        QCOMPARE(size, 10);
        QCOMPARE(length, 208);
        const auto *raw = reinterpret_cast<const uint8_t *>(static_cast<intptr_t>(address));
        QCOMPARE(int(raw[0]), 16);
        QCOMPARE(int(raw[7 * 16]), 16);
        QCOMPARE(int(raw[128 + 79]), 79);

        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        QCOMPARE(usb.get()->IsochronousTransfer(2, t), S_OK);
        QCOMPARE(m_dev0.last().input, (Bytes{2, 0, 0, 0, 208, 0, 0, 0, 8, 0, 0, 0, 10, 0, 0, 0}));
        QCOMPARE(m_dev0.last().data.size(), size_t(208));
        QCOMPARE(t->get_Length(3, &n), S_OK);
        QCOMPARE(n, 4);
        QCOMPARE(t->get_Status(3, &n), S_OK);
        QCOMPARE(n, 0x103);
        std::memset(data, 0, sizeof data);
        QCOMPARE(t->GetData(80, data, &n), S_OK);
        QCOMPARE(n, 80);
        QCOMPARE(int(data[79]), 79);
        // Late bound: GetData(79) names the size too.
        std::vector<Variant> args{Variant::i4(79), Variant::byRef(VT_UI1, data)};
        ExcepInfo e;
        Variant r;
        QCOMPARE(t->Invoke(4, DISPATCH_METHOD, args, &r, &e), DISP_E_EXCEPTION);
        QCOMPARE(QByteArray::fromStdString(e.description),
                 QByteArray("Invalid buffer length.  The buffer must be at least 80 bytes."));
        QCOMPARE(QByteArray::fromStdString(e.source), QByteArray("UserDll.IsochronousTransfer.1"));
        t->Release();
    }

    void longStringDescriptorIsReadWhole()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        m_dev0.stringLength = 300;
        std::string text;
        QCOMPARE(usb.get()->GetStringDescriptor(0x0409, 1, &text), S_OK);
        QCOMPARE(text.size(), size_t(300));
        QCOMPARE(text[299], char('A' + 299 % 26));
        QCOMPARE(m_dev0.last().outputLength, 600u);
        m_dev0.stringLength = 5;
        std::vector<Variant> args{Variant::i2(0x0409), Variant::i4(1)};
        Variant r;
        QCOMPARE(usb.get()->Invoke(16, DISPATCH_METHOD, args, &r, nullptr), S_OK);
        QCOMPARE(QByteArray::fromStdString(r.str), QByteArray("ABCDE"));
    }

    void descriptorObjectsAreFilled()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        IDeviceDescriptor *d = nullptr;
        QCOMPARE(client::createInstance(CLSID_DeviceDescriptor, IID_IDeviceDescriptor, reinterpret_cast<void **>(&d)),
                 S_OK);
        QCOMPARE(usb.get()->GetDeviceDescriptor(d), S_OK);
        int16_t vendor = 0;
        uint8_t packet = 0;
        QCOMPARE(d->get_idVendor(&vendor), S_OK);
        QCOMPARE(vendor, int16_t(0x1234));
        QCOMPARE(d->get_bMaxPacketSize0(&packet), S_OK);
        QCOMPARE(packet, uint8_t(64));
        std::vector<Variant> none;
        Variant r;
        DISPID id = 0;
        QCOMPARE(d->GetIDsOfNames("idProduct", &id), S_OK);
        QCOMPARE(id, 9);
        QCOMPARE(d->Invoke(id, DISPATCH_PROPERTYGET, none, &r, nullptr), S_OK);
        QCOMPARE(r.num, int64_t(0x5678));
        std::vector<Variant> args{Variant::dispatch(d)};
        QCOMPARE(usb.get()->Invoke(19, DISPATCH_METHOD, args, nullptr, nullptr), S_OK);
        d->Release();
        int32_t major = 0, minor = 0;
        QCOMPARE(usb.get()->GetDriverVersion(&major, &minor), S_OK);
        QCOMPARE(major, 1);
        QCOMPARE(minor, 2);
    }

    void traceMemberWritesTextAsItStands()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        freshBuffer(true);
        QCOMPARE(usb.get()->Trace("100% %s done"), S_OK);
        QCOMPARE(slotText(), QByteArray("100% %s done"));
    }

    void arrivalAndRemovalReopenAndClose()
    {
        QVERIFY(DriverEndpoint::announce(kInterface, "ML60852A_DRIVER0"));
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        const int opened = m_dev0.opened, closed = m_dev0.closed;
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        QTRY_COMPARE(m_dev0.opened.load(), opened + 1);
        QTest::qWait(200);
        QCOMPARE(m_dev0.closed.load(), closed); // a device present at registration is left alone

        QVERIFY(DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER0"));
        QTRY_COMPARE_WITH_TIMEOUT(m_dev0.closed.load(), closed + 1, 5000);
        QVERIFY(DriverEndpoint::announce(kInterface, "ML60852A_DRIVER0"));
        QTRY_COMPARE_WITH_TIMEOUT(m_dev0.opened.load(), opened + 2, 5000);
        uint8_t buf[64];
        int32_t n;
        QCOMPARE(usb.bulkTransfer(1, 64, buf, &n), S_OK); // the reopened handle works
        QVERIFY(DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER0"));
    }

    void transferTimeoutBoundsAWaitingTransfer()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        QCOMPARE(usb.setLinkName("ML60852A_DRIVER"), S_OK);
        QCOMPARE(usb.setTransferTimeout(300), S_OK);
        m_dev0.deferCode = KESTO_IOCTL_BULK_TRANSFER;
        const int cancels = m_dev0.cancels;
        uint8_t buf[65] = {};
        int32_t n = 0;
        QElapsedTimer t;
        t.start();
        QCOMPARE(usb.bulkTransfer(1, 64, buf, &n), DISP_E_EXCEPTION);
        QVERIFY(t.elapsed() >= 250 && t.elapsed() < 3000);
        QCOMPARE(QByteArray::fromStdString(usb.errorDescription()),
                 QByteArray("This operation returned because the timeout period expired."));
        QCOMPARE(usb.errorCode(), KESTO_ERROR_TIMEOUT);
        QTRY_COMPARE(m_dev0.cancels.load(), cancels + 1);
        // Without a limit the same call would wait; answered in time it succeeds.
        m_dev0.deferCode = 0;
        m_dev0.answer = {'z'};
        QCOMPARE(usb.bulkTransfer(1, 64, buf, &n), S_OK);
        QCOMPARE(n, 1);
        QCOMPARE(usb.errorCode(), 0u); // a success leaves no number behind
        QCOMPARE(usb.setTransferTimeout(-1), DISP_E_EXCEPTION);
        QCOMPARE(usb.errorCode(), uint32_t(KESTO_ERROR_INVALID_PARAMETER));
    }

    // A link name that makes the device path longer than 259 characters is refused with the
    // invalid-name error; it is never cut down to a name that might be another device's.
    void tooLongLinkNameIsRefused()
    {
        client::UsbControl usb;
        QCOMPARE(usb.create(), S_OK);
        const std::string name(255, 'M'); // "\\.\\" + 255 + "0": 260 characters
        QCOMPARE(usb.setLinkName(name), DISP_E_EXCEPTION);
        QCOMPARE(usb.errorCode(), uint32_t(KESTO_ERROR_INVALID_NAME));
        QCOMPARE(QByteArray::fromStdString(usb.errorDescription()),
                 QByteArray("The filename, directory name, or volume label syntax is incorrect."));
        // One character less fits, and is looked for as it is (no driver socket can have so long
        // a name here).
        QCOMPARE(usb.setLinkName(name.substr(1)), DISP_E_EXCEPTION);
        QVERIFY(usb.errorCode() != 0 && usb.errorCode() != KESTO_ERROR_INVALID_NAME);
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
