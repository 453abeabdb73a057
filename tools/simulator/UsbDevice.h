#pragma once

#include "RecorderSimulator.h"
#include "usblib/DriverEndpoint.h"

#include <QByteArray>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

// Plays the time recorder as a USB device behind a KestoUsb driver endpoint
// ("<driver folder>/ML60852A_DRIVER0"): bulk endpoint 0 takes the 12-character command frames,
// bulk endpoint 1 hands out one reply message per transfer; it also answers the descriptor,
// driver version, interface GUID, link name and string descriptor requests, and announces
// itself in the notification folder. The conversations, fault and delivery modes are those of
// the TCP recorder: merged, a transfer holds as many whole messages as fit (never the read
// header and the records after it, never two record messages); cut, each message takes two
// transfers. A bulk IN transfer with nothing to hand out stays pending until a reply is queued
// (or for ever with the silent fault, until the caller withdraws it).
//
// Requests are served on the endpoint's own thread, so the device answers while the program
// under test blocks in a synchronous transfer on its main thread.
class UsbDevice : public kesto::DriverHandler
{
public:
    using Options = RecorderSimulator::Options;

    // The device interface class the recorder exposes.
    static const KESTO_GUID kInterfaceGuid;
    static constexpr uint32_t kDriverMajor = 1;
    static constexpr uint32_t kDriverMinor = 2;

    UsbDevice();
    ~UsbDevice() override;

    void setOptions(const Options &o);
    // Records as the recorder stores them: 22 characters (the terminator CR is added) or 23.
    void setPunches(const QStringList &records);
    QStringList punches() const;
    int deleteCount() const;
    QStringList framesReceived() const;

    // Serves "<driver folder>/<linkName><instance>" and announces it for open-by-GUID and
    // device notification.
    bool start(const QString &linkName = QStringLiteral("ML60852A_DRIVER"), uint32_t instance = 0,
               QString *why = nullptr);
    // Withdraws the announcement and stops serving.
    void stop();
    QString deviceName() const { return m_deviceName; }

    // kesto::DriverHandler
    bool handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply) override;
    void cancelled(uint64_t id) override;
    void connectionOpened(uint32_t connection, bool exclusive) override;

private:
    struct Message {
        QByteArray bytes;
        bool unplug = false; // the device goes away here (close-mid-read)
        RecorderSimulator::Kind kind = RecorderSimulator::Status;
    };
    struct PendingIn {
        uint64_t id = 0;
        uint32_t length = 0;
    };

    void handleFrame(const QByteArray &frame);
    void queue(const QByteArray &bytes, RecorderSimulator::Kind kind = RecorderSimulator::Status);
    // Fills an IN reply from the outbox; false when there is nothing to hand out.
    bool takeMessage(uint32_t length, kesto::DriverReply &reply);
    void writeState();
    QByteArray status(const QString &command, int n, QChar code) const;
    QByteArray header(int n) const;
    void say(const char *format, ...) const;

    mutable std::mutex m_lock;
    Options m_opt;
    QStringList m_punches;
    QStringList m_frames;
    int m_deletes = 0;
    QQueue<Message> m_outbox;
    std::optional<PendingIn> m_pending;
    bool m_unplugged = false;
    QByteArray m_inbox;

    QString m_deviceName;
    bool m_announced = false;
    std::unique_ptr<kesto::DriverEndpoint> m_endpoint;
};
