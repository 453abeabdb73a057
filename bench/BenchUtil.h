#pragma once

// Shared by the benchmarks: repeated timing with best and median, thread CPU time, the load
// average, and the seeded month every month-sized benchmark uses.

#include <QString>
#include <QVector>

#include <functional>

class Database;

namespace Bench {

struct Figures {
    double bestMs = 0, medianMs = 0, bestCpuMs = 0;
};

// Runs fn rounds times (after one warm-up run) and returns wall and CPU figures.
Figures time(int rounds, const std::function<void()> &fn);

// "load 3.12 2.80 2.51" from /proc/loadavg.
QString loadAverage();

// Prints one line: name, figures, and when baseline > 0 the ratio of the best times and the
// target verdict.
void report(const char *name, const Figures &f, const Figures *baseline, double ratioTarget, double msTarget);

// Monthly database of the open TestHome (or the database given): one work category,
// employees 1..n with cards 000000001.., four punches on each of the 31 days of December 2010
// (closing day 31); punches only when withPunches.
bool seedMonth(int employees);
bool seedDatabase(::Database &db, int employees, bool withPunches = true);

} // namespace Bench
