#pragma once

#include "CalcoloCom.h"

#include <QByteArray>

// Takes the recorder's messages off the bytes a link receives. A transport hands bytes over as
// they come: one TCP read may hold several messages or part of one, and a USB bulk transfer can
// do the same, so the bytes are kept here and a message is handed out once its end is known:
//
// - A message starts at STX or at one of the active set's three commands.
// - A status message (it starts with a command) is complete once its 11 characters are there;
//   the characters after them up to the next message belong to it. While records are awaited
//   only blanks do, since record data may follow a status of another command.
// - A header (it starts with STX) runs to the next message. The count header is handed out once
//   the next message starts, so that a header cut after its count still comes whole; the read
//   header is followed at once by record data, which has no mark of its own, so there the end
//   of the bytes received ends the header, as it always did. A cut inside the read header, or
//   record data arriving in the same read as it, cannot be told apart from the header.
// - Record data runs to the next message. Cut across reads, it continues the record data before
//   it: the part is held while it is not a whole number of 23-character records and nothing
//   else has started, so the 23-character walk gives the records it would have given whole.
//   Record messages that arrive together cannot be told apart and are one message: the same
//   records, one log line.
// - Anything else runs to the next message or to the end of what was received, as one message.
//
// Blanks and line or text-end characters arriving right after a status or a header are its tail
// cut off by the transport; they are dropped. A record is digits, a card number and CR: STX or a
// command's four letters inside one already mean it is corrupt, and they end it here.
class ReplyFramer
{
public:
    // What the conversation awaits: it decides the ends the bytes alone do not show.
    enum class Expect {
        Reply,       // a status message, or whatever the conversation will refuse
        CountHeader, // the count conversation's header
        ReadHeader,  // the read conversation's header
        Records,     // record messages up to the read completion
    };

    static constexpr qsizetype kStatusLength = 11;
    // A count header that grows past this without another message starting is handed out as
    // it stands, so a peer cannot make it hold bytes without end.
    static constexpr qsizetype kMaxHeader = 4096;

    void setCommands(const CalcoloCom::CommandSet &cs);

    // The bytes of one read (one TCP arrival, one bulk transfer).
    void append(const QByteArray &bytes);
    // The next complete message; false while none is.
    bool take(Expect expect, QByteArray &message);
    // Everything held, as one message: the reply wait ran out, so what the recorder left
    // unfinished is all it will say, and it is handled as it stands, as a message always was.
    bool takeRest(QByteArray &message);

    bool isEmpty() const { return m_buf.isEmpty(); }
    qsizetype size() const { return m_buf.size(); }
    void clear();

private:
    // Where the next message starts at or after `from`: STX, a command, or the beginning of one
    // cut within its four letters at the end of the bytes; size() when none does.
    qsizetype nextStart(qsizetype from);
    bool commandAt(qsizetype at) const;
    bool commandPrefixAt(qsizetype at) const;
    bool dropTail();
    QByteArray cut(qsizetype n, bool tailMayFollow);

    QByteArray m_buf;
    QByteArray m_commands[3];
    // Positions before this were searched for a start of the message at the front; set again
    // whenever a message is taken off.
    qsizetype m_searched = 0;
    bool m_tailMayFollow = false;
};
