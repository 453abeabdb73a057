#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class Database;

// The recorder's text protocol, whichever transport carries it: the two command sets, the
// 12-character command frames, the recognition of replies, the 23-character punch records and
// how they become intake rows, the result codes of a collection, and the communication and
// error logs.
namespace CalcoloCom {

// One command set: the three commands and the four status codes.
struct CommandSet {
    QString count; // count query command
    QString read;  // data read command
    QString del;   // delete command
    QChar ack;     // acknowledge status
    QChar second;  // held, examined by no conversation
    QChar done;    // completion status
    QChar third;   // held, examined by no conversation
};

// Fills the table of both sets; called once when the main window starts (and on first use).
void buildCommandSet();
// Set 0 or 1; any other selector gives set 0.
const CommandSet &commandSet(int selector);

constexpr int kFrameLength = 12;
// "000000  " + the 4-letter command: 12 ASCII bytes.
QByteArray commandFrame(const QString &command);

constexpr QChar kStx = QChar(0x02);

// Characters 1-4 of a reply equal the command.
bool hasCommand(const QString &message, const QString &command);
// Character 11 (a null QChar when the message is shorter).
QChar statusOf(const QString &message);
// Character 1 is STX.
bool isHeader(const QString &message);
// Reads characters [from, from+len) (0-based) as a decimal number; false when they are not all
// digits or the message is too short.
bool numberAt(const QString &message, int from, int len, int &value);
// The record count R of a read acknowledgement's N.
int recordCountOf(int n);

// One punch record as the recorder sent it, every field at its fixed width.
struct PunchRecord {
    QString month, day, hour, minute, second, id, inOut, exception, cr;
};

constexpr int kRecordLength = 23;
// The record scratch holds slots 0..10000: a collection needing one more fails with 3840.
constexpr int kRecordSlots = 10001;

// Cuts one message into records in steps of 23 characters; a short tail is space-filled.
QVector<PunchRecord> parseRecords(const QString &message);
// Number of whole (23-character) records in a message.
int wholeRecords(const QString &message);

// The date adjustment of the LAN link: infers the year from today's date, refuses a day its
// month does not have (returns false and leaves the record unchanged), and moves punches before
// the day-change hour, and those with exception code 07 or 17, onto the previous working day.
bool adjustDate(PunchRecord &r, const QDate &today, const QString &dayChange);

// Intake table writes on the intake database; values are bound, so a quote in a record is
// just a character.
bool insertPunchRecord(Database &intake, const PunchRecord &r);

// The same insert prepared once, for the thousands of records of one collection.
class PunchInserter
{
public:
    explicit PunchInserter(Database &intake);
    ~PunchInserter();
    bool insert(const PunchRecord &r);

private:
    Database &m_db;
    struct Query;
    Query *m_q = nullptr;
};
bool purgeBlankRows(Database &intake);

// Collection result codes.
enum ResultCode {
    ResultOk = 0,
    ResultNoReply = 256,
    ResultWrongReply = 512,
    ResultTcpError = 1280,
    ResultPeerClosed = 1536,
    ResultNoConnection = 1792,
    ResultTooMany = 2304,
    ResultBadDate = 2560,
    ResultCommError = 3840,
};

// Runtime error numbers and descriptions the link records beside 3840.
constexpr int kErrSubscript = 9;
constexpr int kErrTypeMismatch = 13;
QString runtimeErrorText(int number);

// The outcome of one collection: the code, the recorded error number and description.
struct CollectionResult {
    int code = ResultOk;
    int errorNumber = 0;
    QString errorText;
    int inserted = 0; // records inserted into the intake table
    void fail(int c, int number = 0, const QString &text = QString())
    {
        code = c;
        errorNumber = number;
        errorText = text;
    }
    QString message() const;
};

// The collection message of a code (empty for 0); errorText completes 1280 and 3840.
QString resultMessage(int code, const QString &errorText = QString());

// Inserts the records of the kept record messages, in arrival order, in one transaction and
// purges the blank rows. adjust, when given, runs on each record before its insert; a false
// return sets 2560 and the record goes in unchanged. Failures are set on result (3840 with the
// database's words, or the record scratch limit) and counted inserts on result.inserted;
// *whole gets the number of whole records that arrived. True when every record is committed.
// What arrived is committed even when a later record fails: the recorder still holds it too,
// since no delete follows, and a second collection marks the repeats as duplicates.
bool storeKeptRecords(Database &intake, const QStringList &kept, const std::function<bool(PunchRecord &)> &adjust,
                      CollectionResult &result, int *whole);

// ---- logs ----

// Fixes the two log paths from the date (data/E<yyyy><mm>.log and .err).
void setLogPaths(const QDate &today);
QString commLogPath();
QString errorLogPath();
// "yyyy/mm/dd hh:mm:ss" of Clock::now().
QString logTime();

// The in-memory communication log of one collection.
void resetCommLog();
// One line: time, "→" for a sent frame or "←" for a received message, the text stripped of
// surrounding blanks.
void logExchange(bool sent, const QString &text);
// Appends the buffered lines to the communication log file and empties the buffer. A failed
// write is ignored: the collection does not depend on its log.
void flushCommLog();
QStringList commLogBuffer();
// Appends "<time> ： <message>" to the error log file.
void logError(const QString &message);

} // namespace CalcoloCom
