#include "LanLink.h"

#include "common/Common.h"
#include "common/SjisText.h"
#include "store/Database.h"

#include <QTcpSocket>

using namespace CalcoloCom;

LanLink::LanLink(Database &intake, QObject *parent) : QObject(parent), m_intake(intake), m_socket(new QTcpSocket(this))
{
    for (QTimer *t : {&m_tmrConnChk, &m_tmrTxCtrl, &m_tmrRxOut}) {
        t->setSingleShot(true); // each tick disables its timer first
        t->stop();
    }
    m_tmrTxCtrl.setInterval(kSendDelay);
    connect(&m_tmrConnChk, &QTimer::timeout, this, &LanLink::onConnTimeout);
    connect(&m_tmrTxCtrl, &QTimer::timeout, this, &LanLink::onSendTick);
    connect(&m_tmrRxOut, &QTimer::timeout, this, &LanLink::onReplyTimeout);
    connect(m_socket, &QTcpSocket::connected, this, &LanLink::onConnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &LanLink::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &LanLink::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &LanLink::onError);
    connect(m_socket, &QTcpSocket::readyRead, this, &LanLink::onData);
}

LanLink::~LanLink()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void LanLink::start()
{
    if (m_started)
        return;
    m_started = true;
    resetCommLog();
    m_result = {};
    m_conv = AwaitCountAck;
    m_rx.clear();
    m_rx.setCommands(commandSet(m_settings.commandSet));
    m_connState = Starting;
    connectToRecorder();
}

void LanLink::connectToRecorder()
{
    m_tmrConnChk.start(kConnectTimeout);
    m_connState = Connecting;
    m_socket->connectToHost(m_settings.host, m_settings.port);
}

void LanLink::disconnectFromRecorder()
{
    if (m_connState == Closed)
        return;
    m_tmrConnChk.stop();
    m_connState = Closed;
    m_socket->abort();
}

void LanLink::sendFrame(const QString &command)
{
    m_socket->readAll(); // whatever the recorder sent unasked is not a reply to this frame
    m_rx.clear();
    m_tmrRxOut.start(kReplyTimeout);
    m_exchange = Handed;
    const QByteArray frame = commandFrame(command);
    logExchange(true, QString::fromLatin1(frame));
    m_socket->write(frame);
}

void LanLink::restartReplyWait() { m_tmrRxOut.start(kReplyTimeout); }

void LanLink::fail(int code, int number, const QString &text)
{
    m_result.fail(code, number, text);
    finish();
}

void LanLink::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_tmrConnChk.stop();
    m_tmrTxCtrl.stop();
    m_tmrRxOut.stop();
    disconnectFromRecorder();
    flushCommLog();
    m_kept.clear();
    m_rx.clear();
    // Queued, so that a host deleting the link from its slot does not pull the socket out from
    // under the handler that is running now.
    QMetaObject::invokeMethod(this, &LanLink::finished, Qt::QueuedConnection);
}

void LanLink::onConnected()
{
    if (m_connState == Connecting) {
        m_connState = Connected;
        m_tmrConnChk.stop();
        m_tmrTxCtrl.start();
    } else {
        disconnectFromRecorder();
    }
}

void LanLink::onBytesWritten()
{
    if (m_exchange == Handed && m_socket->bytesToWrite() == 0)
        m_exchange = Sent;
}

void LanLink::onDisconnected()
{
    if (m_finished || m_connState != Connected)
        return;
    m_tmrTxCtrl.stop();
    m_tmrRxOut.stop();
    fail(ResultPeerClosed);
}

void LanLink::onError(QAbstractSocket::SocketError e)
{
    if (m_finished)
        return;
    if (m_connState == Connected) {
        m_tmrTxCtrl.stop();
        m_tmrRxOut.stop();
        // The socket reports the recorder's close as an error before it reports the close.
        if (e == QAbstractSocket::RemoteHostClosedError)
            fail(ResultPeerClosed);
        else
            fail(ResultTcpError, int(e), m_socket->errorString());
    } else if (m_connState == Connecting) {
        m_tmrTxCtrl.stop();
        m_tmrRxOut.stop();
        m_tmrConnChk.stop();
        fail(ResultNoConnection);
    }
}

