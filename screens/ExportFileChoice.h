#pragma once

#include "store/DbFile.h"

#include <QString>
#include <QStringList>

// The save dialog of the export screen and the checks on the name the user picks: a name
// that cannot be used, a read-only file and an existing file are asked about again until the
// user cancels, picks a usable name or confirms overwriting. The dialog opens in the export
// folder of startup (起動.書き出しpath), and the chosen folder is kept there, and stored, for
// the next time.
struct ExportFileRequest {
    QString fileName;    // proposed name, without folder
    QStringList filters; // "label (*.ext)"
    // The own layouts take their layout from the extension; the payroll files do not.
    bool layoutByExtension = true;
};

struct ExportFileChoice {
    bool chosen = false;
    QString path;
    // 0 for a comma layout name (.csv), -1 for a text layout name (.txt), else unchanged (1).
    int textFlag = 1;
    // True when the check created the file (empty) because none existed; a failed export
    // then removes it again rather than leave an empty file behind.
    bool createdEmpty = false;
};

ExportFileChoice chooseExportFile(const ExportFileRequest &request, StartupState &startup);
