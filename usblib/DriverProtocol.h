// Framing of the conversation between the library and a driver endpoint over its Unix-domain
// stream socket. DRIVER_PROTOCOL.md describes it for people writing a driver.
#pragma once

#include "ByteOrder.h"

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kesto::proto {

constexpr uint32_t kRequestMagic = 0x5152554Bu; // "KURQ"
constexpr uint32_t kReplyMagic = 0x5052554Bu;   // "KURP"

enum Kind : uint32_t { Open = 1, Request = 2, Cancel = 3 };

constexpr uint32_t kOpenExclusive = 1;

constexpr size_t kRequestHeaderSize = 28;
constexpr size_t kReplyHeaderSize = 20;
// Neither side accepts more in one frame; a larger length ends the connection.
constexpr uint32_t kMaxInput = 4096;
constexpr uint32_t kMaxData = 64u * 1024u * 1024u;

struct RequestHeader {
    uint32_t magic = kRequestMagic;
    uint32_t kind = Request;
    uint32_t tag = 0;
    uint32_t controlCode = 0;
    uint32_t inputLength = 0;
    uint32_t outputLength = 0;
    uint32_t dataLength = 0;
};

struct ReplyHeader {
    uint32_t magic = kReplyMagic;
    uint32_t tag = 0;
    uint32_t status = 0;
    uint32_t information = 0;
    uint32_t dataLength = 0;
};

inline void encode(const RequestHeader &h, uint8_t *out)
{
    const uint32_t f[7] = {h.magic, h.kind, h.tag, h.controlCode, h.inputLength, h.outputLength, h.dataLength};
    for (int i = 0; i < 7; ++i)
        le::put32(out + 4 * i, f[i]);
}

inline RequestHeader decodeRequest(const uint8_t *in)
{
    return {le::get32(in),      le::get32(in + 4),  le::get32(in + 8), le::get32(in + 12),
            le::get32(in + 16), le::get32(in + 20), le::get32(in + 24)};
}

inline void encode(const ReplyHeader &h, uint8_t *out)
{
    const uint32_t f[5] = {h.magic, h.tag, h.status, h.information, h.dataLength};
    for (int i = 0; i < 5; ++i)
        le::put32(out + 4 * i, f[i]);
}

inline ReplyHeader decodeReply(const uint8_t *in)
{
    return {le::get32(in), le::get32(in + 4), le::get32(in + 8), le::get32(in + 12), le::get32(in + 16)};
}

// The header of one request frame: the input record goes along when there is one, and for
// the transfer codes (code & 3 == 1) the caller's buffer goes along as data, since the
// driver moves the data in the endpoint's direction.
inline RequestHeader requestHeader(uint32_t tag, uint32_t code, const void *input, uint32_t inputLength,
                                   const void *output, uint32_t outputLength)
{
    RequestHeader h;
    h.kind = Request;
    h.tag = tag;
    h.controlCode = code;
    h.inputLength = input ? inputLength : 0;
    h.outputLength = output ? outputLength : 0;
    h.dataLength = (code & 3u) == 1u && output ? outputLength : 0;
    return h;
}

// A reply header the reader may follow: anything else ends the connection.
inline bool replyAcceptable(const ReplyHeader &r) { return r.magic == kReplyMagic && r.dataLength <= kMaxData; }

// What one reply does to the request it answers.
struct Completion {
    uint32_t copied;      // bytes copied to the start of the caller's buffer
    uint32_t information; // the bytes reported to the caller, never more than its buffer holds
    uint32_t status;      // the result code the caller's record gets
};

// Applies a reply with its dataLength bytes of data to a caller's buffer of outputLength
// bytes. A driver finishing with 259 (how a record says "pending") is given 31 instead, so
// that the caller does not wait for ever.
inline Completion completeRequest(const ReplyHeader &r, const uint8_t *data, void *output, uint32_t outputLength)
{
    if (!output)
        outputLength = 0;
    Completion c;
    c.copied = r.dataLength < outputLength ? r.dataLength : outputLength;
    if (c.copied)
        std::memcpy(output, data, c.copied);
    c.information = r.information < outputLength ? r.information : outputLength;
    c.status = r.status == 259u ? 31u : r.status;
    return c;
}

// Reads or writes exactly n bytes on a blocking socket; false on end of stream or error.
inline bool readFully(int fd, void *buf, size_t n)
{
    auto *p = static_cast<uint8_t *>(buf);
    while (n > 0) {
        ssize_t r = ::recv(fd, p, n, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

inline bool writeFully(int fd, const void *buf, size_t n)
{
    auto *p = static_cast<const uint8_t *>(buf);
    while (n > 0) {
        ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

} // namespace kesto::proto
