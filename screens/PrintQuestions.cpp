#include "PrintQuestions.h"

#include "common/Dialogs.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

void PrintOut_ShowProblems(const PrintResult &result, const KojinTable &employees)
{
    for (const PrintProblem &p : result.problems)
        Dialogs::inform(p.text, p.title, Dialogs::Icon::Exclamation);
    if (!result.unknownCategory.isEmpty())
        Dialogs::inform(unknownCategoryMessage(employees, result.unknownCategory), QStringLiteral("印刷"),
                        Dialogs::Icon::Exclamation);
}

bool PrintOut_CheckPrinter()
{
    if (PrintOut_PrinterInstalled())
        return true;
    Dialogs::inform(QStringLiteral("プリンタがインストールされていません。") + kCrLf
                        + QStringLiteral("プリンタをインストールした後に、この作業を行って下さい。"),
                    QStringLiteral("印刷"), Dialogs::Icon::Exclamation);
    return false;
}

bool PrintOut_Ask(const PrintJob &job, const MonthInputs &in)
{
    Dialogs::PrintRequest request;
    request.printerName = PrintOut_DefaultPrinter();
    if (!Dialogs::choosePrinter(request) || !request.accepted)
        return false;
    const bool gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    if (gui)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const PrintResult res = PrintOut_Print(job, in, request);
    if (gui)
        QGuiApplication::restoreOverrideCursor();
    PrintOut_ShowProblems(res, in.employees);
    return res.jobs > 0;
}

bool PrintOut_AskPdf(const PrintJob &job, const MonthInputs &in)
{
    Dialogs::FileRequest ask;
    ask.kind = Dialogs::FileRequest::Kind::Save;
    ask.title = QStringLiteral("PDF出力");
    ask.directory = QDir::homePath();
    ask.fileName = PrintOut_Title(job.kind, in.run) + QStringLiteral(".pdf");
    ask.filters << QStringLiteral("PDF ファイル (*.pdf)");
    const Dialogs::FileAnswer answer = Dialogs::chooseFile(ask);
    if (!answer.accepted || answer.path.isEmpty())
        return false;
    Dialogs::PrintRequest request;
    request.pdfPath = QFileInfo(answer.path).suffix().isEmpty() ? answer.path + QStringLiteral(".pdf") : answer.path;
    request.accepted = true;
    const PrintResult res = PrintOut_Print(job, in, request);
    PrintOut_ShowProblems(res, in.employees);
    return res.jobs > 0;
}

bool PrintOut_Run(const PrintJob &job, const MonthInputs &in, PrintRoute route)
{
    if (route == PrintRoute::Pdf)
        return PrintOut_AskPdf(job, in);
    // The message asks for a printer to be installed first, and that is what it means: the
    // printer dialog would have nothing to offer. A PDF file is the other route, chosen as such.
    if (!PrintOut_CheckPrinter())
        return false;
    return PrintOut_Ask(job, in);
}

bool PrintOut_MasterList(const MonthInputs &in, PrintRoute route)
{
    PrintJob job;
    job.kind = ReportMasterList;
    return PrintOut_Run(job, in, route);
}

bool PrintOut_CategoryList(const MonthInputs &in, PrintRoute route)
{
    PrintJob job;
    job.kind = ReportCategoryList;
    return PrintOut_Run(job, in, route);
}
