#include "UsbDevice.h"

#include "usblib/ByteOrder.h"

#include <QSaveFile>

#include <cstdarg>
#include <cstdio>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kInvalidFunction = 1;
constexpr uint32_t kInvalidParameter = KESTO_ERROR_INVALID_PARAMETER;
constexpr uint32_t kNotConnected = KESTO_ERROR_DEVICE_NOT_CONNECTED;
constexpr uint8_t kEndpointOut = 0;
constexpr uint8_t kEndpointIn = 1;
constexpr uint16_t kPacketSize = 64;
constexpr uint16_t kLanguage = 0x0409;

const Bytes kDeviceDescriptor = {18,   1,    0x10, 0x01, 0xFF, 0x00, 0x00, 64, 0x46,
                                 0x2D, 0x52, 0x08, 0x00, 0x01, 1,    2,    3,  1};
const Bytes kConfigDescriptor = {9, 2, 32, 0, 1, 1, 0, 0x80, 50};
const Bytes kInterfaceDescriptor = {9, 4, 0, 0, 2, 0xFF, 0x00, 0x00, 0};

using kesto::le::add16;
using kesto::le::add32;
using kesto::le::get32;

Bytes utf16(const QString &s)
{
    Bytes out;
    for (QChar c : s) {
        out.push_back(uint8_t(c.unicode()));
        out.push_back(uint8_t(c.unicode() >> 8));
    }
    return out;
}

// The string descriptors: 1 maker, 2 product, 3 serial number.
QString stringDescriptor(uint32_t index, bool *ok)
{
    *ok = true;
    switch (index) {
    case 1: return QStringLiteral("VESKO");
    case 2: return QStringLiteral("ML60852A Time Recorder");
    case 3: return QStringLiteral("000001");
    default: *ok = false; return {};
    }
}

} // namespace

const KESTO_GUID UsbDevice::kInterfaceGuid = {
    0x0FD82C73, 0xDAD2, 0x4646, {0x8E, 0xC3, 0xDB, 0x56, 0x27, 0xD5, 0xBD, 0x06}};

UsbDevice::UsbDevice() : m_endpoint(std::make_unique<kesto::DriverEndpoint>(*this)) {}

UsbDevice::~UsbDevice() { stop(); }

void UsbDevice::setOptions(const Options &o)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_opt = o;
}

void UsbDevice::setPunches(const QStringList &records)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_punches.clear();
    for (const QString &r : records)
        m_punches << (r.size() == 22 ? r + QLatin1Char('\r') : r);
    writeState();
}

QStringList UsbDevice::punches() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_punches;
}

int UsbDevice::deleteCount() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_deletes;
}

QStringList UsbDevice::framesReceived() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_frames;
}

bool UsbDevice::start(const QString &linkName, uint32_t instance, QString *why)
{
    stop();
    m_deviceName = linkName + QString::number(instance);
    std::string error;
    if (!m_endpoint->listen(kesto::DriverEndpoint::socketPathFor(linkName.toStdString(), instance), &error)) {
        if (why)
            *why = QString::fromStdString(error);
        return false;
    }
    // Announced once the socket listens, so a client that learns of the device can open it.
    m_announced = kesto::DriverEndpoint::announce(kInterfaceGuid, m_deviceName.toStdString());
    if (!m_announced && why)
        *why = QStringLiteral("the device could not be announced in the notification folder");
    {
        std::lock_guard<std::mutex> g(m_lock);
        writeState();
    }
    return true;
}

void UsbDevice::stop()
{
    // Withdrawn before the socket goes, so nobody is told of a device that cannot be opened.
    if (m_announced)
        kesto::DriverEndpoint::withdraw(kInterfaceGuid, m_deviceName.toStdString());
    m_announced = false;
    m_endpoint->close();
}

void UsbDevice::say(const char *format, ...) const
{
    if (!m_opt.verbose)
        return;
    std::fprintf(stderr, "corvan21-sim usb: ");
    va_list ap;
    va_start(ap, format);
    std::vfprintf(stderr, format, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

void UsbDevice::connectionOpened(uint32_t, bool)
{
    // A new open is a fresh start, as a new TCP connection is: nothing half-said carries over,
    // and a device that went away mid-read is back.
    std::lock_guard<std::mutex> g(m_lock);
    m_outbox.clear();
    m_pending.reset();
    m_unplugged = false;
    say("opened");
}

void UsbDevice::cancelled(uint64_t id)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_pending && m_pending->id == id)
        m_pending.reset();
}

