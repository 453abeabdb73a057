#pragma once

#include <QString>
#include <QStringList>

// The one door to every message box, question, file and folder chooser and printer dialog.
// The program installs a widget backend; tests install a scripted one that records each
// dialog and answers from a queue, so that no test can hang on a modal window.
namespace Dialogs {

enum class Icon { None, Critical, Question, Exclamation, Information };

// The button sets of a classic message box, by their traditional numbers.
enum class Buttons {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    CancelTryAgainContinue = 6,
};

enum class Answer { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No, TryAgain, Continue };

struct Message {
    QString text;
    QString title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::OkOnly;
    int defaultButton = 1; // 1-based position of the default button
};

struct FileRequest {
    enum class Kind { Open, Save, Folder };
    Kind kind = Kind::Open;
    QString title;
    QString directory;   // folder to start in
    QString fileName;    // proposed file name (save)
    QStringList filters; // e.g. "CSV ファイル (*.csv)"
    int filterIndex = 0;
};

struct FileAnswer {
    bool accepted = false;
    QString path;
    int filterIndex = 0;
};

// What the printer dialog is asked and answers; the screen then builds its QPrinter from it.
struct PrintRequest {
    int copies = 1;
    QString printerName; // empty: default printer
    QString pdfPath;     // non-empty: print to this PDF file instead of a printer
    bool accepted = false;
};

class Backend
{
public:
    virtual ~Backend() = default;
    virtual Answer message(const Message &m) = 0;
    virtual FileAnswer file(const FileRequest &r) = 0;
    // Shows the printer dialog; on acceptance fills copies/printer/pdfPath and returns true.
    virtual bool print(PrintRequest &r) = 0;
};

// Installs the backend (not owned). Passing nullptr restores the default, which in a test
// run (CORVAN21_TESTING set) aborts loudly and otherwise writes the message to stderr and
// answers the default button.
void setBackend(Backend *backend);
Backend *backend();

Answer show(const Message &m);
// Convenience: an OK-only message.
void inform(const QString &text, const QString &title, Icon icon = Icon::Exclamation);
// Convenience: a Yes/No question with the question icon; true for Yes.
bool askYesNo(const QString &text, const QString &title, int defaultButton = 1);
FileAnswer chooseFile(const FileRequest &r);
bool choosePrinter(PrintRequest &r);

// Buttons of a set in display order, and the answer a position stands for.
QList<Answer> buttonsOf(Buttons b);

} // namespace Dialogs
