#include "CalcoloCom.h"

#include "common/Common.h"
#include "common/SjisText.h"
#include "store/Database.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

#include <array>

namespace CalcoloCom {

namespace {

std::array<CommandSet, 2> g_sets;
bool g_setsBuilt = false;

QString g_commLogPath;
QString g_errorLogPath;

// The line counter of the classic buffer was a signed 16-bit number; more lines than that in
// one collection are not kept (a recorder babbling that long is failing anyway).
constexpr int kMaxLogLines = 32767;
QStringList g_commLog;

void ensureLogPaths()
{
    if (g_commLogPath.isEmpty())
        setLogPaths(Clock::today());
}

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// Copies characters [from, from+width) into a field of that width, space-filled.
QString field(const QString &msg, int from, int width)
{
    return msg.mid(from, width).leftJustified(width, QLatin1Char(' '), true);
}

} // namespace

void buildCommandSet()
{
    g_sets[0] = {QStringLiteral("GTNC"), QStringLiteral("GTND"), QStringLiteral("DELT"), QLatin1Char('S'),
                 QLatin1Char('C'),       QLatin1Char('G'),       QLatin1Char('N')};
    g_sets[1] = {QStringLiteral("NUMU"), QStringLiteral("GETU"), QStringLiteral("DELE"), QLatin1Char('R'),
                 QLatin1Char('B'),       QLatin1Char('O'),       QLatin1Char('E')};
    g_setsBuilt = true;
}

const CommandSet &commandSet(int selector)
{
    if (!g_setsBuilt)
        buildCommandSet();
    return g_sets[selector == 1 ? 1 : 0];
}

QByteArray commandFrame(const QString &command) { return QByteArrayLiteral("000000  ") + command.left(4).toLatin1(); }

bool hasCommand(const QString &message, const QString &command)
{
    return message.size() >= 4 && QStringView(message).left(4) == command;
}

QChar statusOf(const QString &message) { return message.size() >= 11 ? message.at(10) : QChar(); }

bool isHeader(const QString &message) { return !message.isEmpty() && message.at(0) == kStx; }

bool numberAt(const QString &message, int from, int len, int &value)
{
    const QString s = message.mid(from, len);
    if (s.size() != len || !allDigits(s))
        return false;
    // Digits past what an int holds are no number either (toInt would give 0).
    bool ok = false;
    const int v = s.toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

int recordCountOf(int n) { return n >= 24 ? (n - 1) / kRecordLength : 0; }

QVector<PunchRecord> parseRecords(const QString &message)
{
    QVector<PunchRecord> out;
    for (int off = 0; off < message.size(); off += kRecordLength) {
        PunchRecord r;
        r.month = field(message, off + 0, 2);
        r.day = field(message, off + 2, 2);
        r.hour = field(message, off + 4, 2);
        r.minute = field(message, off + 6, 2);
        r.second = field(message, off + 8, 2);
        r.id = field(message, off + 10, 9);
        r.inOut = field(message, off + 19, 1);
        r.exception = field(message, off + 20, 2);
        r.cr = field(message, off + 22, 1);
        out.append(r);
    }
    return out;
}

int wholeRecords(const QString &message) { return int(message.size() / kRecordLength); }

bool adjustDate(PunchRecord &r, const QDate &today, const QString &dayChange)
{
    int year = today.year();
    if (r.month > zeroPad(today.month(), 2))
        --year;
    // A month, day or hour that is not a number makes a record nobody can date: it is treated
    // like a day its month lacks. The record goes into the intake table as received, where the
    // lists of unprocessed data show it, the collection says so (2560), and the recorder is
    // still erased: refusing the collection instead (3840, no delete) would leave the corrupt
    // record in the recorder to fail every later collection, and the punches after it with it.
    int month = 0, day = 0;
    if (!allDigits(r.month) || !allDigits(r.day) || !allDigits(r.hour))
        return false;
    month = r.month.toInt();
    day = r.day.toInt();
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;

    const QString changeHour = dayChange.left(2);
    const bool late = r.exception == QLatin1String("17") || r.exception == QLatin1String("07");
    if (!late && !(r.hour < changeHour))
        return true;
    if (!allDigits(changeHour))
        return false;
    QDate d(year, month, day);
    int h = r.hour.toInt();
    if (h < changeHour.toInt()) {
        d = d.addDays(-1);
        h += 24;
    }
    if (late) {
        d = d.addDays(-1);
        h += 24;
    }
    r.month = zeroPad(d.month(), 2);
    r.day = zeroPad(d.day(), 2);
    r.hour = zeroPad(h, 2);
    return true;
}

namespace {

const QString kInsertPunch =
    QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                   "VALUES (?,?,?,?,?,?,?,?,?,'未')");

// An empty field is stored as empty text, never as NULL.
QVariantList punchValues(const PunchRecord &r)
{
    const auto t = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    return {t(r.month), t(r.day), t(r.hour), t(r.minute), t(r.second), t(r.id), t(r.inOut), t(r.exception), t(r.cr)};
}

} // namespace

bool insertPunchRecord(Database &intake, const PunchRecord &r) { return intake.exec(kInsertPunch, punchValues(r)); }

struct PunchInserter::Query {
    QSqlQuery q;
    bool prepared = false;
};

PunchInserter::PunchInserter(Database &intake) : m_db(intake), m_q(new Query) {}

PunchInserter::~PunchInserter() { delete m_q; }

bool PunchInserter::insert(const PunchRecord &r)
{
    if (!m_db.isOpen())
        return insertPunchRecord(m_db, r); // reports the closed database
    if (!m_q->prepared) {
        m_q->q = QSqlQuery(m_db.handle());
        m_q->prepared = m_q->q.prepare(kInsertPunch);
        if (!m_q->prepared)
            return insertPunchRecord(m_db, r); // the same statement again, for its error
    }
    const QVariantList v = punchValues(r);
    for (int i = 0; i < v.size(); ++i)
        m_q->q.bindValue(i, v.at(i));
    if (m_q->q.exec())
        return true;
    const QSqlError e = m_q->q.lastError();
    bool ok = false;
    const int no = e.nativeErrorCode().toInt(&ok);
    m_db.setError(ok && no ? no : DbErr::DriverBase + int(e.type()),
                  e.databaseText().isEmpty() ? e.text() : e.databaseText());
    return false;
}

bool purgeBlankRows(Database &intake)
{
    return intake.exec(QStringLiteral("DELETE FROM タイムカードテンプ WHERE ((月 = '未') OR (月 = ''))"));
}

bool storeKeptRecords(Database &intake, const QStringList &kept, const std::function<bool(PunchRecord &)> &adjust,
                      CollectionResult &result, int *whole)
{
    *whole = 0;
    if (!intake.begin()) {
        result.fail(ResultCommError, intake.errorNumber(), intake.errorText());
        return false;
    }
    bool ok = true;
    int used = 0;
    PunchInserter inserter(intake);
    for (const QString &msg : kept) {
        *whole += wholeRecords(msg);
        for (PunchRecord r : parseRecords(msg)) {
            if (used >= kRecordSlots) {
                result.fail(ResultCommError, kErrSubscript, runtimeErrorText(kErrSubscript));
                ok = false;
                break;
            }
            ++used;
            if (adjust && !adjust(r))
                result.fail(ResultBadDate);
            if (!inserter.insert(r)) {
                result.fail(ResultCommError, intake.errorNumber(), intake.errorText());
                ok = false;
                break;
            }
            ++result.inserted;
        }
        if (!ok)
            break;
    }
    if (ok && !purgeBlankRows(intake)) {
        result.fail(ResultCommError, intake.errorNumber(), intake.errorText());
        ok = false;
    }
    if (!intake.commit()) {
        const int no = intake.errorNumber();
        const QString text = intake.errorText();
        intake.rollback();
        result.inserted = 0;
        result.fail(ResultCommError, no, text);
        return false;
    }
    return ok;
}

QString runtimeErrorText(int number)
{
    switch (number) {
    case kErrSubscript: return QStringLiteral("インデックスが有効範囲にありません。");
    case kErrTypeMismatch: return QStringLiteral("型が一致しません。");
    default: return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

QString resultMessage(int code, const QString &errorText)
{
    const QString crlf = QStringLiteral("\r\n");
    switch (code) {
    case ResultOk: return QString();
    case ResultNoReply: return QStringLiteral("応答受信がありません。");
    case ResultWrongReply: return QStringLiteral("応答受信が誤っています！");
    case ResultTcpError: return QStringLiteral("ＴＣＰエラー 発生！") + crlf + QStringLiteral("Err : ") + errorText;
    case ResultPeerClosed: return QStringLiteral("タイムレコーダ側が切断されました！");
    case ResultNoConnection: return QStringLiteral("タイムレコーダと接続できません！");
    case ResultTooMany:
        return QStringLiteral("データ件数が10000件を超えます！") + crlf
               + QStringLiteral("収集データのデータ処理を行ってください。");
    case ResultBadDate: return QStringLiteral("年度が違うデータがありました。");
    default: return QStringLiteral("通信エラー 発生！") + crlf + QStringLiteral("Err : ") + errorText;
    }
}

QString CollectionResult::message() const { return resultMessage(code, errorText); }

void setLogPaths(const QDate &today)
{
    const QString stem = dataFolder() + QStringLiteral("/E") + zeroPad(today.year(), 4) + zeroPad(today.month(), 2);
    g_commLogPath = stem + QStringLiteral(".log");
    g_errorLogPath = stem + QStringLiteral(".err");
}

QString commLogPath()
{
    ensureLogPaths();
    return g_commLogPath;
}

QString errorLogPath()
{
    ensureLogPaths();
    return g_errorLogPath;
}

QString logTime() { return Clock::now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

void resetCommLog() { g_commLog.clear(); }

void logExchange(bool sent, const QString &text)
{
    if (g_commLog.size() >= kMaxLogLines)
        return;
    g_commLog.append(logTime() + QLatin1Char(' ') + (sent ? QChar(0x2192) : QChar(0x2190)) + QLatin1Char(' ')
                     + trimBlanks(text));
}

void flushCommLog()
{
    if (!g_commLog.isEmpty()) {
        QString text;
        for (const auto &l : std::as_const(g_commLog))
            text += l + QStringLiteral("\r\n");
        appendTextFile(commLogPath(), SjisText::encode(text));
    }
    g_commLog.clear();
}

QStringList commLogBuffer() { return g_commLog; }

void logError(const QString &message)
{
    appendTextFile(errorLogPath(),
                   SjisText::encode(logTime() + QStringLiteral(" ： ") + message + QStringLiteral("\r\n")));
}

} // namespace CalcoloCom
