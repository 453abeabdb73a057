#pragma once

#include "ExportData.h"

#include <QString>
#include <QVector>

class SjisTextWriter;

// The import files of the three payroll packages: one record line per employee of the month
// and the end-of-file mark (0x1A) after the last line. The fields, widths and zero literals
// are fixed by the packages' import layouts; no field is quoted.
namespace PayrollWriters {

enum Package { Pca2000 = 0, Bugyo21 = 1, Yayoi = 2 };

void pca2000(SjisTextWriter &out, const QVector<TotalsLine> &lines);
void bugyo21(SjisTextWriter &out, const QVector<TotalsLine> &lines);
void yayoi(SjisTextWriter &out, const QVector<TotalsLine> &lines);
void write(Package p, SjisTextWriter &out, const QVector<TotalsLine> &lines);

// The title of the writer's error message.
QString errorTitle(Package p);

} // namespace PayrollWriters
