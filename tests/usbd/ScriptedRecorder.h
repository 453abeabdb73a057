#pragma once

#include "EmulatedUsbDevice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>

// The time recorder as a USB device on the emulated bus: bulk OUT endpoint 0x01 takes the
// 12-character command frames, bulk IN endpoint 0x82 hands out one reply message per transfer,
// as the USB link holds the read and delete conversations (command set 0). An interrupt IN
// endpoint 0x83, a second alternate setting and string descriptors (languages 0x0409 and
// 0x0411; 1 maker, 2 product) are there for the other control codes.
class ScriptedRecorder
{
public:
    enum Mode {
        Answers,       // the conversations as a recorder holds them
        Silent,        // takes every command, answers nothing
        StallOnRead,   // acknowledges the read command, then its IN endpoint stalls
        HoldAfterRead, // acknowledges the read command and sends the header, then nothing more
    };

    static constexpr uint16_t kVendor = 0x2D46;
    static constexpr uint16_t kProduct = 0x0852;
    static constexpr uint8_t kOut = 0x01, kIn = 0x82, kInterruptIn = 0x83;

    explicit ScriptedRecorder(Mode mode = Answers, uint16_t vendor = kVendor, uint16_t product = kProduct);

    EmulatedUsbDevice &device() { return m_device; }
    // Punches as the recorder stores them: 22 characters, the terminator CR is added.
    void setPunches(const QStringList &records);
    QStringList punches() const;
    QStringList frames() const; // commands received, in order
    int deleteCount() const;
    QList<EmulatedUsbDevice::Setup> controlRequests() const;
    QByteArray controlData() const; // data of the last host-to-device control request

private:
    void onFrame(const QByteArray &frame);
    int onControl(const EmulatedUsbDevice::Setup &s, QByteArray &data);
    QByteArray status(const char *command, int n, char code) const;

    EmulatedUsbDevice m_device;
    Mode m_mode;
    mutable std::mutex m_lock;
    QStringList m_punches, m_frames;
    int m_deletes = 0;
    QList<EmulatedUsbDevice::Setup> m_controls;
    QByteArray m_controlData;
};
