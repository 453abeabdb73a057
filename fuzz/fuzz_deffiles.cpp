#include "FuzzMain.h"

#include <QDir>
#include <QTemporaryDir>

// The files are read from the program folder: a temporary one for the whole run, with its
// own config folder so that no user's settings are touched.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home;
    if (!home.isValid())
        std::abort();
    qputenv("CORVAN21_HOME", home.path().toUtf8());
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return runFuzzCheck(&FuzzChecks::definitionFiles, data, size);
}
