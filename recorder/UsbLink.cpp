#include "UsbLink.h"

#include "common/SjisText.h"
#include "store/Database.h"

#include "usblib/KestoClient.h"
#include "usblib/KestoUsb.h"

#include <QElapsedTimer>

#include <cstdint>
#include <cstring>

using namespace CalcoloCom;

namespace {

constexpr uint8_t kEndpointOut = 0;
constexpr uint8_t kEndpointIn = 1;

QString fromStd(const std::string &s) { return QString::fromStdString(s); }

} // namespace

// The hosted control.
struct UsbLink::Control {
    kesto::client::UsbControl usb;
    QElapsedTimer clock;
    bool opened = false;

    // A transfer that ran out of time is told by the library's error number, whatever words
    // describe it.
    bool timedOut() const { return usb.errorCode() == KESTO_ERROR_TIMEOUT; }
};

UsbLink::UsbLink(Database &intake, QObject *parent) : QObject(parent), m_intake(intake)
{
    setObjectName(QStringLiteral("KestoUsb1"));
    for (QTimer *t : {&m_timer2, &m_tmrEnd}) {
        t->setSingleShot(true); // each tick disables its timer first
        t->stop();
    }
    m_timer2.setInterval(kStartDelay);
    m_tmrEnd.setInterval(kEndDelay);
    connect(&m_timer2, &QTimer::timeout, this, [this] {
        exchange();
        finish();
    });
    connect(&m_tmrEnd, &QTimer::timeout, this, &UsbLink::finish);
}

UsbLink::~UsbLink() = default; // the control goes with the link, which closes the device

QString UsbLink::registeredModule() { return fromStd(kesto::client::registeredModule(kesto::CLSID_KestoUsb)); }

QString UsbLink::registryPath() { return fromStd(kesto::reg::registryPath()); }

void UsbLink::start()
{
    if (m_started)
        return;
    m_started = true;
    if (open())
        m_timer2.start();
    else
        m_tmrEnd.start();
}

bool UsbLink::open()
{
    resetCommLog();
    m_result = {};
    m_kept.clear();
    m_records = 0;
    m_rx.clear();
    m_rx.setCommands(commandSet(m_settings.commandSet));
    m_control = std::make_unique<Control>();
    std::string why;
    if (kesto::FAILED(m_control->usb.create(&why))) {
        // Without the library there is no device to open: the same outcome as a missing device.
        m_result.fail(ResultNoConnection, 0, fromStd(why));
        m_control.reset();
        return false;
    }
    if (kesto::FAILED(m_control->usb.setLinkName(m_settings.linkName.toStdString()))) {
        m_result.fail(ResultNoConnection, 0, fromStd(m_control->usb.errorDescription()));
        return false;
    }
    m_control->opened = true;
    return true;
}

void UsbLink::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer2.stop();
    m_tmrEnd.stop();
    flushCommLog();
    m_kept.clear();
    m_rx.clear();
    // Queued, so that a host deleting the link from its slot does not pull the control out
    // from under the handler that is running now.
    QMetaObject::invokeMethod(this, &UsbLink::finished, Qt::QueuedConnection);
}

void UsbLink::failTransfer()
{
    m_result.fail(ResultCommError, int(kesto::DISP_E_EXCEPTION), fromStd(m_control->usb.errorDescription()));
}

bool UsbLink::sendFrame(const QString &command)
{
    const QByteArray frame = commandFrame(command);
    logExchange(true, QString::fromLatin1(frame));
    uint8_t buf[kBufferLength + 1] = {};
    memcpy(buf, frame.constData(), size_t(qMin<qsizetype>(frame.size(), kBufferLength)));
    int32_t n = 0; // the length taken is not examined
    m_control->usb.setTransferTimeout(qMax(1, m_settings.replyTimeout));
    if (kesto::FAILED(m_control->usb.bulkTransfer(kEndpointOut, kBufferLength, buf, &n))) {
        if (m_control->timedOut())
            m_result.fail(ResultNoReply);
        else
            failTransfer();
        return false;
    }
    return true;
}

UsbLink::Receive UsbLink::transfer(qint64 left)
{
    m_control->usb.setTransferTimeout(int32_t(qMin<qint64>(left, INT32_MAX)));
    uint8_t buf[kBufferLength + 1] = {};
    int32_t n = 0;
    if (kesto::FAILED(m_control->usb.bulkTransfer(kEndpointIn, kBufferLength, buf, &n))) {
        if (m_control->timedOut())
            return TimedOut;
        failTransfer();
        return Failed;
    }
    n = qBound(0, n, kBufferLength);
    m_rx.append(QByteArray(reinterpret_cast<const char *>(buf), n));
    return n ? Received : Empty;
}

