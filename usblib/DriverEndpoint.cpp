#include "DriverEndpoint.h"

#include "DriverProtocol.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kesto {

using namespace proto;

struct DriverEndpoint::Client {
    uint32_t id = 0;
    int fd = -1;
    bool opened = false;
    bool exclusive = false;
    std::mutex writeLock;
};

namespace {

bool makeFolders(const std::string &path)
{
    for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
        std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (pos == std::string::npos)
            return true;
    }
}

std::string guidText(const KESTO_GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

} // namespace

DriverEndpoint::DriverEndpoint(DriverHandler &handler) : m_handler(handler) {}

DriverEndpoint::~DriverEndpoint() { close(); }

std::string DriverEndpoint::driverFolder()
{
    if (const char *env = std::getenv("KESTOUSB_DEVICE_DIR"); env && *env)
        return env;
    if (const char *run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/kestousb";
    return "/tmp/kestousb-" + std::to_string(getuid());
}

std::string DriverEndpoint::socketPathFor(const std::string &linkName, uint32_t instance)
{
    return driverFolder() + "/" + linkName + std::to_string(instance);
}

bool DriverEndpoint::announce(const KESTO_GUID &guid, const std::string &deviceName)
{
    const std::string folder = driverFolder() + "/DeviceNotification";
    if (!makeFolders(folder))
        return false;
    const std::string path = folder + "/" + guidText(guid) + deviceName;
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool DriverEndpoint::withdraw(const KESTO_GUID &guid, const std::string &deviceName)
{
    const std::string path = driverFolder() + "/DeviceNotification/" + guidText(guid) + deviceName;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool DriverEndpoint::listen(const std::string &socketPath, std::string *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
        return false;
    };
    close();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return fail("socket path");
    }
    const size_t slash = socketPath.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(socketPath.substr(0, slash)))
        return fail("driver folder");
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return fail("socket");
    ::unlink(socketPath.c_str());
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        return fail("bind");
    if (::listen(m_listen, 16) != 0)
        return fail("listen");
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    m_path = socketPath;
    m_thread = std::thread([this] { run(); });
    return true;
}

void DriverEndpoint::close()
{
    if (m_thread.joinable()) {
        char c = 'q';
        if (::write(m_wake[1], &c, 1) < 0) {
        }
        m_thread.join();
    }
    std::lock_guard<std::mutex> g(m_lock);
    for (auto &[id, c] : m_clients)
        closeClient(*c);
    m_clients.clear();
    m_open.clear();
    if (m_listen >= 0) {
        ::close(m_listen);
        ::unlink(m_path.c_str());
        m_listen = -1;
    }
    for (int &fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

size_t DriverEndpoint::connectionCount() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_clients.size();
}

bool DriverEndpoint::sendReply(int fd, uint32_t tag, const DriverReply &reply)
{
    ReplyHeader h;
    h.tag = tag;
    h.status = reply.status;
    h.information = reply.information;
    h.dataLength = static_cast<uint32_t>(reply.data.size());
    uint8_t head[kReplyHeaderSize];
    encode(h, head);
    return writeFully(fd, head, sizeof head)
           && (reply.data.empty() || writeFully(fd, reply.data.data(), reply.data.size()));
}

bool DriverEndpoint::complete(uint64_t id, const DriverReply &reply)
{
    std::shared_ptr<Client> c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto it = m_open.find(id);
        if (it == m_open.end())
            return false;
        m_open.erase(it);
        auto ci = m_clients.find(static_cast<uint32_t>(id >> 32));
        if (ci == m_clients.end())
            return false;
        c = ci->second;
    }
    std::lock_guard<std::mutex> w(c->writeLock);
    // The connection may have been dropped since it was looked up: its descriptor is then
    // closed and its number may already belong to another file.
    return c->fd >= 0 && sendReply(c->fd, static_cast<uint32_t>(id), reply);
}

void DriverEndpoint::closeClient(Client &c)
{
    std::lock_guard<std::mutex> w(c.writeLock);
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
}

void DriverEndpoint::dropClient(uint32_t id)
{
    std::shared_ptr<Client> c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto it = m_clients.find(id);
        if (it == m_clients.end())
            return;
        c = it->second;
        m_clients.erase(it);
        for (auto o = m_open.begin(); o != m_open.end();)
            o = (o->first >> 32) == id ? m_open.erase(o) : std::next(o);
    }
    closeClient(*c);
    if (c->opened)
        m_handler.connectionClosed(id);
}

bool DriverEndpoint::serveFrame(Client &c)
{
    uint8_t head[kRequestHeaderSize];
    if (!readFully(c.fd, head, sizeof head))
        return false;
    RequestHeader h = decodeRequest(head);
    if (h.magic != kRequestMagic || h.inputLength > kMaxInput || h.dataLength > kMaxData || h.outputLength > kMaxData
        || h.dataLength > h.outputLength)
        return false;
    DriverRequest rq;
    rq.input.resize(h.inputLength);
    rq.data.resize(h.dataLength);
    if ((h.inputLength && !readFully(c.fd, rq.input.data(), h.inputLength))
        || (h.dataLength && !readFully(c.fd, rq.data.data(), h.dataLength)))
        return false;

    if (h.kind == Open) {
        const bool exclusive = rq.input.size() >= 4 && (le::get32(rq.input.data()) & kOpenExclusive);
        DriverReply reply;
        {
            std::lock_guard<std::mutex> g(m_lock);
            for (auto &[id, other] : m_clients)
                if (other.get() != &c && other->opened && (other->exclusive || exclusive))
                    reply.status = KESTO_ERROR_SHARING_VIOLATION;
        }
        if (reply.status == 0) {
            c.opened = true;
            c.exclusive = exclusive;
            m_handler.connectionOpened(c.id, exclusive);
        }
        std::lock_guard<std::mutex> w(c.writeLock);
        return sendReply(c.fd, h.tag, reply) && reply.status == 0;
    }
    if (!c.opened)
        return false;
    const uint64_t id = static_cast<uint64_t>(c.id) << 32 | h.tag;
    if (h.kind == Cancel) {
        bool was;
        {
            std::lock_guard<std::mutex> g(m_lock);
            was = m_open.erase(id) > 0;
        }
        if (was)
            m_handler.cancelled(id);
        return true;
    }
    if (h.kind != Request)
        return false;
    rq.id = id;
    rq.connection = c.id;
    rq.controlCode = h.controlCode;
    rq.outputLength = h.outputLength;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_open[id] = true;
    }
    DriverReply reply;
    if (m_handler.handle(rq, reply)) {
        if (reply.data.size() > rq.outputLength)
            reply.data.resize(rq.outputLength);
        complete(id, reply);
    }
    return true;
}

void DriverEndpoint::run()
{
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<uint32_t> ids;
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        {
            std::lock_guard<std::mutex> g(m_lock);
            for (auto &[id, c] : m_clients) {
                fds.push_back({c->fd, POLLIN, 0});
                ids.push_back(id);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN) {
            int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                auto c = std::make_shared<Client>();
                c->fd = fd;
                std::lock_guard<std::mutex> g(m_lock);
                c->id = m_nextClient++;
                m_clients[c->id] = c;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            std::shared_ptr<Client> c;
            {
                std::lock_guard<std::mutex> g(m_lock);
                auto it = m_clients.find(ids[i - 2]);
                if (it != m_clients.end())
                    c = it->second;
            }
            if (c && ((fds[i].revents & (POLLERR | POLLNVAL)) || !serveFrame(*c)))
                dropClient(c->id);
        }
    }
}

} // namespace kesto
