#include "DriverConnection.h"

#include "DriverProtocol.h"
#include "Internal.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace kesto {

using namespace proto;

namespace {

std::mutex g_tableLock;
std::map<uintptr_t, std::shared_ptr<DriverConnection>> g_table;
uintptr_t g_nextHandle = 0x1000;

void setReceiveTimeout(int fd, int seconds)
{
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

} // namespace

DriverConnection::DriverConnection(int fd) : m_fd(fd) {}

DriverConnection::~DriverConnection()
{
    close();
    if (m_reader.joinable())
        m_reader.join();
    ::close(m_fd);
}

uint32_t DriverConnection::open(const std::string &socketPath, bool exclusive, std::shared_ptr<DriverConnection> *out)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path)
        return socketPath.empty() ? KESTO_ERROR_FILE_NOT_FOUND : KESTO_ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errnoToError(errno);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        uint32_t e = errnoToError(errno);
        ::close(fd);
        return e;
    }
    // The driver answers the open at once; one that does not is not working.
    setReceiveTimeout(fd, 5);
    uint8_t frame[kRequestHeaderSize + 4];
    RequestHeader h;
    h.kind = Open;
    h.inputLength = 4;
    encode(h, frame);
    le::put32(frame + kRequestHeaderSize, exclusive ? kOpenExclusive : 0);
    uint8_t reply[kReplyHeaderSize];
    if (!writeFully(fd, frame, sizeof frame) || !readFully(fd, reply, sizeof reply)) {
        uint32_t e = errno == EAGAIN || errno == EWOULDBLOCK ? 121 : KESTO_ERROR_DEVICE_NOT_CONNECTED;
        ::close(fd);
        return e;
    }
    ReplyHeader r = decodeReply(reply);
    std::vector<uint8_t> skip(std::min<uint32_t>(r.dataLength, 4096));
    if (r.magic != kReplyMagic || r.dataLength > 4096 || !readFully(fd, skip.data(), skip.size())) {
        ::close(fd);
        return KESTO_ERROR_DEVICE_NOT_CONNECTED;
    }
    if (r.status != 0) {
        ::close(fd);
        return r.status;
    }
    setReceiveTimeout(fd, 0);
    std::shared_ptr<DriverConnection> c(new DriverConnection(fd));
    c->m_reader = std::thread([raw = c.get()] { raw->readLoop(); });
    *out = std::move(c);
    return 0;
}

uint32_t DriverConnection::start(uint32_t code, const void *input, uint32_t inputLength, void *output,
                                 uint32_t outputLength, KESTO_OVERLAPPED *overlapped)
{
    if (inputLength > kMaxInput || outputLength > kMaxData)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint32_t tag;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_dead)
            return m_closing ? KESTO_ERROR_OPERATION_ABORTED : KESTO_ERROR_DEVICE_NOT_CONNECTED;
        tag = m_nextTag++;
        if (m_nextTag == 0)
            m_nextTag = 1;
        overlapped->InternalHigh = 0;
        storeInternal(overlapped, KESTO_STATUS_PENDING);
        m_pending[tag] = Pending{output, output ? outputLength : 0, overlapped};
    }
    const RequestHeader h = requestHeader(tag, code, input, inputLength, output, outputLength);
    uint8_t head[kRequestHeaderSize];
    encode(h, head);
    bool ok;
    {
        std::lock_guard<std::mutex> g(m_writeLock);
        ok = writeFully(m_fd, head, sizeof head) && (h.inputLength == 0 || writeFully(m_fd, input, h.inputLength))
             && (h.dataLength == 0 || writeFully(m_fd, output, h.dataLength));
    }
    if (!ok) {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_pending.erase(tag))
            storeInternal(overlapped, KESTO_ERROR_DEVICE_NOT_CONNECTED);
    }
    uintptr_t now = loadInternal(overlapped);
    return now == KESTO_STATUS_PENDING ? KESTO_ERROR_IO_PENDING : static_cast<uint32_t>(now);
}

