#include "FuzzChecks.h"

#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "recorder/ReplyFramer.h"
#include "screens/KubunRules.h"
#include "screens/PunchEntry.h"
#include "store/ExFile.h"
#include "usblib/ControlRequest.h"
#include "usblib/DriverProtocol.h"
#include "usblib/KestoUsb.h"

#include <QDate>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace FuzzChecks {

namespace {

#define EXPECT(cond, what)                                                                                             \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            return QString(what) + QStringLiteral(" [") + QString::fromLatin1(#cond) + QStringLiteral("]");            \
    } while (0)

// Visible form of a text in a failure report.
QString shown(const QString &s)
{
    QString out;
    for (const QChar c : s)
        out += c.unicode() < 0x20 || c.unicode() == 0x7F
                   ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                   : QString(c);
    return QLatin1Char('"') + out + QLatin1Char('"');
}

bool asciiDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// ---- records ----

QString checkRecognisers(const QString &msg)
{
    for (int selector = 0; selector < 2; ++selector) {
        const CalcoloCom::CommandSet &cs = CalcoloCom::commandSet(selector);
        for (const QString &cmd : {cs.count, cs.read, cs.del}) {
            const bool expected = msg.size() >= 4 && msg.left(4) == cmd;
            EXPECT(CalcoloCom::hasCommand(msg, cmd) == expected,
                   QStringLiteral("hasCommand %1 on %2").arg(cmd, shown(msg)));
        }
    }
    const QChar status = CalcoloCom::statusOf(msg);
    if (msg.size() >= 11)
        EXPECT(status == msg.at(10), QStringLiteral("statusOf on %1").arg(shown(msg)));
    else
        EXPECT(status.isNull(), QStringLiteral("statusOf on a short message %1").arg(shown(msg)));
    EXPECT(CalcoloCom::isHeader(msg) == (!msg.isEmpty() && msg.at(0) == QChar(0x02)),
           QStringLiteral("isHeader on %1").arg(shown(msg)));

    // Every window the links read and then some, the widest ones past what an int holds.
    for (int from = -1; from <= 12; ++from) {
        for (int len = 1; len <= 12; ++len) {
            int value = -1;
            const bool ok = CalcoloCom::numberAt(msg, from, len, value);
            bool readable = from >= 0 && from + len <= msg.size();
            qint64 expected = 0;
            for (int i = 0; readable && i < len; ++i) {
                const QChar c = msg.at(from + i);
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    readable = false;
                else
                    expected = expected * 10 + (c.unicode() - '0');
            }
            // A number an int cannot hold is not a number the reply can mean.
            if (expected > std::numeric_limits<int>::max())
                readable = false;
            EXPECT(ok == readable,
                   QStringLiteral("numberAt(%1, %2) on %3 gave %4").arg(from).arg(len).arg(shown(msg)).arg(ok));
            if (ok)
                EXPECT(value == expected,
                       QStringLiteral("numberAt(%1, %2) on %3 read %4").arg(from).arg(len).arg(shown(msg)).arg(value));
        }
    }
    int n = 0;
    if (CalcoloCom::numberAt(msg, 4, 6, n)) {
        const int r = CalcoloCom::recordCountOf(n);
        EXPECT(r >= 0 && (n < 24 ? r == 0 : r * CalcoloCom::kRecordLength < n),
               QStringLiteral("recordCountOf(%1) = %2").arg(n).arg(r));
    }
    return {};
}

bool sameRecord(const CalcoloCom::PunchRecord &a, const CalcoloCom::PunchRecord &b)
{
    return a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute && a.second == b.second
           && a.id == b.id && a.inOut == b.inOut && a.exception == b.exception && a.cr == b.cr;
}

QString recordText(const CalcoloCom::PunchRecord &r)
{
    return r.month + r.day + r.hour + r.minute + r.second + r.id + r.inOut + r.exception + r.cr;
}

