#include "BatchCommand.h"

#include <QHash>
#include <QMap>
#include <cstdio>

namespace {
QMap<QString, const BatchCommand *> &registry()
{
    static QMap<QString, const BatchCommand *> r;
    return r;
}
} // namespace

BatchCommand::BatchCommand(const char *n, const char *u, Run r)
    : name(QString::fromUtf8(n)), usage(QString::fromUtf8(u)), run(std::move(r))
{
    registry().insert(name, this);
}

const BatchCommand *BatchCommand::find(const QString &name) { return registry().value(name); }

QStringList BatchCommand::usages()
{
    QStringList u;
    for (const auto *c : registry())
        u << c->usage;
    return u;
}

bool BatchOptions::parse(const QStringList &args, const QStringList &known, QString *why)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (!a.startsWith(QStringLiteral("--")) || !known.contains(a.mid(2))) {
            *why = QStringLiteral("unknown option: ") + a;
            return false;
        }
        if (i + 1 >= args.size()) {
            *why = QStringLiteral("missing value for ") + a;
            return false;
        }
        values.insert(a.mid(2), args.at(++i));
    }
    return true;
}

void batchError(const QString &text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); }
void batchOut(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}
