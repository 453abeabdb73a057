#include "ScriptedRecorder.h"

#include <cerrno>

namespace {

QByteArray utf16Descriptor(const QString &text)
{
    QByteArray d(2, 0);
    for (QChar c : text)
        d += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    d[0] = char(d.size());
    d[1] = 3;
    return d;
}

} // namespace

ScriptedRecorder::ScriptedRecorder(Mode mode, uint16_t vendor, uint16_t product)
    : m_device(vendor, product, {{kOut, 2, 64}, {kIn, 2, 64}, {kInterruptIn, 3, 8}}, true), m_mode(mode)
{
    m_device.setOutHandler([this](uint8_t endpoint, const QByteArray &data) {
        if (endpoint == kOut)
            onFrame(data);
    });
    m_device.setControlHandler(
        [this](const EmulatedUsbDevice::Setup &s, QByteArray &data) { return onControl(s, data); });
}

void ScriptedRecorder::setPunches(const QStringList &records)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_punches.clear();
    for (const QString &r : records)
        m_punches << r + QLatin1Char('\r');
}

QStringList ScriptedRecorder::punches() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_punches;
}

QStringList ScriptedRecorder::frames() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_frames;
}

int ScriptedRecorder::deleteCount() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_deletes;
}

QList<EmulatedUsbDevice::Setup> ScriptedRecorder::controlRequests() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_controls;
}

QByteArray ScriptedRecorder::controlData() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_controlData;
}

QByteArray ScriptedRecorder::status(const char *command, int n, char code) const
{
    return QByteArray(command) + QByteArray::number(n).rightJustified(6, '0') + code + ' ';
}

// Runs on umockdev's worker thread, inside the device's lock: replies are queued on the IN
// endpoint, one message per transfer.
void ScriptedRecorder::onFrame(const QByteArray &data)
{
    QByteArray frame = data.left(12);
    if (const qsizetype end = frame.indexOf('\0'); end >= 0)
        frame.truncate(end);
    std::lock_guard<std::mutex> g(m_lock);
    m_frames << QString::fromLatin1(frame);
    if (m_mode == Silent || !frame.startsWith("000000  "))
        return;
    const QByteArray command = frame.mid(8, 4);
    if (command == "GTND") {
        const int held = int(m_punches.size());
        m_device.queueIn(kIn, status("GTND", held ? held * 23 + 1 : 1, 'S'));
        if (m_mode == StallOnRead) {
            m_device.setStalled(kIn, true);
            return;
        }
        if (held > 0)
            m_device.queueIn(kIn, QByteArray("\x02") + QByteArray::number(held).rightJustified(4, '0') + "\x03");
        if (m_mode == HoldAfterRead)
            return;
        for (const QString &p : std::as_const(m_punches))
            m_device.queueIn(kIn, p.toLatin1());
        m_device.queueIn(kIn, status("GTND", 0, 'G'));
    } else if (command == "DELT") {
        m_device.queueIn(kIn, status("DELT", 0, 'S'));
        m_punches.clear();
        ++m_deletes;
        m_device.queueIn(kIn, status("DELT", 0, 'G'));
    }
}

int ScriptedRecorder::onControl(const EmulatedUsbDevice::Setup &s, QByteArray &data)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_controls << s;
    if (!(s.requestType & 0x80))
        m_controlData = data;
    if (s.requestType == 0x80 && s.request == 6 && (s.value >> 8) == 3) { // string descriptor
        const int index = s.value & 0xFF;
        if (index == 0)
            data = QByteArray("\x06\x03\x09\x04\x11\x04", 6);
        else if (index == 1 && s.index == 0x0409)
            data = utf16Descriptor(QStringLiteral("VESKO"));
        else if (index == 2 && s.index == 0x0409)
            data = utf16Descriptor(QStringLiteral("Time Recorder"));
        else
            return -EPIPE; // no such string: the device stalls the request
        return 0;
    }
    if (s.requestType == 0x80 && s.request == 0) { // device status: self powered
        data = QByteArray("\x01\x00", 2);
        return 0;
    }
    if (s.requestType == 0xC0 && s.request == 0x42) { // a vendor query
        data = QByteArray("ABCD");
        return 0;
    }
    if (s.requestType == 0x40 && s.request == 0x43) // a vendor command
        return 0;
    return -EPIPE;
}