QString checkAdjust(const CalcoloCom::PunchRecord &r, const QDate &today, const QString &dayChange)
{
    CalcoloCom::PunchRecord a = r;
    const bool ok = CalcoloCom::adjustDate(a, today, dayChange);
    const QString where =
        QStringLiteral("adjustDate(%1, %2, %3)").arg(shown(recordText(r)), today.toString(Qt::ISODate), dayChange);
    if (!ok) {
        EXPECT(sameRecord(a, r), where + QStringLiteral(" refused but changed the record to ") + shown(recordText(a)));
        return {};
    }
    // Accepted: the month and day were a real date of the inferred year, the hour a number.
    EXPECT(asciiDigits(r.month) && asciiDigits(r.day) && asciiDigits(r.hour),
           where + QStringLiteral(" accepted a date or hour that is no number"));
    const int year = today.year() - (r.month.toInt() > today.month() ? 1 : 0);
    const QDate original(year, r.month.toInt(), r.day.toInt());
    EXPECT(original.isValid(), where + QStringLiteral(" accepted a day its month does not have"));
    EXPECT(a.minute == r.minute && a.second == r.second && a.id == r.id && a.inOut == r.inOut
               && a.exception == r.exception && a.cr == r.cr,
           where + QStringLiteral(" changed a field other than the date and hour"));
    if (sameRecord(a, r))
        return {};
    // Moved: back by whole days, the hour carried on by 24 for each day, onto a real date.
    EXPECT(asciiDigits(a.month) && a.month.size() == 2 && asciiDigits(a.day) && a.day.size() == 2,
           where + QStringLiteral(" gave the date ") + shown(a.month + a.day));
    EXPECT(asciiDigits(r.hour) && asciiDigits(a.hour),
           where + QStringLiteral(" moved a punch whose hour is no number"));
    const int moved = (a.hour.toInt() - r.hour.toInt()) / 24;
    EXPECT((a.hour.toInt() - r.hour.toInt()) % 24 == 0 && moved >= 0 && moved <= 2,
           where + QStringLiteral(" gave the hour ") + a.hour);
    const QDate target = original.addDays(-moved);
    EXPECT(target.month() == a.month.toInt() && target.day() == a.day.toInt(),
           where + QStringLiteral(" moved the punch onto ") + a.month + a.day);
    return {};
}

QString checkRecords(const QString &msg)
{
    using namespace CalcoloCom;
    const QVector<PunchRecord> recs = parseRecords(msg);
    const int whole = wholeRecords(msg);
    EXPECT(recs.size() == (msg.size() + kRecordLength - 1) / kRecordLength,
           QStringLiteral("parseRecords gave %1 records for %2 characters").arg(recs.size()).arg(msg.size()));
    EXPECT(whole == msg.size() / kRecordLength && whole <= recs.size() && recs.size() - whole <= 1,
           QStringLiteral("wholeRecords gave %1 for %2 characters, %3 records")
               .arg(whole)
               .arg(msg.size())
               .arg(recs.size()));
    static const QDate todays[] = {QDate(2010, 12, 15), QDate(2011, 1, 1), QDate(2012, 3, 1)};
    static const QString dayChanges[] = {QStringLiteral("05:00"), QStringLiteral("00:00"), QStringLiteral("23:59")};
    for (int i = 0; i < recs.size(); ++i) {
        const PunchRecord &r = recs.at(i);
        EXPECT(r.month.size() == 2 && r.day.size() == 2 && r.hour.size() == 2 && r.minute.size() == 2
                   && r.second.size() == 2 && r.id.size() == 9 && r.inOut.size() == 1 && r.exception.size() == 2
                   && r.cr.size() == 1,
               QStringLiteral("record %1 has a field of the wrong width").arg(i));
        const QString expected =
            msg.mid(i * kRecordLength, kRecordLength).leftJustified(kRecordLength, QLatin1Char(' '));
        EXPECT(recordText(r) == expected,
               QStringLiteral("record %1 is %2, not %3").arg(i).arg(shown(recordText(r)), shown(expected)));
        if (i >= 64)
            continue; // the date rules are the same for every record; the first ones suffice
        for (const QDate &today : todays)
            for (const QString &dc : dayChanges)
                if (QString f = checkAdjust(r, today, dc); !f.isEmpty())
                    return f;
    }
    return {};
}

