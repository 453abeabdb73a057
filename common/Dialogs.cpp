#include "Dialogs.h"

#include <QtGlobal>
#include <cstdio>

namespace Dialogs {
namespace {

// Used when nothing is installed: in a batch run a message goes to stderr and the default
// button is taken; in a test run an unscripted dialog is a fault of the test.
class FallbackBackend : public Backend
{
public:
    Answer message(const Message &m) override
    {
        guard("message", m.title + QLatin1Char(' ') + m.text);
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        const auto list = buttonsOf(m.buttons);
        const int i = qBound(1, m.defaultButton, int(list.size())) - 1;
        return list.value(i, Answer::Ok);
    }
    FileAnswer file(const FileRequest &r) override
    {
        guard("file dialog", r.title);
        return {};
    }
    bool print(PrintRequest &) override
    {
        guard("printer dialog", QString());
        return false;
    }

private:
    static void guard(const char *what, const QString &detail)
    {
        if (qEnvironmentVariableIsSet("CORVAN21_TESTING"))
            qFatal("unscripted %s in a test: %s", what, qPrintable(detail));
    }
};

FallbackBackend g_fallback;
Backend *g_backend = nullptr;

} // namespace

void setBackend(Backend *b) { g_backend = b; }
Backend *backend() { return g_backend ? g_backend : &g_fallback; }

Answer show(const Message &m) { return backend()->message(m); }

void inform(const QString &text, const QString &title, Icon icon) { show({text, title, icon, Buttons::OkOnly, 1}); }

bool askYesNo(const QString &text, const QString &title, int defaultButton)
{
    return show({text, title, Icon::Question, Buttons::YesNo, defaultButton}) == Answer::Yes;
}

FileAnswer chooseFile(const FileRequest &r) { return backend()->file(r); }
bool choosePrinter(PrintRequest &r) { return backend()->print(r); }

QList<Answer> buttonsOf(Buttons b)
{
    switch (b) {
    case Buttons::OkOnly: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    case Buttons::CancelTryAgainContinue: return {Answer::Cancel, Answer::TryAgain, Answer::Continue};
    }
    return {Answer::Ok};
}

} // namespace Dialogs
