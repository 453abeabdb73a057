// The class registry: a text file that stands in for HKEY_CLASSES_ROOT. The library writes
// its entries there on registration; clients read it to find the module of a CLSID.
//
// File: $KESTOUSB_REGISTRY, else $XDG_CONFIG_HOME/kestousb/classes.reg, else
// ~/.config/kestousb/classes.reg. Layout, in the manner of registry export files:
//
//   [CLSID\{B5463437-6971-11D4-816D-0050DACEAA4B}\InprocServer32]
//   @="/usr/lib/x86_64-linux-gnu/libKestoUsb.so.1"
//   "ThreadingModel"="Apartment"
//
// "@" is the key's default value; backslash and double quote are escaped with a backslash.
// Key and value names compare without regard to case, as registry names do.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace kesto::reg {

inline std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

inline std::string registryPath()
{
    if (const char *env = std::getenv("KESTOUSB_REGISTRY"); env && *env)
        return env;
    if (const char *cfg = std::getenv("XDG_CONFIG_HOME"); cfg && *cfg)
        return std::string(cfg) + "/kestousb/classes.reg";
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.config/kestousb/classes.reg";
}

class Registry
{
public:
    struct Key {
        std::string path;
        std::map<std::string, std::pair<std::string, std::string>> values; // lower name -> (name, value)
    };

    bool load(const std::string &file)
    {
        m_keys.clear();
        std::ifstream in(file);
        if (!in)
            return errno == ENOENT;
        std::string line;
        Key *current = nullptr;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty() || line[0] == ';')
                continue;
            if (line.front() == '[' && line.back() == ']') {
                current = &createKey(line.substr(1, line.size() - 2));
                continue;
            }
            if (!current)
                continue;
            std::string name;
            size_t pos = 0;
            if (line[0] == '@') {
                pos = 1;
            } else if (line[0] == '"') {
                if (!unquote(line, &pos, &name))
                    continue;
            } else {
                continue;
            }
            if (pos >= line.size() || line[pos] != '=')
                continue;
            ++pos;
            std::string value;
            if (!unquote(line, &pos, &value))
                continue;
            current->values[lower(name)] = {name, value};
        }
        return true;
    }

    // Writes the whole file anew through a temporary file, so that readers never see half.
    bool save(const std::string &file) const
    {
        makeParent(file);
        const std::string tmp = file + ".tmp";
        {
            std::ofstream out(tmp, std::ios::trunc);
            if (!out)
                return false;
            out << "; KestoUsb class registry\n";
            for (const auto &[k, key] : m_keys) {
                out << "\n[" << key.path << "]\n";
                for (const auto &[n, v] : key.values)
                    out << (v.first.empty() ? std::string("@") : quote(v.first)) << "=" << quote(v.second) << "\n";
            }
            out.flush();
            if (!out)
                return false;
        }
        return std::rename(tmp.c_str(), file.c_str()) == 0;
    }

    Key &createKey(const std::string &path)
    {
        // Creating a key creates its parents, as the registry does.
        size_t pos = 0;
        while ((pos = path.find('\\', pos + 1)) != std::string::npos) {
            const std::string parent = path.substr(0, pos);
            auto &p = m_keys[lower(parent)];
            if (p.path.empty())
                p.path = parent;
        }
        Key &k = m_keys[lower(path)];
        if (k.path.empty())
            k.path = path;
        return k;
    }

    void setValue(const std::string &key, const std::string &name, const std::string &value)
    {
        createKey(key).values[lower(name)] = {name, value};
    }

    bool keyExists(const std::string &key) const { return m_keys.count(lower(key)) > 0; }

    bool value(const std::string &key, const std::string &name, std::string *out) const
    {
        auto k = m_keys.find(lower(key));
        if (k == m_keys.end())
            return false;
        auto v = k->second.values.find(lower(name));
        if (v == k->second.values.end())
            return false;
        *out = v->second.second;
        return true;
    }

    // Removes a key with everything below it.
    void removeTree(const std::string &key)
    {
        const std::string low = lower(key);
        for (auto it = m_keys.begin(); it != m_keys.end();) {
            if (it->first == low || it->first.compare(0, low.size() + 1, low + "\\") == 0)
                it = m_keys.erase(it);
            else
                ++it;
        }
    }

    const std::map<std::string, Key> &keys() const { return m_keys; }

private:
    static std::string quote(const std::string &s)
    {
        std::string q = "\"";
        for (char c : s) {
            if (c == '"' || c == '\\')
                q += '\\';
            if (c == '\n')
                q += "\\n";
            else
                q += c;
        }
        return q + "\"";
    }

    static bool unquote(const std::string &line, size_t *pos, std::string *out)
    {
        if (*pos >= line.size() || line[*pos] != '"')
            return false;
        std::string s;
        for (size_t i = *pos + 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                char n = line[++i];
                s += n == 'n' ? '\n' : n;
            } else if (c == '"') {
                *pos = i + 1;
                *out = s;
                return true;
            } else {
                s += c;
            }
        }
        return false;
    }

    static void makeParent(const std::string &file)
    {
        for (size_t pos = file.find('/', 1); pos != std::string::npos; pos = file.find('/', pos + 1))
            ::mkdir(file.substr(0, pos).c_str(), 0700);
    }

    std::map<std::string, Key> m_keys;
};

// Holds an exclusive lock on the registry while it is read, changed and written back.
class RegistryLock
{
public:
    explicit RegistryLock(const std::string &file)
    {
        for (size_t pos = file.find('/', 1); pos != std::string::npos; pos = file.find('/', pos + 1))
            ::mkdir(file.substr(0, pos).c_str(), 0700);
        m_fd = ::open((file + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~RegistryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RegistryLock(const RegistryLock &) = delete;
    RegistryLock &operator=(const RegistryLock &) = delete;

private:
    int m_fd = -1;
};

} // namespace kesto::reg