// The bytes of a stream taken apart in reads of a few sizes, under each awaited end: every
// byte is in a message except the blanks and line ends dropped after a status or a header,
// nothing is made up or reordered, and a status handed out before the reply wait ran out has
// its 11 characters.
QString checkFraming(const QByteArray &input)
{
    using Expect = ReplyFramer::Expect;
    const auto tail = [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == 0x03 || c == 0x00; };
    for (int selector = 0; selector < 2; ++selector) {
        const CalcoloCom::CommandSet &cs = CalcoloCom::commandSet(selector);
        for (const Expect expect : {Expect::Reply, Expect::CountHeader, Expect::ReadHeader, Expect::Records}) {
            for (const qsizetype chunk :
                 {qsizetype(1), qsizetype(7), qsizetype(64), qMax<qsizetype>(1, input.size())}) {
                ReplyFramer f;
                f.setCommands(cs);
                QByteArray joined, m;
                for (qsizetype at = 0; at < input.size(); at += chunk) {
                    f.append(input.mid(at, chunk));
                    while (f.take(expect, m)) {
                        EXPECT(!m.isEmpty(), QStringLiteral("an empty message was taken"));
                        const QString text = QString::fromLatin1(m);
                        if (CalcoloCom::hasCommand(text, cs.count) || CalcoloCom::hasCommand(text, cs.read)
                            || CalcoloCom::hasCommand(text, cs.del))
                            EXPECT(m.size() >= ReplyFramer::kStatusLength,
                                   QStringLiteral("a status of %1 characters was taken").arg(m.size()));
                        joined += m;
                    }
                }
                if (f.takeRest(m))
                    joined += m;
                qsizetype j = 0;
                for (qsizetype i = 0; i < input.size(); ++i) {
                    if (j < joined.size() && joined.at(j) == input.at(i))
                        ++j;
                    else
                        EXPECT(tail(input.at(i)),
                               QStringLiteral("byte %1 of the stream was lost (reads of %2)").arg(i).arg(chunk));
                }
                EXPECT(j == joined.size(),
                       QStringLiteral("the messages hold bytes the stream did not (reads of %1)").arg(chunk));
            }
        }
    }
    return {};
}

// ---- time fields ----

// Minutes of an "hh:mm" text, -1 for the empty time; -2 when it is neither.
int minutesOfShown(const QString &s)
{
    if (s == QStringLiteral("  :  "))
        return -1;
    if (s.size() != 5 || s.at(2) != QLatin1Char(':') || !asciiDigits(s.left(2)) || !asciiDigits(s.mid(3, 2)))
        return -2;
    return s.left(2).toInt() * 60 + s.mid(3, 2).toInt();
}

QString checkPunchField(const QString &typed, QString &value)
{
    QString out = QStringLiteral("untouched");
    const bool ok = PunchField_Read(typed, out);
    if (!ok) {
        EXPECT(out == QStringLiteral("untouched"),
               QStringLiteral("PunchField_Read refused %1 but set %2").arg(shown(typed), shown(out)));
        value = QStringLiteral("  :  ");
        return {};
    }
    const int m = minutesOfShown(out);
    EXPECT(m != -2 && m < 72 * 60 && (m < 0 || out.mid(3, 2).toInt() <= 59),
           QStringLiteral("PunchField_Read(%1) showed %2").arg(shown(typed), shown(out)));
    QString again;
    EXPECT(PunchField_Read(out, again) && again == out,
           QStringLiteral("PunchField_Read does not read back its own %1 (from %2)").arg(shown(out), shown(typed)));
    value = out;
    return {};
}

QString checkKubunField(const QString &typed, QString &value)
{
    const KubunRules::FieldResult r = KubunRules::fieldCheck(typed);
    if (!r.accepted) {
        EXPECT(r.text == typed || minutesOfShown(r.text) >= 0,
               QStringLiteral("fieldCheck refused %1 showing %2").arg(shown(typed), shown(r.text)));
        value = QStringLiteral("  :  ");
        return {};
    }
    const int m = minutesOfShown(r.text);
    EXPECT(m != -2 && m < 48 * 60 && (m < 0 || r.text.mid(3, 2).toInt() <= 59),
           QStringLiteral("fieldCheck(%1) accepted as %2").arg(shown(typed), shown(r.text)));
    const KubunRules::FieldResult again = KubunRules::fieldCheck(r.text);
    EXPECT(again.accepted && again.text == r.text,
           QStringLiteral("fieldCheck does not accept its own %1 (from %2)").arg(shown(r.text), shown(typed)));
    value = r.text;
    return {};
}

