#pragma once

#include "ExportData.h"

#include <QVector>

class SjisTextWriter;

// The writers of the export screen's own layouts: individual, daily and totals, each as a
// comma-separated (.csv) and a fixed-column text (.txt) layout. Each writes one block (the
// totals writers the whole file) to the writer; a device failure is left in the writer
// (SjisTextWriter::failed) for the caller to report under the writer's title.
namespace ExportWriters {

void individualCsv(SjisTextWriter &out, const IndividualBlock &b, const ExportItems &items);
void individualTxt(SjisTextWriter &out, const IndividualBlock &b, const ExportItems &items);
void dailyCsv(SjisTextWriter &out, const DailyBlock &b, const ExportItems &items);
void dailyTxt(SjisTextWriter &out, const DailyBlock &b, const ExportItems &items);
void totalsCsv(SjisTextWriter &out, const QVector<TotalsLine> &lines, const ExportItems &items);
void totalsTxt(SjisTextWriter &out, const QVector<TotalsLine> &lines, const ExportItems &items);

// Texts shared with the payroll writers and the reports.
// `社員番号` (or any stored number) with leading zeros to the width; a text that is not a
// number is written as it stands.
QString numberText(const QString &stored, int width);
// 04月01日(木)
QString dayLabel(const QDate &d);

} // namespace ExportWriters
