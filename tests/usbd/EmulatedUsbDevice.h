#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <mutex>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

// A USB device on an emulated bus. umockdev puts it into a test bed's /sys and /dev and this
// class answers the usbfs requests (claim, submit, reap, discard, clear halt, ...) that a
// program started under the test bed's preload library sends to its node, so that libusb's own
// code runs unchanged against it. Requests are answered on umockdev's worker thread; the
// script hooks run there under the device's lock.
//
// The device has one configuration with interface 0, alternate settings 0 and (when asked
// for) 1, and the endpoints given to the constructor.
class EmulatedUsbDevice
{
public:
    struct Endpoint {
        uint8_t address = 0;
        uint8_t attributes = 2; // bulk
        uint16_t maxPacket = 64;
    };
    struct Setup {
        uint8_t requestType = 0;
        uint8_t request = 0;
        uint16_t value = 0;
        uint16_t index = 0;
        uint16_t length = 0;
    };
    // A control request: fills data (IN) or reads it (OUT); returns 0 or a negative errno
    // (-EPIPE for a stall).
    using ControlHandler = std::function<int(const Setup &, QByteArray &data)>;
    // Data of a finished OUT transfer on an endpoint.
    using OutHandler = std::function<void(uint8_t endpoint, const QByteArray &data)>;

    EmulatedUsbDevice(uint16_t vendor, uint16_t product, QList<Endpoint> endpoints, bool secondAltSetting = false);
    ~EmulatedUsbDevice();

    // Creates the test bed (one per process). The environment a program needs to see it:
    // LD_PRELOAD and UMOCKDEV_DIR.
    static bool createTestbed(QString *why);
    static QStringList environment();

    // Adds the device to the bus (with an "add" event) or takes it away (pending transfers
    // end as on a real unplug, with ENODEV, and later requests fail; then a "remove" event).
    bool plug(QString *why = nullptr);
    void unplug();
    bool plugged() const;

    // Hooks of the script; set before plug().
    void setOutHandler(OutHandler h) { m_onOut = std::move(h); }
    void setControlHandler(ControlHandler h) { m_onControl = std::move(h); }

    // One IN transfer's worth of data for endpoint (address with bit 7). May be called from
    // the out handler (the device answering a command) or from the test.
    void queueIn(uint8_t endpoint, const QByteArray &data);
    // While stalled, transfers on the endpoint end with a stall (-EPIPE); clear halt lifts it.
    void setStalled(uint8_t endpoint, bool stalled);

    // What the driver did to the device.
    int claimCount() const;
    int releaseCount() const;
    int clearHaltCount(uint8_t endpoint) const;
    int discardCount() const;
    int pendingTransfers() const;
    int altSetting() const;
    QByteArray deviceDescriptor() const;

    QString busPath() const { return m_devNode; }

private:
    struct Urb;
    static int onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self);
    bool handleIoctl(UMockdevIoctlClient *client);
    bool submit(UMockdevIoctlClient *client);
    bool reap(UMockdevIoctlClient *client);
    bool discard(UMockdevIoctlClient *client);
    void runLocked(Urb &u);
    void serveIn();
    void finish(Urb &u, int status, const QByteArray &in = {});
    QByteArray configDescriptor() const;

    uint16_t m_vendor, m_product;
    QList<Endpoint> m_endpoints;
    bool m_secondAlt;
    QString m_sysPath, m_devNode;
    UMockdevIoctlBase *m_handler = nullptr;
    OutHandler m_onOut;
    ControlHandler m_onControl;

    mutable std::recursive_mutex m_lock;
    bool m_plugged = false;
    bool m_gone = false;
    QList<Urb *> m_waiting; // submitted, not finished
    QList<Urb *> m_done;    // finished, not reaped
    QMap<uint8_t, QList<QByteArray>> m_inbox;
    QMap<uint8_t, bool> m_stalled;
    QMap<uint8_t, int> m_clearHalts;
    int m_claims = 0, m_releases = 0, m_discards = 0, m_alt = 0;
};
