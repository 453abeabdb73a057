// Device arrival and removal without native notification: a worker watches the notification
// folder (one entry per device interface, named "{GUID}" + device name) and tells every
// registered recipient about entries that appear and disappear.

#include "DeviceNotifier.h"

#include "Internal.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace kesto {

namespace {

constexpr int kRescanMs = 3000;

bool makeFolders(const std::string &path)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

struct Registration {
    KESTO_HWND recipient;
    KESTO_GUID guid;
};

class Notifier
{
public:
    Notifier()
    {
        m_stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        m_thread = std::thread([this] { run(); });
    }
    ~Notifier()
    {
        uint64_t one = 1;
        if (write(m_stop, &one, sizeof one) < 0) {
        }
        m_thread.join();
        ::close(m_stop);
    }

    std::recursive_mutex lock; // the registrations; held while recipients are told
    std::map<uintptr_t, Registration> registrations;

private:
    void run()
    {
        const std::string folder = notificationFolder();
        makeFolders(folder);
        int in = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (in >= 0)
            inotify_add_watch(in, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB);
        // Every registration learnt the devices present when it was made, so the first scan
        // announces whatever came after it, even a device that arrived before this thread ran.
        for (;;) {
            scan(folder);
            pollfd fds[2] = {{m_stop, POLLIN, 0}, {in, POLLIN, 0}};
            int r = poll(fds, in >= 0 ? 2 : 1, kRescanMs);
            if (r > 0 && (fds[0].revents & POLLIN))
                break;
            if (in >= 0 && (fds[1].revents & POLLIN)) {
                char buf[4096];
                while (read(in, buf, sizeof buf) > 0) {
                }
            }
        }
        if (in >= 0)
            ::close(in);
    }

    void scan(const std::string &folder)
    {
        std::set<std::string> present;
        for (const auto &e : listNotificationEntries(folder))
            present.insert(e);
        std::lock_guard<std::recursive_mutex> g(lock);
        for (auto &[key, reg] : registrations) {
            std::set<std::string> &known = m_known[key];
            std::set<std::string> seen;
            for (const std::string &name : present) {
                KESTO_GUID g2;
                if (!guidFromString(name.substr(0, 38), &g2) || !guidEqual(g2, reg.guid))
                    continue;
                seen.insert(name);
                if (known.insert(name).second)
                    announce(reg, name, KESTO_DBT_DEVICEARRIVAL);
            }
            for (auto it = known.begin(); it != known.end();) {
                if (!seen.count(*it)) {
                    announce(reg, *it, KESTO_DBT_DEVICEREMOVECOMPLETE);
                    it = known.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto it = m_known.begin(); it != m_known.end();)
            it = registrations.count(it->first) ? std::next(it) : m_known.erase(it);
    }

    static void announce(const Registration &reg, const std::string &name, uint32_t event)
    {
        const std::string path = "\\\\.\\" + name;
        std::vector<uint8_t> record(path.size() + 36, 0);
        auto *b = reinterpret_cast<KESTO_DEV_BROADCAST_DEVICEINTERFACE *>(record.data());
        b->dbcc_size = static_cast<uint32_t>(record.size());
        b->dbcc_devicetype = KESTO_DBT_DEVTYP_DEVICEINTERFACE;
        b->dbcc_classguid = reg.guid;
        std::memcpy(b->dbcc_name, path.c_str(), path.size() + 1);
        if (reg.recipient && reg.recipient->proc)
            reg.recipient->proc(reg.recipient, KESTO_WM_DEVICECHANGE, event, reinterpret_cast<intptr_t>(b));
    }

public:
    // A registration learns the devices present at that moment silently: announcing them would
    // make a control that has just opened its device close and reopen it in the middle of its
    // first transfer.
    void learn(uintptr_t key, const KESTO_GUID &guid)
    {
        std::set<std::string> &known = m_known[key];
        for (const auto &path : listInterfaceDevices(guid))
            known.insert(path.substr(4));
    }

private:
    std::map<uintptr_t, std::set<std::string>> m_known;
    int m_stop = -1;
    std::thread m_thread;
};

std::mutex g_notifierLock;
Notifier *g_notifier = nullptr;
uintptr_t g_nextKey = 1;

} // namespace

std::vector<std::string> listNotificationEntries(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *d = opendir(folder.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        KESTO_GUID g;
        // Names are longer than the 51 characters the registry scan allowed: "{GUID}" alone
        // takes 38, so "ML60852A_DRIVER0" behind it would never be seen.
        if (name.size() > 38 && name[0] == '{' && guidFromString(name.substr(0, 38), &g))
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listInterfaceDevices(const KESTO_GUID &guid)
{
    std::vector<std::string> paths;
    for (const auto &name : listNotificationEntries(notificationFolder())) {
        KESTO_GUID g;
        if (guidFromString(name.substr(0, 38), &g) && guidEqual(g, guid))
            paths.push_back("\\\\.\\" + name);
    }
    return paths;
}

} // namespace kesto

using namespace kesto;

extern "C" {

KESTO_HDEVNOTIFY KestoRegisterDeviceNotification(KESTO_HWND recipient, void *notificationFilter, uint32_t /*flags*/)
{
    if (!notificationFilter)
        return nullptr;
    auto *f = static_cast<const KESTO_DEV_BROADCAST_DEVICEINTERFACE *>(notificationFilter);
    if (f->dbcc_devicetype != KESTO_DBT_DEVTYP_DEVICEINTERFACE || f->dbcc_size < 28 || !recipient) {
        setLastError(KESTO_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> g(g_notifierLock);
    if (!g_notifier)
        g_notifier = new Notifier;
    std::lock_guard<std::recursive_mutex> r(g_notifier->lock);
    uintptr_t key = g_nextKey++;
    g_notifier->registrations[key] = Registration{recipient, f->dbcc_classguid};
    g_notifier->learn(key, f->dbcc_classguid);
    return reinterpret_cast<KESTO_HDEVNOTIFY>(key);
}

KESTO_BOOL KestoUnregisterDeviceNotification(KESTO_HDEVNOTIFY notification)
{
    std::lock_guard<std::mutex> g(g_notifierLock);
    if (!g_notifier)
        return 0;
    bool last;
    {
        std::lock_guard<std::recursive_mutex> r(g_notifier->lock);
        if (!g_notifier->registrations.erase(reinterpret_cast<uintptr_t>(notification)))
            return 0;
        last = g_notifier->registrations.empty();
    }
    if (last) {
        delete g_notifier;
        g_notifier = nullptr;
    }
    return 1;
}

} // extern "C"