void UsbDevice::queue(const QByteArray &bytes, RecorderSimulator::Kind kind)
{
    const RecorderSimulator::Message m{bytes, kind};
    const qsizetype at = m_opt.delivery == RecorderSimulator::Cut ? RecorderSimulator::cutPoint(m) : 0;
    if (at > 0) {
        m_outbox.enqueue({bytes.left(at), false, kind});
        m_outbox.enqueue({bytes.mid(at), false, kind});
    } else {
        m_outbox.enqueue({bytes, false, kind});
    }
}

bool UsbDevice::takeMessage(uint32_t length, kesto::DriverReply &reply)
{
    if (m_outbox.isEmpty())
        return false;
    if (m_opt.delivery == RecorderSimulator::Merged && !m_outbox.head().unplug) {
        QByteArray out;
        bool records = false;
        while (!m_outbox.isEmpty()) {
            const Message &next = m_outbox.head();
            const bool nextRecords = next.kind == RecorderSimulator::Records;
            if (next.unplug || out.size() + next.bytes.size() > qsizetype(length) || (records && nextRecords))
                break;
            out += next.bytes;
            records = nextRecords;
            const bool header = next.kind == RecorderSimulator::ReadHeader;
            m_outbox.dequeue();
            if (header)
                break;
        }
        if (!out.isEmpty()) {
            reply.data.assign(out.constData(), out.constData() + out.size());
            reply.information = uint32_t(out.size());
            say("-> %d bytes", int(out.size()));
            return true;
        }
    }
    Message &m = m_outbox.head();
    if (m.unplug) {
        m_outbox.clear();
        m_unplugged = true;
        reply.status = kNotConnected;
        say("-> unplugged");
        return true;
    }
    // A message longer than the transfer stays in the pipe for the next one, as on a bus.
    const int n = int(qMin<uint32_t>(length, uint32_t(m.bytes.size())));
    reply.data.assign(m.bytes.constData(), m.bytes.constData() + n);
    reply.information = uint32_t(n);
    m.bytes.remove(0, n);
    if (m.bytes.isEmpty())
        m_outbox.dequeue();
    say("-> %d bytes", n);
    return true;
}

bool UsbDevice::handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    std::unique_lock<std::mutex> g(m_lock);
    if (m_unplugged) {
        reply.status = kNotConnected;
        return true;
    }
    switch (rq.controlCode) {
    case KESTO_IOCTL_BULK_TRANSFER: {
        const uint8_t endpoint = rq.input.empty() ? 0xFF : rq.input[0];
        const uint32_t length = qMin(get32(rq.input, 4), rq.outputLength);
        if (endpoint == kEndpointOut) {
            QByteArray frame(reinterpret_cast<const char *>(rq.data.data()),
                             qsizetype(qMin<size_t>(length, rq.data.size())));
            const qsizetype end = frame.indexOf('\0');
            if (end >= 0)
                frame.truncate(end);
            reply.information = length;
            if (!frame.isEmpty())
                handleFrame(frame.left(12));
            // A transfer left waiting gets the first reply now.
            if (m_pending) {
                kesto::DriverReply in;
                if (takeMessage(m_pending->length, in)) {
                    const uint64_t id = m_pending->id;
                    m_pending.reset();
                    g.unlock();
                    m_endpoint->complete(id, in);
                }
            }
            return true;
        }
        if (endpoint == kEndpointIn) {
            if (m_opt.fault != RecorderSimulator::Silent && takeMessage(length, reply))
                return true;
            m_pending = PendingIn{rq.id, length};
            return false;
        }
        reply.status = kInvalidParameter;
        return true;
    }
    case KESTO_IOCTL_GET_DEVICE_DESCRIPTOR: reply.data = kDeviceDescriptor; break;
    case KESTO_IOCTL_GET_CONFIGURATION_DESCRIPTOR: reply.data = kConfigDescriptor; break;
    case KESTO_IOCTL_GET_INTERFACE_DESCRIPTOR: reply.data = kInterfaceDescriptor; break;
    case KESTO_IOCTL_GET_ENDPOINT_DESCRIPTOR: {
        const uint8_t index = rq.input.empty() ? 0xFF : rq.input[0];
        if (index == kEndpointOut)
            reply.data = {7, 5, 0x01, 0x02, uint8_t(kPacketSize), 0, 0};
        else if (index == kEndpointIn)
            reply.data = {7, 5, 0x82, 0x02, uint8_t(kPacketSize), 0, 0};
        else
            reply.status = kInvalidParameter;
        break;
    }
    case KESTO_IOCTL_GET_DRIVER_VERSION:
        add32(reply.data, kDriverMajor);
        add32(reply.data, kDriverMinor);
        break;
    case KESTO_IOCTL_GET_DEVICE_GUID:
        add32(reply.data, kInterfaceGuid.Data1);
        add16(reply.data, kInterfaceGuid.Data2);
        add16(reply.data, kInterfaceGuid.Data3);
        reply.data.insert(reply.data.end(), kInterfaceGuid.Data4, kInterfaceGuid.Data4 + 8);
        break;
    case KESTO_IOCTL_GET_LINK_NAME: reply.data = utf16(m_deviceName); break;
    case KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS: reply.data = {1, 0}; break;
    case KESTO_IOCTL_GET_LANGUAGE_IDS: add16(reply.data, kLanguage); break;
    case KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH:
    case KESTO_IOCTL_GET_STRING_DESCRIPTOR: {
        bool ok = false;
        const QString text = stringDescriptor(get32(rq.input, 4), &ok);
        if (!ok) {
            reply.status = kInvalidParameter;
            break;
        }
        if (rq.controlCode == KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH)
            add32(reply.data, uint32_t(text.size()));
        else
            reply.data = utf16(text);
        break;
    }
    case KESTO_IOCTL_CLEAR_STALL: break;
    case KESTO_IOCTL_SELECT_INTERFACE:
        if (get32(rq.input, 0) != 0 || get32(rq.input, 4) != 0)
            reply.status = kInvalidParameter;
        break;
    default:
        reply.status = kInvalidFunction; // the recorder has no interrupt, isochronous or control pipe of its own
        break;
    }
    if (reply.data.size() > rq.outputLength)
        reply.data.resize(rq.outputLength);
    reply.information = uint32_t(reply.data.size());
    return true;
}

