#pragma once

#include "CalcoloCom.h"
#include "ReplyFramer.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QTimer>

class Database;
class QTcpSocket;

// One collection over TCP: connects to the recorder, runs the count, read and delete
// conversations as an event-driven state machine paced by three timers, and inserts the
// collected punches into the intake table. The recorder is told to erase its memory only after
// every record it announced has arrived and the inserts are committed.
//
// TCP is a byte stream: the recorder's messages may share a read or be cut across reads. The
// received bytes are kept and the messages taken off them one by one (ReplyFramer); each is
// logged on its own line and handled as if it had come on its own.
class LanLink : public QObject
{
    Q_OBJECT
public:
    enum ConnState { Closed = 0, Starting = 1, Connecting = 2, Connected = 3 };
    enum Exchange { Handed = 1, Sent = 2, StepDone = 4 };
    enum ConvState {
        AwaitCountAck = 0,
        AwaitCountHeader = 1,
        AwaitCountDone = 2,
        AwaitReadAck = 10,
        AwaitReadHeader = 11,
        CollectRecords = 12,
        AwaitReadDoneEmpty = 13,
        AwaitDeleteAck = 20,
        AwaitDeleteDone = 21,
    };

    struct Settings {
        QString host;
        quint16 port = 0;
        int commandSet = 0;
        QString dayChange = QStringLiteral("03:00"); // 会社.日替時刻
        int waitingRows = 0;                         // rows already in the intake table ('未' and '01'..'03')
    };

    explicit LanLink(Database &intake, QObject *parent = nullptr);
    ~LanLink() override;

    void setSettings(const Settings &s) { m_settings = s; }
    const Settings &settings() const { return m_settings; }

    // Resets the communication log and the result and starts connecting. finished() follows,
    // always, once the socket is closed and the log flushed.
    void start();
    bool isFinished() const { return m_finished; }

    const CalcoloCom::CollectionResult &result() const { return m_result; }
    int storedCount() const { return m_count; }
    int announcedRecords() const { return m_records; }
    ConvState conversationState() const { return m_conv; }

    // Timer intervals; tests may shorten them, the program keeps these.
    static constexpr int kConnectTimeout = 2000;
    static constexpr int kSendDelay = 100;
    static constexpr int kReplyTimeout = 1000;

signals:
    void finished();

private:
    void connectToRecorder();
    void disconnectFromRecorder();
    void sendFrame(const QString &command);
    void restartReplyWait();
    void finish();
    void fail(int code, int number = 0, const QString &text = QString());

    void onConnected();
    void onBytesWritten();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError e);
    void onConnTimeout();
    void onReplyTimeout();
    void onSendTick();
    void onData();
    void takeMessages();
    void onMessage(const QByteArray &bytes);
    void handleMessage(const QString &msg);
    ReplyFramer::Expect expecting() const;
    bool keptTooMany() const;
    void stopAtTheRecordLimit();
    bool storeRecords();

    Database &m_intake;
    Settings m_settings;
    QTcpSocket *m_socket = nullptr;
    QTimer m_tmrConnChk;
    QTimer m_tmrTxCtrl;
    QTimer m_tmrRxOut;

    ConnState m_connState = Closed;
    int m_exchange = 0;
    ConvState m_conv = AwaitCountAck;
    int m_count = 0;
    int m_records = 0;
    ReplyFramer m_rx;
    QStringList m_kept;
    int m_keptRecords = 0; // records the kept messages make, whole or cut short
    CalcoloCom::CollectionResult m_result;
    bool m_finished = false;
    bool m_started = false;
};
