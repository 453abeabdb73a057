#pragma once

#include "output/ExportJob.h"

// The program-wide tables and settings as the screens hand them to the computation, the
// exports and the reports: the category and employee tables as a screen last read them, the
// processing month, the company settings and the installation's pairing mode.
MonthInputs programInputs();