UsbLink::Receive UsbLink::receive(Expect expect, QString &message, qint64 deadline)
{
    QByteArray bytes;
    while (!m_rx.take(expect, bytes)) {
        const qint64 left = deadline - m_control->clock.elapsed();
        const Receive r = left > 0 ? transfer(left) : TimedOut;
        if (r == Failed)
            return Failed;
        // Record data that does not end a message yet is the recorder answering: the wait
        // for the rest starts again (see LanLink::onData).
        if (r == Received && expect == Expect::Records)
            deadline = m_control->clock.elapsed() + m_settings.replyTimeout;
        if (r == TimedOut) {
            // What the recorder left unfinished when it fell silent is all it will send: it is
            // handled as it stands, as a message that came in one transfer always was.
            if (!m_rx.takeRest(bytes))
                return TimedOut;
            break;
        }
        if (r == Empty && m_rx.isEmpty()) {
            bytes.clear(); // an empty transfer between messages is an empty message, as ever
            break;
        }
    }
    message = SjisText::decode(bytes);
    logExchange(false, message);
    return Received;
}

template <typename Accept>
UsbLink::Receive UsbLink::receiveUntil(Expect expect, QString &message, Accept accept)
{
    const qint64 deadline = m_control->clock.elapsed() + m_settings.replyTimeout;
    for (;;) {
        const Receive r = receive(expect, message, deadline);
        if (r != Received || accept(message))
            return r;
    }
}

// A transfer that did not deliver: 256 when the recorder did not answer in time, else the
// control's error has been recorded already.
bool UsbLink::transferFailed(Receive r)
{
    if (r == TimedOut)
        m_result.fail(ResultNoReply);
    return r != Received;
}

void UsbLink::exchange()
{
    if (!m_control || !m_control->opened)
        return;
    m_control->clock.start();
    runExchange();
}

bool UsbLink::runExchange()
{
    const CommandSet &cs = commandSet(m_settings.commandSet);
    const auto any = [](const QString &) { return true; };
    QString msg;

    // Read conversation.
    if (!sendFrame(cs.read))
        return false;
    if (transferFailed(receiveUntil(Expect::Reply, msg, [&](const QString &m) { return hasCommand(m, cs.read); })))
        return false;
    if (statusOf(msg) != cs.ack) {
        m_result.fail(ResultWrongReply);
        return false;
    }
    int n = 0;
    if (!numberAt(msg, 4, 6, n)) {
        m_result.fail(ResultCommError, kErrTypeMismatch, runtimeErrorText(kErrTypeMismatch));
        return false;
    }
    m_records = recordCountOf(n);
    if (m_records >= 1) {
        if (transferFailed(receiveUntil(Expect::ReadHeader, msg, any)))
            return false;
        if (!isHeader(msg)) {
            m_result.fail(ResultWrongReply);
            return false;
        }
        // One record message per announced record. Records that came in one transfer are one
        // message and count for each whole record in it; any other message counts once.
        int taken = 0;
        while (taken < m_records) {
            if (transferFailed(receiveUntil(Expect::Records, msg, any)))
                return false;
            m_kept.append(msg);
            taken += qMax(1, wholeRecords(msg));
        }
        if (taken > m_records) {
            // More records than announced: the recorder holds more than it said, and its
            // memory must not be erased.
            m_result.fail(ResultWrongReply);
            return false;
        }
    }
    const auto readDone = [&](const QString &m) { return hasCommand(m, cs.read) && statusOf(m) == cs.done; };
    if (m_records >= 1) {
        // Exactly R record messages, then the completion: anything else means the recorder
        // holds more than it announced, and its memory must not be erased.
        if (transferFailed(receiveUntil(Expect::Reply, msg, any)))
            return false;
        if (!readDone(msg)) {
            m_result.fail(ResultWrongReply);
            return false;
        }
        if (!storeRecords())
            return false;
    } else if (transferFailed(receiveUntil(Expect::Reply, msg, readDone))) {
        return false;
    }

    // Delete conversation.
    if (!sendFrame(cs.del))
        return false;
    if (transferFailed(receiveUntil(Expect::Reply, msg, [&](const QString &m) { return hasCommand(m, cs.del); })))
        return false;
    if (statusOf(msg) != cs.ack) {
        m_result.fail(ResultWrongReply);
        return false;
    }
    // The recorder has acknowledged the delete: every record it announced is stored and it is
    // erasing its memory. A completion that does not come, or comes too late, changes nothing
    // of that, so the collection has succeeded; telling the user that nothing answered would
    // send them looking for punches that are already collected. Only a delete status that says
    // otherwise is a wrong reply.
    const Receive last = receiveUntil(Expect::Reply, msg, any);
    if (last == TimedOut)
        return true;
    if (transferFailed(last))
        return false;
    if (hasCommand(msg, cs.del) && statusOf(msg) != cs.done) {
        m_result.fail(ResultWrongReply);
        return false;
    }
    return true;
}

// Inserts every kept record, as received, in one transaction. Returns true when the delete
// conversation may follow: all announced records arrived whole and are committed.
bool UsbLink::storeRecords()
{
    int whole = 0;
    if (!storeKeptRecords(m_intake, m_kept, nullptr, m_result, &whole))
        return false;
    if (whole < m_records) {
        // A record message arrived cut short: the recorder still holds the whole punch, and
        // erasing its memory now would lose it.
        m_result.fail(ResultWrongReply);
        return false;
    }
    return true;
}
