#include "ProgramLock.h"

#include "Common.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

ProgramLock::ProgramLock() : m_path(dataFolder() + QStringLiteral("/corvan21.lock")), m_lock(m_path)
{
    // Only a holder that no longer runs makes a lock stale, never its age: a collection or
    // the program may run for hours.
    m_lock.setStaleLockTime(0);
}

ProgramLock::Outcome ProgramLock::take()
{
    if (!QFileInfo(dataFolder()).isDir())
        return Outcome::NoDataFolder;
    if (m_lock.tryLock(0))
        return Outcome::Taken;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Outcome::Failed;
    if (!m_lock.getLockInfo(&m_pid, &m_host, &m_app))
        return Outcome::HeldByOther;
    const QString app = QFileInfo(m_app).fileName();
    if (app == batchName())
        return Outcome::HeldByBatch;
    if (app == programName())
        return Outcome::HeldByProgram;
    return Outcome::HeldByOther;
}

QString ProgramLock::holderText() const
{
    QString t =
        (m_app.isEmpty() ? QStringLiteral("?") : QFileInfo(m_app).fileName()) + QStringLiteral(" (pid %1").arg(m_pid);
    if (!m_host.isEmpty() && m_host != QSysInfo::machineHostName())
        t += QStringLiteral(" on ") + m_host;
    return t + QLatin1Char(')');
}

QString programStartRefusal(const ProgramLock &lock, ProgramLock::Outcome outcome)
{
    if (outcome != ProgramLock::Outcome::HeldByBatch)
        return {};
    return QStringLiteral("%1 がデータを処理中のため、起動できません。").arg(lock.holderText()) + QLatin1Char('\n')
           + QStringLiteral("処理が終わってから起動して下さい。");
}
