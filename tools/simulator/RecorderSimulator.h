#pragma once

#include <QByteArray>
#include <QDate>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// The recorder's commands and status letters of each command set (0 or 1; any other value is
// set 0), shared by the LAN and the USB recorder. The program keeps its own table in the
// recorder layer; this one stays apart, so that a mistake there shows against the recorder.
struct RecorderCommands {
    QString count, read, del;
    QChar ack, wrong, done;
};
const RecorderCommands &recorderCommands(int set);

// Plays a time recorder on a loopback TCP port: holds punch records and answers the count,
// read and delete conversations of either command set. Its memory is erased only by a delete
// conversation. It sends as a recorder does, each message as soon as it is ready, so messages
// may reach the program together; the delivery modes make them do so for certain (several in
// one write) or cut them mid-message. Fault modes let tests and demonstrations see how the
// program copes with a recorder that misbehaves.
class RecorderSimulator : public QObject
{
    Q_OBJECT
public:
    enum Fault {
        NoFault,
        Silent,       // accepts the connection, never answers
        WrongStatus,  // the first reply of each conversation carries a wrong status code
        CloseMidRead, // closes the connection halfway through the record messages
        Malformed,    // the last record message is cut short, so fewer whole records arrive
        ExtraRecords, // announces fewer records than it sends
    };

    // How the messages are handed to the connection.
    enum Delivery {
        Each,   // one write per message
        Merged, // the messages of a reply back to back in one write (see sendReplies)
        Cut,    // each message in two writes, cut mid-message
    };

    // The recorder gathers its records after it has sent the read conversation's header. The
    // pause also keeps that header apart from the record data after it: nothing in the bytes
    // tells where such a header ends, and the program would take the records for part of it.
    static constexpr int kHeaderPauseMs = 50;
    // Between the two parts of a cut message, so that they reach the program apart.
    static constexpr int kCutPauseMs = 10;

    struct Options {
        int commandSet = 0;
        Fault fault = NoFault;
        Delivery delivery = Each;
        int recordsPerMessage = 1;
        int gapMs = 0; // pause after each write
        int headerPauseMs = kHeaderPauseMs;
        int extra = 1;     // ExtraRecords: how many more are sent than announced
        QString stateFile; // when set, rewritten with the held records after every change
        bool verbose = false;
    };

    explicit RecorderSimulator(QObject *parent = nullptr);
    ~RecorderSimulator() override;

    // Listens on a loopback address only; port 0 picks a free one.
    bool listen(quint16 port, QString *why = nullptr);
    quint16 port() const;

    void setOptions(const Options &o) { m_opt = o; }
    const Options &options() const { return m_opt; }

    // Records as the recorder stores them: 22 characters (the terminator CR is added) or 23.
    void setPunches(const QStringList &records);
    QStringList punches() const { return m_punches; }
    int deleteCount() const { return m_deletes; }
    QStringList framesReceived() const { return m_frames; }

    // n punches of the days before `today`, spread over `cards` cards (card numbers 1..cards).
    static QStringList generate(int n, const QDate &today, int cards = 20);
    // A small, believable week of punches for five cards.
    static QStringList demoPunches(const QDate &today);
    // One record per line; blank lines and lines starting with '#' are skipped.
    static bool readPunchFile(const QString &path, QStringList &out, QString *why);
    static Fault faultByName(const QString &name, bool *ok);
    static Delivery deliveryByName(const QString &name, bool *ok);

    // What a reply is made of, so that the delivery modes know where they may merge and cut.
    enum Kind { Status, CountHeader, ReadHeader, Records, Close };
    struct Message {
        QByteArray bytes;
        Kind kind = Status;
    };
    struct Write {
        QByteArray bytes; // empty: close the connection
        int pauseAfter = 0;
    };
    // The writes that carry a reply's messages under the given options.
    static QList<Write> writesFor(const QList<Message> &reply, const Options &o);
    // Where a message is cut in the Cut mode: after a few characters of a status, inside the
    // count of a count header, off the 23-character grid in record data; 0 for no cut.
    static qsizetype cutPoint(const Message &m);

signals:
    void conversationDone(const QString &command);

private:
    void onNewConnection();
    void onReadyRead();
    void handleFrame(const QByteArray &frame);
    void sendReply(const QList<Message> &reply);
    void sendNext();
    void writeState();
    QByteArray status(const QString &command, int n, QChar code) const;
    QByteArray header(int n) const;

    Options m_opt;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    QByteArray m_inbox;
    QQueue<Write> m_outbox;
    QTimer m_pacer;
    QStringList m_punches;
    QStringList m_frames;
    int m_deletes = 0;
};