void LanLink::onConnTimeout()
{
    m_tmrTxCtrl.stop();
    m_tmrRxOut.stop();
    fail(ResultNoConnection);
}

void LanLink::onReplyTimeout()
{
    // What the recorder left unfinished when it fell silent is all it will send: it is handled
    // as it stands, as a message that came on its own always was. Only when that does not move
    // the conversation on has nothing answered.
    QByteArray rest;
    if (m_exchange == Sent && m_rx.takeRest(rest)) {
        onMessage(rest);
        if (m_finished || m_tmrRxOut.isActive() || m_tmrTxCtrl.isActive())
            return;
    }
    fail(ResultNoReply);
}

void LanLink::onSendTick()
{
    if (m_finished)
        return;
    const CommandSet &cs = commandSet(m_settings.commandSet);
    switch (m_conv) {
    case AwaitCountAck: sendFrame(cs.count); break;
    case AwaitReadAck: sendFrame(cs.read); break;
    case AwaitDeleteAck: sendFrame(cs.del); break;
    default: break;
    }
}

void LanLink::onData()
{
    // Data that answers no frame of ours is dropped, and it does not count as a reply: the
    // reply wait keeps running.
    if (m_finished || m_exchange != Sent) {
        m_socket->readAll();
        m_rx.clear();
        return;
    }
    m_rx.append(m_socket->readAll());
    takeMessages();
    // Record data that does not end a message yet (a record message cut across reads, or
    // record messages running together without a break at a whole record) is the recorder
    // answering all the same: the reply wait starts again, as for every record message.
    // Waiting it out instead would hand out a part as a whole message and shift every record
    // after it.
    if (!m_finished && m_exchange == Sent && m_conv == CollectRecords && !m_rx.isEmpty())
        restartReplyWait();
}

ReplyFramer::Expect LanLink::expecting() const
{
    switch (m_conv) {
    case AwaitCountHeader: return ReplyFramer::Expect::CountHeader;
    case AwaitReadHeader: return ReplyFramer::Expect::ReadHeader;
    case CollectRecords: return ReplyFramer::Expect::Records;
    default: return ReplyFramer::Expect::Reply;
    }
}

void LanLink::takeMessages()
{
    QByteArray bytes;
    while (!m_finished && m_exchange == Sent && m_rx.take(expecting(), bytes))
        onMessage(bytes);
    if (m_finished || m_exchange != Sent) {
        m_rx.clear(); // what follows a finished step answers nothing
        return;
    }
    if (m_conv == CollectRecords && keptTooMany())
        stopAtTheRecordLimit();
}

void LanLink::onMessage(const QByteArray &bytes)
{
    const QString msg = SjisText::decode(bytes);
    if (msg.isEmpty())
        return;
    logExchange(false, msg);
    const CommandSet &cs = commandSet(m_settings.commandSet);
    // While the read acknowledgement is awaited, messages of other commands are passed over;
    // the reply wait started by the read frame goes on, so a recorder that only babbles and
    // then falls silent still times out.
    if (m_conv == AwaitReadAck && !hasCommand(msg, cs.read))
        return;
    m_tmrRxOut.stop();
    handleMessage(msg);
}

