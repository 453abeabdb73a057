#pragma once

#include <QtGlobal>

#include <csignal>
#include <sys/resource.h>

// Limits the size of every file this process writes while it lives (RLIMIT_FSIZE with SIGXFSZ
// ignored, so that a write past it fails with EFBIG the way one on a full disk fails with
// ENOSPC). The old limit and the old SIGXFSZ handling come back when it goes out of scope (the
// soft limit may go back up to the hard one).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_saved.rlim_cur = m_saved.rlim_max = RLIM_INFINITY;
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = m_saved;
        r.rlim_cur = rlim_t(bytes);
        m_ok = setrlimit(RLIMIT_FSIZE, &r) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
    bool m_ok = false;
};
