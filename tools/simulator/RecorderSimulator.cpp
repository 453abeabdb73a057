#include "RecorderSimulator.h"

#include <QFile>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

#include <cstdio>

namespace {

QString two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

QString record(const QDate &d, int h, int m, int s, int card, int inOut)
{
    return two(d.month()) + two(d.day()) + two(h) + two(m) + two(s)
           + QStringLiteral("%1").arg(card, 9, 10, QLatin1Char('0')) + QString::number(inOut) + QStringLiteral("00");
}

} // namespace

const RecorderCommands &recorderCommands(int set)
{
    static const RecorderCommands sets[2] = {
        {QStringLiteral("GTNC"), QStringLiteral("GTND"), QStringLiteral("DELT"), QLatin1Char('S'), QLatin1Char('C'),
         QLatin1Char('G')},
        {QStringLiteral("NUMU"), QStringLiteral("GETU"), QStringLiteral("DELE"), QLatin1Char('R'), QLatin1Char('B'),
         QLatin1Char('O')},
    };
    return sets[set == 1 ? 1 : 0];
}

RecorderSimulator::RecorderSimulator(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    m_pacer.setSingleShot(true);
    connect(&m_pacer, &QTimer::timeout, this, &RecorderSimulator::sendNext);
    connect(m_server, &QTcpServer::newConnection, this, &RecorderSimulator::onNewConnection);
}

RecorderSimulator::~RecorderSimulator()
{
    if (m_client)
        m_client->abort();
}

bool RecorderSimulator::listen(quint16 port, QString *why)
{
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        if (why)
            *why = m_server->errorString();
        return false;
    }
    writeState();
    return true;
}

quint16 RecorderSimulator::port() const { return m_server->serverPort(); }

void RecorderSimulator::setPunches(const QStringList &records)
{
    m_punches.clear();
    for (const QString &r : records)
        m_punches << (r.size() == 22 ? r + QLatin1Char('\r') : r);
    writeState();
}

void RecorderSimulator::onNewConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        // One client at a time, as a recorder serves one program.
        if (m_client) {
            m_client->abort();
            m_client->deleteLater();
        }
        m_client = s;
        // A recorder sends each message on its own; without this the kernel holds a small
        // message back until the previous one is acknowledged and then sends both together.
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_inbox.clear();
        m_outbox.clear();
        m_pacer.stop();
        connect(s, &QTcpSocket::readyRead, this, &RecorderSimulator::onReadyRead);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        if (m_opt.verbose)
            std::fprintf(stderr, "corvan21-sim: connection from %s\n", qPrintable(s->peerAddress().toString()));
    }
}

void RecorderSimulator::onReadyRead()
{
    auto *s = qobject_cast<QTcpSocket *>(sender());
    if (!s || s != m_client)
        return;
    m_inbox += s->readAll();
    while (m_inbox.size() >= 12) {
        const QByteArray frame = m_inbox.left(12);
        m_inbox.remove(0, 12);
        handleFrame(frame);
    }
}

