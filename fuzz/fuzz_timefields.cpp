#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return runFuzzCheck(&FuzzChecks::timeFields, data, size);
}
