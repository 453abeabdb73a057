#pragma once

#include <QString>

// The main window's file commands that need no window of their own: backup and restore of the
// processing month's database, and log viewing on a copy. Questions and messages go through
// the dialog layer; the caller runs the editing guard first.

// Folder + separator (unless the folder already ends with one) + file name, so that a root
// folder gets no second separator.
QString pathInFolder(const QString &folder, const QString &fileName);

// Copies a closed database file over a target: under a temporary name in the target's folder
// first, renamed into place only when complete, so a failed copy leaves the target as it was.
// On failure returns false with an error number and description.
bool replaceWithCopy(const QString &source, const QString &target, int *errorNumber, QString *description);

// メニュー「バックアップ」: folder choice, overwrite question, copy, 起動 update, messages.
// True when a backup was written (also when the folder could not be recorded afterwards: the
// message then says so beside the success).
bool backupMonth();

// メニュー「リストア」. True when the monthly database was replaced, also when recording the
// folder or reopening failed afterwards (the message says so); the caller then closes the
// screens so that none of them writes the old data over the restored file.
bool restoreMonth();

enum class LogKind { Communication, Error };
// Shows the chosen log through a ".tmp" copy beside it, opened with the desktop's viewer.
void viewLog(LogKind kind);

// At program end: deletes every data/*.tmp and the copies made by viewLog elsewhere.
void removeLogCopies();