int overlap(int a, int b, int c, int d) { return std::max(0, std::min(b, d) - std::max(a, c)); }

const QStringList &categoryMessages()
{
    static const QStringList m = {QStringLiteral("開始／終了時刻が正しくセットされていません。"),
                                  QStringLiteral("休憩時間が重なっています。"),
                                  QStringLiteral("残業時間が重なっています。")};
    return m;
}

QString checkCategory(const std::array<QString, 16> &times, bool checked)
{
    const KubunRules::CategoryFailure f = KubunRules::categoryCheck(times);
    if (f.failed) {
        EXPECT(f.focusField >= 1 && f.focusField <= 15 && f.focusField % 2 == 1
                   && categoryMessages().contains(f.message),
               QStringLiteral("categoryCheck failed with field %1 and %2").arg(f.focusField).arg(shown(f.message)));
        return {};
    }
    if (!checked)
        return {};
    // Accepted fields only: a category that passes has whole windows in order and neither
    // overlapping breaks nor overlapping early / overtime / late-night spans.
    int m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = minutesOfShown(times[size_t(i)]);
    for (int w = 0; w < 8; ++w) {
        const int a = m[2 * w], b = m[2 * w + 1];
        EXPECT((a < 0) == (b < 0) && a <= b, QStringLiteral("categoryCheck passed window %1: %2 - %3")
                                                 .arg(w)
                                                 .arg(shown(times[size_t(2 * w)]), shown(times[size_t(2 * w + 1)])));
    }
    for (const int group : {4, 10}) {
        for (int x = 0; x < 3; ++x) {
            for (int y = x + 1; y < 3; ++y) {
                const int p = group + 2 * x, q = group + 2 * y;
                if (m[p] < 0 || m[q] < 0)
                    continue;
                EXPECT(overlap(m[p], m[p + 1], m[q], m[q + 1]) == 0,
                       QStringLiteral("categoryCheck passed overlapping spans at fields %1 and %2").arg(p).arg(q));
            }
        }
    }
    return {};
}

// ---- definition files ----

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

QString records(const QByteArray &input)
{
    const QString msg = SjisText::decode(input);
    if (QString f = checkRecognisers(msg); !f.isEmpty())
        return f;
    if (QString f = checkFraming(input); !f.isEmpty())
        return f;
    return checkRecords(msg);
}

QString timeFields(const QByteArray &input)
{
    const QStringList lines = QString::fromUtf8(input).split(QLatin1Char('\n'));
    PunchSlots raw, read;
    std::array<QString, 16> rawTimes, checkedTimes;
    for (int i = 0; i < lines.size() && i < 24; ++i) {
        const QString &typed = lines.at(i);
        QString punch, kubun;
        if (QString f = checkPunchField(typed, punch); !f.isEmpty())
            return f;
        if (QString f = checkKubunField(typed, kubun); !f.isEmpty())
            return f;
        if (i < 4) {
            raw[size_t(i)] = typed;
            read[size_t(i)] = punch;
        }
        if (i < 16) {
            rawTimes[size_t(i)] = typed;
            checkedTimes[size_t(i)] = kubun;
        }
    }
    for (int i = lines.size(); i < 16; ++i)
        checkedTimes[size_t(i)] = QStringLiteral("  :  ");
    for (int i = lines.size(); i < 4; ++i)
        read[size_t(i)] = QStringLiteral("  :  ");

    PunchSlots_InOrder(raw); // typed text as it stands: only the sanitizers judge
    // On read fields: in order when no slot is earlier than the one before it, an empty 入1
    // counting as 00:00 and an empty later slot as the slot before it.
    int previous = 0;
    bool inOrder = true;
    for (const QString &s : read) {
        const int v = minutesOfShown(s);
        if (v >= 0 && v < previous)
            inOrder = false;
        if (v >= 0)
            previous = v;
    }
    EXPECT(PunchSlots_InOrder(read) == inOrder, QStringLiteral("PunchSlots_InOrder(%1 %2 %3 %4) gave %5")
                                                    .arg(read[0], read[1], read[2], read[3])
                                                    .arg(!inOrder));

    if (QString f = checkCategory(rawTimes, false); !f.isEmpty())
        return f;
    return checkCategory(checkedTimes, true);
}

