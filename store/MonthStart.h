#pragma once

#include <QString>

// Starting a processing month: the steps the login screen, the month change screen and the
// batch commands share. Nothing here shows a window except Kaisya_Read's own message.

// The settings a login reads first, in the login's order: password file, link definitions,
// settings store, installation settings. False when any of them fails.
bool readStartupSettings();

// Opens the master database and runs Kidou_Read. False when either fails.
bool openMasterDatabase();

// Outcome of opening the monthly database of a processing month.
enum class MonthOpen {
    Opened,     // the month's file existed and is sound
    Created,    // there was none: it was made as a copy of the master database
    Unreadable, // the file exists but cannot be opened or read; it is left untouched
    Failed,     // the master could not be copied (or the copy cannot be opened)
};

// Closes the monthly database and opens the one of key (yyyymm), creating it from the master
// when it does not exist. A month's file that exists but fails its test is never replaced,
// since that would throw away the month's punches; `why` then names the file and the fault.
MonthOpen openMonthlyDatabase(const QString &key, QString *why);

// The message for an Unreadable or Failed outcome, naming the file (for the 起動エラー box).
QString monthOpenMessage(const QString &key, const QString &why);

// Opens the intake and calendar databases (kept open when they already are).
bool openIntakeAndCalendar(QString *why);

// The steps after Kaisya_Read succeeded: records the processing month in g_run and runs
// Calendar_Prepare for its first day. recordStartup also writes 起動年/起動月 to the master
// (a login and a month change do; a batch command leaves the month the login proposes alone).
bool enterMonth(const QString &year, const QString &month, bool recordStartup, QString *why);

// Number of month boundaries from (fromYear, fromMonth) to (toYear, toMonth); negative when
// the second month is earlier.
int monthDistance(int fromYear, int fromMonth, int toYear, int toMonth);

// Acts as a login into year (yyyy) / month (mm) for the window-less commands: reads the
// settings, checks the password as the login screen does (trimmed of blanks), opens the master,
// the month (created from the master when new), the intake and calendar databases, runs
// Kaisya_Read and Calendar_Prepare. 起動 is not changed. On failure `why` says what went wrong
// and *passwordRefused tells a wrong password from other failures.
bool startMonthForBatch(const QString &year, const QString &month, const QString &password, QString *why,
                        bool *passwordRefused = nullptr);
