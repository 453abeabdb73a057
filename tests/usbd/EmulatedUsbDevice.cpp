#include "EmulatedUsbDevice.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace {

UMockdevTestbed *g_testbed = nullptr;
int g_nextDevnum = 2;

QByteArray le16(uint16_t v) { return QByteArray(1, char(v & 0xFF)) + QByteArray(1, char(v >> 8)); }

} // namespace

// One submitted transfer as the driver's process holds it: the record and the data buffer are
// copies umockdev keeps in step with the client's memory.
struct EmulatedUsbDevice::Urb {
    UMockdevIoctlData *record = nullptr; // struct usbdevfs_urb
    UMockdevIoctlData *buffer = nullptr;
    unsigned long clientAddress = 0;
    uint8_t type = 0;
    uint8_t endpoint = 0;
    QByteArray out; // what the driver sent (OUT, or the setup packet and data of a control)
    int length = 0;

    usbdevfs_urb *urb() const { return reinterpret_cast<usbdevfs_urb *>(record->data); }
    ~Urb()
    {
        if (buffer)
            g_object_unref(buffer);
        if (record)
            g_object_unref(record);
    }
};

EmulatedUsbDevice::EmulatedUsbDevice(uint16_t vendor, uint16_t product, QList<Endpoint> endpoints, bool secondAlt)
    : m_vendor(vendor), m_product(product), m_endpoints(std::move(endpoints)), m_secondAlt(secondAlt)
{
    const int devnum = g_nextDevnum++;
    m_sysPath = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(devnum);
    m_devNode = QStringLiteral("/dev/bus/usb/001/%1").arg(devnum, 3, 10, QLatin1Char('0'));
}

EmulatedUsbDevice::~EmulatedUsbDevice()
{
    if (m_plugged)
        unplug();
    if (m_handler) {
        umockdev_testbed_detach_ioctl(g_testbed, m_devNode.toUtf8().constData(), nullptr);
        g_object_unref(m_handler);
    }
    std::lock_guard<std::recursive_mutex> g(m_lock);
    qDeleteAll(m_waiting);
    qDeleteAll(m_done);
}

bool EmulatedUsbDevice::createTestbed(QString *why)
{
    if (g_testbed)
        return true;
    g_testbed = umockdev_testbed_new();
    if (!g_testbed && why)
        *why = QStringLiteral("umockdev could not create a test bed");
    return g_testbed != nullptr;
}

QStringList EmulatedUsbDevice::environment()
{
    char *root = g_testbed ? umockdev_testbed_get_root_dir(g_testbed) : nullptr;
    QStringList env{QStringLiteral("LD_PRELOAD=libumockdev-preload.so.0"),
                    QStringLiteral("UMOCKDEV_DIR=") + QString::fromUtf8(root ? root : "")};
    g_free(root);
    return env;
}

QByteArray EmulatedUsbDevice::configDescriptor() const
{
    QByteArray iface;
    for (int alt = 0; alt < (m_secondAlt ? 2 : 1); ++alt) {
        iface +=
            QByteArray("\x09\x04\x00", 3) + char(alt) + char(m_endpoints.size()) + QByteArray("\xFF\x00\x00\x00", 4);
        for (const Endpoint &e : m_endpoints)
            iface += QByteArray("\x07\x05", 2) + char(e.address) + char(e.attributes) + le16(e.maxPacket)
                     + char(e.attributes == 3 || e.attributes == 1 ? 1 : 0);
    }
    const uint16_t total = uint16_t(9 + iface.size());
    return QByteArray("\x09\x02", 2) + le16(total) + QByteArray("\x01\x01\x00\x80\x32", 5) + iface;
}

QByteArray EmulatedUsbDevice::deviceDescriptor() const
{
    return QByteArray("\x12\x01\x10\x01\xFF\x00\x00\x40", 8) + le16(m_vendor) + le16(m_product)
           + QByteArray("\x00\x01\x01\x02\x03\x01", 6);
}