QString definitionFiles(const QByteArray &input)
{
    EXPECT(writeFile(linkDefinitionFilePath(), input), QStringLiteral("cannot write ") + linkDefinitionFilePath());
    EXPECT(LinkDef_Read() == 0, QStringLiteral("LinkDef_Read failed on a readable file"));
    const QString faq = g_faqAddress;
    EXPECT(!faq.isEmpty() && !faq.contains(QLatin1Char('\n')) && !faq.startsWith(QLatin1Char(' '))
               && !faq.endsWith(QLatin1Char(' ')),
           QStringLiteral("LinkDef_Read gave the address %1").arg(shown(faq)));
    EXPECT(faq == QLatin1String(kDefaultFaqAddress) || SjisText::decode(input).contains(faq),
           QStringLiteral("LinkDef_Read gave an address the file does not hold: %1").arg(shown(faq)));

    QFile::remove(passwordFilePath());
    EXPECT(writeFile(passwordFilePath(), input), QStringLiteral("cannot write ") + passwordFilePath());
    EXPECT(Password_Read() == 0, QStringLiteral("Password_Read failed on a readable file"));
    const QString pw = g_userPassword;
    EXPECT(!pw.contains(QLatin1Char('\n')) && !pw.startsWith(QLatin1Char(' ')) && !pw.endsWith(QLatin1Char(' '))
               && pw != QLatin1String(kMasterPassword),
           QStringLiteral("Password_Read gave the password %1").arg(shown(pw)));
    EXPECT(Password_Test(QString::fromLatin1(kMasterPassword)) && !Password_Test(QString()),
           QStringLiteral("the master password or the empty one is judged wrongly"));
    if (pw.isEmpty())
        return {};
    EXPECT(Password_Test(pw), QStringLiteral("the password read, %1, is refused").arg(shown(pw)));
    // What the program writes it reads back, for a password the file's code page can hold.
    if (SjisText::decode(SjisText::encode(pw)) != pw)
        return {};
    EXPECT(Password_Write(pw) == 0, QStringLiteral("Password_Write failed for %1").arg(shown(pw)));
    EXPECT(Password_Read() == 0 && g_userPassword == pw,
           QStringLiteral("password %1 was read back as %2").arg(shown(pw), shown(g_userPassword)));
    return {};
}

