#include "ProgramRuns.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>

namespace ProgramRuns {

quint16 startSimulator(QProcess &sim, const QString &program, const QStringList &args)
{
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.start(program, args);
    if (!sim.waitForStarted(5000))
        return 0;
    QByteArray err;
    static const QRegularExpression re(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    for (int i = 0; i < 50; ++i) {
        sim.waitForReadyRead(100);
        err += sim.readAllStandardError();
        const auto m = re.match(QString::fromLocal8Bit(err));
        if (m.hasMatch())
            return quint16(m.captured(1).toInt());
    }
    return 0;
}

void stopSimulator(QProcess &sim)
{
    if (sim.state() == QProcess::NotRunning)
        return;
    sim.terminate();
    if (!sim.waitForFinished(3000)) {
        sim.kill();
        sim.waitForFinished(3000);
    }
}

Run run(const QString &program, const QStringList &args, const Options &options)
{
    QProcess p;
    if (options.showMessages) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("CORVAN21_TESTING"));
        p.setProcessEnvironment(env);
    }
    if (options.fileSizeLimit > 0) {
        const qint64 limit = options.fileSizeLimit;
        p.setChildProcessModifier([limit] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit r{};
            getrlimit(RLIMIT_FSIZE, &r);
            r.rlim_cur = rlim_t(limit);
            setrlimit(RLIMIT_FSIZE, &r);
        });
    }
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(5000))
        return r;
    const bool killing = options.killAfterMs >= 0;
    if (!p.waitForFinished(killing ? options.killAfterMs : options.timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        if (killing)
            r.exitCode = -3;
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return r;
}

} // namespace ProgramRuns