bool DriverConnection::wait(KESTO_OVERLAPPED *overlapped, uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> g(m_lock);
    auto done = [&] { return loadInternal(overlapped) != KESTO_STATUS_PENDING; };
    if (timeoutMs == KESTO_INFINITE) {
        m_completed.wait(g, done);
        return true;
    }
    return m_completed.wait_for(g, std::chrono::milliseconds(timeoutMs), done);
}

uint32_t DriverConnection::cancel(KESTO_OVERLAPPED *overlapped)
{
    uint32_t tag = 0;
    {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->second.overlapped == overlapped) {
                tag = it->first;
                m_pending.erase(it);
                storeInternal(overlapped, KESTO_ERROR_OPERATION_ABORTED);
                break;
            }
        }
        if (tag == 0)
            return KESTO_ERROR_NOT_FOUND;
        m_completed.notify_all();
    }
    // Tell the driver, so that it stops holding the request; its late reply is ignored.
    RequestHeader h;
    h.kind = Cancel;
    h.tag = tag;
    uint8_t head[kRequestHeaderSize];
    encode(h, head);
    std::lock_guard<std::mutex> g(m_writeLock);
    writeFully(m_fd, head, sizeof head);
    return 0;
}

void DriverConnection::close()
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_closing)
            return;
        m_closing = true;
    }
    ::shutdown(m_fd, SHUT_RDWR);
    if (m_reader.joinable() && m_reader.get_id() != std::this_thread::get_id())
        m_reader.join();
    failAll(KESTO_ERROR_OPERATION_ABORTED);
}

void DriverConnection::failAll(uint32_t code)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_dead = true;
    for (auto &p : m_pending)
        storeInternal(p.second.overlapped, code);
    m_pending.clear();
    m_completed.notify_all();
}

void DriverConnection::readLoop()
{
    std::vector<uint8_t> data;
    for (;;) {
        uint8_t head[kReplyHeaderSize];
        if (!readFully(m_fd, head, sizeof head))
            break;
        ReplyHeader r = decodeReply(head);
        if (!replyAcceptable(r))
            break;
        data.resize(r.dataLength);
        if (r.dataLength && !readFully(m_fd, data.data(), r.dataLength))
            break;
        std::lock_guard<std::mutex> g(m_lock);
        auto it = m_pending.find(r.tag);
        if (it == m_pending.end())
            continue; // cancelled meanwhile
        Pending p = it->second;
        m_pending.erase(it);
        const Completion done = completeRequest(r, data.data(), p.output, p.outputLength);
        p.overlapped->InternalHigh = done.information;
        storeInternal(p.overlapped, done.status);
        m_completed.notify_all();
    }
    bool closing;
    {
        std::lock_guard<std::mutex> g(m_lock);
        closing = m_closing;
    }
    failAll(closing ? KESTO_ERROR_OPERATION_ABORTED : KESTO_ERROR_DEVICE_NOT_CONNECTED);
}

KESTO_HANDLE registerConnection(std::shared_ptr<DriverConnection> connection)
{
    std::lock_guard<std::mutex> g(g_tableLock);
    uintptr_t h = g_nextHandle;
    g_nextHandle += 4;
    g_table[h] = std::move(connection);
    return reinterpret_cast<KESTO_HANDLE>(h);
}

std::shared_ptr<DriverConnection> findConnection(KESTO_HANDLE handle)
{
    std::lock_guard<std::mutex> g(g_tableLock);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
    return it == g_table.end() ? nullptr : it->second;
}

std::shared_ptr<DriverConnection> takeConnection(KESTO_HANDLE handle)
{
    std::lock_guard<std::mutex> g(g_tableLock);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_table.end())
        return nullptr;
    auto c = std::move(it->second);
    g_table.erase(it);
    return c;
}

} // namespace kesto