QString usbControl(const QByteArray &input)
{
    using namespace kesto::proto;
    namespace le = kesto::le;
    const auto *p = reinterpret_cast<const uint8_t *>(input.constData());
    const size_t size = size_t(input.size());
    uint8_t setup[11] = {};
    std::memcpy(setup, p, std::min<size_t>(size, sizeof setup));
    const uint8_t requestType = setup[0], request = setup[1];
    const uint16_t value = le::get16(setup + 2), index = le::get16(setup + 4);
    const bool hostToDevice = setup[6] & 1;
    const uint32_t length = le::get32(setup + 7);

    uint16_t function = 0xFFFF;
    const char *refusal = "unset";
    const bool carried = translateControl(requestType, request, &function, &refusal);
    // Standard requests to device, interface or endpoint, and class or vendor requests to any
    // recipient; nothing else has a function code.
    const int type = requestType >> 5, recipient = requestType & 0x1F;
    EXPECT(!carried || (type <= 2 && recipient <= (type == 0 ? 2 : 3)),
           QStringLiteral("request type 0x%1 was given function %2").arg(requestType, 2, 16).arg(function));
    EXPECT(carried == (type >= 1 && type <= 2 && recipient <= 3) || type == 0,
           QStringLiteral("class or vendor request type 0x%1 judged wrongly").arg(requestType, 2, 16));
    if (!carried) {
        EXPECT(!refusal || std::strncmp(refusal, "Kesto for USB does not support the ", 35) == 0,
               QStringLiteral("refusal text for 0x%1/%2").arg(requestType, 2, 16).arg(request));
        EXPECT(function == 0xFFFF, QStringLiteral("a refused request got a function code"));
    } else {
        EXPECT(!refusal && function >= 11 && function <= 39,
               QStringLiteral("request 0x%1/%2 got function %3").arg(requestType, 2, 16).arg(request).arg(function));
    }

    // The record and the frame header carry every value unchanged.
    uint8_t record[kControlRecordSize];
    std::memset(record, 0xCC, sizeof record);
    controlRecord(length, function, request, value, index, hostToDevice, record);
    EXPECT(le::get32(record) == length && le::get16(record + 4) == function && record[6] == request
               && le::get16(record + 8) == value && le::get16(record + 10) == index
               && record[12] == (hostToDevice ? 1 : 0) && record[7] == 0 && record[13] == 0 && record[14] == 0
               && record[15] == 0,
           QStringLiteral("control record does not carry its values"));
    const uint32_t outLength = length % (kMaxControlLength + 1);
    std::vector<uint8_t> buffer(outLength ? outLength : 1);
    for (const bool withBuffer : {true, false}) {
        const RequestHeader h = requestHeader(7, KESTO_IOCTL_CONTROL_TRANSFER, record, kControlRecordSize,
                                              withBuffer ? buffer.data() : nullptr, outLength);
        uint8_t head[kRequestHeaderSize];
        encode(h, head);
        const RequestHeader back = decodeRequest(head);
        EXPECT(back.magic == kRequestMagic && back.kind == Request && back.tag == 7
                   && back.controlCode == KESTO_IOCTL_CONTROL_TRANSFER && back.inputLength == kControlRecordSize
                   && back.outputLength == (withBuffer ? outLength : 0) && back.dataLength == back.outputLength,
               QStringLiteral("request header of a control transfer"));
    }
    const RequestHeader query = requestHeader(8, KESTO_IOCTL_GET_DRIVER_VERSION, nullptr, 5, buffer.data(), outLength);
    EXPECT(query.inputLength == 0 && query.dataLength == 0 && query.outputLength == outLength,
           QStringLiteral("a query sends data or a missing input"));

    // The rest is the driver's reply stream, read frame by frame as the reader does; each
    // reply lands in a caller's buffer of a size the frame chooses.
    size_t at = sizeof setup;
    int frames = 0;
    while (at + kReplyHeaderSize <= size && frames < 256) {
        const ReplyHeader r = decodeReply(p + at);
        at += kReplyHeaderSize;
        if (!replyAcceptable(r)) {
            EXPECT(r.magic != kReplyMagic || r.dataLength > kMaxData,
                   QStringLiteral("a sound reply header was refused"));
            break;
        }
        EXPECT(r.magic == kReplyMagic && r.dataLength <= kMaxData,
               QStringLiteral("an unsound reply header was accepted"));
        if (r.dataLength > size - at)
            break; // the stream ends inside the frame
        const uint8_t *data = p + at;
        at += r.dataLength;
        ++frames;
        const bool noBuffer = r.tag & 0x80000000u;
        const uint32_t capacity = (r.tag & 0xFFFF) % (kMaxControlLength + 1);
        // Exactly the caller's size, so that a copy past its end is an overrun the sanitizer sees.
        std::unique_ptr<uint8_t[]> out(new uint8_t[capacity ? capacity : 1]);
        std::memset(out.get(), 0xA5, capacity ? capacity : 1);
        const Completion c = completeRequest(r, data, noBuffer ? nullptr : out.get(), capacity);
        const uint32_t room = noBuffer ? 0 : capacity;
        EXPECT(c.copied == std::min(r.dataLength, room),
               QStringLiteral("reply copied %1 of %2 bytes into %3").arg(c.copied).arg(r.dataLength).arg(room));
        EXPECT(c.information == std::min(r.information, room),
               QStringLiteral("reply reported %1 bytes for a buffer of %2 (driver said %3)")
                   .arg(c.information)
                   .arg(room)
                   .arg(r.information));
        EXPECT(c.status == (r.status == KESTO_STATUS_PENDING ? 31u : r.status),
               QStringLiteral("reply status %1 became %2").arg(r.status).arg(c.status));
        EXPECT(c.copied == 0 || std::memcmp(out.get(), data, c.copied) == 0,
               QStringLiteral("reply data copied wrongly"));
        for (uint32_t i = c.copied; i < capacity; ++i)
            EXPECT(out[i] == 0xA5, QStringLiteral("reply wrote past the data it carried"));
    }
    return {};
}

} // namespace FuzzChecks