bool EmulatedUsbDevice::plug(QString *why)
{
    if (!createTestbed(why))
        return false;
    const QByteArray descriptors = QByteArray(deviceDescriptor() + configDescriptor()).toHex().toUpper();
    const QString node = m_devNode.mid(5); // without "/dev/"
    const QString bus = node.section(QLatin1Char('/'), 2, 2), dev = node.section(QLatin1Char('/'), 3, 3);
    const QString text =
        QStringLiteral("P: %1\nN: %2=%3\nE: DEVNAME=%4\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=%5\n"
                       "E: DEVNUM=%6\nE: PRODUCT=%7/%8/100\nA: busnum=%9\nA: devnum=%10\nA: idVendor=%11\n"
                       "A: idProduct=%12\nA: speed=12\nA: bConfigurationValue=1\nA: bNumConfigurations=1\n"
                       "A: dev=189:%10\nH: descriptors=%13\n")
            .arg(m_sysPath.mid(4), node, QString::fromLatin1(descriptors), m_devNode, bus, dev)
            .arg(m_vendor, 0, 16)
            .arg(m_product, 0, 16)
            .arg(bus.toInt())
            .arg(dev.toInt())
            .arg(m_vendor, 4, 16, QLatin1Char('0'))
            .arg(m_product, 4, 16, QLatin1Char('0'))
            .arg(QString::fromLatin1(descriptors));
    GError *error = nullptr;
    {
        // Adding the device may announce it at once: it answers from then on.
        std::lock_guard<std::recursive_mutex> g(m_lock);
        m_gone = false;
        m_plugged = true;
    }
    // The requests are taken before the device appears, so that a driver that opens it at
    // once finds somebody to answer.
    if (!m_handler) {
        m_handler = UMOCKDEV_IOCTL_BASE(g_object_new(UMOCKDEV_TYPE_IOCTL_BASE, nullptr));
        g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), this);
        if (!umockdev_testbed_attach_ioctl(g_testbed, m_devNode.toUtf8().constData(), m_handler, &error)) {
            if (why)
                *why = QString::fromUtf8(error ? error->message : "umockdev could not take the device's requests");
            g_clear_error(&error);
            return false;
        }
    }
    if (!umockdev_testbed_add_from_string(g_testbed, text.toUtf8().constData(), &error)) {
        if (why)
            *why = QString::fromUtf8(error ? error->message : "umockdev refused the device");
        g_clear_error(&error);
        std::lock_guard<std::recursive_mutex> g(m_lock);
        m_plugged = false;
        return false;
    }
    umockdev_testbed_uevent(g_testbed, m_sysPath.toUtf8().constData(), "add");
    return true;
}

void EmulatedUsbDevice::unplug()
{
    {
        std::lock_guard<std::recursive_mutex> g(m_lock);
        if (!m_plugged)
            return;
        m_plugged = false;
        m_gone = true;
        // As the kernel does on a disconnect: every transfer in flight ends with ENODEV and can
        // still be reaped, so the driver learns of it through its pending transfers.
        while (!m_waiting.isEmpty())
            finish(*m_waiting.first(), -ENODEV);
    }
    umockdev_testbed_uevent(g_testbed, m_sysPath.toUtf8().constData(), "remove");
    umockdev_testbed_remove_device(g_testbed, m_sysPath.toUtf8().constData());
}

bool EmulatedUsbDevice::plugged() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_plugged;
}

int EmulatedUsbDevice::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self)
{
    return static_cast<EmulatedUsbDevice *>(self)->handleIoctl(client);
}

bool EmulatedUsbDevice::handleIoctl(UMockdevIoctlClient *client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB)
        return reap(client);
    if (m_gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    auto intArg = [&](int *value) {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (d && value)
            std::memcpy(value, d->data, sizeof(int));
        return d != nullptr;
    };
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        const uint32_t caps =
            USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        if (d)
            umockdev_ioctl_data_update(d, 0, reinterpret_cast<guint8 *>(const_cast<uint32_t *>(&caps)), sizeof caps);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        int iface = -1;
        intArg(&iface);
        if (iface != 0) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return true;
        }
        ++(request == USBDEVFS_CLAIMINTERFACE ? m_claims : m_releases);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
        // No kernel driver is bound, so this is a plain claim.
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
        usbdevfs_disconnect_claim c{};
        if (d)
            std::memcpy(&c, d->data, sizeof c);
        if (c.interface != 0) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return true;
        }
        ++m_claims;
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_SETINTERFACE: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr);
        usbdevfs_setinterface s{};
        if (d)
            std::memcpy(&s, d->data, sizeof s);
        if (s.interface != 0 || s.altsetting > (m_secondAlt ? 1u : 0u)) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return true;
        }
        m_alt = int(s.altsetting);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLEAR_HALT: {
        int ep = -1;
        intArg(&ep);
        m_stalled[uint8_t(ep)] = false;
        ++m_clearHalts[uint8_t(ep)];
        umockdev_ioctl_client_complete(client, 0, 0);
        serveIn();
        return true;
    }
    case USBDEVFS_SUBMITURB: return submit(client);
    case USBDEVFS_DISCARDURB: return discard(client);
    default:
        // Kernel-driver queries and the like: no driver is bound, nothing else is there.
        umockdev_ioctl_client_complete(client, -1, request == USBDEVFS_GETDRIVER ? ENODATA : ENOTTY);
        return true;
    }
}

bool EmulatedUsbDevice::submit(UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData *record = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!record) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
    }
    auto *raw = reinterpret_cast<usbdevfs_urb *>(record->data);
    UMockdevIoctlData *buffer = nullptr;
    if (raw->buffer_length > 0)
        buffer =
            umockdev_ioctl_data_resolve(record, offsetof(usbdevfs_urb, buffer), size_t(raw->buffer_length), nullptr);
    auto *u = new Urb;
    u->record = UMOCKDEV_IOCTL_DATA(g_object_ref(record));
    u->buffer = buffer ? UMOCKDEV_IOCTL_DATA(g_object_ref(buffer)) : nullptr;
    u->clientAddress = record->client_addr;
    u->type = raw->type;
    u->endpoint = raw->endpoint;
    u->length = raw->buffer_length;
    if (buffer)
        u->out = QByteArray(reinterpret_cast<const char *>(buffer->data), buffer->data_len);
    umockdev_ioctl_client_complete(client, 0, 0);
    m_waiting.append(u);
    runLocked(*u);
    return true;
}

