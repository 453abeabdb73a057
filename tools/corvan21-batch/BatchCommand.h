#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// A command of corvan21-batch ("init", "export", ...). Each lives in its own file and
// registers itself with a static BatchCommand object, so adding one touches no other file.
class BatchCommand
{
public:
    using Run = std::function<int(const QStringList &args)>;
    BatchCommand(const char *name, const char *usage, Run run);

    static const BatchCommand *find(const QString &name);
    static QStringList usages();

    QString name;
    QString usage;
    Run run;
};

// Reads "--key value" options. Unknown keys or a missing value are errors.
struct BatchOptions {
    bool parse(const QStringList &args, const QStringList &known, QString *why);
    bool has(const QString &k) const { return values.contains(k); }
    QString value(const QString &k) const { return values.value(k); }
    QHash<QString, QString> values;
};

// Prints to stderr / stdout in the terminal's encoding.
void batchError(const QString &text);
void batchOut(const QString &text);
