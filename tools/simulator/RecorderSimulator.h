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

// Plays a time recorder on a loopback TCP port: holds punch records and answers the count,
// read and delete conversations of either command set, one message at a time with a pause
// between messages so that each arrives on its own. Its memory is erased only by a delete
// conversation. Fault modes let tests and demonstrations see how the program copes with a
// recorder that misbehaves.
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

    struct Options {
        int commandSet = 0;
        Fault fault = NoFault;
        int recordsPerMessage = 1;
        int gapMs = 3;      // pause after each message
        int extra = 1;      // ExtraRecords: how many more are sent than announced
        QString stateFile;  // when set, rewritten with the held records after every change
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

signals:
    void conversationDone(const QString &command);

private:
    void onNewConnection();
    void onReadyRead();
    void handleFrame(const QByteArray &frame);
    void queueMessage(const QByteArray &msg);
    void queueClose();
    void sendNext();
    void writeState();
    QByteArray status(const QString &command, int n, QChar code) const;
    QByteArray header(int n) const;

    Options m_opt;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    QByteArray m_inbox;
    QQueue<QByteArray> m_outbox; // an empty entry stands for "close the connection"
    QTimer m_pacer;
    QStringList m_punches;
    QStringList m_frames;
    int m_deletes = 0;
};