void LanLink::handleMessage(const QString &msg)
{
    const CommandSet &cs = commandSet(m_settings.commandSet);
    switch (m_conv) {
    case AwaitCountAck:
        if (!hasCommand(msg, cs.count) || statusOf(msg) != cs.ack)
            return fail(ResultWrongReply);
        m_conv = AwaitCountHeader;
        restartReplyWait();
        return;
    case AwaitCountHeader: {
        if (!isHeader(msg))
            return fail(ResultWrongReply);
        int c = 0;
        if (!numberAt(msg, 1, 4, c))
            return fail(ResultCommError, kErrTypeMismatch, runtimeErrorText(kErrTypeMismatch));
        m_count = c;
        m_conv = AwaitCountDone;
        restartReplyWait();
        return;
    }
    case AwaitCountDone:
        m_exchange = StepDone;
        if (!hasCommand(msg, cs.count) || statusOf(msg) != cs.done)
            return fail(ResultWrongReply);
        if (m_count < 1)
            return finish();
        if (qint64(m_count) + m_settings.waitingRows >= 10001)
            return fail(ResultTooMany);
        m_conv = AwaitReadAck;
        m_tmrTxCtrl.start();
        return;
    case AwaitReadAck: {
        if (statusOf(msg) != cs.ack)
            return fail(ResultWrongReply);
        int n = 0;
        if (!numberAt(msg, 4, 6, n))
            return fail(ResultCommError, kErrTypeMismatch, runtimeErrorText(kErrTypeMismatch));
        if (n < 24) {
            m_records = 0;
            m_conv = AwaitReadDoneEmpty;
        } else {
            m_records = recordCountOf(n);
            m_conv = AwaitReadHeader;
        }
        restartReplyWait();
        return;
    }
    case AwaitReadHeader:
        if (!isHeader(msg))
            return fail(ResultWrongReply);
        m_kept.clear();
        m_keptRecords = 0;
        m_conv = CollectRecords;
        restartReplyWait();
        return;
    case CollectRecords:
        if (!hasCommand(msg, cs.read)) {
            m_kept.append(msg);
            m_keptRecords += int(parseRecords(msg).size());
            restartReplyWait();
            return;
        }
        if (statusOf(msg) != cs.done)
            return fail(ResultWrongReply);
        m_exchange = StepDone;
        if (!storeRecords())
            return finish();
        m_conv = AwaitDeleteAck;
        m_tmrTxCtrl.start();
        return;
    case AwaitReadDoneEmpty:
        m_exchange = StepDone;
        if (statusOf(msg) != cs.done || !hasCommand(msg, cs.read))
            return fail(ResultWrongReply);
        return finish();
    case AwaitDeleteAck:
        if (!hasCommand(msg, cs.del) || statusOf(msg) != cs.ack)
            return fail(ResultWrongReply);
        m_conv = AwaitDeleteDone;
        restartReplyWait();
        return;
    case AwaitDeleteDone:
        if (statusOf(msg) != cs.done || !hasCommand(msg, cs.del))
            return fail(ResultWrongReply);
        m_exchange = StepDone;
        return finish();
    }
}

// The record table takes at most kRecordSlots records; what is kept, and what is held of a
// record message still arriving, never needs to grow past that.
bool LanLink::keptTooMany() const
{
    const qsizetype held = (m_rx.size() + kRecordLength - 1) / kRecordLength;
    return m_keptRecords + held > kRecordSlots;
}

// The recorder sends more records than the record table holds: nothing more is taken in. What
// arrived is stored as far as the table reaches and the collection fails with the table's own
// error (3840), exactly as when the completion follows such a run of records; the recorder is
// not erased.
void LanLink::stopAtTheRecordLimit()
{
    QByteArray rest;
    if (m_rx.takeRest(rest)) {
        const QString msg = SjisText::decode(rest);
        logExchange(false, msg);
        m_kept.append(msg);
    }
    m_tmrRxOut.stop();
    m_exchange = StepDone;
    // The held part was counted by its bytes; should its characters make fewer records after
    // all, the collection still ends here, with the same error.
    if (storeRecords() || m_result.code != ResultCommError)
        m_result.fail(ResultCommError, kErrSubscript, runtimeErrorText(kErrSubscript));
    finish();
}

// Inserts every kept record in one transaction. Returns true when the delete conversation may
// follow: all announced records arrived whole and are committed.
bool LanLink::storeRecords()
{
    const QDate today = Clock::today();
    const QString dayChange = m_settings.dayChange;
    int whole = 0;
    if (!storeKeptRecords(
            m_intake, m_kept, [&](PunchRecord &r) { return adjustDate(r, today, dayChange); }, m_result, &whole))
        return false;
    if (whole < m_records) {
        // The recorder announced more than arrived: erasing its memory now would lose punches.
        m_result.fail(ResultWrongReply);
        return false;
    }
    return true;
}