// Carries out what can be done for a transfer now; an IN transfer with nothing to hand out
// waits for queueIn().
void EmulatedUsbDevice::runLocked(Urb &u)
{
    if (m_stalled.value(u.endpoint)) {
        finish(u, -EPIPE);
        return;
    }
    if (u.type == USBDEVFS_URB_TYPE_CONTROL) {
        Setup s;
        const auto *p = reinterpret_cast<const uint8_t *>(u.out.constData());
        if (u.out.size() < 8) {
            finish(u, -EINVAL);
            return;
        }
        s.requestType = p[0];
        s.request = p[1];
        s.value = uint16_t(p[2] | p[3] << 8);
        s.index = uint16_t(p[4] | p[5] << 8);
        s.length = uint16_t(p[6] | p[7] << 8);
        QByteArray data = u.out.mid(8, s.length);
        const int status = m_onControl ? m_onControl(s, data) : -EPIPE;
        if (status != 0) {
            finish(u, status);
            return;
        }
        if (s.requestType & 0x80)
            finish(u, 0, u.out.left(8) + data.left(s.length));
        else
            finish(u, 0);
        return;
    }
    if (!(u.endpoint & 0x80)) {
        const QByteArray data = u.out;
        finish(u, 0);
        if (m_onOut)
            m_onOut(u.endpoint, data);
        return;
    }
    serveIn();
}

void EmulatedUsbDevice::serveIn()
{
    for (int i = 0; i < m_waiting.size();) {
        Urb &u = *m_waiting[i];
        const bool in = (u.endpoint & 0x80) && u.type != USBDEVFS_URB_TYPE_CONTROL;
        if (in && m_stalled.value(u.endpoint)) {
            finish(u, -EPIPE);
            continue;
        }
        QList<QByteArray> &box = m_inbox[u.endpoint];
        if (!in || box.isEmpty()) {
            ++i;
            continue;
        }
        finish(u, 0, box.takeFirst().left(u.length));
    }
}

// Moves a transfer to the finished list with its status and, for IN, its data.
void EmulatedUsbDevice::finish(Urb &u, int status, const QByteArray &in)
{
    usbdevfs_urb record = *u.urb();
    usbdevfs_urb *r = &record;
    r->status = status;
    r->actual_length = 0;
    if (status == 0) {
        if (u.endpoint & 0x80 || u.type == USBDEVFS_URB_TYPE_CONTROL) {
            if (!in.isEmpty() && u.buffer) {
                umockdev_ioctl_data_update(u.buffer, 0, reinterpret_cast<guint8 *>(const_cast<char *>(in.constData())),
                                           int(in.size()));
            }
            r->actual_length = u.type == USBDEVFS_URB_TYPE_CONTROL ? qMax(0, int(in.size()) - 8) : int(in.size());
        } else {
            r->actual_length = u.length;
        }
    }
    umockdev_ioctl_data_update(u.record, 0, reinterpret_cast<guint8 *>(r), sizeof(usbdevfs_urb));
    m_waiting.removeOne(&u);
    m_done.append(&u);
}

bool EmulatedUsbDevice::reap(UMockdevIoctlClient *client)
{
    if (m_done.isEmpty()) {
        umockdev_ioctl_client_complete(client, -1, m_gone ? ENODEV : EAGAIN);
        return true;
    }
    Urb *u = m_done.takeFirst();
    UMockdevIoctlData *slot =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void *), nullptr);
    if (slot)
        umockdev_ioctl_data_set_ptr(slot, 0, u->record);
    umockdev_ioctl_client_complete(client, 0, 0);
    delete u;
    return true;
}

bool EmulatedUsbDevice::discard(UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    unsigned long address = 0;
    std::memcpy(&address, arg->data, sizeof address);
    for (Urb *u : std::as_const(m_waiting)) {
        if (u->clientAddress == address) {
            ++m_discards;
            finish(*u, -ENOENT);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
}

void EmulatedUsbDevice::queueIn(uint8_t endpoint, const QByteArray &data)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_inbox[endpoint].append(data);
    serveIn();
}

void EmulatedUsbDevice::setStalled(uint8_t endpoint, bool stalled)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_stalled[endpoint] = stalled;
    serveIn();
}

int EmulatedUsbDevice::claimCount() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_claims;
}

int EmulatedUsbDevice::releaseCount() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_releases;
}

int EmulatedUsbDevice::clearHaltCount(uint8_t endpoint) const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_clearHalts.value(endpoint);
}

int EmulatedUsbDevice::discardCount() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_discards;
}

int EmulatedUsbDevice::pendingTransfers() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return int(m_waiting.size());
}

int EmulatedUsbDevice::altSetting() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_alt;
}