QByteArray UsbDevice::status(const QString &command, int n, QChar code) const
{
    return (command + QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')) + code + QLatin1Char(' ')).toLatin1();
}

QByteArray UsbDevice::header(int n) const
{
    return QByteArray("\x02") + QStringLiteral("%1").arg(qMin(n, 9999), 4, 10, QLatin1Char('0')).toLatin1() + "\x03";
}

// The conversations of the TCP recorder, with one record per message: over USB the program
// takes exactly one bulk transfer per announced record.
void UsbDevice::handleFrame(const QByteArray &frame)
{
    const QString f = QString::fromLatin1(frame);
    m_frames << f;
    say("<- %s", frame.constData());
    if (m_opt.fault == RecorderSimulator::Silent || !f.startsWith(QLatin1String("000000  ")))
        return;
    const RecorderCommands &c = recorderCommands(m_opt.commandSet);
    const QString cmd = f.mid(8, 4);
    const QChar ack = m_opt.fault == RecorderSimulator::WrongStatus ? c.wrong : c.ack;
    const int held = int(m_punches.size());
    if (cmd == c.count) {
        queue(status(cmd, 0, ack));
        queue(header(held), RecorderSimulator::CountHeader);
        queue(status(cmd, 0, c.done));
    } else if (cmd == c.read) {
        int announced = held;
        if (m_opt.fault == RecorderSimulator::ExtraRecords)
            announced = qMax(0, held - m_opt.extra);
        const int n = announced >= 1 ? announced * 23 + 1 : 1;
        queue(status(cmd, n, ack));
        if (held > 0) {
            queue(header(held), RecorderSimulator::ReadHeader);
            QList<QByteArray> msgs;
            for (const QString &p : std::as_const(m_punches))
                msgs << p.toLatin1();
            if (m_opt.fault == RecorderSimulator::Malformed)
                msgs.last().chop(16); // the last record keeps only its first seven characters
            for (int i = 0; i < msgs.size(); ++i) {
                if (m_opt.fault == RecorderSimulator::CloseMidRead && i == msgs.size() / 2) {
                    m_outbox.enqueue({QByteArray(), true});
                    return;
                }
                queue(msgs.at(i), RecorderSimulator::Records);
            }
        }
        queue(status(cmd, 0, c.done));
    } else if (cmd == c.del) {
        queue(status(cmd, 0, ack));
        if (m_opt.fault != RecorderSimulator::WrongStatus) {
            m_punches.clear();
            ++m_deletes;
            writeState();
        }
        queue(status(cmd, 0, c.done));
    }
}

void UsbDevice::writeState()
{
    if (m_opt.stateFile.isEmpty())
        return;
    QSaveFile f(m_opt.stateFile);
    if (!f.open(QIODevice::WriteOnly))
        return;
    for (const QString &p : std::as_const(m_punches))
        f.write(p.left(22).toLatin1() + '\n');
    f.commit();
}
