#include "ProgramInputs.h"

#include "store/DbFile.h"
#include "store/ExFile.h"

MonthInputs programInputs() { return {g_kubun, g_kojin, g_run, g_company, pairingModeFor(g_install.linkKind)}; }
