#pragma once

#include <QLockFile>
#include <QString>

// The lock of the data folder (data/corvan21.lock). The program holds it for its whole run and
// corvan21-batch while a command writes (collect, process), so that neither writes punches
// under the other: an open editor keeps its copy of the days it shows. A lock left by a run
// that died is stale and taken over (QLockFile checks whether its process still runs).
class ProgramLock
{
public:
    enum class Outcome {
        Taken,
        NoDataFolder,  // nothing to guard yet (no installation)
        HeldByProgram, // corvan21 runs
        HeldByBatch,   // a corvan21-batch command writes
        HeldByOther,   // held, but by something that says nothing more about itself
        Failed,        // the lock file cannot be made (permissions, a full disk)
    };

    ProgramLock();
    // Tries once, without waiting.
    Outcome take();

    QString path() const { return m_path; }
    // The holder, as its lock file tells (after HeldBy...).
    qint64 holderPid() const { return m_pid; }
    QString holderApp() const { return m_app; }
    QString holderHost() const { return m_host; }
    // The holder for a message: "corvan21-batch (pid 1234)", with the host when it is another.
    QString holderText() const;

    // The application names the two programs write into the lock file.
    static QString programName() { return QStringLiteral("corvan21"); }
    static QString batchName() { return QStringLiteral("corvan21-batch"); }

private:
    QString m_path;
    QLockFile m_lock;
    qint64 m_pid = 0;
    QString m_app;
    QString m_host;
};

// What the program says when it cannot start because a batch command holds the lock; empty
// when it should end without a word (another instance of the program, as on any second start).
QString programStartRefusal(const ProgramLock &lock, ProgramLock::Outcome outcome);
