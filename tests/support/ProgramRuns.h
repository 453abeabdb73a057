#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the built programs from a test the way a user or a script runs them: the recorder
// simulator in the background, corvan21-batch to its end (or killed on purpose).
namespace ProgramRuns {

// Starts the simulator and returns the port it announces (0 when it did not start).
quint16 startSimulator(QProcess &sim, const QString &program, const QStringList &args);
// Stops a simulator started by startSimulator().
void stopSimulator(QProcess &sim);

struct Run {
    int exitCode = -1; // -1: did not finish in time, -2: crashed, -3: killed on purpose
    QString out;
    QString err;
};

struct Options {
    // The tool shows its messages on stderr, as a user sees them, instead of treating a message
    // box as a fault of the test.
    bool showMessages = false;
    // > 0: a file-size limit put on the child before it starts (SIGXFSZ ignored, so a write past
    // it fails with EFBIG as one on a full disk fails with ENOSPC).
    qint64 fileSizeLimit = 0;
    // >= 0: the child is killed (SIGKILL) when it runs longer than this.
    int killAfterMs = -1;
    int timeoutMs = 60000;
};

Run run(const QString &program, const QStringList &args, const Options &options = {});

} // namespace ProgramRuns
