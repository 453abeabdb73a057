#include "ReplyFramer.h"

namespace {

constexpr char kStx = 0x02;
constexpr qsizetype kCommandLength = 4;

// What a transport may leave of a status or a header after its end: blanks, and the line and
// text-end characters a recorder may close a message with.
bool tailByte(char c) { return c == ' ' || c == '\r' || c == '\n' || c == 0x03 || c == 0x00; }

} // namespace

void ReplyFramer::setCommands(const CalcoloCom::CommandSet &cs)
{
    const QString *commands[3] = {&cs.count, &cs.read, &cs.del};
    for (int i = 0; i < 3; ++i)
        m_commands[i] = commands[i]->left(int(kCommandLength)).toLatin1();
    m_searched = 0;
}

void ReplyFramer::append(const QByteArray &bytes) { m_buf += bytes; }

void ReplyFramer::clear()
{
    m_buf.clear();
    m_searched = 0;
    m_tailMayFollow = false;
}

bool ReplyFramer::commandAt(qsizetype at) const
{
    if (at + kCommandLength > m_buf.size())
        return false;
    const QByteArrayView four(m_buf.constData() + at, kCommandLength);
    for (const QByteArray &c : m_commands)
        if (c.size() == kCommandLength && four == c)
            return true;
    return false;
}

bool ReplyFramer::commandPrefixAt(qsizetype at) const
{
    const qsizetype n = m_buf.size() - at;
    if (n <= 0 || n >= kCommandLength)
        return false;
    const QByteArrayView part(m_buf.constData() + at, n);
    for (const QByteArray &c : m_commands)
        if (c.size() == kCommandLength && QByteArrayView(c).first(n) == part)
            return true;
    return false;
}

qsizetype ReplyFramer::nextStart(qsizetype from)
{
    const qsizetype size = m_buf.size();
    qsizetype at = qMax(from, m_searched);
    for (; at < size; ++at) {
        if (m_buf.at(at) == kStx || commandAt(at) || commandPrefixAt(at))
            break;
    }
    // Positions followed by fewer than four bytes are looked at again when more arrive: a
    // command may be completing there, or turn out not to be one.
    m_searched = qMax(from, qMin(at, size - (kCommandLength - 1)));
    return at;
}

bool ReplyFramer::dropTail()
{
    if (!m_tailMayFollow)
        return true;
    qsizetype n = 0;
    while (n < m_buf.size() && tailByte(m_buf.at(n)))
        ++n;
    if (n > 0) {
        m_buf.remove(0, n);
        m_searched = 0;
    }
    if (m_buf.isEmpty())
        return false; // more of the tail may still come
    m_tailMayFollow = false;
    return true;
}

QByteArray ReplyFramer::cut(qsizetype n, bool tailMayFollow)
{
    QByteArray message = m_buf.left(n);
    m_buf.remove(0, n);
    m_searched = 0;
    m_tailMayFollow = tailMayFollow;
    return message;
}

bool ReplyFramer::take(Expect expect, QByteArray &message)
{
    if (m_buf.isEmpty() || !dropTail())
        return false;
    const qsizetype size = m_buf.size();

    if (commandAt(0)) {
        if (size < kStatusLength)
            return false; // cut: the rest follows within the reply wait
        qsizetype end = kStatusLength;
        if (expect == Expect::Records) {
            while (end < size && m_buf.at(end) == ' ')
                ++end;
        } else {
            end = nextStart(kStatusLength);
        }
        message = cut(end, true);
        return true;
    }
    if (commandPrefixAt(0))
        return false; // a command cut within its letters

    if (m_buf.at(0) == kStx) {
        const qsizetype end = nextStart(1);
        if (expect == Expect::CountHeader && end == size && size < kMaxHeader)
            return false; // its count may be cut: wait until the completion starts
        message = cut(end, true);
        return true;
    }

    const qsizetype end = nextStart(1);
    if (expect == Expect::Records && end == size && size % CalcoloCom::kRecordLength != 0)
        return false; // a record cut across reads: the rest continues it
    message = cut(end, false);
    return true;
}

bool ReplyFramer::takeRest(QByteArray &message)
{
    if (m_buf.isEmpty())
        return false;
    message = cut(m_buf.size(), false);
    return true;
}
