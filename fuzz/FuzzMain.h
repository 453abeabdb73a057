#pragma once

#include "FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// One fuzz input through one check: a broken invariant is reported and ends the run like a
// crash, so that libFuzzer keeps the input.
inline int runFuzzCheck(QString (*check)(const QByteArray &), const uint8_t *data, size_t size)
{
    // Not copied: the sanitizer sees a read past the fuzzer's own buffer.
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString failure = check(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