QByteArray RecorderSimulator::status(const QString &command, int n, QChar code) const
{
    return (command + QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')) + code + QLatin1Char(' ')).toLatin1();
}

QByteArray RecorderSimulator::header(int n) const
{
    return QByteArray("\x02") + QStringLiteral("%1").arg(qMin(n, 9999), 4, 10, QLatin1Char('0')).toLatin1() + "\x03";
}

void RecorderSimulator::handleFrame(const QByteArray &frame)
{
    const QString f = QString::fromLatin1(frame);
    m_frames << f;
    if (m_opt.verbose)
        std::fprintf(stderr, "corvan21-sim: <- %s\n", frame.constData());
    if (m_opt.fault == Silent || !f.startsWith(QLatin1String("000000  ")))
        return;
    const RecorderCommands &c = recorderCommands(m_opt.commandSet);
    const QString cmd = f.mid(8, 4);
    const QChar ack = m_opt.fault == WrongStatus ? c.wrong : c.ack;
    const int held = int(m_punches.size());
    QList<Message> reply;
    if (cmd == c.count) {
        reply << Message{status(cmd, 0, ack), Status} << Message{header(held), CountHeader}
              << Message{status(cmd, 0, c.done), Status};
    } else if (cmd == c.read) {
        int announced = held;
        if (m_opt.fault == ExtraRecords)
            announced = qMax(0, held - m_opt.extra);
        const int n = announced >= 1 ? announced * 23 + 1 : 1;
        reply << Message{status(cmd, n, ack), Status};
        bool closed = false;
        if (held > 0) {
            reply << Message{header(held), ReadHeader};
            const int per = qMax(1, m_opt.recordsPerMessage);
            QList<QByteArray> msgs;
            for (int i = 0; i < held; i += per)
                msgs << m_punches.mid(i, per).join(QString()).toLatin1();
            if (m_opt.fault == Malformed && !msgs.isEmpty())
                msgs.last().chop(16); // the last record keeps only its first seven characters
            for (int i = 0; i < msgs.size(); ++i) {
                if (m_opt.fault == CloseMidRead && i == msgs.size() / 2) {
                    reply << Message{QByteArray(), Close};
                    closed = true;
                    break;
                }
                reply << Message{msgs.at(i), Records};
            }
        }
        if (!closed)
            reply << Message{status(cmd, 0, c.done), Status};
    } else if (cmd == c.del) {
        reply << Message{status(cmd, 0, ack), Status};
        if (m_opt.fault != WrongStatus) {
            m_punches.clear();
            ++m_deletes;
            writeState();
        }
        reply << Message{status(cmd, 0, c.done), Status};
    } else {
        return;
    }
    sendReply(reply);
    emit conversationDone(cmd);
}

qsizetype RecorderSimulator::cutPoint(const Message &m)
{
    const qsizetype n = m.bytes.size();
    qsizetype at = 0;
    switch (m.kind) {
    case Status: at = 3; break;
    case CountHeader: at = 2; break;
    case Records: at = n / 23 / 2 * 23 + 10; break;
    case ReadHeader: // the program cannot tell where a cut one ends
    case Close: return 0;
    }
    return at > 0 && at < n ? at : 0;
}

QList<RecorderSimulator::Write> RecorderSimulator::writesFor(const QList<Message> &reply, const Options &o)
{
    QList<Write> out;
    const int gap = qMax(0, o.gapMs);
    const auto pauseAfter = [&](const Message &m) { return m.kind == ReadHeader ? qMax(gap, o.headerPauseMs) : gap; };
    QByteArray merged;
    for (int i = 0; i < reply.size(); ++i) {
        const Message &m = reply.at(i);
        if (m.kind == Close) {
            if (!merged.isEmpty())
                out << Write{merged, gap};
            merged.clear();
            out << Write{QByteArray(), 0};
            break;
        }
        switch (o.delivery) {
        case Each: out << Write{m.bytes, pauseAfter(m)}; break;
        case Cut:
            if (const qsizetype at = cutPoint(m)) {
                out << Write{m.bytes.left(at), qMax(gap, kCutPauseMs)} << Write{m.bytes.mid(at), pauseAfter(m)};
            } else {
                out << Write{m.bytes, pauseAfter(m)};
            }
            break;
        case Merged: {
            // Back to back, except where the program could not tell the messages apart: after
            // the read header, and between record messages (a message of two records and two
            // of one look the same). The last record message goes with the completion.
            merged += m.bytes;
            const bool last = i + 1 == reply.size();
            const bool nextIsRecords = !last && reply.at(i + 1).kind == Records;
            if (last || m.kind == ReadHeader || (m.kind == Records && nextIsRecords)) {
                out << Write{merged, pauseAfter(m)};
                merged.clear();
            }
            break;
        }
        }
    }
    if (!merged.isEmpty())
        out << Write{merged, gap};
    return out;
}

void RecorderSimulator::sendReply(const QList<Message> &reply)
{
    const bool idle = m_outbox.isEmpty() && !m_pacer.isActive();
    for (const Write &w : writesFor(reply, m_opt))
        m_outbox.enqueue(w);
    if (idle)
        m_pacer.start(0);
}

void RecorderSimulator::sendNext()
{
    if (!m_client || m_outbox.isEmpty()) {
        m_outbox.clear();
        return;
    }
    const Write w = m_outbox.dequeue();
    if (w.bytes.isEmpty()) {
        m_client->flush();
        m_client->disconnectFromHost();
        m_outbox.clear();
        return;
    }
    if (m_opt.verbose)
        std::fprintf(stderr, "corvan21-sim: -> %d bytes\n", int(w.bytes.size()));
    m_client->write(w.bytes);
    m_client->flush();
    if (!m_outbox.isEmpty())
        m_pacer.start(w.pauseAfter);
}

void RecorderSimulator::writeState()
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

QStringList RecorderSimulator::generate(int n, const QDate &today, int cards)
{
    QStringList out;
    out.reserve(n);
    cards = qMax(1, cards);
    for (int k = 0; k < n; ++k) {
        const int card = k % cards + 1;
        const int dayOff = (k / cards) % 28 + 1;
        const int slot = k / (cards * 28);
        out << record(today.addDays(-dayOff), 7 + slot % 12, (slot / 12) % 60, k % 60, card, slot % 2);
    }
    return out;
}

QStringList RecorderSimulator::demoPunches(const QDate &today)
{
    QStringList out;
    for (int back = 5; back >= 1; --back) {
        const QDate d = today.addDays(-back);
        if (d.dayOfWeek() == 7)
            continue;
        for (int card = 1; card <= 5; ++card)
            out << record(d, 8, 40 + card * 3, 12 + card, card, 0);
        for (int card = 1; card <= 5; ++card)
            out << record(d, 17, 30 + card * 5, 40 - card, card, 1);
    }
    return out;
}

bool RecorderSimulator::readPunchFile(const QString &path, QStringList &out, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = f.errorString();
        return false;
    }
    out.clear();
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        QString line = QString::fromLatin1(f.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.size() != 22 && line.size() != 23) {
            if (why)
                *why = QStringLiteral("%1:%2: a record has 22 or 23 characters").arg(path).arg(lineNo);
            return false;
        }
        out << line;
    }
    return true;
}

RecorderSimulator::Delivery RecorderSimulator::deliveryByName(const QString &name, bool *ok)
{
    *ok = true;
    if (name == QLatin1String("each"))
        return Each;
    if (name == QLatin1String("merged"))
        return Merged;
    if (name == QLatin1String("cut"))
        return Cut;
    *ok = false;
    return Each;
}

RecorderSimulator::Fault RecorderSimulator::faultByName(const QString &name, bool *ok)
{
    *ok = true;
    if (name == QLatin1String("none"))
        return NoFault;
    if (name == QLatin1String("silent"))
        return Silent;
    if (name == QLatin1String("wrong-status"))
        return WrongStatus;
    if (name == QLatin1String("close-mid-read"))
        return CloseMidRead;
    if (name == QLatin1String("malformed"))
        return Malformed;
    if (name == QLatin1String("extra-records"))
        return ExtraRecords;
    *ok = false;
    return NoFault;
}
