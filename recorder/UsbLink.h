#pragma once

#include "CalcoloCom.h"
#include "ReplyFramer.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class Database;

// One collection over USB: creates the KestoUsb control by its class identifier through the
// class registry, opens the recorder by link name and runs the read and delete conversations
// over 64-byte bulk transfers, synchronously, inside one timer event. The recorder is told to
// erase its memory only after every record it announced has been inserted and committed.
//
// The library waits for a transfer as long as the driver takes; a recorder that stops
// answering would hang the program. Every awaited reply is therefore bounded: a reply that
// does not come within kReplyTimeout (counted from the start of the wait, however many
// unrelated messages arrive meanwhile) ends the collection with 256.
//
// A bulk transfer may hold more than one message, or part of one: the bytes are kept and the
// messages taken off them as on the LAN link (ReplyFramer).
class UsbLink : public QObject
{
    Q_OBJECT
public:
    // Delays of the screen's two timers; tests may shorten Timer2, the program keeps these.
    static constexpr int kStartDelay = 1000; // Timer2
    static constexpr int kEndDelay = 1;      // tmrEnd
    // The longest wait for one awaited reply, in ms. Far above what a recorder needs to answer
    // over USB, and with the start delay well within 10 s.
    static constexpr int kReplyTimeout = 3000;
    static constexpr int kBufferLength = 64;

    struct Settings {
        int commandSet = 0;
        QString linkName = QStringLiteral("ML60852A_DRIVER");
        int replyTimeout = kReplyTimeout;
    };

    explicit UsbLink(Database &intake, QObject *parent = nullptr);
    ~UsbLink() override;

    void setSettings(const Settings &s) { m_settings = s; }
    const Settings &settings() const { return m_settings; }

    // Screen start: resets the communication log and the result and opens the device. An open
    // failure gives 1792 and finished() after 1 ms (tmrEnd); otherwise the exchange runs on the
    // first tick of Timer2. finished() always follows, once the log has been flushed.
    void start();
    bool isFinished() const { return m_finished; }

    // The two steps of start(), for callers without an event loop of their own: open() gives
    // false (and 1792) when the device cannot be opened; exchange() runs the conversations and
    // returns when they are over. Neither flushes the log; finish() does.
    bool open();
    void exchange();
    void finish();

    const CalcoloCom::CollectionResult &result() const { return m_result; }
    int announcedRecords() const { return m_records; }

    void setStartDelay(int ms) { m_timer2.setInterval(ms); }

    // The module registered for the control's class in the library's own class registry
    // (KESTOUSB_REGISTRY or its default), empty when the class is not registered.
    static QString registeredModule();
    // The class registry file the library reads.
    static QString registryPath();

signals:
    void finished();

private:
    struct Control;

    enum Receive { Received, Empty, TimedOut, Failed };
    using Expect = ReplyFramer::Expect;
    bool sendFrame(const QString &command);
    // One bulk IN transfer; its bytes go to the framer.
    Receive transfer(qint64 left);
    Receive receive(Expect expect, QString &message, qint64 deadline);
    // Receives until accept() holds for a message or the wait runs out; others are skipped.
    template <typename Accept>
    Receive receiveUntil(Expect expect, QString &message, Accept accept);
    bool runExchange();
    bool storeRecords();
    bool transferFailed(Receive r);
    void failTransfer();

    Database &m_intake;
    Settings m_settings;
    std::unique_ptr<Control> m_control;
    QTimer m_timer2;
    QTimer m_tmrEnd;
    ReplyFramer m_rx;
    QStringList m_kept;
    int m_records = 0;
    CalcoloCom::CollectionResult m_result;
    bool m_finished = false;
    bool m_started = false;
};
